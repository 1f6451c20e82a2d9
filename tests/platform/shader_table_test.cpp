// The embedded programs and their binding tables, checked without a GPU.
#include "platform/gpu.h"
#include "shaders/shader_program.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

using namespace shaders;

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

TEST(ShaderTable, EveryProgramParsesAndSitsInTheStageItsNameSays) {
    const auto programs = shaders::allShaderPrograms();
    for (const char* name :
         {"fullscreen_vs", "output_vs", "output_ps", "mirror_ps", "mirror2_ps", "vertex_colour_ps"})
        EXPECT_NE(shaders::findShaderProgram(name), nullptr) << name;
    EXPECT_EQ(shaders::findShaderProgram("no_such_ps"), nullptr);
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

TEST(ShaderBytecode, TruncatedForgedOrOverflowingBlobsAreRejected) {
    const ShaderProgram* program = shaders::findShaderProgram("mirror_ps");
    ASSERT_NE(program, nullptr);
    std::vector<uint8_t> blob(static_cast<const uint8_t*>(program->bytecode),
                              static_cast<const uint8_t*>(program->bytecode) + program->size);
    gpu::ShaderBytecodeView view;
    for (size_t size = 0; size < blob.size(); size += 4)
        EXPECT_FALSE(gpu::ParseShaderBytecode(blob.data(), size, &view)) << size;
    std::vector<uint8_t> forged = blob;
    forged[0] ^= 1;
    EXPECT_FALSE(gpu::ParseShaderBytecode(forged.data(), forged.size(), &view)) << "magic";
    forged = blob;
    const uint32_t huge = 0x40000001; // bindingCount * 8 wraps in 32 bits
    std::memcpy(forged.data() + 8, &huge, 4);
    EXPECT_FALSE(gpu::ParseShaderBytecode(forged.data(), forged.size(), &view)) << "binding count";
    forged = blob;
    const uint32_t badKind = 99;
    std::memcpy(forged.data() + sizeof(gpu::ShaderBytecodeHeader) + 4, &badKind, 4);
    EXPECT_FALSE(gpu::ParseShaderBytecode(forged.data(), forged.size(), &view)) << "binding kind";
    EXPECT_TRUE(gpu::ParseShaderBytecode(blob.data(), blob.size(), &view));
}
