#include "generators/pagegen/pcf_font.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace generators {

namespace {

constexpr uint32_t kAccelerators = 1u << 1, kMetricsTable = 1u << 2, kBitmapsTable = 1u << 3,
                   kEncodingsTable = 1u << 5, kBdfAccelerators = 1u << 8;
constexpr uint32_t kCompressedMetrics = 0x100, kByteOrderMsb = 1u << 2, kBitOrderMsb = 1u << 3;

[[noreturn]] void damaged(const std::string& what) {
    throw std::runtime_error("PCF font: " + what);
}

// A table's bytes, read in the byte order its format word announces.
class TableReader {
  public:
    TableReader(std::span<const uint8_t> bytes, const char* name) : bytes(bytes), name(name) {
        format = take(4, false);
        msb = format & kByteOrderMsb;
    }
    uint32_t u32() { return take(4, msb); }
    int32_t i32() { return int32_t(u32()); }
    int16_t i16() { return int16_t(take(2, msb)); }
    uint16_t u16() { return uint16_t(take(2, msb)); }
    uint8_t u8() { return uint8_t(take(1, msb)); }
    std::span<const uint8_t> block(size_t size) {
        if (size > bytes.size() - position) damaged(std::string(name) + " table is truncated");
        auto out = bytes.subspan(position, size);
        position += size;
        return out;
    }
    uint32_t format = 0;

  private:
    uint32_t take(int size, bool bigEndian) {
        auto raw = block(size_t(size));
        uint32_t value = 0;
        for (int i = 0; i < size; ++i) value |= uint32_t(raw[bigEndian ? size - 1 - i : i]) << (8 * i);
        return value;
    }
    std::span<const uint8_t> bytes;
    const char* name;
    size_t position = 0;
    bool msb = false;
};

struct Metrics {
    int left, right, width, ascent, descent;
};

std::vector<Metrics> readMetrics(TableReader table) {
    bool compressed = table.format & kCompressedMetrics;
    uint32_t count = compressed ? table.u16() : table.u32();
    std::vector<Metrics> out;
    for (uint32_t i = 0; i < count; ++i) {
        if (compressed) {
            int v[5];
            for (int& x : v) x = int(table.u8()) - 0x80;
            out.push_back({v[0], v[1], v[2], v[3], v[4]});
        } else {
            int v[6];
            for (int& x : v) x = table.i16();
            out.push_back({v[0], v[1], v[2], v[3], v[4]});
        }
    }
    return out;
}

// Turns every glyph's bitmap into bytes whose most significant bit is the leftmost pixel.
std::vector<uint8_t> normalisedBitmaps(std::span<const uint8_t> raw, uint32_t format) {
    std::vector<uint8_t> out(raw.begin(), raw.end());
    size_t unit = size_t(1) << ((format >> 4) & 3);
    bool msbBytes = format & kByteOrderMsb, msbBits = format & kBitOrderMsb;
    if (unit > 1 && msbBytes != msbBits) {
        if (out.size() % unit) damaged("bitmap data is not a whole number of scan units");
        for (size_t i = 0; i < out.size(); i += unit)
            for (size_t a = 0, b = unit - 1; a < b; ++a, --b) std::swap(out[i + a], out[i + b]);
    }
    if (!msbBits)
        for (auto& byte : out) {
            uint8_t reversed = 0;
            for (int bit = 0; bit < 8; ++bit) reversed |= uint8_t(((byte >> bit) & 1) << (7 - bit));
            byte = reversed;
        }
    return out;
}

} // namespace

