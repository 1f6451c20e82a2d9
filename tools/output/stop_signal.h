// SIGINT and SIGTERM end a tool's long run between steps: the handler only records the signal, and the
// tool stops its work, leaves no unfinished file (SafeFile::commit refuses once a stop is asked for),
// says where it stopped and exits with 128 + the signal's number.
#pragma once

#include <string>

// Installs the handler for both signals, without restarting interrupted calls: a read, a write or an open
// waiting on a pipe or a FIFO returns, so the tool stops at once.
void catchStopSignals();
// The signal that asked the tool to stop, or 0.
int stopSignal();
// Back to the default action, for a worker process that its parent stops.
void restoreStopSignals();
// "PROGRAM: stopped by SIGINT" (or SIGTERM) and `detail` as one line on standard error; the exit code for
// the signal.
int reportStop(const char* program, const std::string& detail);
