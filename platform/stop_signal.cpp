#include "platform/stop_signal.h"

#include "base/exit_codes.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <semaphore.h>
#include <thread>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <cerrno>
#include <pthread.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace base;
using namespace platform;

namespace platform {

namespace {

// How long the program has to stop by itself before the watchdog ends it.
constexpr auto kGrace = std::chrono::milliseconds(1000);

volatile std::sig_atomic_t caught = 0;
sem_t wake; // posted by the handler for the watchdog (sem_post may be called from a handler)
std::atomic<bool> reported{false};
char programName[64] = "mirelandt";

// Everything below is read by the watchdog and the handler, so it lives in fixed arrays, and the end of a
// run (abandon) uses only calls that are safe in a signal handler.
constexpr int kFree = 0, kFilling = 1, kTracked = 2;
struct TrackedFile {
    std::atomic<int> state{kFree};
    char path[4096];
};
TrackedFile files[16];
std::atomic<ChildProcess> children[256];

// The detail as two buffers: the one the index names is whole while the other is being filled.
char details[2][512];
std::atomic<int> detailIndex{0};

void append(char* line, size_t size, size_t* length, const char* text) {
    while (*text && *length + 1 < size) line[(*length)++] = *text++;
    line[*length] = '\0';
}

void endChild(ChildProcess child) {
#ifdef _WIN32
    const auto process = reinterpret_cast<HANDLE>(child);
    TerminateProcess(process, unsigned(kExitSignalBase + SIGTERM));
    WaitForSingleObject(process, 5000);
#else
    kill(pid_t(child), SIGKILL);
    while (waitpid(pid_t(child), nullptr, 0) < 0 && errno == EINTR) {
    }
#endif
}

[[noreturn]] void abandon(int signal) {
    for (std::atomic<ChildProcess>& c : children)
        if (const ChildProcess child = c.exchange(0)) endChild(child);
    for (TrackedFile& f : files)
        if (f.state.load() == kTracked) {
#ifdef _WIN32
            _unlink(f.path);
#else
            unlink(f.path);
#endif
        }
    if (!reported.exchange(true)) {
        char line[1024];
        size_t length = 0;
        append(line, sizeof line, &length, programName);
        append(line, sizeof line, &length, signal == SIGINT ? ": stopped by SIGINT" : ": stopped by SIGTERM");
        append(line, sizeof line, &length, details[detailIndex.load()]);
        append(line, sizeof line, &length, "\n");
#ifdef _WIN32
        _write(2, line, unsigned(length));
#else
        ssize_t ignored = write(2, line, length);
        (void)ignored;
#endif
    }
    _exit(kExitSignalBase + signal);
}

void record(int signal) {
    // A second signal does not wait for the step in progress.
    if (caught) abandon(caught);
    caught = signal;
    sem_post(&wake);
#ifdef _WIN32
    std::signal(signal, record); // the runtime resets the handler before calling it
#endif
}

void watch() {
    while (sem_wait(&wake) != 0) {
    }
    std::this_thread::sleep_for(kGrace);
    abandon(caught);
}

void findProgramName() {
#ifdef _WIN32
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    const char* name = path;
    for (const char* p = path; *p; ++p)
        if (*p == '\\' || *p == '/') name = p + 1;
    std::snprintf(programName, sizeof programName, "%s", name);
    if (char* dot = std::strrchr(programName, '.')) *dot = '\0';
#else
    std::snprintf(programName, sizeof programName, "%s", program_invocation_short_name);
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
    static bool started = false;
    if (!started) {
        started = true;
        findProgramName();
        sem_init(&wake, 0, 0);
#ifdef _WIN32
        std::thread(watch).detach();
#else
        // The watchdog takes no signal itself: a blocked call of the program's own thread is interrupted.
        sigset_t stops, before;
        sigemptyset(&stops);
        sigaddset(&stops, SIGINT);
        sigaddset(&stops, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &stops, &before);
        std::thread(watch).detach();
        pthread_sigmask(SIG_SETMASK, &before, nullptr);
#endif
    }
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
    reported = true;
    std::fprintf(stderr, "%s: stopped by %s%s\n", program, signal == SIGINT ? "SIGINT" : "SIGTERM",
                 detail.c_str());
    return kExitSignalBase + signal;
}

void setStopDetail(const std::string& detail) {
    const int next = 1 - detailIndex.load();
    std::snprintf(details[next], sizeof details[next], "%s", detail.c_str());
    detailIndex.store(next);
}

void removeOnStop(const std::string& path) {
    if (path.size() >= sizeof files[0].path) return;
    for (TrackedFile& f : files) {
        int state = kFree;
        if (!f.state.compare_exchange_strong(state, kFilling)) continue;
        std::memcpy(f.path, path.c_str(), path.size() + 1);
        f.state.store(kTracked);
        return;
    }
}

void keepOnStop(const std::string& path) {
    for (TrackedFile& f : files)
        if (f.state.load() == kTracked && path == f.path) {
            f.state.store(kFree);
            return;
        }
}

void endOnStop(ChildProcess child) {
    for (std::atomic<ChildProcess>& c : children) {
        ChildProcess none = 0;
        if (c.compare_exchange_strong(none, child)) return;
    }
}

void forgetOnStop(ChildProcess child) {
    for (std::atomic<ChildProcess>& c : children) {
        ChildProcess expected = child;
        if (c.compare_exchange_strong(expected, 0)) return;
    }
}

} // namespace platform
