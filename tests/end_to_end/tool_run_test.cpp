// The CPU tools run as programs (mirelandt-pages, -tracks, -music render, -composer): SIGINT and SIGTERM
// mid-run, and outputs that are not a plain new file.
#include "tests/end_to_end/program_run.h"

#include <stb/stb_image.h>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const std::string kTracks = MIRELANDT_TRACKS;

class ToolRun : public ::testing::Test {
  protected:
    // One folder per process: test runs of several checkouts may share the temporary folder.
    std::string dir = testing::TempDir() + "tool_run_" + std::to_string(getpid()) + "/";
    void SetUp() override { fs::create_directories(dir); }
    void TearDown() override { fs::remove_all(dir); }

    // What `dir` holds, folders followed, as names below it.
    std::vector<std::string> listing() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::recursive_directory_iterator(dir))
            names.push_back(entry.path().string().substr(dir.size()));
        std::sort(names.begin(), names.end());
        return names;
    }
};

// Each long-running tool stopped mid-run by each signal: the signal's exit code, the line saying so,
// neither the output nor a temporary file left (the pages keep the whole images written before), and a
// FIFO it was blocked on is still a FIFO.
TEST_F(ToolRun, ASignalStopsEveryToolWithNothingUnfinishedLeft) {
    const std::string log = dir + "log.txt";
    const auto logHas = [&](const char* text) {
        return [=] { return readText(log).find(text) != std::string::npos; };
    };
    const std::string render = std::string(MIRELANDT_MUSIC) + " render " + MIRELANDT_TEST_MODULE + " " + dir +
                               "song.wav --seconds 3600";
    struct Case {
        std::string command;
        int signal;
        std::function<bool()> reached;
        std::string line;
    };
    const Case cases[] = {
        // An hour of music takes seconds: stopped once the first progress report (at a tenth, into the log
        // file) is out.
        {render, SIGINT, logHas("rendered "), "mirelandt-music: stopped by SIGINT at "},
        {render, SIGTERM, logHas("rendered "), "mirelandt-music: stopped by SIGTERM at "},
        {std::string(MIRELANDT_PAGES) + " --out " + dir + "pages", SIGTERM,
         [&] { return fs::exists(dir + "pages/textBuffer1_f00.png"); },
         "mirelandt-pages: stopped by SIGTERM after "},
        {std::string(MIRELANDT_PAGES) + " --out " + dir + "pages", SIGINT,
         [&] { return fs::exists(dir + "pages/textBuffer1_f00.png"); },
         "mirelandt-pages: stopped by SIGINT after "},
        // The module and the plot take well under a second; then they wait for a FIFO's reader.
        {std::string(MIRELANDT_COMPOSER) + " " + dir + "fifo", SIGTERM, afterSeconds(1),
         "mirelandt-composer: stopped by SIGTERM; " + dir + "fifo is not written"},
        {std::string(MIRELANDT_COMPOSER) + " " + dir + "fifo", SIGINT, afterSeconds(1),
         "mirelandt-composer: stopped by SIGINT; "},
        {kTracks + " --plot " + dir + "fifo", SIGINT, afterSeconds(1),
         "mirelandt-tracks: stopped by SIGINT; " + dir + "fifo is not written"},
        {kTracks + " --plot " + dir + "fifo", SIGTERM, afterSeconds(1),
         "mirelandt-tracks: stopped by SIGTERM; "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command + " stopped by signal " + std::to_string(c.signal));
        fs::remove_all(dir);
        fs::create_directories(dir);
        ASSERT_EQ(mkfifo((dir + "fifo").c_str(), 0600), 0);
        const ProgramRun run = stopProgram(c.command, log, c.signal, c.reached);
        EXPECT_EQ(run.status, 128 + c.signal) << run.output;
        EXPECT_NE(run.output.find(c.line), std::string::npos) << run.output;
        EXPECT_TRUE(fs::is_fifo(dir + "fifo"));
        size_t pages = 0;
        for (const std::string& name : listing()) {
            if (name == "fifo" || name == "log.txt" || name == "pages") continue;
            // Only whole preview images, never a temporary file or a started output.
            EXPECT_TRUE(name.starts_with("pages/") && name.ends_with(".png") &&
                        name.find("/.") == std::string::npos)
                << name;
            int width = 0, height = 0, channels = 0;
            EXPECT_TRUE(stbi_info((dir + name).c_str(), &width, &height, &channels)) << name;
            pages += !name.ends_with("_sheet.png");
        }
        if (c.command.find("pages") != std::string::npos) {
            EXPECT_GE(pages, 1u);
            EXPECT_NE(run.output.find(std::to_string(pages) + " frames; the images written before stay in"),
                      std::string::npos)
                << run.output;
        }
    }
}

