// The show's mirror pass over a gradient, rendered offscreen into 8-bit RGBA, read back, checked
// and kept as a PNG beside the test binary for a person to look at.
#include "tests/platform/gpu_fixture.h"

#include "platform/shared_samplers.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

using Snapshot = GpuTest;

TEST_F(Snapshot, MirrorPassOverAGradientIsSymmetricAndKeepsTheLeftHalf) {
    constexpr uint32_t kWidth = 256, kHeight = 128;
    // Red grows to the right, green downwards; a white block marks the top-left corner.
    std::vector<Float4> texels;
    for (uint32_t y = 0; y < kHeight; ++y)
        for (uint32_t x = 0; x < kWidth; ++x) {
            const bool marker = x < 32 && y < 32;
            texels.push_back(marker ? Float4{1, 1, 1, 1} : Float4{x / 255.0f, y / 127.0f, 0.25f, 1.0f});
        }
    auto source = textureView(kWidth, kHeight, texels);
    auto samplers = gpu::bindSharedSamplers(*device, *context);
    gpu::ShaderResourceView* inputs[] = {source.get()};
    context->PSSetShaderResources(0, 1, inputs);
    auto block = contextBlock({{"mirrorX", 1.0f}});
    gpu::Buffer* constants[] = {block.get()};
    context->PSSetConstantBuffers(8, 1, constants);
    Target target = renderTarget(kWidth, kHeight, gpu::Format::R8G8B8A8_UNORM);
    drawFullscreen(target, vertexShader("fullscreen_vs").get(), pixelShader("mirror_ps").get());

    std::vector<uint8_t> pixels(kWidth * kHeight * 4);
    ASSERT_TRUE(context->ReadBack(target.texture.get(), 0, pixels.data(), pixels.size(), kWidth * 4));
    auto at = [&](uint32_t x, uint32_t y, int c) { return int(pixels[(y * kWidth + x) * 4 + c]); };
    for (uint32_t y = 0; y < kHeight; ++y)
        for (uint32_t x = 0; x < kWidth / 2; ++x)
            for (int c = 0; c < 4; ++c) {
                const float original = c == 0   ? texels[y * kWidth + x].x
                                       : c == 1 ? texels[y * kWidth + x].y
                                       : c == 2 ? texels[y * kWidth + x].z
                                                : 1.0f;
                ASSERT_NEAR(at(x, y, c), original * 255.0f, 1.0) << x << "," << y << " channel " << c;
                ASSERT_EQ(at(x, y, c), at(kWidth - 1 - x, y, c)) << x << "," << y << " channel " << c;
            }
    ASSERT_TRUE(stbi_write_png(MIRELANDT_SNAPSHOT_PNG, kWidth, kHeight, 4, pixels.data(), kWidth * 4));
}
