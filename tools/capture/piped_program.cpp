#include "tools/capture/piped_program.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

using namespace platform;

namespace tools {

std::string windowsCommandLine(const std::vector<std::string>& arguments) {
    std::string line;
    for (const std::string& argument : arguments) {
        if (!line.empty()) line.push_back(' ');
        if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) {
            line += argument;
            continue;
        }
        line.push_back('"');
        size_t backslashes = 0;
        for (const char c : argument) {
            if (c == '\\') {
                ++backslashes;
                continue;
            }
            // Backslashes before a quote are escapes, and so is one more for the quote itself; elsewhere
            // they are plain characters.
            line.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
            line.push_back(c);
            backslashes = 0;
        }
        // The closing quote follows: the backslashes before it are doubled.
        line.append(2 * backslashes, '\\');
        line.push_back('"');
    }
    return line;
}

#ifdef _WIN32
namespace {

std::wstring wide(const std::string& utf8) {
    const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring out(size_t(size), L'\0');
    if (size > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), out.data(), size);
    return out;
}

std::string windowsError() {
    char text[256];
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                        GetLastError(), 0, text, sizeof text, nullptr);
    std::string message(text, length);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.'))
        message.pop_back();
    return message;
}

} // namespace

bool PipedProgram::start(const std::vector<std::string>& arguments, std::string* error) {
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherited, 0)) {
        *error = "cannot start " + arguments[0] + ": " + windowsError();
        return false;
    }
    // Only the read end goes to the program: with the write end it would never see the end of its input.
    SetHandleInformation(writeEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = readEnd;
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    std::wstring line = wide(windowsCommandLine(arguments));
    const BOOL started = CreateProcessW(wide(arguments[0]).c_str(), line.data(), nullptr, nullptr, TRUE, 0,
                                        nullptr, nullptr, &startup, &process);
    const std::string failure = started ? std::string() : windowsError();
    CloseHandle(readEnd);
    if (!started) {
        CloseHandle(writeEnd);
        *error = "cannot start " + arguments[0] + ": " + failure;
        return false;
    }
    CloseHandle(process.hThread);
    child_ = reinterpret_cast<ChildProcess>(process.hProcess);
    input_ = reinterpret_cast<intptr_t>(writeEnd);
    endOnStop(child_);
    return true;
}

bool PipedProgram::write(const void* data, size_t size) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    while (size > 0) {
        DWORD written = 0;
        const auto chunk = DWORD(size < (1u << 30) ? size : (1u << 30));
        if (!WriteFile(reinterpret_cast<HANDLE>(input_), bytes, chunk, &written, nullptr) || written == 0) {
            errno = EPIPE;
            return false;
        }
        bytes += written;
        size -= written;
    }
    return true;
}

void PipedProgram::end(bool kill) {
    if (input_ != -1) CloseHandle(reinterpret_cast<HANDLE>(std::exchange(input_, -1)));
    if (!child_) return;
    const auto process = reinterpret_cast<HANDLE>(child_);
    if (kill) TerminateProcess(process, 1);
    WaitForSingleObject(process, INFINITE);
}

int PipedProgram::finish() {
    end(false);
    if (!child_) return -1;
    const auto process = reinterpret_cast<HANDLE>(child_);
    DWORD code = 0;
    const bool exited = GetExitCodeProcess(process, &code);
    forgetOnStop(child_);
    CloseHandle(process);
    child_ = 0;
    return exited ? int(code) : -1;
}

PipedProgram::~PipedProgram() {
    if (!child_) return;
    end(true);
    forgetOnStop(child_);
    CloseHandle(reinterpret_cast<HANDLE>(child_));
}
#else

bool PipedProgram::start(const std::vector<std::string>& arguments, std::string* error) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) {
        *error = "cannot start " + arguments[0] + ": " + std::strerror(errno);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[0], 0);
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, arguments[0].c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(ends[0]);
    if (spawned != 0) {
        close(ends[1]);
        *error = "cannot start " + arguments[0] + ": " + std::strerror(spawned);
        return false;
    }
    child_ = pid;
    input_ = ends[1];
    endOnStop(child_);
    return true;
}

bool PipedProgram::write(const void* data, size_t size) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    while (size > 0) {
        const ssize_t n = ::write(int(input_), bytes, size);
        if (n < 0 && errno == EINTR && !stopSignal()) continue;
        if (n <= 0) {
            if (n == 0) errno = EPIPE;
            return false;
        }
        bytes += n;
        size -= size_t(n);
    }
    return true;
}

void PipedProgram::end(bool kill) {
    if (input_ != -1) close(int(std::exchange(input_, -1)));
    if (!child_) return;
    if (kill) ::kill(pid_t(child_), SIGKILL);
}

int PipedProgram::finish() {
    end(false);
    if (!child_) return -1;
    int status = 0;
    pid_t waited;
    do waited = waitpid(pid_t(child_), &status, 0);
    while (waited < 0 && errno == EINTR);
    forgetOnStop(child_);
    child_ = 0;
    return waited > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

PipedProgram::~PipedProgram() {
    if (!child_) return;
    end(true);
    while (waitpid(pid_t(child_), nullptr, 0) < 0 && errno == EINTR) {
    }
    forgetOnStop(child_);
}
#endif

} // namespace tools
