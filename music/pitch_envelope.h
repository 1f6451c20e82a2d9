// Pitch, envelopes and the modulation oscillators under the replayer.
#pragma once

#include "music/module_player.h"

namespace music {

// Period of a note value: 64 linear units per semitone, or the Amiga period table.
float pitchFromNote(uint32_t frequencyMode, float noteValue);
float noteToAmigaPeriod(float noteValue);
// semitones: arpeggio offset; offset: vibrato pitch offset in quarter semitones.
float pitchToFrequency(uint32_t frequencyMode, float period, uint32_t semitones, float offset);

// Recomputes frequency and step from the period, the arpeggio and both vibrato offsets.
void refreshFrequency(const ModulePlayer* player, PlayerChannel& channel);
void slidePitch(const ModulePlayer* player, PlayerChannel& channel, int delta);
void stepTonePortamento(const ModulePlayer* player, PlayerChannel& channel);
void stepVibrato(const ModulePlayer* player, PlayerChannel& channel, uint8_t vibratoMemory);
void stepAutoVibrato(const ModulePlayer* player, PlayerChannel& channel);

// The generator behind the random waveform; state advances as a 32-bit linear congruential sequence.
constexpr uint32_t kRandomSeed = 0x5FAC;
float nextRandom(uint32_t& state);
// Waveforms 0 sine, 1 ramp down, 2 square, 3 random, 4 ramp up; others give 0. Value in -1..1.
float oscillator(uint32_t waveform, uint32_t phase);

void stepEnvelopes(PlayerChannel& channel);
// Returns the envelope value at tick and moves tick on (held at the sustain point while the key is held).
float evaluateEnvelope(const Envelope& envelope, uint16_t& tick, float value, bool keyHeld);

} // namespace music
