#pragma once
// A scene on the renderer the run asks for (Vulkan on the machine's driver, lavapipe here, unless
// MIRELANDT_GPU names another) with the validation layer on: every validation message fails the test; with
// no device the test is skipped. Frames are rendered at a given frame number and float textures read back.
#include "gfx/install_frame_context.h"
#include "gfx/scene.h"
#include "tests/platform/gpu_fixture.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

class GpuSceneTest : public ::testing::Test {
  protected:
    struct Texel {
        float r, g, b, a;
    };

    gpu::Ref<gpu::Device> device;
    gpu::Ref<gpu::DeviceContext> context;
    std::vector<std::string> messages;
    std::unique_ptr<Orvo::Gfx::Scene> scene;

    void SetUp() override {
        std::string error;
        if (!gpu::CreateDevice(validatedOptions(&messages), &device, &context, &error))
            GTEST_SKIP() << "no device, GPU test skipped: " << error;
        ASSERT_TRUE(rendersAsAsked(device->GetRenderer()));
        Orvo::Gfx::FrameContext frameContext = {};
        frameContext.device = device.get();
        frameContext.immediateContext = context.get();
        Orvo::Gfx::installFrameContext(frameContext);
        scene = std::make_unique<Orvo::Gfx::Scene>();
    }

    void TearDown() override {
        scene.reset();
        Orvo::Gfx::releaseFrameContext();
        context.reset();
        device.reset();
        for (const std::string& message : messages) ADD_FAILURE() << "validation: " << message;
    }

    void renderFrame(uint32_t frame) {
        Orvo::Gfx::currentFrameContext.header.frame = frame;
        Orvo::Gfx::currentFrameContext.header.time = float(frame) / 60.0f;
        Orvo::Gfx::contextBufferDesc.stride =
            sizeof(Orvo::Gfx::FrameContextHeader); // what the frame publication records
        scene->renderFrame();
    }

    // A texture of R32G32B32A32_FLOAT texels (format 4), read back whole.
    std::vector<Texel> readTexels(const Orvo::Gfx::TextureRuntime& texture) {
        std::vector<Texel> texels(size_t(texture.desc.width) * texture.desc.height);
        EXPECT_TRUE(context->ReadBack(texture.getResource(false), 0, texels.data(),
                                      texels.size() * sizeof(Texel),
                                      texture.desc.width * uint32_t(sizeof(Texel))))
            << device->GetLastError();
        return texels;
    }
};
