#pragma once
// A scene on the recording device, with helpers that build resources and passes the way a scene builder
// does: construct, init, register, append.
#include "gfx/buffer_data_runtime.h"
#include "gfx/scene.h"
#include "tests/gfx/recording_fixture.h"

#include <cstdio>
#include <memory>

class SceneTest : public RecordingTest {
  protected:
    std::unique_ptr<Orvo::Gfx::Scene> scene = std::make_unique<Orvo::Gfx::Scene>();
    const std::vector<uint32_t> vertexBlob = recording::fakeShaderBytecode(gpu::ShaderStage::Vertex);
    const std::vector<uint32_t> pixelBlob = recording::fakeShaderBytecode(gpu::ShaderStage::Pixel);
    const std::vector<uint32_t> computeBlob = recording::fakeShaderBytecode(gpu::ShaderStage::Compute);

    Orvo::Gfx::TextureRuntime* addTexture(uint32_t id, uint32_t width, uint32_t height, int32_t format = 3,
                                          bool doubleBuffered = false, bool mips = false) {
        Orvo::Gfx::TextureDesc desc;
        desc.width = width;
        desc.height = height;
        desc.format = format;
        desc.generateMips = mips;
        auto* texture = new Orvo::Gfx::TextureRuntime;
        texture->init(desc, doubleBuffered);
        scene->resources.findOrInsert(id) = texture;
        return texture;
    }

    Orvo::Gfx::BufferRuntime* addBuffer(uint32_t id, uint32_t stride, uint32_t count,
                                        bool doubleBuffered = false) {
        Orvo::Gfx::BufferDesc desc;
        desc.stride = stride;
        desc.countX = count;
        auto* buffer = new Orvo::Gfx::BufferRuntime;
        buffer->init(desc, doubleBuffered);
        scene->resources.findOrInsert(id) = buffer;
        return buffer;
    }

    // A graphics descriptor with working shaders that draws into `target`.
    Orvo::Gfx::GraphicsPassDesc graphicsDesc(Orvo::Gfx::TextureRuntime* target) {
        Orvo::Gfx::GraphicsPassDesc desc;
        desc.vertexBytecode = vertexBlob.data();
        desc.vertexBytecodeSize = uint32_t(vertexBlob.size() * 4);
        desc.pixelBytecode = pixelBlob.data();
        desc.pixelBytecodeSize = uint32_t(pixelBlob.size() * 4);
        if (target) desc.targets.append({target, true});
        return desc;
    }

    Orvo::Gfx::ComputePassDesc computeDesc() {
        Orvo::Gfx::ComputePassDesc desc;
        desc.computeBytecode = computeBlob.data();
        desc.computeBytecodeSize = uint32_t(computeBlob.size() * 4);
        return desc;
    }

    Orvo::Gfx::GraphicsPass* addGraphicsPass(uint32_t key, const Orvo::Gfx::GraphicsPassDesc& desc) {
        auto* pass = new Orvo::Gfx::GraphicsPass;
        Orvo::Gfx::setupGraphicsPass(*pass, desc);
        scene->graphicsPasses.findOrInsert(key) = pass;
        scene->passes.append(Orvo::Gfx::PassListEntry::of(pass));
        return pass;
    }

    Orvo::Gfx::ComputePass* addComputePass(uint32_t key, const Orvo::Gfx::ComputePassDesc& desc) {
        auto* pass = new Orvo::Gfx::ComputePass;
        Orvo::Gfx::setupComputePass(*pass, desc);
        scene->computePasses.findOrInsert(key) = pass;
        scene->passes.append(Orvo::Gfx::PassListEntry::of(pass));
        return pass;
    }

    void addFloatVariables(uint32_t n) {
        for (uint32_t i = 0; i < n; ++i) {
            sync_tracks::ContextVariable v = {};
            std::snprintf(v.name, sizeof(v.name), "TRACK_%u", i);
            v.type = sync_tracks::VariableType::Float;
            const float value = float(i) * 0.5f;
            std::memcpy(v.value, &value, 4);
            scene->variables.append(v);
        }
    }

    // What the frame publication does before each frame: the time, and the header size recorded as the
    // constant buffer's size.
    void publish(float time) {
        Orvo::Gfx::currentFrameContext.header.time = time;
        Orvo::Gfx::contextBufferDesc.constant = true;
        Orvo::Gfx::contextBufferDesc.stride = sizeof(Orvo::Gfx::FrameContextHeader);
        Orvo::Gfx::contextBufferDesc.countX = 1;
    }

    // Renders one frame at `time` and returns its calls.
    std::vector<std::string> frame(float time) {
        takeLog();
        publish(time);
        scene->renderFrame();
        return takeLog();
    }
};

// The calls of a log that start with one of the prefixes, in order.
inline std::vector<std::string> callsOf(const std::vector<std::string>& log,
                                        std::initializer_list<const char*> prefixes) {
    std::vector<std::string> calls;
    for (const std::string& line : log)
        for (const char* prefix : prefixes)
            if (line.rfind(prefix, 0) == 0) calls.push_back(line);
    return calls;
}
