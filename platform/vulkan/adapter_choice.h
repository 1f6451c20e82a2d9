// Which adapter the Vulkan device opens: every adapter examined for what the backend needs, and the best
// usable one taken, real GPUs before CPU implementations, unless MIRELANDT_VULKAN_DEVICE names one.
#pragma once

#include "platform/vulkan/loader.h"

#include <string>
#include <vector>

namespace gpu::vulkan {

// MIRELANDT_VULKAN_FORCE_1_2=1 takes the Vulkan 1.2 path (dynamic rendering and synchronization2 from
// their KHR extensions) on a 1.3 device too, and asks for no more than Vulkan 1.2 of the instance, so
// validation holds the backend to 1.2. A setting for the tests only.
bool forcedTo12();

// The extensions that bring dynamic rendering and synchronization2 to a Vulkan 1.2 device.
inline constexpr const char* kPathExtensions[] = {VK_KHR_DYNAMIC_RENDERING_EXTENSION_NAME,
                                                  VK_KHR_SYNCHRONIZATION_2_EXTENSION_NAME};

// The features the backend needs beyond Vulkan 1.0's, chained for vkGetPhysicalDeviceFeatures2 or
// vkCreateDevice: dynamic rendering and synchronization2 in the Vulkan 1.3 block on the 1.3 path, in
// the extensions' own blocks on the 1.2 path.
struct PathFeatures {
    explicit PathFeatures(bool core13) : core13(core13) {
        if (core13) {
            v13.pNext = &robustness;
            v12.pNext = &v13;
        } else {
            synchronization2.pNext = &robustness;
            dynamicRendering.pNext = &synchronization2;
            v12.pNext = &dynamicRendering;
        }
    }
    PathFeatures(const PathFeatures&) = delete;
    PathFeatures& operator=(const PathFeatures&) = delete;

    bool supported() const {
        return core13 ? v13.dynamicRendering && v13.synchronization2
                      : dynamicRendering.dynamicRendering && synchronization2.synchronization2;
    }
    void enable() {
        robustness.nullDescriptor = VK_TRUE;
        // Reads past the end of a bound buffer give 0, as in Direct3D 11; the text layers rely on it.
        robustness.robustBufferAccess2 = VK_TRUE;
        features.features.robustBufferAccess = VK_TRUE;
        v12.timelineSemaphore = VK_TRUE;
        v13.dynamicRendering = v13.synchronization2 = VK_TRUE;
        dynamicRendering.dynamicRendering = VK_TRUE;
        synchronization2.synchronization2 = VK_TRUE;
    }

    const bool core13;
    VkPhysicalDeviceRobustness2FeaturesEXT robustness{
        VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_ROBUSTNESS_2_FEATURES_EXT};
    VkPhysicalDeviceSynchronization2FeaturesKHR synchronization2{
        VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_SYNCHRONIZATION_2_FEATURES_KHR};
    VkPhysicalDeviceDynamicRenderingFeaturesKHR dynamicRendering{
        VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_DYNAMIC_RENDERING_FEATURES_KHR};
    VkPhysicalDeviceVulkan13Features v13{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_VULKAN_1_3_FEATURES};
    VkPhysicalDeviceVulkan12Features v12{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_VULKAN_1_2_FEATURES};
    VkPhysicalDeviceFeatures2 features{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_FEATURES_2, &v12};
};

// An adapter as examined: what the device takes from it, or why it cannot serve.
struct Candidate {
    VkPhysicalDevice device;
    VkPhysicalDeviceProperties properties;
    uint32_t queueFamily;
    uint32_t timestampValidBits;
    bool core13;
    std::string unsuitable; // empty when usable
};

// Every adapter the instance lists, examined in its order; `presentation` asks for swap chains too.
std::vector<Candidate> examineAdapters(VkInstance instance, bool presentation);

// The adapter to use: the one MIRELANDT_VULKAN_DEVICE names (an index or part of a name), else the usable
// one of the best kind. Null, with one line in *error saying why, when none will do.
const Candidate* chooseAdapter(const std::vector<Candidate>& candidates, std::string* error);

} // namespace gpu::vulkan
