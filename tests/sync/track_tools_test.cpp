// The command-line tool and the build-time table compiler, run as programs.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {

struct ToolRun {
    int status;
    std::string out, err;
};

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string scratch(const std::string& name) {
    return ::testing::TempDir() + "mirelandt_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name() + "_" + name;
}

ToolRun run(const std::string& arguments) {
    std::string out = scratch("stdout"), err = scratch("stderr");
    int status = std::system((arguments + " >" + out + " 2>" + err).c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(out), readFile(err)};
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

const std::string kTool = TRACKS_TOOL;

TEST(TracksTool, AtPrintsEveryTrackInOrderWithItsValue) {
    ToolRun r = run(kTool + " --at 0.2");
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> out = lines(r.out);
    ASSERT_EQ(out.size(), 104u);
    EXPECT_EQ(out[0].rfind("CameraPosX ", 0), 0u);
    EXPECT_EQ(out[103].rfind("mirrorY2 ", 0), 0u);
    EXPECT_EQ(out[2].rfind("CameraPosZ -13.442", 0), 0u) << out[2];
    EXPECT_EQ(out[5], "CameraDirZ 25");
    EXPECT_EQ(out[13], "SCENE_ONE 1");
    EXPECT_EQ(out[55], "NUMSPHEREZ 128");
    EXPECT_EQ(lines(run(kTool + " --at 0.22").out)[13], "SCENE_ONE 0");
}

TEST(TracksTool, KeysPrintsOneLinePerKey) {
    ToolRun r = run(kTool + " --keys");
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> out = lines(r.out);
    ASSERT_EQ(out.size(), 1129u);
    EXPECT_EQ(out[0], "0 CameraPosX 0 0 0");
    EXPECT_EQ(out[1], "0 CameraPosX 14 0.100000001 0");
    EXPECT_EQ(out[1128].rfind("103 mirrorY2 908 ", 0), 0u) << out[1128];
}

// Seconds are plain decimals from 0 to 67, as the capture takes them: the bounds themselves are times of
// the show, anything outside, hexadecimal, nan or a number with words after it is refused.
TEST(TracksTool, AtTakesTheShowsSecondsOnly) {
    for (const char* seconds : {"0", "67", "67.000", "6.7e1", "+30"}) {
        const ToolRun r = run(kTool + " --at " + seconds);
        EXPECT_EQ(r.status, 0) << seconds << ": " << r.err;
        EXPECT_EQ(lines(r.out).size(), 104u) << seconds;
    }
    // The first key's value, not a line extended back from the keys after it.
    EXPECT_EQ(lines(run(kTool + " --at 0").out)[2].rfind("CameraPosZ -9.98", 0), 0u);
}

// Each refusal is one line on stderr naming the option (or the stray word), exit code 2, nothing on stdout.
TEST(TracksTool, BadArgumentsGetOneLineAndExitTwo) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", "give --at SECONDS, --keys, --plot OUT.png or --reading [TRACKS.txt] (--help lists them)"},
        {" --at", "--at needs seconds from 0 to 67"},
        {" --at abc", "--at takes seconds from 0 to 67, not 'abc'"},
        {" --at 1.5x", "--at takes seconds from 0 to 67, not '1.5x'"},
        {" --at nan", "--at takes seconds from 0 to 67, not 'nan'"},
        {" --at inf", "--at takes seconds from 0 to 67, not 'inf'"},
        {" --at 1e99", "--at takes seconds from 0 to 67, not '1e99'"},
        {" --at -5", "--at takes seconds from 0 to 67, not '-5'"},
        {" --at -3.4e38", "--at takes seconds from 0 to 67, not '-3.4e38'"},
        {" --at 67.001", "--at takes seconds from 0 to 67, not '67.001'"},
        {" --at 0x1E", "--at takes seconds from 0 to 67, not '0x1E'"},
        {" --at ' 5'", "--at takes seconds from 0 to 67, not ' 5'"},
        {" --keys extra", "unexpected argument 'extra' after --keys"},
        {" --plot", "--plot needs a .png file"},
        {" --plot plot.jpg", "--plot writes a PNG image: name a .png file, not 'plot.jpg'"},
        {" --bogus", "unknown option --bogus (--help lists them)"},
        {" --at 1 2", "unexpected argument '2' after --at"},
        {" --reading a b", "unexpected argument 'b' after --reading"},
    };
    for (const auto& [arguments, line] : cases) {
        const ToolRun r = run(kTool + arguments);
        EXPECT_EQ(r.status, 2) << arguments;
        EXPECT_EQ(r.err, "mirelandt-tracks: " + line + "\n") << arguments;
        EXPECT_TRUE(r.out.empty()) << arguments;
    }
}

