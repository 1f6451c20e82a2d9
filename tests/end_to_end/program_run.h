// The tools run as programs from a test: a command's exit code and output, and a run stopped by a signal
// once it has reached a given point.
#pragma once

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

struct ProgramRun {
    int status;             // the exit code, -1 when the program did not exit by itself
    std::string output;     // stdout and stderr together (a stopped run: stderr)
    double stopSeconds = 0; // a stopped run: from the first signal to the exit
};

// `command` through the shell, stderr joined to stdout.
inline ProgramRun runProgram(const std::string& command) {
    ProgramRun run{-1, {}};
    if (std::FILE* pipe = popen((command + " 2>&1").c_str(), "r")) {
        char buffer[512];
        while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) run.output.append(buffer, n);
        const int status = pclose(pipe);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    return run;
}

inline std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A condition for stopProgram: true from `seconds` after its first check, which comes as the program starts.
inline std::function<bool()> afterSeconds(double seconds) {
    return [seconds, start = std::chrono::steady_clock::time_point()]() mutable {
        const auto now = std::chrono::steady_clock::now();
        if (start == std::chrono::steady_clock::time_point()) start = now;
        return now - start >= std::chrono::duration<double>(seconds);
    };
}

// Starts `command` in a process group of its own (the signal reaches it alone, as kill(1) sends it), with
// stderr in `log`; once `reached` holds (checked every 50 ms, for at most two minutes) sends `signal`, and
// `second` (when not 0) 0.1 s later, and waits for the exit. Checks that nothing of the group is left
// running.
inline ProgramRun stopProgram(const std::string& command, const std::string& log, int signal,
                              const std::function<bool()>& reached, int second = 0) {
    const pid_t pid = fork();
    if (pid == 0) {
        setpgid(0, 0);
        if (!std::freopen(log.c_str(), "w", stderr)) _exit(127);
        execl("/bin/sh", "sh", "-c", ("exec " + command).c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    for (int i = 0; i < 2400 && !reached(); ++i) usleep(50000);
    const auto asked = std::chrono::steady_clock::now();
    kill(pid, signal);
    if (second) {
        usleep(100000);
        kill(pid, second);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - asked;
    EXPECT_EQ(kill(-pid, 0), -1) << command << ": a worker or the encoder is still running";
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readText(log), took.count()};
}
