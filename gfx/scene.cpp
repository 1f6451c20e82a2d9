#include "gfx/scene.h"

#include "gfx/execute_pass.h"
#include "gfx/frame_context.h"

#include <cstring>
#include <unordered_set>

namespace Orvo::Gfx {

namespace {

constexpr uint32_t kHeaderSize = sizeof(FrameContextHeader);

// Deletes every object of the registry once, however many ids it is registered under.
template <class T> void deleteRegistered(const IdRegistry<T>& registry) {
    std::unordered_set<T*> seen;
    registry.forEach([&](uint32_t, T* object) {
        if (object && seen.insert(object).second) delete object;
    });
}

} // namespace

Scene::~Scene() {
    deleteRegistered(resources);
    deleteRegistered(graphicsPasses);
    deleteRegistered(computePasses);
}

bool passIsActive(int32_t activation, float windowStart, float windowEnd, float time, bool firstFrame) {
    switch (activation) {
    case ActivationAlways:
        return true;
    case ActivationFirstFrame:
        return firstFrame;
    case ActivationWindow:
        return windowStart <= time && time <= windowEnd;
    }
    return false;
}

TextureRuntime* Scene::renderFrame() {
    packVariables(packer, variables);
    // Whole 16-byte registers; the padding is zeroed so that nothing undefined is uploaded.
    const uint32_t length = kHeaderSize + packer.packedLength;
    const uint32_t size = (length + 15) / 16 * 16;
    contextBlock_.resize(size);
    uint8_t* const block = contextBlock_.data();
    std::memcpy(block, &currentFrameContext.header, kHeaderSize);
    if (packer.packedLength) std::memcpy(block + kHeaderSize, packer.packed.data(), packer.packedLength);
    std::memset(block + length, 0, size - length);
    const float time = currentFrameContext.header.time;

    resources.forEach([](uint32_t, Resource* resource) {
        if (resource) resource->frameUpdate();
    });
    plan_.plan(*this, time, firstFrame, skipUnneededPasses);
    if (timer) timer->beginFrame();
    for (uint32_t position = 0; position < passes.count; ++position) {
        if (!plan_.runs(position)) continue;
        const PassListEntry& entry = passes[position];
        if (timer) timer->beginPass(position);
        if (entry.kind == PassListGraphics)
            executeGraphicsPass(*entry.graphics, block, size);
        else
            executeComputePass(*entry.compute, block, size);
        if (timer) timer->endPass();
    }
    if (timer) timer->endFrame();
    resources.forEach([](uint32_t, Resource* resource) {
        if (resource && resource->doubleBuffered) resource->flipped = !resource->flipped;
    });
    firstFrame = false;
    return output;
}

} // namespace Orvo::Gfx
