// mirelandt-capture run as a program: stills at the asked size, repeatable to the byte, and clear
// errors for what it cannot do.
#include "tests/end_to_end/program_run.h"

#include <stb/stb_image.h>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

ProgramRun capture(const std::string& arguments, const std::string& environment = "") {
    return runProgram(environment + " " + MIRELANDT_CAPTURE + " " + arguments);
}

// Every name under `folder` that starts with '.': temporary files left behind.
std::vector<std::string> hiddenFiles(const std::string& folder) {
    std::vector<std::string> hidden;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        if (entry.path().filename().string().starts_with(".")) hidden.push_back(entry.path().string());
    return hidden;
}

bool isPng(const std::string& path, int width, int height) {
    int w = 0, h = 0, channels = 0;
    return stbi_info(path.c_str(), &w, &h, &channels) && w == width && h == height;
}

class CaptureRun : public ::testing::Test {
  protected:
    // One folder per process: test runs of several checkouts may share the temporary folder.
    std::string dir = testing::TempDir() + "capture_run_" + std::to_string(getpid()) + "/";
    void SetUp() override { std::filesystem::create_directories(dir); }
    void TearDown() override { std::filesystem::remove_all(dir); }
};

TEST_F(CaptureRun, ThreeStillsAtTheAskedSizeAndTheSameBytesTwice) {
    for (const char* at : {"5", "30", "60"}) {
        const std::string png = dir + "still_" + at + ".png";
        const ProgramRun run = capture(std::string("--at ") + at + " --size 320x180 --out " + png);
        ASSERT_EQ(run.status, 0) << run.output;
        int width = 0, height = 0, channels = 0;
        ASSERT_TRUE(stbi_info(png.c_str(), &width, &height, &channels)) << png;
        EXPECT_EQ(width, 320);
        EXPECT_EQ(height, 180);
    }
    const ProgramRun again = capture("--at 30 --size 320x180 --out " + dir + "again.png");
    ASSERT_EQ(again.status, 0) << again.output;
    EXPECT_EQ(readText(dir + "again.png"), readText(dir + "still_30.png"));
}

TEST_F(CaptureRun, AFolderGetsNumberedFramesAndTheMusic) {
    const ProgramRun run = capture("--size 64x36 --fps 10 --from 1 --to 1.3 --out " + dir + "frames/");
    ASSERT_EQ(run.status, 0) << run.output;
    for (const char* name : {"frame_000010.png", "frame_000011.png", "frame_000012.png"})
        EXPECT_TRUE(std::filesystem::exists(dir + "frames/" + name)) << name << "\n" << run.output;
    EXPECT_FALSE(std::filesystem::exists(dir + "frames/frame_000013.png"));
    // 0.3 s of float stereo behind the header.
    EXPECT_GE(std::filesystem::file_size(dir + "frames/music.wav"), 13230u * 8);
    EXPECT_NE(run.output.find("3/3 frames"), std::string::npos) << run.output;
}

// A range starts at its first frame, not at --from: frame n shows n / fps and is named by that number in
// the show; the music (and the line naming it) runs from the first frame's time to the end of the last.
TEST_F(CaptureRun, ARangeStartsAtItsFirstFrameInNameAndMusic) {
    struct Case {
        std::string arguments;
        uint64_t first, last; // the frames written
        std::string music;    // the line naming the music's times
        uint32_t musicFrames; // 44100 Hz stereo frames in music.wav
    };
    const Case cases[] = {
        {"--fps 1 --from 60.5 --to 62.5", 61, 62, "music 61.000-63.000 s", 2 * 44100},
        {"--fps 30 --from 20 --to 20.1", 600, 602, "music 20.000-20.100 s", 4410},
        {"--fps 7 --from 1 --to 1.3", 7, 9, "music 1.000-1.429 s", 63000 - 44100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        const std::string out = dir + "range/";
        std::filesystem::remove_all(out);
        const ProgramRun run = capture("--size 32x18 --jobs 1 " + c.arguments + " --out " + out);
        ASSERT_EQ(run.status, 0) << run.output;
        char name[32];
        for (uint64_t n : {c.first - 1, c.first, c.last, c.last + 1}) {
            std::snprintf(name, sizeof name, "frame_%06llu.png", static_cast<unsigned long long>(n));
            EXPECT_EQ(std::filesystem::exists(out + name), n >= c.first && n <= c.last) << name;
        }
        EXPECT_NE(run.output.find(c.music + " -> " + out + "music.wav"), std::string::npos) << run.output;
        const std::string wav = readText(out + "music.wav");
        const size_t data = wav.find("data");
        ASSERT_NE(data, std::string::npos);
        uint32_t bytes = 0;
        std::memcpy(&bytes, wav.data() + data + 4, 4);
        EXPECT_EQ(bytes, c.musicFrames * 8u);
    }
}

// Three workers, each entering the range at its own frames, write the same files as one process, over
// the cut into the drop at 22.2 s.
TEST_F(CaptureRun, WorkersWriteTheFramesOfOneProcess) {
    const std::string range = "--size 64x36 --fps 10 --from 21.9 --to 22.4 ";
    const ProgramRun one = capture(range + "--jobs 1 --out " + dir + "one/");
    ASSERT_EQ(one.status, 0) << one.output;
    const ProgramRun three = capture(range + "--jobs 3 --out " + dir + "three/");
    ASSERT_EQ(three.status, 0) << three.output;
    size_t frames = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir + "one/")) {
        const std::string name = entry.path().filename().string();
        ASSERT_TRUE(std::filesystem::exists(dir + "three/" + name)) << name;
        EXPECT_EQ(readText(entry.path().string()), readText(dir + "three/" + name)) << name;
        frames += name.ends_with(".png");
    }
    EXPECT_EQ(frames, 5u);
}

