#include "platform/vulkan/formats.h"

namespace gpu::vulkan {

VkFormat toVkFormat(Format format) {
    switch (format) {
    case Format::R32G32B32A32_FLOAT:
        return VK_FORMAT_R32G32B32A32_SFLOAT;
    case Format::R16G16B16A16_FLOAT:
        return VK_FORMAT_R16G16B16A16_SFLOAT;
    case Format::R8G8B8A8_UNORM:
        return VK_FORMAT_R8G8B8A8_UNORM;
    case Format::B8G8R8A8_UNORM:
        return VK_FORMAT_B8G8R8A8_UNORM;
    case Format::D32_FLOAT:
        return VK_FORMAT_D32_SFLOAT;
    case Format::R32_FLOAT:
        return VK_FORMAT_R32_SFLOAT;
    case Format::R32_UINT:
        return VK_FORMAT_R32_UINT;
    case Format::R32_SINT:
        return VK_FORMAT_R32_SINT;
    case Format::D24_UNORM_S8_UINT:
        return VK_FORMAT_D24_UNORM_S8_UINT;
    case Format::R8_UINT:
        return VK_FORMAT_R8_UINT;
    case Format::UNKNOWN:
        break;
    }
    return VK_FORMAT_UNDEFINED;
}

VkFormat depthFallback(VkFormat format) {
    return format == VK_FORMAT_D24_UNORM_S8_UINT ? VK_FORMAT_D32_SFLOAT_S8_UINT : format;
}

VkImageAspectFlags aspectOf(VkFormat format) {
    switch (format) {
    case VK_FORMAT_D32_SFLOAT:
        return VK_IMAGE_ASPECT_DEPTH_BIT;
    case VK_FORMAT_D24_UNORM_S8_UINT:
    case VK_FORMAT_D32_SFLOAT_S8_UINT:
        return VK_IMAGE_ASPECT_DEPTH_BIT | VK_IMAGE_ASPECT_STENCIL_BIT;
    default:
        return VK_IMAGE_ASPECT_COLOR_BIT;
    }
}

uint32_t texelSize(VkFormat format) {
    switch (format) {
    case VK_FORMAT_R32G32B32A32_SFLOAT:
        return 16;
    case VK_FORMAT_R16G16B16A16_SFLOAT:
        return 8;
    case VK_FORMAT_R8_UINT:
        return 1;
    default:
        return 4;
    }
}

VkBlendFactor toVkBlendFactor(Blend blend) {
    switch (blend) {
    case Blend::ZERO:
        return VK_BLEND_FACTOR_ZERO;
    case Blend::ONE:
        return VK_BLEND_FACTOR_ONE;
    case Blend::SRC_COLOR:
        return VK_BLEND_FACTOR_SRC_COLOR;
    case Blend::INV_SRC_COLOR:
        return VK_BLEND_FACTOR_ONE_MINUS_SRC_COLOR;
    case Blend::SRC_ALPHA:
        return VK_BLEND_FACTOR_SRC_ALPHA;
    case Blend::INV_SRC_ALPHA:
        return VK_BLEND_FACTOR_ONE_MINUS_SRC_ALPHA;
    case Blend::DEST_ALPHA:
        return VK_BLEND_FACTOR_DST_ALPHA;
    case Blend::INV_DEST_ALPHA:
        return VK_BLEND_FACTOR_ONE_MINUS_DST_ALPHA;
    case Blend::DEST_COLOR:
        return VK_BLEND_FACTOR_DST_COLOR;
    case Blend::INV_DEST_COLOR:
        return VK_BLEND_FACTOR_ONE_MINUS_DST_COLOR;
    case Blend::BLEND_FACTOR:
        return VK_BLEND_FACTOR_CONSTANT_COLOR;
    case Blend::INV_BLEND_FACTOR:
        return VK_BLEND_FACTOR_ONE_MINUS_CONSTANT_COLOR;
    }
    return VK_BLEND_FACTOR_ONE;
}

VkBlendOp toVkBlendOp(BlendOp op) {
    switch (op) {
    case BlendOp::ADD:
        return VK_BLEND_OP_ADD;
    case BlendOp::SUBTRACT:
        return VK_BLEND_OP_SUBTRACT;
    case BlendOp::REV_SUBTRACT:
        return VK_BLEND_OP_REVERSE_SUBTRACT;
    case BlendOp::MIN:
        return VK_BLEND_OP_MIN;
    case BlendOp::MAX:
        return VK_BLEND_OP_MAX;
    }
    return VK_BLEND_OP_ADD;
}

VkCompareOp toVkCompareOp(ComparisonFunc func) {
    switch (func) {
    case ComparisonFunc::NEVER:
        return VK_COMPARE_OP_NEVER;
    case ComparisonFunc::LESS:
        return VK_COMPARE_OP_LESS;
    case ComparisonFunc::EQUAL:
        return VK_COMPARE_OP_EQUAL;
    case ComparisonFunc::LESS_EQUAL:
        return VK_COMPARE_OP_LESS_OR_EQUAL;
    case ComparisonFunc::GREATER:
        return VK_COMPARE_OP_GREATER;
    case ComparisonFunc::NOT_EQUAL:
        return VK_COMPARE_OP_NOT_EQUAL;
    case ComparisonFunc::GREATER_EQUAL:
        return VK_COMPARE_OP_GREATER_OR_EQUAL;
    case ComparisonFunc::ALWAYS:
        return VK_COMPARE_OP_ALWAYS;
    }
    return VK_COMPARE_OP_NEVER;
}

VkSamplerAddressMode toVkAddressMode(TextureAddressMode mode) {
    switch (mode) {
    case TextureAddressMode::WRAP:
        return VK_SAMPLER_ADDRESS_MODE_REPEAT;
    case TextureAddressMode::MIRROR:
        return VK_SAMPLER_ADDRESS_MODE_MIRRORED_REPEAT;
    case TextureAddressMode::CLAMP:
        return VK_SAMPLER_ADDRESS_MODE_CLAMP_TO_EDGE;
    case TextureAddressMode::BORDER:
        return VK_SAMPLER_ADDRESS_MODE_CLAMP_TO_BORDER;
    }
    return VK_SAMPLER_ADDRESS_MODE_CLAMP_TO_EDGE;
}

VkPrimitiveTopology toVkTopology(PrimitiveTopology topology) {
    switch (topology) {
    case PrimitiveTopology::POINTLIST:
        return VK_PRIMITIVE_TOPOLOGY_POINT_LIST;
    case PrimitiveTopology::LINELIST:
        return VK_PRIMITIVE_TOPOLOGY_LINE_LIST;
    case PrimitiveTopology::LINESTRIP:
        return VK_PRIMITIVE_TOPOLOGY_LINE_STRIP;
    case PrimitiveTopology::TRIANGLESTRIP:
        return VK_PRIMITIVE_TOPOLOGY_TRIANGLE_STRIP;
    case PrimitiveTopology::TRIANGLELIST:
    case PrimitiveTopology::UNDEFINED:
        break;
    }
    return VK_PRIMITIVE_TOPOLOGY_TRIANGLE_LIST;
}

} // namespace gpu::vulkan
