#include "generators/pagegen/animations.h"

#include "generators/pagegen/page_drawing.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <stdexcept>

namespace generators {

namespace {

using ColourMap = std::array<int, 16>;

// Block and shade characters belong to the letters; everything else is decoration around them.
bool isLetterCell(const Cell& cell) {
    return (cell.ch >= glyph::kLightShade && cell.ch <= glyph::kDarkShade) ||
           (cell.ch >= glyph::kFullBlock && cell.ch <= glyph::kUpperHalf);
}

Page recoloured(const Page& page, const ColourMap& map) {
    Page out = page;
    for (Cell& cell : out.cells) {
        if (cell.fg >= 0 && cell.fg < 16) cell.fg = map[size_t(cell.fg)];
        if (cell.bg >= 0 && cell.bg < 16) cell.bg = map[size_t(cell.bg)];
    }
    return out;
}

Page darkened(const Page& page, int steps) {
    ColourMap map{};
    for (int c = 0; c < 16; ++c) map[size_t(c)] = darker(c, steps);
    return recoloured(page, map);
}

// Cells removed at random; a larger share removes more, and every cell removed at a share stays
// removed at larger shares, so that a run of frames dissolves steadily.
Page dissolved(const Page& page, double share, uint32_t seed) {
    Page out = page;
    for (int y = 0; y < page.rows; ++y)
        for (int x = 0; x < page.columns; ++x)
            if (cellNoise(x, y, 0, seed) < share) out.at(x, y) = Cell{};
    return out;
}

// Horizontal slices shifted sideways, a sprinkling of wrong characters and a slice in a wrong colour,
// like a signal losing its sync for a frame.
Page glitched(const Page& page, int frame, int amplitude, uint32_t seed) {
    Page out(page.columns, page.rows);
    int sliceHeight = 2 + frame % 3;
    for (int y = 0; y < page.rows; ++y) {
        int slice = y / sliceHeight;
        double n = cellNoise(slice, 0, frame, seed);
        int shift = n < 0.35 ? 0 : int(std::lround((cellNoise(slice, 1, frame, seed) - 0.5) * 2 * amplitude));
        bool wrongColour = cellNoise(slice, 2, frame, seed) < 0.25;
        for (int x = 0; x < page.columns; ++x) {
            int from = x - shift;
            if (from < 0 || from >= page.columns) continue;
            Cell cell = page.at(from, y);
            if (wrongColour && cell.fg >= 0) cell.fg = cellNoise(slice, 3, frame, seed) < 0.5 ? 13 : 10;
            if (isVisible(cell) && cellNoise(x, y, frame, seed + 1) < 0.07) {
                static constexpr int kNoiseGlyphs[] = {glyph::kLightShade,
                                                       glyph::kMediumShade,
                                                       glyph::kDarkShade,
                                                       glyph::kUpperHalf,
                                                       glyph::kLowerHalf,
                                                       '#',
                                                       '%',
                                                       '/',
                                                       '\\'};
                cell.ch = kNoiseGlyphs[int(cellNoise(x, y, frame, seed + 2) * std::size(kNoiseGlyphs))];
                cell.fg = 15;
            }
            out.at(x, y) = cell;
        }
    }
    return out;
}

// Distance of every cell from the nearest visible cell of the page, counting a row as two columns so
// that halos come out round on the screen's 1:2 cells.
std::vector<int> distanceFromInk(const Page& page) {
    std::vector<int> distance(page.cells.size(), std::numeric_limits<int>::max());
    std::vector<std::pair<int, int>> ink;
    for (int y = 0; y < page.rows; ++y)
        for (int x = 0; x < page.columns; ++x)
            if (isVisible(page.at(x, y))) ink.emplace_back(x, y);
    for (int y = 0; y < page.rows; ++y)
        for (int x = 0; x < page.columns; ++x)
            for (auto [ix, iy] : ink)
                distance[size_t(y) * page.columns + x] = std::min(
                    distance[size_t(y) * page.columns + x], std::max(std::abs(x - ix), 2 * std::abs(y - iy)));
    return distance;
}

} // namespace

double cellNoise(int x, int y, int frame, uint32_t seed) {
    uint32_t h = seed * 0x9E3779B9u ^ uint32_t(x) * 0x85EBCA6Bu ^ uint32_t(y) * 0xC2B2AE35u ^
                 uint32_t(frame) * 0x27D4EB2Fu;
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return h / 4294967296.0;
}

int darker(int colour) {
    static constexpr int kStep[16] = {0, 0, 0, 1, 0, 1, 8, 8, 0, 1, 2, 3, 4, 5, 6, 7};
    return colour >= 0 && colour < 16 ? kStep[colour] : colour;
}

int darker(int colour, int steps) {
    for (int i = 0; i < steps; ++i) colour = darker(colour);
    return colour;
}

Frames logoBuildUp(const Page& logo, int count) {
    Frames frames;
    // The letters stand by the fifth-last frame; then a white flash, the colours coming back one shade
    // too bright and one too dark, and the finished page.
    const int flash = count - 4;
    const int buildFrames = flash;
    for (int f = 0; f < count; ++f) {
        if (f >= flash) {
            ColourMap settle{};
            for (int c = 0; c < 16; ++c) {
                int step = f - flash;
                settle[size_t(c)] = step == 0   ? (c ? 15 : 0)
                                    : step == 1 ? std::min(15, c | 8)
                                    : step == 2 ? darker(c)
                                                : c;
            }
            frames.push_back(recoloured(logo, settle));
            continue;
        }
        double progress = double(f) / (buildFrames - 1);
        Page frame(logo.columns, logo.rows);
        for (int y = 0; y < logo.rows; ++y)
            for (int x = 0; x < logo.columns; ++x) {
                const Cell& final = logo.at(x, y);
                if (!isVisible(final)) continue;
                if (!isLetterCell(final)) {
                    // The lettering around the logo types in from the left once the logo stands.
                    if (progress >= 0.75 + 0.25 * x / logo.columns) frame.at(x, y) = final;
                    continue;
                }
                // A diagonal front sweeps right and down; behind it the letters condense from light
                // shade to the full block, ahead of it a few sparks announce it.
                double arrival =
                    0.04 + 0.5 * x / logo.columns + 0.1 * y / logo.rows + 0.05 * cellNoise(x, y, 0, 7);
                double behind = progress - arrival;
                if (behind < 0) {
                    if (behind > -0.12 && cellNoise(x, y, f, 8) < 0.25)
                        frame.at(x, y) = {glyph::kSmallDot, behind > -0.06 ? 7 : 8, -1};
                } else if (behind < 0.04) {
                    frame.at(x, y) = {glyph::kLightShade, 1, -1};
                } else if (behind < 0.08) {
                    frame.at(x, y) = {glyph::kMediumShade, 9, -1};
                } else if (behind < 0.12) {
                    frame.at(x, y) = {glyph::kDarkShade, 11, -1};
                } else if (behind < 0.16) {
                    frame.at(x, y) = {glyph::kFullBlock, 15, -1};
                } else {
                    frame.at(x, y) = final;
                }
            }
        frames.push_back(frame);
    }
    return frames;
}

Frames logoEffects(const Page& logo, int count) {
    static constexpr ColourMap kWarm = {0, 4, 6, 4, 4, 5, 6, 14, 4, 12, 14, 14, 12, 13, 14, 15};
    static constexpr ColourMap kAcid = {0, 2, 2, 2, 2, 2, 2, 10, 2, 10, 10, 10, 10, 10, 14, 15};
    static constexpr ColourMap kNeon = {0, 5, 5, 5, 5, 5, 5, 13, 5, 13, 13, 13, 13, 13, 13, 15};
    static constexpr ColourMap kGhost = {0, 8, 8, 8, 8, 8, 8, 7, 8, 7, 7, 7, 7, 7, 7, 15};
    static constexpr const ColourMap* kFlicker[] = {&kWarm, &kAcid, &kNeon, &kGhost};

    Frames frames;
    for (int f = 0; f < count; ++f) {
        int k = (f - 1) % 4; // step within a group of four frames
        int group = (f - 1) / 4;
        Page frame(logo.columns, logo.rows);
        if (f == 0) {
            frame = logo;
        } else if (group == 0) {
            frame = glitched(logo, f, 4 + 4 * k, 101);
        } else if (group == 1) {
            // A wipe that eats the logo from the left behind a bright edge.
            double front = logo.columns * (0.15 + 0.25 * k);
            for (int y = 0; y < logo.rows; ++y)
                for (int x = 0; x < logo.columns; ++x) {
                    const Cell& cell = logo.at(x, y);
                    double ahead = x - front;
                    if (ahead < 0 || !isVisible(cell)) continue;
                    if (ahead < 2)
                        frame.at(x, y) = {glyph::kFullBlock, 15, -1};
                    else if (ahead < 4)
                        frame.at(x, y) = {glyph::kDarkShade, 11, -1};
                    else if (ahead < 6)
                        frame.at(x, y) = {glyph::kMediumShade, 9, -1};
                    else
                        frame.at(x, y) = cell;
                }
        } else if (group == 2) {
            // Blinds closing: more of every four rows turn to thin bars each frame.
            frame = logo;
            for (int y = 0; y < logo.rows; ++y)
                for (int x = 0; x < logo.columns; ++x)
                    if (y % 4 <= k && isVisible(logo.at(x, y)))
                        frame.at(x, y) = y % 4 == k ? Cell{glyph::kUpperHalf, 8, -1} : Cell{};
        } else if (group == 3) {
            // A flash: the page inverted to white, then white letters, then the colours returning.
            if (k == 0) {
                for (int y = 0; y < logo.rows; ++y)
                    for (int x = 0; x < logo.columns; ++x) frame.at(x, y) = {logo.at(x, y).ch, 0, 15};
            } else {
                ColourMap fade{};
                for (int c = 0; c < 16; ++c)
                    fade[size_t(c)] = k == 1 ? (c ? 15 : 0) : k == 2 ? std::min(15, c | 8) : c;
                frame = recoloured(logo, fade);
                if (k == 3) frame = glitched(frame, f, 2, 131);
            }
        } else if (group == 4) {
            // Interlace: every other row slips sideways and drops to the darker shades.
            for (int y = 0; y < logo.rows; ++y)
                for (int x = 0; x < logo.columns; ++x) {
                    bool slipped = (y + k) % 2 == 1;
                    int from = slipped ? x + (k % 2 ? 1 : -1) * (2 + 2 * k) : x;
                    if (from < 0 || from >= logo.columns) continue;
                    Cell cell = logo.at(from, y);
                    if (slipped) {
                        cell.fg = darker(cell.fg);
                        cell.bg = cell.bg >= 0 ? darker(cell.bg) : -1;
                    }
                    frame.at(x, y) = cell;
                }
        } else if (group == 5) {
            frame = dissolved(logo, 0.2 * (k + 1), 151);
        } else {
            frame = recoloured(logo, *kFlicker[size_t(k)]);
        }
        frames.push_back(frame);
    }
    return frames;
}

Frames backdrop(int columns, int rows, int count) {
    static constexpr int kCopper[] = {1, 9, 3, 11, 3, 9, 1, 0, 5, 13, 4, 12, 4, 13, 5, 0};
    static constexpr int kTunnel[] = {1, 3, 9, 11, 15, 7, 8, 0, 5, 13, 12, 4};
    static constexpr int kDim[] = {1, 8, 1, 0, 3, 8, 5};
    static constexpr int kShades[] = {glyph::kSpace, glyph::kLightShade, glyph::kMediumShade,
                                      glyph::kDarkShade};
    const int third = (count + 2) / 3;
    Frames frames;
    for (int f = 0; f < count; ++f) {
        int look = f / third, k = f % third;
        Page frame(columns, rows);
        for (int y = 0; y < rows; ++y)
            for (int x = 0; x < columns; ++x) {
                Cell& cell = frame.at(x, y);
                if (look == 0) {
                    // Copper bands rolling upwards, each lit at its top and shaded towards its bottom.
                    int line = y + 2 * k;
                    cell.bg = kCopper[(line / 3) % std::size(kCopper)];
                    cell.ch = kShades[line % 3];
                } else if (look == 1) {
                    // Nested frames whose colours run inwards, so that stepping the frame flies into them.
                    int ring = std::min({x, columns - 1 - x, 2 * y, 2 * (rows - 1 - y)}) / 4;
                    cell.bg = kTunnel[size_t(ring + 8 * std::size(kTunnel) - k) % std::size(kTunnel)];
                    int edge = std::min({x, columns - 1 - x, 2 * y, 2 * (rows - 1 - y)}) % 4;
                    cell.ch = edge == 0   ? glyph::kMediumShade
                              : edge == 1 ? glyph::kLightShade
                                          : glyph::kSpace;
                } else {
                    // Noise fields over dark colours, crossed by a brighter scan band moving down.
                    int band = (k * rows) / third;
                    bool lit = std::abs(y - band) <= 1;
                    cell.bg = lit ? (y == band ? 15 : 7)
                                  : kDim[int(cellNoise(x / 6, y / 2, f, 41) * std::size(kDim))];
                    cell.ch = kShades[int(cellNoise(x / 2, y, f, 43) * std::size(kShades))];
                }
            }
        // A dark frame line around the page holds the looks together; it cuts through the
        // characters but keeps each cell's background.
        Page lines(columns, rows);
        drawBox(lines, 1, 1, columns - 2, rows - 2, look == 1, {});
        for (size_t i = 0; i < lines.cells.size(); ++i)
            if (lines.cells[i].ch) frame.cells[i].ch = lines.cells[i].ch;
        frames.push_back(frame);
    }
    return frames;
}

Frames titlePulse(const Page& title, int count) {
    const std::vector<int> distance = distanceFromInk(title);
    auto pulse = [&](int level) {
        // The title brightens while a ring of shade characters runs outwards from it, leaving a faint
        // glow close to the letters.
        Page frame = darkened(title, (7 - level) * 3 / 7 + (level == 0));
        int ring = 3 + 4 * level;
        for (size_t i = 0; i < frame.cells.size(); ++i) {
            int d = distance[i];
            if (d == 0) continue;
            if (d <= 2 && level >= 3)
                frame.cells[i] = {glyph::kLightShade, 1, -1};
            else if (d > ring - 2 && d <= ring)
                frame.cells[i] = {glyph::kMediumShade, level >= 5 ? 11 : 9, -1};
            else if (d > ring - 5 && d <= ring - 2)
                frame.cells[i] = {glyph::kLightShade, level >= 5 ? 9 : 1, -1};
        }
        int margin = std::max(0, 7 - level);
        drawBox(frame, 2 * margin, margin, title.columns - 4 * margin, title.rows - 2 * margin, level >= 6,
                {0, level >= 4 ? 11 : 3, -1});
        return frame;
    };
    Frames frames;
    for (int f = 0; f < count; ++f) {
        if (f < 8)
            frames.push_back(pulse(f));
        else if (f == 8)
            frames.push_back(glitched(pulse(7), f, 12, 171));
        else if (f < 17)
            frames.push_back(pulse(16 - f));
        else
            frames.push_back(dissolved(pulse(0), double(f - 16) / (count - 17), 173));
    }
    return frames;
}

Frames codeChart(int columns, int rows, int count) {
    constexpr int kLastCode = 505, kPerLine = 64, kLeft = 9, kTop = 3;
    static constexpr int kBands[] = {1, 9, 3, 11, 2, 10, 5, 13, 4, 12, 6, 14};
    Frames frames;
    for (int f = 0; f < count; ++f) {
        Page frame(columns, rows);
        auto text = [&](int x, int y, const char* s, int fg) {
            for (int i = 0; s[i]; ++i) putCell(frame, x + i, y, uint8_t(s[i]), {0, fg, -1});
        };
        text(kLeft, 1, "CODES 0-505 (256 AND UP LIE BEYOND THE FONT)", 15);
        for (int code = 0; code <= kLastCode; ++code) {
            int line = code / kPerLine, x = kLeft + code % kPerLine, y = kTop + 2 * line;
            if (code % kPerLine == 0) {
                char label[8];
                std::snprintf(label, sizeof label, "%3d", code);
                text(2, y, label, 7);
            }
            int band = kBands[(code / 16 + f) % std::size(kBands)];
            putCell(frame, x, y, code, {0, 15, band});
        }
        frames.push_back(frame);
    }
    return frames;
}

Page cylinderPlasma(const BlockFont& font, int columns, int rows) {
    static constexpr int kRamps[] = {32, 48, 144, 128, 192, 112, 96, 80, 176, 160};
    constexpr int kHighestColour = 200;
    static constexpr int kShades[] = {glyph::kSpace, glyph::kLightShade, glyph::kMediumShade,
                                      glyph::kDarkShade};
    Page page(columns, rows);
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x) {
            double v = std::sin(x * 0.11) + std::sin(y * 0.07 + x * 0.03) +
                       std::sin(std::hypot(x - 40, y * 2 - 200) * 0.09);
            int level = std::clamp(int((v + 3) / 6 * 16), 0, 15);
            int ramp = kRamps[(y / 24) % std::size(kRamps)];
            page.at(x, y) = {kShades[level % 4], std::min(kHighestColour, ramp + std::min(15, level + 3)),
                             std::min(kHighestColour, ramp + level)};
        }
    BannerLook look;
    look.halfRowsPerPixel = 2;
    look.bold = true;
    look.rowColours = {{0, 79, -1}, {0, 78, -1}, {0, 76, -1}, {0, 74, -1},
                       {0, 72, -1}, {0, 70, -1}, {0, 68, -1}};
    look.shadow = true;
    look.shadowColour = {0, 16, -1};
    for (int y = 10; y + 8 < rows; y += 50)
        drawBanner(page, font, (columns - bannerWidth(font, "MIRELANDT", look)) / 2, y, "MIRELANDT", look);
    return page;
}

} // namespace generators
