#include "platform/vulkan/surface.h"

// The window-system parts of the Vulkan headers need only the handle types, not the window system's
// headers.
#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <vulkan/vulkan_win32.h>
#else
typedef struct _XDisplay Display;
typedef unsigned long Window;
typedef unsigned long VisualID;
#include <vulkan/vulkan_wayland.h>
#include <vulkan/vulkan_xlib.h>
#endif

namespace gpu::vulkan {

namespace {

template <class Function> Function instanceFunction(VkInstance instance, const char* name) {
    return reinterpret_cast<Function>(vkGetInstanceProcAddr(instance, name));
}

std::string failed(VkResult result) {
    return "the window's Vulkan surface cannot be made (VkResult " + std::to_string(int(result)) + ")";
}

} // namespace

std::vector<const char*> surfaceExtensions(window::WindowSystem system) {
    switch (system) {
#ifdef _WIN32
    case window::WindowSystem::Win32:
        return {VK_KHR_SURFACE_EXTENSION_NAME, VK_KHR_WIN32_SURFACE_EXTENSION_NAME};
#else
    case window::WindowSystem::Xlib:
        return {VK_KHR_SURFACE_EXTENSION_NAME, VK_KHR_XLIB_SURFACE_EXTENSION_NAME};
    case window::WindowSystem::Wayland:
        return {VK_KHR_SURFACE_EXTENSION_NAME, VK_KHR_WAYLAND_SURFACE_EXTENSION_NAME};
#endif
    default:
        return {};
    }
}

VkSurfaceKHR createSurface(VkInstance instance, const window::NativeWindow& window, std::string* error) {
    VkSurfaceKHR surface = VK_NULL_HANDLE;
    VkResult result = VK_ERROR_EXTENSION_NOT_PRESENT;
    switch (window.system) {
#ifdef _WIN32
    case window::WindowSystem::Win32: {
        VkWin32SurfaceCreateInfoKHR info{VK_STRUCTURE_TYPE_WIN32_SURFACE_CREATE_INFO_KHR};
        info.hinstance = static_cast<HINSTANCE>(window.display);
        info.hwnd = reinterpret_cast<HWND>(window.window);
        if (auto create = instanceFunction<PFN_vkCreateWin32SurfaceKHR>(instance, "vkCreateWin32SurfaceKHR"))
            result = create(instance, &info, nullptr, &surface);
        break;
    }
#else
    case window::WindowSystem::Xlib: {
        VkXlibSurfaceCreateInfoKHR info{VK_STRUCTURE_TYPE_XLIB_SURFACE_CREATE_INFO_KHR};
        info.dpy = static_cast<Display*>(window.display);
        info.window = Window(window.window);
        if (auto create = instanceFunction<PFN_vkCreateXlibSurfaceKHR>(instance, "vkCreateXlibSurfaceKHR"))
            result = create(instance, &info, nullptr, &surface);
        break;
    }
    case window::WindowSystem::Wayland: {
        VkWaylandSurfaceCreateInfoKHR info{VK_STRUCTURE_TYPE_WAYLAND_SURFACE_CREATE_INFO_KHR};
        info.display = static_cast<wl_display*>(window.display);
        info.surface = reinterpret_cast<wl_surface*>(window.window);
        if (auto create =
                instanceFunction<PFN_vkCreateWaylandSurfaceKHR>(instance, "vkCreateWaylandSurfaceKHR"))
            result = create(instance, &info, nullptr, &surface);
        break;
    }
#endif
    default:
        *error = "this build cannot present to the window's window system";
        return VK_NULL_HANDLE;
    }
    if (result == VK_SUCCESS) return surface;
    *error = failed(result);
    return VK_NULL_HANDLE;
}

} // namespace gpu::vulkan
