#include "generators/composer/pattern_text.h"

#include <gtest/gtest.h>

using namespace music;

using namespace generators::composer;

TEST(PatternText, ParsesNotesAcrossTheRange) {
    EXPECT_EQ(parseNote("C-0"), 1);
    EXPECT_EQ(parseNote("C-4"), 49);
    EXPECT_EQ(parseNote("F#2"), 31);
    EXPECT_EQ(parseNote("B-7"), 96);
    EXPECT_EQ(parseNote("=="), kXmKeyOff);
    for (const char* bad : {"H-4", "C-8", "E#3", "C4", "c-4", ""})
        EXPECT_THROW(parseNote(bad), NotationError) << bad;
}

TEST(PatternText, ParsesEveryKindOfWord) {
    XmCell c = parseCell("G#5 i7 v34 x0C0");
    EXPECT_EQ(c.note, 69);
    EXPECT_EQ(c.instrument, 7);
    EXPECT_EQ(c.volume, 0x10 + 34);
    EXPECT_EQ(c.effect, 0);
    EXPECT_EQ(c.param, 0xC0);
    EXPECT_EQ(parseCell("xEC2").effect, 14);
    EXPECT_EQ(parseCell("xR92").effect, 27) << "letters after F continue the numbering";
    EXPECT_EQ(parseCell("xR92").param, 0x92);
    EXPECT_EQ(parseCell("v0").volume, 0x10);
    EXPECT_EQ(parseCell("v64").volume, 0x50);
    EXPECT_EQ(parseCell("vd3").volume, 0x63);
    EXPECT_EQ(parseCell("vuF").volume, 0x7F);
    EXPECT_EQ(parseCell("vpC").volume, 0xCC);
    EXPECT_EQ(parseCell("vm4").volume, 0xF4);
    for (const char* bad : {"v65", "i0", "i129", "xG", "x3G0", "vz1", "v3 vu1", "q12"})
        EXPECT_THROW(parseCell(bad), NotationError) << bad;
}

TEST(PatternText, WritesPhrasesWithRangesAndOffsets) {
    XmPattern p(16, 2);
    writePhrase(p, 1, "0 F-2 i4 v40 | 2-4 x464 | 6 ==", 8);
    EXPECT_EQ(p.at(8, 1).note, parseNote("F-2"));
    EXPECT_EQ(p.at(8, 1).instrument, 4);
    for (unsigned r = 10; r <= 12; ++r) EXPECT_EQ(p.at(r, 1).effect, 4) << r;
    EXPECT_TRUE(p.at(13, 1).empty());
    EXPECT_EQ(p.at(14, 1).note, kXmKeyOff);
    EXPECT_TRUE(p.at(8, 0).empty());
    EXPECT_THROW(writePhrase(p, 0, "9 C-4", 8), NotationError) << "row 17 of 16";
    EXPECT_THROW(writePhrase(p, 0, "5-3 x000"), NotationError) << "range backwards";
}

TEST(PatternText, MergesFieldsButRefusesTwoPartsClaimingOneCell) {
    XmPattern p(4, 1);
    writePhrase(p, 0, "1 C-4 i2");
    writePhrase(p, 0, "1 xEC0"); // adding an effect to a note is fine
    EXPECT_EQ(p.at(1, 0).note, 49);
    EXPECT_EQ(p.at(1, 0).effect, 14);
    writePhrase(p, 0, "1 C-4"); // the same value again is fine
    EXPECT_THROW(writePhrase(p, 0, "1 D-4"), NotationError);
    EXPECT_THROW(writePhrase(p, 0, "1 xEC1"), NotationError);
    writePhrase(p, 0, "2 x037");
    EXPECT_THROW(writePhrase(p, 0, "2 x047"), NotationError) << "two arpeggios";
}

TEST(PatternText, WritesGridsCharacterByRow) {
    XmPattern p(8, 1);
    const std::map<char, XmCell> voices = {{'K', parseCell("C-4 i1")}, {'s', parseCell("C-4 i2 v10")}};
    writeGrid(p, 0, "K.s.|K...", voices);
    EXPECT_EQ(p.at(0, 0).instrument, 1);
    EXPECT_EQ(p.at(2, 0).instrument, 2);
    EXPECT_EQ(p.at(4, 0).instrument, 1) << "bar separators take no row";
    EXPECT_TRUE(p.at(5, 0).empty());
    EXPECT_THROW(writeGrid(p, 0, "X", voices), NotationError);
    EXPECT_THROW(writeGrid(p, 0, "........K", voices), NotationError) << "past the last row";
}
