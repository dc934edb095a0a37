#include "shell/ShellResources.h"

#include <QtGlobal>

void InitShellResources()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(quiltmark);
        return true;
    }();
    (void)done;
}
