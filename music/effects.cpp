// The volume column and the effect column as tables of small handlers: one for the row's first tick,
// one for the ticks that follow. Memories keep the last nonzero parameter of an effect.
#include "music/pitch_envelope.h"
#include "music/replayer.h"

#include <algorithm>
#include <iterator>

namespace music {

namespace {

using Handler = void (*)(ModulePlayer*, PlayerChannel&, const PatternCell&);

uint8_t high(uint8_t value) {
    return value >> 4;
}
uint8_t low(uint8_t value) {
    return value & 15;
}

template <uint8_t PlayerChannel::*Memory>
void storeMemory(ModulePlayer*, PlayerChannel& c, const PatternCell& cell) {
    if (cell.parameter) c.*Memory = cell.parameter;
}

// Vibrato and tremolo keep speed and depth apart: a zero nibble keeps the remembered one.
template <uint8_t PlayerChannel::*Memory>
void storeNibbles(ModulePlayer*, PlayerChannel& c, const PatternCell& cell) {
    if (low(cell.parameter)) c.*Memory = uint8_t((c.*Memory & 0xF0) | low(cell.parameter));
    if (high(cell.parameter)) c.*Memory = uint8_t((c.*Memory & 0x0F) | (cell.parameter & 0xF0));
}

// ---- Volume column -------------------------------------------------------------------------------

void columnSetVolume(ModulePlayer*, PlayerChannel& c, const PatternCell& cell) {
    if (cell.volume <= 0x50) c.volume = float(cell.volume - 16) / 64.0f;
}
void columnFineVolumeDown(ModulePlayer*, PlayerChannel& c, const PatternCell& cell) {
    slideVolume(c, low(cell.volume));
}
void columnFineVolumeUp(ModulePlayer*, PlayerChannel& c, const PatternCell& cell) {
    slideVolume(c, uint8_t(low(cell.volume) << 4));
}
void columnVibratoSpeed(ModulePlayer*, PlayerChannel& c, const PatternCell& cell) {
    c.vibratoMemory = uint8_t((c.vibratoMemory & 0x0F) | (low(cell.volume) << 4));
}
void columnSetPanning(ModulePlayer*, PlayerChannel& c, const PatternCell& cell) {
    c.panning = float(17 * low(cell.volume)) / 255.0f;
}
void columnTonePortamentoSpeed(ModulePlayer*, PlayerChannel& c, const PatternCell& cell) {
    if (low(cell.volume)) c.tonePortamentoSpeed = uint8_t(17 * low(cell.volume));
}
void columnVibrato(ModulePlayer* p, PlayerChannel& c, const PatternCell&) {
    c.vibratoActive = 0;
    stepVibrato(p, c, c.vibratoMemory);
}
void columnPanningLeft(ModulePlayer*, PlayerChannel& c, const PatternCell& cell) {
    slidePanning(c, low(cell.volume));
}
void columnPanningRight(ModulePlayer*, PlayerChannel& c, const PatternCell& cell) {
    slidePanning(c, uint8_t(low(cell.volume) << 4));
}
void tonePortamento(ModulePlayer* p, PlayerChannel& c, const PatternCell&) {
    stepTonePortamento(p, c);
}

// Indexed by the high nibble of the volume column; the slides of 0x6x and 0x7x run per tick only.
constexpr Handler kColumnAtRow[16] = {nullptr,
                                      columnSetVolume,
                                      columnSetVolume,
                                      columnSetVolume,
                                      columnSetVolume,
                                      columnSetVolume,
                                      nullptr,
                                      nullptr,
                                      columnFineVolumeDown,
                                      columnFineVolumeUp,
                                      columnVibratoSpeed,
                                      nullptr,
                                      columnSetPanning,
                                      nullptr,
                                      nullptr,
                                      columnTonePortamentoSpeed};
constexpr Handler kColumnAtTick[16] = {nullptr,
                                       nullptr,
                                       nullptr,
                                       nullptr,
                                       nullptr,
                                       nullptr,
                                       columnFineVolumeDown,
                                       columnFineVolumeUp,
                                       nullptr,
                                       nullptr,
                                       nullptr,
                                       columnVibrato,
                                       nullptr,
                                       columnPanningLeft,
                                       columnPanningRight,
                                       tonePortamento};

// ---- Effects at row time -------------------------------------------------------------------------

void setPanning(ModulePlayer*, PlayerChannel& c, const PatternCell& cell) {
    c.panning = cell.parameter / 255.0f;
}

void sampleOffset(ModulePlayer*, PlayerChannel& c, const PatternCell& cell) {
    if (!c.sample || !isNote(cell.note)) return;
    uint32_t offset = cell.parameter * (c.sample->bits == 16 ? 128u : 256u);
    c.position = offset < c.sample->length ? float(offset) : -1.0f;
}

void positionJump(ModulePlayer* p, PlayerChannel&, const PatternCell& cell) {
    if (cell.parameter >= p->songLength) return;
    p->jumpPending = 1;
    p->jumpPosition = cell.parameter;
    p->nextRow = 0;
}

void setVolume(ModulePlayer*, PlayerChannel& c, const PatternCell& cell) {
    c.volume = float(std::min<uint8_t>(cell.parameter, 64)) / 64.0f;
}

// The row is written as two decimal digits; digits above 9 are taken as they are.
void patternBreak(ModulePlayer* p, PlayerChannel&, const PatternCell& cell) {
    p->breakPending = 1;
    p->nextRow = uint8_t(high(cell.parameter) * 10 + low(cell.parameter));
}

void setSpeedTempo(ModulePlayer* p, PlayerChannel&, const PatternCell& cell) {
    if (cell.parameter >= 32)
        p->tempo = cell.parameter;
    else if (cell.parameter > 0)
        p->speed = cell.parameter;
}

void setGlobalVolume(ModulePlayer* p, PlayerChannel&, const PatternCell& cell) {
    p->globalVolume = float(std::min<uint8_t>(cell.parameter, 64)) / 64.0f;
}

void setEnvelopePosition(ModulePlayer*, PlayerChannel& c, const PatternCell& cell) {
    c.volumeEnvelopeTick = c.panningEnvelopeTick = cell.parameter;
}

void storeMultiRetrigger(ModulePlayer*, PlayerChannel& c, const PatternCell& cell) {
    if (cell.parameter > 15)
        c.multiRetriggerMemory = cell.parameter;
    else if (cell.parameter)
        c.multiRetriggerMemory = uint8_t((c.multiRetriggerMemory & 0xF0) | cell.parameter);
}

// Row-time slides of the pitch: the memory is used unscaled, like the per-tick portamentos.
template <uint8_t PlayerChannel::*Memory, int Direction>
void finePortamento(ModulePlayer* p, PlayerChannel& c, uint8_t amount) {
    if (amount) c.*Memory = amount;
    slidePitch(p, c, Direction * c.*Memory);
}

void extraFinePortamento(ModulePlayer* p, PlayerChannel& c, const PatternCell& cell) {
    if (high(cell.parameter) == 1)
        finePortamento<&PlayerChannel::extraFinePortamentoUpMemory, -1>(p, c, low(cell.parameter));
    else if (high(cell.parameter) == 2)
        finePortamento<&PlayerChannel::extraFinePortamentoDownMemory, 1>(p, c, low(cell.parameter));
}

// ---- Extended effects (E) at row time ------------------------------------------------------------

void finePortamentoUp(ModulePlayer* p, PlayerChannel& c, const PatternCell& cell) {
    finePortamento<&PlayerChannel::finePortamentoUpMemory, -1>(p, c, low(cell.parameter));
}
void finePortamentoDown(ModulePlayer* p, PlayerChannel& c, const PatternCell& cell) {
    finePortamento<&PlayerChannel::finePortamentoDownMemory, 1>(p, c, low(cell.parameter));
}
void vibratoWaveform(ModulePlayer*, PlayerChannel& c, const PatternCell& cell) {
    c.vibratoWaveform = cell.parameter & 3;
    c.vibratoRetrigger = !(cell.parameter & 4);
}
void tremoloWaveform(ModulePlayer*, PlayerChannel& c, const PatternCell& cell) {
    c.tremoloWaveform = cell.parameter & 3;
    c.tremoloRetrigger = !(cell.parameter & 4);
}

void setFinetune(ModulePlayer* p, PlayerChannel& c, const PatternCell& cell) {
    if (!c.sample || !isNote(cell.note)) return;
    c.noteValue = noteValueOf(c.sample->relativeNote, cell.note, float((low(cell.parameter) - 8) * 16));
    c.period = pitchFromNote(p->frequencyMode, c.noteValue);
    refreshFrequency(p, c);
}

// E60 marks the loop start (and, left alone, the row the next pattern starts at); E6x jumps back x times.
void patternLoop(ModulePlayer* p, PlayerChannel& c, const PatternCell& cell) {
    uint8_t count = low(cell.parameter);
    if (count == 0) {
        c.loopStartRow = p->row;
        p->nextRow = p->row;
    } else if (c.loopCounter == count) {
        c.loopCounter = 0;
    } else {
        ++c.loopCounter;
        p->jumpPending = 1;
        p->jumpPosition = p->songPosition;
        p->nextRow = c.loopStartRow;
    }
}

void fineVolumeSlide(PlayerChannel& c, uint8_t amount, int shift) {
    if (amount) c.fineVolumeSlideMemory = amount;
    slideVolume(c, uint8_t(c.fineVolumeSlideMemory << shift));
}
void fineVolumeUp(ModulePlayer*, PlayerChannel& c, const PatternCell& cell) {
    fineVolumeSlide(c, low(cell.parameter), 4);
}
void fineVolumeDown(ModulePlayer*, PlayerChannel& c, const PatternCell& cell) {
    fineVolumeSlide(c, low(cell.parameter), 0);
}

// Reached when a delayed cell is finally applied; a delayed cell without note and instrument replays the
// last note.
void noteDelayRestart(ModulePlayer* p, PlayerChannel& c, const PatternCell& cell) {
    if (cell.note || cell.instrument) return;
    if (low(cell.parameter)) {
        c.noteValue = c.triggerNoteValue;
        startNote(p, c, KeepVolume);
    } else {
        startNote(p, c, KeepVolume | KeepPeriod | KeepPosition);
    }
}

void patternDelay(ModulePlayer* p, PlayerChannel&, const PatternCell& cell) {
    p->patternDelay = uint16_t(low(cell.parameter) * p->speed);
}

constexpr Handler kExtendedAtRow[16] = {
    nullptr,         finePortamentoUp, finePortamentoDown, nullptr,
    vibratoWaveform, setFinetune,      patternLoop,        tremoloWaveform,
    nullptr,         nullptr,          fineVolumeUp,       fineVolumeDown,
    nullptr,         noteDelayRestart, patternDelay,       nullptr};

void extendedAtRow(ModulePlayer* p, PlayerChannel& c, const PatternCell& cell) {
    if (Handler h = kExtendedAtRow[high(cell.parameter)]) h(p, c, cell);
}

// ---- Effects per tick ----------------------------------------------------------------------------

// The arpeggio cycles base, +y, +x; the cycle is aligned so that the row's last tick always ends it.
void arpeggio(ModulePlayer* p, PlayerChannel& c, const PatternCell& cell) {
    if (cell.parameter == 0) return;
    uint32_t tick = p->tick;
    const uint8_t semitones[3] = {0, low(cell.parameter), high(cell.parameter)};
    uint32_t phase;
    switch (p->speed % 3) {
    case 1:
        phase = tick == 0 ? 0 : (tick - 1) % 3;
        break;
    case 2:
        phase = tick == 0 ? 0 : tick == 1 ? 1 : (tick - 2) % 3;
        break;
    default:
        phase = tick % 3;
        break;
    }
    c.arpeggioState = uint8_t(phase);
    // At speeds 3n+2 the row's second tick plays +x (not +y) so that the cycle still ends on the row's end.
    c.arpeggioSemitones = p->speed % 3 == 2 && tick == 1 ? high(cell.parameter) : semitones[phase];
    refreshFrequency(p, c);
}

void portamentoUp(ModulePlayer* p, PlayerChannel& c, const PatternCell&) {
    slidePitch(p, c, -c.portamentoUpMemory);
}
void portamentoDown(ModulePlayer* p, PlayerChannel& c, const PatternCell&) {
    slidePitch(p, c, c.portamentoDownMemory);
}
void vibrato(ModulePlayer* p, PlayerChannel& c, const PatternCell&) {
    c.vibratoActive = 1;
    stepVibrato(p, c, c.vibratoMemory);
}
void volumeSlide(ModulePlayer*, PlayerChannel& c, const PatternCell&) {
    slideVolume(c, c.volumeSlideMemory);
}
void tonePortamentoVolumeSlide(ModulePlayer* p, PlayerChannel& c, const PatternCell& cell) {
    tonePortamento(p, c, cell);
    volumeSlide(p, c, cell);
}
void vibratoVolumeSlide(ModulePlayer* p, PlayerChannel& c, const PatternCell& cell) {
    vibrato(p, c, cell);
    volumeSlide(p, c, cell);
}

void tremolo(ModulePlayer*, PlayerChannel& c, const PatternCell&) {
    uint32_t n = c.tremoloCounter++;
    c.tremoloOffset =
        -oscillator(c.tremoloWaveform, n * high(c.tremoloMemory)) * float(low(c.tremoloMemory)) / 15.0f;
}

void globalVolumeSlide(ModulePlayer* p, PlayerChannel& c, const PatternCell&) {
    uint8_t up = high(c.globalVolumeSlideMemory), down = low(c.globalVolumeSlideMemory);
    if (up && down) return;
    p->globalVolume =
        up ? std::min(1.0f, p->globalVolume + up / 64.0f) : std::max(0.0f, p->globalVolume - down / 64.0f);
}

void keyOffAtTick(ModulePlayer* p, PlayerChannel& c, const PatternCell& cell) {
    if (p->tick == cell.parameter) keyOff(c);
}

void panningSlide(ModulePlayer*, PlayerChannel& c, const PatternCell&) {
    slidePanning(c, c.panningSlideMemory);
}

// Volume change at each multi-retrigger, indexed by the memory's high nibble.
constexpr float kRetriggerAdd[16] = {0, -1, -2, -4, -8, -16, 0, 0, 0, 1, 2, 4, 8, 16, 0, 0};
constexpr float kRetriggerFactor[16] = {1, 1, 1, 1, 1, 1, 2.0f / 3.0f, 0.5f, 1, 1, 1, 1, 1, 1, 1.5f, 2};

void multiRetrigger(ModulePlayer* p, PlayerChannel& c, const PatternCell& cell) {
    uint8_t interval = low(c.multiRetriggerMemory);
    if (interval == 0 || p->tick % interval != 0) return;
    startNote(p, c, KeepVolume | KeepEnvelopes);
    if (c.instrument && cell.volume == 0 && !c.instrument->volumeEnvelope.enabled) {
        uint8_t x = high(c.multiRetriggerMemory);
        c.volume = std::clamp(c.volume * kRetriggerFactor[x] + kRetriggerAdd[x] / 64.0f, 0.0f, 1.0f);
    }
}

void tremor(ModulePlayer* p, PlayerChannel& c, const PatternCell&) {
    uint32_t on = high(c.tremorMemory), off = low(c.tremorMemory);
    c.tremorMuted = (p->tick - 1u) % (on + off + 2) > on;
}

// ---- Extended effects (E) per tick ---------------------------------------------------------------

void retrigger(ModulePlayer* p, PlayerChannel& c, const PatternCell& cell) {
    uint8_t interval = low(cell.parameter);
    if (p->tick == 0 || interval == 0 || p->tick % interval != 0) return;
    startNote(p, c, KeepVolume);
    stepEnvelopes(c);
}
void noteCut(ModulePlayer* p, PlayerChannel& c, const PatternCell& cell) {
    if (p->tick == low(cell.parameter)) c.volume = 0.0f;
}
void noteDelay(ModulePlayer* p, PlayerChannel& c, const PatternCell& cell) {
    if (p->tick != c.noteDelay) return;
    applyCell(p, c, cell);
    stepEnvelopes(c);
}

constexpr Handler kExtendedAtTick[16] = {nullptr, nullptr,   nullptr, nullptr,   nullptr, nullptr,
                                         nullptr, nullptr,   nullptr, retrigger, nullptr, nullptr,
                                         noteCut, noteDelay, nullptr, nullptr};

void extendedAtTick(ModulePlayer* p, PlayerChannel& c, const PatternCell& cell) {
    if (Handler h = kExtendedAtTick[high(cell.parameter)]) h(p, c, cell);
}

struct EffectHandlers {
    Handler atRow;
    Handler atTick;
    bool onFirstTick; // the per-tick handler also runs on the row's first tick
};

// Indexed by effect number; numbers without an entry do nothing.
constexpr EffectHandlers kEffects[] = {
    {nullptr, arpeggio, true},                                                          // 0
    {storeMemory<&PlayerChannel::portamentoUpMemory>, portamentoUp, false},             // 1
    {storeMemory<&PlayerChannel::portamentoDownMemory>, portamentoDown, false},         // 2
    {storeMemory<&PlayerChannel::tonePortamentoSpeed>, tonePortamento, false},          // 3
    {storeNibbles<&PlayerChannel::vibratoMemory>, vibrato, false},                      // 4
    {storeMemory<&PlayerChannel::volumeSlideMemory>, tonePortamentoVolumeSlide, false}, // 5
    {storeMemory<&PlayerChannel::volumeSlideMemory>, vibratoVolumeSlide, false},        // 6
    {storeNibbles<&PlayerChannel::tremoloMemory>, tremolo, false},                      // 7
    {setPanning, nullptr, false},                                                       // 8
    {sampleOffset, nullptr, false},                                                     // 9
    {storeMemory<&PlayerChannel::volumeSlideMemory>, volumeSlide, false},               // A
    {positionJump, nullptr, false},                                                     // B
    {setVolume, nullptr, false},                                                        // C
    {patternBreak, nullptr, false},                                                     // D
    {extendedAtRow, extendedAtTick, true},                                              // E
    {setSpeedTempo, nullptr, false},                                                    // F
    {setGlobalVolume, nullptr, false},                                                  // G
    {storeMemory<&PlayerChannel::globalVolumeSlideMemory>, globalVolumeSlide, false},   // H
    {},                                                                                 // 18
    {},                                                                                 // 19
    {nullptr, keyOffAtTick, true},                                                      // K
    {setEnvelopePosition, nullptr, false},                                              // L
    {},                                                                                 // 22
    {},                                                                                 // 23
    {},                                                                                 // 24
    {storeMemory<&PlayerChannel::panningSlideMemory>, panningSlide, false},             // P
    {},                                                                                 // 26
    {storeMultiRetrigger, multiRetrigger, false},                                       // R
    {},                                                                                 // 28
    {storeMemory<&PlayerChannel::tremorMemory>, tremor, false},                         // T
    {},                                                                                 // 30
    {},                                                                                 // 31
    {},                                                                                 // 32
    {extraFinePortamento, nullptr, false},                                              // X
};
static_assert(std::size(kEffects) == EffectExtraFinePortamento + 1);

} // namespace

void applyVolumeColumnAtRow(ModulePlayer* p, PlayerChannel& c, const PatternCell& cell) {
    if (Handler h = kColumnAtRow[high(cell.volume)]) h(p, c, cell);
}

void applyVolumeColumnAtTick(ModulePlayer* p, PlayerChannel& c, const PatternCell& cell) {
    if (Handler h = kColumnAtTick[high(cell.volume)]) h(p, c, cell);
}

void applyEffectAtRow(ModulePlayer* p, PlayerChannel& c, const PatternCell& cell) {
    if (cell.effect >= std::size(kEffects)) return;
    if (Handler h = kEffects[cell.effect].atRow) h(p, c, cell);
}

void applyEffectAtTick(ModulePlayer* p, PlayerChannel& c, const PatternCell& cell) {
    if (cell.effect >= std::size(kEffects)) return;
    const EffectHandlers& e = kEffects[cell.effect];
    if (e.atTick && (p->tick != 0 || e.onFirstTick)) e.atTick(p, c, cell);
}

} // namespace music
