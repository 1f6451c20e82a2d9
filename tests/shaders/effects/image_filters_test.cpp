// The focus blurs and the light-streak filter on their own over a chosen picture.
#include "tests/shaders/effects/effect_pass_fixture.h"

#include <cmath>

using namespace base;

using namespace Orvo::Gfx;

namespace {

// Every texel different, alpha below 1 so that a copy is told apart from a filtered pixel.
Float4 texelOf(uint32_t x, uint32_t y) {
    return {float(x) / 40.0f, float(y) / 50.0f, float((x * y) % 7) / 10.0f, 0.25f + float(x % 3) * 0.25f};
}

std::vector<Float4> picture(uint32_t width, uint32_t height) {
    std::vector<Float4> texels;
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) texels.push_back(texelOf(x, y));
    return texels;
}

} // namespace

class ImageFilter : public EffectPassTest {
  protected:
    void build(const char* program, uint32_t width, uint32_t height, const std::vector<Float4>& texels) {
        input = texels;
        target = texture(width, height);
        graphicsPass("fullscreen_vs", program, target, {image(width, height, texels)});
    }
    std::vector<Float4> render() {
        renderFrame(0.0f, {float(target->desc.width), float(target->desc.height)});
        return read(target);
    }
    // Sampling at the texel centres reproduces the texel up to interpolation rounding.
    void expectCopy(const std::vector<Float4>& pixels, const char* what) {
        for (size_t i = 0; i < pixels.size(); ++i)
            ASSERT_TRUE(near(pixels[i], input[i], 1e-5f)) << what << " " << i;
    }
    std::vector<Float4> input;
    TextureRuntime* target = nullptr;
};

struct BlurProgram {
    const char* program;
    const char* ownSwitch;
    const char* otherSwitch;
};

void PrintTo(const BlurProgram& p, std::ostream* out) {
    *out << p.program;
}

class FocusBlur : public ImageFilter, public ::testing::WithParamInterface<BlurProgram> {
  protected:
    // An odd height puts the middle of row 18 exactly at v = 0.5.
    static constexpr uint32_t kWidth = 32, kHeight = 37;
    void SetUp() override {
        ImageFilter::SetUp();
        build(GetParam().program, kWidth, kHeight, picture(kWidth, kHeight));
    }

    // The 17 x 17 Gaussian at pixel (x, y), taps at whole texels, clamped at the edges.
    Float4 gaussian(int x, int y, float maxWidth) {
        const float f = std::pow(std::fabs(pixelUv(0, uint32_t(y), kWidth, kHeight).y - 0.5f), 1.5f);
        const float sigma = (maxWidth - 0.01f) * f + 0.01f;
        double r = 0, g = 0, b = 0, sum = 0;
        for (int j = -8; j <= 8; ++j)
            for (int i = -8; i <= 8; ++i) {
                const double w = std::exp(-(i * i + j * j) / (2.0 * sigma * sigma));
                const Float4 t = texelOf(uint32_t(std::clamp(x + i, 0, int(kWidth) - 1)),
                                         uint32_t(std::clamp(y + j, 0, int(kHeight) - 1)));
                r += w * t.x;
                g += w * t.y;
                b += w * t.z;
                sum += w;
            }
        return {float(r / sum), float(g / sum), float(b / sum), 1.0f};
    }
};

TEST_P(FocusBlur, SwitchedOffOrTooNarrowThePassCopiesItsInput) {
    setTracks({{"DOFBLUR", 5.0f}, {GetParam().otherSwitch, 1.0f}});
    for (float off : {0.0f, 0.99f, -0.99f}) {
        setTrack(GetParam().ownSwitch, off);
        expectCopy(render(), "switch below 1");
    }
    setTracks({{GetParam().ownSwitch, 1.0f}, {"DOFBLUR", 0.01f}});
    expectCopy(render(), "DOFBLUR 0.01");
}

TEST_P(FocusBlur, BlurWidensAwayFromTheMiddleRowWhichStaysSharp) {
    setTracks({{GetParam().ownSwitch, 1.0f}, {"DOFBLUR", 1000.0f}});
    const auto wide = render();
    for (uint32_t x = 0; x < kWidth; ++x) {
        ASSERT_TRUE(near(wide[18 * kWidth + x], input[18 * kWidth + x], 1e-5f)) << x;
        ASSERT_EQ(wide[0 * kWidth + x].w, 1.0f) << "blurred pixels are opaque";
        ASSERT_EQ(wide[36 * kWidth + x].w, 1.0f);
    }
    setTrack("DOFBLUR", 3.0f);
    const auto pixels = render();
    for (int y : {0, 4, 10, 26, 36})
        for (int x : {0, 1, 15, 31})
            ASSERT_TRUE(near(pixels[y * kWidth + x], gaussian(x, y, 3.0f), 2e-5f)) << x << "," << y;
    // Rows near the middle stay below the width at which the blur starts.
    for (uint32_t y = 15; y <= 21; ++y)
        for (uint32_t x = 0; x < kWidth; ++x)
            ASSERT_TRUE(near(pixels[y * kWidth + x], input[y * kWidth + x], 1e-5f)) << x << "," << y;
}

INSTANTIATE_TEST_SUITE_P(BothPasses, FocusBlur,
                         ::testing::Values(BlurProgram{"dof_blur_ps", "DOF1", "DOF2"},
                                           BlurProgram{"dof_blur2_ps", "DOF2", "DOF1"}),
                         [](const auto& info) { return std::string(info.param.ownSwitch); });

class LightStreaks : public ImageFilter {
  protected:
    static constexpr uint32_t kWidth = 32, kHeight = 32;

