#include "app/cli/CommandLine.h"

#ifdef QUILTMARK_WITH_GUI
#include "app/gui/PrintJobs.h"
#include "app/gui/QuiltmarkApp.h"
#endif

#include <cstdio>
#include <exception>
#include <new>

namespace {

int Dispatch(int argc, char** argv)
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

} // namespace

int main(int argc, char** argv)
{
    // Whatever a command throws ends it as a failure with its reason, never as an abort.
    // The window catches its own failures; this is for batch work and start-up.
    try {
        return Dispatch(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fputs("quiltmark: not enough memory; the command was not finished\n", stderr);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "quiltmark: the command failed: %s\n", failure.what());
    } catch (...) {
        std::fputs("quiltmark: the command failed\n", stderr);
    }
    return 1;
}
