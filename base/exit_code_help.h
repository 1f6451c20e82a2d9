// The exit codes as every program's --help ends with them, the same words in each.
#pragma once

#define MIRELANDT_EXIT_CODES_HELP                                                                            \
    "exit codes: 0 done, 1 a file that cannot be read or written or a failed device, 2 a bad option,\n"      \
    "  3 invalid input, 4 out of memory or over a limit, 128+N after signal N (130 Ctrl+C, 143 SIGTERM)\n"
