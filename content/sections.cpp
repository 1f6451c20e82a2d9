#include "content/sections.h"

namespace Orvo::Gfx {

namespace {

// The show ends at 67 s, in row 1545 (173 beats a minute, 8 rows a beat): the finale runs to that row's end.
constexpr ShowSection kSections[] = {
    {"opening", 0, 512, {90, 110, 140}},          {"drop", 512, 600, {255, 120, 90}},
    {"fill", 600, 627, {240, 180, 80}},           {"section A", 627, 768, {120, 200, 120}},
    {"section B", 768, 1024, {120, 160, 255}},    {"break", 1024, 1056, {255, 120, 200}},
    {"final build", 1056, 1368, {180, 140, 255}}, {"finale", 1368, 1546, {255, 90, 90}},
};

} // namespace

std::span<const ShowSection> showSections() {
    return kSections;
}

const ShowSection& sectionAtRow(uint32_t row) {
    for (const ShowSection& section : kSections)
        if (row < section.endRow) return section;
    return kSections[std::size(kSections) - 1];
}

} // namespace Orvo::Gfx