// SIGINT or SIGTERM while a still renders or waits for its FIFO's reader, after the first frames of a folder,
// and during a video: the exit code of the signal, one line saying where it stopped, no process left and no
// temporary file; a folder keeps its written frames whole, a still or a video is not written.
TEST_F(CaptureRun, ASignalEndsTheCaptureCleanly) {
    const std::string log = dir + "log.txt";
    const auto logHas = [&](const char* text) {
        return [=] { return readText(log).find(text) != std::string::npos; };
    };
    struct Case {
        std::string arguments;
        int signal;
        std::function<bool()> reached;
        std::string line; // in the stop message, after "stopped by SIGNAL"
        std::string out;  // what may remain
    };
    const Case cases[] = {
        // A 1280x720 still on lavapipe takes seconds: 1.5 s in, it is rendering. To a FIFO without a reader,
        // it is rendering or, on a faster device, waiting for the reader.
        {"--size 1280x720 --at 30 --out " + dir + "still.png", SIGINT, afterSeconds(1.5),
         " before the still at 30.000 s; " + dir + "still.png is not written", ""},
        {"--size 160x90 --at 30 --out " + dir + "fifo.png", SIGTERM, afterSeconds(1.5),
         " before the still at 30.000 s; " + dir + "fifo.png is not written", ""},
        // Frames where the cylinder is drawn take a while even this small, so 28-31 s is still rendering
        // after its second frame.
        {"--size 160x90 --fps 10 --from 28 --to 31 --jobs 2 --out " + dir + "frames/", SIGTERM,
         [&] { return std::filesystem::exists(dir + "frames/frame_000281.png"); }, " at frame ",
         dir + "frames/"},
        // The progress bar appears once the encoder has taken the first frame.
        {"--size 160x90 --fps 10 --from 28 --to 31 --out " + dir + "v.mp4", SIGINT, logHas(" frames "),
         "the unfinished " + dir + "v.mp4 is removed", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments + " stopped by signal " + std::to_string(c.signal));
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        ASSERT_EQ(mkfifo((dir + "fifo.png").c_str(), 0600), 0);
        const ProgramRun run =
            stopProgram(std::string(MIRELANDT_CAPTURE) + " " + c.arguments, log, c.signal, c.reached);
        EXPECT_EQ(run.status, 128 + c.signal) << run.output;
        const std::string stopped = c.signal == SIGINT ? "stopped by SIGINT" : "stopped by SIGTERM";
        EXPECT_NE(run.output.find("mirelandt-capture: " + stopped), std::string::npos) << run.output;
        EXPECT_NE(run.output.find(c.line), std::string::npos) << run.output;
        EXPECT_EQ(hiddenFiles(dir), std::vector<std::string>{});
        for (const auto& entry : std::filesystem::directory_iterator(dir))
            EXPECT_TRUE(entry.path() == log || entry.path().string() + "/" == c.out ||
                        (entry.path() == dir + "fifo.png" && entry.is_fifo()))
                << entry.path();
        if (c.out.empty()) continue;
        size_t pngs = 0;
        for (const auto& entry : std::filesystem::directory_iterator(c.out)) {
            if (!entry.path().string().ends_with(".png")) continue;
            ++pngs;
            EXPECT_TRUE(isPng(entry.path().string(), 160, 90)) << entry.path();
        }
        EXPECT_GE(pngs, 2u);
        EXPECT_LT(pngs, 30u);
    }
}

