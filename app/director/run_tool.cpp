#include "app/director/run_tool.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace app {

namespace {

constexpr size_t kOutputLimit = 1 << 20;

} // namespace

std::string findOnPath(std::string_view name) {
    const char* path = std::getenv("PATH");
    if (!path || name.empty() || name.find('/') != std::string_view::npos) return {};
    std::string_view folders(path);
    while (true) {
        const size_t colon = folders.find(':');
        const std::string_view folder = folders.substr(0, colon);
        const std::string candidate = std::string(folder.empty() ? "." : folder) + "/" + std::string(name);
        struct stat s;
        if (stat(candidate.c_str(), &s) == 0 && S_ISREG(s.st_mode) && access(candidate.c_str(), X_OK) == 0)
            return candidate;
        if (colon == std::string_view::npos) return {};
        folders.remove_prefix(colon + 1);
    }
}

ToolRun runTool(const std::string& path, const std::vector<std::string>& arguments,
                std::chrono::milliseconds limit) {
    ToolRun run;
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
        run.output = std::string("cannot make a pipe: ") + std::strerror(errno);
        return run;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 2);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(path.c_str()));
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t child = 0;
    const int spawned = posix_spawn(&child, path.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    if (spawned != 0) {
        close(pipeEnds[0]);
        run.output = "cannot start " + path + ": " + std::strerror(spawned);
        return run;
    }

    const auto deadline = std::chrono::steady_clock::now() + limit;
    bool killed = false;
    for (char chunk[4096];;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd readable{pipeEnds[0], POLLIN, 0};
        const int ready = left.count() > 0 ? poll(&readable, 1, int(left.count())) : 0;
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) {
            kill(child, SIGKILL);
            killed = true;
            break;
        }
        const ssize_t got = read(pipeEnds[0], chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        run.output.append(chunk, size_t(got));
        if (run.output.size() > kOutputLimit) run.output.resize(kOutputLimit);
    }
    close(pipeEnds[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (killed)
        run.output += "\n(stopped after " + std::to_string(limit.count() / 1000) + " s)";
    else if (WIFEXITED(status))
        run.exitCode = WEXITSTATUS(status);
    return run;
}

} // namespace app
