// Mixing: drives the tick clock frame by frame and sums the channels with ramped gains.
#include "mixer.h"

#include "replayer.h"

#include <algorithm>
#include <cmath>

namespace {

float readPoint(const Sample& s, uint32_t index) {
    return s.bits == 16 ? static_cast<const int16_t*>(s.data)[index] / 32768.0f
                        : static_cast<const int8_t*>(s.data)[index] / 128.0f;
}

// Wraps a forward loop. Steps far longer than the loop (extreme pitches) are folded in one go, and the
// result is kept inside the loop even where float rounding lands on its end.
void wrapForward(PlayerChannel& c, const Sample& s) {
    float end = float(s.loopEnd), start = float(s.loopStart), length = float(s.loopLength);
    if (c.position < end) return;
    c.position -= length;
    if (c.position >= end) c.position = start + std::fmod(c.position - start, length);
    if (!(c.position < end)) c.position = start;
}

// Reflects a ping-pong loop at its ends. The distance travelled past an end is folded into one round
// trip, so any step stays inside the loop; a reflection that lands exactly on a loop end that is also
// the sample's end reads the last point instead of one past it.
void bouncePingPong(PlayerChannel& c, const Sample& s) {
    float start = float(s.loopStart), end = float(s.loopEnd), length = float(s.loopLength);
    float over;
    if (c.forward) {
        c.position += c.step;
        if (c.position < end) return;
        over = c.position - end;
    } else {
        c.position -= c.step;
        if (c.position > start) return;
        over = start - c.position;
    }
    if (over >= 2.0f * length) over = std::fmod(over, 2.0f * length);
    bool reflectedTwice = over > length;
    if (reflectedTwice) over -= length;
    bool atEnd = c.forward != reflectedTwice; // reflected off the loop end, now moving backward
    c.forward = !atEnd;
    c.position = atEnd ? end - over : start + over;
    if (!(c.position < float(s.length))) c.position = float(s.length - 1);
}

void advancePosition(PlayerChannel& c, const Sample& s) {
    switch (s.loopType) {
    case LoopForward:
        c.position += c.step;
        wrapForward(c, s);
        break;
    case LoopPingPong:
        bouncePingPong(c, s);
        break;
    default:
        c.position += c.step;
        if (c.position >= float(s.length)) c.position = -1.0f;
        break;
    }
}

bool isSounding(const PlayerChannel& c) {
    return c.instrument && c.sample && c.position >= 0.0f;
}

float rampTowards(float current, float target, float step) {
    return current < target ? std::min(current + step, target) : std::max(current - step, target);
}

void mixChannel(const ModulePlayer* p, PlayerChannel& c, float* out, uint32_t frames) {
    bool audible = !c.mute && !c.instrument->mute;
    for (uint32_t i = 0; i < frames && isSounding(c); ++i) {
        float v = fetchSample(c);
        if (audible) {
            out[2 * i] += v * c.currentLeftGain;
            out[2 * i + 1] += v * c.currentRightGain;
        }
        ++c.framesSinceTrigger;
        c.currentLeftGain = rampTowards(c.currentLeftGain, c.targetLeftGain, p->rampStep);
        c.currentRightGain = rampTowards(c.currentRightGain, c.targetRightGain, p->rampStep);
    }
}

// Mixes frames that all fall between two ticks, so no channel state changes from outside meanwhile.
void mixSegment(ModulePlayer* p, float* out, uint32_t frames) {
    std::fill(out, out + 2 * size_t(frames), 0.0f);
    if (p->loopLimit && p->loopCount >= p->loopLimit) return;
    for (uint32_t i = 0; i < p->channelCount; ++i)
        if (isSounding(p->channels[i])) mixChannel(p, p->channels[i], out, frames);
    float gain = p->amplification * p->globalVolume;
    for (size_t i = 0; i < 2 * size_t(frames); ++i) out[i] *= gain;
}

} // namespace

float fetchSample(PlayerChannel& c) {
    uint32_t k = c.framesSinceTrigger;
    float blend = float(k) / float(kCrossfadeFrames);
    if (isSounding(c)) {
        const Sample& s = *c.sample;
        if (s.length == 0) return 0.0f;
        float value = readPoint(s, uint32_t(c.position));
        advancePosition(c, s);
        return k < kCrossfadeFrames ? c.crossfadeTail[k] + (value - c.crossfadeTail[k]) * blend : value;
    }
    return k < kCrossfadeFrames ? c.crossfadeTail[k] * (1.0f - blend) : 0.0f;
}

void renderFrames(ModulePlayer* p, float* out, uint32_t frames) {
    p->framesRendered += frames;
    uint32_t done = 0;
    while (done < frames) {
        if (p->framesToNextTick <= 0.0f) advanceTick(p);
        // The frames up to the next due tick form one segment; the countdown moves exactly as it would
        // frame by frame.
        uint32_t count = 0;
        do {
            p->framesToNextTick -= 1.0f;
            ++count;
        } while (done + count < frames && p->framesToNextTick > 0.0f);
        mixSegment(p, out + 2 * size_t(done), count);
        done += count;
    }
}
