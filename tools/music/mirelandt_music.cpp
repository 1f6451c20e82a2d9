// mirelandt-music: inspect and render XM modules with the intro's own player.
//   mirelandt-music info [FILE.xm]                            (no file: the module compiled into the intro)
//   mirelandt-music render [FILE.xm] OUT.wav [--seconds S] [--rate HZ]   (no FILE.xm: the intro's module)
//   mirelandt-music --help | --version
// Exit codes (base/exit_codes.h): 0 done; 1 a file that cannot be read or written; 2 a bad option or value;
// 3 an invalid module; 4 out of memory or a module larger than the player's limit; 128 + the signal when
// SIGINT or SIGTERM stopped a render (the WAV file is then not written).
#include "base/command_line.h"
#include "base/exit_codes.h"
#include "base/show_constants.h"
#include "content/music/embedded_module.h"
#include "music/mixer.h"
#include "music/module_player.h"
#include "music/song_duration.h"
#include "music/wide_mix.h"
#include "platform/stop_signal.h"
#include "tools/output_files/progress_line.h"
#include "tools/output_files/wav_writer.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

using namespace Orvo::Gfx;
using namespace base;
using namespace music;
using namespace output_files;
using namespace platform;

namespace tools {

namespace {

constexpr uint32_t kMinRate = 8000;
constexpr uint32_t kMaxRate = 384000;
// Songs that never return to a played row (or an absurd --seconds) stop here.
constexpr double kMaxSeconds = 3600.0;
// Frames written to the file at a time.
constexpr uint32_t kBlockFrames = 4096;
// The largest module in use is a few MB; a file past this is not one (and /dev/zero never ends).
constexpr size_t kMaxModuleBytes = size_t(256) << 20;

constexpr char kUsage[] =
    "usage: mirelandt-music info [FILE.xm]        (no file: the intro's own module)\n"
    "       mirelandt-music render [FILE.xm] OUT.wav [--seconds S] [--rate HZ]\n"
    "                               (no FILE.xm: the intro's own module; OUT.wav may not end in .xm)\n"
    "  --seconds S  render S seconds (0 to 3600); without it, until a second after the song ends\n"
    "  --rate HZ    frames a second, a whole number from 8000 to 384000 (default "
    "44100)\n" MIRELANDT_EXIT_CODES_HELP;

struct PlayerDeleter {
    void operator()(ModulePlayer* p) const { freeModulePlayer(p); }
};
using PlayerPtr = std::unique_ptr<ModulePlayer, PlayerDeleter>;

int usage() {
    std::fputs(kUsage, stderr);
    return ExitUsage;
}

// One line naming the option and what it takes.
int refuse(const std::string& reason) {
    return refuseCommandLine("mirelandt-music", reason);
}

// False with errno set on a read error, or with EFBIG once the file passes kMaxModuleBytes.
bool readFile(const char* path, std::vector<uint8_t>& bytes) {
    std::FILE* f = std::fopen(path, "rb");
    if (!f) return false;
    uint8_t buffer[65536];
    size_t n;
    bool tooLarge = false;
    while (!tooLarge && (n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
        bytes.insert(bytes.end(), buffer, buffer + n);
        tooLarge = bytes.size() > kMaxModuleBytes;
    }
    bool failed = std::ferror(f);
    int savedErrno = errno;
    std::fclose(f);
    errno = tooLarge ? EFBIG : savedErrno;
    return !failed && !tooLarge;
}

// "sample 2 of instrument 3" and the like: the part of the module that asks for the most memory.
std::string describeClaim(const ModuleClaim& claim) {
    switch (claim.part) {
    case PartPatternTable:
        return "the pattern count";
    case PartInstrumentTable:
        return "the instrument count";
    case PartPatternCells:
        return "the rows and channels of pattern " + std::to_string(claim.index);
    case PartSampleTable:
        return "the sample count of instrument " + std::to_string(claim.instrument);
    case PartSampleData:
        return "the length of sample " + std::to_string(claim.index) + " of instrument " +
               std::to_string(claim.instrument);
    }
    return "the module";
}

// Loads the module (the intro's own when `path` is null) into a player, or prints why not and sets the
// exit code.
PlayerPtr loadPlayer(const char* path, uint32_t rate, int& exitCode) {
    std::vector<uint8_t> bytes;
    if (!path) {
        bytes.assign(embeddedModuleData(), embeddedModuleData() + embeddedModuleSize());
        path = "the intro's module";
    } else if (!readFile(path, bytes)) {
        if (errno == EFBIG)
            std::fprintf(stderr,
                         "mirelandt-music: %s: cannot read (larger than %zu MiB, too large for a module)\n",
                         path, kMaxModuleBytes >> 20);
        else
            std::fprintf(stderr, "mirelandt-music: %s: %s\n", path, std::strerror(errno));
        exitCode = ExitFailure;
        return nullptr;
    }
    auto size = uint32_t(bytes.size());
    if (int check = validateModule(bytes.data(), size)) {
        std::fprintf(stderr, "mirelandt-music: %s: invalid module: %s\n", path, describeModuleCheck(check));
        exitCode = ExitInvalidInput;
        return nullptr;
    }
    // A valid module may still ask for more than the player takes: a sample's length or a pattern's rows
    // are read as they stand.
    const uint64_t needed = measureModule(bytes.data(), size);
    if (needed > kMaxPlayerBlockSize) {
        const ModuleClaim claim = largestModuleClaim(bytes.data(), size);
        std::fprintf(stderr,
                     "mirelandt-music: %s: the module asks for %llu bytes, more than the player's limit of "
                     "%llu GiB (%s asks for %llu)\n",
                     path, (unsigned long long)needed, (unsigned long long)(kMaxPlayerBlockSize >> 30),
                     describeClaim(claim).c_str(), (unsigned long long)claim.bytes);
        exitCode = ExitOutOfMemory;
        return nullptr;
    }
    ModulePlayer* player = nullptr;
    if (createModulePlayer(bytes.data(), size, &player, rate) != CreateOk) {
        std::fprintf(stderr, "mirelandt-music: %s: out of memory (the module needs %llu bytes)\n", path,
                     (unsigned long long)needed);
        exitCode = ExitOutOfMemory;
        return nullptr;
    }
    return PlayerPtr(player);
}

int info(const char* path) {
    int exitCode = ExitOk;
    PlayerPtr player = loadPlayer(path, kAudioRate, exitCode);
    if (!player) return exitCode;
    const ModulePlayer& p = *player;
    std::printf("channels: %u\npatterns: %u\ninstruments: %u\nsong_length: %u\nrestart: %u\n", p.channelCount,
                p.patternCount, p.instrumentCount, p.songLength, p.restartPosition);
    std::printf("frequency: %s\nspeed: %u\ntempo: %u\n",
                p.frequencyMode == FrequencyLinear ? "linear" : "amiga", p.speed, p.tempo);
    std::fflush(stdout);
    SongDuration d = measureSongDuration(player.get(), uint64_t(kMaxSeconds * kAudioRate));
    std::printf("rows: %u\nseconds: %.3f\nlooped: %s\n", d.rows, double(d.frames) / kAudioRate,
                d.looped ? "yes" : "no");
    // The mixing tier this CPU plays it with (every tier gives the same output).
    std::printf("mixer: %s\n", mixTierName(mixTier()));
    return ExitOk;
}

bool parseNumber(const char* text, double& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text, &end);
    return errno == 0 && end != text && *end == 0 && std::isfinite(value);
}

bool endsWithXm(const std::string& name) {
    const auto lower = [&](size_t fromEnd) {
        return std::tolower(static_cast<unsigned char>(name[name.size() - fromEnd]));
    };
    return name.size() >= 3 && name[name.size() - 3] == '.' && lower(2) == 'x' && lower(1) == 'm';
}

void reportProgress(ProgressLine& progress, double seconds, bool done) {
    char text[48];
    std::snprintf(text, sizeof text, "rendered %.1f s", seconds);
    progress.print(text, done);
}

// After SIGINT or SIGTERM: the WAV file is not put in place (its temporary file is removed).
int stopped(double seconds, const char* out) {
    char at[64];
    std::snprintf(at, sizeof at, " at %.1f s; ", seconds);
    return reportStop("mirelandt-music", at + std::string(out) + " is not written");
}

// Arguments after "render": one or two names (the module, which defaults to the intro's own, and the WAV
// file) and the options in any order.
int render(int argc, char** argv) {
    std::vector<const char*> names;
    double seconds = -1.0, rateValue = kAudioRate; // no --seconds: until the song has ended
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.size() < 2 || arg[0] != '-') {
            names.push_back(argv[i]);
            continue;
        }
        if (arg != "--seconds" && arg != "--rate") return refuse("unknown option " + arg + " (see --help)");
        if (i + 1 >= argc) return refuse(arg + " needs a value");
        const char* text = argv[++i];
        double value = 0.0;
        const bool number = parseNumber(text, value);
        if (arg == "--seconds") {
            if (!number || value < 0.0 || value > kMaxSeconds)
                return refuse("--seconds takes seconds from 0 to " + std::to_string(int(kMaxSeconds)) +
                              ", not " + text);
            seconds = value;
        } else {
            if (!number || value < kMinRate || value > kMaxRate || value != std::floor(value))
                return refuse("--rate takes a whole number of frames a second from " +
                              std::to_string(kMinRate) + " to " + std::to_string(kMaxRate) + ", not " + text);
            rateValue = value;
        }
    }
    if (names.empty() || names.size() > 2) return usage();
    const char* in = names.size() == 2 ? names[0] : nullptr;
    const char* out = names.back();
    // A forgotten output name would make the module the output.
    if (endsWithXm(out))
        return refuse(std::string("the output ") + out + " ends in .xm: it is a WAV file, not a module");
    std::error_code ec;
    if (in && std::filesystem::equivalent(in, out, ec))
        return refuse(std::string("the output ") + out + " is the module " + in + " itself");
    auto rate = uint32_t(rateValue);

