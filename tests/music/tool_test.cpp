// mirelandt-music as a user runs it: info lines, rendered WAV files, exit codes for bad input.
#include "tests/music/test_modules.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

using namespace music;

namespace {

struct ToolRun {
    int exitCode;
    std::string output; // stdout and stderr
};

// Runs the tool with `arguments`, and with the environment's `settings` ("NAME=VALUE ...") where given.
ToolRun runTool(const std::string& arguments, const std::string& settings = "") {
    std::string command = settings + " " + MIRELANDT_MUSIC_TOOL + " " + arguments + " 2>&1";
    ToolRun run{-1, {}};
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, n);
    int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

class Tool : public testing::Test {
  protected:
    std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("mirelandt-music-test-" + std::to_string(::getpid()));
    void SetUp() override { std::filesystem::create_directories(dir); }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::string write(const std::string& name, const std::vector<uint8_t>& bytes) {
        std::string path = (dir / name).string();
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), long(bytes.size()));
        return path;
    }

    // Two 16-row patterns at speed 6, tempo 125: 32 rows of 6 x 882 frames, 3.84 s.
    std::string testModule() {
        XmModule song = makeSong(16, 2, 6);
        song.addPattern(16);
        song.order = {0, 1};
        song.cell(0, 0, 0) = {kMiddleC, 1, 0, 0, 0};
        return write("song.xm", writeXm(song));
    }
};

std::vector<uint8_t> readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}

TEST_F(Tool, InfoDescribesTheSong) {
    ToolRun run = runTool("info " + testModule());
    EXPECT_EQ(run.exitCode, 0);
    for (const char* line : {"channels: 2\n", "patterns: 2\n", "instruments: 1\n", "song_length: 2\n",
                             "restart: 0\n", "frequency: linear\n", "speed: 6\n", "tempo: 125\n",
                             "rows: 32\n", "seconds: 3.840\n", "looped: yes\n"})
        EXPECT_NE(run.output.find(line), std::string::npos) << line << run.output;
    // Without a file it describes the module compiled into the intro: the show's 20 channels at its tempo.
    ToolRun own = runTool("info");
    EXPECT_EQ(own.exitCode, 0) << own.output;
    for (const char* line : {"channels: 20\n", "frequency: linear\n", "tempo: 173\n", "looped: yes\n"})
        EXPECT_NE(own.output.find(line), std::string::npos) << line << own.output;
}

// The mixing tier it names: the one asked for; a name it does not know gets one line and the CPU's best.
TEST(ToolMixTier, InfoNamesTheTierAskedForOrSaysWhyNot) {
    ToolRun scalar = runTool("info", "MIRELANDT_MIX_TIER=scalar");
    EXPECT_NE(scalar.output.find("\nmixer: scalar\n"), std::string::npos) << scalar.output;
    ToolRun off = runTool("info", "MIRELANDT_NO_WIDE_MIX=1");
    EXPECT_NE(off.output.find("\nmixer: scalar\n"), std::string::npos) << off.output;
    ToolRun bogus = runTool("info", "MIRELANDT_MIX_TIER=sse9");
    EXPECT_EQ(bogus.exitCode, 0);
    EXPECT_NE(bogus.output.find("MIRELANDT_MIX_TIER=sse9: not scalar, avx2 or avx512; mixing with "),
              std::string::npos)
        << bogus.output;
}

TEST_F(Tool, RenderWritesFloatStereoWav) {
    std::string out = (dir / "a.wav").string();
    ToolRun run = runTool("render " + testModule() + " " + out + " --seconds 0.5 --rate 22050");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    std::vector<uint8_t> wav = readAll(out);
    ASSERT_EQ(wav.size(), 58u + 11025 * 8);
    EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
    EXPECT_EQ(le32(wav, 4), wav.size() - 8);
    EXPECT_EQ(wav[20] | wav[21] << 8, 3);  // IEEE float
    EXPECT_EQ(wav[22] | wav[23] << 8, 2);  // stereo
    EXPECT_EQ(le32(wav, 24), 22050u);      // frames per second
    EXPECT_EQ(le32(wav, 28), 22050u * 8);  // bytes per second
    EXPECT_EQ(wav[34] | wav[35] << 8, 32); // bits
    EXPECT_EQ(le32(wav, 46), 11025u);      // fact: frames
    EXPECT_EQ(std::string(wav.begin() + 50, wav.begin() + 54), "data");
    EXPECT_EQ(le32(wav, 54), 11025u * 8);
    float left = 0;
    std::memcpy(&left, &wav[58 + 8 * 5000], 4);
    EXPECT_GT(left, 0.05f); // the note sounds (left-weighted: sample panning is centre)
}

TEST_F(Tool, RenderStopsASecondAfterTheSongEnds) {
    // The song ends where its last row does (32 rows of 6 ticks: 169344 frames at 44100, 184320 at 48000),
    // and the render a second later.
    for (auto [rate, frames] : {std::pair{44100u, 169344u + 44100}, std::pair{48000u, 184320u + 48000}}) {
        std::string out = (dir / "b.wav").string();
        ToolRun run = runTool("render " + testModule() + " " + out + " --rate " + std::to_string(rate));
        ASSERT_EQ(run.exitCode, 0) << run.output;
        std::vector<uint8_t> wav = readAll(out);
        EXPECT_EQ((wav.size() - 58) / 8, frames) << rate;
        EXPECT_NE(run.output.find("rendered"), std::string::npos); // progress for a render over a second
        float last = 1;
        std::memcpy(&last, &wav[wav.size() - 8], 4);
        EXPECT_EQ(last, 0.0f);
    }
}

TEST_F(Tool, BadInputGivesClearErrors) {
    ToolRun missing = runTool("info " + (dir / "none.xm").string());
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.output.find("No such file or directory"), std::string::npos) << missing.output;

    std::vector<uint8_t> bytes = readAll(testModule());
    std::vector<uint8_t> shortFile(bytes.begin(), bytes.begin() + 59);
    std::vector<uint8_t> signature = bytes;
    signature[3] = 'X';
    std::vector<uint8_t> eof = bytes;
    eof[37] = 0;
    std::vector<uint8_t> version = bytes;
    version[58] = 3;
    for (auto [file, reason] : {std::pair{shortFile, "too short"},
                                {signature, "wrong signature"},
                                {eof, "missing 0x1A"},
                                {version, "version not 1.04"}}) {
        ToolRun run = runTool("info " + write("bad.xm", file));
        EXPECT_EQ(run.exitCode, 3) << reason;
        EXPECT_NE(run.output.find(reason), std::string::npos) << run.output;
        run = runTool("render " + write("bad.xm", file) + " " + (dir / "c.wav").string());
        EXPECT_EQ(run.exitCode, 3) << reason;
    }
    EXPECT_EQ(runTool("render " + testModule() + " " + (dir / "no/such/dir.wav").string()).exitCode, 1);
    EXPECT_EQ(runTool("render " + testModule() + " x.wav --rate 0").exitCode, 2);
    EXPECT_EQ(runTool("frobnicate").exitCode, 2);
}

} // namespace
