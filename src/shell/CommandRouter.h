#pragma once

#include "shell/toolkit/Commands.h"

#include <vector>

// Passes a command along its targets in order (view, document, frame, application); the
// first that handles it wins. A command nobody handles is disabled.
class CCommandRouter {
public:
    // Targets are not owned; a null target is skipped (a part that does not exist yet).
    void SetTargets(std::vector<ICommandTarget*> targets) { m_targets = std::move(targets); }

    // True when a target handled the command.
    bool Execute(CommandId id) const;
    // Enabled and checked state as the first target that knows the command says.
    CCommandState Query(CommandId id) const;

private:
    std::vector<ICommandTarget*> m_targets;
};
