#include "sync/context_variable.h"
#include "sync/evaluate_track.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace base;
using namespace sync_tracks;

namespace {

constexpr float kRowRate = 8.0f * 173.0f / 60.0f; // 23.0667 rows a second

// A set at the show's tempo whose track 0 holds the given keys.
TrackSet oneTrack(std::initializer_list<SyncKey> keys) {
    TrackSet set;
    set.beatsPerMinute = 173.0f;
    set.rowsPerBeat = 8;
    set.resize(1);
    for (const SyncKey& key : keys) set.track(0).addKey(key);
    return set;
}

float at(const TrackSet& set, double seconds) {
    return evaluateTrack(set, 0, float(seconds));
}

SyncKey key(uint32_t row, float value, Interpolation code) {
    return {row, value, int32_t(code)};
}

TEST(EvaluateTrack, TrackWithoutKeysIsZeroAtEveryTime) {
    TrackSet set = oneTrack({});
    for (double t : {0.0, 0.2, 33.0, 66.99, 1e6}) EXPECT_EQ(at(set, t), 0.0f) << t;
}

TEST(EvaluateTrack, BeforeTheFirstKeyTheValueIsZeroNotTheKeysValue) {
    TrackSet set = oneTrack({key(56, 7.5f, Interpolation::Hold)});
    EXPECT_EQ(at(set, 0.0), 0.0f);
    EXPECT_EQ(at(set, 55.5 / kRowRate), 0.0f);
    EXPECT_EQ(at(set, 56.5 / kRowRate), 7.5f);
}

TEST(EvaluateTrack, HoldKeysOnNeighbouringRowsSwitchWhenTheRowIsReached) {
    TrackSet set = oneTrack({key(14, 0.1f, Interpolation::Hold), key(15, 0.0f, Interpolation::Hold)});
    EXPECT_FLOAT_EQ(at(set, 14.5 / kRowRate), 0.1f);
    EXPECT_FLOAT_EQ(at(set, 14.999 / kRowRate), 0.1f);
    EXPECT_EQ(at(set, 15.001 / kRowRate), 0.0f);
}

TEST(EvaluateTrack, LinearKeyAtTimeZeroStartsSlightlyBelowItsValue) {
    // Rows 0 and 23 are 0.99711 s apart; the 1 ms offset gives c = -0.001 / 0.99711 at t = 0.
    TrackSet set = oneTrack({key(0, 0.0f, Interpolation::Linear), key(23, 10.0f, Interpolation::Hold)});
    EXPECT_NEAR(at(set, 0.0), -0.0100290, 1e-6);
    EXPECT_LT(at(set, 0.0), 0.0f);
    EXPECT_NEAR(at(set, 0.001 + 0.5 * 23 / kRowRate), 5.0f, 1e-5);
}

TEST(EvaluateTrack, EveryCurveAtAQuarterAndAtHalfOfTheInterval) {
    // a = 2 at row 0, b = 6 at row 46: c is exactly the share of the interval between the key times.
    struct Case {
        Interpolation code;
        float quarter, half;
    };
    const Case cases[] = {
        {Interpolation::Hold, 2.0f, 2.0f},
        {Interpolation::Linear, 3.0f, 4.0f},
        {Interpolation::Smooth, 2.0f + 4.0f * 0.15625f, 4.0f}, // (3 - 2c)c²
        {Interpolation::Quadratic, 2.0f + 4.0f * 0.0625f, 3.0f},
        {Interpolation::Quartic, 2.0f + 4.0f * 0.00390625f, 2.25f},
    };
    double interval = 46.0 / kRowRate;
    for (const Case& c : cases) {
        TrackSet set = oneTrack({key(0, 2.0f, c.code), key(46, 6.0f, Interpolation::Hold)});
        EXPECT_NEAR(at(set, 0.001 + 0.25 * interval), c.quarter, 2e-5) << int(c.code);
        EXPECT_NEAR(at(set, 0.001 + 0.5 * interval), c.half, 2e-5) << int(c.code);
    }
}

TEST(EvaluateTrack, UnknownCodesHold) {
    for (int32_t code : {7, 5, -1, 1000}) {
        TrackSet set = oneTrack({{0, 3.0f, code}, key(20, 9.0f, Interpolation::Hold)});
        EXPECT_EQ(at(set, 10.0 / kRowRate), 3.0f) << code;
    }
}

TEST(EvaluateTrack, TheCurveIsChosenByTheEarlierKey) {
    TrackSet set = oneTrack({key(0, 0.0f, Interpolation::Hold), key(10, 10.0f, Interpolation::Linear),
                             key(20, 20.0f, Interpolation::Hold)});
    EXPECT_EQ(at(set, 5.0 / kRowRate), 0.0f);
    EXPECT_NEAR(at(set, 0.001 + 15.0 / kRowRate), 15.0f, 1e-4);
}

TEST(EvaluateTrack, ALoneOrLastKeyHoldsItsValueWhateverItsCode) {
    for (Interpolation code : {Interpolation::Hold, Interpolation::Linear, Interpolation::Quartic}) {
        TrackSet lone = oneTrack({key(0, 128.0f, code)});
        for (double t : {0.0, 0.0005, 66.9}) EXPECT_EQ(at(lone, t), 128.0f) << int(code) << " at " << t;
        TrackSet last = oneTrack({key(0, 1.0f, Interpolation::Linear), key(10, 5.0f, code)});
        for (double t : {10.5 / kRowRate, 100.0}) EXPECT_EQ(at(last, t), 5.0f) << int(code) << " at " << t;
    }
}

TEST(EvaluateTrack, OfKeysWithEqualRowsTheLaterOneIsCurrent) {
    TrackSet set = oneTrack({key(10, 1.0f, Interpolation::Hold), key(10, 2.0f, Interpolation::Linear),
                             key(20, 4.0f, Interpolation::Hold)});
    EXPECT_NEAR(at(set, 0.001 + 15.0 / kRowRate), 3.0f, 1e-4); // the later key's linear curve from 2 to 4
    EXPECT_EQ(at(set, 9.5 / kRowRate), 0.0f);
}

TEST(EvaluateTrack, TimesOutsideTheShowNeverFault) {
    TrackSet set = oneTrack({key(0, 4.0f, Interpolation::Hold), key(5, 6.0f, Interpolation::Hold)});
    // Before the start the play position is row 0; a time past the 32-bit grid is its last row.
    EXPECT_EQ(at(set, -1.0), 4.0f);
    EXPECT_EQ(at(set, -1e30), 4.0f);
    EXPECT_EQ(at(set, std::numeric_limits<double>::quiet_NaN()), 4.0f);
    EXPECT_EQ(at(set, 1e30), 6.0f);
    EXPECT_EQ(at(set, std::numeric_limits<double>::infinity()), 6.0f);
    TrackSet late = oneTrack({key(56, 1.0f, Interpolation::Hold)});
    EXPECT_EQ(at(late, -50.0), 0.0f);
}

TEST(EvaluateTrack, AnIndexPastTheSetReadsAsATrackWithoutKeys) {
    TrackSet set = oneTrack({key(0, 4.0f, Interpolation::Hold)});
    EXPECT_EQ(evaluateTrack(set, 1, 1.0f), 0.0f);
    EXPECT_EQ(evaluateTrack(set, UINT32_MAX, 1.0f), 0.0f);
}

TEST(TrackSet, ResizeTo104GrowsInOneStepWithEmptyZeroNamedTracks) {
    TrackSet set;
    EXPECT_EQ(set.beatsPerMinute, 120.0f);
    EXPECT_EQ(set.rowsPerBeat, 8u);
    EXPECT_EQ(set.tracks.capacity, 8u);
    set.resize(104);
    EXPECT_EQ(set.tracks.count, 104u);
    EXPECT_EQ(set.tracks.capacity, 104u);
    for (uint32_t i = 0; i < 104; ++i) {
        const SyncTrack& t = set.track(i);
        EXPECT_EQ(t.keys.count, 0u);
        EXPECT_EQ(t.keys.capacity, 8u);
        EXPECT_FLOAT_EQ(t.keys.growth, 1.61f);
        for (char c : t.name) ASSERT_EQ(c, 0);
    }
}

TEST(TrackSet, KeysSurviveTheSetGrowingAndShrinking) {
    TrackSet set;
    set.resize(3);
    for (uint32_t k = 0; k < 20; ++k) set.track(2).addKey({k, float(k) * 0.5f, 0});
    EXPECT_EQ(set.track(2).keys.capacity, 21u); // 8, 13, 21
    set.resize(40);                             // the tracks move to a new buffer, their key arrays with them
    ASSERT_EQ(set.track(2).keys.count, 20u);
    for (uint32_t k = 0; k < 20; ++k) EXPECT_EQ(set.track(2).keys[k].value, float(k) * 0.5f);
    set.resize(1); // releases the key buffers of the removed tracks (checked by the sanitizer build)
    set.resize(3);
    EXPECT_EQ(set.track(2).keys.count, 0u);
}

TEST(ContextVariable, TypeSizesAndUnknownCodesCarryNothing) {
    EXPECT_EQ(variableTypeSize(VariableType::Float), 4u);
    EXPECT_EQ(variableTypeSize(VariableType::Float2), 8u);
    EXPECT_EQ(variableTypeSize(VariableType::Float3), 12u);
    EXPECT_EQ(variableTypeSize(VariableType::Float4), 16u);
    EXPECT_EQ(variableTypeSize(VariableType::Scalar4), 4u);
    EXPECT_EQ(variableTypeSize(static_cast<VariableType>(5)), 0u);
    EXPECT_EQ(variableTypeSize(static_cast<VariableType>(-1)), 0u);
}

} // namespace
