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
    const CCommandLine commandLine = CCommandLine::Parse(argc, argv, true);
    // PDF output needs Qt's painting (on the offscreen platform).
    if (commandLine.mode == CCommandLine::Mode::PrintPdf)
        return RunPrintPdf(commandLine);
    // The window reads its switches again once Qt has taken its own options out.
    if (commandLine.mode == CCommandLine::Mode::Window)
        return RunQuiltmarkApp(argc, argv);
#else
    const CCommandLine commandLine = CCommandLine::Parse(argc, argv, false);
#endif
    return RunBatch(commandLine);
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
