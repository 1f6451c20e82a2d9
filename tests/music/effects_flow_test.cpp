// Song flow: jumps, breaks and their precedence, speed and tempo, pattern delay and loop, the row-visit
// table and the loop count.
#include "music/replayer.h"
#include "music/song_duration.h"
#include "tests/music/test_modules.h"

#include <gtest/gtest.h>

#include <utility>

using namespace music;

namespace {

using Position = std::pair<int, int>; // pattern, row

Position locate(const ModulePlayer* p, const PatternCell* cell) {
    for (int k = 0; k < p->patternCount; ++k) {
        const Pattern& pattern = p->patterns[k];
        if (cell >= pattern.cells && cell < pattern.cells + size_t(pattern.rowCount) * p->channelCount)
            return {k, int(cell - pattern.cells) / p->channelCount};
    }
    return {-1, -1};
}

// Plays whole rows and lists the (pattern, row) of each, as read by channel 0.
std::vector<Position> playRows(ModulePlayer* p, int rows) {
    std::vector<Position> played;
    for (int i = 0; i < rows; ++i) {
        do advanceTick(p);
        while (p->tick != 0);
        played.push_back(locate(p, p->channels[0].currentCell));
    }
    return played;
}

std::vector<Position> span(int pattern, int first, int last) {
    std::vector<Position> rows;
    for (int r = first; r <= last; ++r) rows.push_back({pattern, r});
    return rows;
}

std::vector<Position> operator+(std::vector<Position> a, const std::vector<Position>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Song of three 16-row patterns played in order 0, 1, 2 on two channels, speed 1.
XmModule threePatterns() {
    XmModule song = makeSong(16, 2, 1);
    song.addPattern(16);
    song.addPattern(16);
    song.order = {0, 1, 2};
    return song;
}

TEST(Flow, JumpAndBreak) {
    XmModule song = threePatterns();
    song.cell(0, 1, 1) = {0, 0, 0, EffectPositionJump, 2};
    song.cell(2, 2, 0) = {0, 0, 0, EffectPatternBreak, 0x12}; // row 12 of the next position: the restart
    song.cell(1, 13, 0) = {0, 0, 0, EffectPositionJump, 3};   // beyond the song: ignored
    auto p = loadPlayer(writeXm(song));
    EXPECT_EQ(playRows(p.get(), 10), span(0, 0, 1) + span(2, 0, 2) + span(0, 12, 15) + span(1, 0, 0));
    EXPECT_EQ(playRows(p.get(), 16), span(1, 1, 15) + span(2, 0, 0));
}

TEST(Flow, JumpWinsOverBreakAndTheLastWrittenRowCounts) {
    for (bool breakFirst : {false, true}) {
        XmModule song = threePatterns();
        song.cell(1, 3, breakFirst ? 1 : 0) = {0, 0, 0, EffectPositionJump, 0};
        song.cell(1, 3, breakFirst ? 0 : 1) = {0, 0, 0, EffectPatternBreak, 0x10};
        auto p = loadPlayer(writeXm(song));
        playRows(p.get(), 16 + 4);
        // The jump takes the break and the row with it: the landing pattern plays to its end and the
        // next one starts at row 0.
        const int landing = breakFirst ? 0 : 10;
        EXPECT_EQ(playRows(p.get(), 17 - landing), span(0, landing, 15) + span(1, 0, 0)) << breakFirst;
    }
}

TEST(Flow, BreakDigitsAndRowsBeyondThePattern) {
    XmModule song = makeSong(2, 1, 1);
    song.addPattern(64);
    song.addPattern(45);
    song.order = {0, 1, 0, 2};
    song.cell(0, 0, 0) = {0, 0, 0, EffectPatternBreak, 0x3F};  // 3 x 10 + 15
    song.cell(1, 46, 0) = {0, 0, 0, EffectPatternBreak, 0x40}; // row 40 of a 2-row pattern
    auto p = loadPlayer(writeXm(song));
    // Position 2 plays pattern 0 again, whose D3F now lands just past the 45 rows of pattern 2.
    EXPECT_EQ(playRows(p.get(), 5), span(0, 0, 0) + span(1, 45, 46) + span(0, 0, 0) + span(2, 0, 0));
}

TEST(Flow, SpeedAndTempo) {
    XmModule song = makeSong(4);
    song.cell(0, 0, 0) = {0, 0, 0, EffectSetSpeedTempo, 0x00};
    song.cell(0, 1, 0) = {0, 0, 0, EffectSetSpeedTempo, 0x1F};
    song.cell(0, 2, 0) = {0, 0, 0, EffectSetSpeedTempo, 0x20};
    auto p = loadPlayer(writeXm(song));
    advanceTick(p.get());
    EXPECT_EQ(p->speed, 6);
    EXPECT_EQ(p->tempo, 125);
    runTicks(p.get(), 6);
    EXPECT_EQ(p->speed, 31);
    runTicks(p.get(), 31);
    EXPECT_EQ(p->speed, 31);
    EXPECT_EQ(p->tempo, 32);
}

TEST(Flow, PatternDelayRepeatsTicksAndEffectsKeepRunning) {
    XmModule song = makeSong(2, 2, 6);
    song.cell(0, 0, 0) = {kMiddleC, 1, 0, EffectVolumeSlide, 0x01};
    song.cell(0, 0, 1) = {0, 0, 0, EffectExtended, 0xE2};
    auto p = loadPlayer(writeXm(song));
    int ticks = 0;
    do {
        advanceTick(p.get());
        ++ticks;
    } while (p->tick != 0);
    EXPECT_EQ(ticks, 18);
    EXPECT_EQ(p->channels[0].volume, 1.0f - 17 / 64.0f);
    runTicks(p.get(), 6);
    EXPECT_EQ(p->tick, 0); // the next row is back to 6 ticks
}

TEST(Flow, RetriggerKeepsCountingThroughAPatternDelay) {
    XmModule song = makeSong(1, 2, 6);
    song.cell(0, 0, 0) = {kMiddleC, 1, 0, EffectExtended, 0x95};
    song.cell(0, 0, 1) = {0, 0, 0, EffectExtended, 0xE1};
    auto p = loadPlayer(writeXm(song));
    std::vector<int> restarts;
    for (int t = 0; t < 12; ++t) {
        p->channels[0].position = 7.0f;
        advanceTick(p.get());
        if (p->channels[0].position == 0.0f) restarts.push_back(t);
    }
    EXPECT_EQ(restarts, (std::vector<int>{0, 5, 10}));
}

TEST(Flow, RowsEndAtTheTickCounterLimitAndTakeTheirPatternDelayWith) {
    // Speed 40000 from the header and EE1 ask for a row of 80000 ticks; the 16-bit tick counter ends it
    // after 65536, and the next row lasts its 40000 ticks without the delay.
    XmModule song = makeSong(3, 1, 40000);
    song.cell(0, 0, 0) = {0, 0, 0, EffectExtended, 0xE1};
    auto p = loadPlayer(writeXm(song));
    std::vector<int> ticks;
    for (int row = 0; row < 2; ++row) {
        int n = 0;
        do {
            advanceTick(p.get());
            ++n;
        } while (p->tick != 0 && n < 100000);
        ticks.push_back(n);
    }
    EXPECT_EQ(ticks, (std::vector<int>{65536, 40000}));
}

TEST(Flow, PatternLoopPlaysThreeTimes) {
    XmModule song = makeSong(32, 1, 1);
    song.addPattern(32);
    song.order = {0, 1};
    song.cell(0, 10, 0) = {0, 0, 0, EffectExtended, 0x60};
    song.cell(0, 20, 0) = {0, 0, 0, EffectExtended, 0x62};
    auto p = loadPlayer(writeXm(song));
    EXPECT_EQ(playRows(p.get(), 55), span(0, 0, 20) + span(0, 10, 20) + span(0, 10, 31) + span(1, 10, 10));
    EXPECT_EQ(p->channels[0].loopCounter, 0);
}

TEST(Flow, LoopStartAloneMovesTheNextPatternStart) {
    XmModule song = makeSong(8, 1, 1);
    song.addPattern(8);
    song.order = {0, 1, 1};
    song.cell(0, 5, 0) = {0, 0, 0, EffectExtended, 0x60};
    auto p = loadPlayer(writeXm(song));
    // Only the next pattern: the one after it starts at row 0 again.
    EXPECT_EQ(playRows(p.get(), 13), span(0, 0, 7) + span(1, 5, 7) + span(1, 0, 1));
}

TEST(Flow, LongPatternWrapsItsRowCounter) {
    XmModule song = makeSong(256, 1, 1);
    song.addPattern(4);
    song.order = {0, 1};
    auto p = loadPlayer(writeXm(song));
    EXPECT_EQ(playRows(p.get(), 258), span(0, 0, 255) + span(1, 0, 1));
}

TEST(Flow, MissingPatternPlays64EmptyRows) {
    XmModule song = makeSong(4, 1, 1);
    // Pattern numbers from the pattern count on are missing: 7, and 1, the first of them.
    for (uint8_t missing : {7, 1}) {
        song.order = {missing, 0};
        auto p = loadPlayer(writeXm(song));
        std::vector<Position> played = playRows(p.get(), 65);
        EXPECT_EQ(std::vector<Position>(played.begin(), played.begin() + 64),
                  std::vector<Position>(64, {-1, -1}))
            << int(missing);
        EXPECT_EQ(played.back(), Position(0, 0)) << int(missing);
    }
}

TEST(Flow, ZeroRowPatternIsPassedWithoutReadingCells) {
    XmModule song = makeSong(2, 1, 1);
    song.addPattern(0);
    song.addPattern(1); // never played; its cells follow the empty pattern's in the block
    song.cell(2, 0, 0) = {kMiddleC, 1, 0, 0, 0};
    song.order = {1, 0};
    auto p = loadPlayer(writeXm(song));
    EXPECT_EQ(playRows(p.get(), 3), (std::vector<Position>{{-1, -1}}) + span(0, 0, 1));
    EXPECT_EQ(p->channels[0].sample, nullptr);
}

TEST(LoopCount, CountsReturnsToPlayedRows) {
    XmModule song = makeSong(2, 1, 1);
    song.addPattern(2);
    song.order = {0, 1};
    song.restartPosition = 1;
    auto p = loadPlayer(writeXm(song));
    playRows(p.get(), 4);
    EXPECT_EQ(p->loopCount, 0);
    EXPECT_EQ(p->visitTable[1 * 256 + 1], 1);
    EXPECT_EQ(playRows(p.get(), 1), span(1, 0, 0)); // back at the restart position
    EXPECT_EQ(p->loopCount, 1);
    playRows(p.get(), 2);
    EXPECT_EQ(p->loopCount, 2);
    EXPECT_EQ(p->visitTable[0], 1); // position 0 was played once only
}

TEST(LoopCount, TheFirstPassCountsNoRowAsPlayed) {
    auto p = loadPlayer(writeXm(makeSong(64, 1, 1)));
    for (int row = 0; row < 64; ++row) {
        playRows(p.get(), 1);
        ASSERT_EQ(p->loopCount, 0) << "row " << row;
    }
    playRows(p.get(), 1);
    EXPECT_EQ(p->loopCount, 1);
}

TEST(LoopCount, PatternLoopRepeatsAreNotVisits) {
    XmModule song = makeSong(4, 1, 1);
    song.cell(0, 2, 0) = {0, 0, 0, EffectExtended, 0x61};
    auto p = loadPlayer(writeXm(song));
    playRows(p.get(), 4); // rows 0, 1, 2, 0 (loop back to the default start row 0)
    EXPECT_EQ(p->loopCount, 0);
    EXPECT_EQ(p->visitTable[0], 1);
    playRows(p.get(), 3); // rows 1, 2, 3
    EXPECT_EQ(p->loopCount, 0);
    playRows(p.get(), 1); // row 0 again, now as the song's own loop
    EXPECT_EQ(p->loopCount, 1);
}

TEST(LoopCount, SongDurationEndsWhereTheSongFirstReturns) {
    // Positions 0 and 1 of two rows each, back to position 1: four rows of one 882-frame tick, then the
    // song's first return starts at frame 4 x 882.
    XmModule song = makeSong(2, 1, 1);
    song.addPattern(2);
    song.order = {0, 1};
    song.restartPosition = 1;
    const std::vector<uint8_t> bytes = writeXm(song);
    auto p = loadPlayer(bytes);
    SongDuration d = measureSongDuration(p.get(), 44100);
    EXPECT_TRUE(d.looped);
    EXPECT_EQ(d.rows, 4u);
    EXPECT_EQ(d.frames, 4u * 882);
    // A limit reached first: no loop, the frames played so far and the rows started by then.
    p = loadPlayer(bytes);
    d = measureSongDuration(p.get(), 2000);
    EXPECT_FALSE(d.looped);
    EXPECT_EQ(d.rows, 3u);
    EXPECT_EQ(d.frames, 2000u);
}

} // namespace
