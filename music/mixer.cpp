// Mixing: drives the tick clock frame by frame and sums the channels with ramped gains.
//
// Between two ticks nothing changes a channel from outside, so the mixer works a segment of frames
// (up to the next tick) channel by channel, in loops specialised for the sample's width and loop type
// that do fetchSample's arithmetic with the state held in registers. While a channel's gains are still
// ramping or its crossfade is running, its frames go one by one; after that the settled loop moves the
// position a stretch at a time (up to the end of its binade or loop), takes the stretches where the
// float position moves by a fixed whole number of its own units as integer runs (UnitRun), which the
// compiler can vectorise, and mixes 8-bit samples with byte permutes where the CPU has them
// (wide_mix.h). Every output float comes out as frame by frame.
#include "music/mixer.h"

#include "music/replayer.h"
#include "music/unit_run.h"
#include "music/wide_mix.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>

namespace {

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

template <int Bits> int32_t readRaw(const void* data, size_t index) {
    if constexpr (Bits == 16)
        return static_cast<const int16_t*>(data)[index];
    else
        return static_cast<const int8_t*>(data)[index];
}

template <int Bits> float readPoint(const void* data, uint32_t index) {
    return readRaw<Bits>(data, index) * kPointScale<Bits>;
}

// Wraps a position that has reached the end of a forward loop. Steps far longer than the loop (extreme
// pitches) are folded in one go, and the result is kept inside the loop even where float rounding lands
// on its end.
void wrapForward(float& position, const SampleBounds& s) {
    float end = s.loopEnd, start = s.loopStart, length = s.loopLength;
    position -= length;
    if (position >= end) position = start + std::fmod(position - start, length);
    if (!(position < end)) position = start;
}

// Reflects a position that has passed an end of a ping-pong loop. The distance travelled past the end
// is folded into one round trip, so any step stays inside the loop; a reflection that lands exactly on
// a loop end that is also the sample's end reads the last point instead of one past it.
void reflectPingPong(float& position, uint8_t& forward, const SampleBounds& s) {
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

// Reads the point under the position and moves on, for one sample width and loop type.
template <int Bits, int Loop> float step(PlayerChannel& c, const SampleBounds& s) {
    float value = readPoint<Bits>(s.data, uint32_t(c.position));
    advance<Loop>(c.position, c.forward, c.step, s);
    return value;
}

using StepFunction = float (*)(PlayerChannel&, const SampleBounds&);
template <int Bits> StepFunction stepFor(int32_t loopType) {
    return loopType == LoopForward    ? step<Bits, LoopForward>
           : loopType == LoopPingPong ? step<Bits, LoopPingPong>
                                      : step<Bits, LoopNone>;
}

bool isSounding(const PlayerChannel& c) {
    return c.instrument && c.sample && c.position >= 0.0f;
}

// The value of frame k after a trigger: blended in from the old sound's tail during the crossfade.
float crossfaded(const PlayerChannel& c, uint32_t k, float value) {
    return k < kCrossfadeFrames
               ? c.crossfadeTail[k] + (value - c.crossfadeTail[k]) * (float(k) / float(kCrossfadeFrames))
               : value;
}

float rampTowards(float current, float target, float step) {
    return current < target ? std::min(current + step, target) : std::max(current - step, target);
}

// Frames one by one as fetchSample takes them, with the channel's state in locals, until the channel
// settles (when the settled loop may take over) or stops; returns how many frames it mixed. An empty
// sample gives zeros and stays where it is.
template <int Bits, int Loop>
uint32_t mixTransition(const ModulePlayer* p, PlayerChannel& c, float* left, float* right, uint32_t frames,
                       bool audible, bool mayLeaveSettled) {
    const SampleBounds s(*c.sample);
    const bool empty = c.sample->length == 0;
    const float step = c.step, rampStep = p->rampStep, leftTarget = c.targetLeftGain,
                rightTarget = c.targetRightGain;
    float position = c.position, leftGain = c.currentLeftGain, rightGain = c.currentRightGain;
    uint8_t forward = c.forward;
    uint32_t k = c.framesSinceTrigger, i = 0;
    for (; i < frames && position >= 0.0f &&
           !(mayLeaveSettled && k >= kCrossfadeFrames && leftGain == leftTarget && rightGain == rightTarget);
         ++i, ++k) {
        float v = 0.0f;
        if (!empty) {
            v = readPoint<Bits>(s.data, uint32_t(position));
            advance<Loop>(position, forward, step, s);
            v = crossfaded(c, k, v);
        }
        if (audible) {
            left[i] += v * leftGain;
            right[i] += v * rightGain;
        }
        leftGain = rampTowards(leftGain, leftTarget, rampStep);
        rightGain = rampTowards(rightGain, rightTarget, rampStep);
    }
    c.position = position;
    c.forward = forward;
    c.framesSinceTrigger = k;
    c.currentLeftGain = leftGain;
    c.currentRightGain = rightGain;
    return i;
}

template <int Loop>
UnitRun unitRun(float position, bool forward, float step, const SampleBounds& s, uint32_t maxFrames) {
    constexpr uint32_t kBinadeStart = 1u << 23, kBinadeEnd = 1u << 24, kMantissa = kBinadeStart - 1;
    UnitRun run;
    const auto positionBits = std::bit_cast<uint32_t>(position), stepBits = std::bit_cast<uint32_t>(step);
    const int exponent = int(positionBits >> 23);
    run.shift = 150 - exponent;
    // Positions from 2^-8 up to 2^24: index shifts of 31 down to 0.
    if (!(position > 0.0f) || run.shift < 0 || run.shift > 31 || !(step >= 0.0f)) return run;
    const uint32_t units = (positionBits & kMantissa) | kBinadeStart;

    // The step in units: its mantissa shifted right by the exponents' difference, rounded to nearest.
    const uint32_t stepMantissa = (stepBits & kMantissa) | kBinadeStart;
    const int drop = exponent - int(stepBits >> 23);
    uint32_t delta;
    if (step == 0.0f || drop >= 25) {
        delta = 0; // less than half a unit: the sum rounds back to the position
    } else if (drop <= 0) {
        return run; // a step of a whole binade or more
    } else {
        uint32_t rest = stepMantissa & ((1u << drop) - 1), half = 1u << (drop - 1);
        if (rest == half) return run;
        delta = (stepMantissa >> drop) + (rest > half ? 1 : 0);
    }

    // Frame k of the run moves the position to units +- (k + 1) * delta, which must stay short of the
    // limit where the float advance does more than the plain move.
    uint32_t frames;
    if (Loop != LoopPingPong || forward) {
        const float bound = Loop == LoopNone ? s.length : s.loopEnd;
        const auto limit = uint32_t(std::min<uint64_t>(kBinadeEnd, uint64_t(bound) << run.shift));
        frames = units >= limit ? 0 : delta == 0 ? maxFrames : (limit - units - 1) / delta;
        run.delta = delta;
    } else {
        const auto limit = uint32_t(std::max<uint64_t>(kBinadeStart, uint64_t(s.loopStart) << run.shift));
        frames = units <= limit ? 0 : delta == 0 ? maxFrames : (units - limit - 1) / delta;
        run.delta = 0u - delta;
    }
    run.frames = std::min(frames, maxFrames);
    run.units = units;
    return run;
}

// A run's positions as 32.32 fixed point, the index and the fraction in words of their own, so that a
// frame's move is an add with carry.
struct RunCursor {
    uint64_t index, indexDelta;
    uint32_t fraction, fractionDelta;

    explicit RunCursor(const UnitRun& run) {
        const uint64_t start = uint64_t(run.units) << (32 - run.shift);
        const int64_t delta = int64_t(int32_t(run.delta)) * (int64_t(1) << (32 - run.shift));
        index = start >> 32;
        fraction = uint32_t(start);
        indexDelta = uint64_t(delta >> 32);
        fractionDelta = uint32_t(delta);
    }
    [[gnu::always_inline]] void next() {
        fraction += fractionDelta;
        index += indexDelta + (fraction < fractionDelta ? 1u : 0u);
    }
};

// The run's frames, a chunk at a time: first the points under the positions, then the same product and
// sum as frame by frame, in a loop the compiler vectorises.
template <int Bits>
void mixRunPoints(const void* data, const UnitRun& run, float leftGain, float rightGain,
                  float* __restrict left, float* __restrict right) {
    constexpr uint32_t kChunkFrames = 64;
    int32_t points[kChunkFrames];
    RunCursor cursor(run);
    for (uint32_t done = 0; done < run.frames; done += kChunkFrames) {
        const uint32_t count = std::min(kChunkFrames, run.frames - done);
#pragma GCC unroll 4
        for (uint32_t k = 0; k < count; ++k, cursor.next()) points[k] = readRaw<Bits>(data, cursor.index);
        float* __restrict chunkLeft = left + done;
        float* __restrict chunkRight = right + done;
        for (uint32_t k = 0; k < count; ++k) {
            float v = float(points[k]);
            chunkLeft[k] += v * leftGain;
            chunkRight[k] += v * rightGain;
        }
    }
}

// A run's frames: an 8-bit sample's through mixRunWide where it takes them, the rest through mixRunPoints.
template <int Bits>
void mixRun(const Sample& sample, const UnitRun& run, float leftGain, float rightGain, float* left,
            float* right) {
    if (Bits == 8 && mixRunWide(static_cast<const int8_t*>(sample.data), sample.length, run, leftGain,
                                rightGain, left, right))
        return;
    mixRunPoints<Bits>(sample.data, run, leftGain, rightGain, left, right);
}

// The bound of the stretch a position moves through by plain adds, or frame by frame up to where one
// may hold a run. A binade [2^e, 2^(e+1)) can hold a run only from 2^e >= runFloor; moving up, the
// stretch ends at the binade's end (or at runFloor, below it) or at the loop's or sample's end,
// whichever comes first; moving down (a ping-pong loop's way back), at the binade's start where that
// binade can hold a run, otherwise at the loop's start.
template <int Loop> float stretchBound(float position, bool up, float runFloor, const SampleBounds& s) {
    const float binadeStart = std::bit_cast<float>(std::bit_cast<uint32_t>(position) & 0x7F800000u);
    if (up) return std::min(std::max(2.0f * binadeStart, runFloor), Loop == LoopNone ? s.length : s.loopEnd);
    return std::max(binadeStart >= runFloor ? binadeStart : 0.0f, s.loopStart);
}

// Frames one by one while the position stays short of the bound (moving up) or above it (moving down),
// up to 64 at a time: first the positions, a float add each, then the points under them (mixPointsWide
// takes an 8-bit sample's where it can), then the same product and sum as frame by frame, in a loop the
// compiler vectorises. A silent channel only moves on. Returns where it stopped.
template <int Bits, bool Up, bool Silent>
float* mixStretch(const Sample& sample, float& position, float step, float bound, float leftGain,
                  float rightGain, float* __restrict left, float* __restrict right, float* end) {
    float p = position;
    if constexpr (Silent) {
        do {
            ++left;
            p = Up ? p + step : p - step;
        } while (left != end && (Up ? p < bound : p > bound));
        position = p;
        return left;
    }
    constexpr uint32_t kMostFrames = 64;
    float positions[kMostFrames];
    const auto most = uint32_t(std::min<std::ptrdiff_t>(kMostFrames, end - left));
    uint32_t count = 0;
    do {
        positions[count++] = p;
        p = Up ? p + step : p - step;
    } while (count < most && (Up ? p < bound : p > bound));
    position = p;
    if (Bits == 8 && mixPointsWide(static_cast<const int8_t*>(sample.data), sample.length, positions, count,
                                   Up, leftGain, rightGain, left, right))
        return left + count;
    int32_t points[kMostFrames];
    for (uint32_t k = 0; k < count; ++k) points[k] = readRaw<Bits>(sample.data, uint32_t(positions[k]));
    for (uint32_t k = 0; k < count; ++k) {
        float v = float(points[k]);
        left[k] += v * leftGain;
        right[k] += v * rightGain;
    }
    return left + count;
}

// A stretch, and the frames left to mix, must hold this many steps before the stretch's plain moves are
// worth setting up as a run.
constexpr float kRunFromSteps = 32.0f;

// Settled frames: fixed gains, no crossfade. The position moves through stretches (stretchBound):
// where one holds enough steps, its plain moves go through mixRun as a run; every other frame (short
// stretches, and the frame that crosses a bound) takes fetchSample's steps, with the state kept in
// locals (the output buffer could otherwise alias the channel's floats and force reloads). A channel
// whose gains are both 0 only moves on: its products are zeros, and adding a zero leaves every sum as
// it is (a sum that starts at +0 never becomes -0).
template <int Bits, int Loop>
[[gnu::noinline]] void mixSettled(PlayerChannel& c, float* left, float* right, uint32_t frames) {
    const SampleBounds s(*c.sample);
    float position = c.position;
    uint8_t forward = c.forward;
    const float step = c.step, leftGain = c.currentLeftGain * kPointScale<Bits>,
                rightGain = c.currentRightGain * kPointScale<Bits>;
    const bool silent = leftGain == 0.0f && rightGain == 0.0f;
    const float runSpan = step * kRunFromSteps;
    // The power of two at or above runSpan.
    const float runFloor =
        std::bit_cast<float>((std::bit_cast<uint32_t>(runSpan) + 0x007FFFFFu) & 0xFF800000u);
    float* frameLeft = left;
    float* frameRight = right;
    float* const end = left + frames;
    while (frameLeft != end) {
        const bool up = Loop != LoopPingPong || forward;
        const float bound = stretchBound<Loop>(position, up, runFloor, s);
        if ((up ? bound - position : position - bound) >= runSpan &&
            float(end - frameLeft) >= kRunFromSteps) {
            UnitRun run = unitRun<Loop>(position, forward, step, s, uint32_t(end - frameLeft));
            if (run.frames) {
                if (!silent) mixRun<Bits>(*c.sample, run, leftGain, rightGain, frameLeft, frameRight);
                frameLeft += run.frames;
                frameRight += run.frames;
                position = run.endPosition();
                continue;
            }
        }
        // Frame by frame up to the bound; past it, the loop's end or start, or the sample's end.
        using Stretch = float* (*)(const Sample&, float&, float, float, float, float, float*, float*, float*);
        constexpr Stretch kStretches[2][2] = {{mixStretch<Bits, false, false>, mixStretch<Bits, false, true>},
                                              {mixStretch<Bits, true, false>, mixStretch<Bits, true, true>}};
        float* const stretchEnd = kStretches[up][silent](*c.sample, position, step, bound, leftGain,
                                                         rightGain, frameLeft, frameRight, end);
        frameRight += stretchEnd - frameLeft;
        frameLeft = stretchEnd;
        keepInSample<Loop>(position, forward, s);
        // Stopped: the end of a one-shot sample.
        if (!(position >= 0.0f)) break;
    }
    c.position = position;
    c.forward = forward;
    c.framesSinceTrigger += uint32_t(frameLeft - left);
}

template <int Bits, int Loop>
void mixChannelAs(const ModulePlayer* p, PlayerChannel& c, float* left, float* right, uint32_t frames) {
    bool audible = !c.mute && !c.instrument->mute;
    // Muted channels and empty samples are rare: they stay on the frame-by-frame path.
    uint32_t done =
        mixTransition<Bits, Loop>(p, c, left, right, frames, audible, audible && c.sample->length > 0);
    if (done == frames || !isSounding(c)) return;
    mixSettled<Bits, Loop>(c, left + done, right + done, frames - done);
}

template <int Bits>
void mixChannelOfWidth(const ModulePlayer* p, PlayerChannel& c, float* left, float* right, uint32_t frames) {
    switch (c.sample->loopType) {
    case LoopForward:
        return mixChannelAs<Bits, LoopForward>(p, c, left, right, frames);
    case LoopPingPong:
        return mixChannelAs<Bits, LoopPingPong>(p, c, left, right, frames);
    default:
        return mixChannelAs<Bits, LoopNone>(p, c, left, right, frames);
    }
}

void mixChannel(const ModulePlayer* p, PlayerChannel& c, float* left, float* right, uint32_t frames) {
    if (c.sample->bits == 16)
        mixChannelOfWidth<16>(p, c, left, right, frames);
    else
        mixChannelOfWidth<8>(p, c, left, right, frames);
}

// Mixes frames that all fall between two ticks, so no channel state changes from outside meanwhile. The
// channels add into a left and a right buffer in channel order, as they would into the interleaved
// frames, and the output gain scales the sums as it interleaves them.
void mixSegment(ModulePlayer* p, float* out, uint32_t frames) {
    if (p->loopLimit && p->loopCount >= p->loopLimit) {
        std::fill(out, out + 2 * size_t(frames), 0.0f);
        return;
    }
    constexpr uint32_t kMixFrames = 1024;
    float left[kMixFrames], right[kMixFrames];
    const float gain = p->amplification * p->globalVolume;
    for (uint32_t done = 0; done < frames; done += kMixFrames) {
        const uint32_t count = std::min(kMixFrames, frames - done);
        std::fill(left, left + count, 0.0f);
        std::fill(right, right + count, 0.0f);
        for (uint32_t i = 0; i < p->channelCount; ++i)
            if (isSounding(p->channels[i])) mixChannel(p, p->channels[i], left, right, count);
        float* frame = out + 2 * size_t(done);
        for (uint32_t k = 0; k < count; ++k) {
            frame[2 * k] = left[k] * gain;
            frame[2 * k + 1] = right[k] * gain;
        }
    }
}

} // namespace

float fetchSample(PlayerChannel& c) {
    uint32_t k = c.framesSinceTrigger;
    if (isSounding(c)) {
        const Sample& s = *c.sample;
        if (s.length == 0) return 0.0f;
        float value = (s.bits == 16 ? stepFor<16>(s.loopType) : stepFor<8>(s.loopType))(c, SampleBounds(s));
        return crossfaded(c, k, value);
    }
    return k < kCrossfadeFrames ? c.crossfadeTail[k] * (1.0f - float(k) / float(kCrossfadeFrames)) : 0.0f;
}

void renderFrames(ModulePlayer* p, float* out, uint32_t frames) {
    p->framesRendered += frames;
    uint32_t done = 0;
    while (done < frames) {
        if (p->framesToNextTick <= 0.0f) advanceTick(p);
        // The frames up to the next due tick form one segment; the countdown moves exactly as it would
        // frame by frame. Below 2^24, taking whole frames off a countdown that stays above 0 is exact, so
        // all but the segment's last frame come off in one subtraction.
        const uint32_t room = frames - done;
        uint32_t count = 0;
        if (p->framesToNextTick > 1.0f && p->framesToNextTick < 16777216.0f) {
            count = std::min(room - 1, uint32_t(std::ceil(p->framesToNextTick)) - 1);
            p->framesToNextTick -= float(count);
        }
        do {
            p->framesToNextTick -= 1.0f;
            ++count;
        } while (count < room && p->framesToNextTick > 0.0f);
        mixSegment(p, out + 2 * size_t(done), count);
        done += count;
    }
}

uint32_t framesToTick(const ModulePlayer* p, uint32_t limit) {
    const float due = p->framesToNextTick;
    if (due <= 0.0f) return std::min(limit, 1u);
    // Whole frames come off the countdown until it reaches 0: as many as it has, rounded up.
    return due < float(limit) ? uint32_t(std::ceil(due)) : limit;
}
