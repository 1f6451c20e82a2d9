// Plain descriptors of GPU resources: the builder fills one on its side, and the resource copies it when
// it is initialised. The defaults are those of a freshly constructed resource.
#pragma once

#include <cstdint>

namespace Orvo::Gfx {

// TextureDesc::dimension.
enum TextureDimension : int32_t {
    Dimension1D = 0,
    Dimension2D = 1,
    Dimension3D = 2,
};

// TextureDesc::format: the indices of the runtime's format table, named for the device format each
// stands for.
enum TextureFormat : int32_t {
    FormatR32Float = 0,
    FormatR8G8B8A8Unorm = 1,
    FormatB8G8R8A8Unorm = 2,
    FormatR16G16B16A16Float = 3,
    FormatR32G32B32A32Float = 4,
    FormatD24UnormS8Uint = 5, // depth
    FormatD32Float = 6,       // depth
    FormatR32Uint = 7,
};

struct TextureDesc {
    int32_t dimension = Dimension2D; // TextureDimension
    uint32_t width = 2;              // texels
    uint32_t height = 2;             // texels (2D, 3D)
    uint32_t depth = 0;              // slices (3D)
    bool reservedFlag = false;
    float reservedScale = 1.0f;
    bool generateMips = false;                // full mip chain, rebuilt after each write
    int32_t format = FormatR16G16B16A16Float; // TextureFormat
    uint32_t reservedCount1 = 1;
    uint32_t reservedCount2 = 1;
};

struct BufferDesc {
    bool constant = false; // a constant buffer (no views) instead of a structured buffer
    uint32_t stride = 4;   // bytes per element
    uint32_t countX = 1;   // the element count is countX x countY x countZ
    uint32_t countY = 1;
    uint32_t countZ = 1;
    const void* initialData = nullptr; // bytes uploaded at creation; not copied, the supplier keeps them
    bool indices = false;              // also the index buffer of indexed draws (32-bit indices)
    bool drawArguments = false;        // also holds the arguments of indirect draws
};

enum ElementType : int32_t {
    ElementInt32 = 0,
    ElementFloat32 = 1,
    ElementByte = 2,
};

constexpr uint32_t kDataPathCapacity = 4096;

// The elements of a data buffer: a block the supplier keeps, or, when `elements` is null, a text file of
// numbers named by `path`.
struct DataSourceDesc {
    int32_t elementType = ElementFloat32;
    char path[kDataPathCapacity] = {}; // NUL-terminated; empty in all content
    const void* elements = nullptr;
    uint32_t elementCount = 0;
};

} // namespace Orvo::Gfx
