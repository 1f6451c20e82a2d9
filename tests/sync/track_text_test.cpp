// The run-time reader of the key table (readTrackFile) against the table the build compiles: both come
// from the same edited copy of the show's tracks.txt, so every track must agree key for key and value for
// value; faults name their line, and a table cut short anywhere is refused.
#include "content/track_table.h"
#include "sync/evaluate_track.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace Orvo::Gfx;
using namespace base;
using namespace sync_tracks;

namespace {

std::string readText(const char* path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Same tempo, same keys to the bit, and the same value at many times from row 0 to past the last key.
void expectSameTracks(const TrackSet& expected, const TrackSet& actual) {
    ASSERT_EQ(expected.beatsPerMinute, actual.beatsPerMinute);
    ASSERT_EQ(expected.rowsPerBeat, actual.rowsPerBeat);
    ASSERT_EQ(expected.tracks.count, kTrackCount);
    ASSERT_EQ(actual.tracks.count, kTrackCount);
    uint32_t lastRow = 0;
    for (uint32_t i = 0; i < kTrackCount; ++i) {
        const DynArray<SyncKey>& e = expected.track(i).keys;
        const DynArray<SyncKey>& a = actual.track(i).keys;
        ASSERT_EQ(e.count, a.count) << kTrackNames[i];
        for (uint32_t k = 0; k < e.count; ++k) {
            ASSERT_EQ(e[k].row, a[k].row) << kTrackNames[i] << " key " << k;
            ASSERT_EQ(std::bit_cast<uint32_t>(e[k].value), std::bit_cast<uint32_t>(a[k].value))
                << kTrackNames[i] << " key " << k;
            ASSERT_EQ(e[k].interpolation, a[k].interpolation) << kTrackNames[i] << " key " << k;
            lastRow = std::max(lastRow, e[k].row);
        }
    }
    const float rowRate = float(expected.rowsPerBeat) * expected.beatsPerMinute / 60.0f;
    for (uint32_t row = 0; row <= lastRow + 16; row += row < 2000 ? 1 : 97)
        for (float part : {0.0f, 0.37f, 0.999f})
            for (uint32_t i = 0; i < kTrackCount; ++i) {
                const float t = (float(row) + part) / rowRate;
                ASSERT_EQ(std::bit_cast<uint32_t>(evaluateTrack(expected, i, t)),
                          std::bit_cast<uint32_t>(evaluateTrack(actual, i, t)))
                    << kTrackNames[i] << " at row " << row << " + " << part;
            }
}

class TrackFileReader : public ::testing::Test {
  protected:
    TrackSet compiled; // what the build made of the edited table
    const std::string edited = readText(EDITED_TRACKS);
    void SetUp() override { layDownTrackKeys(compiled); }
};

TEST_F(TrackFileReader, ReadsTheEditedTableAsTheBuildCompiledIt) {
    TrackSet read;
    std::string error;
    ASSERT_TRUE(readTrackFile(EDITED_TRACKS, read, &error)) << error;
    expectSameTracks(compiled, read);

    // The edits are in: no linear key is left before the added ones, which follow every 13th track's last.
    TrackSet show;
    ASSERT_TRUE(readTrackFile(SHOW_TRACKS, show, &error)) << error;
    uint32_t added = 0, linearBefore = 0, linearInShow = 0;
    for (uint32_t i = 0; i < kTrackCount; ++i) {
        for (const SyncKey& key : read.track(i).keys) {
            added += key.row >= 100000;
            linearBefore += key.row < 100000 && key.interpolation == int32_t(Interpolation::Linear);
        }
        for (const SyncKey& key : show.track(i).keys)
            linearInShow += key.interpolation == int32_t(Interpolation::Linear);
        EXPECT_EQ(read.track(i).keys.count, show.track(i).keys.count + (i % 13 ? 0 : 2)) << kTrackNames[i];
    }
    EXPECT_EQ(added, 16u);
    EXPECT_EQ(linearBefore, 0u);
    EXPECT_GT(linearInShow, 0u);

    // A set read before is replaced whole, whatever it held.
    TrackSet reused;
    reused.resize(200);
    reused.track(150).addKey({1, 2.0f, 1});
    ASSERT_TRUE(readTrackText(edited, "tracks.txt", reused, &error)) << error;
    expectSameTracks(compiled, reused);
}

TEST_F(TrackFileReader, AFaultNamesItsLineAndLeavesTheTracksAsTheyWere) {
    // Each bad line goes just before `end`, which it pushes down one line.
    const size_t endAt = edited.rfind("\nend\n") + 1;
    const uint32_t endLine = uint32_t(std::count(edited.begin(), edited.begin() + long(endAt), '\n')) + 1;
    const std::pair<std::string, std::string> cases[] = {
        {"Nobody 10 1 hold", "unknown track Nobody"},
        {"Cam\x01\xff\x02X 1 2 hold", "unknown track Cam???X"},
        {"CameraPosX 12x 1 hold", "row must be a whole number below 2^32"},
        {"CameraPosX 99999999999 1 hold", "row must be a whole number below 2^32"},
        {"CameraPosX 200000 inf hold", "value must be a finite number"},
        {"CameraPosX 200000 1 cubic", "interpolation must be hold, linear, smooth, quadratic or quartic"},
        {"CameraPosX 200000 1", "expected `TRACK ROW VALUE INTERPOLATION`"},
        {"CameraPosX 0 1 hold", "rows of CameraPosX must rise strictly"},
        {"tempo 120 8", "tempo given twice"},
    };
    TrackSet set;
    layDownTrackKeys(set);
    for (const auto& [line, reason] : cases) {
        std::string text = edited;
        text.insert(endAt, line + "\n");
        std::string error;
        EXPECT_FALSE(readTrackText(text, "tracks.txt", set, &error)) << line;
        EXPECT_EQ(error, "tracks.txt:" + std::to_string(endLine) + ": " + reason);
    }
    std::string error;
    std::string afterEnd = edited + "CameraPosX 300000 1 hold\n";
    EXPECT_FALSE(readTrackText(afterEnd, "tracks.txt", set, &error));
    EXPECT_EQ(error, "tracks.txt:" + std::to_string(endLine + 1) + ": only comments may follow `end`");
    std::string noTempo = edited;
    noTempo.replace(noTempo.find("tempo "), 5, "#mpo ");
    EXPECT_FALSE(readTrackText(noTempo, "tracks.txt", set, &error));
    EXPECT_EQ(error, "tracks.txt:" + std::to_string(endLine) + ": no tempo line before `end`");

    bool unreadable = false;
    EXPECT_FALSE(readTrackFile("/nonexistent/folder/tracks.txt", set, &error, &unreadable));
    EXPECT_EQ(error, "/nonexistent/folder/tracks.txt: cannot read (No such file or directory)");
    EXPECT_TRUE(unreadable);
    EXPECT_FALSE(readTrackFile("/", set, &error, &unreadable));
    EXPECT_TRUE(unreadable);
    // The system's words for a folder differ (Linux: "Is a directory", Windows: "Permission denied").
    EXPECT_EQ(error.rfind("/: cannot read (", 0), 0u) << error;
    expectSameTracks(compiled, set);
}

// Every numeric field (a key's row and value, the tempo's two numbers) and every other place a byte can
// stand: a NUL byte refuses its line, wherever it is, and a number followed by any stray byte is no number.
// The reader converts copies of the words; a conversion that stops at a NUL inside a word must not pass as
// one that read the whole word.
TEST_F(TrackFileReader, NulAndStrayBytesRefuseTheirLineInEveryField) {
    using namespace std::string_literals;
    const std::string nul = "the line holds a NUL byte";
    const std::string tempoReason = "expected `tempo BEATS_PER_MINUTE ROWS_PER_BEAT`, both above 0";
    const std::string valueReason = "value must be a finite number";
    const std::string rowReason = "row must be a whole number below 2^32";
    // Where the line goes: over the first key line, over the tempo line, or after `end`.
    enum Place { FirstKey, Tempo, AfterEnd };
    const struct {
        Place place;
        std::string line, reason;
    } cases[] = {
        {FirstKey, "CameraPosX 0 0\0garbage hold"s, nul},
        {FirstKey, "CameraPosX 0 0\0 hold"s, nul},
        {FirstKey, "CameraPosX 0\0 0 hold"s, nul},
        {FirstKey, "CameraPosX 0 1e5\0"s, nul},
        {FirstKey, "CameraPosX\0 0 0 hold"s, nul},
        {FirstKey, "CameraPosX 0 0 hold\0"s, nul},
        {FirstKey, "\0"s, nul},
        {FirstKey, "CameraPosX 0 0 hold # a comment\0"s, nul},
        {Tempo, "tempo 173\09 8"s, nul},
        {Tempo, "tempo 173 8\0"s, nul},
        {Tempo, "tempo 173 \08"s, nul},
        {AfterEnd, "# closing words\0"s, nul},
        {FirstKey, "CameraPosX 0 0\x01garbage hold", valueReason},
        {FirstKey, "CameraPosX 0 0.5\x7f hold", valueReason},
        {FirstKey, "CameraPosX 0 1e5\xff hold", valueReason},
        {FirstKey, "CameraPosX 0 1,5 hold", valueReason},
        {FirstKey, "CameraPosX 0\x01 0 hold", rowReason},
        {FirstKey, "CameraPosX 0x10 0 hold", rowReason},
        {Tempo, "tempo 173\x01 8", tempoReason},
        {Tempo, "tempo 173 8\x01", tempoReason},
        {Tempo, "tempo 173.0.0 8", tempoReason},
    };
    const size_t firstKey = edited.find("\nCameraPosX ") + 1, tempo = edited.find("\ntempo ") + 1;
    const size_t endAt = edited.rfind("\nend\n") + 5;
    const auto lineAt = [&](size_t at) {
        return uint32_t(std::count(edited.begin(), edited.begin() + long(at), '\n')) + 1;
    };
    TrackSet set;
    layDownTrackKeys(set);
    for (const auto& [place, line, reason] : cases) {
        const size_t at = place == FirstKey ? firstKey : place == Tempo ? tempo : endAt;
        std::string text = edited;
        text.replace(at, place == AfterEnd ? 0 : text.find('\n', at) - at,
                     line + (place == AfterEnd ? "\n" : ""));
        std::string error;
        const std::string shown = ::testing::PrintToString(line);
        EXPECT_FALSE(readTrackText(text, "tracks.txt", set, &error)) << shown;
        EXPECT_EQ(error, "tracks.txt:" + std::to_string(lineAt(at)) + ": " + reason) << shown;
    }
    expectSameTracks(compiled, set);
}

TEST_F(TrackFileReader, ATableCutShortAnywhereIsRefused) {
    // A save caught half-way leaves a prefix of the new text. Every prefix that stops before the `end`
    // word is whole is refused, at the line where the text stops; every longer one reads as the whole table.
    const size_t endWordEnd = edited.rfind("\nend\n") + 4;
    std::vector<size_t> cuts = {0, endWordEnd - 1, endWordEnd, edited.size()};
    for (size_t at = 0; at < edited.size(); at += 61) cuts.push_back(at);
    for (size_t at = edited.find('\n'); at != std::string::npos; at = edited.find('\n', at + 1)) {
        cuts.push_back(at);
        cuts.push_back(at + 1);
    }
    TrackSet set;
    layDownTrackKeys(set);
    for (size_t cut : cuts) {
        const std::string prefix = edited.substr(0, cut);
        std::string error;
        const bool read = readTrackText(prefix, "tracks.txt", set, &error);
        if (cut < endWordEnd) {
            const uint32_t line = uint32_t(std::count(prefix.begin(), prefix.end(), '\n')) + 1;
            ASSERT_FALSE(read) << "cut at byte " << cut;
            ASSERT_EQ(error,
                      "tracks.txt:" + std::to_string(line) +
                          ": the table ends before its `end` line (cut short, or caught while being saved)");
        } else {
            ASSERT_TRUE(read) << "cut at byte " << cut << ": " << error;
        }
    }
    expectSameTracks(compiled, set);
}

} // namespace
