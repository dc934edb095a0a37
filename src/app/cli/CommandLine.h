#pragma once

#include "app/cli/Arguments.h"
#include "app/library/MetaLibLookup.h"

#include <string>

// The headless command line: batch work on project files without any window (the options
// are in Arguments.h).

// True when the arguments ask for headless work (any double-dash option, or -h); plain
// "quiltmark FILE" and the window's own switches are not headless.
bool IsHeadlessInvocation(int argc, char** argv);

// Runs a parsed batch command line; returns the process exit status (0 ok, 1 failure,
// 2 usage error). Messages that would be message boxes go to standard error.
int RunBatch(const CCommandLine& commandLine);

// "quiltmark 3.6.28.28"
std::string VersionLine();

// Prints a usage error with the fitting usage text; returns 2.
int ReportUsageError(const CCommandLine& commandLine);
