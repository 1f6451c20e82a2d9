#include "stop_signal.h"

#include <csignal>

namespace {

volatile std::sig_atomic_t caught = 0;

void record(int signal) {
    caught = signal;
}

void handleBoth(void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
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
