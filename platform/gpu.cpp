// The backend-independent parts of the GPU interface.
#include "platform/gpu.h"

#include <cstring>

namespace gpu {

uint32_t FormatByteSize(Format format) {
    switch (format) {
    case Format::R32G32B32A32_FLOAT:
        return 16;
    case Format::R16G16B16A16_FLOAT:
        return 8;
    case Format::R8G8B8A8_UNORM:
    case Format::B8G8R8A8_UNORM:
    case Format::D32_FLOAT:
    case Format::R32_FLOAT:
    case Format::R32_UINT:
    case Format::R32_SINT:
    case Format::D24_UNORM_S8_UINT:
        return 4;
    case Format::R8_UINT:
        return 1;
    case Format::UNKNOWN:
        break;
    }
    return 0;
}

bool IsDepthFormat(Format format) {
    return format == Format::D32_FLOAT || format == Format::D24_UNORM_S8_UINT;
}

void SnapBorderColor(float c[4]) {
    const float value = c[3] < 0.5f ? 0.0f : c[0] + c[1] + c[2] >= 1.5f ? 1.0f : 0.0f;
    c[0] = c[1] = c[2] = value;
    c[3] = c[3] < 0.5f ? 0.0f : 1.0f;
}

bool ParseShaderBytecode(const void* bytecode, size_t size, ShaderBytecodeView* view) {
    ShaderBytecodeHeader header;
    if (!bytecode || size < sizeof(header) || size % 4 != 0) return false;
    std::memcpy(&header, bytecode, sizeof(header));
    if (header.magic != kShaderBytecodeMagic || static_cast<uint32_t>(header.stage) > 2) return false;
    // Compare in 64 bits: the counts come from outside and must not wrap.
    const uint64_t dxbcOffset = sizeof(header) + uint64_t(header.bindingCount) * sizeof(ShaderBinding) +
                                uint64_t(header.spirvWordCount) * 4;
    if (dxbcOffset + (uint64_t(header.dxbcByteCount) + 3) / 4 * 4 != size || header.spirvWordCount == 0)
        return false;
    const auto* bytes = static_cast<const uint8_t*>(bytecode);
    view->stage = header.stage;
    view->bindingCount = header.bindingCount;
    view->bindings = reinterpret_cast<const ShaderBinding*>(bytes + sizeof(header));
    view->spirvWordCount = header.spirvWordCount;
    view->spirv = reinterpret_cast<const uint32_t*>(bytes + sizeof(header) +
                                                    header.bindingCount * sizeof(ShaderBinding));
    view->dxbcByteCount = header.dxbcByteCount;
    view->dxbc = header.dxbcByteCount ? bytes + dxbcOffset : nullptr;
    for (uint32_t i = 0; i < view->bindingCount; ++i) {
        if (static_cast<uint32_t>(view->bindings[i].kind) >
            static_cast<uint32_t>(ShaderBindingKind::StorageTexture))
            return false;
    }
    return true;
}

const char* RendererName(Renderer renderer) {
    return renderer == Renderer::Direct3D11 ? "d3d11" : "vulkan";
}

bool ParseRenderer(std::string_view name, Renderer* renderer) {
    for (Renderer r : {Renderer::Direct3D11, Renderer::Vulkan}) {
        if (name != RendererName(r)) continue;
        *renderer = r;
        return true;
    }
    return false;
}

} // namespace gpu