TEST(TracksTool, PlotWritesOnePngImage) {
    std::string png = scratch("plot.png");
    std::remove(png.c_str());
    ToolRun r = run(kTool + " --plot " + png);
    ASSERT_EQ(r.status, 0) << r.err;
    std::string bytes = readFile(png);
    ASSERT_GT(bytes.size(), 33u);
    EXPECT_EQ(bytes.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    auto be32 = [&](size_t at) {
        return uint32_t(uint8_t(bytes[at])) << 24 | uint32_t(uint8_t(bytes[at + 1])) << 16 |
               uint32_t(uint8_t(bytes[at + 2])) << 8 | uint32_t(uint8_t(bytes[at + 3]));
    };
    EXPECT_GT(be32(16), 3000u); // four columns of charts
    EXPECT_GT(be32(20), 2000u); // 26 charts in a column
}

TEST(TracksTool, PlotToAnUnwritablePathFailsWithAMessage) {
    ToolRun r = run(kTool + " --plot /nonexistent-folder/plot.png");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot write"), std::string::npos);
}

// The reading-time report: per page, one line per text row (`row from secs total cell-px text`), then
// `under 1.2 s: K of N lines`.
struct PageReading {
    std::string title;
    std::vector<std::pair<uint32_t, float>> rowSeconds;
    std::vector<float> cellPx;
    std::string summary;
};

std::vector<PageReading> parseReading(const std::string& out) {
    std::vector<PageReading> pages;
    for (const std::string& line : lines(out)) {
        if (!line.empty() && line[0] != ' ') {
            pages.push_back({line, {}, {}, {}});
            continue;
        }
        if (pages.empty()) continue;
        unsigned row;
        float from, secs, total, px;
        if (std::sscanf(line.c_str(), " %u %f %f %f %f", &row, &from, &secs, &total, &px) == 5) {
            pages.back().rowSeconds.push_back({row, secs});
            pages.back().cellPx.push_back(px);
        } else if (line.find("under ") != std::string::npos) {
            pages.back().summary = line;
        }
    }
    return pages;
}

TEST(TracksTool, ReadingTimeHoldsEveryLineOfTheShowsPagesAndFlagsAFastScroll) {
    ToolRun r = run(kTool + " --reading");
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<PageReading> pages = parseReading(r.out);
    ASSERT_EQ(pages.size(), 2u) << r.out;
    EXPECT_EQ(pages[0].title.rfind("credits scroller", 0), 0u);
    EXPECT_EQ(pages[1].title.rfind("section B title", 0), 0u);
    // The credits, every greeting name, the lines after them and the end: over thirty text rows.
    EXPECT_GT(pages[0].rowSeconds.size(), 30u);
    EXPECT_FALSE(pages[1].rowSeconds.empty());
    for (const PageReading& page : pages) {
        for (size_t i = 0; i < page.rowSeconds.size(); ++i) {
            EXPECT_GE(page.rowSeconds[i].second, 1.2f) << page.title << " row " << page.rowSeconds[i].first;
            EXPECT_GE(page.cellPx[i], 14.0f) << page.title << " row " << page.rowSeconds[i].first;
        }
        EXPECT_NE(page.summary.find("under 1.2 s: 0 of"), std::string::npos) << page.summary;
    }

    // The same keys with the scroller sweeping the page at an even nine rows a second: no line stays in
    // the sharp band long enough, and the report names them.
    std::string show = readFile(SHOW_TRACKS), edited;
    for (const std::string& line : lines(show)) {
        if (line.rfind("L2_Y ", 0) == 0) continue;
        if (line == "end") edited += "L2_Y 0 -95 linear\nL2_Y 480 94 hold\n";
        edited += line + "\n";
    }
    std::string path = scratch("sweep.txt");
    std::ofstream(path) << edited;
    r = run(kTool + " --reading " + path);
    ASSERT_EQ(r.status, 0) << r.err;
    pages = parseReading(r.out);
    ASSERT_EQ(pages.size(), 2u);
    for (auto [row, seconds] : pages[0].rowSeconds) EXPECT_LT(seconds, 1.2f) << "row " << row;
    EXPECT_NE(pages[0].summary.find("of " + std::to_string(pages[0].rowSeconds.size()) + " lines, rows"),
              std::string::npos)
        << pages[0].summary;

    r = run(kTool + " --reading /nonexistent-folder/tracks.txt");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("tracks.txt: cannot read"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty());
}

// The table compiler on a small names file and a keys text given here.
ToolRun compile(const std::string& keys) {
    std::string names = scratch("names.txt"), table = scratch("keys.txt"), out = scratch("out.cpp");
    std::ofstream(names) << "ALPHA\nBETA\n";
    std::ofstream(table) << keys;
    return run(std::string(TRACK_TABLE_GENERATOR) + " " + names + " " + table + " " + out);
}

TEST(TrackTableCompiler, AcceptsAWellFormedTable) {
    ToolRun r = compile(
        "# comment\ntempo 173 8\nALPHA 0 1.5 linear  # trailing comment\nBETA 3 1e8 quartic\r\n\nALPHA 8 "
        "-2 hold\nend\n# after the end\n");
    EXPECT_EQ(r.status, 0) << r.err;
    std::string generated = readFile(scratch("out.cpp"));
    EXPECT_NE(generated.find("{0u, 1.5, 1}"), std::string::npos) << generated;
    EXPECT_NE(generated.find("{3u, 100000000, 4}"), std::string::npos) << generated;
    EXPECT_NE(generated.find("kTrackKeyStart[kTrackCount + 1] = {0, 2, 3}"), std::string::npos) << generated;
}

TEST(TrackTableCompiler, RejectsMalformedTablesNamingTheLine) {
    const std::pair<const char*, const char*> cases[] = {
        {"tempo 173 8\nALPHA 0 1 hold\nALPHA 0 2 hold\nend\n", ":3: rows of ALPHA must rise strictly"},
        {"tempo 173 8\nALPHA 5 1 hold\nBETA 0 1 hold\nALPHA 4 2 hold\nend\n",
         ":4: rows of ALPHA must rise strictly"},
        {"tempo 173 8\nGAMMA 0 1 hold\nend\n", ":2: unknown track GAMMA"},
        {"tempo 173 8\nALPHA -1 1 hold\nend\n", ":2: row must be"},
        {"tempo 173 8\nALPHA 4294967296 1 hold\nend\n", ":2: row must be"},
        {"tempo 173 8\nALPHA 0 nan hold\nend\n", ":2: value must be"},
        {"tempo 173 8\nALPHA 0 1e39 hold\nend\n", ":2: value must be"},
        {"tempo 173 8\nALPHA 0 1.0x hold\nend\n", ":2: value must be"},
        {"tempo 173 8\nALPHA 0 1 cubic\nend\n", ":2: interpolation must be"},
        {"tempo 173 8\nALPHA 0 1\nend\n", ":2: expected `TRACK ROW VALUE INTERPOLATION`"},
        {"ALPHA 0 1 hold\nend\n", ":2: no tempo line"},
        {"tempo 0 8\nend\n", ":1: expected `tempo"},
        {"tempo 173 8\ntempo 120 8\nend\n", ":2: tempo given twice"},
        {"tempo 173 8\nend\nALPHA 0 1 hold\n", ":3: only comments may follow `end`"},
        {"tempo 173 8\nALPHA 0 1 hold\n", ":3: the table ends before its `end` line"},
        {"tempo 173 8\nALPHA 0 1 ho", ":2: the table ends before its `end` line"},
        {"", ":1: the table ends before its `end` line"},
    };
    for (auto [keys, message] : cases) {
        ToolRun r = compile(keys);
        EXPECT_EQ(r.status, 1) << keys;
        EXPECT_NE(r.err.find(message), std::string::npos) << keys << " gave: " << r.err;
    }
}

TEST(TrackTableCompiler, RejectsBadNamesFiles) {
    std::string names = scratch("names.txt"), table = scratch("keys.txt"), out = scratch("out.cpp");
    std::ofstream(table) << "tempo 173 8\nend\n";
    for (const char* text : {"ALPHA\nALPHA\n", "TWO WORDS\n", "bad-name\n", ""}) {
        std::ofstream(names) << text;
        ToolRun r = run(std::string(TRACK_TABLE_GENERATOR) + " " + names + " " + table + " " + out);
        EXPECT_EQ(r.status, 1) << text;
        EXPECT_NE(r.err.find("names.txt:"), std::string::npos) << r.err;
    }
    ToolRun missing = run(std::string(TRACK_TABLE_GENERATOR) + " /nonexistent " + table + " " + out);
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("cannot open"), std::string::npos);
}

} // namespace
