// The committed DXBC programs: each one sound as a Direct3D 11 loader checks it, shader model 5.0 for its
// stage, binding the registers that its SPIR-V twin binds; and the reader refusing damaged containers.
#include "platform/dxbc_container.h"
#include "platform/gpu.h"
#include "shaders/shader_program.h"
#include "tests/platform/binding_registers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

using namespace shaders;

namespace {

std::vector<uint8_t> readBlob(const std::string& name) {
    std::ifstream in(std::string(MIRELANDT_DXBC_DIR) + "/" + name + ".dxbc", std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(DxbcBlobs, EveryProgramHasASoundShaderModel50BlobBindingTheRegistersOfItsSpirv) {
    const auto programs = shaders::allShaderPrograms();
    size_t blobs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(MIRELANDT_DXBC_DIR))
        blobs += entry.path().extension() == ".dxbc";
    EXPECT_EQ(blobs, programs.size()) << "one blob per program, no blob without a program";
    for (const ShaderProgram* program : programs) {
        SCOPED_TRACE(program->name);
        const std::vector<uint8_t> blob = readBlob(program->name);
        gpu::DxbcContainer container;
        ASSERT_EQ(gpu::ReadDxbcContainer(blob.data(), blob.size(), &container), "");
        for (const char* tag : {"RDEF", "ISGN", "OSGN", "STAT"}) {
            const uint32_t code = gpu::DxbcTag({tag[0], tag[1], tag[2], tag[3], 0});
            EXPECT_EQ(std::count(container.chunkTags.begin(), container.chunkTags.end(), code), 1) << tag;
        }
        // This compiler writes the program chunk as SHDR; SHEX carries the same 5.0 program.
        EXPECT_TRUE(container.programTag == gpu::DxbcTag("SHDR") ||
                    container.programTag == gpu::DxbcTag("SHEX"));
        EXPECT_EQ(container.majorVersion, 5u);
        EXPECT_EQ(container.minorVersion, 0u);
        EXPECT_EQ(container.programType, test_registers::programType(program->stage));
        EXPECT_EQ(
            test_registers::describe(container.registers),
            test_registers::describe(test_registers::fromBindings(program->bindings, program->bindingCount)));
    }
}

// Rewrites the checksum so that a damage behind it reaches the later checks.
void reseal(std::vector<uint8_t>& blob) {
    uint32_t checksum[4];
    gpu::DxbcChecksum(blob.data(), blob.size(), checksum);
    std::memcpy(blob.data() + 4, checksum, sizeof(checksum));
}

uint32_t chunkOffset(const std::vector<uint8_t>& blob, const char (&tag)[5]) {
    uint32_t count, offset, code;
    std::memcpy(&count, blob.data() + 28, 4);
    for (uint32_t i = 0; i < count; ++i) {
        std::memcpy(&offset, blob.data() + 32 + 4 * i, 4);
        std::memcpy(&code, blob.data() + offset, 4);
        if (code == gpu::DxbcTag(tag)) return offset;
    }
    return 0;
}

void putWord(std::vector<uint8_t>& blob, size_t at, uint32_t value) {
    std::memcpy(blob.data() + at, &value, 4);
}

TEST(DxbcBlobs, TheReaderRefusesDamagedContainersWithTheirFault) {
    const std::vector<uint8_t> sound = readBlob("text_layers_ps");
    ASSERT_GT(sound.size(), 64u);
    const uint32_t rdef = chunkOffset(sound, "RDEF");
    const uint32_t program =
        chunkOffset(sound, "SHDR") ? chunkOffset(sound, "SHDR") : chunkOffset(sound, "SHEX");
    ASSERT_TRUE(rdef && program);
    struct Case {
        std::function<void(std::vector<uint8_t>&)> damage;
        const char* fault;
    };
    const Case cases[] = {
        {[](auto& b) { b.resize(20); }, "shorter than a DXBC header"},
        {[](auto& b) { b[0] = 'X'; }, "no DXBC magic"},
        {[](auto& b) { b[b.size() / 2] ^= 1; }, "the container checksum does not match its bytes"},
        {[](auto& b) { b.pop_back(); }, "the container checksum does not match its bytes"},
        {[](auto& b) { putWord(b, 24, uint32_t(b.size() + 4)), reseal(b); },
         "the declared size is not the container's size"},
        {[](auto& b) { putWord(b, 28, 0x40000000), reseal(b); }, "more chunks than the container can hold"},
        {[](auto& b) { putWord(b, 32, uint32_t(b.size() - 4)), reseal(b); },
         "a chunk starts outside the container"},
        {[&](auto& b) { putWord(b, rdef + 4, 0xfffffff0), reseal(b); }, "a chunk ends outside the container"},
        {[&](auto& b) { putWord(b, rdef + 8 + 8, 0x10000000), reseal(b); },
         "the RDEF bindings lie outside their chunk"},
        {[&](auto& b) { putWord(b, rdef + 8 + 12, 0xfffffff0), reseal(b); },
         "the RDEF bindings lie outside their chunk"},
        {[&](auto& b) { std::memcpy(b.data() + rdef, "XXXX", 4), reseal(b); }, "no RDEF chunk"},
        {[&](auto& b) { std::memcpy(b.data() + program, "XXXX", 4), reseal(b); }, "no program chunk"},
        {[&](auto& b) { putWord(b, program + 8, 0x00070050), reseal(b); }, "unknown program type"},
        {[&](auto& b) { putWord(b, program + 12, 1), reseal(b); }, "the program's length is not its chunk's"},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> blob = sound;
        c.damage(blob);
        gpu::DxbcContainer container;
        EXPECT_EQ(gpu::ReadDxbcContainer(blob.data(), blob.size(), &container), c.fault);
    }
    gpu::DxbcContainer container;
    EXPECT_EQ(gpu::ReadDxbcContainer(sound.data(), sound.size(), &container), "");
}

} // namespace
