#include "tests/shaders/effects/sphere_sim_reference.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace effects_test;

bool isZero(const StreamElement& e) {
    return e.x == 0.0f && e.y == 0.0f && e.z == 0.0f && e.radius == 0.0f;
}

float distance(const StreamElement& a, const StreamElement& b) {
    return std::hypot(a.x - b.x, a.y - b.y, a.z - b.z);
}

StreamInputs tiltedTube(float time, float numSpheres) {
    StreamInputs in;
    in.time = time;
    in.numSpheres = numSpheres;
    in.origin = {-3.0f, 1.0f, 2.0f};
    in.exit = {4.0f, -2.0f, -5.0f};
    return in;
}

// Expected values from an independent big-integer evaluation of the hash.
TEST(SphereSimReference, HashAndSizeClassesMatchHandComputedValues) {
    EXPECT_EQ(objectHash(0), static_cast<float>(129708002u) * 0x1p-32f);
    EXPECT_EQ(objectHash(1), static_cast<float>(2831084092u) * 0x1p-32f);
    EXPECT_EQ(objectHash(7919), static_cast<float>(4282043348u) * 0x1p-32f);
    EXPECT_EQ(objectHash(123456789), static_cast<float>(4272394698u) * 0x1p-32f);

    EXPECT_EQ(objectSize(0), 0.3f);
    EXPECT_EQ(objectSize(1), 0.15f);
    EXPECT_EQ(objectSize(2), 0.075f);
    EXPECT_EQ(objectSize(13), 0.3f);
    int large = 0, medium = 0, small = 0;
    for (uint32_t i = 0; i < kMaxStreamObjects; ++i) {
        float s = objectSize(i);
        large += s == 0.3f;
        medium += s == 0.15f;
        small += s == 0.075f;
    }
    EXPECT_EQ(large, 2);
    EXPECT_EQ(medium, 37);
    EXPECT_EQ(small, 89);
}

TEST(SphereSimReference, ObjectCountIsTruncatedAndHeldTo0Through128) {
    EXPECT_EQ(streamObjectCount(-3.0f), 0u);
    EXPECT_EQ(streamObjectCount(0.99f), 0u);
    EXPECT_EQ(streamObjectCount(5.9f), 5u);
    EXPECT_EQ(streamObjectCount(128.7f), 128u);
    EXPECT_EQ(streamObjectCount(1.0e9f), 128u);

    for (float none : {-1.0f, 0.0f, 0.5f}) {
        StreamBuffer b = simulateStream(tiltedTube(12.0f, none));
        for (uint32_t k = 0; k < kStreamElements; ++k)
            ASSERT_TRUE(isZero(b[k])) << "NUMSPHEREZ " << none << " k " << k;
    }

    StreamBuffer full = simulateStream(tiltedTube(12.0f, 128.0f));
    StreamBuffer over = simulateStream(tiltedTube(12.0f, 500.0f));
    for (uint32_t k = 0; k < kStreamElements; ++k) {
        ASSERT_FALSE(isZero(full[k])) << k;
        ASSERT_EQ(distance(full[k], over[k]), 0.0f) << k;
        ASSERT_EQ(full[k].radius, over[k].radius) << k;
    }
}

TEST(SphereSimReference, ElementsBeyondTheCountAreZeroInBothHalves) {
    StreamBuffer b = simulateStream(tiltedTube(3.5f, 5.9f));
    for (uint32_t half = 0; half < 2; ++half) {
        for (uint32_t j = 0; j < kMaxStreamObjects; ++j) {
            const StreamElement& e = b[half * kMaxStreamObjects + j];
            if (j < 5)
                EXPECT_EQ(e.radius, 2.2f * objectSize(j)) << half << " " << j;
            else
                EXPECT_TRUE(isZero(e)) << half << " " << j;
        }
    }
}

// The second half is the stream half a 24th of a second earlier, and nothing but the time decides
// the result: recomputing an earlier moment after a later one gives the same buffer.
TEST(SphereSimReference, SecondHalfIsTheStreamAMomentEarlierAndTimeAloneDecides) {
    const float t = 21.75f;
    StreamBuffer now = simulateStream(tiltedTube(t, 128.0f));
    StreamBuffer later = simulateStream(tiltedTube(t + 10.0f, 128.0f));
    StreamBuffer earlier = simulateStream(tiltedTube(t - 0.5f / 24.0f, 128.0f));
    StreamBuffer again = simulateStream(tiltedTube(t, 128.0f));
    int moved = 0;
    for (uint32_t j = 0; j < kMaxStreamObjects; ++j) {
        const StreamElement& previous = now[kMaxStreamObjects + j];
        ASSERT_EQ(distance(previous, earlier[j]), 0.0f) << j;
        ASSERT_EQ(previous.radius, earlier[j].radius) << j;
        ASSERT_EQ(distance(now[j], again[j]), 0.0f) << j;
        ASSERT_EQ(distance(now[kMaxStreamObjects + j], again[kMaxStreamObjects + j]), 0.0f) << j;
        moved += distance(now[j], later[j]) > 1e-3f;
    }
    // Ten seconds on, every object is somewhere else.
    EXPECT_EQ(moved, 128);
}

