// Writes generated tables as C++ sources that define the objects declared in content/assets.h.
#pragma once

#include "generators/pagegen/cells.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace generators {

std::vector<int32_t> flattenCells(const Frames& frames);

// A source file that defines the named tables; each entry becomes a private array and the public
// assets::IntTable, assets::FloatTable or assets::CellPages object that points at it.
class TableSource {
  public:
    void addInts(const std::string& name, std::span<const int32_t> values);
    void addFloats(const std::string& name, std::span<const float> values);
    void addPages(const std::string& name, const Frames& frames);
    void write(const std::string& path) const;

  private:
    void array(const char* type, const std::string& name, size_t count);
    std::string text;
};

} // namespace generators
