#pragma once

// Registers the window's pictures and desktop files (":/icons/...", ":/desktop/...").
// The resources live in a static library, so the program must ask for them once.
void InitShellResources();
