// The show's choreography as compiled from content/data/tracks.txt, checked against the track table
// and the fixed points of the show written out here by hand.
#include "content/sections.h"
#include "content/track_table.h"
#include "sync/evaluate_track.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

using namespace Orvo::Gfx;
using namespace base;
using namespace sync_tracks;

namespace {

constexpr float kRowRate = 8.0f * 173.0f / 60.0f;

struct Expected {
    const char* name;
    uint32_t keys, first, last;
};

// Name, number of keys, first and last key row, for every track in table order.
// clang-format off
const Expected kTable[] = {
    {"CameraPosX", 65, 0, 473}, {"CameraPosY", 6, 0, 537}, {"CameraPosZ", 35, 0, 520}, {"CameraDirX", 0, 0, 0},
    {"CameraDirY", 0, 0, 0}, {"CameraDirZ", 1, 0, 0}, {"CameraFOV", 12, 0, 1621}, {"CameraRoll", 30, 0, 1107},
    {"INTERLACE", 0, 0, 0}, {"BRUS", 0, 0, 0}, {"GLITCH", 0, 0, 0}, {"DECRUNCH", 0, 0, 0},
    {"BRUS_ALL", 0, 0, 0}, {"SCENE_ONE", 5, 0, 512}, {"SCENE_TWO", 2, 0, 62}, {"POST", 0, 0, 0},
    {"NEGT", 0, 0, 0}, {"L1_X", 8, 0, 1055}, {"L1_Y", 8, 0, 1312}, {"L2_X", 1, 0, 0},
    {"L2_Y", 22, 0, 537}, {"L3_X", 1, 0, 0}, {"L3_Y", 1, 0, 0}, {"PHYSICS_ENABLED", 7, 0, 512},
    {"ENABLEFINALPSOTPROC", 1, 0, 0}, {"SCANLINES", 1, 0, 0}, {"GLOBE_BRIGHTNESS", 18, 0, 1544}, {"FLICKER", 13, 0, 1054},
    {"BLINKY", 3, 0, 40}, {"SCANLINES_FADE", 0, 0, 0}, {"ASCII_HEIGHT", 1, 0, 0}, {"AMOUNT_OF_CHARS", 1, 0, 0},
    {"ASCII_WIDTH", 1, 0, 0}, {"ROTL2Z", 2, 0, 32}, {"ROTL2X", 4, 184, 1040}, {"ROTL3Y", 5, 184, 1040},
    {"SCENE_THREE", 6, 512, 592}, {"SCENE_FOUR", 4, 520, 560}, {"FONT_SELECT", 1, 0, 0}, {"LAYER1_ENABLED", 1, 0, 0},
    {"LAYER2_ENABLED", 1, 0, 0}, {"LAYER3_ENABLED", 5, 0, 600}, {"FORCE_L1_BLACK", 4, 512, 600}, {"SCENE_FIVE", 5, 512, 576},
    {"SCENE_SIX", 5, 0, 600}, {"SCENE_SEVEN", 4, 536, 584}, {"SCENE_EIGHT", 0, 0, 0}, {"FONT_SELECT_L2", 1, 0, 0},
    {"STARFIELD_ON", 6, 0, 512}, {"BG_COLOR_R", 0, 0, 0}, {"BG_COLOR_G", 0, 0, 0}, {"BG_COLOR_B", 0, 0, 0},
    {"VIGNETTE", 2, 500, 513}, {"L1POSTPROC", 2, 0, 512}, {"HIT_KILL_CHANCE", 12, 0, 444}, {"NUMSPHEREZ", 1, 0, 0},
    {"CYLINDER_EXPLOSION_AMOUNT", 19, 0, 1545}, {"CHAR_EXPLOSION_AMOUNT", 13, 0, 1408}, {"CYLINDER_MODE", 8, 0, 1312}, {"CAM_TILT_X", 1, 0, 0},
    {"CAM_TILT_STREAM", 1, 0, 0}, {"DOFBLUR", 1, 0, 0}, {"CYLINDER_ROTATION_X", 4, 520, 1014}, {"CYLINDER_ROTATION_Y", 2, 768, 792},
    {"CYLINDER_OFFSET_Z", 8, 0, 1312}, {"ORIGIN_X", 7, 0, 864}, {"EXIT_X", 6, 0, 864}, {"ORIGIN_Y", 5, 56, 896},
    {"EXIT_Y", 8, 528, 1060}, {"ORIGIN_Z", 5, 56, 832}, {"EXIT_Z", 7, 56, 864}, {"DISP_2X", 66, 0, 537},
    {"DISP_2Y", 65, 0, 537}, {"DISP_RANDOM", 54, 0, 1251}, {"L5_FRAME", 76, 768, 1056}, {"L2TEXT_A", 2, 0, 520},
    {"L5TEXT_A", 3, 520, 1056}, {"DISP_5X", 48, 520, 1317}, {"DISP_5Y", 78, 520, 1251}, {"L5_Y", 1, 520, 520},
    {"AGLENZ_R", 3, 0, 968}, {"AGLENZ_G", 3, 0, 968}, {"AGLENZ_B", 3, 0, 968}, {"BGLENZ_R", 3, 0, 968},
    {"BGLENZ_G", 3, 0, 968}, {"BGLENZ_B", 3, 0, 968}, {"L5_Z", 1, 768, 768}, {"L3_FRAME", 2, 599, 626},
    {"L3TEXT_A", 2, 599, 768}, {"SWAPORDER", 1, 599, 599}, {"DOF1", 2, 0, 528}, {"DOF2", 1, 528, 528},
    {"DISPZ_2", 152, 79, 480}, {"GLENZBG_R", 67, 520, 1344}, {"L1_FRAME", 10, 520, 1312}, {"L1_Z", 3, 520, 704},
    {"L1TEXT_A", 7, 520, 1368}, {"lamerdecay", 9, 496, 1544}, {"lamerdensity", 14, 496, 1544}, {"lamerbypass", 7, 0, 1608},
    {"mirrorX", 10, 372, 1478}, {"mirrorY", 6, 376, 1510}, {"mirrorX2", 9, 576, 1056}, {"mirrorY2", 6, 576, 908},
};
// clang-format on
static_assert(sizeof(kTable) / sizeof(kTable[0]) == kTrackCount);

class Choreography : public ::testing::Test {
  protected:
    void SetUp() override { layDownTrackKeys(set); }

