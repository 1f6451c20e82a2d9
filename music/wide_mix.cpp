// The choice of the wide tier, once at start from what the CPU has and what the environment asks, and the
// calls into its kernels.
#include "music/wide_mix.h"

#include "music/wide_mix_kernels.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace music {

namespace {

MixTier bestTierOfCpu() {
#ifdef MIRELANDT_WIDE_MIX
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512vbmi") &&
        __builtin_cpu_supports("bmi2"))
        return MixTier::Avx512;
    if (__builtin_cpu_supports("avx2")) return MixTier::Avx2;
#endif
    return MixTier::Scalar;
}

// The tier the environment asks for, or the CPU's best; a request the CPU cannot serve says so.
MixTier startingTier() {
    const MixTier best = bestTierOfCpu();
    const char* off = std::getenv("MIRELANDT_NO_WIDE_MIX");
    if (off && std::strcmp(off, "1") == 0) return MixTier::Scalar;
    const char* asked = std::getenv("MIRELANDT_MIX_TIER");
    if (!asked) return best;
    for (MixTier tier : {MixTier::Scalar, MixTier::Avx2, MixTier::Avx512}) {
        if (std::strcmp(asked, mixTierName(tier)) != 0) continue;
        if (tier <= best) return tier;
        std::fprintf(stderr, "MIRELANDT_MIX_TIER=%s: this CPU lacks it; mixing with %s\n", asked,
                     mixTierName(best));
        return best;
    }
    std::fprintf(stderr, "MIRELANDT_MIX_TIER=%s: not scalar, avx2 or avx512; mixing with %s\n", asked,
                 mixTierName(best));
    return best;
}

std::atomic<MixTier>& tierInUse() {
    static std::atomic<MixTier> tier{startingTier()};
    return tier;
}

} // namespace

const char* mixTierName(MixTier tier) {
    return tier == MixTier::Avx512 ? "avx512" : tier == MixTier::Avx2 ? "avx2" : "scalar";
}

MixTier mixTier() {
    return tierInUse().load(std::memory_order_relaxed);
}

MixTier setMixTier(MixTier wanted) {
    const MixTier best = bestTierOfCpu();
    tierInUse().store(wanted <= best ? wanted : best, std::memory_order_relaxed);
    return mixTier();
}

bool mixRunWide(const int8_t* data, uint32_t length, const UnitRun& run, float leftGain, float rightGain,
                float* left, float* right) {
#ifdef MIRELANDT_WIDE_MIX
    switch (mixTier()) {
    case MixTier::Avx512:
        return mixRunAvx512(data, length, run, leftGain, rightGain, left, right);
    case MixTier::Avx2:
        return mixRunAvx2(data, length, run, leftGain, rightGain, left, right);
    case MixTier::Scalar:
        break;
    }
#else
    (void)data, (void)length, (void)run, (void)leftGain, (void)rightGain, (void)left, (void)right;
#endif
    return false;
}

bool mixPointsWide(const int8_t* data, uint32_t length, const float* positions, uint32_t count,
                   bool ascending, float leftGain, float rightGain, float* left, float* right) {
#ifdef MIRELANDT_WIDE_MIX
    switch (mixTier()) {
    case MixTier::Avx512:
        return mixPointsAvx512(data, length, positions, count, ascending, leftGain, rightGain, left, right);
    case MixTier::Avx2:
        return mixPointsAvx2(data, length, positions, count, ascending, leftGain, rightGain, left, right);
    case MixTier::Scalar:
        break;
    }
#else
    (void)data, (void)length, (void)positions, (void)count, (void)ascending, (void)leftGain, (void)rightGain,
        (void)left, (void)right;
#endif
    return false;
}

} // namespace music
