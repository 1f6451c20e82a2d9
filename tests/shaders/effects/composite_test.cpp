// The scene composite on its own: two chosen input images, the switches and the cathode-ray look.
#include "tests/shaders/effects/effect_pass_fixture.h"

#include <cmath>

using namespace Orvo::Gfx;

namespace {

constexpr uint32_t kWidth = 64, kHeight = 36;

std::vector<Float4> uniform(Float4 colour) {
    return std::vector<Float4>(kWidth * kHeight, colour);
}

// Eight vertical stripes of eight columns, one colour each.
std::vector<Float4> stripes(const std::vector<Float4>& colours) {
    std::vector<Float4> texels;
    for (uint32_t y = 0; y < kHeight; ++y)
        for (uint32_t x = 0; x < kWidth; ++x) texels.push_back(colours[x / 8]);
    return texels;
}

// A grey that changes along both axes, in large squares.
std::vector<Float4> greyBlocks() {
    std::vector<Float4> texels;
    for (uint32_t y = 0; y < kHeight; ++y)
        for (uint32_t x = 0; x < kWidth; ++x) {
            const float g = float((x / 8 + 3 * (y / 6)) % 5) / 4.0f;
            texels.push_back({g, g, g, 1.0f});
        }
    return texels;
}

} // namespace

class Composite : public EffectPassTest {
  protected:
    // The composite pass over images t0 (back by default) and t1 (front by default).
    void build(const std::vector<Float4>& first, const std::vector<Float4>& second) {
        target = texture(kWidth, kHeight);
        firstImage = image(kWidth, kHeight, first);
        graphicsPass("fullscreen_vs", "composite_ps", target, {firstImage, image(kWidth, kHeight, second)});
    }
    std::vector<Float4> render(float time = 0.0f) {
        renderFrame(time, {float(kWidth), float(kHeight)});
        return read(target);
    }
    TextureRuntime* target = nullptr;
    TextureRuntime* firstImage = nullptr;
};

TEST_F(Composite, BothScenesOffGiveOpaqueBlackWithOrWithoutThePostProcess) {
    build(uniform({0.7f, 0.5f, 0.3f, 1.0f}), uniform({0.2f, 0.9f, 0.4f, 1.0f}));
    setTracks({{"SCENE_ONE", 0.5f},
               {"SCENE_TWO", 0.0f},
               {"GLOBE_BRIGHTNESS", 3.0f},
               {"BLINKY", 1.0f},
               {"SCANLINES", 1.0f}});
    for (float post : {0.0f, 1.0f}) {
        setTrack("ENABLEFINALPSOTPROC", post);
        for (const Float4& p : render(12.3f)) ASSERT_TRUE(near(p, {0, 0, 0, 1}, 0.0f)) << "post " << post;
    }
    // With the scenes on, the post-processed picture is black only when the brightness is 0.
    setTracks({{"SCENE_ONE", 1.0f}, {"SCENE_TWO", 1.0f}});
    for (const Float4& p : render(12.3f)) ASSERT_GT(p.x + p.y + p.z, 0.1f);
    setTrack("GLOBE_BRIGHTNESS", 0.0f);
    for (const Float4& p : render(12.3f)) ASSERT_TRUE(near(p, {0, 0, 0, 1}, 0.0f));
}

TEST_F(Composite, FrontPixelsThatAreNearlyBlackOrNearlyTransparentNeverCover) {
    const Float4 back{0.3f, 0.6f, 0.9f, 1.0f};
    const std::vector<Float4> front = {
        {1.0f, 1.0f, 1.0f, 0.01f},   // alpha at the cut-off
        {1.0f, 1.0f, 1.0f, 0.0f},    // fully transparent
        {0.0f, 0.0139f, 0.0f, 1.0f}, // opaque, luminance just below the cut-off
        {0.0f, 0.0f, 0.1f, 1.0f},    // visibly blue, but its luminance is only 0.0072
        {0.0f, 0.0f, 0.0f, 1.0f},    // opaque black
        {0.02f, 0.02f, 0.02f, 1.0f}, // dark grey above the cut-off: covers
        {1.0f, 0.5f, 0.0f, 0.25f},   // a quarter cover
        {1.0f, 0.5f, 0.0f, 1.0f},    // full cover
    };
    build(uniform(back), stripes(front));
    setTracks({{"SCENE_ONE", 1.0f}, {"SCENE_TWO", 1.0f}});
    const auto pixels = render();
    for (uint32_t stripe = 0; stripe < 8; ++stripe) {
        const Float4 f = front[stripe];
        const float k = stripe < 5 ? 0.0f : f.w;
        const Float4 expected{back.x + k * (f.x - back.x), back.y + k * (f.y - back.y),
                              back.z + k * (f.z - back.z), 1.0f};
        for (uint32_t y = 0; y < kHeight; ++y)
            for (uint32_t x = stripe * 8; x < stripe * 8 + 8; ++x)
                ASSERT_TRUE(near(pixels[y * kWidth + x], expected, 1e-6f)) << "stripe " << stripe;
    }
}

