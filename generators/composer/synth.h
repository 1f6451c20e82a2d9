// Building blocks for the instruments: oscillators, noise, simple filters and the 8-bit conversion.
//
// Looped sounds are built additively from whole cycles over the loop, so that the end of a loop meets
// its start exactly and the loop point cannot click.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace generators {

namespace composer {

using Signal = std::vector<float>;

constexpr double kTwoPi = 6.283185307179586;

// Deterministic white noise: the same seed gives the same sound on every build.
class Noise {
  public:
    explicit Noise(uint32_t seed) : state_(seed ? seed : 1) {}
    float next(); // -1..1

  private:
    uint32_t state_;
};

// Band-limited sawtooth as a sum of harmonics: `cycles` whole cycles over `length` points, with
// `harmonics` partials, starting at `phase` (in turns).
void addSaw(Signal& out, double cycles, int harmonics, float amplitude, double phase = 0.0);

// Band-limited pulse of the given duty (0..1), built the same way.
void addPulse(Signal& out, double cycles, int harmonics, double duty, float amplitude);

void addSine(Signal& out, double cycles, float amplitude, double phase = 0.0);

// One-pole low-pass / high-pass with the cut-off given as a fraction of the sample rate.
void lowPass(Signal& s, double cutoff);
void highPass(Signal& s, double cutoff);

// Exponential decay with the given time constant in points, applied from the start.
void decay(Signal& s, double timeConstant);

// Linear fades over the first / last n points (one-shots start and end at zero).
void fadeIn(Signal& s, size_t n);
void fadeOut(Signal& s, size_t n);

// Soft saturation, then scaling so that the loudest point reaches `peak` (0..1).
void saturate(Signal& s, float drive);
void normalise(Signal& s, float peak);

void removeDc(Signal& s);

// Rounds to signed 8-bit; values are expected within -1..1 and are clamped.
std::vector<int8_t> toPcm8(const Signal& s);

// Relative note and finetune that make a sample whose fundamental is `cyclePoints` points long play the
// written note at its true pitch (C-4 = 261.63 Hz), or for a one-shot sampled at `rate`, play it at that
// rate on C-4.
struct Tuning {
    int8_t relativeNote;
    int8_t finetune;
};
Tuning tuningForCycle(double cyclePoints);
Tuning tuningForRate(double rate);

} // namespace composer

} // namespace generators
