// Damaged and foreign modules: truncations of a valid module and, when MIRELANDT_XM_CORPUS names one, an
// outside corpus of modules (some malformed) load, or are rejected with a reason, and play without fault.
#include "music/mixer.h"
#include "music/replayer.h"
#include "music/wide_mix.h"
#include "tests/music/test_modules.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

using namespace music;

namespace {

// The block's regions end exactly where the measurement said: parser and measurement agree.
void expectLayoutMatchesMeasurement(const ModulePlayer* p) {
    const auto* visitEnd = p->visitTable + 256u * p->songLength;
    EXPECT_EQ(visitEnd, reinterpret_cast<const uint8_t*>(p) + p->blockSize);
}

// Renders the given number of frames and fails on values that are not finite.
void renderChecked(ModulePlayer* p, uint32_t frames) {
    std::vector<float> block(2 * 4096);
    while (frames > 0) {
        uint32_t n = std::min<uint32_t>(frames, 4096);
        renderFrames(p, block.data(), n);
        for (uint32_t i = 0; i < 2 * n; ++i)
            ASSERT_TRUE(std::isfinite(block[i])) << "frame " << p->framesRendered;
        frames -= n;
    }
}

// The first `frames` frames of the module on each mixing tier the CPU has: the same bytes as the scalar
// loops give. A module that plays the random waveform draws on the one generator the whole run shares, so
// two renders in one process differ whatever the tier; such a module is said so and left out (returns
// false), as a second scalar render shows.
bool expectEveryTierMixesTheSame(const std::vector<uint8_t>& bytes, uint32_t frames) {
    const MixTier before = mixTier();
    std::vector<float> scalar(2 * size_t(frames)), other(2 * size_t(frames));
    setMixTier(MixTier::Scalar);
    renderFrames(loadPlayer(bytes).get(), scalar.data(), frames);
    renderFrames(loadPlayer(bytes).get(), other.data(), frames);
    const bool repeatable = std::memcmp(scalar.data(), other.data(), scalar.size() * sizeof(float)) == 0;
    for (MixTier tier : {MixTier::Avx2, MixTier::Avx512}) {
        if (!repeatable || setMixTier(tier) != tier) continue;
        renderFrames(loadPlayer(bytes).get(), other.data(), frames);
        EXPECT_EQ(std::memcmp(scalar.data(), other.data(), scalar.size() * sizeof(float)), 0)
            << mixTierName(tier);
    }
    setMixTier(before);
    if (!repeatable) std::printf("plays the shared random waveform: tiers not compared in one process\n");
    return repeatable;
}

// A module using most of the format: envelopes, both sample widths, loops, effects on every channel.
std::vector<uint8_t> richModule() {
    XmModule song = makeSong(8, 4, 3);
    song.addPattern(4);
    song.order = {0, 1, 0};
    song.restartPosition = 1;
    XmInstrument& ins = song.instruments[0];
    ins.volumeEnvelope.points = {{0, 64}, {8, 32}, {16, 48}};
    ins.volumeEnvelope.type = 7;
    ins.volumeEnvelope.sustainPoint = 1;
    ins.volumeEnvelope.loopStart = 1;
    ins.volumeEnvelope.loopEnd = 2;
    ins.panningEnvelope.points = {{0, 0}, {10, 64}};
    ins.panningEnvelope.type = 1;
    ins.fadeout = 500;
    ins.vibratoDepth = 8;
    ins.vibratoRate = 20;
    XmInstrument wide;
    XmSample s;
    s.sixteenBit = true;
    for (int i = 0; i < 300; ++i) s.points.push_back(int16_t(i * 200 - 30000));
    s.loop = XmLoop::PingPong;
    s.loopStart = 100;
    s.loopLength = 400;
    wide.samples.push_back(s);
    song.instruments.push_back(wide);
    const XmCell cells[] = {
        {kMiddleC, 1, 0x40, EffectArpeggio, 0x37},        {kMiddleC + 5, 2, 0, EffectVibrato, 0x46},
        {kMiddleC - 7, 1, 0x65, EffectTremolo, 0x33},     {kNoteKeyOff, 0, 0, EffectKeyOff, 1},
        {kMiddleC, 2, 0xF3, EffectTonePortamento, 9},     {0, 0, 0, EffectExtended, 0x92},
        {kMiddleC + 2, 1, 0, EffectMultiRetrigger, 0x62}, {0, 0, 0xB3, EffectTremor, 0x21}};
    for (uint16_t row = 0; row < 8; ++row)
        for (uint16_t ch = 0; ch < 4; ++ch) song.cell(0, row, ch) = cells[(row + ch) % 8];
    song.cell(1, 3, 2) = {0, 0, 0, EffectPatternBreak, 0x02};
    return writeXm(song);
}

TEST(Truncation, EveryCutLoadsAndPlays) {
    std::vector<uint8_t> bytes = richModule();
    std::vector<size_t> cuts;
    for (size_t n = 0; n < 400; ++n) cuts.push_back(n); // header and patterns byte by byte
    for (size_t n = 400; n < bytes.size(); n += 7) cuts.push_back(n);
    for (size_t n : cuts) {
        std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + long(n));
        // Copied so that a read past the cut would leave the allocation ASan watches.
        int check = validateModule(cut.data(), uint32_t(n));
        PlayerPtr p = loadPlayer(cut);
        ASSERT_EQ(bool(p), check == ModuleValid) << n;
        if (!p) continue;
        expectLayoutMatchesMeasurement(p.get());
        renderChecked(p.get(), 44100);
    }
}

