// The Vulkan functions the backend calls, found at run time in the system's Vulkan loader library
// (vulkan-1.dll on Windows, libvulkan.so.1 on Linux) so that a program without Vulkan starts and says
// so, and a Windows build needs no import library. Include this instead of <vulkan/vulkan.h>: calls
// inside gpu::vulkan reach the pointers below under the functions' own names.
#pragma once

#ifndef VK_NO_PROTOTYPES
#define VK_NO_PROTOTYPES
#endif
#include <vulkan/vulkan_core.h>

#include <string>

// Functions that need no instance.
#define MIRELANDT_VULKAN_GLOBAL_FUNCTIONS(X)                                                                 \
    X(vkCreateInstance)                                                                                      \
    X(vkEnumerateInstanceLayerProperties)

// Functions of an instance and of its devices, asked from the instance. Those that a Vulkan 1.2
// device has under other names are in the device's PathFunctions instead.
#define MIRELANDT_VULKAN_INSTANCE_FUNCTIONS(X)                                                               \
    X(vkAcquireNextImageKHR)                                                                                 \
    X(vkAllocateCommandBuffers)                                                                              \
    X(vkAllocateMemory)                                                                                      \
    X(vkBeginCommandBuffer)                                                                                  \
    X(vkBindBufferMemory)                                                                                    \
    X(vkBindImageMemory)                                                                                     \
    X(vkCmdBindIndexBuffer)                                                                                  \
    X(vkCmdBindPipeline)                                                                                     \
    X(vkCmdBlitImage)                                                                                        \
    X(vkCmdClearColorImage)                                                                                  \
    X(vkCmdClearDepthStencilImage)                                                                           \
    X(vkCmdCopyBuffer)                                                                                       \
    X(vkCmdCopyBufferToImage)                                                                                \
    X(vkCmdCopyImageToBuffer)                                                                                \
    X(vkCmdDispatch)                                                                                         \
    X(vkCmdDraw)                                                                                             \
    X(vkCmdDrawIndexed)                                                                                      \
    X(vkCmdDrawIndexedIndirect)                                                                              \
    X(vkCmdResetQueryPool)                                                                                   \
    X(vkCmdSetBlendConstants)                                                                                \
    X(vkCmdSetScissor)                                                                                       \
    X(vkCmdSetViewport)                                                                                      \
    X(vkCmdUpdateBuffer)                                                                                     \
    X(vkCreateBuffer)                                                                                        \
    X(vkCreateBufferView)                                                                                    \
    X(vkCreateCommandPool)                                                                                   \
    X(vkCreateComputePipelines)                                                                              \
    X(vkCreateDescriptorSetLayout)                                                                           \
    X(vkCreateDevice)                                                                                        \
    X(vkCreateGraphicsPipelines)                                                                             \
    X(vkCreateImage)                                                                                         \
    X(vkCreateImageView)                                                                                     \
    X(vkCreatePipelineLayout)                                                                                \
    X(vkCreateQueryPool)                                                                                     \
    X(vkCreateSampler)                                                                                       \
    X(vkCreateSemaphore)                                                                                     \
    X(vkCreateShaderModule)                                                                                  \
    X(vkCreateSwapchainKHR)                                                                                  \
    X(vkDestroyBuffer)                                                                                       \
    X(vkDestroyBufferView)                                                                                   \
    X(vkDestroyCommandPool)                                                                                  \
    X(vkDestroyDescriptorSetLayout)                                                                          \
    X(vkDestroyDevice)                                                                                       \
    X(vkDestroyImage)                                                                                        \
    X(vkDestroyImageView)                                                                                    \
    X(vkDestroyInstance)                                                                                     \
    X(vkDestroyPipeline)                                                                                     \
    X(vkDestroyPipelineLayout)                                                                               \
    X(vkDestroyQueryPool)                                                                                    \
    X(vkDestroySampler)                                                                                      \
    X(vkDestroySemaphore)                                                                                    \
    X(vkDestroyShaderModule)                                                                                 \
    X(vkDestroySurfaceKHR)                                                                                   \
    X(vkDestroySwapchainKHR)                                                                                 \
    X(vkDeviceWaitIdle)                                                                                      \
    X(vkEndCommandBuffer)                                                                                    \
    X(vkEnumerateDeviceExtensionProperties)                                                                  \
    X(vkEnumeratePhysicalDevices)                                                                            \
    X(vkFreeMemory)                                                                                          \
    X(vkGetBufferMemoryRequirements)                                                                         \
    X(vkGetDeviceProcAddr)                                                                                   \
    X(vkGetDeviceQueue)                                                                                      \
    X(vkGetImageMemoryRequirements)                                                                          \
    X(vkGetPhysicalDeviceFeatures2)                                                                          \
    X(vkGetPhysicalDeviceFormatProperties)                                                                   \
    X(vkGetPhysicalDeviceMemoryProperties)                                                                   \
    X(vkGetPhysicalDeviceProperties)                                                                         \
    X(vkGetPhysicalDeviceProperties2)                                                                        \
    X(vkGetPhysicalDeviceQueueFamilyProperties)                                                              \
    X(vkGetPhysicalDeviceSurfaceCapabilitiesKHR)                                                             \
    X(vkGetPhysicalDeviceSurfaceFormatsKHR)                                                                  \
    X(vkGetPhysicalDeviceSurfacePresentModesKHR)                                                             \
    X(vkGetPhysicalDeviceSurfaceSupportKHR)                                                                  \
    X(vkGetQueryPoolResults)                                                                                 \
    X(vkGetSemaphoreCounterValue)                                                                            \
    X(vkGetSwapchainImagesKHR)                                                                               \
    X(vkMapMemory)                                                                                           \
    X(vkQueuePresentKHR)                                                                                     \
    X(vkResetCommandPool)                                                                                    \
    X(vkWaitSemaphores)

namespace gpu::vulkan {

#define MIRELANDT_VULKAN_DECLARE(name) extern PFN_##name name;
MIRELANDT_VULKAN_DECLARE(vkGetInstanceProcAddr)
MIRELANDT_VULKAN_GLOBAL_FUNCTIONS(MIRELANDT_VULKAN_DECLARE)
MIRELANDT_VULKAN_INSTANCE_FUNCTIONS(MIRELANDT_VULKAN_DECLARE)
#undef MIRELANDT_VULKAN_DECLARE

// Opens the loader library once per process and finds the functions that need no instance. False
// with a one-line reason when Vulkan is not installed.
bool loadVulkan(std::string* error);

// Finds the instance and device functions through a new instance. The loader hands out the same entry
// points whatever the instance; a function of an extension this instance did not enable comes back
// null and the pointer keeps what an earlier instance found.
void loadInstanceFunctions(VkInstance instance);

} // namespace gpu::vulkan
