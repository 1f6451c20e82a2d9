// A mutator that knows the PCF table of contents: most mutations change one table and keep the others and
// the table of contents consistent, so the reader gets past the header into every table type. A table's
// body is mutated in place (growing or shrinking it moves the tables behind it), a table's format word has
// one of its flags flipped (byte order, bit order, padding, scan unit, compressed metrics), or an entry of
// the table of contents takes another table type. The rest are libFuzzer's own byte mutations.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <random>
#include <vector>

extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t maxSize);

namespace {

constexpr uint32_t kMagic = 0x70636601u;
constexpr size_t kMaxTables = 64;
constexpr uint32_t kTypes[] = {1u << 0, 1u << 1, 1u << 2, 1u << 3, 1u << 5, 1u << 8};
constexpr uint32_t kFormatFlags[] = {1u << 0, 1u << 1, 1u << 2, 1u << 3, 1u << 4, 1u << 5, 0x100};

uint32_t read32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
void write32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

struct Entry {
    size_t at; // of the entry in the table of contents
    uint32_t size, offset;
};

// The entries whose tables lie wholly inside the data and hold at least their format word.
std::vector<Entry> readContents(const uint8_t* data, size_t size) {
    std::vector<Entry> entries;
    if (size < 8 || read32(data) != kMagic) return entries;
    const uint32_t count = read32(data + 4);
    if (count > kMaxTables || 8 + 16 * size_t(count) > size) return entries;
    for (uint32_t i = 0; i < count; ++i) {
        const size_t at = 8 + 16 * size_t(i);
        const Entry e{at, read32(data + at + 8), read32(data + at + 12)};
        if (e.size >= 4 && e.offset >= 8 + 16 * size_t(count) && size_t(e.offset) + e.size <= size)
            entries.push_back(e);
    }
    return entries;
}

// Mutates the bytes of one table behind its format word; the tables behind it move with its new length.
size_t mutateBody(uint8_t* data, size_t size, size_t maxSize, const Entry& e) {
    const size_t body = e.offset + 4, bodySize = e.size - 4, end = size_t(e.offset) + e.size;
    std::vector<uint8_t> bytes(data + body, data + end);
    bytes.resize(bodySize + (maxSize - size));
    if (bytes.empty()) return LLVMFuzzerMutate(data, size, maxSize);
    const size_t newSize = LLVMFuzzerMutate(bytes.data(), bodySize, bytes.size());
    const std::vector<uint8_t> tail(data + end, data + size);
    std::copy(bytes.begin(), bytes.begin() + ptrdiff_t(newSize), data + body);
    std::copy(tail.begin(), tail.end(), data + body + newSize);
    const auto delta = int64_t(newSize) - int64_t(bodySize);
    const uint32_t count = read32(data + 4);
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t* entry = data + 8 + 16 * size_t(i);
        if (read32(entry + 12) >= end) write32(entry + 12, uint32_t(read32(entry + 12) + delta));
    }
    write32(data + e.at + 8, uint32_t(4 + newSize));
    return size_t(int64_t(size) + delta);
}

} // namespace

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t maxSize, unsigned int seed) {
    std::minstd_rand random(seed);
    const std::vector<Entry> entries = readContents(data, size);
    if (entries.empty() || random() % 4 == 0) return LLVMFuzzerMutate(data, size, maxSize);
    const Entry& e = entries[random() % entries.size()];
    switch (random() % 4) {
    case 0: {
        const uint32_t format = read32(data + e.offset) ^ kFormatFlags[random() % std::size(kFormatFlags)];
        write32(data + e.offset, format);
        write32(data + e.at + 4, format);
        return size;
    }
    case 1:
        write32(data + e.at, kTypes[random() % std::size(kTypes)]);
        return size;
    default:
        return mutateBody(data, size, maxSize, e);
    }
}
