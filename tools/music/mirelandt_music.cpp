// mirelandt-music: inspect and render XM modules with the intro's own player.
//   mirelandt-music info [FILE.xm]          (without a file: the module compiled into the intro)
//   mirelandt-music render FILE.xm OUT.wav [--seconds S] [--rate HZ]
// Exit codes: 0 done, 1 usage or file error, 2 invalid module, 3 out of memory, 128 + the signal when
// SIGINT or SIGTERM stopped a render (the WAV file is then not written).
#include "base/show_constants.h"
#include "content/music/embedded_module.h"
#include "music/module_player.h"
#include "music/song_duration.h"
#include "platform/stop_signal.h"
#include "tools/output/progress_line.h"
#include "tools/output/wav_writer.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr uint32_t kMaxRate = 384000;
// Songs that never return to a played row (or an absurd --seconds) stop here.
constexpr double kMaxSeconds = 3600.0;
// Frames written to the file at a time.
constexpr uint32_t kBlockFrames = 4096;
// The song's end is looked for every 10 ms of output (at 44100 frames a second).
constexpr uint32_t kEndCheckFrames = 441;

enum ExitCode { ExitOk = 0, ExitUsageOrFile = 1, ExitInvalidModule = 2, ExitOutOfMemory = 3 };

struct PlayerDeleter {
    void operator()(ModulePlayer* p) const { freeModulePlayer(p); }
};
using PlayerPtr = std::unique_ptr<ModulePlayer, PlayerDeleter>;

int usage() {
    std::fprintf(stderr, "usage: mirelandt-music info [FILE.xm]   (no file: the intro's own module)\n"
                         "       mirelandt-music render FILE.xm OUT.wav [--seconds S] [--rate HZ]\n");
    return ExitUsageOrFile;
}

bool readFile(const char* path, std::vector<uint8_t>& bytes) {
    std::FILE* f = std::fopen(path, "rb");
    if (!f) return false;
    uint8_t buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
    bool failed = std::ferror(f);
    int savedErrno = errno;
    std::fclose(f);
    errno = savedErrno;
    return !failed;
}

// Loads the module (the intro's own when `path` is null) into a player, or prints why not and sets the
// exit code.
PlayerPtr loadPlayer(const char* path, uint32_t rate, int& exitCode) {
    std::vector<uint8_t> bytes;
    if (!path) {
        bytes.assign(embeddedModuleData(), embeddedModuleData() + embeddedModuleSize());
        path = "the intro's module";
    } else if (!readFile(path, bytes)) {
        std::fprintf(stderr, "mirelandt-music: %s: %s\n", path, std::strerror(errno));
        exitCode = ExitUsageOrFile;
        return nullptr;
    }
    if (bytes.size() > UINT32_MAX) {
        std::fprintf(stderr, "mirelandt-music: %s: file too large for a module\n", path);
        exitCode = ExitInvalidModule;
        return nullptr;
    }
    auto size = uint32_t(bytes.size());
    if (int check = validateModule(bytes.data(), size)) {
        std::fprintf(stderr, "mirelandt-music: %s: invalid module: %s\n", path, describeModuleCheck(check));
        exitCode = ExitInvalidModule;
        return nullptr;
    }
    ModulePlayer* player = nullptr;
    if (createModulePlayer(bytes.data(), size, &player, rate) != CreateOk) {
        std::fprintf(stderr, "mirelandt-music: %s: out of memory (the module needs %llu bytes)\n", path,
                     (unsigned long long)measureModule(bytes.data(), size));
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
    return ExitOk;
}

bool parseNumber(const char* text, double& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text, &end);
    return errno == 0 && end != text && *end == 0 && std::isfinite(value);
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

int render(int argc, char** argv) {
    const char* in = argv[2];
    const char* out = argv[3];
    double seconds = -1.0, rateValue = kAudioRate;
    for (int i = 4; i < argc; i += 2) {
        bool known = std::strcmp(argv[i], "--seconds") == 0 || std::strcmp(argv[i], "--rate") == 0;
        double value = 0.0;
        if (!known || i + 1 >= argc || !parseNumber(argv[i + 1], value)) return usage();
        (std::strcmp(argv[i], "--seconds") == 0 ? seconds : rateValue) = value;
    }
    if (seconds > kMaxSeconds || (seconds < 0.0 && seconds != -1.0) || rateValue < 1.0 ||
        rateValue > kMaxRate || rateValue != std::floor(rateValue)) {
        std::fprintf(stderr, "mirelandt-music: --seconds must be 0..%.0f and --rate a whole number 1..%u\n",
                     kMaxSeconds, kMaxRate);
        return ExitUsageOrFile;
    }
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
        return ExitUsageOrFile;
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
    // its first frame, and the loop count seen after a call holds for every frame of it but the first:
    // the end checks see the loop count as it is at their frame without the mixing stopping there.
    while (p->framesRendered < total) {
        if (stopSignal()) break;
        auto n = uint32_t(std::min<uint64_t>(kBlockFrames - filled, total - p->framesRendered));
        if (untilSilent && p->loopCount >= p->loopLimit)
            n = std::min(n, kEndCheckFrames - uint32_t(p->framesRendered % kEndCheckFrames));
        n = framesToTick(p, n);
        renderFrames(p, block + 2 * size_t(filled), n);
        filled += n;
        if ((filled == kBlockFrames || p->framesRendered == total) &&
            !wav.write(block, std::exchange(filled, 0)))
            break;
        // The song has gone silent: one more second, then stop.
        if (untilSilent && p->loopCount >= p->loopLimit && p->framesRendered % kEndCheckFrames == 0 &&
            total > p->framesRendered + rate)
            total = p->framesRendered + rate;
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
        return ExitUsageOrFile;
    }
    if (untilSilent && p->loopCount < p->loopLimit)
        std::fprintf(stderr, "mirelandt-music: the song did not end within %.0f s; stopped there\n",
                     kMaxSeconds);
    return ExitOk;
}

} // namespace

int main(int argc, char** argv) {
    if ((argc == 2 || argc == 3) && std::strcmp(argv[1], "info") == 0)
        return info(argc == 3 ? argv[2] : nullptr);
    if (argc >= 4 && std::strcmp(argv[1], "render") == 0) return render(argc, argv);
    return usage();
}
