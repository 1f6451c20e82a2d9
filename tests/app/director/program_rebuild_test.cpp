// The director mode's run-time rebuild against the build: the same words for every program, the failing
// step's message for a broken one, a plain "not available" without the tools; and the swap into a scene
// on the recording device, all or nothing.
#include "app/director/live_programs.h"
#include "app/director/program_rebuild.h"
#include "gfx/pass_programs.h"
#include "shaders/pack/shader_pack.h"
#include "tests/gfx/scene_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>

using namespace app;
using namespace shaders;

namespace director_test_shaders {
std::span<const ShaderProgram* const> allShaderPrograms();
}

namespace {

namespace fs = std::filesystem;

fs::path scratchFolder(const char* name) {
    const fs::path folder = fs::path(::testing::TempDir()) / (std::string("mirelandt_director_") + name);
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

TEST(ProgramRebuild, GivesTheWordsTheBuildEmbeddedForEveryProgram) {
    const std::pair<const char*, std::span<const ShaderProgram* const>> folders[] = {
        {MIRELANDT_SHADER_SOURCES, shaders::allShaderPrograms()},
        {DIRECTOR_TEST_SHADER_SOURCES, director_test_shaders::allShaderPrograms()},
    };
    for (const auto& [folder, programs] : folders) {
        ProgramBuilder builder(folder);
        ASSERT_TRUE(builder.available()) << builder.unavailableReason();
        ASSERT_FALSE(programs.empty());
        for (const ShaderProgram* embedded : programs) {
            RebuiltProgram rebuilt;
            std::string error;
            ASSERT_TRUE(builder.rebuild(embedded->name, rebuilt, error)) << embedded->name << ": " << error;
            EXPECT_EQ(rebuilt.stage, embedded->stage) << embedded->name;
            // The rebuild makes SPIR-V only: it is the embedded program without its DXBC part (Linux runs
            // Vulkan alone), the header's DXBC count zero.
            gpu::ShaderBytecodeView view;
            ASSERT_TRUE(gpu::ParseShaderBytecode(embedded->bytecode, embedded->size, &view))
                << embedded->name;
            const size_t spirvEnd = view.dxbc
                                        ? size_t(view.dxbc - static_cast<const uint8_t*>(embedded->bytecode))
                                        : embedded->size;
            std::vector<uint8_t> expected(static_cast<const uint8_t*>(embedded->bytecode),
                                          static_cast<const uint8_t*>(embedded->bytecode) + spirvEnd);
            std::memset(expected.data() + offsetof(gpu::ShaderBytecodeHeader, dxbcByteCount), 0, 4);
            ASSERT_EQ(rebuilt.bytecode.size() * 4, expected.size()) << embedded->name;
            EXPECT_EQ(std::memcmp(rebuilt.bytecode.data(), expected.data(), expected.size()), 0)
                << embedded->name;
            ASSERT_EQ(rebuilt.bindings.size(), embedded->bindingCount) << embedded->name;
            for (uint32_t i = 0; i < embedded->bindingCount; ++i) {
                EXPECT_EQ(rebuilt.bindings[i].binding, embedded->bindings[i].binding) << embedded->name;
                EXPECT_EQ(rebuilt.bindings[i].kind, embedded->bindings[i].kind) << embedded->name;
                EXPECT_EQ(rebuilt.bindings[i].format, embedded->bindings[i].format) << embedded->name;
            }
        }
    }
}

TEST(ProgramRebuild, AFaultGivesTheFailingStepAndItsMessage) {
    const fs::path folder = scratchFolder("faults");
    std::ofstream(folder / "fine_ps.hlsl") << "#include \"context_buffer.hlsli\"\n"
                                              "float4 pixel_main() : SV_TARGET { return CameraPosX; }\n";
    std::ofstream(folder / "broken_ps.hlsl") << "#include \"context_buffer.hlsli\"\n"
                                                "float4 pixel_main() : SV_TARGET\n{\n"
                                                "    return float4(time, undefinedThing, 0, 1);\n}\n";
    std::ofstream(folder / "spaced_ps.hlsl")
        << "Texture2D picture : register(t0, space1);\n"
           "SamplerState nearest : register(s0);\n"
           "float4 pixel_main() : SV_TARGET { return picture.Sample(nearest, "
           "0.5); }\n";
    ProgramBuilder builder(folder.string());
    ASSERT_TRUE(builder.available()) << builder.unavailableReason();
    RebuiltProgram program;
    std::string error;
    EXPECT_TRUE(builder.rebuild("fine_ps", program, error)) << error;
    EXPECT_EQ(program.stage, gpu::ShaderStage::Pixel);

    const std::pair<const char*, std::string> cases[] = {
        {"broken_ps", "glslangValidator: ERROR: " + (folder / "broken_ps.hlsl").string() +
                          ":4: 'undefinedThing' : unknown variable"},
        {"spaced_ps", "spirv-cross: binding 16 is outside descriptor set 0; all programs use set 0"},
        {"absent_ps", (folder / "absent_ps.hlsl").string() + ": no such program"},
        {"../fine_ps", "../fine_ps: not a program name (letters, digits and _, ending in _vs, _ps or _cs)"},
        {"fine", "fine: not a program name (letters, digits and _, ending in _vs, _ps or _cs)"},
        {"", ": not a program name (letters, digits and _, ending in _vs, _ps or _cs)"},
    };
    for (const auto& [name, message] : cases) {
        RebuiltProgram untouched;
        EXPECT_FALSE(builder.rebuild(name, untouched, error)) << name;
        EXPECT_EQ(error.substr(0, message.size()), message) << name;
    }

    // Without the tools on PATH the director follows the tracks only.
    const std::string path = std::getenv("PATH");
    setenv("PATH", folder.c_str(), 1);
    ProgramBuilder toolless(folder.string());
    setenv("PATH", path.c_str(), 1);
    EXPECT_FALSE(toolless.available());
    EXPECT_EQ(toolless.unavailableReason(), "glslangValidator is not on PATH");
    EXPECT_FALSE(toolless.rebuild("fine_ps", program, error));
    EXPECT_EQ(error, "rebuilding programs is not available: glslangValidator is not on PATH");
    // Nor without the folder: a checkout without shaders/ is never watched for programs.
    ProgramBuilder folderless((folder / "shaders").string());
    EXPECT_EQ(folderless.unavailableReason(), (folder / "shaders").string() + " is not a folder");
    fs::remove_all(folder);
}

// What a program was built from, as the compiler read it: headers included through other headers count,
// an include the preprocessor skips does not, and a folder name with a space survives the compiler's list.
TEST(ProgramRebuild, SourcesAreEveryFileTheCompilerRead) {
    const fs::path folder = scratchFolder("nested includes");
    std::ofstream(folder / "inner.hlsli") << "float4 innerColour() { return float4(1, 0, 0, 1); }\n";
    std::ofstream(folder / "outer.hlsli") << "#include \"inner.hlsli\"\n"
                                             "float4 outerColour() { return innerColour(); }\n";
    std::ofstream(folder / "unused.hlsli") << "float4 unusedColour() { return 0; }\n";
    std::ofstream(folder / "deep_ps.hlsl") << "#include \"outer.hlsli\"\n"
                                              "float4 pixel_main() : SV_TARGET { return outerColour(); }\n";
    std::ofstream(folder / "plain_ps.hlsl") << "#include \"context_buffer.hlsli\"\n"
                                               "#if 0\n#include \"unused.hlsli\"\n#endif\n"
                                               "float4 pixel_main() : SV_TARGET { return CameraPosX; }\n";
    // The names of the files a program was built from, those of `folder` only.
    const auto namesIn = [](const RebuiltProgram& program, const fs::path& folder) {
        std::set<std::string> names;
        for (const std::string& source : program.sources)
            if (fs::weakly_canonical(source).parent_path() == fs::weakly_canonical(folder))
                names.insert(fs::path(source).filename().string());
        return names;
    };
    ProgramBuilder builder(folder.string());
    ASSERT_TRUE(builder.available()) << builder.unavailableReason();
    RebuiltProgram deep, plain;
    std::string error;
    ASSERT_TRUE(builder.rebuild("deep_ps", deep, error)) << error;
    ASSERT_TRUE(builder.rebuild("plain_ps", plain, error)) << error;
    EXPECT_EQ(namesIn(deep, folder), (std::set<std::string>{"deep_ps.hlsl", "outer.hlsli", "inner.hlsli"}));
    EXPECT_EQ(namesIn(plain, folder), std::set<std::string>{"plain_ps.hlsl"});
    EXPECT_TRUE(std::any_of(plain.sources.begin(), plain.sources.end(), [](const std::string& source) {
        return fs::path(source).filename() == "context_buffer.hlsli";
    }));
    fs::remove_all(folder);

    // The show's programs that reach the full-screen header only through the mirror or blur header.
    ProgramBuilder show(MIRELANDT_SHADER_SOURCES);
    for (const char* name : {"mirror_ps", "mirror2_ps", "dof_blur_ps", "dof_blur2_ps"}) {
        RebuiltProgram program;
        ASSERT_TRUE(show.rebuild(name, program, error)) << name << ": " << error;
        EXPECT_TRUE(namesIn(program, MIRELANDT_SHADER_SOURCES).contains("fullscreen.hlsli")) << name;
    }
}

TEST(ProgramRebuild, ReflectionGivesEveryBindingKindOrRefusesWithAReason) {
    std::vector<gpu::ShaderBinding> bindings;
    std::string error;
    ASSERT_TRUE(shader_pack::bindingsFromReflection(
        R"({"separate_images": [{"type": "texture2D", "set": 0, "binding": 17},
                                {"type": "usamplerBuffer", "binding": 16}],
            "images": [{"type": "imageBuffer", "set": 0, "binding": 33}, {"type": "iimageBuffer", "binding": 34},
                       {"type": "image2D", "binding": 32}],
            "separate_samplers": [{"type": "sampler", "binding": 3}],
            "ubos": [{"type": "_12", "name": "ContextBuffer \"b8\"", "binding": 8, "block_size": 1024}],
            "ssbos": [{"type": "_20", "binding": 35}], "entryPoints": [{"name": "kernel_main", "workgroup_size": [8, 1, 1e0]}],
            "flags": [true, false, null, -1.5e-3]})",
        bindings, error))
        << error;
    using K = gpu::ShaderBindingKind;
    using F = gpu::Format;
    const std::vector<std::tuple<uint32_t, K, F>> expected = {
        {3, K::Sampler, F::UNKNOWN},
        {8, K::ConstantBuffer, F::UNKNOWN},
        {16, K::TexelBuffer, F::R32_UINT},
        {17, K::SampledTexture, F::UNKNOWN},
        {32, K::StorageTexture, F::UNKNOWN},
        {33, K::StorageTexelBuffer, F::R32_FLOAT},
        {34, K::StorageTexelBuffer, F::R32_SINT},
        {35, K::StorageBuffer, F::UNKNOWN},
    };
    ASSERT_EQ(bindings.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(std::make_tuple(bindings[i].binding, bindings[i].kind, bindings[i].format), expected[i])
            << i;

    const std::pair<std::string, std::string> refused[] = {
        {R"({"ubos": [{"type": "_1", "set": 2, "binding": 8}]})", "binding 8 is outside descriptor set 0"},
        {R"({"textures": [{"type": "sampler2D", "binding": 0}]})", "'textures' resources are not supported"},
        {R"({"push_constants": [{"type": "_3"}]})", "'push_constants' resources are not supported"},
        {R"({"ssbos": [{"type": "_3"}]})", "ssbos: a resource without a binding number or a type"},
        {R"({"ssbos": {"type": "_3"}})", "ssbos is not a list"},
        {R"({"ubos": [{"type": "_1", "binding": 8}])", "JSON, byte 39: expected ',' or '}'"},
        {R"({"ubos": [{"type": "_1, "binding": 8}]})", "JSON, byte 25: expected ',' or '}'"},
        {R"({"a" 1})", "JSON, byte 5: expected ':'"},
        {R"([1, 2])", "the reflection is not a JSON object"},
        {"", "JSON, byte 0: unexpected end"},
        {std::string(100, '[') + std::string(100, ']'), "JSON, byte 65: nested too deep"},
        {R"({"a": tru})", "JSON, byte 6: unknown word"},
        {R"({"a": "\q"})", "JSON, byte 9: bad escape in a string"},
    };
    for (const auto& [json, reason] : refused) {
        EXPECT_FALSE(shader_pack::bindingsFromReflection(json, bindings, error)) << json;
        EXPECT_EQ(error.substr(0, reason.size()), reason) << json;
    }
}

