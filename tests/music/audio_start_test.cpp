// Starting the music part-way: what the device plays from the start frame on is sample for sample what a
// run from the beginning plays there, and the clock reads the song's time.
#include "content/music/embedded_module.h"
#include "music/audio_stream.h"
#include "music/mixer.h"
#include "tests/music/fake_wave_out.h"

#include <gtest/gtest.h>

#include <vector>

using namespace Orvo::Gfx;
using namespace base;
using namespace music;

namespace {

TEST(AudioStart, TheRingFromAStartFrameHoldsTheSongOfAContinuousRun) {
    // Rows last 1911.8 frames and notes several rows: these fall inside rows and notes, and across the
    // ring's own size.
    const std::vector<uint32_t> starts = {1,      4095, 4097, 441000 + 955, 1000000 + 333, 1323000 + 1234,
                                          2950000};
    ModulePlayer* continuous = nullptr;
    ASSERT_EQ(createModulePlayer(embeddedModuleData(), embeddedModuleSize(), &continuous, kAudioRate),
              CreateOk);
    setLoopLimit(continuous, 1);
    std::vector<float> song(size_t(starts.back() + kRingFrames) * 2);
    renderFrames(continuous, song.data(), uint32_t(song.size() / 2));
    freeModulePlayer(continuous);

    for (uint32_t start : starts) {
        FakeWaveDriver driver;
        AudioStream stream;
        openAudioStream(stream, driver, embeddedModuleData(), embeddedModuleSize(), start);
        ASSERT_NE(stream.player, nullptr);
        bool audible = false;
        for (uint32_t i = 0; i < kRingFrames * 2; ++i) {
            ASSERT_EQ(stream.ring[i], song[size_t(start) * 2 + i]) << "start " << start << ", value " << i;
            audible |= stream.ring[i] != 0.0f;
        }
        EXPECT_TRUE(audible || start > 2900000) << "start " << start;
        EXPECT_FLOAT_EQ(audioTimeSeconds(stream), float(start) / kAudioRate);
        startPlayback(stream);
        driver.log.positionBytes = 44100 * 8;
        EXPECT_FLOAT_EQ(audioTimeSeconds(stream), float(start + 44100) / kAudioRate);
        closeAudioStream(stream);
    }
}

} // namespace
