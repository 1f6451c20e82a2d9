// The exit codes that every program of the project shares, the intro and the tools alike, so that a script
// reads the same number for the same kind of failure whichever program it ran.
#pragma once

namespace base {

enum ExitCode : int {
    ExitOk = 0,
    // A file that cannot be read or written (missing, refused, too large, a full disk), or a run that failed
    // on its device: no display, no GPU, a frame that could not be shown.
    ExitFailure = 1,
    // A bad option, value or combination of options; --help and --version are not this.
    ExitUsage = 2,
    // Input that does not parse: a module, a track table.
    ExitInvalidInput = 3,
    // More memory than can be had or than a limit of the program allows.
    ExitOutOfMemory = 4,
};

// After SIGINT or SIGTERM a program exits with 128 + the signal's number (130, 143).
constexpr int kExitSignalBase = 128;

} // namespace base
