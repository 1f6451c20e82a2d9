#include "tools/tracks/reading_time.h"

#include "content/track_table.h"
#include "show/camera.h"
#include "sync/evaluate_track.h"

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace Orvo::Gfx;
using namespace base;
using namespace show;
using namespace sync_tracks;

namespace tools {

namespace {

constexpr float kCellWidth = 0.4f;
constexpr float kCellHeight = 0.8f;

struct Projected {
    float x, y; // pixels from the top left corner
};

// p x view x projection, then to pixels: the picture shows the page the right way up, its first row at
// the top, so a world point's clip y grows downwards on the screen.
Projected project(const CameraMatrices& camera, Float3 p, const ReadingSettings& settings) {
    float view[4];
    for (int c = 0; c < 4; ++c)
        view[c] = p.x * camera.view.m[c] + p.y * camera.view.m[4 + c] + p.z * camera.view.m[8 + c] +
                  camera.view.m[12 + c];
    float clip[4];
    for (int c = 0; c < 4; ++c)
        clip[c] = view[0] * camera.projection.m[c] + view[1] * camera.projection.m[4 + c] +
                  view[2] * camera.projection.m[8 + c] + view[3] * camera.projection.m[12 + c];
    return {(clip[0] / clip[3] * 0.5f + 0.5f) * float(settings.width),
            (clip[1] / clip[3] * 0.5f + 0.5f) * float(settings.height)};
}

bool isTextCharacter(int32_t code) {
    return (code >= '0' && code <= '9') || (code >= 'A' && code <= 'Z') || (code >= 'a' && code <= 'z');
}

const int32_t* rowCells(const assets::CellPages& page, uint32_t frame, uint32_t row) {
    return page.elements + 3 * (size_t(frame) * page.columns * page.rows + size_t(row) * page.columns);
}

// The drawn cells of a row: from the first to the last cell that is not blank.
struct RowSpan {
    uint32_t first, last;
};

bool drawnSpan(const assets::CellPages& page, uint32_t row, RowSpan& span) {
    const int32_t* cells = rowCells(page, 0, row);
    bool any = false;
    for (uint32_t c = 0; c < page.columns; ++c) {
        int32_t code = cells[3 * c];
        if (code == 0 || code == ' ') continue;
        if (!any) span.first = c;
        span.last = c;
        any = true;
    }
    return any;
}

std::string rowText(const assets::CellPages& page, const RowSpan& span, uint32_t row) {
    const int32_t* cells = rowCells(page, 0, row);
    std::string text;
    for (uint32_t c = span.first; c <= span.last; ++c) {
        int32_t code = cells[3 * c];
        text += code == 0 ? ' ' : (code >= 32 && code < 127 ? char(code) : '.');
    }
    return text;
}

// Whether the shown frame keeps the letters and digits of the row where frame 0 has them (an animated
// page may change the cells around them).
bool keepsText(const assets::CellPages& page, uint32_t frame, uint32_t row) {
    const int32_t* shown = rowCells(page, frame, row);
    const int32_t* base = rowCells(page, 0, row);
    for (uint32_t c = 0; c < page.columns; ++c)
        if (isTextCharacter(base[3 * c]) && shown[3 * c] != base[3 * c]) return false;
    return true;
}

struct Tracks {
    int32_t sceneTwo = trackIndex("SCENE_TWO");
    int32_t blurSwitch = trackIndex("DOF1");
    int32_t blurWidth = trackIndex("DOFBLUR");
    int32_t mirrorX = trackIndex("mirrorX");
    int32_t mirrorY = trackIndex("mirrorY");
};

float valueOr(const TrackSet& set, int32_t track, float fixed, float seconds) {
    return track < 0 ? fixed : evaluateTrack(set, uint32_t(track), seconds);
}

} // namespace

int32_t trackIndex(const char* name) {
    for (uint32_t i = 0; i < kTrackCount; ++i)
        if (std::strcmp(kTrackNames[i], name) == 0) return int32_t(i);
    return -1;
}

std::vector<RowReading> measureReading(const TrackSet& set, const ReadingLayer& layer,
                                       const ReadingSettings& settings) {
    const assets::CellPages& page = *layer.page;
    const Tracks tracks;
    std::vector<RowReading> rows;
    std::vector<RowSpan> spans;
    for (uint32_t r = 0; r < page.rows; ++r) {
        RowSpan span;
        if (!drawnSpan(page, r, span)) continue;
        const int32_t* cells = rowCells(page, 0, r);
        bool text = false;
        for (uint32_t c = span.first; c <= span.last; ++c) text = text || isTextCharacter(cells[3 * c]);
        if (!text) continue;
        rows.push_back({r, rowText(page, span, r), 0.0f, 0.0f, 0.0f, 0.0f});
        spans.push_back(span);
    }
    std::vector<float> runStart(rows.size(), -1.0f);
    std::vector<float> runMinPx(rows.size(), 0.0f);
    const float aspect = float(settings.width) / float(settings.height);
    const float halfWidth = float(page.columns) * kCellWidth * 0.5f;
    const float halfHeight = float(page.rows) * kCellHeight * 0.5f;

    const uint32_t steps =
        uint32_t(std::floor((settings.toSeconds - settings.fromSeconds) / settings.stepSeconds));
    for (uint32_t step = 0; step <= steps; ++step) {
        const float t = settings.fromSeconds + float(step) * settings.stepSeconds;
        float cameraTracks[8];
        for (uint32_t i = 0; i < 8; ++i) cameraTracks[i] = evaluateTrack(set, i, t);
        const CameraMatrices camera = buildCamera(cameraTracks, aspect);
        const bool shown = evaluateTrack(set, uint32_t(tracks.sceneTwo), t) > 0.5f &&
                           valueOr(set, layer.alphaTrack, 1.0f, t) > 0.5f;
        const bool blurOn = int(evaluateTrack(set, uint32_t(tracks.blurSwitch), t)) != 0;
        const float blurWidth = evaluateTrack(set, uint32_t(tracks.blurWidth), t);
        const bool mirroredX = evaluateTrack(set, uint32_t(tracks.mirrorX), t) > 0.5f;
        const bool mirroredY = evaluateTrack(set, uint32_t(tracks.mirrorY), t) > 0.5f;
        const uint32_t frame =
            layer.frameTrack < 0
                ? 0u
                : uint32_t(std::max(0.0f, evaluateTrack(set, uint32_t(layer.frameTrack), t)));
        const Float3 centre = {-kCellWidth * valueOr(set, layer.trackX, layer.fixedX, t),
                               kCellHeight * valueOr(set, layer.trackY, layer.fixedY, t),
                               valueOr(set, layer.trackZ, layer.fixedZ, t)};

        for (size_t i = 0; i < rows.size(); ++i) {
            const uint32_t r = rows[i].row;
            const float top = centre.y + halfHeight - float(r) * kCellHeight;
            const float bottom = top - kCellHeight;
            const float left = centre.x - halfWidth + float(spans[i].first) * kCellWidth;
            const float right = centre.x - halfWidth + float(spans[i].last + 1) * kCellWidth;
            const float middleX = (left + right) * 0.5f;
            const Projected corners[4] = {project(camera, {left, top, centre.z}, settings),
                                          project(camera, {right, top, centre.z}, settings),
                                          project(camera, {left, bottom, centre.z}, settings),
                                          project(camera, {right, bottom, centre.z}, settings)};
            const Projected upper = project(camera, {middleX, top, centre.z}, settings);
            const Projected lower = project(camera, {middleX, bottom, centre.z}, settings);
            const float cellPx = std::hypot(lower.x - upper.x, lower.y - upper.y);
            const float v = (upper.y + lower.y) * 0.5f / float(settings.height);

            bool onScreen = true;
            float rightmost = 0.0f;
            for (const Projected& p : corners) {
                onScreen = onScreen && p.x >= 0.0f && p.x <= float(settings.width) && p.y >= 0.0f &&
                           p.y <= float(settings.height);
                rightmost = std::max(rightmost, p.x);
            }
            // The focus blur's width at this screen row, in pixels.
            const float sigma =
                blurOn ? (blurWidth - 0.01f) * std::pow(std::clamp(std::fabs(v - 0.5f), 0.0f, 1.0f), 1.5f) +
                             0.01f
                       : 0.0f;
            // A mirror copies the left half over the right and the bottom half over the top.
            const bool mirroredAway =
                (mirroredX && rightmost > float(settings.width) * 0.5f) || (mirroredY && v < 0.5f);
            const bool readable = shown && onScreen && !mirroredAway && sigma <= settings.sharpSigma &&
                                  cellPx >= settings.legibleCellPx && frame < page.frames &&
                                  keepsText(page, frame, r);

            RowReading& reading = rows[i];
            if (readable) {
                reading.total += settings.stepSeconds;
                if (runStart[i] < 0.0f) {
                    runStart[i] = t;
                    runMinPx[i] = cellPx;
                }
                runMinPx[i] = std::min(runMinPx[i], cellPx);
            }
            const bool ends = runStart[i] >= 0.0f && (!readable || step == steps);
            if (ends) {
                const float length = (readable ? t + settings.stepSeconds : t) - runStart[i];
                if (length > reading.longest) {
                    reading.longest = length;
                    reading.longestFrom = runStart[i];
                    reading.cellPxAtBest = runMinPx[i];
                }
                runStart[i] = -1.0f;
            }
        }
    }
    return rows;
}

} // namespace tools
