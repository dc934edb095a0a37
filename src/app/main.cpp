#include "app/cli/CommandLine.h"

#ifdef QUILTMARK_WITH_GUI
#include "app/gui/QuiltmarkApp.h"
#endif

int main(int argc, char** argv)
{
#ifdef QUILTMARK_WITH_GUI
    if (!IsHeadlessInvocation(argc, argv))
        return RunQuiltmarkApp(argc, argv);
#endif
    return RunHeadless(argc, argv);
}