// A stop in the middle of frames that take many seconds each (on lavapipe): a still, a video whose frames
// render in the capture itself (--timings) and a folder rendered by workers, each ended within 5 s by
// either signal, with its exit code and line, no process and no file or temporary left (the folder keeps
// whole frames and its music); a second signal ends the run at once, well before the second the first one
// allows.
TEST_F(CaptureRun, ALongFrameIsAbandonedWithinSecondsAndASecondSignalEndsAtOnce) {
    const std::string log = dir + "log.txt";
    struct Case {
        std::string arguments;
        int signal, second;
        double seconds; // from the start to the signal
        std::string line;
    };
    const std::string sequence = "--size 1280x720 --fps 10 --from 28 --to 40 ";
    const Case cases[] = {
        {"--size 1920x1080 --at 30 --out " + dir + "still.png", SIGINT, 0, 1.5,
         "mirelandt-capture: stopped by SIGINT before the still at 30.000 s; " + dir +
             "still.png is not written"},
        {"--size 1920x1080 --at 30 --out " + dir + "still.png", SIGTERM, 0, 1.5,
         "mirelandt-capture: stopped by SIGTERM before the still at 30.000 s; "},
        {sequence + "--timings --out " + dir + "v.mp4", SIGTERM, 0, 4,
         "mirelandt-capture: stopped by SIGTERM at frame 28"},
        {sequence + "--timings --out " + dir + "v.mp4", SIGINT, 0, 4,
         "; the unfinished " + dir + "v.mp4 is removed"},
        {sequence + "--jobs 2 --out " + dir + "frames/", SIGINT, 0, 4,
         "mirelandt-capture: stopped by SIGINT at frame "},
        {"--size 1920x1080 --at 30 --out " + dir + "still.png", SIGINT, SIGTERM, 1.5,
         "mirelandt-capture: stopped by SIGINT before the still"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments + " stopped by signal " + std::to_string(c.signal));
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        const ProgramRun run = stopProgram(std::string(MIRELANDT_CAPTURE) + " " + c.arguments, log, c.signal,
                                           afterSeconds(c.seconds), c.second);
        EXPECT_EQ(run.status, 128 + c.signal) << run.output;
        EXPECT_LT(run.stopSeconds, c.second ? 0.8 : 5.0);
        EXPECT_NE(run.output.find(c.line), std::string::npos) << run.output;
        const size_t first = run.output.find("stopped by");
        EXPECT_EQ(run.output.find("stopped by", first + 1), std::string::npos)
            << "one stop line: " << run.output;
        EXPECT_EQ(hiddenFiles(dir), std::vector<std::string>{});
        for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
            const std::string name = entry.path().string();
            EXPECT_TRUE(name == log || name + "/" == dir + "frames/" || name == dir + "frames/music.wav" ||
                        (name.starts_with(dir + "frames/frame_") && isPng(name, 1280, 720)))
                << name;
        }
    }
}

