#include "platform/vulkan/adapter_choice.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

namespace gpu::vulkan {

namespace {

bool hasExtension(VkPhysicalDevice device, const char* name) {
    uint32_t count = 0;
    vkEnumerateDeviceExtensionProperties(device, nullptr, &count, nullptr);
    std::vector<VkExtensionProperties> extensions(count);
    vkEnumerateDeviceExtensionProperties(device, nullptr, &count, extensions.data());
    return std::any_of(extensions.begin(), extensions.end(), [&](const VkExtensionProperties& e) {
        return std::strcmp(e.extensionName, name) == 0;
    });
}

Candidate examine(VkPhysicalDevice device, bool presentation) {
    Candidate c{device, {}, 0, 0, false, {}};
    auto unsuitable = [&](std::string reason) {
        c.unsuitable = std::move(reason);
        return c;
    };
    vkGetPhysicalDeviceProperties(device, &c.properties);
    if (c.properties.apiVersion < VK_API_VERSION_1_2) return unsuitable("no Vulkan 1.3, nor 1.2");
    c.core13 = c.properties.apiVersion >= VK_API_VERSION_1_3 && !forcedTo12();
    if (!c.core13) {
        std::string missing;
        for (const char* ext : kPathExtensions)
            if (!hasExtension(device, ext)) missing += std::string(missing.empty() ? "" : " and ") + ext;
        if (!missing.empty()) return unsuitable("no Vulkan 1.3, and Vulkan 1.2 without " + missing);
    }
    for (const char* ext : {VK_KHR_PUSH_DESCRIPTOR_EXTENSION_NAME, VK_EXT_ROBUSTNESS_2_EXTENSION_NAME}) {
        if (!hasExtension(device, ext)) return unsuitable(std::string("no ") + ext);
    }
    if (presentation && !hasExtension(device, VK_KHR_SWAPCHAIN_EXTENSION_NAME))
        return unsuitable("no swap chains");
    PathFeatures available(c.core13);
    vkGetPhysicalDeviceFeatures2(device, &available.features);
    if (!available.robustness.nullDescriptor) return unsuitable("no null descriptors");
    if (!available.robustness.robustBufferAccess2) return unsuitable("no robust buffer access");
    if (!available.supported() || !available.v12.timelineSemaphore)
        return unsuitable("no dynamic rendering, synchronization2 or timeline semaphores");
    uint32_t count = 0;
    vkGetPhysicalDeviceQueueFamilyProperties(device, &count, nullptr);
    std::vector<VkQueueFamilyProperties> families(count);
    vkGetPhysicalDeviceQueueFamilyProperties(device, &count, families.data());
    for (uint32_t i = 0; i < count; ++i) {
        const VkQueueFlags wanted = VK_QUEUE_GRAPHICS_BIT | VK_QUEUE_COMPUTE_BIT;
        if ((families[i].queueFlags & wanted) == wanted) {
            c.queueFamily = i;
            c.timestampValidBits = families[i].timestampValidBits;
            return c;
        }
    }
    return unsuitable("no graphics and compute queue");
}

int rank(VkPhysicalDeviceType type) {
    switch (type) {
    case VK_PHYSICAL_DEVICE_TYPE_DISCRETE_GPU:
        return 4;
    case VK_PHYSICAL_DEVICE_TYPE_INTEGRATED_GPU:
        return 3;
    case VK_PHYSICAL_DEVICE_TYPE_VIRTUAL_GPU:
        return 2;
    case VK_PHYSICAL_DEVICE_TYPE_CPU:
        return 1;
    default:
        return 0;
    }
}

std::string lower(std::string text) {
    for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

} // namespace

bool forcedTo12() {
    const char* forced = std::getenv("MIRELANDT_VULKAN_FORCE_1_2");
    return forced && std::strcmp(forced, "1") == 0;
}

std::vector<Candidate> examineAdapters(VkInstance instance, bool presentation) {
    uint32_t count = 0;
    vkEnumeratePhysicalDevices(instance, &count, nullptr);
    std::vector<VkPhysicalDevice> devices(count);
    vkEnumeratePhysicalDevices(instance, &count, devices.data());
    std::vector<Candidate> candidates;
    for (VkPhysicalDevice d : devices) candidates.push_back(examine(d, presentation));
    return candidates;
}

const Candidate* chooseAdapter(const std::vector<Candidate>& candidates, std::string* error) {
    if (const char* forced = std::getenv("MIRELANDT_VULKAN_DEVICE"); forced && *forced) {
        const std::string wanted = forced;
        const bool isIndex =
            std::all_of(wanted.begin(), wanted.end(), [](char c) { return c >= '0' && c <= '9'; });
        for (size_t i = 0; i < candidates.size(); ++i) {
            const Candidate& c = candidates[i];
            const bool named = isIndex
                                   ? std::to_string(i) == wanted
                                   : lower(c.properties.deviceName).find(lower(wanted)) != std::string::npos;
            if (!named) continue;
            if (!c.unsuitable.empty()) {
                *error = "Vulkan device '" + std::string(c.properties.deviceName) + "' chosen by " +
                         "MIRELANDT_VULKAN_DEVICE is unsuitable: " + c.unsuitable;
                return nullptr;
            }
            return &c;
        }
        *error = "no Vulkan device matches MIRELANDT_VULKAN_DEVICE='" + wanted + "'";
        return nullptr;
    }
    const Candidate* best = nullptr;
    for (const Candidate& c : candidates) {
        if (c.unsuitable.empty() &&
            (!best || rank(c.properties.deviceType) > rank(best->properties.deviceType)))
            best = &c;
    }
    if (!best) {
        *error = "no suitable Vulkan device";
        for (const Candidate& c : candidates)
            *error += std::string(candidates.front().device == c.device ? ": " : "; ") +
                      c.properties.deviceName + " (" + c.unsuitable + ")";
        if (candidates.empty()) *error += ": the Vulkan driver lists no devices";
    }
    return best;
}

} // namespace gpu::vulkan
