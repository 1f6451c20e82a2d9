#include "tools/capture/timing_table.h"

#include "content/pass_list.h"

#include <cstdio>

using namespace Orvo::Gfx;

namespace tools {

namespace {

void appendRow(std::string& table, std::string_view name, const Orvo::Gfx::TimingStatistics& s) {
    char row[96];
    std::snprintf(row, sizeof(row), "%-14.*s %6u %9.3f %9.3f\n", int(name.size()), name.data(), s.count,
                  s.meanMilliseconds(), s.maxMilliseconds);
    table += row;
}

} // namespace

std::string timingTable(const Orvo::Gfx::PassTimer& timer, const std::string& adapter, int width,
                        int height) {
    std::string table = "GPU time on " + adapter + " at " + std::to_string(width) + "x" +
                        std::to_string(height) + ", in milliseconds\n";
    table += "pass             runs      mean       max\n";
    const auto& passes = timer.passes();
    for (size_t position = 0; position < passes.size(); ++position) {
        // The scene's own passes come first; the output pass that shows the picture follows them.
        const std::string_view name = position < kPassListNames.size() ? kPassListNames[position] : "output";
        appendRow(table, name, passes[position]);
    }
    appendRow(table, "frame", timer.frames());
    if (timer.disjointFrames())
        table += std::to_string(timer.disjointFrames()) + " frames left out: the GPU clock was not steady\n";
    return table;
}

} // namespace tools