// Outputs that are not a plain new file: a FIFO gets the whole still; a video, which is finished by
// seeking back, is refused for a FIFO or a device before any frame is rendered; a range with no frame is
// refused; a long name with ':' in it (which ffmpeg would read as a protocol) gets the whole video.
TEST_F(CaptureRun, OutputPathsAreCheckedBeforeRendering) {
    ASSERT_EQ(mkfifo((dir + "f.png").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo((dir + "f.mp4").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/null", dir + "null.mp4");
    const std::string longName = "take:" + std::string(241, 'n') + ".mp4"; // 250 characters
    struct Case {
        std::string arguments;
        int status;
        std::string said; // a line of the output
    };
    const Case cases[] = {
        // The reader is started first: the capture must not open the FIFO before it has the still.
        {"--size 160x90 --at 1 --out " + dir + "f.png 2>&1 & cat " + dir + "f.png > " + dir +
             "got.png; wait $!",
         0, "wrote " + dir + "f.png"},
        {"--size 32x18 --fps 4 --from 1 --to 2 --out " + dir + "null.mp4", 2,
         "mirelandt-capture: cannot write " + dir +
             "null.mp4: a video needs a regular file, not a FIFO or a device\n"},
        {"--size 32x18 --fps 4 --from 1 --to 2 --out " + dir + "f.mp4", 2, "needs a regular file"},
        {"--size 32x18 --from 66.99 --to 67 --out " + dir + "end.mp4", 2,
         "mirelandt-capture: --from 66.99 --to 67 holds no frame at 60 fps\n"},
        {"--size 32x18 --from 10.001 --to 10.002 --out " + dir + "empty/", 2, "holds no frame at 60 fps"},
        // Named from its folder: a path starting with a name and ':' is the one ffmpeg takes for a protocol.
        {"--size 32x18 --fps 4 --from 1 --to 1.5 --out '" + longName + "'", 0, "wrote " + longName},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        // A capture blocked on the FIFO would hang the test: it is ended after two minutes.
        const ProgramRun run = capture(c.arguments, "cd " + dir + " && timeout 120");
        EXPECT_EQ(run.status, c.status) << run.output;
        EXPECT_NE(run.output.find(c.said), std::string::npos) << run.output;
        // A refusal is one line, before the frames.
        if (c.status != 0) {
            EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1) << run.output;
        }
    }
    EXPECT_TRUE(isPng(dir + "got.png", 160, 90));
    EXPECT_TRUE(std::filesystem::is_character_file(dir + "null.mp4"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir + "null.mp4"));
    EXPECT_FALSE(std::filesystem::exists(dir + "end.mp4"));
    EXPECT_FALSE(std::filesystem::exists(dir + "empty"));
    const std::string video = readText(dir + longName);
    EXPECT_NE(video.find("avc1"), std::string::npos) << "no H.264 stream";
    EXPECT_NE(video.find("mp4a"), std::string::npos) << "no AAC stream";
    EXPECT_EQ(hiddenFiles(dir), std::vector<std::string>{});
}

// The encoder is started without a shell: a video name holding what a shell or cmd.exe would read ('%',
// '$', quotes, a backslash, spaces, a newline) is the file's name. Into a pipe (not a terminal), the
// progress is a plain line at each tenth of the frames and one at the end, with no carriage return.
TEST_F(CaptureRun, AnyOutputNameReachesTheEncoderAndALogGetsPlainProgressLines) {
    const std::string name = "a %PATH% $HOME `x` \"q\" 'p' \\ ;&|\nb.mp4";
    setenv("MIRELANDT_TEST_OUT", (dir + name).c_str(), 1);
    ProgramRun run = capture("--size 32x18 --fps 4 --from 1 --to 1.5 --out \"$MIRELANDT_TEST_OUT\"");
    ASSERT_EQ(run.status, 0) << run.output;
    const std::string video = readText(dir + name);
    EXPECT_NE(video.find("avc1"), std::string::npos) << "no H.264 stream\n" << run.output;
    EXPECT_NE(video.find("mp4a"), std::string::npos) << "no AAC stream";
    EXPECT_EQ(hiddenFiles(dir), std::vector<std::string>{});
    size_t entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) entries += entry.exists();
    EXPECT_EQ(entries, 1u);

    run = capture("--size 32x18 --fps 10 --from 1 --to 3 --out " + dir + "frames/");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output.find('\r'), std::string::npos) << run.output;
    std::vector<std::string> progress;
    for (size_t at = 0, end; (end = run.output.find('\n', at)) != std::string::npos; at = end + 1)
        if (const std::string line = run.output.substr(at, end - at);
            line.find(" frames ") != std::string::npos)
            progress.push_back(line.substr(line.find(']') + 2, line.find(" frames") - line.find(']') - 2));
    EXPECT_EQ(progress, (std::vector<std::string>{"2/20", "4/20", "6/20", "8/20", "10/20", "12/20", "14/20",
                                                  "16/20", "18/20", "20/20"}))
        << run.output;
}

TEST_F(CaptureRun, SaysWhatIsMissingOrWrong) {
    ProgramRun run = capture("--at 1 --out /nonexistent-folder/still.png");
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.output.find("cannot write /nonexistent-folder/still.png"), std::string::npos) << run.output;

    run = capture("--to 1 --out " + dir + "show.mp4", "PATH=/nonexistent");
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.output.find("ffmpeg"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("--out DIR/"), std::string::npos) << run.output;

    run = capture("--at 1 --out " + dir + "x.png", "MIRELANDT_VULKAN_DEVICE=no-such-adapter");
    EXPECT_NE(run.status, 0);
    EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1) << run.output;

    // A renderer asked for that cannot start is one line and the failed device's code, with nothing
    // written; --gpu beats MIRELANDT_GPU.
    const std::pair<std::string, std::string> unstartable[] = {
        {"--gpu vulkan", "VK_ICD_FILENAMES=/nonexistent VK_DRIVER_FILES=/nonexistent"},
        {"", "MIRELANDT_GPU=d3d11"},
        {"", "MIRELANDT_GPU=opengl"},
    };
    for (const auto& [option, environment] : unstartable) {
        run = capture(option + " --size 32x18 --at 1 --out " + dir + "x.png", environment);
        EXPECT_EQ(run.status, 1) << environment << ": " << run.output;
        EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1) << run.output;
        EXPECT_FALSE(std::filesystem::exists(dir + "x.png")) << environment;
    }
    run = capture("--gpu vulkan --size 32x18 --at 1 --out " + dir + "x.png", "MIRELANDT_GPU=d3d11");
    EXPECT_EQ(run.status, 0) << run.output;

    run = capture("--size huge --out " + dir + "x.mp4");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.output, "mirelandt-capture: bad value for --size: huge (want WxH, each 1..16384)\n");
}

} // namespace
