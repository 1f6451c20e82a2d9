// Nothing is allocated while playing: the player lives in the one block made at creation. The test
// executable is linked with malloc, calloc and realloc wrapped, and replaces operator new, so every
// allocation the player could make is counted.
#include "music/mixer.h"
#include "music/replayer.h"
#include "tests/music/test_modules.h"

#include <gtest/gtest.h>

#include <atomic>
#include <new>

using namespace music;

namespace {
std::atomic<long> allocations{0};
} // namespace

extern "C" {
void* __real_malloc(size_t size);
void* __real_calloc(size_t count, size_t size);
void* __real_realloc(void* p, size_t size);
void __real_free(void* p);
void __wrap_free(void* p) {
    __real_free(p);
}
void* __wrap_malloc(size_t size) {
    ++allocations;
    return __real_malloc(size);
}
void* __wrap_calloc(size_t count, size_t size) {
    ++allocations;
    return __real_calloc(count, size);
}
void* __wrap_realloc(void* p, size_t size) {
    ++allocations;
    return __real_realloc(p, size);
}
}

void* operator new(size_t size) {
    ++allocations;
    if (void* p = __real_malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    __real_free(p);
}
void operator delete(void* p, size_t) noexcept {
    __real_free(p);
}

namespace {

TEST(Allocation, OnlyCreationAllocates) {
    XmModule song = makeSong(4, 8, 3);
    for (uint16_t ch = 0; ch < 8; ++ch) {
        song.cell(0, 0, ch) = {uint8_t(kMiddleC + ch), 1, 0, EffectVibrato, 0x44};
        song.cell(0, 2, ch) = {uint8_t(kMiddleC - ch), 1, 0, EffectExtended, 0x92};
    }
    std::vector<uint8_t> bytes = writeXm(song);
    std::vector<float> buffer(2 * 4096);

    long before = allocations;
    ModulePlayer* player = nullptr;
    ASSERT_EQ(createModulePlayer(bytes.data(), uint32_t(bytes.size()), &player, 44100), CreateOk);
    EXPECT_EQ(allocations - before, 1); // the block

    before = allocations;
    for (int i = 0; i < 100; ++i) renderFrames(player, buffer.data(), 4096); // several song loops
    setLoopLimit(player, 1);
    for (int i = 0; i < 20; ++i) renderFrames(player, buffer.data(), 4096); // silent from here on
    EXPECT_EQ(allocations - before, 0);
    EXPECT_GE(player->loopCount, 1);
    freeModulePlayer(player);
}

} // namespace
