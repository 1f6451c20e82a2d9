// Volume and panning envelopes with fadeout, and the waveform generator shared by the modulations.
#include "music/pitch_envelope.h"

#include <cmath>

namespace music {

namespace {
// One generator for all channels and the whole run.
uint32_t randomState = kRandomSeed;
} // namespace

float nextRandom(uint32_t& state) {
    state = state * 1103515245u + 12345u;
    return float((state >> 16) & 0x7FFF) / 16384.0f - 1.0f;
}

float oscillator(uint32_t waveform, uint32_t phase) {
    uint32_t f = phase & 63;
    switch (waveform) {
    case 0:
        return -std::sin(float(f) * 6.283184f / 64.0f);
    case 1:
        return float(32 - int(f)) / 32.0f;
    case 2:
        return (phase & 32) ? 1.0f : -1.0f;
    case 3:
        return nextRandom(randomState);
    case 4:
        return float(int(f) - 32) / 32.0f;
    default:
        return 0.0f;
    }
}

float evaluateEnvelope(const Envelope& e, uint16_t& tick, float value, bool keyHeld) {
    if (e.pointCount == 0) return value;
    const EnvelopePoint* pt = e.points;
    if (e.pointCount == 1) return std::min(pt[0].y / 64.0f, 1.0f);

    if (e.loopEnabled && tick >= pt[e.loopEndPoint].x)
        tick = uint16_t(pt[e.loopStartPoint].x + tick - pt[e.loopEndPoint].x);
    int i = 0;
    while (i < e.pointCount - 2 && !(tick >= pt[i].x && tick <= pt[i + 1].x)) ++i;
    float y;
    if (tick <= pt[i].x) {
        y = pt[i].y;
    } else if (tick >= pt[i + 1].x) {
        y = pt[i + 1].y;
    } else {
        float f = float(tick - pt[i].x) / float(pt[i + 1].x - pt[i].x);
        y = (1.0f - f) * pt[i].y + f * pt[i + 1].y;
    }
    // A sustain index outside the points names no point: the envelope then has no sustain.
    bool sustained =
        keyHeld && e.sustainEnabled && e.sustainPoint < e.pointCount && tick == pt[e.sustainPoint].x;
    if (!sustained) ++tick;
    return y / 64.0f;
}

void stepEnvelopes(PlayerChannel& c) {
    const Instrument* ins = c.instrument;
    if (!ins) return;
    if (ins->volumeEnvelope.enabled) {
        if (!c.keyHeld) c.fadeoutVolume = std::max(0.0f, c.fadeoutVolume - float(ins->fadeout) / 32768.0f);
        c.envelopeVolume =
            evaluateEnvelope(ins->volumeEnvelope, c.volumeEnvelopeTick, c.envelopeVolume, c.keyHeld);
    }
    if (ins->panningEnvelope.enabled)
        c.envelopePanning =
            evaluateEnvelope(ins->panningEnvelope, c.panningEnvelopeTick, c.envelopePanning, c.keyHeld);
}

} // namespace music
