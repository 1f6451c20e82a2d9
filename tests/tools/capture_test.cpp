#include "music/mixer.h"
#include "tools/capture/capture_options.h"
#include "tools/capture/frame_schedule.h"
#include "tools/capture/music_capture.h"
#include "tools/capture/progress_bar.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

using namespace music;
using namespace tools;

namespace {

bool parse(std::vector<const char*> args, CaptureOptions* o, std::string* error) {
    args.insert(args.begin(), "mirelandt-capture");
    return parseCaptureOptions(int(args.size()), args.data(), o, error);
}

TEST(CaptureOptions, DefaultsAndTheThreeOutputs) {
    CaptureOptions o;
    std::string error;
    ASSERT_TRUE(parse({"--out", "show.mp4"}, &o, &error)) << error;
    EXPECT_EQ(o.width, 1280);
    EXPECT_EQ(o.height, 720);
    EXPECT_EQ(o.fps, 60);
    EXPECT_EQ(o.from, 0.0);
    EXPECT_EQ(o.to, 67.0);
    EXPECT_EQ(o.output, CaptureOutput::Video);
    EXPECT_FALSE(o.timings);

    // --timings takes no value, wherever it stands.
    ASSERT_TRUE(parse({"--out", "frames/", "--timings"}, &o, &error)) << error;
    EXPECT_TRUE(o.timings);
    ASSERT_TRUE(parse({"--timings", "--at", "3", "--out", "still.png"}, &o, &error)) << error;
    EXPECT_TRUE(o.timings);
    EXPECT_EQ(o.output, CaptureOutput::Still);

    ASSERT_TRUE(parse(
        {"--size", "320x180", "--fps", "25", "--from", "10", "--to", "12.5", "--out", "frames/"}, &o, &error))
        << error;
    EXPECT_EQ(o.width, 320);
    EXPECT_EQ(o.height, 180);
    EXPECT_EQ(o.fps, 25);
    EXPECT_EQ(o.to, 12.5);
    EXPECT_EQ(o.output, CaptureOutput::PngFolder);

    ASSERT_TRUE(parse({"--at", "30", "--size", "640x360", "--out", "still.png"}, &o, &error)) << error;
    EXPECT_EQ(o.output, CaptureOutput::Still);
    EXPECT_EQ(o.at, 30.0);
    EXPECT_EQ(o.width, 640);
}

// Each refusal is one line naming the option, or both options of a conflict.
TEST(CaptureOptions, RejectsWhatCannotBeCaptured) {
    const std::vector<std::pair<std::vector<const char*>, std::string>> cases = {
        {{}, "--out is required"},
        {{"--size", "640", "--out", "a.mp4"}, "bad value for --size: 640 (want WxH, each 1..16384)"},
        {{"--size", "0x10", "--out", "a.mp4"}, "bad value for --size: 0x10 (want WxH, each 1..16384)"},
        {{"--size", "640x360junk", "--out", "a.mp4"},
         "bad value for --size: 640x360junk (want WxH, each 1..16384)"},
        {{"--size", "0x140x90", "--out", "a.mp4"},
         "bad value for --size: 0x140x90 (want WxH, each 1..16384)"},
        {{"--fps", "0", "--out", "a.mp4"}, "bad value for --fps: 0 (want 1..1000)"},
        {{"--fps", "0x1E", "--out", "a.mp4"}, "bad value for --fps: 0x1E (want 1..1000)"},
        {{"--jobs", "2.5", "--out", "a.mp4"}, "bad value for --jobs: 2.5 (want 1..64)"},
        {{"--from", "10", "--to", "5", "--out", "a.mp4"}, "--from must lie before --to"},
        {{"--to", "68", "--out", "a.mp4"}, "bad value for --to: 68 (want seconds 0..67)"},
        {{"--from", "-1", "--out", "a.mp4"}, "bad value for --from: -1 (want seconds 0..67)"},
        {{"--from", "0x1E", "--out", "a.mp4"}, "bad value for --from: 0x1E (want seconds 0..67)"},
        {{"--at", "nan", "--out", "a.png"}, "bad value for --at: nan (want seconds 0..67)"},
        {{"--at", "inf", "--out", "a.png"}, "bad value for --at: inf (want seconds 0..67)"},
        {{"--at", "30s", "--out", "a.png"}, "bad value for --at: 30s (want seconds 0..67)"},
        {{"--at", "30", "--out", "a.mp4"}, "--at writes one still: --out must name a .png file"},
        {{"--out", "a.avi"}, "--out must be FILE.mp4 or a folder ending in / (or FILE.png with --at)"},
        {{"--colour", "red", "--out", "a.mp4"}, "unknown option --colour (--help lists them)"},
        {{"--out", "a.png", "extra"}, "unknown option extra (--help lists them)"},
        {{"--out"}, "--out needs a value"},
        {{"--at", "30", "--from", "10", "--to", "20", "--jobs", "3", "--out", "a.png"},
         "--at and --from conflict: --at renders one still"},
        {{"--to", "20", "--at", "30", "--out", "a.png"}, "--at and --to conflict: --at renders one still"},
        {{"--at", "30", "--fps", "30", "--out", "a.png"}, "--at and --fps conflict: --at renders one still"},
        {{"--jobs", "2", "--at", "30", "--out", "a.png"}, "--at and --jobs conflict: --at renders one still"},
        {{"--timings", "--jobs", "3", "--out", "a.mp4"},
         "--timings and --jobs conflict: timing renders every frame in one process"},
    };
    for (const auto& [arguments, message] : cases) {
        CaptureOptions o;
        std::string error;
        EXPECT_FALSE(parse(arguments, &o, &error)) << message;
        EXPECT_EQ(error, message);
    }
}

// --gpu for a still and a sequence: the renderer asked for ("default" when none is named), or the line
// refusing it, on Windows and where there is no Direct3D 11.
TEST(CaptureOptions, Renderer) {
    const std::string notHere = "bad value for --gpu: d3d11 (want vulkan, the one renderer outside Windows)";
    const struct {
        std::vector<const char*> arguments;
        std::string windows, elsewhere;
    } rows[] = {
        {{"--at", "30", "--out", "a.png"}, "default", "default"},
        {{"--gpu", "vulkan", "--at", "30", "--out", "a.png"}, "vulkan", "vulkan"},
        {{"--at", "30", "--gpu", "d3d11", "--out", "a.png"}, "d3d11", notHere},
        {{"--gpu", "d3d11", "--jobs", "2", "--out", "frames/"}, "d3d11", notHere},
        {{"--gpu", "vulkan", "--gpu", "d3d11", "--out", "a.mp4"}, "d3d11", notHere},
        {{"--gpu", "Vulkan", "--out", "a.mp4"},
         "bad value for --gpu: Vulkan (want d3d11 or vulkan)",
         "bad value for --gpu: Vulkan (want vulkan, the one renderer outside Windows)"},
        {{"--gpu", "", "--out", "a.mp4"},
         "bad value for --gpu:  (want d3d11 or vulkan)",
         "bad value for --gpu:  (want vulkan, the one renderer outside Windows)"},
        {{"--out", "a.mp4", "--gpu"}, "--gpu needs a value", "--gpu needs a value"},
        {{"--gpu", "vulkan"}, "--out is required", "--out is required"},
    };
    for (const auto& row : rows) {
        std::string line;
        for (const char* argument : row.arguments) line += std::string(argument) + " ";
        CaptureOptions o;
        std::string error;
        const std::string outcome = parse(row.arguments, &o, &error)
                                        ? (o.renderer ? gpu::RendererName(*o.renderer) : "default")
                                        : error;
#ifdef _WIN32
        EXPECT_EQ(outcome, row.windows) << line;
#else
        EXPECT_EQ(outcome, row.elsewhere) << line;
#endif
    }
}

TEST(CaptureClock, FrameNShowsTheMusicAtNOverFps) {
    EXPECT_EQ(videoFrameAt(0.0, 60), 0u);
    EXPECT_EQ(videoFrameAt(67.0, 60), 4020u); // the last frame rendered is 4019, at 66.983 s
    EXPECT_EQ(videoFrameAt(0.01, 60), 1u);
    EXPECT_EQ(audioFramesAt(60, 60), 44100u);
    EXPECT_EQ(audioFramesAt(1, 30), 1470u);
    EXPECT_EQ(showTimeAt(audioFramesAt(1800, 60)), 30.0f);
    EXPECT_LT(showTimeAt(audioFramesAt(4019, 60)), 67.0f);
    EXPECT_EQ(showTimeAt(audioFramesAtSeconds(30.0)), 30.0f);
}

TEST(CaptureProgress, ReportsFramesRateAndTimeLeft) {
    char line[160];
    formatProgress(line, sizeof line, 50, 200, 10.0);
    EXPECT_NE(std::strstr(line, "50/200 frames"), nullptr) << line;
    EXPECT_NE(std::strstr(line, "5.00 fps"), nullptr) << line;
    EXPECT_NE(std::strstr(line, "0:30 left"), nullptr) << line;
    EXPECT_NE(std::strstr(line, "[#######......."), nullptr) << line;
}

std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The float samples of a WAV file's data chunk.
std::vector<float> wavSamples(const std::vector<uint8_t>& file) {
    for (size_t at = 12; at + 8 <= file.size();) {
        uint32_t size = 0;
        std::memcpy(&size, &file[at + 4], 4);
        if (std::memcmp(&file[at], "data", 4) == 0) {
            std::vector<float> samples(size / 4);
            std::memcpy(samples.data(), &file[at + 8], samples.size() * 4);
            return samples;
        }
        at += 8 + size + (size & 1);
    }
    return {};
}

TEST(CaptureMusic, TheRingDeliversTheSongFramesOfTheRangeInOrder) {
    const std::vector<uint8_t> module = readFile(MIRELANDT_TEST_MODULE); // the intro's own, as committed
    ASSERT_FALSE(module.empty()) << "missing " << MIRELANDT_TEST_MODULE;
    const std::string wav = testing::TempDir() + "capture_music.wav";
    std::string error;
    // A start inside the second ring lap and an end a few laps later, neither on a ring boundary.
    ASSERT_TRUE(captureMusic(module.data(), uint32_t(module.size()), 5000, 21000, wav, &error)) << error;

    ModulePlayer* player = nullptr;
    ASSERT_EQ(createModulePlayer(module.data(), uint32_t(module.size()), &player, 44100), CreateOk);
    setLoopLimit(player, 1);
    std::vector<float> reference(21000 * 2);
    renderFrames(player, reference.data(), 21000);
    freeModulePlayer(player);

    ASSERT_TRUE(std::any_of(reference.begin() + 5000 * 2, reference.end(), [](float v) { return v != 0.0f; }))
        << "the range should not be silent";

    const std::vector<float> samples = wavSamples(readFile(wav));
    ASSERT_EQ(samples.size(), size_t(16000 * 2));
    for (size_t i = 0; i < samples.size(); ++i)
        ASSERT_EQ(samples[i], reference[5000 * 2 + i]) << "sample " << i;
    std::remove(wav.c_str());
}

TEST(CaptureMusic, AnUnwritableFileIsReported) {
    std::string error;
    EXPECT_FALSE(captureMusic(nullptr, 0, 0, 100, "/nonexistent-folder/music.wav", &error));
    EXPECT_NE(error.find("/nonexistent-folder/music.wav"), std::string::npos) << error;
}

} // namespace
