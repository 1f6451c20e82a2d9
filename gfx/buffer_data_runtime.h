// The data buffer kind of resource: a list of numbers from the descriptor or a numeric text file.
#pragma once

#include "gfx/buffer_runtime.h"
#include "gfx/numeric_file.h"
#include "gfx/resource_desc.h"

namespace Orvo::Gfx {

// A buffer whose elements are a list of numbers: a block the descriptor supplies, or a numeric text file
// read once at initialisation. Never double-buffered. Its views are typed by the element type.
struct BufferDataRuntime : BufferRuntime {
    DataSourceDesc source;
    // The block loadNumericFile allocated; null when the supplier's block is used in place.
    void* loadedElements = nullptr;

    BufferDataRuntime() = default;
    ~BufferDataRuntime() override;

    // The doubleBuffered argument is ignored: a data buffer has one copy.
    bool init(const DataSourceDesc& description, bool isDoubleBuffered);
    bool release() override;
};

} // namespace Orvo::Gfx
