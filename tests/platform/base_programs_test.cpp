// The six base programs drawn on the device and read back.
#include "tests/platform/gpu_fixture.h"

namespace {

constexpr uint32_t kWidth = 8, kHeight = 6;

// A texture whose every texel says where it is: (x, y, 100 x + y, 1).
std::vector<Float4> gradient(uint32_t width, uint32_t height) {
    std::vector<Float4> texels;
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) texels.push_back({float(x), float(y), float(100 * x + y), 1.0f});
    return texels;
}

} // namespace

using BasePrograms = GpuTest;

TEST_F(BasePrograms, FullscreenTriangleCoversTheTargetWithCoordinatesFromTheTopLeft) {
    Target target = renderTarget(kWidth, kHeight);
    const float clear[4] = {-1.0f, -1.0f, -1.0f, -1.0f};
    context->ClearRenderTargetView(target.view.get(), clear);
    drawFullscreen(target, vertexShader("fullscreen_vs").get(), pixelShader("uv_ps").get());
    const auto pixels = readFloat4(target.texture.get(), kWidth * kHeight);
    // Corners (0,0), (2,0), (0,2) interpolate to the pixel centre's position over the size.
    for (uint32_t y = 0; y < kHeight; ++y)
        for (uint32_t x = 0; x < kWidth; ++x)
            EXPECT_TRUE(
                near(pixels[y * kWidth + x], {(x + 0.5f) / kWidth, (y + 0.5f) / kHeight, 0.0f, 1.0f}, 1e-5f));
}

TEST_F(BasePrograms, FullscreenTriangleIsFrontFacingInDirect3DTerms) {
    // Ids 0, 1, 2 run clockwise on screen, Direct3D's front face by default.
    for (gpu::CullMode cull : {gpu::CullMode::BACK, gpu::CullMode::FRONT}) {
        gpu::RasterizerDesc desc;
        desc.CullMode = cull;
        auto state = device->CreateRasterizerState(desc);
        context->RSSetState(state.get());
        Target target = renderTarget(4, 4);
        const float clear[4] = {-1.0f, -1.0f, -1.0f, -1.0f};
        context->ClearRenderTargetView(target.view.get(), clear);
        drawFullscreen(target, vertexShader("fullscreen_vs").get(), pixelShader("uv_ps").get());
        const Float4 pixel = readFloat4(target.texture.get(), 16)[0];
        if (cull == gpu::CullMode::BACK)
            EXPECT_FLOAT_EQ(pixel.w, 1.0f) << "culled although front-facing";
        else
            EXPECT_FLOAT_EQ(pixel.w, -1.0f) << "drawn although culled";
    }
}

TEST_F(BasePrograms, OutputPassFlipsVerticallyAndSamplesThroughSlotThree) {
    auto source = textureView(4, 4, gradient(4, 4));
    // Slot 0 filters linearly and slot 3 takes the nearest texel: at twice the size only the
    // nearest texel gives the source values exactly.
    gpu::SamplerDesc linear;
    gpu::SamplerDesc point;
    point.Filter = gpu::Filter::MIN_MAG_MIP_POINT;
    auto linearSampler = device->CreateSamplerState(linear);
    auto pointSampler = device->CreateSamplerState(point);
    gpu::SamplerState* slot0[] = {linearSampler.get()};
    gpu::SamplerState* slot3[] = {pointSampler.get()};
    context->PSSetSamplers(0, 1, slot0);
    context->PSSetSamplers(3, 1, slot3);
    gpu::ShaderResourceView* inputs[] = {source.get()};
    context->PSSetShaderResources(0, 1, inputs);
    Target target = renderTarget(8, 8);
    drawFullscreen(target, vertexShader("output_vs").get(), pixelShader("output_ps").get());
    const auto pixels = readFloat4(target.texture.get(), 64);
    for (uint32_t y = 0; y < 8; ++y)
        for (uint32_t x = 0; x < 8; ++x) {
            const float sx = float(x / 2), sy = float(3 - y / 2);
            EXPECT_TRUE(near(pixels[y * 8 + x], {sx, sy, 100 * sx + sy, 1.0f}, 1e-5f)) << x << "," << y;
        }
}

