// A program edited, rebuilt and swapped into a live scene on the machine's Vulkan driver (lavapipe here)
// with the validation layer on: the next frame shows the new program; a broken edit or a program that
// cannot be made leaves the last good one running.
#include "app/director/live_programs.h"
#include "app/director/program_rebuild.h"
#include "gfx/pass_programs.h"
#include "tests/gfx/gpu_scene_fixture.h"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace app;
using namespace shaders;

namespace director_test_shaders {
const ShaderProgram* findShaderProgram(std::string_view name);
}

namespace {

using namespace Orvo::Gfx;
namespace fs = std::filesystem;

class ProgramSwapGpu : public GpuSceneTest {
  protected:
    // The colour every texel of `target` has after the next frame; NaN where they differ.
    Texel renderedColour(const TextureRuntime& target, uint32_t frame) {
        renderFrame(frame);
        const std::vector<Texel> texels = readTexels(target);
        for (const Texel& t : texels)
            if (std::memcmp(&t, &texels[0], sizeof t) != 0) return {NAN, NAN, NAN, NAN};
        return texels[0];
    }

    static void expectColour(const Texel& actual, Texel expected, const char* when) {
        EXPECT_EQ(actual.r, expected.r) << when;
        EXPECT_EQ(actual.g, expected.g) << when;
        EXPECT_EQ(actual.b, expected.b) << when;
        EXPECT_EQ(actual.a, expected.a) << when;
    }
};

TEST_F(ProgramSwapGpu, TheNextFrameShowsTheEditedProgramAndAFailedEditChangesNothing) {
    TextureDesc textureDesc;
    textureDesc.width = 8;
    textureDesc.height = 4;
    textureDesc.format = 4; // R32G32B32A32_FLOAT: exact values to read back
    auto* target = new TextureRuntime;
    target->init(textureDesc, false);
    scene->resources.findOrInsert(0) = target;
    GraphicsPassDesc desc;
    useGraphicsPrograms(desc, shaders::findShaderProgram("fullscreen_vs"),
                        director_test_shaders::findShaderProgram("swap_colour_ps"));
    desc.targets.append({target, true});
    auto* pass = new GraphicsPass;
    setupGraphicsPass(*pass, desc);
    scene->graphicsPasses.findOrInsert(0) = pass;
    scene->passes.append(PassListEntry::of(pass));
    ASSERT_TRUE(pass->pipeline.pixelShader);
    expectColour(renderedColour(*target, 1), {0.25f, 0.5f, 0.75f, 1.0f}, "as built");

    // The author's copy of the program, edited while the show runs.
    const fs::path folder = fs::path(::testing::TempDir()) / "mirelandt_director_swap";
    fs::remove_all(folder);
    fs::create_directories(folder);
    std::ostringstream source;
    source << std::ifstream(fs::path(DIRECTOR_TEST_SHADER_SOURCES) / "swap_colour_ps.hlsl").rdbuf();
    const std::string original = source.str();
    const std::string colour = "float4(0.25, 0.5, 0.75, 1.0)";
    ASSERT_NE(original.find(colour), std::string::npos);
    auto save = [&](const std::string& replacement) {
        std::string text = original;
        text.replace(text.find(colour), colour.size(), replacement);
        std::ofstream(folder / "swap_colour_ps.hlsl") << text;
    };
    ProgramBuilder builder(folder.string());
    ASSERT_TRUE(builder.available()) << builder.unavailableReason();
    LivePrograms live(*scene, director_test_shaders::findShaderProgram);
    RebuiltProgram program;
    std::string error;

    save("float4(1.0, 0.0, 0.5, 1.0)");
    ASSERT_TRUE(builder.rebuild("swap_colour_ps", program, error)) << error;
    ASSERT_TRUE(live.swap("swap_colour_ps", std::move(program), error)) << error;
    expectColour(renderedColour(*target, 2), {1.0f, 0.0f, 0.5f, 1.0f}, "after the first edit");

    save("float4(1.0, 0.0, 0.5, 1.0) + undefinedThing");
    EXPECT_FALSE(builder.rebuild("swap_colour_ps", program, error));
    EXPECT_NE(error.find("swap_colour_ps.hlsl:13: 'undefinedThing'"), std::string::npos) << error;
    expectColour(renderedColour(*target, 3), {1.0f, 0.0f, 0.5f, 1.0f}, "after a broken edit");

    // A vertex program under the pixel program's name: the device makes no shader of it.
    ProgramBuilder showPrograms(MIRELANDT_SHADER_SOURCES);
    ASSERT_TRUE(showPrograms.rebuild("fullscreen_vs", program, error)) << error;
    EXPECT_FALSE(live.swap("swap_colour_ps", std::move(program), error));
    expectColour(renderedColour(*target, 4), {1.0f, 0.0f, 0.5f, 1.0f}, "after a program of another stage");

    save("float4(0.0, 1.0, 0.0, 1.0)");
    ASSERT_TRUE(builder.rebuild("swap_colour_ps", program, error)) << error;
    ASSERT_TRUE(live.swap("swap_colour_ps", std::move(program), error)) << error;
    expectColour(renderedColour(*target, 5), {0.0f, 1.0f, 0.0f, 1.0f}, "after the second edit");
    fs::remove_all(folder);
}

} // namespace
