// The module player: an XM 1.04 module turned into one memory block that holds the song, the decoded
// samples, the playback state of every channel and the row-visit table. After creation nothing in the
// music code allocates; the block is released with freeModulePlayer.
#pragma once

#include "base/show_constants.h"

#include <cstdint>

namespace music {

struct PatternCell {
    uint8_t note;       // 0 none, 1..96 notes, 97 key off
    uint8_t instrument; // 0 none, else 1-based
    uint8_t volume;     // volume column
    uint8_t effect;
    uint8_t parameter;
};
static_assert(sizeof(PatternCell) == 5);

struct Pattern {
    uint16_t rowCount;
    PatternCell* cells; // rowCount x channel count, row-major
};

struct EnvelopePoint {
    uint16_t x; // ticks
    uint16_t y; // 0..64
};

struct Envelope {
    EnvelopePoint points[12];
    uint8_t pointCount;
    uint8_t sustainPoint;
    uint8_t loopStartPoint;
    uint8_t loopEndPoint;
    uint8_t enabled;
    uint8_t sustainEnabled;
    uint8_t loopEnabled;
};

enum LoopType : int32_t { LoopNone = 0, LoopForward = 1, LoopPingPong = 2 };

struct Sample {
    uint8_t bits;        // 8 or 16
    uint32_t length;     // sample points
    uint32_t loopStart;  // points
    uint32_t loopLength; // points
    uint32_t loopEnd;    // points
    float volume;        // stored byte / 64
    int8_t finetune;     // 1/128 semitone
    int32_t loopType;    // LoopType
    float panning;       // stored byte / 255
    int8_t relativeNote; // semitones
    void* data;          // int8_t or int16_t absolute values
};

struct Instrument {
    uint16_t sampleCount;
    uint8_t keymap[96]; // sample index for notes 1..96
    Envelope volumeEnvelope;
    Envelope panningEnvelope;
    int32_t autoVibratoWaveform; // oscillator numbering (XM types 1 and 2 swapped)
    uint8_t autoVibratoSweep;
    uint8_t autoVibratoDepth;
    uint8_t autoVibratoRate;
    uint16_t fadeout;
    uint8_t mute;
    Sample* samples; // null when sampleCount is 0
};

// Frames over which a new note blends in from the previous sound.
constexpr uint32_t kCrossfadeFrames = 32;

struct PlayerChannel {
    float noteValue; // semitones: relative note + note + finetune/128 - 1
    float triggerNoteValue;
    Instrument* instrument;
    Sample* sample;
    const PatternCell* currentCell;
    float position; // sample points; negative = stopped
    float period;
    float frequency;
    float step; // sample points per output frame
    uint8_t forward;
    float volume;
    float panning;
    uint16_t autoVibratoCounter;
    uint8_t keyHeld;
    float fadeoutVolume;
    float envelopeVolume;
    float envelopePanning;
    uint16_t volumeEnvelopeTick;
    uint16_t panningEnvelopeTick;
    float autoVibratoOffset;
    uint8_t arpeggioState;
    uint8_t arpeggioSemitones;
    uint8_t volumeSlideMemory;
    uint8_t fineVolumeSlideMemory;
    uint8_t globalVolumeSlideMemory;
    uint8_t panningSlideMemory;
    uint8_t portamentoUpMemory;
    uint8_t portamentoDownMemory;
    uint8_t finePortamentoUpMemory;
    uint8_t finePortamentoDownMemory;
    uint8_t extraFinePortamentoUpMemory;
    uint8_t extraFinePortamentoDownMemory;
    uint8_t tonePortamentoSpeed;
    float tonePortamentoTarget; // 0 = none
    uint8_t multiRetriggerMemory;
    uint8_t noteDelay;
    uint8_t loopStartRow;
    uint8_t loopCounter;
    uint8_t vibratoActive;
    uint32_t vibratoWaveform;
    uint8_t vibratoRetrigger;
    uint8_t vibratoMemory; // speed high nibble, depth low nibble
    uint16_t vibratoPosition;
    float vibratoOffset;
    uint32_t tremoloWaveform;
    uint8_t tremoloRetrigger;
    uint8_t tremoloMemory;
    uint8_t tremoloCounter;
    float tremoloOffset;
    uint8_t tremorMemory;
    uint8_t tremorMuted;
    uint8_t mute;
    float targetLeftGain;
    float targetRightGain;
    uint32_t framesSinceTrigger;
    float crossfadeTail[kCrossfadeFrames]; // the old sound's next values, one per frame
    float currentLeftGain;
    float currentRightGain;
};

enum FrequencyMode : uint32_t { FrequencyLinear = 0, FrequencyAmiga = 1 };

struct ModulePlayer {
    uint64_t blockSize;
    uint16_t songLength;
    uint16_t restartPosition;
    uint16_t channelCount;
    uint16_t patternCount;
    uint16_t instrumentCount;
    uint32_t frequencyMode; // FrequencyMode
    uint8_t orderTable[256];
    Pattern* patterns;
    Instrument* instruments;
    uint32_t outputRate;
    uint16_t speed; // ticks per row
    uint16_t tempo; // BPM
    float globalVolume;
    float amplification;
    float rampStep;
    uint8_t songPosition;
    uint8_t row;
    uint16_t tick;
    float framesToNextTick;
    uint64_t framesRendered;
    uint8_t jumpPending;
    uint8_t breakPending;
    uint8_t jumpPosition;
    uint8_t nextRow;
    uint16_t patternDelay;
    uint8_t* visitTable; // songLength x 256 counters
    uint8_t loopCount;
    uint8_t loopLimit; // 0 = forever
    PlayerChannel* channels;
};

// validateModule results.
enum ModuleCheck : int {
    ModuleValid = 0,
    ModuleWrongSignature = 1,
    ModuleMissingEof = 2, // byte 37 is not 0x1A
    ModuleWrongVersion = 3,
    ModuleTooShort = 4,
    ModuleTooManyChannels = 5, // the replayer counts channels in 8 bits
};

// createModulePlayer results.
enum CreateResult : int { CreateOk = 0, CreateInvalidModule = 1, CreateOutOfMemory = 2 };

// Largest block the loader will allocate; a module that needs more is treated as an allocation failure,
// so a few corrupt size fields cannot claim gigabytes.
constexpr uint64_t kMaxPlayerBlockSize = uint64_t(1) << 30;

int validateModule(const uint8_t* data, uint32_t size);
const char* describeModuleCheck(int check);
uint64_t measureModule(const uint8_t* data, uint32_t size);

// The one part of a module that asks for the most bytes of the player's block: what a message names when
// the module needs more than kMaxPlayerBlockSize.
enum ModulePart : int {
    PartPatternTable = 0,    // the pattern count's table
    PartInstrumentTable = 1, // the instrument count's table
    PartPatternCells = 2,    // rows x channels of pattern `index`
    PartSampleTable = 3,     // the sample count of `instrument`
    PartSampleData = 4,      // the length of sample `index` of `instrument`
};
struct ModuleClaim {
    uint64_t bytes;
    ModulePart part;
    uint32_t instrument; // counted from 1, as trackers show them
    uint32_t index;      // a pattern or a sample, counted from 0
};
ModuleClaim largestModuleClaim(const uint8_t* data, uint32_t size);
// Fills the song fields of the header and the pattern, instrument, cell and sample regions from
// regionStart on; returns the address right behind the last sample data.
uint8_t* parseModule(ModulePlayer* player, const uint8_t* data, uint32_t size, uint8_t* regionStart);
// Returns CreateOk, CreateInvalidModule (also for an output rate of 0) or CreateOutOfMemory.
int createModulePlayer(const uint8_t* data, uint32_t size, ModulePlayer** out,
                       uint32_t outputRate = base::kAudioRate);
void setLoopLimit(ModulePlayer* player, uint8_t limit);
void freeModulePlayer(ModulePlayer* player);

} // namespace music
