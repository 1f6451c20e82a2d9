// mirelandt-capture run as a program: stills at the asked size, repeatable to the byte, and clear
// errors for what it cannot do.
#include <stb/stb_image.h>

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct ProgramRun {
    int status;
    std::string output; // stdout and stderr together
};

ProgramRun capture(const std::string& arguments, const std::string& environment = "") {
    const std::string command = environment + " " + MIRELANDT_CAPTURE + " " + arguments + " 2>&1";
    ProgramRun run{-1, {}};
    if (std::FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[512];
        while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) run.output.append(buffer, n);
        const int status = pclose(pipe);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    return run;
}

std::vector<char> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
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
    EXPECT_EQ(readFile(dir + "again.png"), readFile(dir + "still_30.png"));
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
        EXPECT_EQ(readFile(entry.path().string()), readFile(dir + "three/" + name)) << name;
        frames += name.ends_with(".png");
    }
    EXPECT_EQ(frames, 5u);
}

// SIGTERM after the first frames of a folder and SIGINT during a video: the exit code of the signal, one
// line saying where it stopped, the written frames whole, no video or temporary file, no process left.
TEST_F(CaptureRun, ASignalEndsTheCaptureCleanly) {
    const auto interrupt = [&](const std::string& arguments, int signal, const std::string& waitFor) {
        const std::string log = dir + "log.txt";
        const pid_t pid = fork();
        if (pid == 0) {
            setpgid(0, 0); // its own group: the signal reaches the capture alone, as kill(1) sends it
            if (!std::freopen(log.c_str(), "w", stderr)) _exit(127);
            execl("/bin/sh", "sh", "-c", ("exec " + std::string(MIRELANDT_CAPTURE) + " " + arguments).c_str(),
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        for (int i = 0; i < 1200 && !waitFor.empty() && !std::filesystem::exists(waitFor); ++i)
            usleep(100000);
        kill(pid, signal);
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status)) << arguments;
        EXPECT_EQ(WEXITSTATUS(status), 128 + signal) << arguments;
        EXPECT_EQ(kill(-pid, 0), -1) << "a worker or the encoder is still running";
        const std::vector<char> text = readFile(log);
        return std::string(text.begin(), text.end());
    };
    const std::string frames =
        interrupt("--size 32x18 --fps 10 --from 1 --to 3 --jobs 2 --out " + dir + "frames/", SIGTERM,
                  dir + "frames/frame_000011.png");
    EXPECT_NE(frames.find("stopped by SIGTERM at frame"), std::string::npos) << frames;
    size_t pngs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir + "frames/")) {
        const std::string name = entry.path().filename().string();
        ASSERT_FALSE(name.starts_with(".")) << "temporary file left: " << name;
        if (!name.ends_with(".png")) continue;
        ++pngs;
        int width = 0, height = 0, channels = 0;
        EXPECT_TRUE(stbi_info(entry.path().c_str(), &width, &height, &channels)) << name;
    }
    EXPECT_GE(pngs, 2u);
    EXPECT_LT(pngs, 20u);

    const std::string video = interrupt("--size 32x18 --fps 10 --from 1 --to 3 --out " + dir + "v.mp4",
                                        SIGINT, dir + "v.mp4.music.wav");
    EXPECT_NE(video.find("stopped by SIGINT"), std::string::npos) << video;
    EXPECT_NE(video.find("v.mp4 is removed"), std::string::npos) << video;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        EXPECT_TRUE(entry.is_directory() || entry.path().filename() == "log.txt") << entry.path();
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

    run = capture("--size huge --out " + dir + "x.mp4");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.output.find("usage:"), std::string::npos) << run.output;
}

} // namespace
