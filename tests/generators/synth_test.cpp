#include "generators/composer/synth.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace generators::composer;

TEST(Synth, TuningPutsWrittenNotesOnTheirTruePitch) {
    // Played at 8363 points per second on C-4, a 32-point cycle sounds 261.3 Hz: C-4, two 128ths flat.
    Tuning t = tuningForCycle(32.0);
    EXPECT_EQ(t.relativeNote, 0);
    EXPECT_EQ(t.finetune, 2);
    // Four times the cycle is two octaves down, made up by the relative note.
    t = tuningForCycle(128.0);
    EXPECT_EQ(t.relativeNote, 24);
    EXPECT_EQ(t.finetune, 2);
    t = tuningForRate(8363.0);
    EXPECT_EQ(t.relativeNote, 0);
    EXPECT_EQ(t.finetune, 0);
    t = tuningForRate(2 * 8363.0);
    EXPECT_EQ(t.relativeNote, 12);
    EXPECT_EQ(t.finetune, 0);
    // 22050 Hz lies 16.78 semitones up: 17 semitones and a finetune of -28/128.
    t = tuningForRate(22050.0);
    EXPECT_EQ(t.relativeNote, 17);
    EXPECT_EQ(t.finetune, -28);
}

TEST(Synth, AdditiveWavesCloseTheirLoop) {
    Signal s(256);
    addSaw(s, 4.0, 12, 1.0f);
    addPulse(s, 3.0, 9, 0.3, 0.5f);
    // Continuing the waveform one point past the end lands where it started.
    Signal longer(257);
    addSaw(longer, 4.0 * 257 / 256, 12, 1.0f);
    addPulse(longer, 3.0 * 257 / 256, 9, 0.3, 0.5f);
    EXPECT_NEAR(longer[256], s[0], 1e-4);
}

TEST(Synth, NoiseIsRepeatableAndCentred) {
    Noise a(7), b(7);
    double sum = 0;
    for (int i = 0; i < 20000; ++i) {
        float x = a.next();
        EXPECT_EQ(x, b.next());
        ASSERT_GE(x, -1.0f);
        ASSERT_LE(x, 1.0f);
        sum += x;
    }
    EXPECT_LT(std::fabs(sum / 20000), 0.02);
}

TEST(Synth, ConvertsToEightBitsWithRoundingAndClamping) {
    const std::vector<int8_t> expected = {0, 64, -127, 127, -127};
    EXPECT_EQ(toPcm8({0.0f, 0.5f, -1.0f, 1.5f, -2.0f}), expected);
}

TEST(Synth, FadesStartAndEndAtZero) {
    Signal s(100, 1.0f);
    fadeIn(s, 10);
    fadeOut(s, 10);
    EXPECT_EQ(s.front(), 0.0f);
    EXPECT_EQ(s.back(), 0.0f);
    EXPECT_EQ(s[50], 1.0f);
    normalise(s, 0.5f);
    EXPECT_FLOAT_EQ(s[50], 0.5f);
}
