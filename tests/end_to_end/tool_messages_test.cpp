// The conventions every program keeps, run as programs: --help and --version answer on stdout with exit
// code 0, and --help ends with the one table of exit codes; a bad value, a stray word or two options that
// contradict each other get one line on stderr naming them, with the code of the table.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status;
    std::string out, err;
};

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class ToolMessages : public ::testing::Test {
  protected:
    std::string dir = testing::TempDir() + "tool_messages_" + std::to_string(getpid()) + "/";
    void SetUp() override { fs::create_directories(dir); }
    void TearDown() override { fs::remove_all(dir); }

    // `command` through the shell in `dir`, stdout and stderr apart.
    Outcome run(const std::string& command) const {
        const int status = std::system(
            ("cd " + dir + " && " + command + " >" + dir + "out.txt 2>" + dir + "err.txt").c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readText(dir + "out.txt"),
                readText(dir + "err.txt")};
    }
};

const std::string kIntro = MIRELANDT_INTRO;
const std::string kCapture = MIRELANDT_CAPTURE;
const std::string kTracks = MIRELANDT_TRACKS;
const std::string kPages = MIRELANDT_PAGES;

TEST_F(ToolMessages, HelpAndVersionAnswerOnStdoutWithTheTableOfExitCodes) {
    const std::string codes =
        "exit codes: 0 done, 1 a file that cannot be read or written or a failed device, "
        "2 a bad option,\n  3 invalid input, 4 out of memory or over a limit, 128+N after "
        "signal N (130 Ctrl+C, 143 SIGTERM)\n";
    for (const std::string& program : {kIntro, kCapture, kTracks, kPages}) {
        const std::string name = fs::path(program).filename().string();
        SCOPED_TRACE(name);
        // Among other arguments, even wrong ones, they still answer.
        for (const char* help : {" --help", " -h", " --bogus 1 --help"}) {
            const Outcome r = run(program + help);
            EXPECT_EQ(r.status, 0) << help << r.err;
            EXPECT_EQ(r.out.rfind("usage: " + name, 0), 0u) << help << r.out;
            EXPECT_TRUE(r.out.ends_with(codes)) << help << r.out;
            EXPECT_EQ(r.err, "") << help;
        }
        const Outcome r = run(program + " --version");
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out.rfind(name + " 1.", 0), 0u) << r.out;
        EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
        EXPECT_EQ(r.err, "");
    }
}

// command -> exit code -> the one line on stderr (nothing on stdout).
TEST_F(ToolMessages, RefusalsAreOneLineNamingTheOptionWithTheTablesCode) {
    std::ofstream(dir + "file.mp4") << "a file of the user's";
    const struct {
        std::string command;
        int status;
        std::string line;
    } cases[] = {
        {kIntro + " --window 160x90 --resolution 1920x1080", 2,
         "mirelandt: --window and --resolution conflict: --resolution sets the full screen's picture; a "
         "window "
         "renders at its size"},
        {kIntro + " --source .", 2,
         "mirelandt: --source names the checkout of --edit; without --edit it does nothing"},
        {kIntro + " --edit --loop", 2,
         "mirelandt: --edit and --loop conflict: the director mode holds the end and loops a section with L"},
        {kIntro + " --from 0x1E", 2, "mirelandt: --from takes seconds from 0 to under 67, not '0x1E'"},
        {kIntro + " extra", 2, "mirelandt: unknown option extra (--help lists them)"},
        // Direct3D 11 is Windows': asking for it, or for its present model, is a bad option here.
        {kIntro + " --gpu d3d11 --window 160x90", 2,
         "mirelandt: --gpu takes vulkan, the one renderer outside Windows, not 'd3d11'"},
        {kIntro + " --present flip", 2,
         "mirelandt: --present chooses how Direct3D 11 presents, on Windows only"},
        {kCapture + " --gpu d3d11 --at 1 --out a.png", 2,
         "mirelandt-capture: bad value for --gpu: d3d11 (want vulkan, the one renderer outside Windows)"},
        // No X server answers at that number: the display is named, not a missing X11 support.
        {"DISPLAY=:64999 WAYLAND_DISPLAY= " + kIntro + " --window 160x90 --no-audio", 1,
         "mirelandt: no display: cannot open the X display ':64999' that DISPLAY names (is its X server "
         "running?)"},
        {kCapture + " --out a.png extra", 2, "mirelandt-capture: unknown option extra (--help lists them)"},
        {kCapture + " --out", 2, "mirelandt-capture: --out needs a value"},
        {kCapture + " --at 30 --from 10 --to 20 --jobs 3 --out a.png", 2,
         "mirelandt-capture: --at and --from conflict: --at renders one still"},
        {kCapture + " --fps 0x1E --out a/", 2, "mirelandt-capture: bad value for --fps: 0x1E (want 1..1000)"},
        {kCapture + " --size 32x18 --fps 1 --to 1 --out file.mp4/", 1,
         "mirelandt-capture: cannot create the folder file.mp4/: file.mp4 is a file, not a folder"},
        {kPages + " --out file.mp4/", 1,
         "mirelandt-pages: cannot create the folder file.mp4/: file.mp4 is a file, not a folder"},
        {kPages + " --out file.mp4/sub/", 1,
         "mirelandt-pages: cannot create the folder file.mp4/sub/: file.mp4 is a file, not a folder"},
        {kPages, 2, "mirelandt-pages: --out DIR is required (--help lists the options)"},
        {kPages + " --out", 2, "mirelandt-pages: --out needs a folder"},
        {kPages + " --out a b", 2, "mirelandt-pages: unexpected argument 'b' after --out DIR"},
        {kPages + " --outdir a", 2, "mirelandt-pages: unknown option --outdir (--help lists them)"},
        {kTracks + " --plot plot.jpg", 2,
         "mirelandt-tracks: --plot writes a PNG image: name a .png file, not 'plot.jpg'"},
        {kTracks + " --plot plot.PNG.gif", 2,
         "mirelandt-tracks: --plot writes a PNG image: name a .png file, not 'plot.PNG.gif'"},
        {kTracks + " --reading /dev/null", 3,
         "mirelandt-tracks: /dev/null:1: the table ends before its `end` line (cut short, or caught while "
         "being "
         "saved)"},
        {kTracks + " --reading ./missing/tracks.txt", 1,
         "mirelandt-tracks: ./missing/tracks.txt: cannot read (No such file or directory)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        const Outcome r = run(c.command);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.err, c.line + "\n");
        EXPECT_EQ(r.out, "");
    }
    EXPECT_EQ(readText(dir + "file.mp4"), "a file of the user's");
    EXPECT_FALSE(fs::exists(dir + "plot.jpg"));
}

} // namespace
