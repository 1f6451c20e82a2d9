#include "tools/capture/capture_options.h"

#include "base/command_line.h"
#include "base/parse_number.h"
#include "show/gpu_option.h"
#include "show/show_frame.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <thread>
#include <vector>

using namespace base;

namespace tools {

const char* const kCaptureUsage =
    "usage: mirelandt-capture [--size WxH] [--fps N] [--from S] [--to S] [--jobs N] [--timings]\n"
    "                         [--gpu d3d11|vulkan] --out FILE.mp4|DIR/\n"
    "       mirelandt-capture [--size WxH] [--timings] [--gpu d3d11|vulkan] --at S --out FILE.png\n"
    "  --jobs N   render in N worker processes, each on its own device (default: one per core); on\n"
    "             llvmpipe each worker rasterises on its share of the cores unless LP_NUM_THREADS is set\n"
    "  --timings  after the run, print each pass's mean and maximum GPU milliseconds (renders in one\n"
    "             process)\n"
    "  --gpu R    the renderer: d3d11 (Windows only, its default; when Direct3D 11 cannot start, one line\n"
    "             says why and Vulkan is tried) or vulkan (the default elsewhere); one asked for here, or "
    "in\n"
    "             MIRELANDT_GPU, is never swapped for the other\n"
    "  --help     this text;  --version  the version and the commit it was built "
    "from\n" MIRELANDT_EXIT_CODES_HELP;

namespace {

// The largest side a texture of the renderer takes on every device we target.
constexpr long kMaxSide = 16384;
// Each worker holds a device and a frame; more than this only waits on the same cores.
constexpr long kMaxJobs = 64;

bool endsWith(const std::string& text, const char* suffix) {
    const size_t n = std::strlen(suffix);
    return text.size() >= n && text.compare(text.size() - n, n, suffix) == 0;
}

// The options that take a value; --timings takes none.
constexpr const char* kValueOptions[] = {"--size", "--fps",  "--from", "--to",
                                         "--at",   "--jobs", "--gpu",  "--out"};

bool parseSeconds(const char* text, double* seconds) {
    return parseDecimal(text, 0.0, kShowEndSeconds, seconds);
}

} // namespace

bool parseCaptureOptions(int argc, const char* const* argv, CaptureOptions* options, std::string* error) {
    CaptureOptions o;
    o.jobs = int(std::clamp(std::thread::hardware_concurrency(), 1u, unsigned(kMaxJobs)));
    std::vector<std::string> given;
    for (int i = 1; i < argc; ++i) {
        const std::string flag = argv[i];
        given.push_back(flag);
        if (flag == "--timings") {
            o.timings = true;
            continue;
        }
        const char* const* known = std::find(std::begin(kValueOptions), std::end(kValueOptions), flag);
        if (known == std::end(kValueOptions)) {
            *error = "unknown option " + flag + " (--help lists them)";
            return false;
        }
        if (i + 1 >= argc) {
            *error = flag + " needs a value";
            return false;
        }
        const char* value = argv[++i];
        long whole = 0;
        bool ok = true;
        if (flag == "--size")
            ok = parseSize(value, kMaxSide, &o.width, &o.height);
        else if (flag == "--fps") {
            ok = parseWhole(value, 1, 1000, &whole);
            o.fps = int(whole);
        } else if (flag == "--from")
            ok = parseSeconds(value, &o.from);
        else if (flag == "--to")
            ok = parseSeconds(value, &o.to);
        else if (flag == "--at")
            ok = parseSeconds(value, &o.at);
        else if (flag == "--jobs") {
            ok = parseWhole(value, 1, kMaxJobs, &whole);
            o.jobs = int(whole);
        } else if (flag == "--gpu") {
            gpu::Renderer renderer;
            ok = show::parseGpuOption(value, &renderer);
            if (ok) o.renderer = renderer;
        } else
            o.out = value;
        if (!ok) {
            *error = "bad value for " + flag + ": " + value +
                     (flag == "--size"   ? " (want WxH, each 1.." + std::to_string(kMaxSide) + ")"
                      : flag == "--fps"  ? " (want 1..1000)"
                      : flag == "--jobs" ? " (want 1.." + std::to_string(kMaxJobs) + ")"
                      : flag == "--gpu"  ? std::string(" (want ") + show::kGpuOptionTakes + ")"
                                         : " (want seconds 0.." + std::to_string(int(kShowEndSeconds)) + ")");
            return false;
        }
    }
    const auto has = [&](const char* flag) {
        return std::find(given.begin(), given.end(), flag) != given.end();
    };
    const bool still = has("--at");
    // A still is one frame at its own time in this process; the options of a sequence would do nothing.
    for (const char* sequenceOnly : {"--from", "--to", "--fps", "--jobs"})
        if (still && has(sequenceOnly)) {
            *error = std::string("--at and ") + sequenceOnly + " conflict: --at renders one still";
            return false;
        }
    if (o.timings && has("--jobs")) {
        *error = "--timings and --jobs conflict: timing renders every frame in one process";
        return false;
    }
    if (o.out.empty()) {
        *error = "--out is required";
        return false;
    }
    if (still) {
        if (!endsWith(o.out, ".png")) {
            *error = "--at writes one still: --out must name a .png file";
            return false;
        }
        o.output = CaptureOutput::Still;
    } else if (endsWith(o.out, "/")) {
        o.output = CaptureOutput::PngFolder;
    } else if (endsWith(o.out, ".mp4")) {
        o.output = CaptureOutput::Video;
    } else {
        *error = "--out must be FILE.mp4 or a folder ending in / (or FILE.png with --at)";
        return false;
    }
    if (!still && o.from >= o.to) {
        *error = "--from must lie before --to";
        return false;
    }
    *options = o;
    return true;
}

} // namespace tools
