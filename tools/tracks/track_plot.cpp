#include "tools/tracks/track_plot.h"

#include "base/show_constants.h"
#include "content/sections.h"
#include "sync/evaluate_track.h"
#include "tools/output/png_file.h"
#include "tools/tracks/canvas.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

// Layout in pixels.
constexpr int columns = 4;
constexpr int plotWidth = 900;
constexpr int plotHeight = 52;
constexpr int labelHeight = 16;
constexpr int chartGap = 10;
constexpr int columnGap = 40;
constexpr int margin = 24;
constexpr int headerHeight = 96;
constexpr int chartHeight = labelHeight + plotHeight + chartGap;

constexpr Colour background{12, 14, 18};
constexpr Colour plotBackground{24, 28, 35};
constexpr Colour beatLine{34, 39, 47};
constexpr Colour barLine{50, 57, 68};
constexpr Colour zeroLine{80, 88, 100};
constexpr Colour curve{110, 205, 255};
constexpr Colour keyMark{255, 214, 90};
constexpr Colour labelText{225, 230, 238};
constexpr Colour dimText{130, 138, 150};

Colour colourOf(const ShowSection& section) {
    return {section.colour.r, section.colour.g, section.colour.b};
}

struct Range {
    float low, high;
};

// Lowest and highest value in [t0, t1): one sample in the middle of every row that the interval
// touches, so that a key held for a single row is never missed, plus the interval's start.
Range sampleRange(const TrackSet& set, uint32_t index, float rowRate, float t0, float t1) {
    float v = evaluateTrack(set, index, t0);
    Range r{v, v};
    for (float row = std::floor(t0 * rowRate); row < t1 * rowRate; row += 1.0f) {
        float t = std::clamp((row + 0.5f) / rowRate, t0, t1);
        v = evaluateTrack(set, index, t);
        r.low = std::min(r.low, v);
        r.high = std::max(r.high, v);
    }
    return r;
}

int xOfSeconds(float seconds) {
    return int(std::lround(seconds / kShowEndSeconds * plotWidth));
}

void drawGrid(Canvas& canvas, int x, int y, float rowRate) {
    canvas.fill(x, y, x + plotWidth, y + plotHeight, plotBackground);
    for (uint32_t row = 0; float(row) / rowRate < kShowEndSeconds; row += 8) {
        int px = x + xOfSeconds(float(row) / rowRate);
        canvas.fill(px, y, px + 1, y + plotHeight, row % 32 ? beatLine : barLine);
    }
    for (const ShowSection& s : showSections()) {
        if (s.startRow == 0) continue;
        int px = x + xOfSeconds(float(s.startRow) / rowRate);
        canvas.fill(px, y, px + 1, y + plotHeight, colourOf(s), 0.8f);
    }
}

