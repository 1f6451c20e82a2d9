// The glenz stream: the simulation pass's buffer against the CPU model, and the ray-marching pass
// over chosen buffers.
#include "tests/shaders/effects/effect_pass_fixture.h"

#include "tests/shaders/effects/sphere_sim_reference.h"

#include <cmath>

using namespace base;

using namespace Orvo::Gfx;
using effects_test::kMaxStreamObjects;
using effects_test::kStreamElements;
using effects_test::StreamInputs;

namespace {

constexpr uint32_t kWidth = 128, kHeight = 72;

struct Tube {
    const char* name;
    effects_test::Vec3 origin, exit;
};

// Across the screen as in the show, tilted through all three axes, and along z, where the frame
// takes its other helper axis.
constexpr Tube kTubes[] = {{"across", {-2.6f, 0.0f, 0.0f}, {2.6f, 0.0f, 0.0f}},
                           {"tilted", {-3.0f, 1.0f, 2.0f}, {4.0f, -2.0f, -5.0f}},
                           {"along z", {0.0f, 0.3f, -4.0f}, {0.0f, 0.3f, 3.0f}}};

// The sphere buffer as the simulation leaves it for `stream`: the stream, then its first `count` objects as
// drawn.
std::vector<Float4> sphereBuffer(const effects_test::StreamBuffer& stream, uint32_t count) {
    std::vector<Float4> elements;
    for (const auto& e : effects_test::withDrawnObjects(stream, count))
        elements.push_back({e.x, e.y, e.z, e.radius});
    return elements;
}

// The background as the pass finishes it: gamma, grade and vignette of a flat grey.
Float4 gradedBackground(float grey, Float2 uv) {
    const float c = std::pow(grey, 0.4545455f);
    const float f = std::pow(16.0f * uv.x * uv.y * (1.0f - uv.x) * (1.0f - uv.y), 0.2f);
    const float v = 0.8f * f + 0.2f;
    return {c * 1.1f * v, std::pow(c, 1.3f) * 1.1f * v, std::pow(c, 1.4f) * 1.1f * v, 1.0f};
}

} // namespace

class GlenzStream : public EffectPassTest {
  protected:
    void setStreamTracks(const StreamInputs& in) {
        setTracks({{"NUMSPHEREZ", in.numSpheres},
                   {"ORIGIN_X", in.origin.x},
                   {"ORIGIN_Y", in.origin.y},
                   {"ORIGIN_Z", in.origin.z},
                   {"EXIT_X", in.exit.x},
                   {"EXIT_Y", in.exit.y},
                   {"EXIT_Z", in.exit.z}});
    }

    // The ray-marching pass over `objects`, a whole sphere buffer (the simulation pass is left out), with a
    // level camera.
    void buildPicture(const std::vector<Float4>& objects) {
        buffer = float4Buffer(effects_test::kSphereBufferElements, &objects);
        target = texture(kWidth, kHeight);
        graphicsPass("fullscreen_vs", "glenz_spheres_ps", target, {buffer});
        setTracks({{"GLENZBG_R", 0.4f},
                   {"AGLENZ_R", 0.9f},
                   {"AGLENZ_G", 0.3f},
                   {"AGLENZ_B", 0.2f},
                   {"BGLENZ_R", 0.2f},
                   {"BGLENZ_G", 0.4f},
                   {"BGLENZ_B", 0.9f}});
    }

    std::vector<Float4> picture(float time = 0.0f) {
        renderFrame(time, {float(kWidth), float(kHeight)});
        return read(target);
    }

    int backgroundPixels(const std::vector<Float4>& pixels) {
        int count = 0;
        for (uint32_t y = 0; y < kHeight; ++y)
            for (uint32_t x = 0; x < kWidth; ++x)
                count += near(pixels[y * kWidth + x], gradedBackground(0.4f, pixelUv(x, y, kWidth, kHeight)),
                              1e-4f)
                             ? 1
                             : 0;
        return count;
    }

    BufferRuntime* buffer = nullptr;
    TextureRuntime* target = nullptr;
};

