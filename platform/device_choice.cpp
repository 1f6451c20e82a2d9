// The choice of renderer behind gpu::CreateDevice.
#include "platform/device_choice.h"

#include "platform/vulkan/device.h"
#ifdef _WIN32
#include "platform/d3d11/device.h"
#endif

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace gpu {

bool GpuInfoRequested() {
    for (const char* name : {"MIRELANDT_GPU_INFO", "MIRELANDT_VULKAN_INFO"}) {
        const char* value = std::getenv(name);
        if (value && std::strcmp(value, "1") == 0) return true;
    }
    return false;
}

bool AskedRenderer(const DeviceOptions& options, std::optional<Renderer>* renderer, std::string* error) {
    *renderer = options.renderer;
    const char* variable = std::getenv("MIRELANDT_GPU");
    if (*renderer || !variable || !*variable) return true;
    Renderer named;
    if (!ParseRenderer(variable, &named)) {
        *error = std::string("MIRELANDT_GPU is \"") + variable + "\"; it takes d3d11 or vulkan";
        return false;
    }
    *renderer = named;
    return true;
}

bool CreateDevice(const DeviceOptions& options, Ref<Device>* device, Ref<DeviceContext>* immediateContext,
                  std::string* error) {
    std::optional<Renderer> asked;
    std::string reason;
    if (!AskedRenderer(options, &asked, &reason)) {
        if (error) *error = reason;
        return false;
    }
#ifdef _WIN32
    if (asked != Renderer::Vulkan) {
        if (d3d11::CreateDevice(options, device, immediateContext, &reason)) return true;
        if (asked) {
            if (error) *error = reason;
            return false;
        }
        std::fprintf(stderr, "gpu: Direct3D 11 cannot start (%s); trying Vulkan\n", reason.c_str());
    }
#else
    if (asked == Renderer::Direct3D11) {
        if (error) *error = "Direct3D 11 is there on Windows only; this build renders with Vulkan";
        return false;
    }
#endif
    return vulkan::CreateDevice(options, device, immediateContext, error);
}

} // namespace gpu
