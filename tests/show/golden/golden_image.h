// Comparison of a rendered picture with its kept golden PNG in tests/show/golden/data. With the environment
// variable MIRELANDT_REGENERATE_GOLDENS=1 the picture is written as the new golden instead; a normal run
// only reads them.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// A channel within this many levels (of 255) of the golden counts as equal, and at least this share of
// the pixels must be equal in all three channels. The goldens come from lavapipe, which draws the same
// picture to the byte on every run; the slack absorbs rounding that a rebuilt shader compiler or a
// Mesa point release may move by a level in the blurs and blends, while a wrong page, a moved layer or
// a changed effect changes far more than half a percent of the pixels.
constexpr int kGoldenLevelTolerance = 3;
constexpr double kGoldenMatchingShare = 0.995;

// Two pictures of the same size (rows of 3-byte pixels) compared channel by channel.
struct StillComparison {
    size_t pixels = 0;
    size_t differing = 0; // pixels with a channel more than kGoldenLevelTolerance levels off
    int largest = 0;      // the largest difference of any channel
    double matchingShare() const { return pixels ? double(pixels - differing) / double(pixels) : 0.0; }
    bool matches() const { return pixels > 0 && matchingShare() >= kGoldenMatchingShare; }
};
StillComparison compareStills(const uint8_t* rgb, const uint8_t* expected, size_t pixels);

// Goldens are kept for the CPU driver only: the picture's hashes feed large arguments into sin, whose
// precision differs between drivers, so another driver draws different grain and glitches.
bool isGoldenDriver(std::string_view adapterName);

// Compares `rgb` (width x height pixels, rows top first, 3 bytes a pixel) with the golden `name`, or
// rewrites the golden in regeneration mode. On a mismatch the picture is left beside the test binary
// as `name` for looking at.
::testing::AssertionResult matchesGolden(const std::string& name, const uint8_t* rgb, int width, int height);
