// Text-mode cells as the text layers read them: a character code of the font, a foreground colour index
// and a background colour index, where a background of -1 lets the layers behind show through.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace generators {

struct Cell {
    int32_t ch = 0;
    int32_t fg = 0;
    int32_t bg = -1;
    bool operator==(const Cell&) const = default;
};

struct Page {
    int columns = 0;
    int rows = 0;
    std::vector<Cell> cells;

    Page() = default;
    Page(int columnCount, int rowCount)
        : columns(columnCount), rows(rowCount), cells(size_t(columnCount) * rowCount) {}

    bool contains(int column, int row) const {
        return column >= 0 && row >= 0 && column < columns && row < rows;
    }
    Cell& at(int column, int row) { return cells[size_t(row) * columns + column]; }
    const Cell& at(int column, int row) const { return cells[size_t(row) * columns + column]; }
};

// Frames of one animated layer, all of one size, stored frame after frame.
using Frames = std::vector<Page>;

} // namespace generators
