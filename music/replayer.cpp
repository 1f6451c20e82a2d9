// Song position, rows and ticks, and the row-time work of a cell (instrument, note, key off).
#include "music/replayer.h"

#include "music/mixer.h"
#include "music/pitch_envelope.h"

#include <algorithm>
#include <cmath>

namespace music {

namespace {

const PatternCell kEmptyCell{};
constexpr uint32_t kMissingPatternRows = 64;
constexpr uint32_t kMaxTicksPerRow = 0x10000; // the tick counter is 16 bits

// Past the last position the song continues at the restart position.
void setSongPosition(ModulePlayer* p, uint32_t position) {
    p->songPosition = uint8_t(position >= p->songLength ? p->restartPosition : position);
}

void updateTargetGains(PlayerChannel& c) {
    float v = c.tremorMuted
                  ? 0.0f
                  : std::clamp(c.volume + c.tremoloOffset, 0.0f, 1.0f) * c.envelopeVolume * c.fadeoutVolume;
    float pan = c.panning + (c.envelopePanning - 0.5f) * 2.0f * (0.5f - std::fabs(c.panning - 0.5f));
    // Panning envelope points above 64 (corrupt data) would push the pan outside 0..1.
    pan = std::clamp(pan, 0.0f, 1.0f);
    c.targetLeftGain = std::sqrt(1.0f - pan) * v;
    c.targetRightGain = std::sqrt(pan) * v;
}

// Starts the keymapped sample of the channel's instrument; the old sound's next 32 values are kept so
// the new note can blend in from them.
void triggerNote(ModulePlayer* p, PlayerChannel& c, const PatternCell& cell) {
    const Instrument& ins = *c.instrument;
    uint8_t index = ins.keymap[cell.note - 1];
    if (index >= ins.sampleCount) {
        c.volume = 0.0f;
        return;
    }
    for (float& value : c.crossfadeTail) value = fetchSample(c);
    c.framesSinceTrigger = 0;
    c.sample = &ins.samples[index];
    c.noteValue = c.triggerNoteValue = noteValueOf(c.sample->relativeNote, cell.note, c.sample->finetune);
    startNote(p, c, cell.instrument ? 0u : uint32_t(KeepVolume));
}

} // namespace

float noteValueOf(int relativeNote, int note, float finetune) {
    return float(relativeNote + note) + finetune / 128.0f - 1.0f;
}

bool isTonePortamentoCell(const PatternCell& cell) {
    return cell.effect == EffectTonePortamento || cell.effect == EffectTonePortamentoVolumeSlide ||
           cell.volume >= 0xF0;
}

void keyOff(PlayerChannel& c) {
    c.keyHeld = 0;
    if (!c.instrument || !c.instrument->volumeEnvelope.enabled) c.volume = 0.0f;
}

void startNote(ModulePlayer* p, PlayerChannel& c, uint32_t keep) {
    if (!(keep & KeepPosition)) {
        c.position = 0.0f;
        c.forward = 1;
    }
    if (c.sample) {
        if (!(keep & KeepVolume)) c.volume = c.sample->volume;
        c.panning = c.sample->panning;
    }
    if (!(keep & KeepEnvelopes)) {
        c.keyHeld = 1;
        c.envelopeVolume = 1.0f;
        c.fadeoutVolume = 1.0f;
        c.envelopePanning = 0.5f;
        c.volumeEnvelopeTick = 0;
        c.panningEnvelopeTick = 0;
    }
    c.vibratoOffset = 0.0f;
    c.tremoloOffset = 0.0f;
    c.tremorMuted = 0;
    c.autoVibratoCounter = 0;
    if (c.vibratoRetrigger) c.vibratoPosition = 0;
    if (c.tremoloRetrigger) c.tremoloCounter = 0;
    if (!(keep & KeepPeriod)) c.period = pitchFromNote(p->frequencyMode, c.noteValue);
    // Also with the period kept: the vibrato offset cleared above must leave the pitch now.
    refreshFrequency(p, c);
}

namespace {
void slideNibbles(float& value, uint8_t parameter, float unit) {
    uint8_t up = parameter >> 4, down = parameter & 15;
    if (up && down) return;
    value = parameter < 16 ? std::max(0.0f, value - down * unit) : std::min(1.0f, value + up * unit);
}
} // namespace

void slideVolume(PlayerChannel& c, uint8_t parameter) {
    slideNibbles(c.volume, parameter, 1.0f / 64.0f);
}
void slidePanning(PlayerChannel& c, uint8_t parameter) {
    slideNibbles(c.panning, parameter, 1.0f / 255.0f);
}

void applyCell(ModulePlayer* p, PlayerChannel& c, const PatternCell& cell) {
    bool tonePortamento = isTonePortamentoCell(cell);
    // An instrument number resets the running sound to its sample's defaults without restarting it,
    // unless a note follows that starts it anyway.
    if (cell.instrument) {
        if (tonePortamento && c.instrument && c.sample) {
            startNote(p, c, KeepPeriod | KeepPosition);
        } else if (cell.note == 0 && c.sample) {
            startNote(p, c, KeepPosition);
        } else if (cell.instrument > p->instrumentCount) {
            c.volume = 0.0f;
            c.instrument = nullptr;
            c.sample = nullptr;
        } else {
            c.instrument = &p->instruments[cell.instrument - 1];
        }
    }

    if (isNote(cell.note)) {
        if (!c.instrument) {
            c.volume = 0.0f;
        } else if (tonePortamento && c.sample) {
            c.noteValue = noteValueOf(c.sample->relativeNote, cell.note, c.sample->finetune);
            c.tonePortamentoTarget = pitchFromNote(p->frequencyMode, c.noteValue);
        } else {
            triggerNote(p, c, cell);
        }
    } else if (cell.note == kNoteKeyOff) {
        keyOff(c);
    }

    applyVolumeColumnAtRow(p, c, cell);
    applyEffectAtRow(p, c, cell);
}

void advanceRow(ModulePlayer* p) {
    if (p->jumpPending) {
        p->jumpPending = 0;
        p->breakPending = 0;
        p->row = p->nextRow;
        p->nextRow = 0;
        setSongPosition(p, p->jumpPosition);
    } else if (p->breakPending) {
        p->breakPending = 0;
        p->row = p->nextRow;
        p->nextRow = 0;
        setSongPosition(p, p->songPosition + 1u);
    }

    uint8_t number = p->orderTable[p->songPosition];
    const Pattern* pattern = number < p->patternCount ? &p->patterns[number] : nullptr;
    uint32_t rowCount = pattern ? pattern->rowCount : kMissingPatternRows;
    // A break or loop target beyond the pattern lands on its first row instead of outside its cells.
    if (p->row >= rowCount) p->row = 0;

    for (uint32_t i = 0; i < p->channelCount; ++i) {
        PlayerChannel& c = p->channels[i];
        c.currentCell =
            pattern && p->row < rowCount ? &pattern->cells[p->row * p->channelCount + i] : &kEmptyCell;
        const PatternCell& cell = *c.currentCell;
        if (cell.effect == EffectExtended && (cell.parameter >> 4) == kExtendedNoteDelay)
            c.noteDelay = cell.parameter & 15;
        else
            applyCell(p, c, cell);
    }

    // Rows repeated by a pattern loop are not visits: only the song's own return counts as a loop.
    bool inPatternLoop = std::any_of(p->channels, p->channels + p->channelCount,
                                     [](const PlayerChannel& c) { return c.loopCounter != 0; });
    if (!inPatternLoop) p->loopCount = p->visitTable[p->songPosition * 256u + p->row]++;

    uint8_t oldRow = p->row++;
    if (p->jumpPending || p->breakPending) return;
    if (p->row < rowCount && oldRow != 255) return;
    p->row = p->nextRow;
    p->nextRow = 0;
    setSongPosition(p, p->songPosition + 1u);
}

void advanceTick(ModulePlayer* p) {
    if (p->tick == 0) advanceRow(p);
    for (uint32_t i = 0; i < p->channelCount; ++i) {
        PlayerChannel& c = p->channels[i];
        const PatternCell& cell = *c.currentCell;
        stepEnvelopes(c);
        stepAutoVibrato(p, c);
        if (c.arpeggioState && (cell.effect != EffectArpeggio || cell.parameter == 0)) {
            c.arpeggioState = 0;
            c.arpeggioSemitones = 0;
            refreshFrequency(p, c);
        }
        if (c.vibratoActive && cell.effect != EffectVibrato && cell.effect != EffectVibratoVolumeSlide &&
            (cell.volume >> 4) != 0xB) {
            c.vibratoActive = 0;
            c.vibratoOffset = 0.0f;
            refreshFrequency(p, c);
        }
        if (p->tick != 0) applyVolumeColumnAtTick(p, c, cell);
        applyEffectAtTick(p, c, cell);
        updateTargetGains(c);
    }
    uint32_t next = p->tick + 1u;
    if (next >= uint32_t(p->speed) + p->patternDelay || next >= kMaxTicksPerRow) {
        p->tick = 0;
        p->patternDelay = 0;
    } else {
        p->tick = uint16_t(next);
    }
    p->framesToNextTick += float(p->outputRate) / (float(p->tempo) * 0.4f);
}

} // namespace music
