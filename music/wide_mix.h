// Mixing 8-bit samples with the CPU's byte permutes (AVX-512 VBMI, on 64-bit x86 outside Windows): the
// points of eight frames come out of one permute over a 64-byte window of the sample instead of a load
// each. The products and sums are the frame-by-frame loop's, so the output is the same bytes with
// and without them.
#pragma once

#include "music/unit_run.h"

#include <cstdint>

// Turns the wide paths on (only where the CPU has them) or off; returns whether they are in use. They
// start on where the CPU has them, unless the environment variable MIRELANDT_NO_WIDE_MIX is 1.
bool setWideMixing(bool on);

// Mixes a run's frames (point x gain added to left and right), if wide mixing is on and the run suits
// it: moving forward, from positions of at least a half, with 32 frames spanning at most 64 points.
// Returns whether it mixed them.
bool mixRunWide(const int8_t* data, uint32_t length, const UnitRun& run, float leftGain, float rightGain,
                float* left, float* right);

// Mixes the frames at up to 64 positions, in ascending or descending order (point x gain added to left
// and right), if wide mixing is on and their points span at most 64. Returns whether it mixed them.
bool mixPointsWide(const int8_t* data, uint32_t length, const float* positions, uint32_t count,
                   bool ascending, float leftGain, float rightGain, float* left, float* right);