namespace {

struct MirrorCase {
    const char* program;
    float mirrorX, mirrorY, mirrorX2, mirrorY2;
    bool horizontal, vertical; // what the program is expected to do
};

} // namespace

class MirrorPrograms : public GpuTest, public ::testing::WithParamInterface<MirrorCase> {};

TEST_P(MirrorPrograms, MirrorOnlyWhenTheirOwnSwitchIsAboveOneHalf) {
    const MirrorCase c = GetParam();
    auto source = textureView(kWidth, kHeight, gradient(kWidth, kHeight));
    gpu::SamplerDesc point;
    point.Filter = gpu::Filter::MIN_MAG_MIP_POINT;
    auto sampler = device->CreateSamplerState(point);
    gpu::SamplerState* samplers[] = {sampler.get()};
    context->PSSetSamplers(0, 1, samplers);
    gpu::ShaderResourceView* inputs[] = {source.get()};
    context->PSSetShaderResources(0, 1, inputs);
    auto block = contextBlock(
        {{"mirrorX", c.mirrorX}, {"mirrorY", c.mirrorY}, {"mirrorX2", c.mirrorX2}, {"mirrorY2", c.mirrorY2}});
    gpu::Buffer* constants[] = {block.get()};
    context->PSSetConstantBuffers(8, 1, constants);
    Target target = renderTarget(kWidth, kHeight);
    drawFullscreen(target, vertexShader("fullscreen_vs").get(), pixelShader(c.program).get());
    const auto pixels = readFloat4(target.texture.get(), kWidth * kHeight);
    for (uint32_t y = 0; y < kHeight; ++y)
        for (uint32_t x = 0; x < kWidth; ++x) {
            // Left half copied onto the right; bottom half copied onto the top.
            const uint32_t sx = c.horizontal && x >= kWidth / 2 ? kWidth - 1 - x : x;
            const uint32_t sy = c.vertical && y < kHeight / 2 ? kHeight - 1 - y : y;
            EXPECT_TRUE(
                near(pixels[y * kWidth + x], {float(sx), float(sy), float(100 * sx + sy), 1.0f}, 1e-5f))
                << x << "," << y;
        }
}

INSTANTIATE_TEST_SUITE_P(Switches, MirrorPrograms,
                         ::testing::Values(MirrorCase{"mirror_ps", 0.0f, 0.0f, 1.0f, 1.0f, false, false},
                                           MirrorCase{"mirror_ps", 0.5f, 0.5f, 0.0f, 0.0f, false, false},
                                           MirrorCase{"mirror_ps", 0.5001f, 0.0f, 0.0f, 0.0f, true, false},
                                           MirrorCase{"mirror_ps", 0.0f, 1.0f, 0.0f, 0.0f, false, true},
                                           MirrorCase{"mirror_ps", 1.0f, 1.0f, 0.0f, 0.0f, true, true},
                                           MirrorCase{"mirror2_ps", 1.0f, 1.0f, 0.5f, 0.5f, false, false},
                                           MirrorCase{"mirror2_ps", 0.0f, 0.0f, 0.75f, 0.0f, true, false},
                                           MirrorCase{"mirror2_ps", 0.0f, 0.0f, 0.0f, 0.75f, false, true}));

TEST_F(BasePrograms, VertexColourPassesTheInterpolatedColourThrough) {
    Target target = renderTarget(kWidth, kHeight);
    drawFullscreen(target, vertexShader("colour_corners_vs").get(), pixelShader("vertex_colour_ps").get());
    const auto pixels = readFloat4(target.texture.get(), kWidth * kHeight);
    for (uint32_t y = 0; y < kHeight; ++y)
        for (uint32_t x = 0; x < kWidth; ++x) {
            // Barycentric weights of corners (0,0) red, (2,0) green, (0,2) blue at the pixel centre.
            const float u = (x + 0.5f) / kWidth, v = (y + 0.5f) / kHeight;
            EXPECT_TRUE(near(pixels[y * kWidth + x], {1.0f - u / 2 - v / 2, u / 2, v / 2, 0.5f}, 1e-5f))
                << x << "," << y;
        }
}
