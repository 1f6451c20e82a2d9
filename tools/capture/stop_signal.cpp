#include "stop_signal.h"

#include <csignal>

namespace {

volatile std::sig_atomic_t caught = 0;

void record(int signal) {
    caught = signal;
#ifdef _WIN32
    std::signal(signal, record); // the runtime resets the handler before calling it
#endif
}

void handleBoth(void (*handler)(int)) {
#ifdef _WIN32
    std::signal(SIGINT, handler);
    std::signal(SIGTERM, handler);
#else
    // Without SA_RESTART a read waiting for a worker's frame returns, so the capture stops at once.
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
#endif
}

} // namespace

void catchStopSignals() {
    handleBoth(record);
}

int stopSignal() {
    return caught;
}

void restoreStopSignals() {
    handleBoth(SIG_DFL);
}
