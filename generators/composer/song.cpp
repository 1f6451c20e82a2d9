#include "generators/composer/song.h"

#include "base/show_constants.h"
#include "generators/composer/instruments.h"
#include "generators/composer/pattern_text.h"

#include <array>
#include <iterator>
#include <string>

using namespace base;
using namespace music;

namespace generators {

namespace composer {
namespace {

// The show is cut to this grid: 8 rows per beat, 4 beats per bar, speed 3 at 173 BPM.
constexpr unsigned kBeat = kRowsPerBeat;
constexpr unsigned kBar = 4 * kBeat;
// At speed 3 a row lasts 3 ticks of 2.5 / BPM s, which is the grid's row of 60 / (BPM * 8) s.
constexpr unsigned kSpeed = 3;
static_assert(5 * kSpeed * kRowsPerBeat == 2 * 60, "the module's rows must fall on the tracks' rows");

enum Channel : unsigned {
    ChannelKick,
    ChannelSnare,
    ChannelHat,
    ChannelPerc, // ghost notes, rolls, toms
    ChannelBass,
    ChannelDrop, // sub drops and bass stutters
    ChannelLead,
    ChannelLeadEcho,
    ChannelHarmony,
    ChannelArp,
    ChannelArpEcho,
    ChannelPad1,
    ChannelPad2,
    ChannelPad3,
    ChannelPad4,
    ChannelRiser,
    ChannelCrash,
    ChannelStab,
    ChannelBlip,
    ChannelRide,
    ChannelCount
};

std::string str(unsigned n) {
    return std::to_string(n);
}

// One table for every drum part: each character names a hit, whichever channel it is written to.
const std::map<char, XmCell>& drumVoices() {
    static const std::map<char, XmCell> kVoices = {
        {'K', parseCell("C-4 i1 v64")},      {'k', parseCell("C-4 i1 v42")},
        {'t', parseCell("A-4 i1 v44")},      {'m', parseCell("E-4 i1 v48")},
        {'l', parseCell("A-3 i1 v52")},      {'S', parseCell("C-4 i2 v58")},
        {'s', parseCell("C-4 i2 v18")},      {'d', parseCell("C-4 i2 v20 xED1")}, // late ghost: swing
        {'h', parseCell("C-4 i3 v22 xEC2")}, {'H', parseCell("C-4 i3 v32 xEC2")},
        {'x', parseCell("C-4 i3 v16 xEC1")}, {'o', parseCell("C-4 i3 v30")},
        {'r', parseCell("F-3 i3 v18 x840")}, {'R', parseCell("F-3 i3 v26 x840")},
    };
    return kVoices;
}

void grid(XmPattern& p, unsigned channel, std::string_view g, unsigned row = 0) {
    writeGrid(p, channel, g, drumVoices(), row);
}

// The same bar of drums repeated from `row` for `bars` bars.
void gridBars(XmPattern& p, unsigned channel, std::string_view bar, unsigned row, unsigned bars) {
    for (unsigned b = 0; b < bars; ++b) grid(p, channel, bar, row + b * kBar);
}

// A copy of a melodic part on another channel: every note carries the instrument again (so the copy
// plays at the instrument's default volume, quieter than the lead) and a volume-column pan; rows are
// shifted by `delay`, and what falls beyond `rows` is dropped except a key off, which moves to the last
// row. Delay 6 makes a dotted-eighth echo.
std::vector<Event> shadow(const std::vector<Event>& events, unsigned delay, uint8_t pan, unsigned rows) {
    std::vector<Event> out;
    uint8_t instrument = 0;
    for (Event e : events) {
        if (e.cell.instrument) instrument = e.cell.instrument;
        e.row += delay;
        if (e.row >= rows) {
            // A release pushed past the end still has to happen, or the copy rings on.
            if (e.cell.note != kXmKeyOff) continue;
            e.row = rows - 1;
        }
        e.cell.volume = 0;
        if (e.cell.note >= 1 && e.cell.note <= 96) {
            e.cell.instrument = instrument;
            e.cell.volume = uint8_t(0xC0 + pan);
        }
        out.push_back(e);
    }
    return out;
}

void withShadow(XmPattern& p, unsigned channel, unsigned shadowChannel, std::string_view phrase,
                unsigned delay, uint8_t pan, unsigned row = 0) {
    std::vector<Event> events = parsePhrase(phrase);
    writeEvents(p, channel, events, row);
    writeEvents(p, shadowChannel, shadow(events, delay, pan, p.rows - row), row);
}

// Four-voice pad chords.
using Chord = std::array<const char*, 4>;
const Chord kFm7 = {"F-3", "G#3", "C-4", "D#4"};
const Chord kDbMaj7 = {"C#3", "F-3", "G#3", "C-4"};
const Chord kAb = {"D#3", "G#3", "C-4", "D#4"};
const Chord kEb = {"D#3", "G-3", "A#3", "F-4"};
const Chord kCm7 = {"D#3", "G-3", "A#3", "C-4"};

// Each voice has its own place in the stereo field (set on every note, since a note resets the pan).
void chord(XmPattern& p, unsigned row, const Chord& c, unsigned volume) {
    static constexpr const char* kPans[] = {"x800", "x8FF", "x838", "x8C8"};
    for (unsigned v = 0; v < 4; ++v)
        writePhrase(p, ChannelPad1 + v, str(row) + " " + c[v] + " i6 v" + str(volume) + " " + kPans[v]);
}

// Effect words on all pad voices over a range of rows, e.g. a swell with a volume slide.
void padRows(XmPattern& p, unsigned first, unsigned last, const std::string& words) {
    for (unsigned v = 0; v < 4; ++v)
        writePhrase(p, ChannelPad1 + v, str(first) + "-" + str(last) + " " + words);
}

void padsOff(XmPattern& p, unsigned row) {
    padRows(p, row, row, "==");
}

// "F-4" -> "F-5".
std::string octaveUp(std::string note) {
    note[2] = char(note[2] + 1);
    return note;
}

// A chip arpeggio: one note every `step` rows through a bar, the effect spelling the chord at tick rate,
// alternating octaves for sparkle.
void arpBar(XmPattern& p, unsigned channel, unsigned row, const std::string& root, const char* arp,
            unsigned step, unsigned volume) {
    const std::string low = root, high = octaveUp(root);
    for (unsigned r = 0, i = 0; r < kBar; r += step, ++i) {
        writePhrase(p, channel,
                    str(row + r) + " " + (i % 4 == 3 ? high : low) + " i7 v" + str(volume) + " x" + arp);
    }
}

// Chord stabs on the off-beats, each cut short by a key off. They play at the instrument's volume and sit
// right, across from the arpeggios on the same instrument.
void stabBar(XmPattern& p, unsigned row, const char* note, const char* arp) {
    for (unsigned r : {4u, 12u, 22u, 28u}) {
        writePhrase(p, ChannelStab,
                    str(row + r) + " " + note + " i7 vpC x" + arp + " | " + str(row + r + 1) + " x" + arp +
                        " | " + str(row + r + 2) + " ==");
    }
}

// Rising run: a note every `step` rows with the volume stepping from `from` to `to`.
void crescendo(XmPattern& p, unsigned channel, unsigned first, unsigned last, unsigned step,
               const std::string& note, unsigned from, unsigned to) {
    const unsigned count = (last - first) / step;
    for (unsigned i = 0, r = first; r <= last; r += step, ++i) {
        unsigned v = count ? from + (to - from) * i / count : to;
        writePhrase(p, channel, str(r) + " " + note + " v" + str(v));
    }
}

void crash(XmPattern& p, unsigned row, unsigned volume = 34) {
    writePhrase(p, ChannelCrash, str(row) + " D#5 i8 v" + str(volume) + " | " + str(row + 1) + " ==");
}

// Cuts every channel at `row` (tick 0): the silence before a drop.
void cutAll(XmPattern& p, unsigned row) {
    for (unsigned c = 0; c < ChannelCount; ++c) writePhrase(p, c, str(row) + " xEC0");
}

// ---------------------------------------------------------------------------------------------------
// Parts shared by several sections.

const char* const kBassA = // Fm | Db | Ab | Eb, the groove under main part A
    "0 F-2 i4 | 10 == | 14 F-3 | 16 == | 20 F-2 | 28 G#2 x330 | 31 == |"
    "32 C#2 | 42 == | 46 C#3 | 48 == | 52 C#2 | 60 D#2 x330 | 63 == |"
    "64 G#1 | 74 == | 78 G#2 | 80 == | 84 G#1 | 92 A#1 x330 | 95 == |"
    "96 D#2 | 106 == | 110 D#3 | 112 == | 116 D#2 | 122 G-2 | 124 E-2 x340 | 127 ==";

const char* const kBassB = // Db | Eb | Cm | Fm
    "0 C#2 i4 | 12 == | 14 C#3 | 15 == | 16 C#2 | 22 == | 24 G#1 | 28 C-2 x330 | 31 == |"
    "32 D#2 | 44 == | 46 D#3 | 47 == | 48 D#2 | 54 == | 56 A#1 | 60 D-2 x330 | 63 == |"
    "64 C-2 | 76 == | 78 C-3 | 79 == | 80 C-2 | 86 == | 88 G-1 | 92 A#1 x330 | 95 == |"
    "96 F-2 | 108 == | 110 F-3 | 111 == | 112 F-2 | 118 == | 120 D#2 | 124 C-2 x330 | 127 ==";

const char* const kLeadA = // the hook: dotted rhythm, slides up into each second bar
    "0 F-5 i5 | 6-11 x464 | 12 D#5 | 16 C-5 | 20-23 x454 | 24 D#5 | 28 F-5 |"
    "32 G#5 x310 | 36-43 x465 | 44 F-5 | 48 D#5 | 52-55 x454 | 56 C#5 | 60 C-5 |"
    "64 C-5 i5 | 70-75 x464 | 76 D#5 | 80 G#5 | 84-87 x454 | 88 G-5 | 92 G#5 |"
    "96 A#5 x310 | 100-111 x466 | 112 G-5 | 116 F-5 | 120 D#5 | 122-123 x454 | 124 ==";

const char* const kHarmonyA = // a third under the hook, for the finale
    "0 C-5 i5 | 6-11 x464 | 12 C-5 | 16 G#4 | 24 C-5 | 28 C-5 |"
    "32 F-5 x310 | 36-43 x465 | 44 C#5 | 48 C-5 | 56 G#4 | 60 G#4 |"
    "64 G#4 | 70-75 x464 | 76 C-5 | 80 D#5 | 88 D#5 | 92 D#5 |"
    "96 G-5 x310 | 100-111 x466 | 112 D#5 | 116 A#4 | 120 G-4 | 124 ==";

const char* const kLeadB = // main part B: a chip lead on the square, octave sparkle on held notes
    "0 G#5 i7 | 4 F-5 | 8 G#5 | 12 C#6 | 16 C-6 | 16-23 x0C0 | 24 G#5 | 28 F-5 |"
    "32 G-5 | 36 D#5 | 40 G-5 | 44 A#5 | 48 G#5 | 48-55 x0C0 | 56 G-5 | 60 D#5 |"
    "64 G-5 | 68 D#5 | 72 G-5 | 76 C-6 | 80 A#5 | 80-87 x0C0 | 88 G-5 | 92 D#5 |"
    "96 F-5 | 100 G#5 | 104 C-6 | 108 D#6 | 112 F-6 x318 | 113-115 x300 | 116-121 x0C0 | 124 ==";

const char* const kCounterB = // slow lead line over part B's second pass
    "0 F-5 i5 | 4-31 x444 | 32 G-5 | 36-63 x444 | 64 D#5 | 68-95 x444 | 96 C-5 | 100-123 x444 | 124 ==";

// Drum bars.
const char* const kKickTwoStep = "K.......|........|....K...|........";
const char* const kKickTwoStepB = "K.......|........|....K.K.|........";
const char* const kKickBreak = "K.......|..K.....|....K...|........";
const char* const kSnareTwoStep = "........|S.....d.|........|S.....s.";
const char* const kSnareTwoStepB = "........|S.....d.|..s.....|S...s.d.";
const char* const kHats16 = "h.h.H.h.|h.h.H.h.|h.h.H.h.|h.h.o.h.";
const char* const kHats16Roll = "h.h.H.h.|h.h.H.h.|h.h.H.h.|........";
const char* const kHats8 = "h...H...|h...H...|h...H...|h...H...";
const char* const kRide = "....r...|....R...|....r...|....R...";

// Main part A, 4 bars (Fm Db Ab Eb). The full version adds the ride, the echoes and louder melody; the
// finale adds the harmony and the stabs and lifts the arpeggio an octave.
enum class Energy { Groove, Full, Finale };

// Volumes of the melodic parts, rising with the energy of a section (indexed by Energy).
struct Levels {
    unsigned bass, pads, arp, lead;
};
constexpr Levels kLevels[] = {{60, 36, 24, 60}, {62, 44, 28, 62}, {64, 60, 34, 64}};

// Sets the volume of the note a phrase starts with (phrases leave it out so that sections can differ).
void level(XmPattern& p, unsigned channel, unsigned row, unsigned volume) {
    writePhrase(p, channel, str(row) + " v" + str(volume));
}

XmPattern mainA(Energy energy) {
    const Levels& mix = kLevels[size_t(energy)];
    XmPattern p(4 * kBar, ChannelCount);
    for (unsigned bar = 0; bar < 4; ++bar) {
        unsigned r = bar * kBar;
        grid(p, ChannelKick, bar % 2 ? kKickTwoStepB : kKickTwoStep, r);
        grid(p, ChannelSnare, bar % 2 ? kSnareTwoStepB : kSnareTwoStep, r);
        grid(p, ChannelHat, kHats16, r);
        if (energy != Energy::Groove) grid(p, ChannelRide, kRide, r);
    }
    writePhrase(p, ChannelBass, kBassA);
    level(p, ChannelBass, 0, mix.bass);
    chord(p, 0, kFm7, mix.pads);
    chord(p, 32, kDbMaj7, mix.pads);
    chord(p, 64, kAb, mix.pads);
    chord(p, 96, kEb, mix.pads);
    static const std::array<std::pair<const char*, const char*>, 4> kArps = {
        {{"F-4", "037"}, {"C#4", "047"}, {"G#4", "047"}, {"D#4", "047"}}};
    for (unsigned bar = 0; bar < 4; ++bar) {
        const std::string root = energy == Energy::Finale ? octaveUp(kArps[bar].first) : kArps[bar].first;
        arpBar(p, ChannelArp, bar * kBar, root, kArps[bar].second, 2, mix.arp);
    }
    if (energy == Energy::Groove) {
        writePhrase(p, ChannelLead, kLeadA);
    } else {
        withShadow(p, ChannelLead, ChannelLeadEcho, kLeadA, 6, 0x0);
    }
    level(p, ChannelLead, 0, mix.lead);
    level(p, ChannelLead, 64, mix.lead);
    if (energy == Energy::Finale) {
        writeEvents(p, ChannelHarmony, shadow(parsePhrase(kHarmonyA), 0, 0xC, p.rows));
        stabBar(p, 0, "F-5", "037");
        stabBar(p, 32, "C#5", "047");
        stabBar(p, 64, "G#5", "047");
        stabBar(p, 96, "D#5", "047");
    }
    crash(p, 0);
    return p;
}

XmPattern mainB(bool counterMelody) {
    XmPattern p(4 * kBar, ChannelCount);
    for (unsigned bar = 0; bar < 4; ++bar) {
        unsigned r = bar * kBar;
        grid(p, ChannelKick, bar == 3 ? kKickTwoStepB : kKickBreak, r);
        grid(p, ChannelSnare, kSnareTwoStepB, r);
        grid(p, ChannelHat, bar == 3 ? kHats16Roll : kHats16, r);
    }
    // The phrase ends in a hat roll: the last hit retriggered on every row.
    writePhrase(p, ChannelHat, "120 C-4 i3 v18 xE92 | 121-127 xE92");
    writePhrase(p, ChannelBass, kBassB);
    level(p, ChannelBass, 0, 58);
    chord(p, 0, kDbMaj7, 32);
    chord(p, 32, kEb, 32);
    chord(p, 64, kCm7, 32);
    chord(p, 96, kFm7, 32);
    stabBar(p, 0, "C#5", "047");
    stabBar(p, 32, "D#5", "047");
    stabBar(p, 64, "C-5", "037");
    stabBar(p, 96, "F-5", "037");
    withShadow(p, ChannelArp, ChannelArpEcho, kLeadB, 6, 0xE);
    level(p, ChannelArp, 0, 46);
    if (counterMelody) {
        writePhrase(p, ChannelLead, kCounterB);
        level(p, ChannelLead, 0, 44);
    }
    crash(p, 0);
    return p;
}

// Copies `count` whole rows of `from`, starting at `fromRow`, over the rows of `to` from `toRow`.
void copyRows(XmPattern& to, unsigned toRow, const XmPattern& from, unsigned fromRow, unsigned count) {
    for (unsigned r = 0; r < count; ++r) {
        for (unsigned c = 0; c < from.channels; ++c) to.at(toRow + r, c) = from.at(fromRow + r, c);
    }
}

// Rows `first` .. `first + count - 1` of a section as one pattern of the module.
XmPattern slice(const XmPattern& section, unsigned first, unsigned count) {
    XmPattern p(uint16_t(count), section.channels);
    copyRows(p, 0, section, first, count);
    return p;
}

void clearRows(XmPattern& p, unsigned first, unsigned last) {
    for (unsigned r = first; r <= last; ++r) {
        for (unsigned c = 0; c < p.channels; ++c) p.at(r, c) = XmCell{};
    }
}

// ---------------------------------------------------------------------------------------------------
// The sections, in playing order.

// Rows 0-255: a downbeat hit, then pads and arpeggios swell in, the drums enter bar by bar and the bass
// takes over at row 128. Cut into four 64-row patterns.
XmPattern intro() {
    XmPattern p(8 * kBar, ChannelCount);
    // The opening hit: kick, crash, a low bass note and a falling sub.
    grid(p, ChannelKick, "K");
    crash(p, 0, 40);
    writePhrase(p, ChannelBass, "0 F-1 i4 v50 | 24 ==");
    writePhrase(p, ChannelDrop, "0 F-3 i4 v36 x208 | 1-15 x208 | 16 ==");
    // Camera kicks on rows 14, 16, 24 and 48 get a tom each.
    grid(p, ChannelPerc, "........|......t.|m.......|l.......|........|........|k.......|........");
    // Pads fade in on Fm7 and move through Db and Eb; the arpeggio creeps up under them.
    chord(p, 8, kFm7, 4);
    padRows(p, 9, 24, "xA10");
    chord(p, 64, kDbMaj7, 36);
    chord(p, 96, kEb, 36);
    chord(p, 128, kFm7, 28);
    chord(p, 160, kDbMaj7, 28);
    chord(p, 192, kAb, 28);
    chord(p, 224, kEb, 28);
    crescendo(p, ChannelArp, 32, 62, 2, "F-4 i7 x037", 4, 12);
    crescendo(p, ChannelArp, 64, 94, 2, "C#4 i7 x047", 12, 16);
    crescendo(p, ChannelArp, 96, 126, 2, "D#4 i7 x047", 16, 20);
    arpBar(p, ChannelArp, 128, "F-4", "037", 2, 18);
    arpBar(p, ChannelArp, 160, "C#4", "047", 2, 18);
    arpBar(p, ChannelArp, 192, "G#4", "047", 2, 18);
    arpBar(p, ChannelArp, 224, "D#4", "047", 2, 18);
    // Drums, bar by bar: hats from bar 2, kick from bar 3, the full two-step from row 128.
    grid(p, ChannelHat, "x...x...|x...x...|x...x...|x.x.x.x.", 32);
    gridBars(p, ChannelHat, kHats8, 64, 2);
    gridBars(p, ChannelHat, kHats16, 128, 4);
    grid(p, ChannelKick, "K.......|........|........|........|K.......|........|....K...|........", 64);
    grid(p, ChannelSnare, "........|........|........|........|........|........|........|S...S.S.", 64);
    for (unsigned bar = 4; bar < 8; ++bar) {
        grid(p, ChannelKick, bar % 2 ? kKickTwoStepB : kKickTwoStep, bar * kBar);
        grid(p, ChannelSnare, bar == 7 ? "........|S.....d.|S.s.S.s.|S.S.S.SS" : kSnareTwoStep, bar * kBar);
    }
    grid(p, ChannelPerc, "........|........|........|t.t.m.ml", 224);
    // A sub line before the bass proper, then the groove of part A.
    writePhrase(p, ChannelBass, "64 C#2 i4 v40 | 88 == | 96 D#2 | 120 ==");
    writePhrase(p, ChannelBass, kBassA, 128);
    level(p, ChannelBass, 128, 52);
    // A noise riser into the bass entry, crashes on the section starts.
    writePhrase(p, ChannelRiser, "96 C-3 i8 v4 x108 | 97-127 vu1 x108 | 128 xEC0");
    crash(p, 128);
    return p;
}

// Rows 256-511: the groove with the lead; the last 36 rows rise into the drop: an arpeggio sweep, a
// snare roll that speeds up through retriggers, a noise sweep, then two rows of silence.
XmPattern groove() {
    XmPattern p(8 * kBar, ChannelCount);
    constexpr unsigned kRise = 128 + 92; // row 476 of the song
    copyRows(p, 0, mainA(Energy::Groove), 0, 128);
    copyRows(p, 128, mainA(Energy::Full), 0, kRise - 128);
    writePhrase(p, ChannelLead, "0 ==", kRise);
    writePhrase(p, ChannelLeadEcho, "0 ==", kRise);
    // The drums thin to quarter kicks while the roll takes over.
    grid(p, ChannelKick, "....K.......K.......K.......K...", kRise);
    grid(p, ChannelHat, "h.h.h.h.h.h.h.h.h.h.hhhhhhhhhhhh", kRise);
    crescendo(p, ChannelPerc, kRise, kRise + 14, 2, "C-4 i2", 12, 24);
    writePhrase(p, ChannelPerc, "16 C-4 v20 xR92 | 17-27 xR92 | 28 xR91 | 29-33 xR91", kRise);
    // Arpeggio sweep: the chord climbs a step every two rows.
    static const char* const kSweep[] = {"F-4", "G-4", "G#4", "A#4", "C-5", "C#5", "D#5", "F-5", "G-5",
                                         "G#5", "A#5", "C-6", "C#6", "D#6", "F-6", "G-6", "G#6"};
    for (unsigned i = 0; i < 17; ++i) {
        writePhrase(p, ChannelArp, str(kRise + 2 * i) + " " + kSweep[i] + " i7 v" + str(12 + i) + " x037");
    }
    writePhrase(p, ChannelRiser, "0 C-2 i8 v6 x10C | 1-14 vu1 x10C | 15-33 x10C", kRise);
    writePhrase(p, ChannelBass, "0 C-2 i4 v40 | 1-31 x102 | 32 ==", kRise);
    chord(p, kRise + 4, kEb, 20);
    padRows(p, kRise + 5, kRise + 14, "xA10");
    cutAll(p, 254);
    return p;
}

// Rows 512-599: the drop, eleven one-beat blocks, each a different cut of the band over a wall of pad
// chords, the loudest passage before the finale.
XmPattern drop() {
    XmPattern p(11 * kBeat, ChannelCount);
    constexpr unsigned kWall = 64;
    chord(p, 0, kFm7, kWall);
    chord(p, 16, kDbMaj7, kWall);
    chord(p, 32, kFm7, kWall);
    chord(p, 40, kAb, kWall);
    chord(p, 56, kFm7, kWall);
    chord(p, 72, kEb, kWall);
    // A running arpeggio over the chords keeps the wall moving through the cuts, on the right against the
    // stabs and the lead (it plays at the instrument's volume, so every note is free to carry the pan).
    struct Run {
        unsigned row;
        const char* notes;
    };
    static constexpr Run kRuns[] = {{0, "F-5 x037"},  {16, "C#5 x047"}, {32, "F-5 x037"},
                                    {40, "G#4 x047"}, {56, "F-5 x037"}, {72, "D#5 x047"}};
    for (size_t i = 0; i < std::size(kRuns); ++i) {
        const unsigned end = i + 1 < std::size(kRuns) ? kRuns[i + 1].row : p.rows;
        for (unsigned r = kRuns[i].row; r < end; r += 2)
            writePhrase(p, ChannelArp, str(r) + " " + kRuns[i].notes + " vpC" + (r ? "" : " i7"));
    }
    writePhrase(p, ChannelArp, str(p.rows - 1) + " ==");
    // 512: everything hits.
    grid(p, ChannelKick, "K");
    crash(p, 0, 40);
    writePhrase(p, ChannelBass, "0 F-1 i4 v64 | 15 ==");
    writePhrase(p, ChannelDrop, "0 F-3 i4 v44 x205 | 1-7 x205 | 8 ==");
    writePhrase(p, ChannelStab, "0 F-5 i7 v60 x037 | 1-3 x037 | 4 ==");
    writePhrase(p, ChannelLead, "0 F-5 i5 v64 | 6 ==");
    // 520: cut to the hats and the wall.
    grid(p, ChannelHat, "H.h.H.h.", 8);
    // 528: snare and Db stabs.
    grid(p, ChannelSnare, "S", 16);
    writePhrase(p, ChannelStab,
                "16 C#5 i7 v60 x047 | 17 == | 19 C#5 v54 x047 | 20 == | 22 C#5 v48 x047 | 23 ==");
    writePhrase(p, ChannelBass, "16 C#2 i4 v64 | 22 ==");
    // 536: stuttering kicks and a wobbling bass.
    grid(p, ChannelKick, "K..k..k.", 24);
    writePhrase(p, ChannelBass, "24 F-2 i4 v64 x48F | 25-31 x48F");
    // 544: one bar of groove.
    grid(p, ChannelKick, "K.......", 32);
    grid(p, ChannelSnare, "....S...", 32);
    grid(p, ChannelHat, "h.h.H.h.", 32);
    writePhrase(p, ChannelBass, "32 F-2 i4 v64 | 38 ==");
    writePhrase(p, ChannelLead, "32 C-5 i5 v64 | 36 D#5 | 39 ==");
    // 552: Ab stabs alone, chopped.
    writePhrase(p, ChannelBass, "40 G#1 i4 v64 | 47 ==");
    for (unsigned r = 40; r < 48; r += 2)
        writePhrase(p, ChannelStab, str(r) + " G#5 i7 v60 x047 | " + str(r + 1) + " xEC1");
    // 560: a noise sweep over racing hats.
    writePhrase(p, ChannelRiser, "48 C-4 i8 v24 x120 | 49-54 vu2 x120 | 55 xEC0");
    grid(p, ChannelHat, "xxxxxxxx", 48);
    writePhrase(p, ChannelBass, "48 C-2 i4 v64 x102 | 49-54 x102 | 55 ==");
    // 568: kick and bass stutter on every row.
    grid(p, ChannelKick, "K.k.K.k.", 56);
    writePhrase(p, ChannelDrop,
                "56 F-2 i4 v64 | 57 F-2 | 58 F-3 | 59 F-2 | 60 F-2 | 61 F-3 | 62 F-2 | 63 ==");
    // 576: a snare roll in thirty-seconds, growing, over a low drone.
    writePhrase(p, ChannelBass, "64 F-1 i4 v64 | 71 ==");
    writePhrase(p, ChannelPerc, "64 C-4 i2 v36 xRA2 | 65-71 xRA2 | 72 xEC0");
    // 584: the band again, on Eb.
    grid(p, ChannelKick, "K...", 72);
    grid(p, ChannelSnare, "....S...", 72);
    crash(p, 72, 36);
    writePhrase(p, ChannelBass, "72 D#2 i4 v64 | 80 ==");
    writePhrase(p, ChannelStab, "72 D#5 i7 v60 x047 | 73-75 x047 | 76 ==");
    writePhrase(p, ChannelLead, "72 G-5 i5 v64 | 78 ==");
    // 592: a falling sub and a reversed swell lead into the fill.
    writePhrase(p, ChannelDrop, "80 D#3 i4 v64 x208 | 81-86 x208 | 87 ==");
    writePhrase(p, ChannelRiser, "80 C-5 i8 v2 | 81-86 vu3 | 87 ==");
    return p;
}

// Rows 600-647: a drum fill under the Eb chord, then the first beat of part A; the pattern ends with a
// break into row 8 of part A's first pattern, which holds the rest of that bar.
XmPattern fill(const XmPattern& partA) {
    XmPattern p(6 * kBeat, ChannelCount);
    grid(p, ChannelKick, "K.......|........|....K...|........|K...K...");
    grid(p, ChannelSnare, "........|S.....s.|..s.S.s.|S.S.S.S.");
    grid(p, ChannelHat, "h.h.H.h.|h.h.H.h.|h.h.H.h.|h.h.h.h.");
    grid(p, ChannelPerc, "........|........|........|........|t.t.m.m.", 0);
    writePhrase(p, ChannelBass, "0 D#2 i4 v46 | 12 == | 16 D#2 | 28 E-2 x330 | 39 ==");
    chord(p, 0, kEb, 20);
    writePhrase(p, ChannelRiser, "0 xEC0 | 8 C-3 i8 v4 x10A | 9-38 vu1 x10A");
    copyRows(p, 5 * kBeat, partA, 0, kBeat);
    writePhrase(p, ChannelRiser, "40 xEC0"); // risers stop dead on the downbeat
    writePhrase(p, ChannelBlip, "47 xD08");
    return p;
}

// Rows 1024-1055: the break. Drums out; the pads hold Db and Eb quietly, so that the song falls away
// before the rebuild, and blips count down the last rows.
XmPattern breakdown() {
    XmPattern p(kBar, ChannelCount);
    chord(p, 0, kDbMaj7, 16);
    chord(p, 16, kEb, 16);
    crash(p, 0, 14);
    writePhrase(p, ChannelLead, "0 G#5 i5 v20 | 4-15 x444 | 16 A#5 x308 | 17-23 x300 | 24 ==");
    writePhrase(p, ChannelBlip, "20 C-6 i7 v14 xEC2 | 24 C-7 i7 v12 x0C7");
    // One blip per row, climbing, as the screen counts down from 7.
    static const char* const kCount[] = {"C-5", "D#5", "F-5", "G-5", "A#5", "C-6", "D#6"};
    for (unsigned i = 0; i < 7; ++i)
        writePhrase(p, ChannelBlip, str(25 + i) + " " + kCount[i] + " i7 v" + str(12 + i) + " xEC2");
    writePhrase(p, ChannelRiser, "16 C-3 i8 v2 x110 | 17-31 vu1 x110");
    padsOff(p, 31);
    return p;
}

// Rows 1056-1119: the drums come back under Ab and Eb and build into part A.
XmPattern rebuild() {
    XmPattern p(2 * kBar, ChannelCount);
    grid(p, ChannelKick, kKickTwoStep);
    grid(p, ChannelKick, kKickTwoStepB, kBar);
    grid(p, ChannelSnare, kSnareTwoStep);
    grid(p, ChannelSnare, "........|S.....d.|S.s.S.s.|SSSSSSSS", kBar);
    gridBars(p, ChannelHat, kHats16, 0, 2);
    grid(p, ChannelPerc, "........|........|........|t.m.l.l.", kBar);
    writePhrase(p, ChannelBass,
                "0 G#1 i4 v62 | 10 == | 14 G#2 | 16 == | 20 G#1 | 28 A#1 x330 | 31 == |"
                "32 D#2 | 42 == | 46 D#3 | 48 == | 52 D#2 | 60 E-2 x340 | 63 ==");
    chord(p, 0, kAb, 40);
    chord(p, 32, kEb, 40);
    arpBar(p, ChannelArp, 0, "G#4", "047", 4, 24);
    arpBar(p, ChannelArp, kBar, "D#4", "047", 2, 26);
    crash(p, 0, 44);
    writePhrase(p, ChannelRiser, "0 xEC0");
    return p;
}

// Rows 1504-1600: the last two bars of the finale, the final hit on row 1568, and its ring-out.
XmPattern ending(const XmPattern& finale) {
    XmPattern p(3 * kBar + 1, ChannelCount);
    copyRows(p, 0, finale, 2 * kBar, 2 * kBar);
    clearRows(p, 56, 63);
    grid(p, ChannelSnare, "SsSsSSSS", 56);
    grid(p, ChannelKick, "K...K...", 56);
    grid(p, ChannelHat, "hhhhhhhh", 56);
    writePhrase(p, ChannelBass, "56 D#2 i4 v46 | 60 E-2 x340 | 63 ==");
    writePhrase(p, ChannelLead, "56 ==");
    writePhrase(p, ChannelHarmony, "56 ==");
    writePhrase(p, ChannelLeadEcho, "56 ==");
    writePhrase(p, ChannelArp, "56 ==");
    const unsigned hit = 2 * kBar;
    grid(p, ChannelKick, "K", hit);
    crash(p, hit, 44);
    writePhrase(p, ChannelCrash, "2-30 xA01", hit); // the last crash dies away before the song ends
    writePhrase(p, ChannelBass, "0 F-1 i4 v52 | 20 ==", hit);
    writePhrase(p, ChannelDrop, "0 F-3 i4 v40 x203 | 1-19 x203 | 20 ==", hit);
    writePhrase(p, ChannelStab, "0 F-5 i7 v30 x037 | 1-11 x037 | 12 ==", hit);
    writePhrase(p, ChannelLead, "0 F-5 i5 v36 | 4-15 x464 | 16 ==", hit);
    chord(p, hit, kFm7, 26);
    padsOff(p, hit + 6);
    // The player falls silent at once when the song would repeat, so whatever still rings is cut
    // gently on the last row rather than by that stop.
    cutAll(p, hit + 32);
    return p;
}

} // namespace

XmModule composeSong() {
    XmModule m;
    m.title = "Mirelandt";
    m.tracker = "mirelandt-composer";
    m.channels = ChannelCount;
    m.speed = kSpeed;
    m.tempo = kBeatsPerMinute;
    m.linearFrequencies = true;
    m.instruments = makeInstruments();

    const XmPattern introRows = intro();
    const XmPattern grooveRows = groove();
    const XmPattern partA = mainA(Energy::Full);
    const XmPattern partB = mainB(false);
    const XmPattern partB2 = mainB(true);
    const XmPattern finale = mainA(Energy::Finale);

    // Pattern numbers in the order they first play.
    m.patterns = {
        slice(introRows, 0, 64),     // 0  rows    0-63   the hit, pads fade in
        slice(introRows, 64, 64),    // 1  rows   64-127  hats and kick enter
        slice(introRows, 128, 64),   // 2  rows  128-191  bass and full drums
        slice(introRows, 192, 64),   // 3  rows  192-255  ... with a fill
        slice(grooveRows, 0, 128),   // 4  rows  256-383  groove, lead enters
        slice(grooveRows, 128, 128), // 5  rows  384-511  groove, riser from 476
        drop(),                      // 6  rows  512-599  beat-cut drop
        fill(partA),                 // 7  rows  600-647  fill, breaks into pattern 8 at row 8
        slice(partA, 0, 64),         // 8  part A, Fm Db
        slice(partA, 64, 64),        // 9  part A, Ab Eb
        partB,                       // 10 part B
        partB2,                      // 11 part B with the counter line, into the break
        breakdown(),                 // 12 rows 1024-1055 break
        rebuild(),                   // 13 rows 1056-1119 drums return
        slice(finale, 0, 64),        // 14 finale, Fm Db
        ending(finale),              // 15 finale, Ab Eb, the last hit and its ring-out
    };
    // The end of part B' runs into the break: a roll, then everything stops.
    XmPattern& intoBreak = m.patterns[11];
    clearRows(intoBreak, 120, 127);
    grid(intoBreak, ChannelSnare, "SSSSSSS.", 120);
    writePhrase(intoBreak, ChannelPerc, "120 C-4 i2 v20 xRA1 | 121-126 xRA1 | 127 xEC0");
    grid(intoBreak, ChannelKick, "K...K...", 120);
    cutAll(intoBreak, 127);

    // Positions and the song rows they play: 0-3 intro (0-255), 4-5 groove and riser (256-511), 6 drop
    // (512-599), 7 fill (600-647, breaking into row 8 of pattern 8), 8-9 part A (648-767), 10-11 part B
    // (768-1023), 12 break (1024-1055), 13 drums return (1056-1119), 14-15 part A (1120-1247), 16 part B
    // (1248-1375), 17-19 finale (1376-1600). 1601 rows in all; the restart position 1 has been heard, so
    // a player stopping at the first repeated row stops there, after the show's 67 seconds (row 1545).
    m.order = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 8, 9, 10, 14, 14, 15};
    m.restartPosition = 1;
    return m;
}

} // namespace composer

} // namespace generators
