// Mixing 8-bit samples with the CPU's byte permutes: the points of eight frames come out of one permute
// over a window of the sample instead of a load each. Two tiers: AVX2 (a 16-byte window per eight frames)
// and AVX-512 VBMI (a 64-byte window per 32 frames), on 64-bit x86. The products and sums are the
// frame-by-frame loop's, so the output is the same bytes on every tier.
#pragma once

#include "music/unit_run.h"

#include <cstdint>

namespace music {

enum class MixTier { Scalar, Avx2, Avx512 };

// "scalar", "avx2" or "avx512".
const char* mixTierName(MixTier tier);

// The tier in use. At start it is the best the CPU has, unless the environment asks for another:
// MIRELANDT_MIX_TIER=scalar|avx2|avx512 (a tier the CPU lacks, or a name not known, gets one line on
// standard error and the best tier the CPU has), or MIRELANDT_NO_WIDE_MIX=1 (scalar).
MixTier mixTier();
// Uses `wanted`, or the best tier below it that the CPU has; returns the tier now in use.
MixTier setMixTier(MixTier wanted);

// Mixes a run's frames (point x gain added to left and right), if a wide tier is in use and the run suits
// it: moving forward, from positions of at least a half, and spanning few enough points for the tier's
// window. Returns whether it mixed them.
bool mixRunWide(const int8_t* data, uint32_t length, const UnitRun& run, float leftGain, float rightGain,
                float* left, float* right);

// Mixes the frames at up to 64 positions, in ascending or descending order (point x gain added to left
// and right), if a wide tier is in use and their points fit its windows. Returns whether it mixed them.
bool mixPointsWide(const int8_t* data, uint32_t length, const float* positions, uint32_t count,
                   bool ascending, float leftGain, float rightGain, float* left, float* right);

} // namespace music
