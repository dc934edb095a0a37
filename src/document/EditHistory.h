#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

// One recorded edit. The document fills and applies its own steps; the history only keeps
// their order, the position, the saved ("clean") position and the memory budget.
class CEditStep {
public:
    virtual ~CEditStep() = default;
    // What the step did, as the Edit menu names it ("Toggle Tiles").
    virtual const std::string& Name() const = 0;
    // Memory the step holds, for the budget.
    virtual std::size_t Bytes() const = 0;
};

class CEditHistory {
public:
    // Oldest steps are dropped first once the steps hold more than this.
    static constexpr std::size_t kDefaultBudget = std::size_t { 256 } << 20;

    explicit CEditHistory(std::size_t budget = kDefaultBudget);

    // Appends after the current position: steps that could have been redone are dropped,
    // then the oldest steps while over budget (the newest one always stays).
    void Push(std::unique_ptr<CEditStep> step);
    bool CanUndo() const { return m_position > 0; }
    bool CanRedo() const { return m_position < m_steps.size(); }
    // The step Undo would take back / Redo would do again; null when none.
    const CEditStep* UndoStep() const;
    const CEditStep* RedoStep() const;
    // Moves the position over one step and returns it for the caller to apply; null when
    // there is none.
    CEditStep* StepBack();
    CEditStep* StepForward();
    // Forgets every step; the position is then clean.
    void Clear();

    // The position that matches the file on disk; undoing or redoing back to it makes the
    // document unmodified again. Unreachable once its steps are dropped.
    void MarkClean();
    bool IsClean() const { return m_cleanReachable && m_clean == m_position; }

    std::size_t Bytes() const { return m_bytes; }
    std::size_t Budget() const { return m_budget; }
    std::size_t Count() const { return m_steps.size(); }
    std::size_t Position() const { return m_position; }

private:
    std::vector<std::unique_ptr<CEditStep>> m_steps;
    std::size_t m_position = 0;
    std::size_t m_clean = 0;
    bool m_cleanReachable = true;
    std::size_t m_bytes = 0;
    std::size_t m_budget;
};