TEST_F(GlenzStream, SimulationMatchesTheCpuModelAtSeveralTimesCountsAndTubes) {
    buffer = float4Buffer(effects_test::kSphereBufferElements);
    computePass("sphere_sim_cs", buffer, kStreamElements);
    struct Case {
        float time, numSpheres;
        const Tube& tube;
        uint32_t frame;
    };
    const Case cases[] = {{0.0f, 128.0f, kTubes[0], 0},    {3.5f, 7.0f, kTubes[1], 0},
                          {23.1f, 128.0f, kTubes[1], 0},   {41.7f, 40.6f, kTubes[2], 0},
                          {66.0f, 1.0f, kTubes[0], 0},     {12.25f, 64.0f, kTubes[2], 0},
                          {30.0f, 128.0f, kTubes[2], 1234}};
    for (const Case& c : cases) {
        StreamInputs in;
        in.time = c.time;
        in.numSpheres = c.numSpheres;
        in.origin = c.tube.origin;
        in.exit = c.tube.exit;
        setStreamTracks(in);
        // The frame number only keeps the iteration count a run-time value; it must not change it.
        renderFrame(c.time, {float(kWidth), float(kHeight)}, c.frame);
        const auto gpu = read(buffer);
        // The stream, then the objects as drawn.
        const auto cpu = effects_test::withDrawnObjects(effects_test::simulateStream(in),
                                                        effects_test::streamObjectCount(in.numSpheres));
        float worst = 0.0f;
        for (uint32_t k = 0; k < effects_test::kSphereBufferElements; ++k) {
            const Float4 e{cpu[k].x, cpu[k].y, cpu[k].z, cpu[k].radius};
            ASSERT_TRUE(near(gpu[k], e, 1e-4f)) << "element " << k << " at time " << c.time << ", "
                                                << c.numSpheres << " objects, " << c.tube.name;
            for (float d : {gpu[k].x - e.x, gpu[k].y - e.y, gpu[k].z - e.z, gpu[k].w - e.w})
                worst = std::max(worst, std::fabs(d));
        }
        RecordProperty("worst_" + std::to_string(int(c.time * 100)), std::to_string(worst));
    }
}

TEST_F(GlenzStream, ObjectCountsBeyondTheRangeActAsTheNearestEnd) {
    buffer = float4Buffer(kStreamElements);
    computePass("sphere_sim_cs", buffer, kStreamElements);
    StreamInputs in;
    in.time = 17.5f;
    in.origin = kTubes[1].origin;
    in.exit = kTubes[1].exit;
    in.numSpheres = 128.0f;
    const auto full = effects_test::simulateStream(in);
    for (float count : {129.0f, 500.0f, 1.0e9f}) {
        in.numSpheres = count;
        setStreamTracks(in);
        renderFrame(in.time, {float(kWidth), float(kHeight)});
        const auto gpu = read(buffer);
        for (uint32_t k = 0; k < kStreamElements; ++k)
            ASSERT_TRUE(near(gpu[k], {full[k].x, full[k].y, full[k].z, full[k].radius}, 1e-4f))
                << count << " objects, element " << k;
    }
    for (float count : {0.0f, 0.99f, -4.0f}) {
        in.numSpheres = count;
        setStreamTracks(in);
        renderFrame(in.time, {float(kWidth), float(kHeight)});
        for (const Float4& e : read(buffer)) ASSERT_TRUE(near(e, {0, 0, 0, 0}, 0.0f)) << count << " objects";
    }
}

TEST_F(GlenzStream, WithoutObjectsOnlyTheGradedBackgroundShows) {
    // A full stream in the buffer that the pass must ignore when the count says there is none.
    StreamInputs in;
    in.time = 10.0f;
    in.numSpheres = 128.0f;
    in.origin = kTubes[0].origin;
    in.exit = kTubes[0].exit;
    buildPicture(sphereBuffer(effects_test::simulateStream(in), kMaxStreamObjects));
    for (float count : {0.0f, -3.0f, 0.9f}) {
        setTrack("NUMSPHEREZ", count);
        EXPECT_EQ(backgroundPixels(picture()), int(kWidth * kHeight)) << count << " objects";
    }
    setTrack("NUMSPHEREZ", 128.0f);
    const auto full = picture();
    EXPECT_LT(backgroundPixels(full), int(kWidth * kHeight * 9 / 10));
    writePng("glenz_stream.png", full, kWidth, kHeight);
    // Counts above 128 draw the same 128 objects.
    setTrack("NUMSPHEREZ", 300.0f);
    const auto beyond = picture();
    for (size_t i = 0; i < full.size(); ++i) ASSERT_TRUE(near(beyond[i], full[i], 0.0f)) << i;
}