TEST_F(Composite, SwapOrderTruncatesTowardZero) {
    const Float4 first{0.2f, 0.4f, 0.6f, 1.0f}, second{0.9f, 0.5f, 0.1f, 1.0f};
    build(uniform(first), uniform(second));
    setTracks({{"SCENE_ONE", 1.0f}, {"SCENE_TWO", 1.0f}});
    // Kept order: the second image is in front; swapped: the first one.
    for (auto [order, front] : {std::pair{0.0f, second},
                                {0.9f, second},
                                {-0.9f, second},
                                {-1.0f, first},
                                {1.5f, first},
                                {1.0f, first}}) {
        setTrack("SWAPORDER", order);
        for (const Float4& p : render()) ASSERT_TRUE(near(p, front, 1e-6f)) << "SWAPORDER " << order;
    }
    // Either scene alone shows whatever its order, over black.
    setTracks({{"SCENE_ONE", 0.0f}, {"SWAPORDER", 0.0f}});
    for (const Float4& p : render()) ASSERT_TRUE(near(p, second, 1e-6f));
    setTracks({{"SCENE_ONE", 1.0f}, {"SCENE_TWO", 0.0f}});
    for (const Float4& p : render()) ASSERT_TRUE(near(p, first, 1e-6f));
}

TEST_F(Composite, ToneCurveKeepsBlackAndWhiteAndLiftsTheMids) {
    // Every factor after the tone curve (scanlines, pulse, vignette, grain, brightness) is the same for
    // the three channels of a pixel and the same in every frame at one time, so dividing a grey frame
    // by a white frame leaves the tone curve alone: 1 - (1 - g)^(1/e) for e = 1.5, 1.4, 1.5.
    const float g = 0.5f;
    build(uniform({0, 0, 0, 1}), uniform({0, 0, 0, 1}));
    setTracks({{"SCENE_ONE", 1.0f}, {"ENABLEFINALPSOTPROC", 1.0f}, {"GLOBE_BRIGHTNESS", 1.0f}});
    const auto black = render(7.25f);
    for (const Float4& p : black) ASSERT_TRUE(near(p, {0, 0, 0, 1}, 0.0f));

    auto renderUniform = [&](Float4 colour) {
        firstImage->uploadRegion(uniform(colour).data(), kWidth, kHeight, sizeof(Float4));
        return render(7.25f);
    };
    const auto white = renderUniform({1, 1, 1, 1});
    const auto grey = renderUniform({g, g, g, 1});
    const float expected[3] = {1.0f - std::pow(1.0f - g, 1.0f / 1.5f), 1.0f - std::pow(1.0f - g, 1.0f / 1.4f),
                               1.0f - std::pow(1.0f - g, 1.0f / 1.5f)};
    for (size_t i = 0; i < white.size(); ++i) {
        const Float4 w = white[i], m = grey[i];
        // White stays white in every channel: the three channels carry the same factor.
        ASSERT_NEAR(w.x, w.y, 1e-5f);
        ASSERT_NEAR(w.x, w.z, 1e-5f);
        // Pulse 0.96, vignette 0.715-1, grain 1-1.2.
        ASSERT_GT(w.x, 0.96f * 0.71f);
        ASSERT_LT(w.x, 0.96f * 1.21f);
        ASSERT_NEAR(m.x / w.x, expected[0], 1e-4f) << i;
        ASSERT_NEAR(m.y / w.y, expected[1], 1e-4f) << i;
        ASSERT_NEAR(m.z / w.z, expected[2], 1e-4f) << i;
        ASSERT_EQ(w.w, 1.0f);
    }
}

TEST_F(Composite, WithoutFlickerEveryChannelIsFetchedAtOneCoordinate) {
    // On a grey image red and blue share their tone exponent, so they agree exactly when they were
    // fetched at the same place. With FLICKER the tears move red sideways and blue down whenever their
    // noise is high, which at some of these times it is.
    build(greyBlocks(), uniform({0, 0, 0, 0}));
    setTracks({{"SCENE_ONE", 1.0f},
               {"ENABLEFINALPSOTPROC", 1.0f},
               {"GLOBE_BRIGHTNESS", 1.0f},
               {"SCANLINES", 1.0f},
               {"BLINKY", 1.0f}});
    int tornFrames = 0;
    for (int step = 0; step < 40; ++step) {
        const float time = 0.2f * float(step);
        setTrack("FLICKER", 0.0f);
        for (const Float4& p : render(time)) ASSERT_NEAR(p.x, p.z, 1e-6f) << "time " << time;
        setTrack("FLICKER", 0.25f);
        int differing = 0;
        for (const Float4& p : render(time)) differing += std::fabs(p.x - p.z) > 1e-3f;
        tornFrames += differing > 0;
    }
    EXPECT_GT(tornFrames, 0);
}

TEST_F(Composite, PostProcessedPictureAsAPng) {
    // Text-like front layer over a gradient back image, for looking at the cathode-ray look.
    std::vector<Float4> back, front;
    for (uint32_t y = 0; y < kHeight; ++y)
        for (uint32_t x = 0; x < kWidth; ++x) {
            back.push_back({float(x) / kWidth, 0.3f, float(y) / kHeight, 1.0f});
            const bool letter = (x / 4 + y / 6) % 3 == 0 && y > 8 && y < 28;
            front.push_back(letter ? Float4{1, 1, 0.6f, 1} : Float4{0, 0, 0, 1});
        }
    build(back, front);
    setTracks({{"SCENE_ONE", 1.0f},
               {"SCENE_TWO", 1.0f},
               {"ENABLEFINALPSOTPROC", 1.0f},
               {"GLOBE_BRIGHTNESS", 1.0f},
               {"SCANLINES", 1.0f},
               {"BLINKY", 1.0f}});
    const auto pixels = render(24.0f);
    // The letters stay the brightest part of the picture.
    const Float4 letter = pixels[16 * kWidth + 5], gap = pixels[16 * kWidth + 1];
    EXPECT_GT(letter.x + letter.y, gap.x + gap.y + 0.5f);
    writePng("composite_post.png", pixels, kWidth, kHeight);
}
