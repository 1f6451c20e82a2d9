// A program edited, rebuilt and swapped into a live scene on the machine's Vulkan driver (lavapipe here)
// with the validation layer on: the next frame shows the new program; a broken edit or a program that
// cannot be made leaves the last good one running.
#include "buffer_data_runtime.h"
#include "install_frame_context.h"
#include "live_programs.h"
#include "pass_programs.h"
#include "program_rebuild.h"
#include "scene.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

namespace director_test_shaders {
const ShaderProgram* findShaderProgram(std::string_view name);
}

namespace {

using namespace Orvo::Gfx;
namespace fs = std::filesystem;

struct Texel {
    float r, g, b, a;
};

void collectMessage(void* user, const char* message) {
    static_cast<std::vector<std::string>*>(user)->push_back(message);
}

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class ProgramSwapGpu : public ::testing::Test {
  protected:
    gpu::Ref<gpu::Device> device;
    gpu::Ref<gpu::DeviceContext> context;
    std::vector<std::string> messages;
    std::unique_ptr<Scene> scene;

    void SetUp() override {
        gpu::DeviceOptions options;
        options.debugLayer = true;
        options.debugMessage = collectMessage;
        options.debugMessageUser = &messages;
        std::string error;
        if (!gpu::CreateDevice(options, &device, &context, &error))
            GTEST_SKIP() << "no Vulkan device, GPU swap test skipped: " << error;
        FrameContext frameContext = {};
        frameContext.device = device.get();
        frameContext.immediateContext = context.get();
        installFrameContext(frameContext);
        scene = std::make_unique<Scene>();
    }

    void TearDown() override {
        scene.reset();
        releaseFrameContext();
        context.reset();
        device.reset();
        for (const std::string& message : messages) ADD_FAILURE() << "validation: " << message;
    }

    // The colour every texel of `target` has after the next frame; NaN where they differ.
    Texel renderedColour(const TextureRuntime& target, uint32_t frame) {
        currentFrameContext.header.frame = frame;
        currentFrameContext.header.time = float(frame) / 60.0f;
        contextBufferDesc.stride = sizeof(FrameContextHeader);
        scene->renderFrame();
        std::vector<Texel> texels(size_t(target.desc.width) * target.desc.height);
        EXPECT_TRUE(context->ReadBack(target.getResource(false), 0, texels.data(),
                                      texels.size() * sizeof(Texel),
                                      target.desc.width * uint32_t(sizeof(Texel))))
            << device->GetLastError();
        for (const Texel& t : texels)
            if (std::memcmp(&t, &texels[0], sizeof t) != 0) return {NAN, NAN, NAN, NAN};
        return texels[0];
    }
};

void expectColour(const Texel& actual, Texel expected, const char* when) {
    EXPECT_EQ(actual.r, expected.r) << when;
    EXPECT_EQ(actual.g, expected.g) << when;
    EXPECT_EQ(actual.b, expected.b) << when;
    EXPECT_EQ(actual.a, expected.a) << when;
}

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
    const std::string original = readText(fs::path(DIRECTOR_TEST_SHADER_SOURCES) / "swap_colour_ps.hlsl");
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
