// The CPU tools run as programs on inputs and outputs that once crashed them or lost a file, and
// mirelandt-music's results and messages: lengths at every rate, codes and one-line refusals.
#include "tests/end_to_end/program_run.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

namespace {

namespace fs = std::filesystem;

const std::string kMusic = MIRELANDT_MUSIC;
const std::string kModule = MIRELANDT_TEST_MODULE;

class ToolFaults : public ::testing::Test {
  protected:
    // One folder per process, open to every user: one case runs a tool as an unprivileged one.
    std::string dir = testing::TempDir() + "tool_faults_" + std::to_string(getpid()) + "/";
    void SetUp() override {
        fs::create_directories(dir);
        fs::permissions(dir, fs::perms::all);
    }
    void TearDown() override { fs::remove_all(dir); }

    // `command` through the shell in `dir`, ended after two minutes at most.
    ProgramRun run(const std::string& command) const {
        return runProgram("cd " + dir + " && timeout 120 sh -c '" + command + "'");
    }
    void write(const std::string& name, const std::string& bytes) const {
        std::ofstream(dir + name, std::ios::binary) << bytes;
    }
};

uint32_t le32(const std::string& b, size_t at) {
    return uint8_t(b[at]) | uint8_t(b[at + 1]) << 8 | uint8_t(b[at + 2]) << 16 |
           uint32_t(uint8_t(b[at + 3])) << 24;
}
uint16_t le16(const std::string& b, size_t at) {
    return uint16_t(uint8_t(b[at]) | uint8_t(b[at + 1]) << 8);
}

// Frames in a float stereo WAV written by the tool (58 header bytes, 8 bytes a frame).
uint64_t wavFrames(const std::string& path) {
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    return ec || size < 58 ? 0 : (size - 58) / 8;
}

// Runs a tool as an unprivileged user where one can be had: the prefix for the command, or empty with
// `why` when there is none (root without setpriv, or a build that user cannot run).
std::string unprivileged(const std::string& dir, std::string* why) {
    if (geteuid() != 0) return " "; // already one
    const std::string prefix = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
    if (runProgram("cd " + dir + " && " + prefix + kMusic + " info").status != 0) {
        *why = "no unprivileged user can run the tool here (setpriv and uid 65534 needed)";
        return "";
    }
    return prefix;
}

// Every case leaves the files it names as they were; the refusal is one line and the table's code.
TEST_F(ToolFaults, FilesAndCrashesGetOneLineAndLeaveFilesAlone) {
    const std::string module = readText(kModule);
    ASSERT_GT(module.size(), 1000u);
    std::string why;
    const std::string asUser = unprivileged(dir, &why);
    struct Case {
        std::string setup;   // shell commands in a fresh `dir`
        std::string command; // the tool's run
        int status;
        std::string output;
        std::string file; // a file that must keep `kept`
        std::string kept;
    };
    const std::string composer = MIRELANDT_COMPOSER;
    const std::string tracks = MIRELANDT_TRACKS;
    const std::string keep = "printf KEEP > keep.wav";
    const Case cases[] = {
        // A stream that never ends is read only up to the cap, not until memory runs out.
        {"", kMusic + " info /dev/zero", 1,
         "mirelandt-music: /dev/zero: cannot read (larger than 256 MiB, too large for a module)\n", "", ""},
        {"", kMusic + " render /dev/zero out.wav", 1,
         "mirelandt-music: /dev/zero: cannot read (larger than 256 MiB, too large for a module)\n", "out.wav",
         ""},
        // A file with another name: writing one would part them.
        {keep + " && ln keep.wav other.wav", kMusic + " render " + kModule + " keep.wav --seconds 1", 1,
         "mirelandt-music: cannot write keep.wav: it has 2 names (hard links), and the others would keep the "
         "old content\n",
         "other.wav", "KEEP"},
        {"printf KEEP > song.xm && ln song.xm a.xm && ln song.xm b.xm", composer + " song.xm", 1,
         "mirelandt-composer: cannot write song.xm: it has 3 names (hard links), and the others would keep "
         "the old content\n",
         "a.xm", "KEEP"},
        {"printf KEEP > plot.png && ln plot.png other.png", tracks + " --plot plot.png", 1,
         "mirelandt-tracks: cannot write plot.png: it has 2 names (hard links), and the others would keep "
         "the "
         "old content\n",
         "plot.png", "KEEP"},
        // A write-protected file is refused, as the shell refuses it to the same user.
        {keep + " && chmod 444 keep.wav", asUser + kMusic + " render " + kModule + " keep.wav --seconds 1", 1,
         "mirelandt-music: cannot write keep.wav: Permission denied\n", "keep.wav", "KEEP"},
        // The output is the module itself, by a link or by its own name.
        {"cp " + kModule + " song.xm && ln -s song.xm song.wav", kMusic + " render song.xm song.wav", 2,
         "mirelandt-music: the output song.wav is the module song.xm itself\n", "song.xm", module},
        {"cp " + kModule + " song.xm", kMusic + " render song.xm song.xm", 2,
         "mirelandt-music: the output song.xm ends in .xm: it is a WAV file, not a module\n", "song.xm",
         module},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.setup + "; " + c.command);
        fs::remove_all(dir);
        fs::create_directories(dir);
        fs::permissions(dir, fs::perms::all);
        if (c.setup.find("chmod 444") != std::string::npos && asUser.empty()) {
            std::printf("skipped the write-protected case: %s\n", why.c_str());
            continue;
        }
        ASSERT_EQ(run(c.setup.empty() ? "true" : c.setup).status, 0);
        const ProgramRun got = run(c.command);
        EXPECT_EQ(got.status, c.status) << got.output.substr(0, 300);
        EXPECT_EQ(got.output, c.output);
        if (!c.file.empty()) {
            EXPECT_EQ(fs::exists(dir + c.file), !c.kept.empty());
            EXPECT_TRUE(readText(dir + c.file) == c.kept) << c.file;
        }
        for (const auto& entry : fs::directory_iterator(dir))
            EXPECT_FALSE(entry.path().filename().string().starts_with(".")) << "left: " << entry.path();
    }
}

