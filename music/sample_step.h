// The rule of one step through a sample, which every mixing loop follows to the bit: the point under the
// position (no interpolation), then the move by the step, then the loop's wrap or reflection or the end of
// a one-shot sample.
#pragma once

#include "music/module_player.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

namespace music {

// A sample's bounds as floats, taken once so the per-frame loops need no conversions or reloads.
struct SampleBounds {
    const void* data;
    float length, loopStart, loopEnd, loopLength;

    explicit SampleBounds(const Sample& s)
        : data(s.data), length(float(s.length)), loopStart(float(s.loopStart)), loopEnd(float(s.loopEnd)),
          loopLength(float(s.loopLength)) {}
};

// Stored values are scaled to -1..1 by a power of two, which is exact: scaling the value or the gain
// gives the same product, so the settled loop folds the scale into its gains.
template <int Bits> constexpr float kPointScale = Bits == 16 ? 1.0f / 32768.0f : 1.0f / 128.0f;

template <int Bits> inline int32_t readRaw(const void* data, size_t index) {
    if constexpr (Bits == 16)
        return static_cast<const int16_t*>(data)[index];
    else
        return static_cast<const int8_t*>(data)[index];
}

template <int Bits> inline float readPoint(const void* data, uint32_t index) {
    return readRaw<Bits>(data, index) * kPointScale<Bits>;
}

// Wraps a position that has reached the end of a forward loop. Steps far longer than the loop (extreme
// pitches) are folded in one go, and the result is kept inside the loop even where float rounding lands
// on its end.
inline void wrapForward(float& position, const SampleBounds& s) {
    float end = s.loopEnd, start = s.loopStart, length = s.loopLength;
    position -= length;
    if (position >= end) position = start + std::fmod(position - start, length);
    if (!(position < end)) position = start;
}

// Reflects a position that has passed an end of a ping-pong loop. The distance travelled past the end
// is folded into one round trip, so any step stays inside the loop; a reflection that lands exactly on
// a loop end that is also the sample's end reads the last point instead of one past it.
inline void reflectPingPong(float& position, uint8_t& forward, const SampleBounds& s) {
    float start = s.loopStart, end = s.loopEnd, length = s.loopLength;
    float over = forward ? position - end : start - position;
    if (over >= 2.0f * length) over = std::fmod(over, 2.0f * length);
    bool reflectedTwice = over > length;
    if (reflectedTwice) over -= length;
    bool atEnd = bool(forward) != reflectedTwice; // reflected off the loop end, now moving backward
    forward = !atEnd;
    position = atEnd ? end - over : start + over;
    if (!(position < s.length)) position = s.length - 1.0f;
}

// After a move: a forward loop wraps at its end, a ping-pong loop reflects off the end it passed, a
// one-shot sample stops at its end (position -1).
template <int Loop>
[[gnu::always_inline]] inline void keepInSample(float& position, uint8_t& forward, const SampleBounds& s) {
    if constexpr (Loop == LoopForward) {
        if (position >= s.loopEnd) wrapForward(position, s);
    } else if constexpr (Loop == LoopPingPong) {
        if (forward ? position >= s.loopEnd : position <= s.loopStart) reflectPingPong(position, forward, s);
    } else {
        if (position >= s.length) position = -1.0f;
    }
}

template <int Loop>
[[gnu::always_inline]] inline void advance(float& position, uint8_t& forward, float step,
                                           const SampleBounds& s) {
    position = Loop != LoopPingPong || forward ? position + step : position - step;
    keepInSample<Loop>(position, forward, s);
}

} // namespace music
