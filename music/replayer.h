// The replayer: rows, ticks and effects. The mixer calls advanceTick whenever a tick is due.
#pragma once

#include "music/module_player.h"

namespace music {

// startNote keep flags.
enum KeepFlags : uint32_t { KeepVolume = 1, KeepPeriod = 2, KeepPosition = 4, KeepEnvelopes = 8 };

void advanceTick(ModulePlayer* player);
void advanceRow(ModulePlayer* player);
void applyCell(ModulePlayer* player, PlayerChannel& channel, const PatternCell& cell);
void startNote(ModulePlayer* player, PlayerChannel& channel, uint32_t keepFlags);

// Nibble-coded slides: high nibble up, low nibble down, both set does nothing.
void slideVolume(PlayerChannel& channel, uint8_t parameter);
void slidePanning(PlayerChannel& channel, uint8_t parameter);
void keyOff(PlayerChannel& channel);
// Pitch in semitones of a note played on a sample (note 49 with no transposition gives 48).
float noteValueOf(int relativeNote, int note, float finetune);
bool isTonePortamentoCell(const PatternCell& cell);
inline bool isNote(uint8_t note) {
    return note >= 1 && note <= 96;
}

// Row-time (tick 0) and per-tick work of the volume column and the effect column.
void applyVolumeColumnAtRow(ModulePlayer* player, PlayerChannel& channel, const PatternCell& cell);
void applyVolumeColumnAtTick(ModulePlayer* player, PlayerChannel& channel, const PatternCell& cell);
void applyEffectAtRow(ModulePlayer* player, PlayerChannel& channel, const PatternCell& cell);
void applyEffectAtTick(ModulePlayer* player, PlayerChannel& channel, const PatternCell& cell);

// Effect numbers of the effect column.
enum Effect : uint8_t {
    EffectArpeggio = 0,
    EffectPortamentoUp = 1,
    EffectPortamentoDown = 2,
    EffectTonePortamento = 3,
    EffectVibrato = 4,
    EffectTonePortamentoVolumeSlide = 5,
    EffectVibratoVolumeSlide = 6,
    EffectTremolo = 7,
    EffectSetPanning = 8,
    EffectSampleOffset = 9,
    EffectVolumeSlide = 10,
    EffectPositionJump = 11,
    EffectSetVolume = 12,
    EffectPatternBreak = 13,
    EffectExtended = 14,
    EffectSetSpeedTempo = 15,
    EffectSetGlobalVolume = 16,
    EffectGlobalVolumeSlide = 17,
    EffectKeyOff = 20,
    EffectSetEnvelopePosition = 21,
    EffectPanningSlide = 25,
    EffectMultiRetrigger = 27,
    EffectTremor = 29,
    EffectExtraFinePortamento = 33,
};
constexpr uint8_t kExtendedNoteDelay = 0xD;
constexpr uint8_t kNoteKeyOff = 97;

} // namespace music
