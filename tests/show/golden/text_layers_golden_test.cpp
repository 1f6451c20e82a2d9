// The text pass on its own with the show's own tracks, camera, pages, fonts and palette at moments where
// its layers are on screen, compared with its kept stills. The pass's target is upside down compared
// with the screen (the output pass turns it the right way up); the stills are kept the screen's way up.
#include "tests/shaders/effects/effect_pass_fixture.h"
#include "tests/show/golden/golden_image.h"

#include "content/assets.h"
#include "content/track_table.h"
#include "show/camera.h"
#include "sync/evaluate_track.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

using namespace Orvo::Gfx;
using namespace show;
using namespace sync_tracks;

using namespace Orvo::Gfx;

namespace {

constexpr uint32_t kWidth = 320, kHeight = 180;

std::vector<int32_t> copyOf(const assets::IntTable& table) {
    return {table.elements, table.elements + table.elementCount};
}

// 8-bit RGB rows top first on screen, from the target's float rows.
std::vector<uint8_t> screenBytes(const std::vector<Float4>& pixels) {
    std::vector<uint8_t> bytes;
    for (uint32_t y = kHeight; y-- > 0;)
        for (uint32_t x = 0; x < kWidth; ++x) {
            const Float4& p = pixels[y * kWidth + x];
            for (float channel : {p.x, p.y, p.z})
                bytes.push_back(uint8_t(std::clamp(channel, 0.0f, 1.0f) * 255.0f + 0.5f));
        }
    return bytes;
}

} // namespace

class TextLayersGolden : public EffectPassTest {
  protected:
    // Every track at `seconds` as the show evaluates it, and the camera they make.
    void showTracksAt(float seconds) {
        TrackSet set;
        layDownTrackKeys(set);
        float camera[8];
        for (uint32_t i = 0; i < kTrackCount; ++i) {
            const float value = evaluateTrack(set, i, seconds);
            setTrack(kTrackNames[i], value);
            if (i < 8) camera[i] = value;
        }
        const CameraMatrices matrices = buildCamera(camera, float(kWidth) / float(kHeight));
        view = matrices.view;
        projection = matrices.projection;
    }

    float trackValue(std::string_view name) {
        float value;
        std::memcpy(&value, scene->variables[uint32_t(trackIndex(name))].value, sizeof(value));
        return value;
    }
};

TEST_F(TextLayersGolden, ShowMomentsMatchTheKeptStills) {
    if (!isGoldenDriver(device->GetAdapterName()))
        GTEST_SKIP() << "the stills were made on lavapipe, not " << device->GetAdapterName();
    const std::vector<int32_t> font = copyOf(assets::c64fontBuffer), font3 = copyOf(assets::fontBuffer3);
    const std::vector<int32_t> pages[6] = {copyOf(assets::textBuffer1), copyOf(assets::textBuffer2),
                                           copyOf(assets::textBuffer3), copyOf(assets::textBuffer4),
                                           copyOf(assets::textBuffer5), copyOf(assets::textBuffer6)};
    const std::vector<float> palette(assets::colorpalette.elements,
                                     assets::colorpalette.elements + assets::colorpalette.elementCount);
    TextureRuntime* target = texture(kWidth, kHeight);
    BufferDataRuntime* c64 = intBuffer(font);
    BufferDataRuntime* buffers[6];
    for (int i = 0; i < 6; ++i) buffers[i] = intBuffer(pages[i]);
    PassSettings settings;
    settings.vertexCount = 6;
    settings.instanceCount = 10;
    settings.blend = true;
    graphicsPass("text_layers_vs", "text_layers_ps", target,
                 {c64, buffers[0], buffers[1], buffers[2], buffers[3], buffers[4], buffers[5], buffers[5],
                  buffers[5], buffers[5], floatBuffer(palette), c64, intBuffer(font3)},
                 settings);
    for (float seconds : {5.0f, 24.0f, 35.0f, 50.0f}) {
        showTracksAt(seconds);
        renderFrame(seconds, {float(kWidth), float(kHeight)});
        const auto pixels = read(target);
        // A visible layer must draw something: guards a golden made while the pass drew nothing.
        float strongest = 0.0f;
        for (const char* alpha : {"L1TEXT_A", "L2TEXT_A", "L3TEXT_A", "L5TEXT_A"})
            strongest = std::max(strongest, trackValue(alpha));
        int lit = 0;
        for (const Float4& p : pixels) lit += p.x + p.y + p.z > 0.0f;
        if (strongest > 0.05f) {
            EXPECT_GT(lit, int(kWidth * kHeight / 100)) << seconds << " s";
        }
        char name[32];
        std::snprintf(name, sizeof(name), "text_layers_%02d.png", int(seconds));
        EXPECT_TRUE(matchesGolden(name, screenBytes(pixels).data(), int(kWidth), int(kHeight)));
    }
}
