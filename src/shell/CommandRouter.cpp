#include "shell/CommandRouter.h"

bool CCommandRouter::Execute(CommandId id) const
{
    // A command its target reports as disabled must not run, even when it arrives from a
    // bar button rather than a (disabled) menu entry.
    for (ICommandTarget* target : m_targets) {
        CCommandState state;
        if (target && target->OnUpdateCommand(id, state)) {
            if (!state.enabled)
                return false;
            break;
        }
    }
    for (ICommandTarget* target : m_targets) {
        if (target && target->OnCommand(id))
            return true;
    }
    return false;
}

CCommandState CCommandRouter::Query(CommandId id) const
{
    for (ICommandTarget* target : m_targets) {
        CCommandState state;
        if (target && target->OnUpdateCommand(id, state))
            return state;
    }
    CCommandState none;
    none.enabled = false;
    return none;
}
