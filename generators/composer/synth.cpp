#include "generators/composer/synth.h"

#include <algorithm>
#include <cmath>

namespace generators {

namespace composer {

float Noise::next() {
    // xorshift32: cheap, fully specified, no library state.
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return float(int32_t(state_)) / 2147483648.0f;
}

void addSaw(Signal& out, double cycles, int harmonics, float amplitude, double phase) {
    const double n = double(out.size());
    for (int h = 1; h <= harmonics; ++h) {
        // A gentle taper on the top partials avoids the ringing of a hard band edge.
        double taper = h > harmonics / 2 ? 1.0 - double(h - harmonics / 2) / double(harmonics / 2 + 1) : 1.0;
        double a = amplitude * (2.0 / kTwoPi) * taper / h;
        for (size_t i = 0; i < out.size(); ++i) {
            out[i] += float(a * std::sin(kTwoPi * h * (cycles * double(i) / n + phase)));
        }
    }
}

void addPulse(Signal& out, double cycles, int harmonics, double duty, float amplitude) {
    const double n = double(out.size());
    for (int h = 1; h <= harmonics; ++h) {
        double a = amplitude * (4.0 / kTwoPi) * std::sin(kTwoPi * 0.5 * h * duty) / h;
        for (size_t i = 0; i < out.size(); ++i) {
            out[i] += float(a * std::cos(kTwoPi * h * cycles * double(i) / n - kTwoPi * 0.5 * h * duty));
        }
    }
}

void addSine(Signal& out, double cycles, float amplitude, double phase) {
    const double n = double(out.size());
    for (size_t i = 0; i < out.size(); ++i) {
        out[i] += float(amplitude * std::sin(kTwoPi * (cycles * double(i) / n + phase)));
    }
}

void lowPass(Signal& s, double cutoff) {
    const float a = float(1.0 - std::exp(-kTwoPi * cutoff));
    float y = 0.0f;
    for (float& x : s) x = y += a * (x - y);
}

void highPass(Signal& s, double cutoff) {
    const float a = float(std::exp(-kTwoPi * cutoff));
    float previousIn = 0.0f, y = 0.0f;
    for (float& x : s) {
        y = a * (y + x - previousIn);
        previousIn = x;
        x = y;
    }
}

void decay(Signal& s, double timeConstant) {
    const double k = std::exp(-1.0 / timeConstant);
    double g = 1.0;
    for (float& x : s) {
        x = float(x * g);
        g *= k;
    }
}

void fadeIn(Signal& s, size_t n) {
    n = std::min(n, s.size());
    for (size_t i = 0; i < n; ++i) s[i] *= float(i) / float(n);
}

void fadeOut(Signal& s, size_t n) {
    n = std::min(n, s.size());
    for (size_t i = 0; i < n; ++i) s[s.size() - 1 - i] *= float(i) / float(n);
}

void saturate(Signal& s, float drive) {
    for (float& x : s) x = std::tanh(drive * x);
}

void normalise(Signal& s, float peak) {
    float m = 0.0f;
    for (float x : s) m = std::max(m, std::fabs(x));
    if (m > 0.0f) {
        for (float& x : s) x *= peak / m;
    }
}

void removeDc(Signal& s) {
    if (s.empty()) return;
    double sum = 0.0;
    for (float x : s) sum += x;
    const float mean = float(sum / double(s.size()));
    for (float& x : s) x -= mean;
}

std::vector<int8_t> toPcm8(const Signal& s) {
    std::vector<int8_t> out(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        out[i] = int8_t(std::clamp(std::lround(s[i] * 127.0f), -127L, 127L));
    }
    return out;
}

namespace {

// The player sounds a sample stored at note offset 0 at 8363 points per second on C-4.
constexpr double kBaseRate = 8363.0;
constexpr double kMiddleC = 261.6255653;

Tuning tuningForSemitones(double semitones) {
    long total = std::lround(semitones * 128.0); // in 1/128 semitones
    long note = (total + 64) >> 7;               // nearest semitone; finetune covers -64..63
    return {int8_t(note), int8_t(total - note * 128)};
}

} // namespace

Tuning tuningForCycle(double cyclePoints) {
    return tuningForSemitones(12.0 * std::log2(kMiddleC * cyclePoints / kBaseRate));
}

Tuning tuningForRate(double rate) {
    return tuningForSemitones(12.0 * std::log2(rate / kBaseRate));
}

} // namespace composer

} // namespace generators
