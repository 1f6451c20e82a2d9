#include "tools/output/stop_signal.h"

#include <csignal>
#include <cstdio>

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
    // Without SA_RESTART a read waiting for a worker's frame, or a blocked open or write of a FIFO,
    // returns with EINTR.
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

int reportStop(const char* program, const std::string& detail) {
    const int signal = stopSignal();
    std::fprintf(stderr, "%s: stopped by %s%s\n", program, signal == SIGINT ? "SIGINT" : "SIGTERM",
                 detail.c_str());
    return 128 + signal;
}
