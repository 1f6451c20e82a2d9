#include "show/gpu_option.h"

namespace show {

bool parseGpuOption(const char* value, gpu::Renderer* renderer) {
    gpu::Renderer named;
    if (!gpu::ParseRenderer(value, &named)) return false;
#ifndef _WIN32
    if (named == gpu::Renderer::Direct3D11) return false;
#endif
    *renderer = named;
    return true;
}

} // namespace show
