// Periods, frequencies and the per-tick pitch modulations (slides, tone portamento, vibrato).
#include "music/pitch_envelope.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace music {

namespace {

// One octave of Amiga periods from C to the next C, scaled by 1024.
constexpr int64_t kAmigaPeriods[13] = {1753088, 1654784, 1561600, 1474560, 1389568, 1311744, 1238016,
                                       1168384, 1102848, 1041408, 984064,  928768,  876544};
constexpr float kAmigaClock = 7093789.0f;
// Far beyond any audible period; bounds the octave search for absurd periods from corrupt slides.
constexpr int kMaxOctaveShift = 40;

// Moves a table period by octaves: right for higher octaves, left for lower ones.
int64_t shiftOctaves(int64_t period, int shift) {
    if (shift >= 0) return shift >= 63 ? 0 : period >> shift;
    return period << std::min(-shift, kMaxOctaveShift);
}

// A period slid to zero, or modulated below it by vibrato, is 0 Hz: the channel holds its position.
// A negative frequency would step backwards through the sample, and the backward half of a ping-pong
// loop would then run off the end of the data.
float amigaFrequency(float period) {
    return period <= 0.0f ? 0.0f : kAmigaClock / (2.0f * period);
}

// Turns an Amiga period back into a fractional note value (the inverse of noteToAmigaPeriod).
float amigaNoteFromPeriod(float period) {
    double p = double(period) * 1024.0;
    int k = 0;
    if (p > kAmigaPeriods[0]) {
        int m = 1;
        while (m < kMaxOctaveShift && p > double(kAmigaPeriods[0]) * std::ldexp(1.0, m)) ++m;
        k = -m;
    } else if (p < kAmigaPeriods[12]) {
        int m = 1;
        while (m < 63 && double(kAmigaPeriods[12] >> m) > p) ++m;
        k = m;
    }
    int semitone = 0;
    double hi = double(shiftOctaves(kAmigaPeriods[11], k));
    double lo = double(shiftOctaves(kAmigaPeriods[12], k));
    for (int i = 0; i < 12; ++i) {
        double h = double(shiftOctaves(kAmigaPeriods[i], k));
        double l = double(shiftOctaves(kAmigaPeriods[i + 1], k));
        if (l <= p && p <= h) {
            semitone = i;
            hi = h;
            lo = l;
            break;
        }
    }
    // Deep octaves shift neighbouring table entries to the same integer; there is no fraction to find.
    double fraction = lo != hi ? (p - hi) / (lo - hi) : 0.0;
    return float((k + 2) * 12 + semitone + fraction);
}

} // namespace

float pitchFromNote(uint32_t frequencyMode, float noteValue) {
    return frequencyMode == FrequencyLinear ? 7680.0f - 64.0f * noteValue : noteToAmigaPeriod(noteValue);
}

float noteToAmigaPeriod(float noteValue) {
    float whole = std::floor(noteValue);
    auto note = int64_t(whole);
    // Floor division on the integer note keeps the semitone in 0..11 whatever the float rounding.
    int64_t octave = note >= 0 ? note / 12 : -((-note + 11) / 12);
    auto semitone = int(note - 12 * octave);
    int shift = int(std::clamp<int64_t>(octave - 2, -kMaxOctaveShift, 63));
    auto a = float(shiftOctaves(kAmigaPeriods[semitone], shift));
    auto b = float(shiftOctaves(kAmigaPeriods[semitone + 1], shift));
    return (a + (noteValue - whole) * (b - a)) / 1024.0f;
}

float pitchToFrequency(uint32_t frequencyMode, float period, uint32_t semitones, float offset) {
    if (frequencyMode == FrequencyLinear)
        return 8363.0f * std::exp2((4608.0f - (period - 64.0f * float(semitones) - 16.0f * offset)) / 768.0f);
    if (semitones == 0) return amigaFrequency(period + 16.0f * offset);
    float note = amigaNoteFromPeriod(period) + float(semitones);
    return amigaFrequency(noteToAmigaPeriod(note) + 16.0f * offset);
}

void refreshFrequency(const ModulePlayer* player, PlayerChannel& c) {
    c.frequency = pitchToFrequency(player->frequencyMode, c.period, c.arpeggioSemitones,
                                   c.vibratoOffset + c.autoVibratoOffset);
    c.step = c.frequency / float(player->outputRate);
}

namespace {
float periodUnits(const ModulePlayer* player) {
    return player->frequencyMode == FrequencyLinear ? 4.0f : 1.0f;
}
} // namespace

void slidePitch(const ModulePlayer* player, PlayerChannel& c, int delta) {
    c.period = std::max(0.0f, c.period + float(delta) * periodUnits(player));
    refreshFrequency(player, c);
}

void stepTonePortamento(const ModulePlayer* player, PlayerChannel& c) {
    float target = c.tonePortamentoTarget;
    if (target == 0.0f || c.period == target) return;
    float speed = float(c.tonePortamentoSpeed) * periodUnits(player);
    c.period = c.period < target ? std::min(c.period + speed, target) : std::max(c.period - speed, target);
    refreshFrequency(player, c);
}

void stepVibrato(const ModulePlayer* player, PlayerChannel& c, uint8_t vibratoMemory) {
    c.vibratoPosition = uint16_t(c.vibratoPosition + (vibratoMemory >> 4));
    c.vibratoOffset =
        oscillator(c.vibratoWaveform, c.vibratoPosition) * -2.0f * float(vibratoMemory & 15) / 15.0f;
    refreshFrequency(player, c);
}

void stepAutoVibrato(const ModulePlayer* player, PlayerChannel& c) {
    const Instrument* ins = c.instrument;
    if (ins && ins->autoVibratoDepth != 0) {
        uint32_t n = c.autoVibratoCounter++;
        float sweep = n < ins->autoVibratoSweep ? float(n) / float(ins->autoVibratoSweep) : 1.0f;
        c.autoVibratoOffset =
            oscillator(uint32_t(ins->autoVibratoWaveform), (n * ins->autoVibratoRate) >> 2) * 0.25f *
            float(ins->autoVibratoDepth) / 15.0f * sweep;
        refreshFrequency(player, c);
    } else if (c.autoVibratoOffset != 0.0f) {
        c.autoVibratoOffset = 0.0f;
        refreshFrequency(player, c);
    }
}

} // namespace music