// The show's programs stand in as the recording device's fake bytecode, found by name.
const std::vector<uint32_t> kFakeVertex = recording::fakeShaderBytecode(gpu::ShaderStage::Vertex);
const std::vector<uint32_t> kFakePixel = recording::fakeShaderBytecode(gpu::ShaderStage::Pixel);
const std::vector<uint32_t> kFakePixelToo = kFakePixel; // the same words in another program
const ShaderProgram kEmbedded[] = {
    {"flat_vs", gpu::ShaderStage::Vertex, kFakeVertex.data(), kFakeVertex.size() * 4, nullptr, 0},
    {"one_ps", gpu::ShaderStage::Pixel, kFakePixel.data(), kFakePixel.size() * 4, nullptr, 0},
    {"two_ps", gpu::ShaderStage::Pixel, kFakePixelToo.data(), kFakePixelToo.size() * 4, nullptr, 0},
};

const ShaderProgram* findEmbedded(std::string_view name) {
    for (const ShaderProgram& program : kEmbedded)
        if (name == program.name) return &program;
    return nullptr;
}

RebuiltProgram rebuiltAs(gpu::ShaderStage stage) {
    RebuiltProgram program;
    program.stage = stage;
    program.bytecode = recording::fakeShaderBytecode(stage);
    return program;
}

