// Writes the PCF fuzzer's seeds: small fonts made of glyphs of the font the build converts, written back as
// PCF in every layout the reader handles, so that between them the seeds hold each table type the reader
// looks for (accelerators of both kinds, metrics, bitmaps, encodings) plus one it skips, both metric
// encodings, both byte and bit orders, every row padding and the scan units up to it, full-cell and
// ink-tight glyph boxes, and encodings of one row and of two.
//   pcf_fuzz_seeds FONT.pcf[.gz] OUTPUT_FOLDER
#include "generators/pagegen/font_table.h"
#include "generators/pagegen/pcf_font.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

using namespace generators;

namespace {

constexpr uint32_t kProperties = 1u << 0, kAccelerators = 1u << 1, kMetrics = 1u << 2, kBitmaps = 1u << 3,
                   kEncodings = 1u << 5, kBdfAccelerators = 1u << 8;
constexpr uint32_t kByteOrderMsb = 1u << 2, kBitOrderMsb = 1u << 3, kCompressedMetrics = 0x100;

// The glyphs taken from the source font: printable ASCII and a few of Latin Extended-A.
std::vector<uint32_t> characters(bool twoRows) {
    std::vector<uint32_t> out;
    for (uint32_t c = 0x20; c < 0x7F; c += 3) out.push_back(c);
    if (twoRows)
        for (uint32_t c = 0x100; c < 0x110; ++c) out.push_back(c);
    return out;
}

struct Layout {
    bool msbBytes, msbBits, compressed, bdfAccelerators, tight, twoRows;
    uint32_t padShift, unitShift; // row padding and scan unit: 1 << shift bytes
};

// A table's bytes: the format word (always least significant byte first), then fields in its byte order.
struct Table {
    uint32_t type, format;
    std::vector<uint8_t> bytes;

