// SIGINT and SIGTERM end a program's run, the intro's and every tool's, within about a second. The handler
// records the signal; the program stops between steps, leaves no unfinished file (SafeFile::commit refuses
// once a stop is asked for), says where it stopped and exits with 128 + the signal's number.
//
// A step that cannot be interrupted (a GPU frame on a CPU device may take minutes) is abandoned: a second
// after the signal, if the program is still running, a watchdog thread ends what it started and the
// process with it: it kills the child processes named by endOnStop, removes the files named by
// removeOnStop, prints the stop line (with the detail last given to setStopDetail) unless the program has
// printed its own, and exits with 128 + the signal. A second signal does the same at once.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Installs the handler for both signals, without restarting interrupted calls: a read, a write or an open
// waiting on a pipe or a FIFO returns, so the program stops at once. Starts the watchdog.
void catchStopSignals();
// The signal that asked the program to stop, or 0.
int stopSignal();
// Back to the default action, for a worker process that its parent stops.
void restoreStopSignals();
// "PROGRAM: stopped by SIGINT" (or SIGTERM) and `detail` as one line on standard error; the exit code for
// the signal.
int reportStop(const char* program, const std::string& detail);

// What the abandoned run's stop line says after "stopped by SIGNAL": where the run is and what it leaves.
void setStopDetail(const std::string& detail);

// A temporary file that an abandoned run removes (at most 16 at a time; the name is kept up to 4095 bytes).
void removeOnStop(const std::string& path);
// The file is gone or has taken its final name: an abandoned run leaves it alone.
void keepOnStop(const std::string& path);

// A child process that an abandoned run kills and waits for: a process id, or on Windows a process handle.
using ChildProcess = intptr_t;
void endOnStop(ChildProcess child);
// The child has ended and been waited for.
void forgetOnStop(ChildProcess child);

} // namespace platform
