// What every program's command line shares: the exit codes its --help ends with, and --help and --version
// answered wherever they stand.
#pragma once

#include <string>

namespace base {

#define MIRELANDT_EXIT_CODES_HELP                                                                            \
    "exit codes: 0 done, 1 a file that cannot be read or written or a failed device, 2 a bad option,\n"      \
    "  3 invalid input, 4 out of memory or over a limit, 128+N after signal N (130 Ctrl+C, 143 SIGTERM)\n"

// Prints `usage` for --help or -h, or "PROGRAM VERSION (COMMIT)" for --version, on stdout, for the first of
// them among the arguments, whatever the others are; false where none is given.
bool answerHelpOrVersion(int argc, const char* const* argv, const char* program, const char* usage);

// Prints "PROGRAM: REASON" on stderr, the one line of a refused command line, and gives its exit code.
int refuseCommandLine(const char* program, const std::string& reason);

} // namespace base
