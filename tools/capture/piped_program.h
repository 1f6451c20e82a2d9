// A program started without a shell, reading what the capture writes to its standard input (the encoder
// taking raw frames): each argument reaches it exactly as given, whatever characters a file name holds
// ('%', '$', quotes, spaces, newlines). While it runs, a stop that abandons the capture kills it.
#pragma once

#include "platform/stop_signal.h"

#include <cstddef>
#include <string>
#include <vector>

namespace tools {

class PipedProgram {
  public:
    PipedProgram() = default;
    PipedProgram(const PipedProgram&) = delete;
    PipedProgram& operator=(const PipedProgram&) = delete;
    // A program still running is killed and waited for: its output is unfinished.
    ~PipedProgram();

    // Starts `arguments[0]` (a path) with the rest; its standard output and error are the capture's.
    // False with "cannot start PROGRAM: reason".
    bool start(const std::vector<std::string>& arguments, std::string* error);
    // The whole of `size` bytes into its input; false (errno set) once it has stopped reading, or when a
    // stop signal interrupts the write.
    bool write(const void* data, size_t size);
    // Closes its input and waits for it to end: its exit code, or -1 when it did not exit by itself.
    int finish();

  private:
    void end(bool kill);

    platform::ChildProcess child_ = 0; // a process id, or on Windows the process's handle
    intptr_t input_ = -1;              // the write end of its input: a descriptor, or on Windows a handle
};

// The command line that gives a Windows program `arguments` (the program's name first), each one read back
// whole by CommandLineToArgvW and by the C runtime: an argument with a space, tab, newline or quote, or an
// empty one, is quoted, and backslashes are doubled only where they come before a quote.
std::string windowsCommandLine(const std::vector<std::string>& arguments);

} // namespace tools
