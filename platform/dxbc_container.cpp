// The DXBC container reader: header, checksum, chunk table, RDEF bindings and the program's version.
#include "platform/dxbc_container.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace gpu {

namespace {

uint32_t readWord(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// MD5's compression of one 64-byte block into the state.
void md5Block(uint32_t state[4], const uint8_t block[64]) {
    static constexpr uint32_t kShifts[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                                             5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                                             4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                                             6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};
    static const auto kSines = [] {
        // floor(2^32 * |sin(i + 1)|), MD5's additive constants.
        struct Table {
            uint32_t k[64];
        } t{};
        for (int i = 0; i < 64; ++i) t.k[i] = uint32_t(uint64_t(4294967296.0 * std::abs(std::sin(i + 1.0))));
        return t;
    }();
    uint32_t m[16];
    for (int i = 0; i < 16; ++i) m[i] = readWord(block + 4 * i);
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (int i = 0; i < 64; ++i) {
        uint32_t f;
        int g;
        if (i < 16) {
            f = (b & c) | (~b & d);
            g = i;
        } else if (i < 32) {
            f = (d & b) | (~d & c);
            g = (5 * i + 1) % 16;
        } else if (i < 48) {
            f = b ^ c ^ d;
            g = (3 * i + 5) % 16;
        } else {
            f = c ^ (b | ~d);
            g = (7 * i) % 16;
        }
        const uint32_t rotated = std::rotl(a + f + kSines.k[i] + m[g], int(kShifts[i]));
        a = d;
        d = c;
        c = b;
        b += rotated;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

void putWord(uint8_t* p, uint32_t value) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(value >> (8 * i));
}

// The register class an RDEF binding of this input type takes.
char registerType(uint32_t inputType) {
    switch (inputType) {
    case 0: // cbuffer
    case 1: // tbuffer
        return 'b';
    case 2: // texture or typed buffer
    case 5: // structured buffer
    case 7: // byte-address buffer
        return 't';
    case 3:
        return 's';
    case 4:  // RW typed
    case 6:  // RW structured
    case 8:  // RW byte-address
    case 9:  // append
    case 10: // consume
    case 11: // RW structured with counter
        return 'u';
    default:
        return 0;
    }
}

constexpr size_t kHeaderSize = 32; // magic, checksum, version 1, total size, chunk count
constexpr size_t kRdefHeaderSize = 28;
constexpr size_t kRdefBindingSize = 32;

} // namespace

void DxbcChecksum(const uint8_t* bytes, size_t size, uint32_t checksum[4]) {
    uint32_t state[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
    const uint8_t* data = size > 20 ? bytes + 20 : bytes;
    const size_t length = size > 20 ? size - 20 : 0;
    size_t done = 0;
    for (; length - done >= 64; done += 64) md5Block(state, data + done);
    const size_t left = length - done;
    // The bit count goes first in the last block and the odd word (2 * length + 1) last.
    uint8_t block[64] = {};
    const auto bits = uint32_t(length * 8);
    const auto tail = uint32_t(length * 2 + 1);
    if (left >= 56) {
        std::memcpy(block, data + done, left);
        block[left] = 0x80;
        md5Block(state, block);
        std::memset(block, 0, sizeof(block));
        putWord(block, bits);
    } else {
        putWord(block, bits);
        std::memcpy(block + 4, data + done, left);
        block[4 + left] = 0x80;
    }
    putWord(block + 60, tail);
    md5Block(state, block);
    std::copy(state, state + 4, checksum);
}

std::string ReadDxbcContainer(const void* source, size_t size, DxbcContainer* container) {
    const auto* bytes = static_cast<const uint8_t*>(source);
    if (!bytes || size < kHeaderSize) return "shorter than a DXBC header";
    if (std::memcmp(bytes, "DXBC", 4) != 0) return "no DXBC magic";
    uint32_t checksum[4];
    DxbcChecksum(bytes, size, checksum);
    for (int i = 0; i < 4; ++i) {
        if (readWord(bytes + 4 + 4 * i) != checksum[i])
            return "the container checksum does not match its bytes";
    }
    if (readWord(bytes + 20) != 1) return "container version is not 1";
    if (readWord(bytes + 24) != size) return "the declared size is not the container's size";
    const uint32_t chunkCount = readWord(bytes + 28);
    if (chunkCount > (size - kHeaderSize) / 4) return "more chunks than the container can hold";

    DxbcContainer result;
    const uint8_t* rdef = nullptr;
    uint32_t rdefSize = 0;
    const uint8_t* program = nullptr;
    uint32_t programSize = 0;
    for (uint32_t i = 0; i < chunkCount; ++i) {
        const uint32_t offset = readWord(bytes + kHeaderSize + 4 * i);
        if (offset > size || size - offset < 8) return "a chunk starts outside the container";
        const uint32_t tag = readWord(bytes + offset);
        const uint32_t chunkSize = readWord(bytes + offset + 4);
        if (chunkSize > size - offset - 8) return "a chunk ends outside the container";
        result.chunkTags.push_back(tag);
        const uint8_t* data = bytes + offset + 8;
        if (tag == DxbcTag("RDEF")) {
            if (rdef) return "two RDEF chunks";
            rdef = data;
            rdefSize = chunkSize;
        } else if (tag == DxbcTag("SHDR") || tag == DxbcTag("SHEX")) {
            if (program) return "two program chunks";
            program = data;
            programSize = chunkSize;
            result.programTag = tag;
        }
    }
    if (!program || programSize < 8) return "no program chunk";
    const uint32_t version = readWord(program);
    result.minorVersion = version & 0xf;
    result.majorVersion = (version >> 4) & 0xf;
    const uint32_t type = version >> 16;
    if (type > uint32_t(DxbcProgramType::Compute)) return "unknown program type";
    result.programType = DxbcProgramType(type);
    if (uint64_t(readWord(program + 4)) * 4 != programSize) return "the program's length is not its chunk's";

    if (!rdef || rdefSize < kRdefHeaderSize) return "no RDEF chunk";
    const uint32_t bindingCount = readWord(rdef + 8);
    const uint32_t bindingOffset = readWord(rdef + 12);
    if (bindingOffset > rdefSize || bindingCount > (rdefSize - bindingOffset) / kRdefBindingSize)
        return "the RDEF bindings lie outside their chunk";
    for (uint32_t i = 0; i < bindingCount; ++i) {
        const uint8_t* binding = rdef + bindingOffset + i * kRdefBindingSize;
        const char kind = registerType(readWord(binding + 4));
        if (!kind) return "an RDEF binding of unknown type";
        const uint32_t first = readWord(binding + 20);
        const uint32_t count = readWord(binding + 24);
        if (count == 0 || count > 128 || first > 128 - count)
            return "an RDEF binding's registers are out of range";
        for (uint32_t r = 0; r < count; ++r) result.registers.push_back({kind, first + r});
    }
    std::sort(result.registers.begin(), result.registers.end());
    *container = std::move(result);
    return {};
}

} // namespace gpu