    uint32_t index(const char* name) const {
        for (uint32_t i = 0; i < kTrackCount; ++i)
            if (std::strcmp(kTrackNames[i], name) == 0) return i;
        ADD_FAILURE() << "no track " << name;
        return 0;
    }
    const DynArray<SyncKey>& keys(const char* name) { return set.track(index(name)).keys; }
    float at(const char* name, double seconds) const {
        return evaluateTrack(set, index(name), float(seconds));
    }
    // The value in the middle of a row, well clear of the millisecond offset.
    float atRow(const char* name, double row) const { return at(name, (row + 0.5) / kRowRate); }

    void expectKey(const char* name, uint32_t k, SyncKey expected) {
        ASSERT_LT(k, keys(name).count) << name;
        const SyncKey& actual = keys(name)[k];
        EXPECT_EQ(actual.row, expected.row) << name << " key " << k;
        EXPECT_EQ(actual.value, expected.value) << name << " key " << k;
        EXPECT_EQ(actual.interpolation, expected.interpolation) << name << " key " << k;
    }

    // Holds exactly these (row, value, code) keys.
    void expectKeys(const char* name, std::vector<SyncKey> expected) {
        ASSERT_EQ(keys(name).count, expected.size()) << name;
        for (uint32_t k = 0; k < expected.size(); ++k) expectKey(name, k, expected[k]);
    }

