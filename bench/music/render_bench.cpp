// Mixing speed, as a multiple of real time: 60 s of a 20-channel module with every channel sounding, and
// the intro's own module played once.
//   music_bench [benchmark options]
//   music_bench --write-module FILE.xm   writes the module, its pattern repeated in the order list for
//                                        the same 60 s, for timing other players on it
#include "base/show_constants.h"
#include "content/music/embedded_module.h"
#include "music/mixer.h"
#include "music/replayer.h"
#include "tests/music/test_modules.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

using namespace Orvo::Gfx;
using namespace base;
using namespace music;

namespace {

constexpr uint32_t kSeconds = 60;
constexpr uint16_t kChannels = 20;

// Looping 8- and 16-bit instruments, notes on every channel with the effects a demo song uses; the one
// pattern is played `orders` times.
std::vector<uint8_t> busyModule(uint8_t orders = 1) {
    XmModule song = makeSong(64, kChannels, 3);
    song.tempo = 173;
    XmInstrument wide;
    XmSample s;
    s.sixteenBit = true;
    for (int i = 0; i < 4000; ++i) s.points.push_back(int16_t(20000 * std::sin(i * 0.05)));
    s.loop = XmLoop::PingPong;
    s.loopStart = 2000;
    s.loopLength = 6000;
    wide.samples.push_back(s);
    wide.volumeEnvelope.points = {{0, 64}, {20, 40}, {40, 64}};
    wide.volumeEnvelope.type = 5;
    wide.volumeEnvelope.loopStart = 1;
    wide.volumeEnvelope.loopEnd = 2;
    song.instruments.push_back(wide);
    const uint8_t effects[][2] = {{EffectArpeggio, 0x37},    {EffectVibrato, 0x46},
                                  {EffectVolumeSlide, 0x01}, {EffectTremolo, 0x24},
                                  {EffectPortamentoUp, 1},   {EffectPanningSlide, 0x10}};
    for (uint16_t row = 0; row < 64; ++row)
        for (uint16_t ch = 0; ch < kChannels; ++ch) {
            const uint8_t* e = effects[(row + ch) % 6];
            bool note = row % 8 == ch % 8;
            song.cell(0, row, ch) = {uint8_t(note ? 30 + (ch * 5 + row) % 40 : 0),
                                     uint8_t(note ? 1 + ch % 2 : 0), uint8_t(note ? 0x50 : 0), e[0], e[1]};
        }
    song.order.assign(orders, 0);
    return writeXm(song);
}

// The module played through once lasts at least the benchmark's seconds: 64 rows of 3 ticks, each tick
// 2.5 / tempo seconds.
int writeBusyModule(const char* path) {
    constexpr double kPatternSeconds = 64 * 3 * 2.5 / 173;
    auto orders = uint8_t(std::ceil(kSeconds / kPatternSeconds));
    std::vector<uint8_t> bytes = busyModule(orders);
    std::FILE* f = std::fopen(path, "wb");
    bool written = f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (f && std::fclose(f) != 0) written = false;
    if (!written) {
        std::fprintf(stderr, "music_bench: cannot write %s\n", path);
        return 1;
    }
    return 0;
}

void BM_Render60Seconds(benchmark::State& state) {
    std::vector<uint8_t> bytes = busyModule();
    std::vector<float> buffer(2 * 4096);
    uint32_t sounding = 0;
    for (auto _ : state) {
        state.PauseTiming();
        PlayerPtr player = loadPlayer(bytes, kAudioRate);
        state.ResumeTiming();
        for (uint32_t done = 0; done < kSeconds * kAudioRate; done += 4096)
            renderFrames(player.get(), buffer.data(), std::min<uint32_t>(4096, kSeconds * kAudioRate - done));
        benchmark::DoNotOptimize(buffer.data());
        sounding = 0;
        for (uint32_t ch = 0; ch < kChannels; ++ch) sounding += player->channels[ch].position >= 0.0f;
    }
    // Seconds of music per second of work: the multiple of real time.
    state.counters["x_realtime"] =
        benchmark::Counter(double(kSeconds) * state.iterations(), benchmark::Counter::kIsRate);
    state.counters["channels_sounding"] = sounding;
}
BENCHMARK(BM_Render60Seconds)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The intro's module from its start to the end of the song, as the intro plays it.
void BM_RenderIntroModule(benchmark::State& state) {
    std::vector<uint8_t> bytes(embeddedModuleData(), embeddedModuleData() + embeddedModuleSize());
    std::vector<float> buffer(2 * 4096);
    uint64_t frames = 0;
    for (auto _ : state) {
        state.PauseTiming();
        PlayerPtr player = loadPlayer(bytes, kAudioRate);
        setLoopLimit(player.get(), 1);
        state.ResumeTiming();
        while (player->loopCount < player->loopLimit) renderFrames(player.get(), buffer.data(), 4096);
        benchmark::DoNotOptimize(buffer.data());
        frames += player->framesRendered;
    }
    state.counters["x_realtime"] =
        benchmark::Counter(double(frames) / kAudioRate, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RenderIntroModule)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--write-module") == 0) return writeBusyModule(argv[2]);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
