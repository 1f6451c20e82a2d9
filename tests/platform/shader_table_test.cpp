// The embedded programs (the show's and the test programs'), their binding tables and their DXBC, checked
// without a GPU.
#include "platform/dxbc_container.h"
#include "platform/gpu.h"
#include "platform/gpu_checks.h"
#include "shaders/shader_program.h"
#include "tests/platform/binding_registers.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

using namespace shaders;

namespace test_shaders {
std::span<const ShaderProgram* const> allShaderPrograms();
}
namespace gfx_test_shaders {
std::span<const ShaderProgram* const> allShaderPrograms();
}

namespace {

struct Member {
    std::string name;
    int64_t offset = -1;
};

// Reads the members of the struct named `structName` from a SPIR-V module: their names
// (OpMemberName) and byte offsets (OpMemberDecorate Offset).
std::vector<Member> structMembers(const uint32_t* words, uint32_t count, const std::string& structName) {
    constexpr uint32_t kOpName = 5, kOpMemberName = 6, kOpMemberDecorate = 72, kDecorationOffset = 35;
    auto text = [](const uint32_t* w) { return std::string(reinterpret_cast<const char*>(w)); };
    uint32_t structId = 0;
    for (uint32_t i = 5; i < count; i += words[i] >> 16) {
        if ((words[i] & 0xFFFF) == kOpName && text(&words[i + 2]) == structName) structId = words[i + 1];
        if ((words[i] >> 16) == 0) break;
    }
    std::map<uint32_t, Member> members;
    for (uint32_t i = 5; i < count && structId; i += words[i] >> 16) {
        const uint32_t op = words[i] & 0xFFFF;
        if (op == kOpMemberName && words[i + 1] == structId) members[words[i + 2]].name = text(&words[i + 3]);
        if (op == kOpMemberDecorate && words[i + 1] == structId && words[i + 3] == kDecorationOffset)
            members[words[i + 2]].offset = words[i + 4];
        if ((words[i] >> 16) == 0) break;
    }
    std::vector<Member> ordered;
    for (auto& [index, member] : members) ordered.push_back(member);
    return ordered;
}

std::vector<std::string> trackNames() {
    std::ifstream table(MIRELANDT_TRACK_NAMES);
    std::vector<std::string> names;
    for (std::string line; std::getline(table, line);) names.push_back(line);
    return names;
}

} // namespace

TEST(ContextBufferLayout, HeaderThenEveryTrackAtItsTableOffset) {
    const ShaderProgram* program = shaders::findShaderProgram("mirror_ps");
    ASSERT_NE(program, nullptr);
    gpu::ShaderBytecodeView view;
    ASSERT_TRUE(gpu::ParseShaderBytecode(program->bytecode, program->size, &view));
    const auto members = structMembers(view.spirv, view.spirvWordCount, "ContextBuffer");
    const std::vector<std::pair<std::string, int>> header = {{"time", 0},
                                                             {"frame", 4},
                                                             {"elapsedTime", 8},
                                                             {"aspectRatio", 12},
                                                             {"resolution", 16},
                                                             {"invResolution", 24},
                                                             {"viewMatrix", 32},
                                                             {"projectionMatrix", 96},
                                                             {"viewProjectionMatrix", 160},
                                                             {"invViewMatrix", 224},
                                                             {"invProjectionMatrix", 288},
                                                             {"invViewProjectionMatrix", 352},
                                                             {"lastViewMatrix", 416},
                                                             {"lastProjectionMatrix", 480},
                                                             {"lastViewProjectionMatrix", 544}};
    const auto tracks = trackNames();
    ASSERT_EQ(tracks.size(), 104u);
    ASSERT_EQ(members.size(), header.size() + tracks.size());
    for (size_t i = 0; i < header.size(); ++i) {
        EXPECT_EQ(members[i].name, header[i].first);
        EXPECT_EQ(members[i].offset, header[i].second) << header[i].first;
    }
    for (size_t i = 0; i < tracks.size(); ++i) {
        EXPECT_EQ(members[header.size() + i].name, tracks[i]);
        EXPECT_EQ(members[header.size() + i].offset, int64_t(608 + 4 * i)) << tracks[i];
    }
}

