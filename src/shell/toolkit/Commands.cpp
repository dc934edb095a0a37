#include "shell/toolkit/Commands.h"

#include <utility>

void CCommandBindings::Bind(CommandId id, Run run, State state)
{
    m_bindings[id] = CBinding { std::move(run), std::move(state) };
}

void CCommandBindings::BindChecked(CommandId id, Run run, std::function<bool()> checked)
{
    Bind(id, std::move(run), [checked = std::move(checked)] {
        CCommandState state;
        state.checked = checked();
        return state;
    });
}

bool CCommandBindings::OnCommand(CommandId id)
{
    const auto it = m_bindings.find(id);
    if (it == m_bindings.end())
        return false;
    it->second.run();
    return true;
}

bool CCommandBindings::OnUpdateCommand(CommandId id, CCommandState& state)
{
    const auto it = m_bindings.find(id);
    if (it == m_bindings.end())
        return false;
    state = it->second.state ? it->second.state() : CCommandState();
    return true;
}
