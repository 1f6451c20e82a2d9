// The intro's module as the build embeds it: identical to the committed file, of the shape the player
// and the show's timing expect, and arranged on the rows the choreography is written against.
#include "base/show_constants.h"
#include "content/music/embedded_module.h"
#include "music/mixer.h"
#include "music/module_player.h"
#include "tests/generators/xm_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>

using namespace Orvo::Gfx;
using namespace base;
using namespace music;

namespace {

std::vector<uint8_t> readFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<uint8_t> embedded() {
    return {embeddedModuleData(), embeddedModuleData() + embeddedModuleSize()};
}

const xmtest::Module& song() {
    static const xmtest::Module kM = xmtest::readModule(embedded());
    return kM;
}

constexpr unsigned kKick = 1, kSnare = 2, kHat = 3;

// Instruments struck in the song rows [first, last).
std::set<unsigned> instrumentsPlayed(unsigned first, unsigned last) {
    const auto played = xmtest::playOnce(song());
    std::set<unsigned> out;
    for (unsigned r = first; r < last && r < played.size(); ++r) {
        for (unsigned ch = 0; ch < song().channels; ++ch) {
            const auto& c = song().cell(played[r].pattern, played[r].row, ch);
            if (c.note >= 1 && c.note <= 96 && c.instrument) out.insert(c.instrument);
        }
    }
    return out;
}

TEST(Module, BuildEmbedsExactlyTheCommittedFile) {
    const std::vector<uint8_t> committed = readFile(MIRELANDT_COMMITTED_MODULE);
    ASSERT_FALSE(committed.empty()) << "missing " << MIRELANDT_COMMITTED_MODULE;
    EXPECT_EQ(embedded().size(), committed.size());
    EXPECT_TRUE(embedded() == committed) << "rebuild and run the target mirelandt_update_music";
}

TEST(Module, HasTheShapeThePlayerAndTheShowExpect) {
    const auto& m = song();
    EXPECT_EQ(m.headerSize, 276u);
    EXPECT_EQ(m.channels, 20u);
    EXPECT_EQ(m.patternCount, 16u);
    EXPECT_EQ(m.instrumentCount, 8u);
    EXPECT_EQ(m.songLength, 20u);
    EXPECT_EQ(m.restart, 1u);
    EXPECT_EQ(m.flags & 1, 1u) << "linear frequency table";
    EXPECT_EQ(m.speed, 3u);
    EXPECT_EQ(m.tempo, 173u);
    for (const auto& ins : m.instruments) {
        ASSERT_EQ(ins.samples.size(), 1u);
        EXPECT_EQ(ins.samples[0].type & 0x10, 0) << "8-bit samples";
    }
}

TEST(Module, PlaysOnceFor1601RowsWhichOutlastTheShow) {
    const auto played = xmtest::playOnce(song());
    EXPECT_EQ(played.size(), 1601u);
    const double seconds = played.size() * 3 * 2.5 / 173.0;
    EXPECT_NEAR(seconds, 69.4, 0.05);
    EXPECT_GT(seconds, 67.0);
}

TEST(Module, KeepsSpeedAndTempoSoRowsStayOnTheShowsGrid) {
    const auto& m = song();
    for (unsigned p = 0; p < m.patternCount; ++p) {
        for (const auto& c : m.patterns[p].cells) {
            EXPECT_NE(c.effect, 0x0F) << "speed/tempo change in pattern " << p;
            EXPECT_FALSE(c.effect == 0x0E && (c.param >> 4) == 0xE) << "pattern delay in pattern " << p;
            EXPECT_FALSE(c.effect == 0x0E && (c.param >> 4) == 0x6) << "pattern loop in pattern " << p;
        }
    }
}

TEST(Module, SectionsLandOnTheRowsTheShowIsCutTo) {
    const auto played = xmtest::playOnce(song());
    ASSERT_GT(played.size(), 1545u);
    // The drop and the break each begin a pattern of their own.
    EXPECT_EQ(played[512].row, 0u);
    EXPECT_NE(played[511].pattern, played[512].pattern);
    EXPECT_EQ(played[1024].row, 0u);
    EXPECT_EQ(played[1055].pattern, played[1024].pattern);
    EXPECT_NE(played[1056].pattern, played[1024].pattern);
    // Drums out in the break, back right after it, and still going when the show ends at row 1545.
    const auto inBreak = instrumentsPlayed(1024, 1056);
    EXPECT_EQ(inBreak.count(kKick) + inBreak.count(kSnare) + inBreak.count(kHat), 0u);
    EXPECT_TRUE(instrumentsPlayed(1056, 1064).count(kKick));
    const auto atEnd = instrumentsPlayed(1536, 1552);
    EXPECT_TRUE(atEnd.count(kKick) && atEnd.count(kSnare) && atEnd.count(kHat));
    EXPECT_GE(atEnd.size(), 6u) << "the finale is still full at 67 s";
}

TEST(Module, DropChangesOnEveryBeat) {
    // The beat-cut passage: each one-beat block of rows 512-599 differs from the one before it.
    const auto played = xmtest::playOnce(song());
    auto block = [&](unsigned first) {
        std::vector<uint8_t> cells;
        for (unsigned r = first; r < first + 8; ++r) {
            for (unsigned ch = 0; ch < song().channels; ++ch) {
                const auto& c = song().cell(played[r].pattern, played[r].row, ch);
                cells.insert(cells.end(), {c.note, c.instrument, c.volume, c.effect, c.param});
            }
        }
        return cells;
    };
    for (unsigned first = 520; first < 600; first += 8) EXPECT_NE(block(first - 8), block(first)) << first;
}

TEST(Module, EverySustainedNoteIsReleasedBeforeTheSongEnds) {
    // A note of a looped instrument sounds until a key off or a note cut; one left open rings on into
    // sections that never meant it (and is chopped off when the song stops).
    const auto& m = song();
    const auto played = xmtest::playOnce(m);
    auto looped = [&](unsigned instrument) {
        return instrument >= 1 && instrument <= m.instruments.size() &&
               (m.instruments[instrument - 1].samples.at(0).type & 3) != 0;
    };
    std::vector<unsigned> instrument(m.channels, 0);
    std::vector<int> openSince(m.channels, -1);
    for (unsigned r = 0; r < played.size(); ++r) {
        for (unsigned ch = 0; ch < m.channels; ++ch) {
            const auto& c = m.cell(played[r].pattern, played[r].row, ch);
            if (c.instrument) instrument[ch] = c.instrument;
            if (c.note >= 1 && c.note <= 96) openSince[ch] = looped(instrument[ch]) ? int(r) : -1;
            if (c.note == 97 || (c.effect == 0x0E && (c.param >> 4) == 0xC)) openSince[ch] = -1;
        }
    }
    for (unsigned ch = 0; ch < m.channels; ++ch) EXPECT_EQ(openSince[ch], -1) << "channel " << ch;
}

TEST(Module, SamplesLoopSeamlesslyAndOneShotsStartAndEndQuietly) {
    for (const auto& ins : song().instruments) {
        const auto& s = ins.samples[0];
        ASSERT_FALSE(s.data.empty());
        if ((s.type & 3) != 0) {
            ASSERT_GT(s.loopLength, 0u);
            ASSERT_LE(s.loopStart + s.loopLength, s.length);
            // The step from the loop's last point back to its first is no bigger than steps inside it.
            int maxStep = 0;
            for (uint32_t i = s.loopStart + 1; i < s.loopStart + s.loopLength; ++i)
                maxStep = std::max(maxStep, std::abs(s.data[i] - s.data[i - 1]));
            EXPECT_LE(std::abs(s.data[s.loopStart] - s.data[s.loopStart + s.loopLength - 1]), maxStep);
        } else {
            EXPECT_LE(std::abs(s.data.front()), 4) << "a one-shot starting away from zero clicks";
            EXPECT_LE(std::abs(s.data.back()), 4) << "a one-shot ending away from zero clicks";
        }
        double sum = 0;
        for (int8_t v : s.data) sum += v;
        EXPECT_LT(std::fabs(sum / s.data.size()), 3.0) << "DC in a sample";
        // The note's volume scales the sample down in the mixer; a sample drawn below full scale would
        // only bring its 8-bit quantisation noise closer to the sound.
        int peak = 0;
        for (int8_t v : s.data) peak = std::max(peak, std::abs(int(v)));
        EXPECT_GE(peak, 126) << "instrument " << (&ins - song().instruments.data()) + 1
                             << " does not reach the full 8-bit range";
    }
}

// The show's part of the song as the intro hears it, judged by left/right correlation, peak and the mean
// power of the sections the show is cut into.
TEST(Module, TheMixIsWideHasHeadroomAndRisesAndFallsWithTheShow) {
    ModulePlayer* raw = nullptr;
    ASSERT_EQ(createModulePlayer(embeddedModuleData(), embeddedModuleSize(), &raw, kAudioRate), CreateOk);
    const std::unique_ptr<ModulePlayer, void (*)(ModulePlayer*)> player(raw, freeModulePlayer);
    setLoopLimit(player.get(), 1);
    std::vector<float> song(size_t(kShowEndSeconds * kAudioRate) * 2);
    renderFrames(player.get(), song.data(), uint32_t(song.size() / 2));

    double leftRight = 0, left = 0, right = 0;
    float peak = 0;
    for (size_t i = 0; i < song.size(); i += 2) {
        leftRight += double(song[i]) * song[i + 1];
        left += double(song[i]) * song[i];
        right += double(song[i + 1]) * song[i + 1];
        peak = std::max({peak, std::fabs(song[i]), std::fabs(song[i + 1])});
    }
    // Drums and bass sit in the middle; pads, leads and their echoes are spread far enough apart that
    // the two sides are no longer one signal.
    EXPECT_LE(leftRight / std::sqrt(left * right), 0.85) << "the mix is close to mono";
    EXPECT_LT(peak, 0.89f) << "less than 1 dB of headroom under full scale";

    // Mean power of [from, to) seconds in dB.
    auto power = [&](double from, double to) {
        const size_t first = size_t(from * kAudioRate) * 2, last = size_t(to * kAudioRate) * 2;
        double sum = 0;
        for (size_t i = first; i < last; ++i) sum += double(song[i]) * song[i];
        return 10.0 * std::log10(sum / double(last - first));
    };
    const double intro = power(0, 10), drop = power(22.2, 26), beforeBreak = power(40, 44.3),
                 breakdown = power(44.3, 45.8), afterBreak = power(45.8, 50), finale = power(59.3, 67);
    EXPECT_GE(drop, intro + 3) << "the drop must hit harder than the intro builds";
    EXPECT_LE(breakdown, beforeBreak - 6) << "the break must fall away";
    EXPECT_LE(breakdown, afterBreak - 6) << "the drums must come back out of the break";
    for (double other : {intro, drop, power(27.2, 33.3), power(33.3, 44.3)})
        EXPECT_GT(finale, other) << "the finale is the loudest part of the show";
}

TEST(Module, HeldInstrumentsReleaseThroughSustainAndFadeout) {
    unsigned withSustain = 0;
    for (const auto& ins : song().instruments) {
        if (!(ins.volumeType & 1)) continue;
        ASSERT_GE(ins.volumePoints, 2u);
        ASSERT_LE(ins.volumePoints, 12u);
        for (unsigned k = 1; k < ins.volumePoints; ++k) EXPECT_GT(ins.volumeTicks[k], ins.volumeTicks[k - 1]);
        if (ins.volumeType & 2) {
            ++withSustain;
            EXPECT_LT(ins.volumeSustain, ins.volumePoints);
            EXPECT_EQ(ins.volumeValues[ins.volumePoints - 1], 0) << "a released note must die away";
            EXPECT_GT(ins.fadeout, 0);
        }
    }
    EXPECT_GE(withSustain, 4u) << "bass, lead, pad and arpeggio hold and release";
}

} // namespace
