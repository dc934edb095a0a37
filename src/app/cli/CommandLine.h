#pragma once

#include <string>

// The headless command line: batch work on project files without any window.
//
//   quiltmark [--library METALIB.xml] [--readdress] [--auto-connect] [--section N]
//             [--date TEXT] [--save-as OUT.patch] [--export-patch-list OUT]
//             [--export-ascii OUT] [--export-script OUT] FILE
//   quiltmark --list-fixtures [--library METALIB.xml]

// True when the arguments ask for headless work (any of the options above, or --help);
// plain "quiltmark FILE" and the window's own switches are not headless.
bool IsHeadlessInvocation(int argc, char** argv);

// Runs the headless command line; returns the process exit status (0 ok, 1 failure,
// 2 usage error). Messages that would be message boxes go to standard error.
int RunHeadless(int argc, char** argv);

// Directory of the running program (where metalib.xml lives).
std::string ProgramDirectory();
