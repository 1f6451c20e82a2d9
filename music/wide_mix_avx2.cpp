// The AVX2 tier: the byte shuffle indexes 16 bytes in each half of a vector, so eight frames take their
// points from one 16-byte window of the sample, loaded into both halves.
#include "music/wide_mix_kernels.h"

#ifdef MIRELANDT_WIDE_MIX
#include <immintrin.h>

#include <algorithm>
#include <cstring>

namespace music {

namespace {

#define WIDE_TARGET [[gnu::target("avx2")]]

// The 16 bytes of an 8-bit sample from a point on, in both halves; past the sample's end, zeros (the
// shuffle never picks them: every frame's point lies inside the sample).
WIDE_TARGET __m256i loadWindow(const int8_t* data, uint32_t length, uint32_t first) {
    if (length - first >= 16)
        return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + first)));
    alignas(16) int8_t tail[16] = {};
    std::memcpy(tail, data + first, length - first);
    return _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(tail)));
}

// The lanes below `count`, as a mask for the masked loads and stores.
WIDE_TARGET __m256i firstLanes(uint32_t count) {
    return _mm256_cmpgt_epi32(_mm256_set1_epi32(int(count)), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
}

// Eight frames: bits 24..27 of each lane's index are its point's offset in the window (bit 31 clear). The
// shuffle puts the point in the top byte of the lane, where the arithmetic shift widens it; then the same
// product and sum as frame by frame. Only the lanes below `count` are stored.
template <bool Whole>
WIDE_TARGET void mixEight(__m256i window, __m256i index, __m256 leftGains, __m256 rightGains, float* left,
                          float* right, uint32_t count) {
    const __m256 v = _mm256_cvtepi32_ps(_mm256_srai_epi32(_mm256_shuffle_epi8(window, index), 24));
    if constexpr (Whole) {
        _mm256_storeu_ps(left, _mm256_add_ps(_mm256_loadu_ps(left), _mm256_mul_ps(v, leftGains)));
        _mm256_storeu_ps(right, _mm256_add_ps(_mm256_loadu_ps(right), _mm256_mul_ps(v, rightGains)));
    } else {
        const __m256i lanes = firstLanes(count);
        _mm256_maskstore_ps(left, lanes,
                            _mm256_add_ps(_mm256_maskload_ps(left, lanes), _mm256_mul_ps(v, leftGains)));
        _mm256_maskstore_ps(right, lanes,
                            _mm256_add_ps(_mm256_maskload_ps(right, lanes), _mm256_mul_ps(v, rightGains)));
    }
}

// A forward run whose eight frames span at most 16 points. A window serves as many frames as stay within
// its 16 points: 32, 16 or 8. As for the wider tier, the units shifted left by 24 - shift keep a frame's
// offset in the window in bits 24..27, and a frame's index is the one eight frames before plus the delta
// so shifted.
WIDE_TARGET void mixRunGroups(const int8_t* data, uint32_t length, const UnitRun& run, float leftGain,
                              float rightGain, float* left, float* right) {
    const uint32_t frames = run.frames, delta = run.delta;
    const int shift = run.shift, lift = 24 - shift;
    const auto spans = [&](uint64_t n) { return (((n - 1) * delta) >> shift) + 1 <= 15; };
    const uint32_t windowFrames = spans(32) ? 32 : spans(16) ? 16 : 8;
    const __m256i laneSteps =
        _mm256_mullo_epi32(_mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7), _mm256_set1_epi32(int(delta << lift)));
    const __m256i groupStep = _mm256_set1_epi32(int((8 * delta) << lift));
    const __m256 leftGains = _mm256_set1_ps(leftGain), rightGains = _mm256_set1_ps(rightGain);
    const uint32_t fraction = (1u << shift) - 1;
    uint32_t units = run.units;
    for (uint32_t done = 0; done < frames; done += windowFrames, units += windowFrames * delta) {
        const __m256i window = loadWindow(data, length, units >> shift);
        __m256i index = _mm256_add_epi32(_mm256_set1_epi32(int((units & fraction) << lift)), laneSteps);
        const uint32_t count = std::min(windowFrames, frames - done), whole = done + (count & ~7u);
        uint32_t k = done;
        for (; k < whole; k += 8, index = _mm256_add_epi32(index, groupStep))
            mixEight<true>(window, index, leftGains, rightGains, left + k, right + k, 8);
        if (k < done + count)
            mixEight<false>(window, index, leftGains, rightGains, left + k, right + k, done + count - k);
    }
}

// Frames at the given positions, eight to a vector; a window serves the eights whose points it holds.
WIDE_TARGET void mixPointGroups(const int8_t* data, uint32_t length, const float* positions, uint32_t count,
                                bool ascending, float leftGain, float rightGain, float* left, float* right) {
    const __m256 leftGains = _mm256_set1_ps(leftGain), rightGains = _mm256_set1_ps(rightGain);
    uint32_t first = 0;
    __m256i window = _mm256_setzero_si256(), base = _mm256_setzero_si256();
    for (uint32_t k = 0; k < count; k += 8) {
        const uint32_t n = std::min(8u, count - k);
        const auto low = uint32_t(positions[ascending ? k : k + n - 1]),
                   high = uint32_t(positions[ascending ? k + n - 1 : k]);
        if (k == 0 || low < first || high - first >= 16) {
            first = low;
            window = loadWindow(data, length, first);
            base = _mm256_set1_epi32(int(first));
        }
        if (n == 8) {
            const __m256i points = _mm256_cvttps_epi32(_mm256_loadu_ps(positions + k));
            mixEight<true>(window, _mm256_slli_epi32(_mm256_sub_epi32(points, base), 24), leftGains,
                           rightGains, left + k, right + k, 8);
        } else {
            const __m256i points = _mm256_cvttps_epi32(_mm256_maskload_ps(positions + k, firstLanes(n)));
            mixEight<false>(window, _mm256_slli_epi32(_mm256_sub_epi32(points, base), 24), leftGains,
                            rightGains, left + k, right + k, n);
        }
    }
}

} // namespace

bool mixRunAvx2(const int8_t* data, uint32_t length, const UnitRun& run, float leftGain, float rightGain,
                float* left, float* right) {
    // Eight frames reach (7 x delta + the fraction) >> shift past the window's first point: at most 15.
    if (int32_t(run.delta) < 0 || run.shift > 24 || ((uint64_t(7) * run.delta) >> run.shift) + 1 > 15)
        return false;
    mixRunGroups(data, length, run, leftGain, rightGain, left, right);
    return true;
}

bool mixPointsAvx2(const int8_t* data, uint32_t length, const float* positions, uint32_t count,
                   bool ascending, float leftGain, float rightGain, float* left, float* right) {
    if (count > 64) return false;
    for (uint32_t k = 0; k < count; k += 8) {
        const uint32_t last = std::min(k + 8, count) - 1;
        const auto low = uint32_t(positions[ascending ? k : last]),
                   high = uint32_t(positions[ascending ? last : k]);
        if (high - low >= 16) return false;
    }
    mixPointGroups(data, length, positions, count, ascending, leftGain, rightGain, left, right);
    return true;
}

} // namespace music

#endif
