#include "generators/composer/instruments.h"

#include "generators/composer/synth.h"

#include <cmath>
#include <utility>

using namespace music;

namespace generators {

namespace composer {
namespace {

// Drums are drawn at a fixed rate and played back at that rate on C-4; other notes retune them (a high
// kick makes a tom).
constexpr double kDrumRate = 22050.0;
constexpr double kHatRate = 44100.0;

size_t points(double seconds, double rate) {
    return size_t(std::lround(seconds * rate));
}

void tune(XmSample& sample, Tuning t) {
    sample.relativeNote = t.relativeNote;
    sample.finetune = t.finetune;
}

XmSample pcmSample(const char* name, const Signal& s, uint8_t volume) {
    XmSample sample;
    sample.name = name;
    const std::vector<int8_t> pcm = toPcm8(s);
    sample.points.assign(pcm.begin(), pcm.end());
    sample.volume = volume;
    return sample;
}

XmSample oneShot(const char* name, const Signal& s, double rate, uint8_t volume) {
    XmSample sample = pcmSample(name, s, volume);
    tune(sample, tuningForRate(rate));
    return sample;
}

// A loop over the whole sample whose fundamental cycle is `cyclePoints` long.
XmSample looped(const char* name, const Signal& s, double cyclePoints, uint8_t volume) {
    XmSample sample = pcmSample(name, s, volume);
    sample.loop = XmLoop::Forward;
    sample.loopStart = 0;
    sample.loopLength = uint32_t(sample.points.size());
    tune(sample, tuningForCycle(cyclePoints));
    return sample;
}

// Every note plays the one sample.
XmInstrument instrument(const char* name, XmSample sample, uint16_t fadeout) {
    XmInstrument i;
    i.name = name;
    i.samples.push_back(std::move(sample));
    i.fadeout = fadeout;
    return i;
}

XmEnvelope envelope(std::vector<XmEnvelopePoint> points, uint8_t sustainPoint) {
    XmEnvelope e;
    e.points = std::move(points);
    e.type = XmEnvelopeOn | XmEnvelopeSustain;
    e.sustainPoint = sustainPoint;
    return e;
}

// A sine whose pitch falls from a click to the body: the punch is the fast sweep, the weight the tail.
XmInstrument kick() {
    Signal s(points(0.42, kDrumRate));
    double phase = 0.0;
    Noise noise(0x4B1C);
    for (size_t i = 0; i < s.size(); ++i) {
        double t = double(i) / kDrumRate;
        double f = 47.0 + 150.0 * std::exp(-t / 0.028) + 700.0 * std::exp(-t / 0.0035);
        phase += f / kDrumRate;
        double body = std::sin(kTwoPi * phase) * std::exp(-t / 0.16);
        double click = 0.35 * noise.next() * std::exp(-t / 0.0015);
        s[i] = float(body + click);
    }
    saturate(s, 1.8f);
    highPass(s, 18.0 / kDrumRate);
    fadeIn(s, 12); // the click still snaps, but from zero
    fadeOut(s, points(0.03, kDrumRate));
    normalise(s, 1.0f);
    return instrument("kick", oneShot("kick", s, kDrumRate, 64), 0);
}

XmInstrument snare() {
    Signal s(points(0.34, kDrumRate));
    Signal rattle(s.size());
    Noise noise(0x5A4E);
    for (float& x : rattle) x = noise.next();
    highPass(rattle, 900.0 / kDrumRate);
    lowPass(rattle, 7000.0 / kDrumRate);
    double phase = 0.0;
    for (size_t i = 0; i < s.size(); ++i) {
        double t = double(i) / kDrumRate;
        phase += (175.0 + 60.0 * std::exp(-t / 0.01)) / kDrumRate;
        double body =
            (std::sin(kTwoPi * phase) + 0.4 * std::sin(kTwoPi * 1.83 * phase)) * std::exp(-t / 0.045);
        double tail = rattle[i] * (0.75 * std::exp(-t / 0.07) + 0.25 * std::exp(-t / 0.16));
        s[i] = float(0.8 * body + 1.4 * tail);
    }
    saturate(s, 1.4f);
    fadeIn(s, 12);
    fadeOut(s, points(0.04, kDrumRate));
    normalise(s, 1.0f);
    return instrument("snare", oneShot("snare", s, kDrumRate, 64), 0);
}

// Six detuned square waves through a high pass give the metallic colour, noise the air. The sample rings
// like an open hat; the pattern data shortens it with a note cut for closed hats.
XmInstrument hat() {
    Signal s(points(0.36, kHatRate));
    static constexpr double kRatios[] = {1.0, 1.4471, 1.6170, 1.9265, 2.5028, 2.6637};
    Noise noise(0x4A77);
    for (size_t i = 0; i < s.size(); ++i) {
        double t = double(i) / kHatRate;
        double metal = 0.0;
        for (double r : kRatios) metal += std::fmod(t * 420.0 * r, 1.0) < 0.5 ? 1.0 : -1.0;
        s[i] = float(0.12 * metal + 0.6 * noise.next());
    }
    highPass(s, 6500.0 / kHatRate);
    highPass(s, 6500.0 / kHatRate);
    for (size_t i = 0; i < s.size(); ++i) {
        double t = double(i) / kHatRate;
        s[i] *= float(0.7 * std::exp(-t / 0.018) + 0.3 * std::exp(-t / 0.09));
    }
    fadeIn(s, 8);
    fadeOut(s, points(0.05, kHatRate));
    normalise(s, 1.0f);
    XmInstrument i = instrument("hihat", oneShot("hihat", s, kHatRate, 44), 0);
    i.samples[0].panning = 150;
    return i;
}

// Two saws a third of a semitone apart beat slowly against each other (the reese), over a sine one
// octave down for weight. 96 cycles of the middle pitch fit the loop exactly.
XmInstrument bass() {
    constexpr double kCycle = 128.0, kCycles = 96.0;
    Signal s(size_t(kCycle * kCycles));
    addSaw(s, kCycles - 1.0, 22, 0.55f);
    addSaw(s, kCycles + 1.0, 22, 0.55f, 0.25);
    addSine(s, kCycles / 2.0, 0.35f);
    saturate(s, 1.6f);
    normalise(s, 1.0f);
    XmInstrument i = instrument("reese bass", looped("reese bass", s, kCycle, 56), 1200);
    i.volumeEnvelope = envelope({{0, 64}, {3, 58}, {10, 50}, {14, 0}}, 2);
    return i;
}

// Narrow pulse with a slightly sharp saw beside it: a bright chip lead with a little chorus. The
// instrument's vibrato fades in so that held notes sing. The default volume is the echo's level: the
// lead itself sets its volume, its echo and harmony copies play at the default. It sits right of centre;
// the echo answers from the far left.
XmInstrument lead() {
    constexpr double kCycle = 64.0, kCycles = 128.0;
    Signal s(size_t(kCycle * kCycles));
    addPulse(s, kCycles, 18, 0.3, 0.7f);
    addSaw(s, kCycles + 1.0, 14, 0.45f);
    normalise(s, 1.0f);
    XmInstrument i =
        instrument("pulse lead", looped("pulse lead", s, kCycle * kCycles / (kCycles + 0.4), 30), 700);
    i.volumeEnvelope = envelope({{0, 36}, {2, 64}, {14, 50}, {34, 0}}, 2);
    i.vibratoType = 0;
    i.vibratoSweep = 48;
    i.vibratoDepth = 12;
    i.vibratoRate = 16;
    i.samples[0].panning = 0x98;
    return i;
}

// Three saws spread over a quarter of a semitone, darker than the lead; slow attack, long release.
XmInstrument pad() {
    constexpr double kCycle = 64.0, kCycles = 128.0;
    Signal s(size_t(kCycle * kCycles));
    addSaw(s, kCycles - 1.0, 10, 0.5f);
    addSaw(s, kCycles, 10, 0.5f, 0.33);
    addSaw(s, kCycles + 1.0, 10, 0.5f, 0.66);
    normalise(s, 1.0f);
    XmInstrument i = instrument("saw pad", looped("saw pad", s, kCycle, 40), 300);
    i.volumeEnvelope = envelope({{0, 0}, {14, 56}, {40, 64}, {90, 0}}, 2);
    return i;
}

// A raw 32-point square: the arpeggio effect spells chords with it, and the plucky envelope keeps fast
// runs apart. Its default volume, like the lead's, is the level of its echo. It sits left; its echo and
// the off-beat stabs answer from the right.
XmInstrument arp() {
    Signal s(32);
    for (size_t k = 0; k < s.size(); ++k) s[k] = k < 16 ? 1.0f : -1.0f;
    XmInstrument i = instrument("chip square", looped("chip square", s, 32.0, 24), 900);
    i.samples[0].panning = 0x40;
    i.volumeEnvelope = envelope({{0, 64}, {4, 42}, {22, 28}, {28, 0}}, 2);
    return i;
}

// Looped noise: portamento sweeps it for risers, a high note with a release makes the crash.
XmInstrument noiseFx() {
    Signal s(16384);
    Noise noise(0x0F5E);
    for (float& x : s) x = noise.next();
    lowPass(s, 0.35);
    removeDc(s);
    normalise(s, 1.0f);
    XmSample sample = looped("noise", s, 1.0, 40);
    tune(sample, tuningForRate(kDrumRate));
    XmInstrument i = instrument("noise sweep", sample, 260);
    i.volumeEnvelope = envelope({{0, 64}, {4, 46}, {24, 20}, {100, 0}}, 0);
    return i;
}

} // namespace

std::vector<XmInstrument> makeInstruments() {
    return {kick(), snare(), hat(), bass(), lead(), pad(), arp(), noiseFx()};
}

} // namespace composer

} // namespace generators
