// Loads arbitrary bytes as a module and plays a few seconds of it.
#include "base/show_constants.h"
#include "music/mixer.h"
#include "music/module_player.h"

#include <cstddef>
#include <cstdint>

using namespace base;
using namespace music;

namespace {
// Keeps each input cheap: huge (but allowed) blocks would only test the allocator.
constexpr uint64_t kMaxFuzzBlock = 64u << 20;
constexpr uint32_t kSeconds = 3;
constexpr uint32_t kChunk = 4096;
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > UINT32_MAX) return 0;
    auto length = uint32_t(size);
    if (measureModule(data, length) > kMaxFuzzBlock) return 0;
    ModulePlayer* player = nullptr;
    // The intro's rate, and a low one that runs the same ticks over far fewer frames (and longer steps).
    uint32_t rate = (size & 2) ? 8000 : kAudioRate;
    if (createModulePlayer(data, length, &player, rate) != CreateOk) return 0;
    setLoopLimit(player, uint8_t(size & 1)); // both silent-after-loop and endless playback
    static float buffer[2 * kChunk];
    for (uint32_t done = 0; done < kSeconds * rate; done += kChunk) renderFrames(player, buffer, kChunk);
    freeModulePlayer(player);
    return 0;
}
