#include "platform/vulkan/loader.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <mutex>

namespace gpu::vulkan {

#define MIRELANDT_VULKAN_DEFINE(name) PFN_##name name = nullptr;
MIRELANDT_VULKAN_DEFINE(vkGetInstanceProcAddr)
MIRELANDT_VULKAN_GLOBAL_FUNCTIONS(MIRELANDT_VULKAN_DEFINE)
MIRELANDT_VULKAN_INSTANCE_FUNCTIONS(MIRELANDT_VULKAN_DEFINE)
#undef MIRELANDT_VULKAN_DEFINE

namespace {

#ifdef _WIN32
constexpr const char* kLibrary = "vulkan-1.dll";

PFN_vkGetInstanceProcAddr openLibrary() {
    HMODULE library = LoadLibraryA(kLibrary);
    if (!library) return nullptr;
    return reinterpret_cast<PFN_vkGetInstanceProcAddr>(
        reinterpret_cast<void (*)()>(GetProcAddress(library, "vkGetInstanceProcAddr")));
}
#else
constexpr const char* kLibrary = "libvulkan.so.1";

PFN_vkGetInstanceProcAddr openLibrary() {
    void* library = dlopen(kLibrary, RTLD_NOW | RTLD_LOCAL);
    if (!library) return nullptr;
    return reinterpret_cast<PFN_vkGetInstanceProcAddr>(dlsym(library, "vkGetInstanceProcAddr"));
}
#endif

template <class Function> void find(VkInstance instance, const char* name, Function* function) {
    if (PFN_vkVoidFunction found = vkGetInstanceProcAddr(instance, name))
        *function = reinterpret_cast<Function>(found);
}

} // namespace

bool loadVulkan(std::string* error) {
    // The library stays loaded until the process ends: objects of any device may call into it.
    static std::once_flag once;
    std::call_once(once, [] {
        vkGetInstanceProcAddr = openLibrary();
        if (!vkGetInstanceProcAddr) return;
#define MIRELANDT_VULKAN_FIND(name) find(VK_NULL_HANDLE, #name, &name);
        MIRELANDT_VULKAN_GLOBAL_FUNCTIONS(MIRELANDT_VULKAN_FIND)
#undef MIRELANDT_VULKAN_FIND
    });
    if (vkGetInstanceProcAddr && vkCreateInstance && vkEnumerateInstanceLayerProperties) return true;
    *error = std::string("Vulkan is not installed (") + kLibrary +
             " cannot be loaded); a current graphics driver brings it";
    return false;
}

void loadInstanceFunctions(VkInstance instance) {
#define MIRELANDT_VULKAN_FIND(name) find(instance, #name, &name);
    MIRELANDT_VULKAN_INSTANCE_FUNCTIONS(MIRELANDT_VULKAN_FIND)
#undef MIRELANDT_VULKAN_FIND
}

} // namespace gpu::vulkan