class ProgramSwap : public SceneTest {
  protected:
    Orvo::Gfx::GraphicsPass* addPass(uint32_t key, const ShaderProgram* pixel) {
        Orvo::Gfx::GraphicsPassDesc desc = graphicsDesc(addTexture(key, 4, 4));
        Orvo::Gfx::useGraphicsPrograms(desc, findEmbedded("flat_vs"), pixel);
        return addGraphicsPass(key, desc);
    }
};

TEST_F(ProgramSwap, EveryPassOfTheProgramTakesItAndAFailureChangesNothing) {
    const ShaderProgram* one = findEmbedded("one_ps");
    Orvo::Gfx::GraphicsPass* a = addPass(0, one);
    Orvo::Gfx::GraphicsPass* b = addPass(1, one);
    // A pass of another program made of the same words runs on untouched.
    Orvo::Gfx::GraphicsPass* other = addPass(2, findEmbedded("two_ps"));
    const gpu::PixelShader* otherShader = other->pipeline.pixelShader.get();
    LivePrograms live(*scene, findEmbedded);

    std::string error;
    uint32_t changed = 0;
    for (int swap = 0; swap < 2; ++swap) {
        const gpu::PixelShader* before = a->pipeline.pixelShader.get();
        RebuiltProgram program = rebuiltAs(gpu::ShaderStage::Pixel);
        const void* words = program.bytecode.data();
        ASSERT_TRUE(live.swap("one_ps", std::move(program), error, &changed)) << error;
        EXPECT_EQ(changed, 2u);
        for (Orvo::Gfx::GraphicsPass* pass : {a, b}) {
            EXPECT_EQ(pass->desc.pixelBytecode, words);
            EXPECT_EQ(pass->pipeline.desc.pixelBytecode, words);
            EXPECT_TRUE(pass->pipeline.pixelShader && pass->pipeline.vertexShader);
        }
        EXPECT_NE(a->pipeline.pixelShader.get(), before);
        EXPECT_EQ(other->pipeline.pixelShader.get(), otherShader);
        EXPECT_EQ(other->desc.pixelBytecode, kFakePixelToo.data());
    }

    // A vertex program offered as a pixel program makes no shader: both passes keep what they ran.
    const void* running = a->desc.pixelBytecode;
    const gpu::PixelShader* runningShader = a->pipeline.pixelShader.get();
    EXPECT_FALSE(live.swap("one_ps", rebuiltAs(gpu::ShaderStage::Vertex), error));
    EXPECT_EQ(error.rfind("one_ps: the new program was not taken, the old one runs on (", 0), 0u) << error;
    for (Orvo::Gfx::GraphicsPass* pass : {a, b}) {
        EXPECT_EQ(pass->desc.pixelBytecode, running);
        EXPECT_EQ(pass->pipeline.desc.pixelBytecode, running);
    }
    EXPECT_EQ(a->pipeline.pixelShader.get(), runningShader);
    // The program swapped in last is still the one to replace.
    EXPECT_TRUE(live.swap("one_ps", rebuiltAs(gpu::ShaderStage::Pixel), error, &changed)) << error;
    EXPECT_EQ(changed, 2u);

    EXPECT_FALSE(live.swap("three_ps", rebuiltAs(gpu::ShaderStage::Pixel), error));
    EXPECT_EQ(error, "three_ps: the show has no such program");
    // The vertex program of all three passes goes into each.
    EXPECT_TRUE(live.swap("flat_vs", rebuiltAs(gpu::ShaderStage::Vertex), error, &changed)) << error;
    EXPECT_EQ(changed, 3u);
}

} // namespace