// The intro's module with one field changed: the first instrument's first sample 1 GiB long, or no
// patterns (the pattern data is then read as instruments).
std::string withHugeSample(std::string module) {
    uint64_t at = 60 + le32(module, 60);
    for (uint32_t p = 0, n = le16(module, 70); p < n; ++p) at += le32(module, at) + le16(module, at + 7);
    const uint64_t sampleHeader = at + le32(module, at);
    const uint32_t length = 1u << 30;
    std::memcpy(&module[sampleHeader], &length, 4);
    return module;
}

TEST_F(ToolFaults, MusicToolResultsAndMessages) {
    const std::string module = readText(kModule);
    ASSERT_GT(module.size(), 1000u);
    write("song.xm", module);
    write("huge.xm", withHugeSample(module));
    std::string noPatterns = module;
    noPatterns[70] = noPatterns[71] = 0;
    write("none.xm", noPatterns);
    std::string badSignature = module;
    badSignature[3] = 'X';
    write("bad.xm", badSignature);
    const std::string render = kMusic + " render song.xm out.wav ";
    struct Case {
        std::string command;
        int status;
        std::string output; // stdout and stderr; a regular expression where it starts with '^'
    };
    const Case cases[] = {
        // --help and --version on standard output alone.
        {kMusic + " --version 2>/dev/null", 0, R"(^mirelandt-music [0-9]+\.[0-9]+\.[0-9]+ \(.+\)\n$)"},
        {kMusic + " --help 2>/dev/null", 0,
         R"(^usage: mirelandt-music info [^]*exit codes: 0 done, [^]*\n$)"},
        // A bad option or value: one line naming it, exit 2.
        {render + "--seconds nan", 2, "mirelandt-music: --seconds takes seconds from 0 to 3600, not nan\n"},
        {render + "--seconds 2s", 2, "mirelandt-music: --seconds takes seconds from 0 to 3600, not 2s\n"},
        {render + "--seconds -1", 2, "mirelandt-music: --seconds takes seconds from 0 to 3600, not -1\n"},
        {render + "--seconds -0.5", 2, "mirelandt-music: --seconds takes seconds from 0 to 3600, not -0.5\n"},
        {render + "--seconds 3600.5", 2,
         "mirelandt-music: --seconds takes seconds from 0 to 3600, not 3600.5\n"},
        {render + "--seconds", 2, "mirelandt-music: --seconds needs a value\n"},
        {render + "--bogus", 2, "mirelandt-music: unknown option --bogus (see --help)\n"},
        {kMusic + " --bogus", 2, "mirelandt-music: unknown option --bogus (see --help)\n"},
        {render + "--rate 7999", 2,
         "mirelandt-music: --rate takes a whole number of frames a second from 8000 to 384000, not 7999\n"},
        {render + "--rate 384001", 2,
         "mirelandt-music: --rate takes a whole number of frames a second from 8000 to 384000, not 384001\n"},
        {render + "--rate 44100.5", 2,
         "mirelandt-music: --rate takes a whole number of frames a second from 8000 to 384000, not "
         "44100.5\n"},
        {kMusic + " frobnicate", 2, "^usage: mirelandt-music"},
        // An output ending in .xm is refused: a forgotten output name cannot overwrite a module.
        {kMusic + " render song.xm", 2,
         "mirelandt-music: the output song.xm ends in .xm: it is a WAV file, not a module\n"},
        {kMusic + " render bad.xm BACKUP.XM", 2,
         "mirelandt-music: the output BACKUP.XM ends in .xm: it is a WAV file, not a module\n"},
        // An invalid module is 3; one that asks for more than the player's limit is 4, with the field.
        {kMusic + " info bad.xm", 3,
         "mirelandt-music: bad.xm: invalid module: wrong signature (not \"Extended Module: \")\n"},
        {kMusic + " render bad.xm out.wav", 3,
         "mirelandt-music: bad.xm: invalid module: wrong signature (not \"Extended Module: \")\n"},
        {kMusic + " info huge.xm", 4,
         R"(^mirelandt-music: huge.xm: the module asks for [0-9]+ bytes, more than the player's limit of 1 GiB )"
         R"(\(the length of sample 0 of instrument 1 asks for 1073741824\)\n$)"},
        {kMusic + " render none.xm out.wav", 4,
         R"(^mirelandt-music: none.xm: the module asks for [0-9]+ bytes, more than the player's limit of 1 GiB )"
         R"(\(the length of sample [0-9]+ of instrument [0-9]+ asks for [0-9]+\)\n$)"},
        // One name: the intro's own module into it.
        {kMusic + " render own.wav --seconds 0.5 --rate 8000", 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        const ProgramRun got = run(c.command);
        EXPECT_EQ(got.status, c.status) << got.output.substr(0, 300);
        if (c.output.starts_with("^"))
            EXPECT_TRUE(std::regex_search(got.output, std::regex(c.output))) << got.output.substr(0, 300);
        else
            EXPECT_EQ(got.output, c.output);
    }
    EXPECT_TRUE(readText(dir + "song.xm") == module);
    EXPECT_FALSE(fs::exists(dir + "out.wav"));
    EXPECT_EQ(wavFrames(dir + "own.wav"), 4000u);

    // Until silent, a render ends a second after the song: the song's length at 44100 frames a second,
    // scaled, at every rate. The player's tick clock is a float, which drifts a few frames in a minute at
    // the highest rates; the end looked for every 441 frames was off by up to 441.
    ASSERT_EQ(run(kMusic + " render song.xm at44100.wav").status, 0);
    const uint64_t song44100 = wavFrames(dir + "at44100.wav") - 44100;
    const ProgramRun info = run(kMusic + " info song.xm");
    const size_t at = info.output.find("seconds: ");
    ASSERT_NE(at, std::string::npos) << info.output;
    EXPECT_NEAR(double(song44100) / 44100, std::stod(info.output.substr(at + 9)), 0.0005);
    for (uint32_t rate : {8000u, 11025u, 22050u, 32000u, 48000u, 96000u, 384000u}) {
        SCOPED_TRACE(rate);
        const std::string out = "at" + std::to_string(rate) + ".wav";
        ASSERT_EQ(run(kMusic + " render song.xm " + out + " --rate " + std::to_string(rate)).status, 0);
        const double expected = double(song44100) * rate / 44100 + rate;
        EXPECT_NEAR(double(wavFrames(dir + out)), expected, 1.0 + rate / 20000.0);
        fs::remove(dir + out);
    }
}

} // namespace
