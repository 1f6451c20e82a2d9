#include "gfx/buffer_runtime.h"

#include "gfx/gpu_access.h"

#include <cstring>
#include <memory>

namespace Orvo::Gfx {

namespace {

uint64_t elementCount(const BufferDesc& desc) {
    return uint64_t(desc.countX) * desc.countY * desc.countZ;
}

} // namespace

uint32_t bufferByteWidth(const BufferDesc& desc) {
    // 64-bit arithmetic: a 32-bit product would wrap and give a buffer smaller than its views.
    const uint64_t rounded = (elementCount(desc) * desc.stride + 15) / 16 * 16;
    return rounded <= UINT32_MAX ? uint32_t(rounded) : 0;
}

bool BufferRuntime::init(const BufferDesc& description, bool isDoubleBuffered) {
    desc = description;
    doubleBuffered = isDoubleBuffered;
    return create();
}

bool BufferRuntime::create() {
    gpu::Device* device = currentDevice();
    const uint32_t byteWidth = bufferByteWidth(desc);
    // Zero elements or an oversized buffer: the device would refuse it, so nothing is asked for.
    if (!device || byteWidth == 0) return true;
    const uint32_t elements = uint32_t(elementCount(desc));

    gpu::BufferDesc bufferDesc;
    bufferDesc.ByteWidth = byteWidth;
    bufferDesc.StructureByteStride = desc.stride;
    if (desc.constant) {
        bufferDesc.BindFlags = gpu::BIND_CONSTANT_BUFFER;
    } else {
        bufferDesc.BindFlags = gpu::BIND_SHADER_RESOURCE | gpu::BIND_UNORDERED_ACCESS;
        bufferDesc.MiscFlags = viewFormat == gpu::Format::UNKNOWN ? gpu::RESOURCE_MISC_BUFFER_STRUCTURED : 0u;
        if (desc.indices) bufferDesc.BindFlags |= gpu::BIND_INDEX_BUFFER;
        if (desc.drawArguments) bufferDesc.MiscFlags |= gpu::RESOURCE_MISC_DRAWINDIRECT_ARGS;
    }

    // The device reads ByteWidth bytes of initial data, but the supplier's block holds only the element
    // bytes; when rounding added padding, the block is uploaded through a zero-padded copy.
    std::unique_ptr<uint8_t[]> padded;
    gpu::SubresourceData initial{desc.initialData, 0, 0};
    const uint64_t dataBytes = uint64_t(elements) * desc.stride;
    if (desc.initialData && dataBytes < byteWidth) {
        padded.reset(new uint8_t[byteWidth]());
        std::memcpy(padded.get(), desc.initialData, size_t(dataBytes));
        initial.pSysMem = padded.get();
    }
    bufferA = device->CreateBuffer(bufferDesc, desc.initialData ? &initial : nullptr);
    if (desc.constant) return true;

    gpu::ShaderResourceViewDesc srvDesc;
    srvDesc.Format = viewFormat;
    srvDesc.ViewDimension = gpu::ViewDimension::Buffer;
    srvDesc.FirstElement = 0;
    srvDesc.NumElements = elements;
    gpu::UnorderedAccessViewDesc uavDesc;
    uavDesc.Format = viewFormat;
    uavDesc.ViewDimension = gpu::ViewDimension::Buffer;
    uavDesc.FirstElement = 0;
    uavDesc.NumElements = elements;
    if (bufferA) {
        srvA = device->CreateShaderResourceView(bufferA.get(), &srvDesc);
        uavA = device->CreateUnorderedAccessView(bufferA.get(), &uavDesc);
    }
    if (!doubleBuffered) return true;
    // Copy B starts with undefined contents.
    bufferB = device->CreateBuffer(bufferDesc, nullptr);
    if (bufferB) {
        srvB = device->CreateShaderResourceView(bufferB.get(), &srvDesc);
        uavB = device->CreateUnorderedAccessView(bufferB.get(), &uavDesc);
    }
    return true;
}

bool BufferRuntime::release() {
    // The views go too: a re-created buffer must not leave views of the old one behind.
    bufferA.reset();
    bufferB.reset();
    uavA.reset();
    srvA.reset();
    uavB.reset();
    srvB.reset();
    return true;
}

} // namespace Orvo::Gfx