// Every program, the test programs' too, carries its SPIR-V and the DXBC the Direct3D 11 backend creates
// it from: a sound container of the program's stage that binds exactly the registers of the SPIR-V binding
// table, passing the check every backend runs first.
TEST(ShaderTable, EveryProgramParsesCarriesDxbcAndSitsInTheStageItsNameSays) {
    for (const char* name :
         {"fullscreen_vs", "output_vs", "output_ps", "mirror_ps", "mirror2_ps", "vertex_colour_ps"})
        EXPECT_NE(shaders::findShaderProgram(name), nullptr) << name;
    EXPECT_EQ(shaders::findShaderProgram("no_such_ps"), nullptr);
    std::vector<const ShaderProgram*> programs;
    for (auto table : {shaders::allShaderPrograms(), test_shaders::allShaderPrograms(),
                       gfx_test_shaders::allShaderPrograms()}) {
        EXPECT_FALSE(table.empty());
        programs.insert(programs.end(), table.begin(), table.end());
    }
    for (const ShaderProgram* program : programs) {
        gpu::ShaderBytecodeView view;
        ASSERT_TRUE(gpu::ParseShaderBytecode(program->bytecode, program->size, &view)) << program->name;
        const std::string name = program->name;
        const gpu::ShaderStage expected = name.ends_with("_vs")   ? gpu::ShaderStage::Vertex
                                          : name.ends_with("_ps") ? gpu::ShaderStage::Pixel
                                                                  : gpu::ShaderStage::Compute;
        EXPECT_EQ(view.stage, expected) << name;
        EXPECT_EQ(view.spirv[0], 0x07230203u) << name << ": SPIR-V magic";
        ASSERT_EQ(view.bindingCount, program->bindingCount);
        for (uint32_t i = 0; i < view.bindingCount; ++i) {
            EXPECT_EQ(view.bindings[i].binding, program->bindings[i].binding) << name;
            EXPECT_EQ(view.bindings[i].kind, program->bindings[i].kind) << name;
            EXPECT_EQ(view.bindings[i].format, program->bindings[i].format) << name;
        }
        ASSERT_NE(view.dxbc, nullptr) << name << " carries no DXBC";
        gpu::DxbcContainer container;
        ASSERT_EQ(gpu::ReadDxbcContainer(view.dxbc, view.dxbcByteCount, &container), "") << name;
        EXPECT_EQ(container.programType, test_registers::programType(expected)) << name;
        EXPECT_EQ(test_registers::describe(container.registers),
                  test_registers::describe(test_registers::fromBindings(view.bindings, view.bindingCount)))
            << name;
        EXPECT_EQ(gpu::CheckShaderBytecode(program->bytecode, program->size, expected), gpu::Check::Passed)
            << name;
    }
}

TEST(ShaderTable, BindingsFollowTheRegisterMapping) {
    using K = gpu::ShaderBindingKind;
    const std::map<std::string, std::vector<std::pair<uint32_t, K>>> expected = {
        {"output_ps", {{3, K::Sampler}, {16, K::SampledTexture}}},
        {"mirror_ps", {{0, K::Sampler}, {8, K::ConstantBuffer}, {16, K::SampledTexture}}},
        {"mirror2_ps", {{0, K::Sampler}, {8, K::ConstantBuffer}, {16, K::SampledTexture}}},
        {"fullscreen_vs", {}},
        {"vertex_colour_ps", {}},
    };
    for (const auto& [name, bindings] : expected) {
        const ShaderProgram* program = shaders::findShaderProgram(name);
        ASSERT_NE(program, nullptr) << name;
        ASSERT_EQ(program->bindingCount, bindings.size()) << name;
        for (size_t i = 0; i < bindings.size(); ++i) {
            EXPECT_EQ(program->bindings[i].binding, bindings[i].first) << name;
            EXPECT_EQ(program->bindings[i].kind, bindings[i].second) << name;
        }
    }
}

namespace {

void putWord(std::vector<uint8_t>& blob, size_t at, uint32_t value) {
    std::memcpy(blob.data() + at, &value, 4);
}

// The blob with its DXBC part replaced by `dxbc` (none when empty), the header's count made to match.
std::vector<uint8_t> withDxbc(const std::vector<uint8_t>& blob, const gpu::ShaderBytecodeView& view,
                              const uint8_t* dxbc, uint32_t size) {
    std::vector<uint8_t> made(blob.begin(),
                              blob.begin() + (view.dxbc ? view.dxbc - blob.data() : blob.size()));
    made.insert(made.end(), dxbc, dxbc + size);
    made.resize((made.size() + 3) / 4 * 4);
    putWord(made, offsetof(gpu::ShaderBytecodeHeader, dxbcByteCount), size);
    return made;
}

} // namespace