    int exitCode = ExitOk;
    PlayerPtr player = loadPlayer(in, rate, exitCode);
    if (!player) return exitCode;
    // As the intro drives it: the song plays once, then stays silent.
    setLoopLimit(player.get(), 1);

    catchStopSignals();
    WavWriter wav;
    std::string error;
    if (!wav.open(out, rate, &error)) {
        if (stopSignal()) return stopped(0.0, out);
        std::fprintf(stderr, "mirelandt-music: %s\n", error.c_str());
        return ExitFailure;
    }
    const bool untilSilent = seconds < 0.0;
    uint64_t total = untilSilent ? uint64_t(kMaxSeconds * rate) : uint64_t(std::llround(seconds * rate));
    bool showProgress = total > rate;
    ProgressLine progress(total);
    uint64_t lastReport = 0;
    float block[2 * kBlockFrames];
    uint32_t filled = 0;
    ModulePlayer* p = player.get();
    // The player is driven a tick at a time, so that a tick never falls inside a render call except at
    // its first frame: a loop count that has reached the limit after a call was reached by the tick at
    // the call's first frame, which is where the song ends.
    while (p->framesRendered < total) {
        if (stopSignal()) break;
        const uint64_t start = p->framesRendered;
        const bool ended = p->loopCount >= p->loopLimit;
        auto n = framesToTick(p, uint32_t(std::min<uint64_t>(kBlockFrames - filled, total - start)));
        renderFrames(p, block + 2 * size_t(filled), n);
        filled += n;
        if ((filled == kBlockFrames || p->framesRendered == total) &&
            !wav.write(block, std::exchange(filled, 0)))
            break;
        // The song has gone silent: one more second, then stop.
        if (untilSilent && !ended && p->loopCount >= p->loopLimit) total = std::min(total, start + rate);
        if (showProgress && p->framesRendered < total &&
            progress.due(p->framesRendered, p->framesRendered - lastReport >= 5ull * rate)) {
            lastReport = p->framesRendered;
            reportProgress(progress, double(lastReport) / rate, false);
        }
    }
    if (showProgress) reportProgress(progress, double(p->framesRendered) / rate, true);
    if (!wav.close(&error)) {
        if (stopSignal()) return stopped(double(p->framesRendered) / rate, out);
        std::fprintf(stderr, "mirelandt-music: %s\n", error.c_str());
        return ExitFailure;
    }
    if (untilSilent && p->loopCount < p->loopLimit)
        std::fprintf(stderr, "mirelandt-music: the song did not end within %.0f s; stopped there\n",
                     kMaxSeconds);
    return ExitOk;
}

} // namespace

} // namespace tools

using namespace tools;

int main(int argc, char** argv) {
    if (answerHelpOrVersion(argc, argv, "mirelandt-music", kUsage)) return ExitOk;
    const std::string command = argc >= 2 ? argv[1] : "";
    if (command == "info" && argc <= 3) {
        if (argc == 3 && argv[2][0] == '-' && argv[2][1])
            return refuse(std::string("unknown option ") + argv[2] + " (see --help)");
        return info(argc == 3 ? argv[2] : nullptr);
    }
    if (command == "render") return render(argc, argv);
    if (command.size() > 1 && command[0] == '-') return refuse("unknown option " + command + " (see --help)");
    return usage();
}