void drawChart(Canvas& canvas, const TrackSet& set, uint32_t index, const char* name, int x, int y,
               float rowRate) {
    const DynArray<SyncKey>& keys = set.track(index).keys;
    char label[160];
    std::snprintf(label, sizeof label, "%u %s", index, name);
    int labelWidth = canvas.text(x, y + 3, label, labelText);

    int plotY = y + labelHeight;
    drawGrid(canvas, x, plotY, rowRate);
    if (keys.count == 0) {
        canvas.text(x + labelWidth + 12, y + 3, "no keys: 0 throughout", dimText);
        return;
    }

    std::vector<Range> columnsRange(plotWidth);
    for (int px = 0; px < plotWidth; ++px) {
        float t0 = kShowEndSeconds * float(px) / plotWidth;
        float t1 = kShowEndSeconds * float(px + 1) / plotWidth;
        columnsRange[size_t(px)] = sampleRange(set, index, rowRate, t0, t1);
    }
    // Mid-row samples miss the very start of a ramp; the key itself marks its peak.
    for (const SyncKey& key : keys) {
        int px = xOfSeconds(float(key.row) / rowRate);
        if (float(key.row) / rowRate >= kShowEndSeconds || px >= plotWidth) continue;
        Range& r = columnsRange[size_t(px)];
        r = {std::min(r.low, key.value), std::max(r.high, key.value)};
    }
    Range all{INFINITY, -INFINITY};
    for (const Range& r : columnsRange) all = {std::min(all.low, r.low), std::max(all.high, r.high)};
    // A constant track sits in the middle of its chart.
    float span = all.high - all.low;
    float pad = span > 0.0f ? span * 0.08f : std::max(std::fabs(all.high) * 0.5f, 0.5f);
    float low = all.low - pad, high = all.high + pad;
    auto yOf = [&](float v) {
        return plotY + plotHeight - 1 - int(std::lround((v - low) / (high - low) * (plotHeight - 1)));
    };

    if (low < 0.0f && high > 0.0f) canvas.fill(x, yOf(0.0f), x + plotWidth, yOf(0.0f) + 1, zeroLine);
    int previousTop = yOf(columnsRange[0].high), previousBottom = yOf(columnsRange[0].low);
    for (int px = 0; px < plotWidth; ++px) {
        const Range& r = columnsRange[size_t(px)];
        int top = yOf(r.high), bottom = yOf(r.low);
        // Join the previous column so that jumps read as vertical edges.
        int from = std::min(top, previousBottom + 1), to = std::max(bottom, previousTop - 1);
        canvas.fill(x + px, from, x + px + 1, to + 1, curve);
        canvas.fill(x + px, bottom + 1, x + px + 1, yOf(low) + 1, curve, 0.18f);
        previousTop = top;
        previousBottom = bottom;
    }
    uint32_t beyond = 0;
    for (const SyncKey& key : keys) {
        float seconds = float(key.row) / rowRate;
        if (seconds >= kShowEndSeconds) {
            ++beyond;
            continue;
        }
        int px = x + xOfSeconds(seconds);
        canvas.fill(px, plotY + plotHeight, px + 1, plotY + plotHeight + 3, keyMark);
    }

    char range[160];
    int used = std::snprintf(range, sizeof range, "%u %s", keys.count, keys.count == 1 ? "key" : "keys");
    if (beyond)
        used += std::snprintf(range + used, sizeof range - size_t(used), " (%u after the end)", beyond);
    std::snprintf(range + used, sizeof range - size_t(used), "   %.6g .. %.6g", all.low, all.high);
    canvas.text(x + plotWidth - Canvas::textWidth(range), y + 3, range, dimText);
}

void drawHeader(Canvas& canvas, const TrackSet& set, uint32_t count, float rowRate) {
    char title[200];
    std::snprintf(title, sizeof title,
                  "Mirelandt: %u sync tracks over the show, 0-%.0f s  (%.6g BPM, %u rows per beat)", count,
                  kShowEndSeconds, set.beatsPerMinute, set.rowsPerBeat);
    canvas.text(margin, margin - 8, title, labelText, 2);
    int x = margin;
    int y = margin + 26;
    x += canvas.text(
        x, y, "grid: faint line every beat, brighter every bar;  yellow ticks: keys;  sections:  ", dimText);
    for (const ShowSection& s : showSections()) {
        char name[64];
        std::snprintf(name, sizeof name, "%s (row %u, %.1f s)", s.name, s.startRow,
                      float(s.startRow) / rowRate);
        canvas.fill(x, y + 1, x + 10, y + 9, colourOf(s));
        x += 14 + canvas.text(x + 14, y, name, colourOf(s)) + 14;
    }
    // A seconds scale above every column.
    for (int column = 0; column < columns; ++column) {
        int cx = margin + column * (plotWidth + columnGap);
        for (int second = 0; second <= int(kShowEndSeconds); second += 5) {
            char tick[16];
            std::snprintf(tick, sizeof tick, "%d s", second);
            int px = cx + xOfSeconds(float(second));
            canvas.fill(px, headerHeight - 8, px + 1, headerHeight - 2, dimText);
            canvas.text(px + 2, headerHeight - 18, tick, dimText);
        }
    }
}

} // namespace

bool plotTracks(const TrackSet& set, const char* const names[], uint32_t count, const char* path,
                std::string* error) {
    float rowRate = set.rowRate();
    uint32_t perColumn = (count + columns - 1) / columns;
    int width = 2 * margin + columns * plotWidth + (columns - 1) * columnGap;
    int height = headerHeight + int(perColumn) * chartHeight + margin;
    Canvas canvas(width, height, background);
    drawHeader(canvas, set, count, rowRate);
    // Column by column, so that neighbouring tracks of the table sit one above the other.
    for (uint32_t i = 0; i < count; ++i) {
        int x = margin + int(i / perColumn) * (plotWidth + columnGap);
        int y = headerHeight + int(i % perColumn) * chartHeight;
        drawChart(canvas, set, i, names[i], x, y, rowRate);
    }
    return writePng(path, canvas.width(), canvas.height(), canvas.pixels(), error);
}