// Every damage of the packed blob, its DXBC part included, is refused by the shared check with the fault's
// code; a blob without DXBC (as the director mode rebuilds programs) still passes.
TEST(ShaderBytecode, TruncatedForgedOrOverflowingBlobsAreRejected) {
    const ShaderProgram* program = shaders::findShaderProgram("mirror_ps");
    const ShaderProgram* vertexProgram = shaders::findShaderProgram("fullscreen_vs");
    ASSERT_TRUE(program && vertexProgram);
    const auto* bytes = static_cast<const uint8_t*>(program->bytecode);
    const std::vector<uint8_t> blob(bytes, bytes + program->size);
    gpu::ShaderBytecodeView view, vertexView;
    ASSERT_TRUE(gpu::ParseShaderBytecode(blob.data(), blob.size(), &view));
    ASSERT_TRUE(gpu::ParseShaderBytecode(vertexProgram->bytecode, vertexProgram->size, &vertexView));
    ASSERT_TRUE(view.dxbc && vertexView.dxbc);
    ASSERT_EQ(view.dxbcByteCount % 4, 0u) << "the rows below assume a DXBC part without padding";
    for (size_t size = 0; size < blob.size(); size += 4)
        EXPECT_FALSE(gpu::ParseShaderBytecode(blob.data(), size, &view)) << size;
    ASSERT_TRUE(gpu::ParseShaderBytecode(blob.data(), blob.size(), &view));

    const size_t dxbcAt = size_t(view.dxbc - blob.data());
    const size_t countAt = offsetof(gpu::ShaderBytecodeHeader, dxbcByteCount);
    using C = gpu::Check;
    struct Case {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> damage;
        gpu::ShaderStage stage;
        C expected;
    };
    const Case cases[] = {
        {"sound", [](auto&) {}, gpu::ShaderStage::Pixel, C::Passed},
        {"asked for another stage", [](auto&) {}, gpu::ShaderStage::Vertex, C::ShaderStage},
        {"magic", [](auto& b) { b[0] ^= 1; }, gpu::ShaderStage::Pixel, C::ShaderBytecode},
        // bindingCount * 8 wraps in 32 bits
        {"binding count", [](auto& b) { putWord(b, 8, 0x40000001); }, gpu::ShaderStage::Pixel,
         C::ShaderBytecode},
        {"binding kind", [](auto& b) { putWord(b, sizeof(gpu::ShaderBytecodeHeader) + 4, 99); },
         gpu::ShaderStage::Pixel, C::ShaderBytecode},
        {"no DXBC: the SPIR-V alone", [&](auto& b) { b = withDxbc(blob, view, nullptr, 0); },
         gpu::ShaderStage::Pixel, C::Passed},
        {"DXBC byte flipped (checksum)", [&](auto& b) { b[dxbcAt + view.dxbcByteCount / 2] ^= 1; },
         gpu::ShaderStage::Pixel, C::ShaderBytecode},
        {"DXBC magic", [&](auto& b) { b[dxbcAt] = 'X'; }, gpu::ShaderStage::Pixel, C::ShaderBytecode},
        {"DXBC of a vertex program in a pixel program",
         [&](auto& b) { b = withDxbc(blob, view, vertexView.dxbc, vertexView.dxbcByteCount); },
         gpu::ShaderStage::Pixel, C::ShaderStage},
        {"DXBC too short for a container", [&](auto& b) { b = withDxbc(blob, view, view.dxbc, 16); },
         gpu::ShaderStage::Pixel, C::ShaderBytecode},
        // The padded size still matches, so only the container's own size can tell.
        {"DXBC count one byte short", [&](auto& b) { putWord(b, countAt, view.dxbcByteCount - 1); },
         gpu::ShaderStage::Pixel, C::ShaderBytecode},
        {"DXBC count a word short", [&](auto& b) { putWord(b, countAt, view.dxbcByteCount - 4); },
         gpu::ShaderStage::Pixel, C::ShaderBytecode},
        {"DXBC count a word long", [&](auto& b) { putWord(b, countAt, view.dxbcByteCount + 4); },
         gpu::ShaderStage::Pixel, C::ShaderBytecode},
        {"DXBC count zero with DXBC bytes left", [&](auto& b) { putWord(b, countAt, 0); },
         gpu::ShaderStage::Pixel, C::ShaderBytecode},
        // Rounded up to whole words these wrap to 0 in 32 bits.
        {"DXBC count 0xffffffff", [&](auto& b) { putWord(b, countAt, 0xffffffffu); }, gpu::ShaderStage::Pixel,
         C::ShaderBytecode},
        {"DXBC count 0xfffffffd", [&](auto& b) { putWord(b, countAt, 0xfffffffdu); }, gpu::ShaderStage::Pixel,
         C::ShaderBytecode},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> forged = blob;
        c.damage(forged);
        EXPECT_STREQ(gpu::CheckName(gpu::CheckShaderBytecode(forged.data(), forged.size(), c.stage)),
                     gpu::CheckName(c.expected))
            << c.what;
    }
}
