// Mixing: drives the tick clock frame by frame and sums the channels with ramped gains.
//
// Between two ticks nothing changes a channel from outside, so the mixer works a segment of frames
// (up to the next tick) channel by channel, in loops specialised for the sample's width and loop type
// that do fetchSample's arithmetic with the state held in registers. While a channel's gains are still
// ramping or its crossfade is running, its frames go one by one here; after that the settled loop
// (settled_mix.cpp) takes over. Every output float comes out as frame by frame (sample_step.h).
#include "music/mixer.h"

#include "music/replayer.h"
#include "music/sample_step.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace music {

namespace {

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

} // namespace music
