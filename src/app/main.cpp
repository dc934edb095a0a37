#include "app/cli/CommandLine.h"

#ifdef QUILTMARK_WITH_GUI
#include "app/gui/PrintJobs.h"
#include "app/gui/QuiltmarkApp.h"
#endif

int main(int argc, char** argv)
{
#ifdef QUILTMARK_WITH_GUI
    // PDF output needs Qt's painting (on the offscreen platform), so it is routed first.
    if (IsPrintPdfInvocation(argc, argv))
        return RunPrintPdf(argc, argv);
    if (!IsHeadlessInvocation(argc, argv))
        return RunQuiltmarkApp(argc, argv);
#endif
    return RunHeadless(argc, argv);
}
