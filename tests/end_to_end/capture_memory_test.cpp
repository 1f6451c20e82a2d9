// mirelandt-capture with less memory than its picture needs: one line and the out-of-memory code, in the
// process that draws a still and in the workers that draw a sequence, and nothing written.
#include "tests/end_to_end/program_run.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

// 16384x16384 takes 1 GiB on the device and 1.75 GiB more for the read-back copies: under 2.6 GB of address
// space a CPU device still opens, the copies do not fit.
TEST(CaptureMemory, APictureThatDoesNotFitIsOneLineAndExitCode4) {
    const std::string dir = testing::TempDir() + "capture_memory_" + std::to_string(getpid()) + "/";
    fs::create_directories(dir);
    const std::string limited =
        "cd " + dir + " && ulimit -v 2600000 && timeout -s KILL 120 " + MIRELANDT_CAPTURE;
    const std::string line = "mirelandt-capture: cannot make a 16384x16384 picture: out of memory\n";
    struct Case {
        std::string arguments;
        std::string output;
    };
    const Case cases[] = {
        {"--size 16384x16384 --at 30 --out big.png", line},
        {"--size 16384x16384 --from 30 --to 30.2 --fps 10 --jobs 2 --out frames/",
         "music 30.000-30.200 s -> frames/music.wav\n" + line},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        const ProgramRun run = runProgram(limited + " " + c.arguments);
        // A GPU driver (or a sanitizer) that reserves more address space than the limit cannot start.
        if (run.output.find("could not be opened") != std::string::npos ||
            run.output.find("no suitable Vulkan device") != std::string::npos ||
            run.output.find("Sanitizer") != std::string::npos) {
            std::printf("skipped: the device does not start under the limit: %s", run.output.c_str());
            continue;
        }
        EXPECT_EQ(run.status, 4) << run.output;
        EXPECT_EQ(run.output, c.output);
        EXPECT_FALSE(fs::exists(dir + "big.png"));
        EXPECT_FALSE(fs::exists(dir + "frames/frame_000300.png"));
    }
    fs::remove_all(dir);
}

} // namespace
