#include "app/intro_options.h"

#include "base/command_line.h"
#include "base/parse_number.h"
#include "show/gpu_option.h"
#include "show/show_frame.h"

#include <algorithm>
#include <cstring>
#include <vector>

using namespace base;

namespace app {

const char* const kIntroUsage =
    "usage: mirelandt [--window WxH | --fullscreen] [--resolution WxH] [--display N] [--from S] [--loop]\n"
    "                 [--no-audio] [--vsync on|off] [--gpu d3d11|vulkan] [--present flip|composition]\n"
    "                 [--no-dialog] [--stats N]\n"
    "       mirelandt --edit [--source DIR] [--window WxH] [--display N] [--from S] [--no-audio] [--vsync "
    "on|off]\n"
    "  --window WxH  a normal window of that size instead of the full screen\n"
    "  --fullscreen  borderless over the whole monitor (the default)\n"
    "  --resolution WxH  the full screen's picture rendered at WxH and scaled to the monitor (the default:\n"
    "                the monitor's size); the display's mode does not change\n"
    "  --display N   the monitor of the full screen or the window, 0 the primary one\n"
    "  --from S      start the music and the show at S seconds (0 to under 67)\n"
    "  --loop        at the end start again (at S with --from), until Escape or the window closes\n"
    "  --no-audio    play silently on the wall clock\n"
    "  --vsync V     on (the default): frames in step with the display's refresh; off: each one shown as\n"
    "                soon as it is drawn\n"
    "  --gpu R       the renderer: d3d11 (Windows only, its default; when Direct3D 11 cannot start, one "
    "line\n"
    "                says why and Vulkan is tried) or vulkan (the default elsewhere); one asked for here, "
    "or\n"
    "                in MIRELANDT_GPU, is never swapped for the other\n"
    "  --present P   Windows, Direct3D 11: composition presents through a composition swap chain on a\n"
    "                DirectComposition visual; without it (flip, the default) the intro presents through a\n"
    "                flip-model swap chain of its window\n"
    "  --no-dialog   Windows: start at once, without the start-up dialog (any option does; so does\n"
    "                MIRELANDT_NO_DIALOG=1)\n"
    "  --stats N     every N frames print the frames rendered and the resident memory (stderr)\n"
    "  --edit        director mode (Linux): a window to pause (Space), step a beat (Left/Right) or a bar\n"
    "                (Page Up/Down), go to the start (Home) and loop the section (L); the key table and\n"
    "                the programs of the checkout are taken in when saved\n"
    "  --source DIR  the checkout the director mode watches (default: the one it was built from)\n"
    "  --help        this text;  --version  the version and the commit it was built from\n"
    "Escape or closing the window ends it.\n" MIRELANDT_EXIT_CODES_HELP;

namespace {

// Each option with a value, and what the value must be.
struct ValueOption {
    const char* name;
    const char* takes;
};
constexpr ValueOption kValueOptions[] = {
    {"--window", "a size WxH, each side 1 to 16384"},
    {"--resolution", "a size WxH, each side 1 to 16384"},
    {"--display", "a monitor number 0 to 63"},
    {"--from", "seconds from 0 to under 67"},
    {"--stats", "a frame count 1 to 1000000"},
    {"--source", "the folder of a checkout"},
    {"--vsync", "on or off"},
    {"--gpu", show::kGpuOptionTakes},
    {"--present", "flip or composition"},
};

bool parseValue(IntroOptions& o, const std::string& flag, const char* value) {
    long whole = 0;
    if (flag == "--window") {
        o.placement.windowed = true;
        return parseSize(value, 16384, &o.placement.size.width, &o.placement.size.height);
    }
    if (flag == "--resolution") return parseSize(value, 16384, &o.resolution.width, &o.resolution.height);
    if (flag == "--display") {
        const bool ok = parseWhole(value, 0, 63, &whole);
        o.placement.display = int(whole);
        return ok;
    }
    if (flag == "--source") {
        o.source = value;
        return *value != '\0';
    }
    if (flag == "--vsync") {
        o.vsync = std::strcmp(value, "on") == 0;
        return o.vsync || std::strcmp(value, "off") == 0;
    }
    if (flag == "--gpu") {
        gpu::Renderer renderer;
        if (!show::parseGpuOption(value, &renderer)) return false;
        o.renderer = renderer;
        return true;
    }
    if (flag == "--present") {
        o.present =
            std::strcmp(value, "composition") == 0 ? gpu::PresentModel::Composition : gpu::PresentModel::Flip;
        return o.present == gpu::PresentModel::Composition || std::strcmp(value, "flip") == 0;
    }
    if (flag == "--stats") {
        const bool ok = parseWhole(value, 1, 1000000, &whole);
        o.statsEvery = int(whole);
        return ok;
    }
    // A start at the end would leave a looping run nothing to play.
    return parseDecimal(value, 0.0, kShowEndSeconds, &o.from) && o.from < kShowEndSeconds;
}

// Options that contradict each other, or that do nothing beside the other: refused rather than ignored.
struct Conflict {
    const char* first;
    const char* second;
    const char* why;
};
constexpr Conflict kConflicts[] = {
    {"--window", "--fullscreen", "a window or the full screen, not both"},
    {"--window", "--resolution", "--resolution sets the full screen's picture; a window renders at its size"},
    {"--edit", "--fullscreen", "the director mode runs in a window"},
    {"--edit", "--resolution", "the director mode runs in a window, at its size"},
    {"--edit", "--loop", "the director mode holds the end and loops a section with L"},
    {"--edit", "--stats", "the director mode shows its frame rate in the title bar"},
};

// The first conflict among the options given, as one line naming both; empty when there is none.
std::string findConflict(const std::vector<std::string>& given, const IntroOptions& o) {
    const auto has = [&](const char* flag) {
        return std::find(given.begin(), given.end(), flag) != given.end();
    };
    if (has("--source") && !has("--edit"))
        return "--source names the checkout of --edit; without --edit it does nothing";
#ifdef _WIN32
    if (has("--present") && o.renderer == gpu::Renderer::Vulkan)
        return "--gpu vulkan and --present conflict: --present chooses how Direct3D 11 presents";
#else
    (void)o;
    if (has("--present")) return "--present chooses how Direct3D 11 presents, on Windows only";
#endif
    for (const Conflict& c : kConflicts)
        if (has(c.first) && has(c.second))
            return std::string(c.first) + " and " + c.second + " conflict: " + c.why;
    return {};
}

} // namespace

bool parseIntroOptions(int argc, const char* const* argv, IntroOptions* options, std::string* error) {
    IntroOptions o;
    // Help and the version ask nothing of the other arguments, even wrong ones.
    for (int i = 1; i < argc; ++i) {
        const std::string flag = argv[i];
        if (flag == "--help" || flag == "-h" || flag == "--version") {
            o.command = flag == "--version" ? IntroCommand::Version : IntroCommand::Help;
            *options = o;
            return true;
        }
    }
    std::vector<std::string> given;
    for (int i = 1; i < argc; ++i) {
        const std::string flag = argv[i];
        given.push_back(flag);
        if (flag == "--fullscreen")
            o.placement.windowed = false;
        else if (flag == "--loop")
            o.loop = true;
        else if (flag == "--no-audio")
            o.noAudio = true;
        else if (flag == "--no-dialog")
            continue; // any option skips the start-up dialog; this one does nothing else
        else if (flag == "--edit")
            o.edit = true;
        else {
            const ValueOption* option = nullptr;
            for (const ValueOption& candidate : kValueOptions)
                if (flag == candidate.name) option = &candidate;
            if (!option) {
                *error = "unknown option " + flag + " (--help lists them)";
                return false;
            }
            if (i + 1 >= argc || !parseValue(o, flag, argv[i + 1])) {
                *error = flag + " takes " + option->takes +
                         (i + 1 < argc ? std::string(", not '") + argv[i + 1] + "'" : std::string());
                return false;
            }
            ++i;
        }
    }
    const std::string conflict = findConflict(given, o);
    if (!conflict.empty()) {
        *error = conflict;
        return false;
    }
    *options = o;
    return true;
}

} // namespace app
