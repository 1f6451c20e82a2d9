// SIGINT and SIGTERM end a capture between frames: the handler only records the signal, and the capture
// stops its workers and encoder, removes what is not whole, and says where it stopped.
#pragma once

// Installs the handler for both signals, without restarting interrupted reads.
void catchStopSignals();
// The signal that asked the capture to stop, or 0.
int stopSignal();
// Back to the default action, for a worker process that its parent stops.
void restoreStopSignals();
