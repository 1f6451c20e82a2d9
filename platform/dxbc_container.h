// A checked look into a DXBC container (shader model 5.0 bytecode for Direct3D 11): the checks a loader
// makes before it hands the bytes to the device, and the registers the program binds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace gpu {

// A register the program binds: its class ('t' shader resource, 'u' unordered access, 'b' constant buffer,
// 's' sampler) and its number.
struct DxbcRegister {
    char type = 't';
    uint32_t slot = 0;
    bool operator==(const DxbcRegister&) const = default;
    auto operator<=>(const DxbcRegister&) const = default;
};

// What the program chunk's version token names; the numbers are Direct3D's program types.
enum class DxbcProgramType : uint32_t {
    Pixel = 0,
    Vertex = 1,
    Geometry = 2,
    Hull = 3,
    Domain = 4,
    Compute = 5
};

struct DxbcContainer {
    std::vector<uint32_t> chunkTags; // four-character codes, in the container's order
    uint32_t programTag = 0;         // SHDR or SHEX
    DxbcProgramType programType = DxbcProgramType::Pixel;
    uint32_t majorVersion = 0;
    uint32_t minorVersion = 0;
    std::vector<DxbcRegister> registers; // from RDEF, one per bound register, ascending
};

constexpr uint32_t DxbcTag(const char (&tag)[5]) {
    return uint32_t(uint8_t(tag[0])) | uint32_t(uint8_t(tag[1])) << 8 | uint32_t(uint8_t(tag[2])) << 16 |
           uint32_t(uint8_t(tag[3])) << 24;
}

// The container's checksum: MD5's rounds over the bytes from offset 20 on, with the length words placed
// where DXBC puts them instead of MD5's own padding.
void DxbcChecksum(const uint8_t* bytes, size_t size, uint32_t checksum[4]);

// Reads and checks a container: the magic, the checksum, the declared size, every chunk inside the bytes,
// one RDEF chunk whose bindings lie inside it, and one program chunk. Returns an empty string and fills
// *container when sound, else what is wrong.
std::string ReadDxbcContainer(const void* bytes, size_t size, DxbcContainer* container);

} // namespace gpu
