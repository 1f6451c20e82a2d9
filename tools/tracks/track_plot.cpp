#include "tools/tracks/track_plot.h"

#include "base/show_constants.h"
#include "content/sections.h"
#include "sync/evaluate_track.h"
#include "tools/output_files/png_file.h"
#include "tools/tracks/canvas.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

using namespace Orvo::Gfx;
using namespace base;
using namespace output_files;
using namespace sync_tracks;

namespace tools {

namespace {

// Layout in pixels.
constexpr int kColumns = 4;
constexpr int kPlotWidth = 900;
constexpr int kPlotHeight = 52;
constexpr int kLabelHeight = 16;
constexpr int kChartGap = 10;
constexpr int kColumnGap = 40;
constexpr int kMargin = 24;
constexpr int kHeaderHeight = 96;
constexpr int kChartHeight = kLabelHeight + kPlotHeight + kChartGap;

constexpr Colour kBackground{12, 14, 18};
constexpr Colour kPlotBackground{24, 28, 35};
constexpr Colour kBeatLine{34, 39, 47};
constexpr Colour kBarLine{50, 57, 68};
constexpr Colour kZeroLine{80, 88, 100};
constexpr Colour kCurve{110, 205, 255};
constexpr Colour kKeyMark{255, 214, 90};
constexpr Colour kLabelText{225, 230, 238};
constexpr Colour kDimText{130, 138, 150};

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
    return int(std::lround(seconds / kShowEndSeconds * kPlotWidth));
}

void drawGrid(Canvas& canvas, int x, int y, float rowRate) {
    canvas.fill(x, y, x + kPlotWidth, y + kPlotHeight, kPlotBackground);
    for (uint32_t row = 0; float(row) / rowRate < kShowEndSeconds; row += 8) {
        int px = x + xOfSeconds(float(row) / rowRate);
        canvas.fill(px, y, px + 1, y + kPlotHeight, row % 32 ? kBeatLine : kBarLine);
    }
    for (const ShowSection& s : showSections()) {
        if (s.startRow == 0) continue;
        int px = x + xOfSeconds(float(s.startRow) / rowRate);
        canvas.fill(px, y, px + 1, y + kPlotHeight, colourOf(s), 0.8f);
    }
}

void drawChart(Canvas& canvas, const TrackSet& set, uint32_t index, const char* name, int x, int y,
               float rowRate) {
    const DynArray<SyncKey>& keys = set.track(index).keys;
    char label[160];
    std::snprintf(label, sizeof label, "%u %s", index, name);
    int labelWidth = canvas.text(x, y + 3, label, kLabelText);

    int plotY = y + kLabelHeight;
    drawGrid(canvas, x, plotY, rowRate);
    if (keys.count == 0) {
        canvas.text(x + labelWidth + 12, y + 3, "no keys: 0 throughout", kDimText);
        return;
    }

    std::vector<Range> columnsRange(kPlotWidth);
    for (int px = 0; px < kPlotWidth; ++px) {
        float t0 = kShowEndSeconds * float(px) / kPlotWidth;
        float t1 = kShowEndSeconds * float(px + 1) / kPlotWidth;
        columnsRange[size_t(px)] = sampleRange(set, index, rowRate, t0, t1);
    }
    // Mid-row samples miss the very start of a ramp; the key itself marks its peak.
    for (const SyncKey& key : keys) {
        int px = xOfSeconds(float(key.row) / rowRate);
        if (float(key.row) / rowRate >= kShowEndSeconds || px >= kPlotWidth) continue;
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
        return plotY + kPlotHeight - 1 - int(std::lround((v - low) / (high - low) * (kPlotHeight - 1)));
    };

    if (low < 0.0f && high > 0.0f) canvas.fill(x, yOf(0.0f), x + kPlotWidth, yOf(0.0f) + 1, kZeroLine);
    int previousTop = yOf(columnsRange[0].high), previousBottom = yOf(columnsRange[0].low);
    for (int px = 0; px < kPlotWidth; ++px) {
        const Range& r = columnsRange[size_t(px)];
        int top = yOf(r.high), bottom = yOf(r.low);
        // Join the previous column so that jumps read as vertical edges.
        int from = std::min(top, previousBottom + 1), to = std::max(bottom, previousTop - 1);
        canvas.fill(x + px, from, x + px + 1, to + 1, kCurve);
        canvas.fill(x + px, bottom + 1, x + px + 1, yOf(low) + 1, kCurve, 0.18f);
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
        canvas.fill(px, plotY + kPlotHeight, px + 1, plotY + kPlotHeight + 3, kKeyMark);
    }

    char range[160];
    int used = std::snprintf(range, sizeof range, "%u %s", keys.count, keys.count == 1 ? "key" : "keys");
    if (beyond)
        used += std::snprintf(range + used, sizeof range - size_t(used), " (%u after the end)", beyond);
    std::snprintf(range + used, sizeof range - size_t(used), "   %.6g .. %.6g", all.low, all.high);
    canvas.text(x + kPlotWidth - Canvas::textWidth(range), y + 3, range, kDimText);
}

void drawHeader(Canvas& canvas, const TrackSet& set, uint32_t count, float rowRate) {
    char title[200];
    std::snprintf(title, sizeof title,
                  "Mirelandt: %u sync tracks over the show, 0-%.0f s  (%.6g BPM, %u rows per beat)", count,
                  kShowEndSeconds, set.beatsPerMinute, set.rowsPerBeat);
    canvas.text(kMargin, kMargin - 8, title, kLabelText, 2);
    int x = kMargin;
    int y = kMargin + 26;
    x += canvas.text(
        x, y, "grid: faint line every beat, brighter every bar;  yellow ticks: keys;  sections:  ", kDimText);
    for (const ShowSection& s : showSections()) {
        char name[64];
        std::snprintf(name, sizeof name, "%s (row %u, %.1f s)", s.name, s.startRow,
                      float(s.startRow) / rowRate);
        canvas.fill(x, y + 1, x + 10, y + 9, colourOf(s));
        x += 14 + canvas.text(x + 14, y, name, colourOf(s)) + 14;
    }
    // A seconds scale above every column.
    for (int column = 0; column < kColumns; ++column) {
        int cx = kMargin + column * (kPlotWidth + kColumnGap);
        for (int second = 0; second <= int(kShowEndSeconds); second += 5) {
            char tick[16];
            std::snprintf(tick, sizeof tick, "%d s", second);
            int px = cx + xOfSeconds(float(second));
            canvas.fill(px, kHeaderHeight - 8, px + 1, kHeaderHeight - 2, kDimText);
            canvas.text(px + 2, kHeaderHeight - 18, tick, kDimText);
        }
    }
}

} // namespace

bool plotTracks(const TrackSet& set, const char* const names[], uint32_t count, const char* path,
                std::string* error) {
    float rowRate = set.rowRate();
    uint32_t perColumn = (count + kColumns - 1) / kColumns;
    int width = 2 * kMargin + kColumns * kPlotWidth + (kColumns - 1) * kColumnGap;
    int height = kHeaderHeight + int(perColumn) * kChartHeight + kMargin;
    Canvas canvas(width, height, kBackground);
    drawHeader(canvas, set, count, rowRate);
    // Column by column, so that neighbouring tracks of the table sit one above the other.
    for (uint32_t i = 0; i < count; ++i) {
        int x = kMargin + int(i / perColumn) * (kPlotWidth + kColumnGap);
        int y = kHeaderHeight + int(i % perColumn) * kChartHeight;
        drawChart(canvas, set, i, names[i], x, y, rowRate);
    }
    return writePng(path, canvas.width(), canvas.height(), canvas.pixels(), error);
}

} // namespace tools
