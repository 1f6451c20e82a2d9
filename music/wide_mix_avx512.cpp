// The AVX-512 VBMI tier: one two-register byte permute takes eight frames' points from a 64-byte window,
// which serves 32 frames of a run.
#include "music/wide_mix_kernels.h"

#ifdef MIRELANDT_WIDE_MIX
#include <immintrin.h>

#include <algorithm>

namespace music {

namespace {

#if !defined(__clang__)
// GCC's vector headers start some results from deliberately undefined registers, which its own warnings
// then take for uninitialised values.
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#define WIDE_TARGET [[gnu::target("avx512f,avx512bw,avx512vl,avx512vbmi,bmi2")]]

// The 64 bytes of an 8-bit sample from a point on, as far as the sample goes (masked loads do not touch
// the rest).
struct ByteWindow {
    __m256i low, high;
};
WIDE_TARGET ByteWindow loadWindow(const int8_t* data, uint32_t length, uint32_t first) {
    const uint32_t available = std::min(64u, length - first);
    return {_mm256_maskz_loadu_epi8(_bzhi_u32(~0u, available), data + first),
            _mm256_maskz_loadu_epi8(_bzhi_u32(~0u, available - std::min(available, 32u)), data + first + 32)};
}

// Eight frames, in the lanes the mask keeps: bits 24..29 of each lane's index are its point's offset in
// the window. The byte permute puts the point in the top byte of the lane, where the arithmetic shift
// widens it; then the same product and sum as frame by frame.
WIDE_TARGET void mixEight(const ByteWindow& window, __m256i index, __m256 leftGains, __m256 rightGains,
                          float* left, float* right, __mmask8 lanes) {
    const __m256 v =
        _mm256_cvtepi32_ps(_mm256_srai_epi32(_mm256_permutex2var_epi8(window.low, index, window.high), 24));
    _mm256_mask_storeu_ps(left, lanes,
                          _mm256_add_ps(_mm256_maskz_loadu_ps(lanes, left), _mm256_mul_ps(v, leftGains)));
    _mm256_mask_storeu_ps(right, lanes,
                          _mm256_add_ps(_mm256_maskz_loadu_ps(lanes, right), _mm256_mul_ps(v, rightGains)));
}

// A forward run whose 32 frames span at most 64 points, 32 frames to a window. A frame's offset in the
// window is its units, less the window's first point, shifted right by the shift; shifted left by
// 24 - shift instead, the units keep the offset in bits 24..29, and a frame's index is the last frame's
// plus the delta so shifted.
WIDE_TARGET void mixRunChunks(const int8_t* data, uint32_t length, const UnitRun& run, float leftGain,
                              float rightGain, float* left, float* right) {
    const uint32_t frames = run.frames, delta = run.delta;
    const int shift = run.shift, lift = 24 - shift;
    const __m256i laneSteps =
        _mm256_mullo_epi32(_mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7), _mm256_set1_epi32(int(delta << lift)));
    const __m256i groupStep = _mm256_set1_epi32(int((8 * delta) << lift));
    const __m256 leftGains = _mm256_set1_ps(leftGain), rightGains = _mm256_set1_ps(rightGain);
    const uint32_t fraction = (1u << shift) - 1;
    uint32_t units = run.units;
    for (uint32_t done = 0; done < frames; done += 32, units += 32 * delta) {
        const ByteWindow window = loadWindow(data, length, units >> shift);
        __m256i index = _mm256_add_epi32(_mm256_set1_epi32(int((units & fraction) << lift)), laneSteps);
        const uint32_t count = std::min(32u, frames - done);
        if (count == 32) {
#pragma GCC unroll 4
            for (uint32_t k = 0; k < 32; k += 8, index = _mm256_add_epi32(index, groupStep))
                mixEight(window, index, leftGains, rightGains, left + done + k, right + done + k, 0xFF);
            continue;
        }
        for (uint32_t k = 0; k < count; k += 8, index = _mm256_add_epi32(index, groupStep))
            mixEight(window, index, leftGains, rightGains, left + done + k, right + done + k,
                     __mmask8(_bzhi_u32(0xFF, count - k)));
    }
}

// Frames at the given positions, eight to a vector, their points from one window.
WIDE_TARGET void mixPointsChunk(const int8_t* data, uint32_t length, const float* positions, uint32_t count,
                                uint32_t first, float leftGain, float rightGain, float* left, float* right) {
    const ByteWindow window = loadWindow(data, length, first);
    const __m256i base = _mm256_set1_epi32(int(first));
    const __m256 leftGains = _mm256_set1_ps(leftGain), rightGains = _mm256_set1_ps(rightGain);
    for (uint32_t k = 0; k < count; k += 8) {
        const auto lanes = __mmask8(_bzhi_u32(0xFF, count - k));
        const __m256i points = _mm256_cvttps_epi32(_mm256_maskz_loadu_ps(lanes, positions + k));
        mixEight(window, _mm256_slli_epi32(_mm256_sub_epi32(points, base), 24), leftGains, rightGains,
                 left + k, right + k, lanes);
    }
}

} // namespace

bool mixRunAvx512(const int8_t* data, uint32_t length, const UnitRun& run, float leftGain, float rightGain,
                  float* left, float* right) {
    if (int32_t(run.delta) < 0 || run.shift > 24 || ((uint64_t(31) * run.delta) >> run.shift) + 1 > 63)
        return false;
    mixRunChunks(data, length, run, leftGain, rightGain, left, right);
    return true;
}

bool mixPointsAvx512(const int8_t* data, uint32_t length, const float* positions, uint32_t count,
                     bool ascending, float leftGain, float rightGain, float* left, float* right) {
    const auto first = uint32_t(positions[ascending ? 0 : count - 1]),
               last = uint32_t(positions[ascending ? count - 1 : 0]);
    if (count > 64 || last - first >= 64) return false;
    mixPointsChunk(data, length, positions, count, first, leftGain, rightGain, left, right);
    return true;
}

} // namespace music

#endif
