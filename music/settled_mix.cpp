// Settled frames: a channel whose gains have stopped ramping and whose crossfade is over. The position
// moves a stretch at a time (up to the end of its binade or loop); where the float position moves by a
// fixed whole number of its own units the stretch is an integer run (UnitRun), which the compiler can
// vectorise, and 8-bit samples take their points with byte permutes where the CPU has them (wide_mix.h).
// Every output float comes out as the frame-by-frame rule (sample_step.h) gives it.
#include "music/mixer.h"

#include "music/sample_step.h"
#include "music/unit_run.h"
#include "music/wide_mix.h"

#include <algorithm>
#include <bit>
#include <cstddef>

namespace music {

namespace {

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

} // namespace

// Settled frames: fixed gains, no crossfade. The position moves through stretches (stretchBound):
// where one holds enough steps, its plain moves go through mixRun as a run; every other frame (short
// stretches, and the frame that crosses a bound) takes fetchSample's steps, with the state kept in
// locals (the output buffer could otherwise alias the channel's floats and force reloads). A channel
// whose gains are both 0 only moves on: its products are zeros, and adding a zero leaves every sum as
// it is (a sum that starts at +0 never becomes -0).
template <int Bits, int Loop> void mixSettled(PlayerChannel& c, float* left, float* right, uint32_t frames) {
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

template void mixSettled<8, LoopNone>(PlayerChannel&, float*, float*, uint32_t);
template void mixSettled<8, LoopForward>(PlayerChannel&, float*, float*, uint32_t);
template void mixSettled<8, LoopPingPong>(PlayerChannel&, float*, float*, uint32_t);
template void mixSettled<16, LoopNone>(PlayerChannel&, float*, float*, uint32_t);
template void mixSettled<16, LoopForward>(PlayerChannel&, float*, float*, uint32_t);
template void mixSettled<16, LoopPingPong>(PlayerChannel&, float*, float*, uint32_t);

} // namespace music
