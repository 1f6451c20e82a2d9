// The wide tiers' kernels, each compiled for its own instruction set and called only once the CPU is known
// to have it (wide_mix.cpp chooses). Each returns false, having mixed nothing, where the frames do not fit
// its windows.
#pragma once

#include "music/unit_run.h"

#include <cstdint>

namespace music {

// The x86-64 compilers the project builds with can target the wide instruction sets function by function.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define MIRELANDT_WIDE_MIX 1

bool mixRunAvx2(const int8_t* data, uint32_t length, const UnitRun& run, float leftGain, float rightGain,
                float* left, float* right);
bool mixPointsAvx2(const int8_t* data, uint32_t length, const float* positions, uint32_t count,
                   bool ascending, float leftGain, float rightGain, float* left, float* right);

bool mixRunAvx512(const int8_t* data, uint32_t length, const UnitRun& run, float leftGain, float rightGain,
                  float* left, float* right);
bool mixPointsAvx512(const int8_t* data, uint32_t length, const float* positions, uint32_t count,
                     bool ascending, float leftGain, float rightGain, float* left, float* right);
#endif

} // namespace music
