#include "document/EditHistory.h"

CEditHistory::CEditHistory(std::size_t budget)
    : m_budget(budget)
{
}

void CEditHistory::Push(std::unique_ptr<CEditStep> step)
{
    if (!step)
        return;
    while (m_steps.size() > m_position) {
        m_bytes -= m_steps.back()->Bytes();
        m_steps.pop_back();
    }
    if (m_cleanReachable && m_clean > m_position)
        m_cleanReachable = false;
    m_bytes += step->Bytes();
    m_steps.push_back(std::move(step));
    ++m_position;
    std::size_t dropped = 0;
    while (m_bytes > m_budget && m_steps.size() - dropped > 1) {
        m_bytes -= m_steps[dropped]->Bytes();
        ++dropped;
    }
    if (dropped > 0) {
        m_steps.erase(m_steps.begin(), m_steps.begin() + static_cast<std::ptrdiff_t>(dropped));
        m_position -= dropped;
        if (m_cleanReachable && m_clean < dropped)
            m_cleanReachable = false;
        else if (m_cleanReachable)
            m_clean -= dropped;
    }
}

const CEditStep* CEditHistory::UndoStep() const
{
    return CanUndo() ? m_steps[m_position - 1].get() : nullptr;
}

const CEditStep* CEditHistory::RedoStep() const
{
    return CanRedo() ? m_steps[m_position].get() : nullptr;
}

CEditStep* CEditHistory::StepBack()
{
    if (!CanUndo())
        return nullptr;
    --m_position;
    return m_steps[m_position].get();
}

CEditStep* CEditHistory::StepForward()
{
    if (!CanRedo())
        return nullptr;
    ++m_position;
    return m_steps[m_position - 1].get();
}

void CEditHistory::Clear()
{
    m_steps.clear();
    m_position = 0;
    m_clean = 0;
    m_cleanReachable = true;
    m_bytes = 0;
}

void CEditHistory::MarkClean()
{
    m_clean = m_position;
    m_cleanReachable = true;
}
