#include "gfx/buffer_data_runtime.h"

#include <cstdlib>

namespace Orvo::Gfx {

namespace {

gpu::Format elementFormat(int32_t elementType) {
    switch (elementType) {
    case ElementInt32:
        return gpu::Format::R32_SINT;
    case ElementFloat32:
        return gpu::Format::R32_FLOAT;
    case ElementByte:
        return gpu::Format::R8_UINT;
    }
    return gpu::Format::UNKNOWN;
}

} // namespace

BufferDataRuntime::~BufferDataRuntime() {
    std::free(loadedElements);
}

bool BufferDataRuntime::init(const DataSourceDesc& description, bool) {
    release();
    source = description;
    // A path that fills the whole field would have no terminator to stop the file name.
    source.path[kDataPathCapacity - 1] = '\0';
    if (!source.elements) loadedElements = loadNumericFile(source);
    desc.constant = false;
    desc.stride = elementSize(source.elementType);
    desc.countX = source.elementCount;
    desc.countY = 1;
    desc.countZ = 1;
    desc.initialData = source.elements;
    viewFormat = elementFormat(source.elementType);
    doubleBuffered = false;
    return create();
}

bool BufferDataRuntime::release() {
    if (loadedElements) {
        if (source.elements == loadedElements) source.elements = nullptr;
        desc.initialData = nullptr;
        std::free(loadedElements);
        loadedElements = nullptr;
    }
    return BufferRuntime::release();
}

} // namespace Orvo::Gfx