    Table(uint32_t tableType, uint32_t tableFormat) : type(tableType), format(tableFormat) {
        for (int i = 0; i < 4; ++i) bytes.push_back(uint8_t(format >> (8 * i)));
    }
    void put(uint32_t value, int size) {
        for (int i = 0; i < size; ++i) {
            int shift = format & kByteOrderMsb ? 8 * (size - 1 - i) : 8 * i;
            bytes.push_back(uint8_t(value >> shift));
        }
    }
    void u32(uint32_t value) { put(value, 4); }
    void u16(uint32_t value) { put(value, 2); }
};

struct Box {
    int left, right, ascent, descent; // as the metrics table states them
};

Box inkBox(const std::vector<uint8_t>& pixels, int width, int height, int fontAscent, bool tight) {
    if (!tight) return {0, width, fontAscent, height - fontAscent};
    int minX = width, maxX = -1, minY = height, maxY = -1;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (pixels[size_t(y) * width + x]) {
                minX = std::min(minX, x), maxX = std::max(maxX, x);
                minY = std::min(minY, y), maxY = std::max(maxY, y);
            }
    if (maxX < 0) return {0, 0, 0, 0};
    return {minX, maxX + 1, fontAscent - minY, maxY + 1 - fontAscent};
}

uint8_t reversedBits(uint8_t byte) {
    uint8_t out = 0;
    for (int bit = 0; bit < 8; ++bit) out |= uint8_t(((byte >> bit) & 1) << (7 - bit));
    return out;
}

// The glyph's box as rows of rowPad-padded bytes, leftmost pixel in the most significant bit.
std::vector<uint8_t> glyphRows(const std::vector<uint8_t>& pixels, int width, int fontAscent, const Box& box,
                               uint32_t rowPad) {
    int boxWidth = box.right - box.left, top = fontAscent - box.ascent;
    uint32_t rowBytes = (uint32_t(boxWidth) + 8 * rowPad - 1) / (8 * rowPad) * rowPad;
    std::vector<uint8_t> rows(rowBytes * uint32_t(box.ascent + box.descent));
    for (int y = 0; y < box.ascent + box.descent; ++y)
        for (int x = 0; x < boxWidth; ++x)
            if (pixels[size_t(top + y) * width + box.left + x])
                rows[y * rowBytes + x / 8] |= uint8_t(0x80 >> (x % 8));
    return rows;
}

std::vector<uint8_t> writePcf(const BitmapFont& font, const Layout& layout) {
    const uint32_t order = (layout.msbBytes ? kByteOrderMsb : 0) | (layout.msbBits ? kBitOrderMsb : 0);
    const int fontAscent = font.cellHeight * 3 / 4, fontDescent = font.cellHeight - fontAscent;
    std::map<uint32_t, uint32_t> glyphIndex; // encoding to glyph
    std::vector<Box> boxes;
    std::vector<const std::vector<uint8_t>*> glyphs;
    for (uint32_t c : characters(layout.twoRows)) {
        auto found = font.glyphs.find(c);
        if (found == font.glyphs.end()) continue;
        glyphIndex[c] = uint32_t(glyphs.size());
        glyphs.push_back(&found->second);
        boxes.push_back(inkBox(found->second, font.cellWidth, font.cellHeight, fontAscent, layout.tight));
    }

    std::vector<Table> tables;
    // A properties table with no properties: present in real fonts, skipped by the reader.
    tables.emplace_back(kProperties, order);
    tables.back().u32(0);
    tables.back().u32(0);
    for (uint32_t type : {kAccelerators, kBdfAccelerators}) {
        if (type == kBdfAccelerators && !layout.bdfAccelerators) continue;
        Table& accelerators = tables.emplace_back(type, order);
        for (uint8_t hint : {0, 1, 1, 1, 0, 0, 0, 0}) accelerators.bytes.push_back(hint);
        accelerators.u32(uint32_t(fontAscent));
        accelerators.u32(uint32_t(fontDescent));
        accelerators.u32(0); // largest overlap
        for (int bound = 0; bound < 2; ++bound)
            for (int value : {0, font.cellWidth, font.cellWidth, fontAscent, fontDescent, 0})
                accelerators.u16(uint32_t(value));
    }

    Table& metrics = tables.emplace_back(kMetrics, order | (layout.compressed ? kCompressedMetrics : 0));
    layout.compressed ? metrics.u16(uint32_t(boxes.size())) : metrics.u32(uint32_t(boxes.size()));
    for (const Box& b : boxes) {
        const int values[6] = {b.left, b.right, font.cellWidth, b.ascent, b.descent, 0};
        for (int i = 0; i < (layout.compressed ? 5 : 6); ++i)
            layout.compressed ? metrics.bytes.push_back(uint8_t(values[i] + 0x80))
                              : metrics.u16(uint32_t(values[i]));
    }

    Table& bitmaps = tables.emplace_back(kBitmaps, order | layout.padShift | layout.unitShift << 4);
    bitmaps.u32(uint32_t(glyphs.size()));
    std::vector<uint8_t> data;
    uint32_t sizes[4] = {};
    for (size_t g = 0; g < glyphs.size(); ++g) {
        bitmaps.u32(uint32_t(data.size()));
        for (uint32_t pad = 0; pad < 4; ++pad) {
            std::vector<uint8_t> rows =
                glyphRows(*glyphs[g], font.cellWidth, fontAscent, boxes[g], 1u << pad);
            sizes[pad] += uint32_t(rows.size());
            if (pad == layout.padShift) data.insert(data.end(), rows.begin(), rows.end());
        }
    }
    for (uint32_t size : sizes) bitmaps.u32(size);
    // The stored order: bits reversed within bytes for a least significant bit first font, and bytes
    // reversed within scan units where byte and bit order differ.
    if (!layout.msbBits)
        for (uint8_t& byte : data) byte = reversedBits(byte);
    const size_t unit = size_t(1) << layout.unitShift;
    if (unit > 1 && layout.msbBytes != layout.msbBits)
        for (size_t i = 0; i < data.size(); i += unit)
            std::reverse(data.begin() + i, data.begin() + i + unit);
    bitmaps.bytes.insert(bitmaps.bytes.end(), data.begin(), data.end());

    Table& encodings = tables.emplace_back(kEncodings, order);
    const uint32_t first = glyphIndex.begin()->first, last = glyphIndex.rbegin()->first;
    uint32_t firstColumn = 255, lastColumn = 0;
    for (const auto& [c, index] : glyphIndex)
        firstColumn = std::min(firstColumn, c & 255), lastColumn = std::max(lastColumn, c & 255);
    for (uint32_t value : {firstColumn, lastColumn, first >> 8, last >> 8, 0u}) encodings.u16(value);
    for (uint32_t row = first >> 8; row <= last >> 8; ++row)
        for (uint32_t column = firstColumn; column <= lastColumn; ++column) {
            auto found = glyphIndex.find(row << 8 | column);
            encodings.u16(found == glyphIndex.end() ? 0xFFFF : found->second);
        }

    // Header and table of contents (least significant byte first), then the tables on 4-byte boundaries.
    std::vector<uint8_t> file;
    auto put32 = [&](uint32_t value) {
        for (int i = 0; i < 4; ++i) file.push_back(uint8_t(value >> (8 * i)));
    };
    put32(0x70636601u);
    put32(uint32_t(tables.size()));
    uint32_t offset = 8 + 16 * uint32_t(tables.size());
    for (const Table& table : tables) {
        put32(table.type);
        put32(table.format);
        put32(uint32_t(table.bytes.size()));
        put32(offset);
        offset += (uint32_t(table.bytes.size()) + 3) & ~3u;
    }
    for (const Table& table : tables) {
        file.insert(file.end(), table.bytes.begin(), table.bytes.end());
        file.resize((file.size() + 3) & ~size_t(3));
    }
    return file;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s FONT.pcf[.gz] OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    try {
        const BitmapFont font = readPcfFont(readMaybeGzipped(argv[1]));
        // Every padding with each scan unit up to it, alternating the other choices.
        int written = 0;
        for (uint32_t padShift = 0; padShift < 4; ++padShift)
            for (uint32_t unitShift = 0; unitShift <= std::min(padShift, 2u); ++unitShift) {
                const int n = written;
                const Layout layout{bool(n & 1),
                                    bool(n & 2),
                                    bool(n & 1) == bool(n & 4),
                                    bool(n & 4),
                                    bool(n & 2) != bool(n & 1),
                                    n % 3 == 0,
                                    padShift,
                                    unitShift};
                const std::vector<uint8_t> bytes = writePcf(font, layout);
                // Each seed must read back as the glyphs it was made from.
                const BitmapFont back = readPcfFont(bytes);
                for (const auto& [c, pixels] : back.glyphs)
                    if (pixels != font.glyphs.at(c)) throw std::runtime_error("a seed does not read back");
                const std::string path = std::string(argv[2]) + "/seed-" + std::to_string(written++) + ".pcf";
                std::FILE* f = std::fopen(path.c_str(), "wb");
                const bool ok = f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
                if (!f || std::fclose(f) != 0 || !ok) throw std::runtime_error("cannot write " + path);
            }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "pcf_fuzz_seeds: %s\n", error.what());
        return 1;
    }
    return 0;
}