    TrackSet set;
};

TEST_F(Choreography, TempoTrackNamesKeyCountsAndRowSpansFollowTheTable) {
    EXPECT_EQ(set.beatsPerMinute, 173.0f);
    EXPECT_EQ(set.rowsPerBeat, 8u);
    ASSERT_EQ(set.tracks.count, kTrackCount);
    EXPECT_EQ(set.tracks.capacity, kTrackCount);
    uint32_t total = 0, withKeys = 0;
    for (uint32_t i = 0; i < kTrackCount; ++i) {
        const Expected& e = kTable[i];
        EXPECT_STREQ(kTrackNames[i], e.name) << "track " << i;
        const DynArray<SyncKey>& k = set.track(i).keys;
        ASSERT_EQ(k.count, e.keys) << e.name;
        if (k.count) {
            EXPECT_EQ(k[0].row, e.first) << e.name;
            EXPECT_EQ(k[k.count - 1].row, e.last) << e.name;
            ++withKeys;
        }
        total += k.count;
    }
    EXPECT_EQ(total, 1129u);
    EXPECT_EQ(kTrackKeyCount, 1129u);
    EXPECT_EQ(withKeys, 90u);
}

TEST_F(Choreography, InterpolationCodesTotalAndRowsRiseStrictly) {
    uint32_t perCode[5] = {};
    for (uint32_t i = 0; i < kTrackCount; ++i) {
        const DynArray<SyncKey>& k = set.track(i).keys;
        for (uint32_t j = 0; j < k.count; ++j) {
            ASSERT_GE(k[j].interpolation, 0) << kTrackNames[i];
            ASSERT_LT(k[j].interpolation, 5) << kTrackNames[i];
            ++perCode[k[j].interpolation];
            if (j) {
                EXPECT_GT(k[j].row, k[j - 1].row) << kTrackNames[i] << " key " << j;
            }
        }
    }
    EXPECT_EQ(perCode[0], 892u);
    EXPECT_EQ(perCode[1], 210u);
    EXPECT_EQ(perCode[2], 2u);
    EXPECT_EQ(perCode[3], 16u);
    EXPECT_EQ(perCode[4], 9u);
}

TEST_F(Choreography, Camera) {
    EXPECT_NEAR(at("CameraPosZ", 0.2), -13.4427f, 1e-4);
    expectKey("CameraPosZ", 0, {0, -10.0f, 1});
    expectKey("CameraPosZ", 1, {8, -16.0f, 0});
    for (double t : {0.0, 10.0, 40.0, 66.9}) {
        EXPECT_EQ(at("CameraDirZ", t), 25.0f);
        EXPECT_EQ(at("CameraDirX", t), 0.0f);
        EXPECT_EQ(at("CameraDirY", t), 0.0f);
    }
    expectKey("CameraFOV", 0, {0, 2.75f, 0});
    expectKey("CameraFOV", 2, {512, 60.0f, 1});
    expectKey("CameraFOV", 3, {520, 6.0f, 0});
    EXPECT_EQ(keys("CameraFOV")[1].row, 504u);
    EXPECT_EQ(atRow("CameraFOV", 503), 2.75f);
    EXPECT_NEAR(at("CameraFOV", 0.001 + 516.0 / kRowRate), 33.0f, 1e-3);
    // Single-row kicks on the beat.
    const double kicks[][2] = {{14, 0.1},  {15, 0}, {16, 0.2}, {17, 0},
                               {24, -0.2}, {25, 0}, {48, 0.1}, {49, 0}};
    for (const auto& k : kicks) EXPECT_EQ(atRow("CameraPosX", k[0]), float(k[1])) << "row " << k[0];
}

TEST_F(Choreography, Opening) {
    EXPECT_EQ(at("SCENE_ONE", 0.2), 1.0f);
    EXPECT_EQ(at("SCENE_ONE", 0.22), 0.0f);
    EXPECT_EQ(atRow("SCENE_ONE", 475), 0.0f);
    EXPECT_EQ(atRow("SCENE_ONE", 476), 1.0f);
    for (double row : {0.0, 62.0, 300.0, 1500.0}) EXPECT_EQ(atRow("SCENE_TWO", row), 1.0f);
    EXPECT_EQ(atRow("DOF1", 527), 1.0f);
    EXPECT_EQ(atRow("DOF1", 528), 0.0f);
    EXPECT_EQ(atRow("DOF2", 527), 0.0f);
    EXPECT_EQ(atRow("DOF2", 528), 1.0f);
    EXPECT_EQ(atRow("L2TEXT_A", 519), 1.0f);
    EXPECT_EQ(atRow("L2TEXT_A", 520), 0.0f);
    expectKeys("STARFIELD_ON", {{0, 0, 0}, {16, 0, 1}, {56, 1, 0}, {80, 1, 1}, {112, 0, 0}, {512, 1, 0}});
    expectKeys("VIGNETTE", {{500, 0, 1}, {513, 1.5f, 0}});
    expectKeys("PHYSICS_ENABLED",
               {{0, 1, 0}, {31, 0, 0}, {32, 1, 0}, {216, 0, 0}, {217, 1, 0}, {511, 0, 0}, {512, 1, 0}});
}

TEST_F(Choreography, BeatCutSwitchesChangeOnBeats) {
    auto holds = [](std::initializer_list<std::pair<uint32_t, float>> keys) {
        std::vector<SyncKey> out;
        for (auto [row, value] : keys) out.push_back({row, value, 0});
        return out;
    };
    expectKeys("SCENE_THREE", holds({{512, 1}, {520, 0}, {544, 1}, {552, 0}, {584, 1}, {592, 0}}));
    expectKeys("SCENE_FOUR", holds({{520, 1}, {528, 0}, {552, 1}, {560, 0}}));
    expectKeys("SCENE_FIVE", holds({{512, 0}, {528, 1}, {536, 0}, {568, 1}, {576, 0}}));
    expectKeys("SCENE_SIX", holds({{0, 1}, {512, 0}, {560, 1}, {568, 0}, {600, 1}}));
    expectKeys("SCENE_SEVEN", holds({{536, 1}, {544, 0}, {576, 1}, {584, 0}}));
    expectKeys("LAYER3_ENABLED", holds({{0, 1}, {512, 0}, {560, 1}, {568, 0}, {600, 1}}));
    expectKeys("FORCE_L1_BLACK", holds({{512, 1}, {560, 0}, {568, 1}, {600, 0}}));
}

TEST_F(Choreography, TextLayers) {
    const std::pair<double, float> l1[] = {{519, 0},  {520, 1},  {767, 1}, {768, 0},
                                           {1054, 0}, {1055, 1}, {1368, 0}};
    for (auto [row, value] : l1) EXPECT_EQ(atRow("L1TEXT_A", row), value) << "row " << row;
    const std::pair<double, float> l5[] = {{520, 0}, {767, 0}, {768, 1}, {1055, 1}, {1056, 0}};
    for (auto [row, value] : l5) EXPECT_EQ(atRow("L5TEXT_A", row), value) << "row " << row;

    std::vector<SyncKey> frames;
    const float pulse[14] = {0, 1, 2, 3, 4, 5, 6, 7, 6, 5, 4, 3, 2, 1};
    for (uint32_t k = 0; k < 64; ++k) frames.push_back({768 + 4 * k, pulse[k % 14], 0});
    for (auto [row, value] : {std::pair{1024u, 8.0f}, {1040u, 2.0f}, {1044u, 1.0f}, {1048u, 8.0f}})
        frames.push_back({row, value, 0});
    for (uint32_t k = 0; k < 8; ++k) frames.push_back({1049 + k, float(7 - k), 0});
    expectKeys("L5_FRAME", frames);
    for (uint32_t row : {768u, 824u, 880u, 936u, 992u}) EXPECT_EQ(atRow("L5_FRAME", row), 0.0f) << row;
    for (uint32_t row : {796u, 852u, 908u, 964u, 1020u}) EXPECT_EQ(atRow("L5_FRAME", row), 7.0f) << row;

    expectKeys("L3_FRAME", {{599, 0, 1}, {626, 27, 0}});
    EXPECT_NEAR(at("L3_FRAME", 0.001 + 612.5 / kRowRate), 13.5f, 1e-3);
}

TEST_F(Choreography, CellZoomGlitchStreamIsShortSingleRowValues) {
    const DynArray<SyncKey>& k = keys("DISPZ_2");
    ASSERT_EQ(k.count, 152u);
    uint32_t fallsBackNextRow = 0, glitches = 0;
    for (uint32_t j = 0; j < k.count; ++j) {
        EXPECT_EQ(k[j].interpolation, 0) << "key " << j;
        EXPECT_GE(k[j].value, 0.0f);
        EXPECT_LE(k[j].value, 15.0f);
        if (k[j].value == 0.0f) continue;
        ++glitches;
        // Every glitch is back at 0 within two rows; most within one.
        ASSERT_LT(j + 1, k.count) << "the stream ends on a glitch";
        bool next = k[j + 1].row == k[j].row + 1;
        EXPECT_TRUE(next) << "row " << k[j].row;
        if (next && k[j + 1].value == 0.0f)
            ++fallsBackNextRow;
        else
            EXPECT_TRUE(j + 2 < k.count && k[j + 2].value == 0.0f && k[j + 2].row <= k[j].row + 2)
                << k[j].row;
    }
    EXPECT_GT(fallsBackNextRow * 2, glitches);
    EXPECT_EQ(k[k.count - 1].value, 0.0f);
}

TEST_F(Choreography, ConstantsHoldForTheWholeShow) {
    const std::pair<const char*, float> constants[] = {
        {"NUMSPHEREZ", 128.0f},      {"DOFBLUR", 25.0f},
        {"CAM_TILT_X", 1.8f},        {"CAM_TILT_STREAM", -0.3f},
        {"ASCII_WIDTH", 80.0f},      {"ASCII_HEIGHT", 3130.0f},
        {"AMOUNT_OF_CHARS", 1.0e8f}, {"ENABLEFINALPSOTPROC", 1.0f},
        {"SCANLINES", 1.0f},         {"FONT_SELECT", 1.0f},
        {"FONT_SELECT_L2", 1.0f},    {"LAYER1_ENABLED", 1.0f},
        {"LAYER2_ENABLED", 1.0f},
    };
    for (auto [name, value] : constants) {
        ASSERT_EQ(keys(name).count, 1u) << name;
        EXPECT_EQ(keys(name)[0].row, 0u) << name;
        for (double t : {0.0, 0.0004, 22.2, 66.99}) EXPECT_EQ(at(name, t), value) << name << " at " << t;
    }
    // A lone key with a non-hold code still yields its value throughout.
    for (const char* name : {"NUMSPHEREZ", "L2_X", "CAM_TILT_X"})
        EXPECT_EQ(keys(name)[0].interpolation, 1) << name;
}

TEST_F(Choreography, ShowLandmarksAuthoredForTheMusic) {
    // The picture fades out by row 1544, before the 67-second end.
    EXPECT_GT(atRow("GLOBE_BRIGHTNESS", 1400), 0.5f);
    EXPECT_EQ(atRow("GLOBE_BRIGHTNESS", 1544), 0.0f);
    EXPECT_EQ(at("GLOBE_BRIGHTNESS", 66.99), 0.0f);
    // The glenz tube never collapses to a point: its frame is undefined when origin and exit meet.
    for (uint32_t row = 0; row < 1546; ++row) {
        float dx = atRow("EXIT_X", row) - atRow("ORIGIN_X", row);
        float dy = atRow("EXIT_Y", row) - atRow("ORIGIN_Y", row);
        float dz = atRow("EXIT_Z", row) - atRow("ORIGIN_Z", row);
        ASSERT_GT(std::sqrt(dx * dx + dy * dy + dz * dz), 0.5f) << "row " << row;
    }
    // Tracks without keys stay 0, as do tracks before their first key.
    for (double t : {0.0, 20.0, 66.9}) EXPECT_EQ(at("SCENE_EIGHT", t), 0.0f);
    EXPECT_EQ(atRow("ROTL2X", 183), 0.0f);
    EXPECT_EQ(atRow("mirrorX", 371), 0.0f);
    // Keys after the end of the show are never reached.
    EXPECT_EQ(keys("CameraFOV")[keys("CameraFOV").count - 1].row, 1621u);
    EXPECT_EQ(keys("lamerbypass")[keys("lamerbypass").count - 1].row, 1608u);
}

TEST(ShowSections, TileTheShowFromRowZeroToItsEnd) {
    std::span<const ShowSection> sections = showSections();
    ASSERT_EQ(sections.size(), 8u);
    EXPECT_EQ(sections[0].startRow, 0u);
    EXPECT_STREQ(sections[4].name, "section B");
    EXPECT_EQ(sections[4].startRow, 768u);
    // The finale ends with the row the show's 67th second falls in.
    EXPECT_EQ(sections.back().endRow, uint32_t(std::ceil(67.0f * kRowRate)));
    for (size_t i = 0; i < sections.size(); ++i) {
        EXPECT_LT(sections[i].startRow, sections[i].endRow) << sections[i].name;
        if (i > 0) {
            EXPECT_EQ(sections[i].startRow, sections[i - 1].endRow) << sections[i].name;
        }
    }
    for (uint32_t row = 0; row < 3000; ++row) {
        const ShowSection& s = sectionAtRow(row);
        const bool inside = s.startRow <= row && row < s.endRow;
        ASSERT_TRUE(inside || (&s == &sections.back() && row >= s.endRow))
            << "row " << row << " in " << s.name;
    }
}

TEST(TrackVariables, OneFloatPerTrackInTableOrderWithNumspherezAtOne) {
    DynArray<ContextVariable> variables;
    appendTrackVariables(variables);
    ASSERT_EQ(variables.count, kTrackCount);
    for (uint32_t i = 0; i < kTrackCount; ++i) {
        const ContextVariable& v = variables[i];
        EXPECT_STREQ(v.name, kTable[i].name);
        EXPECT_EQ(v.type, VariableType::Float);
        float value;
        std::memcpy(&value, v.value, sizeof value);
        EXPECT_EQ(value, i == 55 ? 1.0f : 0.0f) << v.name;
    }
}

} // namespace