// The intro's own module, the whole song: the same bytes on every tier.
TEST(MixTiers, TheIntrosModuleIsTheSameOnEveryTier) {
    std::ifstream in(MIRELANDT_TEST_MODULE, std::ios::binary);
    ASSERT_TRUE(in) << MIRELANDT_TEST_MODULE;
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(expectEveryTierMixesTheSame(bytes, 70 * 44100));
}

// The folder named at configuration, empty when none was.
const std::string kCorpus = MIRELANDT_XM_CORPUS;

std::vector<std::string> corpusFiles() {
    std::vector<std::string> files;
    std::error_code error;
    if (kCorpus.empty()) return files;
    for (const auto& entry : std::filesystem::directory_iterator(kCorpus, error))
        if (entry.path().extension() == ".xm") files.push_back(entry.path().filename().string());
    std::sort(files.begin(), files.end());
    return files;
}

// The corpus tests below exist only for a named folder; without one this test says so as a skip, and
// with one it fails when the folder holds no modules (a wrong path, say) rather than letting them vanish.
TEST(XmCorpus, FolderHoldsModules) {
    if (kCorpus.empty())
        GTEST_SKIP() << "no outside XM corpus: set MIRELANDT_XM_CORPUS (environment or CMake cache) to a "
                        "folder of .xm modules to run the corpus-wide tests";
    ASSERT_TRUE(std::filesystem::is_directory(kCorpus)) << kCorpus;
    EXPECT_FALSE(corpusFiles().empty()) << "no .xm files in " << kCorpus;
}

class Corpus : public testing::TestWithParam<std::string> {};

TEST_P(Corpus, LoadsOrIsRejectedAndPlaysTenSeconds) {
    std::ifstream in(kCorpus + "/" + GetParam(), std::ios::binary);
    ASSERT_TRUE(in) << GetParam();
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    int check = validateModule(bytes.data(), uint32_t(bytes.size()));
    PlayerPtr p = loadPlayer(bytes);
    if (check != ModuleValid) {
        EXPECT_FALSE(p);
        RecordProperty("rejected", describeModuleCheck(check));
        std::printf("rejected: %s\n", describeModuleCheck(check));
        return;
    }
    uint64_t blockSize = measureModule(bytes.data(), uint32_t(bytes.size()));
    if (!p) {
        // Data the format does not describe (packed samples, say) can add up to absurd sizes; such a
        // module is refused like an allocation failure, and only then.
        EXPECT_GT(blockSize, kMaxPlayerBlockSize);
        ModulePlayer* none = nullptr;
        EXPECT_EQ(createModulePlayer(bytes.data(), uint32_t(bytes.size()), &none), CreateOutOfMemory);
        std::printf("rejected: needs a block of %llu bytes\n", (unsigned long long)blockSize);
        return;
    }
    EXPECT_EQ(p->blockSize, blockSize);
    expectLayoutMatchesMeasurement(p.get());
    renderChecked(p.get(), 10 * 44100);
    if (!expectEveryTierMixesTheSame(bytes, 10 * 44100))
        RecordProperty("tiers", "not compared: the shared random waveform");

    // A few cuts through the file load and play a little too.
    for (size_t part = 1; part < 8; ++part) {
        std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + long(bytes.size() * part / 8));
        PlayerPtr q = loadPlayer(cut);
        if (!q) continue;
        expectLayoutMatchesMeasurement(q.get());
        renderChecked(q.get(), 4410);
    }
}

std::string testName(const testing::TestParamInfo<std::string>& info) {
    std::string name;
    for (char c : info.param) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(XmCorpus, Corpus, testing::ValuesIn(corpusFiles()), testName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(Corpus);

} // namespace