    // The filtered colour of pixel (x, y) when every sample reads `colour`, the streak weights summing
    // to `weight`: vignette, then the tone curve.
    static Float4 streaked(uint32_t x, uint32_t y, const Float4& colour, float weight) {
        const Float2 uv = pixelUv(x, y, kWidth, kHeight);
        const float dx = uv.x - 0.5f, dy = uv.y - 0.5f;
        const float vignette = 1.0f - 1.25f * (dx * dx + dy * dy);
        auto tone = [&](float c) {
            const float s = std::clamp((c * (0.15f + weight) * vignette - 0.2f) / 1.3f, 0.0f, 1.0f);
            return std::sqrt(s * s * (3.0f - 2.0f * s));
        };
        return {tone(colour.x), tone(colour.y), tone(colour.z), 1.0f};
    }

    // A black picture but for a disc of `inside` at the centre, of radius 0.15 in texture coordinates.
    static std::vector<Float4> disc(const Float4& inside) {
        std::vector<Float4> texels;
        for (uint32_t y = 0; y < kHeight; ++y)
            for (uint32_t x = 0; x < kWidth; ++x) {
                const Float2 uv = pixelUv(x, y, kWidth, kHeight);
                texels.push_back(std::hypot(uv.x - 0.5f, uv.y - 0.5f) < 0.15f ? inside : Float4{0, 0, 0, 1});
            }
        return texels;
    }
};

TEST_F(LightStreaks, OnlyABypassOfExactlyOneCopies) {
    build("lamer_ps", kWidth, kHeight, picture(kWidth, kHeight));
    setTracks({{"lamerdecay", 0.5f}, {"lamerdensity", 0.0f}});
    for (float bypass : {1.0f, 1.7f}) {
        setTrack("lamerbypass", bypass);
        expectCopy(render(), "bypass");
    }
    // Density 0 puts every streak sample on the pixel itself: weight 0.7515 (1 + 0.5 + 0.25 + ...).
    const float weight = 0.7515f * 2.0f;
    for (float bypass : {2.0f, 0.0f, 0.99f, -1.0f}) {
        setTrack("lamerbypass", bypass);
        const auto pixels = render();
        for (uint32_t y = 0; y < kHeight; ++y)
            for (uint32_t x = 0; x < kWidth; ++x)
                ASSERT_TRUE(near(pixels[y * kWidth + x], streaked(x, y, texelOf(x, y), weight), 1e-4f))
                    << "bypass " << bypass << " at " << x << "," << y;
    }
}

TEST_F(LightStreaks, AUniformPictureWeighsTheWholeTrail) {
    // One colour everywhere: whatever the dither and the streak direction, each sample reads it, so the
    // result only depends on the weights summed: 0.7515 (1 + d + ... + d^249). The trail may end early
    // only where the rest would not change a bit of the sum, so even the slow decays weigh it all in;
    // the colours keep the tone curve between its black level and its top.
    struct Case {
        float decay;
        Float4 colour;
    };
    const std::vector<Case> cases = {{0.0f, {0.8f, 0.5f, 0.3f, 1}},
                                     {0.55f, {0.4f, 0.25f, 0.15f, 1}},
                                     {0.6f, {0.3f, 0.2f, 0.11f, 1}},
                                     {0.86f, {0.1f, 0.07f, 0.05f, 1}},
                                     {0.97f, {0.05f, 0.03f, 0.02f, 1}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.decay);
        build("lamer_ps", kWidth, kHeight, std::vector<Float4>(kWidth * kHeight, c.colour));
        setTracks({{"lamerdecay", c.decay}, {"lamerdensity", 1.0f}});
        const float weight = float(0.7515 * (1.0 - std::pow(double(c.decay), 250.0)) / (1.0 - c.decay));
        const auto pixels = render();
        for (uint32_t y = 0; y < kHeight; ++y)
            for (uint32_t x = 0; x < kWidth; ++x)
                ASSERT_TRUE(near(pixels[y * kWidth + x], streaked(x, y, c.colour, weight), 2e-5f))
                    << x << "," << y;
    }
}

TEST_F(LightStreaks, ALightFarAlongTheTrailStillReachesADarkPixel) {
    // Black but for a disc of nearly the brightest half float at the centre. At density 10 the trail of
    // the middle pixel of the right edge reaches the disc after about 18 samples: at decay 0.6 its
    // weight there is 1e-4, enough to lift the pixel to white, though its first ten samples read black.
    build("lamer_ps", kWidth, kHeight, disc({60000, 60000, 60000, 1}));
    setTracks({{"lamerdecay", 0.6f}, {"lamerdensity", 10.0f}});
    EXPECT_TRUE(near(render()[16 * kWidth + 31], Float4{1, 1, 1, 1}, 1e-6f));
    // At density 1 the trail meets the disc only after about 170 samples, where the weights have run down
    // to nothing.
    setTrack("lamerdensity", 1.0f);
    EXPECT_TRUE(near(render()[16 * kWidth + 31], Float4{0, 0, 0, 1}, 0.0f));
}

TEST_F(LightStreaks, BrightCentreStreaksOutwards) {
    // A bright disc in the middle of a black picture: with a slow decay the streaks carry its light to
    // pixels outside it, the more the nearer; without decay nothing reaches them.
    build("lamer_ps", kWidth, kHeight, disc({1, 1, 1, 1}));
    setTracks({{"lamerdecay", 0.97f}, {"lamerdensity", 1.0f}});
    const auto streaks = render();
    writePng("light_streaks.png", streaks, kWidth, kHeight);
    const Float4 inner = streaks[16 * kWidth + 26], outer = streaks[16 * kWidth + 31];
    EXPECT_GT(inner.x, 0.05f);
    EXPECT_GT(inner.x, outer.x);
    setTrack("lamerdecay", 0.0f);
    EXPECT_EQ(render()[16 * kWidth + 26].x, 0.0f);
}