// A short tube crowds all 128 objects together so the pushes drive many of them to the wall.
TEST(SphereSimReference, EveryObjectStaysInsideTheTubeAfterRelaxation) {
    StreamInputs crowded;
    crowded.numSpheres = 128.0f;
    crowded.exit = {0.3f, 0.2f, 0.4f};
    for (float t : {0.0f, 7.3f, 33.1f, 66.9f}) {
        crowded.time = t;
        for (const StreamInputs& in : {tiltedTube(t, 128.0f), crowded}) {
            const double ax = in.exit.x - in.origin.x, ay = in.exit.y - in.origin.y,
                         az = in.exit.z - in.origin.z;
            const double length = std::sqrt(ax * ax + ay * ay + az * az);
            StreamBuffer b = simulateStream(in);
            for (uint32_t k = 0; k < kStreamElements; ++k) {
                const double px = b[k].x - in.origin.x, py = b[k].y - in.origin.y, pz = b[k].z - in.origin.z;
                const double along = (px * ax + py * ay + pz * az) / length;
                const double across = std::sqrt(std::max(0.0, px * px + py * py + pz * pz - along * along));
                ASSERT_GE(along, -1e-4) << "t " << t << " k " << k;
                ASSERT_LE(along, length + 1e-4) << "t " << t << " k " << k;
                ASSERT_LE(across, kTubeRadius + 1e-4) << "t " << t << " k " << k;
            }
        }
    }
}

// A lone object meets nobody, so it sits at its home offset; along a +z tube the cross-section
// axes are +y and +x, so the position can be written down directly.
TEST(SphereSimReference, LoneObjectTravelsTheAxisAtItsHomeOffset) {
    StreamInputs in;
    in.numSpheres = 1.0f;
    in.origin = {1.0f, 2.0f, 3.0f};
    in.exit = {1.0f, 2.0f, 13.0f};
    // Object 0 is large: speed 0.08 + 0.07 * jitter, wander radius 0.1 at rate 0.3.
    const double speed = 0.08 + 0.07 * (2.0 * objectHash(1337) - 1.0);
    const double a = objectHash(2749), b = objectHash(5501);
    const double twoPi = 6.283185307179586;
    for (float t : {1.0f, 2.5f, 9.0f}) {
        in.time = t;
        StreamBuffer out = simulateStream(in);
        const double travelled = t * speed;
        const double along = 10.0 * (travelled - std::floor(travelled)); // 1 - fract(-x) = fract(x)
        EXPECT_NEAR(out[0].x, 1.0 + 0.1 * std::cos(twoPi * b + 0.3 * t), 1e-5) << t;
        EXPECT_NEAR(out[0].y, 2.0 + 0.1 * std::sin(twoPi * a + 0.3 * t), 1e-5) << t;
        EXPECT_NEAR(out[0].z, 3.0 + along, 1e-4) << t;
        EXPECT_FLOAT_EQ(out[0].radius, 0.66f);
    }
}

// With coinciding ends every object sits at the origin's axis position, so objects 0 (large) and 1
// (medium) overlap and push apart; the heavier one gives way less. A long tube at the same time
// keeps them apart, which shows their undisturbed home offsets.
TEST(SphereSimReference, OverlappingObjectsPushApartByMassAndZeroLengthTubeStaysFinite) {
    StreamInputs apart;
    apart.numSpheres = 2.0f;
    apart.time = 0.0f;
    apart.exit = {0.0f, 0.0f, 10.0f};
    StreamInputs together = apart;
    together.exit = together.origin;

    StreamBuffer home = simulateStream(apart);
    StreamBuffer pushed = simulateStream(together);
    for (uint32_t k = 0; k < kStreamElements; ++k) {
        ASSERT_TRUE(std::isfinite(pushed[k].x) && std::isfinite(pushed[k].y) && std::isfinite(pushed[k].z))
            << k;
    }
    auto across = [](const StreamElement& e) { return std::hypot(e.x, e.y); };
    EXPECT_EQ(pushed[0].z, 0.0f);
    EXPECT_EQ(pushed[1].z, 0.0f);

    const float homeGap = std::hypot(home[0].x - home[1].x, home[0].y - home[1].y);
    const float pushedGap = std::hypot(pushed[0].x - pushed[1].x, pushed[0].y - pushed[1].y);
    EXPECT_GT(pushedGap, homeGap + 0.05f);
    const float heavyMoved = std::hypot(pushed[0].x - home[0].x, pushed[0].y - home[0].y);
    const float lightMoved = std::hypot(pushed[1].x - home[1].x, pushed[1].y - home[1].y);
    EXPECT_GT(lightMoved, 4.0f * heavyMoved);
    EXPECT_LE(across(pushed[0]), kTubeRadius + 1e-5f);
    EXPECT_LE(across(pushed[1]), kTubeRadius + 1e-5f);
}

} // namespace