TEST_F(GlenzStream, AWrappedObjectIsDrawnWhereItIsNow) {
    // One large object (index 0) in front of the camera; the earlier half of the buffer says where it
    // was a moment ago.
    const float radius = 2.2f * effects_test::objectSize(0);
    effects_test::StreamBuffer stream{};
    buildPicture(sphereBuffer(stream, 1));
    setTrack("NUMSPHEREZ", 1.0f);
    auto renderWithPrevious = [&](float previousX) {
        stream[0] = {0.0f, 0.0f, 0.0f, radius};
        stream[kMaxStreamObjects] = {previousX, 0.0f, 0.0f, radius};
        const std::vector<Float4> objects = sphereBuffer(stream, 1);
        context->UpdateSubresource(buffer->getResource(false), 0, nullptr, objects.data(), 0, 0);
        return picture();
    };
    const auto still = renderWithPrevious(0.0f);
    // Horizontal centre of the pixels that are not background.
    auto centreX = [&](const std::vector<Float4>& pixels) {
        double sum = 0;
        int count = 0;
        for (uint32_t y = 0; y < kHeight; ++y)
            for (uint32_t x = 0; x < kWidth; ++x)
                if (!near(pixels[y * kWidth + x], gradedBackground(0.4f, pixelUv(x, y, kWidth, kHeight)),
                          1e-4f)) {
                    sum += x;
                    ++count;
                }
        EXPECT_GT(count, 50);
        return sum / std::max(count, 1);
    };
    EXPECT_NEAR(centreX(still), kWidth / 2.0, 1.0);

    // More than 2 apart: it wrapped, and the blend towards the old place is skipped.
    const auto wrapped = renderWithPrevious(3.0f);
    for (size_t i = 0; i < still.size(); ++i) ASSERT_TRUE(near(wrapped[i], still[i], 0.0f)) << i;
    // 2 apart or less: drawn 7.5% of the way back towards where it was, i.e. to the right.
    for (float previousX : {2.0f, 1.5f}) {
        const auto blended = renderWithPrevious(previousX);
        EXPECT_GT(centreX(blended), centreX(still) + 1.0) << previousX;
    }
}

TEST_F(GlenzStream, EveryObjectIsDrawnAndShadowsTheOneBelowIt) {
    // Four pairs of neighbouring medium-sized objects across the screen, the second of each pair straight
    // above the first (towards the light), the rest of the stream far off to the side. Every object shows,
    // and each upper one shades the one below: its centre pixel is darker than with the upper one beside it.
    auto medium = [](uint32_t i) { return effects_test::objectSize(i) == 0.15f; };
    std::vector<uint32_t> pairs;
    for (uint32_t i = 0; i + 1 < kMaxStreamObjects && pairs.size() < 4; ++i)
        if (medium(i) && medium(i + 1)) pairs.push_back(i++);
    ASSERT_EQ(pairs.size(), 4u);
    effects_test::StreamBuffer stream{};
    auto place = [&](uint32_t i, float x, float y) {
        stream[i] = stream[kMaxStreamObjects + i] = {x, y, 0.0f, 2.2f * effects_test::objectSize(i)};
    };
    // The upper object of each pair above the lower one, or beside it, where it casts no shadow on it.
    auto placePairs = [&](bool stacked) {
        for (uint32_t i = 0; i < kMaxStreamObjects; ++i) place(i, 100.0f, 0.0f);
        for (size_t p = 0; p < pairs.size(); ++p) {
            const float x = -1.5f + 1.0f * float(p);
            place(pairs[p], x, -0.3f);
            place(pairs[p] + 1, stacked ? x : x + 0.5f, stacked ? 0.3f : -0.3f);
        }
        const std::vector<Float4> objects = sphereBuffer(stream, kMaxStreamObjects);
        context->UpdateSubresource(buffer->getResource(false), 0, nullptr, objects.data(), 0, 0);
        return picture();
    };
    buildPicture(sphereBuffer(stream, kMaxStreamObjects));
    setTrack("NUMSPHEREZ", float(kMaxStreamObjects));
    // Where the camera (1.8 from the origin, focal length 1.2) shows the point (x, y, 0): y grows down the
    // rows.
    auto pixelOf = [](float x, float y) {
        const float s = 1.2f / 1.8f * float(kHeight);
        return uint32_t(std::lround((kHeight + y * s) / 2.0f - 0.5f)) * kWidth +
               uint32_t(std::lround((x * s + kWidth) / 2.0f - 0.5f));
    };
    auto brightness = [](const Float4& c) { return c.x + c.y + c.z; };
    const auto apart = placePairs(false), stacked = placePairs(true);
    writePng("glenz_stacked.png", stacked, kWidth, kHeight);
    for (size_t p = 0; p < pairs.size(); ++p) {
        const float x = -1.5f + 1.0f * float(p);
        for (float y : {-0.3f, 0.3f}) {
            const uint32_t at = pixelOf(x, y);
            const Float2 uv = pixelUv(at % kWidth, at / kWidth, kWidth, kHeight);
            EXPECT_FALSE(near(stacked[at], gradedBackground(0.4f, uv), 1e-3f)) << "pair " << p << " at " << y;
        }
        const uint32_t lower = pixelOf(x, -0.3f);
        EXPECT_LT(brightness(stacked[lower]), brightness(apart[lower]) - 0.01f) << "pair " << p;
    }
}
