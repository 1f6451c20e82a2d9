// Writes the music fuzzer's own seeds: small, well-formed modules that between them use both frequency
// tables, every loop type in both sample widths, envelopes, instrument vibrato and every effect with an
// ordinary parameter. The same seeds come out on every run (a fixed pseudo-random sequence).
//   music_fuzz_seeds OUTPUT_FOLDER
#include "music/xm_writer.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

using namespace music;

namespace {

constexpr uint16_t kChannels = 4;
constexpr uint16_t kRows = 16;
constexpr int kVariants = 8;

// Effect and parameter pairs as a song would use them: moderate slides, vibrato, arpeggios, volume
// and flow commands, and the extended (E) and letter effects.
constexpr uint8_t kEffects[][2] = {
    {0x00, 0x37}, {0x01, 0x08}, {0x02, 0x08}, {0x03, 0x10}, {0x04, 0x46}, {0x05, 0x02}, {0x06, 0x20},
    {0x07, 0x44}, {0x08, 0x80}, {0x09, 0x01}, {0x0A, 0x20}, {0x0C, 0x30}, {0x0E, 0x12}, {0x0E, 0x22},
    {0x0E, 0x41}, {0x0E, 0x92}, {0x0E, 0xA2}, {0x0E, 0xC3}, {0x0E, 0xD1}, {0x0F, 0x04}, {0x10, 0x30},
    {0x11, 0x10}, {0x14, 0x03}, {0x15, 0x04}, {0x19, 0x10}, {0x1B, 0x31}, {0x1D, 0x21}, {0x21, 0x12},
};
// Volume column bytes: set volume, slides, vibrato speed and depth, panning, tone portamento.
constexpr uint8_t kVolumeColumn[] = {0x30, 0x50, 0x62, 0x72, 0x82, 0x92, 0xA4, 0xB4, 0xC8, 0xD2, 0xE2, 0xF4};

// A fixed linear congruential sequence: reproducible seeds without a library generator's variations.
struct Sequence {
    uint32_t state;
    uint32_t next(uint32_t bound) {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % bound;
    }
};

XmSample sample(uint32_t points, bool sixteenBit, XmLoop loop) {
    XmSample s;
    s.sixteenBit = sixteenBit;
    const double amplitude = sixteenBit ? 20000.0 : 100.0;
    for (uint32_t i = 0; i < points; ++i)
        s.points.push_back(int16_t(amplitude * std::sin(6.2831853 * 3.0 * i / points)));
    s.loop = loop;
    if (loop != XmLoop::None) {
        const uint32_t width = sixteenBit ? 2 : 1;
        s.loopStart = points / 4 * width;
        s.loopLength = points / 2 * width;
    }
    return s;
}

XmInstrument instrument(XmSample s) {
    XmInstrument ins;
    ins.samples.push_back(std::move(s));
    return ins;
}

// Every loop type in both widths; the last two also carry envelopes and instrument vibrato.
std::vector<XmInstrument> instruments() {
    std::vector<XmInstrument> all = {
        instrument(sample(200, false, XmLoop::None)), instrument(sample(128, false, XmLoop::Forward)),
        instrument(sample(64, false, XmLoop::PingPong)), instrument(sample(96, true, XmLoop::Forward)),
        instrument(sample(128, true, XmLoop::PingPong))};
    XmInstrument& enveloped = all[3];
    enveloped.volumeEnvelope.points = {{0, 64}, {6, 40}, {12, 56}};
    enveloped.volumeEnvelope.type = XmEnvelopeOn | XmEnvelopeSustain | XmEnvelopeLoop;
    enveloped.volumeEnvelope.sustainPoint = 1;
    enveloped.volumeEnvelope.loopStart = 1;
    enveloped.volumeEnvelope.loopEnd = 2;
    enveloped.fadeout = 800;
    XmInstrument& vibrato = all[4];
    vibrato.panningEnvelope.points = {{0, 0}, {8, 64}};
    vibrato.panningEnvelope.type = XmEnvelopeOn;
    vibrato.vibratoDepth = 6;
    vibrato.vibratoRate = 24;
    vibrato.vibratoSweep = 4;
    return all;
}

// Notes every four rows per channel, staggered, with an effect (and often a volume column command) on
// every row.
XmModule seed(bool linear, int variant) {
    Sequence random{uint32_t(variant * 7919 + (linear ? 1 : 0))};
    XmModule m;
    m.channels = kChannels;
    m.linearFrequencies = linear;
    m.speed = uint16_t(3 + variant % 4);
    m.tempo = 125;
    m.instruments = instruments();
    m.addPattern(kRows);
    for (unsigned row = 0; row < kRows; ++row) {
        for (unsigned ch = 0; ch < kChannels; ++ch) {
            XmCell& c = m.cell(0, row, ch);
            if (row % 4 == ch) {
                c.note = uint8_t(25 + random.next(48));
                c.instrument = uint8_t(1 + random.next(uint32_t(m.instruments.size())));
            }
            const uint8_t* effect = kEffects[random.next(std::size(kEffects))];
            c.effect = effect[0];
            c.param = effect[1];
            if (random.next(2)) c.volume = kVolumeColumn[random.next(std::size(kVolumeColumn))];
        }
    }
    return m;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    for (bool linear : {true, false}) {
        for (int variant = 0; variant < kVariants; ++variant) {
            const XmModule m = seed(linear, variant);
            checkXm(m);
            const std::vector<uint8_t> bytes = writeXm(m);
            const std::string path = std::string(argv[1]) + "/seed-" + (linear ? "linear-" : "amiga-") +
                                     std::to_string(variant) + ".xm";
            std::FILE* f = std::fopen(path.c_str(), "wb");
            const bool written = f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
            if (!f || std::fclose(f) != 0 || !written) {
                std::fprintf(stderr, "music_fuzz_seeds: cannot write %s\n", path.c_str());
                return 1;
            }
        }
    }
    return 0;
}
