// Runs the shader tools for the director mode's rebuild and collects what they print.
#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace app {

// The full path of the program `name` on PATH; empty when no folder of PATH holds an executable of that name.
std::string findOnPath(std::string_view name);

struct ToolRun {
    int exitCode = -1;  // -1 when it could not start, ended on a signal or was stopped for taking too long
    std::string output; // standard output and standard error as printed, the first MiB of them
};

// Runs `path` with `arguments` (standard input empty) and waits for it; a run longer than `limit` is
// killed. Safe while other threads run: no fork of the whole process, no descriptor leaks into the child.
ToolRun runTool(const std::string& path, const std::vector<std::string>& arguments,
                std::chrono::milliseconds limit = std::chrono::seconds(30));

} // namespace app