BitmapFont readPcfFont(std::span<const uint8_t> data) {
    // The file header reads like a little-endian table whose format word is the magic "\1fcp".
    TableReader header(data, "header");
    if (header.format != 0x70636601u) damaged("not a PCF file");
    uint32_t tableCount = header.u32();
    if (tableCount > 64) damaged("implausible table count");
    std::unordered_map<uint32_t, std::span<const uint8_t>> tables;
    for (uint32_t i = 0; i < tableCount; ++i) {
        uint32_t type = header.u32();
        header.u32(); // the format is repeated at the start of the table
        uint32_t size = header.u32(), offset = header.u32();
        // Font compilers round a table's size up, so the last one may claim bytes past the end of the
        // file; reading those is still caught by the table reader.
        if (offset >= data.size()) damaged("a table lies outside the file");
        tables[type] = data.subspan(offset, std::min<size_t>(size, data.size() - offset));
    }
    auto table = [&](uint32_t type, const char* name) {
        auto found = tables.find(type);
        if (found == tables.end()) damaged(std::string("no ") + name + " table");
        return TableReader(found->second, name);
    };

    TableReader accel = tables.count(kBdfAccelerators) ? table(kBdfAccelerators, "accelerators")
                                                       : table(kAccelerators, "accelerators");
    accel.block(8); // drawing hints
    int fontAscent = accel.i32(), fontDescent = accel.i32();

    std::vector<Metrics> metrics = readMetrics(table(kMetricsTable, "metrics"));

    TableReader bitmaps = table(kBitmapsTable, "bitmaps");
    uint32_t glyphCount = bitmaps.u32();
    if (glyphCount != metrics.size()) damaged("bitmap and metric counts differ");
    std::vector<uint32_t> offsets(glyphCount);
    for (auto& offset : offsets) offset = bitmaps.u32();
    uint32_t sizes[4];
    for (auto& size : sizes) size = bitmaps.u32();
    uint32_t rowPad = 1u << (bitmaps.format & 3);
    std::vector<uint8_t> bits = normalisedBitmaps(bitmaps.block(sizes[bitmaps.format & 3]), bitmaps.format);

    BitmapFont font;
    // Bounded one by one first, so that neither their sum nor a glyph's offset from the top can overflow.
    auto plausible = [](int extent) { return extent >= -64 && extent <= 64; };
    if (!plausible(fontAscent) || !plausible(fontDescent)) damaged("implausible font height");
    font.cellHeight = fontAscent + fontDescent;
    if (font.cellHeight <= 0 || font.cellHeight > 64) damaged("implausible font height");

    TableReader encodings = table(kEncodingsTable, "encodings");
    int firstColumn = encodings.i16(), lastColumn = encodings.i16();
    int firstRow = encodings.i16(), lastRow = encodings.i16();
    encodings.i16(); // default character
    if (firstColumn > lastColumn || firstRow > lastRow || lastColumn > 255 || lastRow > 255 ||
        firstColumn < 0 || firstRow < 0)
        damaged("bad encoding range");
    for (int row = firstRow; row <= lastRow; ++row)
        for (int column = firstColumn; column <= lastColumn; ++column) {
            uint16_t index = encodings.u16();
            if (index == 0xFFFF) continue;
            if (index >= glyphCount) damaged("an encoding names a missing glyph");
            const Metrics& m = metrics[index];
            if (font.cellWidth == 0) font.cellWidth = m.width;
            if (m.width != font.cellWidth || m.width <= 0 || m.width > 64)
                damaged("the font is not monospaced");
            int width = m.right - m.left, height = m.ascent + m.descent;
            int top = fontAscent - m.ascent;
            if (width < 0 || height < 0 || m.left < 0 || m.right > font.cellWidth || top < 0 ||
                top + height > font.cellHeight)
                damaged("a glyph reaches outside its cell");
            uint32_t rowBytes = (uint32_t(width) + 8 * rowPad - 1) / (8 * rowPad) * rowPad;
            if (offsets[index] > bits.size() || uint64_t(rowBytes) * height > bits.size() - offsets[index])
                damaged("a glyph's bitmap lies outside the bitmap data");
            std::vector<uint8_t> pixels(size_t(font.cellWidth) * font.cellHeight);
            const uint8_t* glyph = bits.data() + offsets[index];
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x)
                    pixels[size_t(top + y) * font.cellWidth + m.left + x] =
                        (glyph[y * rowBytes + x / 8] >> (7 - x % 8)) & 1;
            font.glyphs[uint32_t(row) << 8 | uint32_t(column)] = std::move(pixels);
        }
    return font;
}

} // namespace generators