// Outputs that are not a plain new file, written by the plot and the composer: a FIFO with a reader,
// /dev/stdout into a pipe and a pipe as /dev/fd/N (process substitution) get the same bytes as a file; a
// loop of links is refused and left as it was; the longest names a folder takes, and one with ':', work.
TEST_F(ToolRun, OutputPathsGetTheWholeFileOrAClearRefusal) {
    const std::string composer = MIRELANDT_COMPOSER;
    ASSERT_EQ(runProgram(kTracks + " --plot " + dir + "plot.png").status, 0);
    ASSERT_EQ(runProgram(composer + " " + dir + "song.xm").status, 0);
    const std::string plot = readText(dir + "plot.png");
    const std::string song = readText(dir + "song.xm");
    ASSERT_GT(plot.size(), 1000u);
    ASSERT_GT(song.size(), 1000u);

    ASSERT_EQ(mkfifo((dir + "fifo.png").c_str(), 0600), 0);
    fs::create_symlink("b.png", dir + "a.png");
    fs::create_symlink("a.png", dir + "b.png");
    const std::string longest(255, 'n'); // the longest name `touch` accepts on the usual filesystems
    const std::string longPng = std::string(246, 'n') + ".png";
    struct Case {
        std::string command; // run by the shell in `dir`
        int status;
        std::string output; // stdout and stderr; for a pipe, the file's bytes
        std::string file;   // the file then holding `expected`, if any
        const std::string* expected;
    };
    const Case cases[] = {
        {kTracks + " --plot fifo.png & cat fifo.png > got.png; wait $!", 0, "", "got.png", &plot},
        {kTracks + " --plot /dev/stdout", 0, plot, "", nullptr},
        {kTracks + " --plot /dev/fd/3 3>&1", 0, plot, "", nullptr},
        {composer + " /dev/stdout", 0, song, "", nullptr},
        {kTracks + " --plot a.png", 1,
         "mirelandt-tracks: cannot write a.png: Too many levels of symbolic links\n", "", nullptr},
        {kTracks + " --plot " + longPng, 0, "", longPng, &plot},
        {composer + " " + longest, 0, "", longest, &song},
        {composer + " take:1.xm", 0, "", "take:1.xm", &song},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        // A tool blocked on the FIFO would hang the test: the shell ends it after a minute.
        const ProgramRun run = runProgram("cd " + dir + " && timeout 60 sh -c '" + c.command + "'");
        EXPECT_EQ(run.status, c.status) << run.output.substr(0, 200);
        EXPECT_TRUE(run.output == c.output) << run.output.substr(0, 200);
        if (c.expected) {
            EXPECT_TRUE(readText(dir + c.file) == *c.expected) << c.file;
        }
    }
    EXPECT_TRUE(fs::is_fifo(dir + "fifo.png"));
    EXPECT_EQ(fs::read_symlink(dir + "a.png"), "b.png");
    EXPECT_EQ(fs::read_symlink(dir + "b.png"), "a.png");
    for (const std::string& name : listing())
        EXPECT_FALSE(name.starts_with(".")) << "temporary file left: " << name;
}

} // namespace
