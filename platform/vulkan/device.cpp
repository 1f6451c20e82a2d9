#include "platform/vulkan/device.h"

#include "platform/device_choice.h"

#include "platform/vulkan/adapter_choice.h"
#include "platform/vulkan/context.h"
#include "platform/vulkan/device_impl.h"
#include "platform/vulkan/surface.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <type_traits>
#include <utility>

namespace gpu::vulkan {

namespace {

constexpr const char* kValidationLayer = "VK_LAYER_KHRONOS_validation";
constexpr VkDeviceSize kChunkSize = 4u << 20;
// How many submitted batches may be queued before the CPU waits for the oldest.
constexpr size_t kMaxInFlight = 3;

std::string resultName(VkResult result) {
    switch (result) {
    case VK_ERROR_OUT_OF_HOST_MEMORY:
        return "VK_ERROR_OUT_OF_HOST_MEMORY";
    case VK_ERROR_OUT_OF_DEVICE_MEMORY:
        return "VK_ERROR_OUT_OF_DEVICE_MEMORY";
    case VK_ERROR_INITIALIZATION_FAILED:
        return "VK_ERROR_INITIALIZATION_FAILED";
    case VK_ERROR_LAYER_NOT_PRESENT:
        return "VK_ERROR_LAYER_NOT_PRESENT";
    case VK_ERROR_EXTENSION_NOT_PRESENT:
        return "VK_ERROR_EXTENSION_NOT_PRESENT";
    case VK_ERROR_FEATURE_NOT_PRESENT:
        return "VK_ERROR_FEATURE_NOT_PRESENT";
    case VK_ERROR_INCOMPATIBLE_DRIVER:
        return "VK_ERROR_INCOMPATIBLE_DRIVER";
    case VK_ERROR_DEVICE_LOST:
        return "VK_ERROR_DEVICE_LOST";
    default:
        return "VkResult " + std::to_string(int(result));
    }
}

bool hasLayer(const char* name) {
    uint32_t count = 0;
    vkEnumerateInstanceLayerProperties(&count, nullptr);
    std::vector<VkLayerProperties> layers(count);
    vkEnumerateInstanceLayerProperties(&count, layers.data());
    return std::any_of(layers.begin(), layers.end(),
                       [&](const VkLayerProperties& l) { return std::strcmp(l.layerName, name) == 0; });
}

} // namespace

VKAPI_ATTR VkBool32 VKAPI_CALL DeviceCore::debugCallback(VkDebugUtilsMessageSeverityFlagBitsEXT,
                                                         VkDebugUtilsMessageTypeFlagsEXT,
                                                         const VkDebugUtilsMessengerCallbackDataEXT* data,
                                                         void* user) {
    const auto* options = static_cast<const DeviceOptions*>(user);
    const char* message = data && data->pMessage ? data->pMessage : "(no message)";
    if (options->debugMessage)
        options->debugMessage(options->debugMessageUser, message);
    else
        std::fprintf(stderr, "vulkan: %s\n", message);
    return VK_FALSE;
}

std::string DeviceCore::initialise(const DeviceOptions& options) {
    options_ = options;
    if (std::string error = createInstance(); !error.empty()) return error;
    if (std::string error = takeAdapter(); !error.empty()) return error;
    if (std::string error = createDevice(); !error.empty()) return error;
    const bool found = loadDeviceFunctions();
    if (!createTimeline() || !createDefaultSampler() || !found)
        return "the Vulkan device '" + adapterName + "' could not be set up";
    // With a window the line comes with the swap chain, which adds its present mode.
    if (!presentationEnabled && GpuInfoRequested())
        std::fprintf(stderr, "vulkan: %s, %s, no presentation\n", adapterName.c_str(), pathName().c_str());
    return {};
}

std::string DeviceCore::createInstance() {
    if (std::string error; !loadVulkan(&error)) return error;
    std::vector<const char*> extensions;
    if (options_.window.system != window::WindowSystem::None) {
        extensions = surfaceExtensions(options_.window.system);
        if (extensions.empty()) return "this build cannot present to the window's window system";
        presentationEnabled = true;
    }
    std::vector<const char*> layers;
    if (options_.debugLayer) {
        if (!hasLayer(kValidationLayer)) return "the Vulkan validation layer is not installed";
        layers.push_back(kValidationLayer);
        extensions.push_back(VK_EXT_DEBUG_UTILS_EXTENSION_NAME);
    }
    VkApplicationInfo app{VK_STRUCTURE_TYPE_APPLICATION_INFO};
    app.pApplicationName = "Mirelandt";
    app.apiVersion = forcedTo12() ? VK_API_VERSION_1_2 : VK_API_VERSION_1_3;
    VkDebugUtilsMessengerCreateInfoEXT messengerInfo{VK_STRUCTURE_TYPE_DEBUG_UTILS_MESSENGER_CREATE_INFO_EXT};
    messengerInfo.messageSeverity =
        VK_DEBUG_UTILS_MESSAGE_SEVERITY_WARNING_BIT_EXT | VK_DEBUG_UTILS_MESSAGE_SEVERITY_ERROR_BIT_EXT;
    // Performance advice is left out: it objects to images kept in GENERAL layout, which this
    // backend does on purpose so that it never tracks layouts.
    messengerInfo.messageType =
        VK_DEBUG_UTILS_MESSAGE_TYPE_GENERAL_BIT_EXT | VK_DEBUG_UTILS_MESSAGE_TYPE_VALIDATION_BIT_EXT;
    messengerInfo.pfnUserCallback = debugCallback;
    messengerInfo.pUserData = &options_;
    // Synchronization validation checks the barriers this backend places against every access.
    const VkValidationFeatureEnableEXT validationFeatures[] = {
        VK_VALIDATION_FEATURE_ENABLE_SYNCHRONIZATION_VALIDATION_EXT};
    VkValidationFeaturesEXT validation{VK_STRUCTURE_TYPE_VALIDATION_FEATURES_EXT, &messengerInfo};
    validation.enabledValidationFeatureCount = 1;
    validation.pEnabledValidationFeatures = validationFeatures;
    VkInstanceCreateInfo instanceInfo{VK_STRUCTURE_TYPE_INSTANCE_CREATE_INFO};
    instanceInfo.pNext = options_.debugLayer ? &validation : nullptr;
    instanceInfo.pApplicationInfo = &app;
    instanceInfo.enabledLayerCount = uint32_t(layers.size());
    instanceInfo.ppEnabledLayerNames = layers.data();
    instanceInfo.enabledExtensionCount = uint32_t(extensions.size());
    instanceInfo.ppEnabledExtensionNames = extensions.data();
    if (VkResult r = vkCreateInstance(&instanceInfo, nullptr, &instance); r != VK_SUCCESS) {
        instance = VK_NULL_HANDLE;
        return "no Vulkan driver could be started (vkCreateInstance: " + resultName(r) + ")";
    }
    loadInstanceFunctions(instance);
    if (options_.debugLayer) {
        auto create = reinterpret_cast<PFN_vkCreateDebugUtilsMessengerEXT>(
            vkGetInstanceProcAddr(instance, "vkCreateDebugUtilsMessengerEXT"));
        if (create) create(instance, &messengerInfo, nullptr, &messenger_);
    }
    return {};
}

std::string DeviceCore::takeAdapter() {
    std::string error;
    const std::vector<Candidate> candidates = examineAdapters(instance, presentationEnabled);
    const Candidate* chosen = chooseAdapter(candidates, &error);
    if (!chosen) return error;
    physicalDevice = chosen->device;
    properties = chosen->properties;
    queueFamily = chosen->queueFamily;
    timestampValidBits = chosen->timestampValidBits;
    core13 = chosen->core13;
    // The driver beside the adapter's name, so that a timing report says what produced its figures.
    VkPhysicalDeviceDriverProperties driver{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_DRIVER_PROPERTIES};
    VkPhysicalDeviceProperties2 withDriver{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_PROPERTIES_2, &driver};
    vkGetPhysicalDeviceProperties2(physicalDevice, &withDriver);
    adapterName =
        std::string(properties.deviceName) + ", driver " + driver.driverName + " " + driver.driverInfo;
    vkGetPhysicalDeviceMemoryProperties(physicalDevice, &memoryProperties);
    return {};
}

std::string DeviceCore::createDevice() {
    VkPhysicalDeviceFeatures2 available{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_FEATURES_2};
    vkGetPhysicalDeviceFeatures2(physicalDevice, &available);
    PathFeatures needed(core13);
    needed.enable();
    VkPhysicalDeviceFeatures2& enabled = needed.features;
    // Optional features that Direct3D 11 always has; taken where the adapter offers them.
    const VkPhysicalDeviceFeatures& has = available.features;
    enabled.features.independentBlend = has.independentBlend;
    enabled.features.depthClamp = has.depthClamp;
    enabled.features.fillModeNonSolid = has.fillModeNonSolid;
    enabled.features.shaderStorageImageWriteWithoutFormat = has.shaderStorageImageWriteWithoutFormat;
    enabled.features.shaderStorageImageReadWithoutFormat = has.shaderStorageImageReadWithoutFormat;
    features = enabled.features;

    std::vector<const char*> deviceExtensions = {VK_KHR_PUSH_DESCRIPTOR_EXTENSION_NAME,
                                                 VK_EXT_ROBUSTNESS_2_EXTENSION_NAME};
    if (presentationEnabled) deviceExtensions.push_back(VK_KHR_SWAPCHAIN_EXTENSION_NAME);
    if (!core13)
        deviceExtensions.insert(deviceExtensions.end(), std::begin(kPathExtensions),
                                std::end(kPathExtensions));
    const float priority = 1.0f;
    VkDeviceQueueCreateInfo queueInfo{VK_STRUCTURE_TYPE_DEVICE_QUEUE_CREATE_INFO};
    queueInfo.queueFamilyIndex = queueFamily;
    queueInfo.queueCount = 1;
    queueInfo.pQueuePriorities = &priority;
    VkDeviceCreateInfo deviceInfo{VK_STRUCTURE_TYPE_DEVICE_CREATE_INFO, &enabled};
    deviceInfo.queueCreateInfoCount = 1;
    deviceInfo.pQueueCreateInfos = &queueInfo;
    deviceInfo.enabledExtensionCount = uint32_t(deviceExtensions.size());
    deviceInfo.ppEnabledExtensionNames = deviceExtensions.data();
    if (VkResult r = vkCreateDevice(physicalDevice, &deviceInfo, nullptr, &device); r != VK_SUCCESS) {
        device = VK_NULL_HANDLE;
        return "the Vulkan device '" + adapterName + "' could not be opened (" + resultName(r) + ")";
    }
    vkGetDeviceQueue(device, queueFamily, 0, &queue);
    return {};
}

bool DeviceCore::loadDeviceFunctions() {
    cmdPushDescriptorSet = reinterpret_cast<PFN_vkCmdPushDescriptorSetKHR>(
        vkGetDeviceProcAddr(device, "vkCmdPushDescriptorSetKHR"));
    bool found = cmdPushDescriptorSet != nullptr;
    auto find = [&](auto* function, const char* coreName, const char* khrName) {
        *function = reinterpret_cast<std::remove_pointer_t<decltype(function)>>(
            vkGetDeviceProcAddr(device, core13 ? coreName : khrName));
        found = found && *function;
    };
    find(&vk.cmdBeginRendering, "vkCmdBeginRendering", "vkCmdBeginRenderingKHR");
    find(&vk.cmdEndRendering, "vkCmdEndRendering", "vkCmdEndRenderingKHR");
    find(&vk.cmdPipelineBarrier2, "vkCmdPipelineBarrier2", "vkCmdPipelineBarrier2KHR");
    find(&vk.cmdWriteTimestamp2, "vkCmdWriteTimestamp2", "vkCmdWriteTimestamp2KHR");
    find(&vk.queueSubmit2, "vkQueueSubmit2", "vkQueueSubmit2KHR");
    return found;
}

bool DeviceCore::createTimeline() {
    VkSemaphoreTypeCreateInfo timelineType{VK_STRUCTURE_TYPE_SEMAPHORE_TYPE_CREATE_INFO};
    timelineType.semaphoreType = VK_SEMAPHORE_TYPE_TIMELINE;
    VkSemaphoreCreateInfo semaphoreInfo{VK_STRUCTURE_TYPE_SEMAPHORE_CREATE_INFO, &timelineType};
    return vkCreateSemaphore(device, &semaphoreInfo, nullptr, &timeline_) == VK_SUCCESS;
}

bool DeviceCore::createDefaultSampler() {
    VkSamplerCreateInfo samplerInfo{VK_STRUCTURE_TYPE_SAMPLER_CREATE_INFO};
    samplerInfo.addressModeU = samplerInfo.addressModeV = samplerInfo.addressModeW =
        VK_SAMPLER_ADDRESS_MODE_CLAMP_TO_EDGE;
    return vkCreateSampler(device, &samplerInfo, nullptr, &defaultSampler) == VK_SUCCESS;
}

std::string DeviceCore::pathName() const {
    if (core13) return "Vulkan 1.3 path";
    std::string name = "Vulkan 1.2 path (";
    for (const char* ext : kPathExtensions) name += std::string(name.back() == '(' ? "" : ", ") + ext;
    return name + ")";
}

DeviceCore::~DeviceCore() {
    if (device) {
        vkDeviceWaitIdle(device);
        if (recording_) inFlight_.push_back(std::move(recording_));
        for (auto& batch : inFlight_) idle_.push_back(std::move(batch));
        for (auto& batch : idle_) {
            releaseChunks(batch->chunks);
            vkDestroyCommandPool(device, batch->pool, nullptr);
        }
        for (const UploadChunk& chunk : spareChunks_) {
            vkDestroyBuffer(device, chunk.buffer, nullptr);
            vkFreeMemory(device, chunk.memory, nullptr);
        }
        for (const Retired& r : retired_) destroy(r.type, r.handle);
        vkDestroySampler(device, defaultSampler, nullptr);
        vkDestroySemaphore(device, timeline_, nullptr);
        vkDestroyDevice(device, nullptr);
    }
    if (messenger_) {
        auto destroyMessenger = reinterpret_cast<PFN_vkDestroyDebugUtilsMessengerEXT>(
            vkGetInstanceProcAddr(instance, "vkDestroyDebugUtilsMessengerEXT"));
        if (destroyMessenger) destroyMessenger(instance, messenger_, nullptr);
    }
    if (instance) vkDestroyInstance(instance, nullptr);
}

Batch& DeviceCore::recording() {
    if (recording_) return *recording_;
    if (!idle_.empty()) {
        recording_ = std::move(idle_.back());
        idle_.pop_back();
        vkResetCommandPool(device, recording_->pool, 0);
    } else {
        recording_ = std::make_unique<Batch>();
        VkCommandPoolCreateInfo poolInfo{VK_STRUCTURE_TYPE_COMMAND_POOL_CREATE_INFO};
        poolInfo.flags = VK_COMMAND_POOL_CREATE_TRANSIENT_BIT;
        poolInfo.queueFamilyIndex = queueFamily;
        vkCreateCommandPool(device, &poolInfo, nullptr, &recording_->pool);
        VkCommandBufferAllocateInfo allocInfo{VK_STRUCTURE_TYPE_COMMAND_BUFFER_ALLOCATE_INFO};
        allocInfo.commandPool = recording_->pool;
        allocInfo.level = VK_COMMAND_BUFFER_LEVEL_PRIMARY;
        allocInfo.commandBufferCount = 2;
        VkCommandBuffer buffers[2];
        vkAllocateCommandBuffers(device, &allocInfo, buffers);
        recording_->setup = buffers[0];
        recording_->main = buffers[1];
    }
    recording_->serial = recordingSerial();
    recording_->setupRecording = false;
    VkCommandBufferBeginInfo begin{VK_STRUCTURE_TYPE_COMMAND_BUFFER_BEGIN_INFO};
    begin.flags = VK_COMMAND_BUFFER_USAGE_ONE_TIME_SUBMIT_BIT;
    vkBeginCommandBuffer(recording_->main, &begin);
    // Orders this batch after everything submitted before it, including its own setup commands.
    recordMemoryBarrier(*this, recording_->main);
    return *recording_;
}

VkCommandBuffer DeviceCore::setupCommands() {
    Batch& batch = recording();
    if (!batch.setupRecording) {
        VkCommandBufferBeginInfo begin{VK_STRUCTURE_TYPE_COMMAND_BUFFER_BEGIN_INFO};
        begin.flags = VK_COMMAND_BUFFER_USAGE_ONE_TIME_SUBMIT_BIT;
        vkBeginCommandBuffer(batch.setup, &begin);
        batch.setupRecording = true;
    }
    return batch.setup;
}

bool DeviceCore::submit(VkSemaphore signal) {
    if (!submitRecording(signal)) return false;
    collect(completedSerial());
    return true;
}

bool DeviceCore::submitRecording(VkSemaphore signal) {
    if (lost_) return false;
    const VkSemaphore wait = std::exchange(pendingWait_, VK_NULL_HANDLE);
    if (!recording_ && !wait && !signal) return true;
    Batch& batch = recording();
    VkCommandBufferSubmitInfo commands[2]{};
    uint32_t commandCount = 0;
    if (batch.setupRecording) {
        vkEndCommandBuffer(batch.setup);
        commands[commandCount++] = {VK_STRUCTURE_TYPE_COMMAND_BUFFER_SUBMIT_INFO, nullptr, batch.setup, 0};
    }
    vkEndCommandBuffer(batch.main);
    commands[commandCount++] = {VK_STRUCTURE_TYPE_COMMAND_BUFFER_SUBMIT_INFO, nullptr, batch.main, 0};
    VkSemaphoreSubmitInfo waitInfo{VK_STRUCTURE_TYPE_SEMAPHORE_SUBMIT_INFO};
    waitInfo.semaphore = wait;
    waitInfo.stageMask = VK_PIPELINE_STAGE_2_ALL_COMMANDS_BIT;
    VkSemaphoreSubmitInfo signals[2]{};
    signals[0] = {VK_STRUCTURE_TYPE_SEMAPHORE_SUBMIT_INFO, nullptr, timeline_, batch.serial,
                  VK_PIPELINE_STAGE_2_ALL_COMMANDS_BIT,    0};
    signals[1] = {VK_STRUCTURE_TYPE_SEMAPHORE_SUBMIT_INFO, nullptr, signal, 0,
                  VK_PIPELINE_STAGE_2_ALL_COMMANDS_BIT,    0};
    VkSubmitInfo2 submitInfo{VK_STRUCTURE_TYPE_SUBMIT_INFO_2};
    submitInfo.waitSemaphoreInfoCount = wait ? 1 : 0;
    submitInfo.pWaitSemaphoreInfos = &waitInfo;
    submitInfo.commandBufferInfoCount = commandCount;
    submitInfo.pCommandBufferInfos = commands;
    submitInfo.signalSemaphoreInfoCount = signal ? 2 : 1;
    submitInfo.pSignalSemaphoreInfos = signals;
    const VkResult result = vk.queueSubmit2(queue, 1, &submitInfo, VK_NULL_HANDLE);
    submittedSerial_ = batch.serial;
    inFlight_.push_back(std::move(recording_));
    if (result != VK_SUCCESS) {
        lost_ = true;
        lastError = "submitting GPU work failed (" + resultName(result) + ")";
        return false;
    }
    if (inFlight_.size() > kMaxInFlight) {
        const uint64_t oldest = inFlight_.front()->serial;
        VkSemaphoreWaitInfo waitFor{VK_STRUCTURE_TYPE_SEMAPHORE_WAIT_INFO};
        waitFor.semaphoreCount = 1;
        waitFor.pSemaphores = &timeline_;
        waitFor.pValues = &oldest;
        vkWaitSemaphores(device, &waitFor, UINT64_MAX);
    }
    return true;
}

bool DeviceCore::waitIdle(const std::function<void()>& whileStaged) {
    if (!submitRecording(VK_NULL_HANDLE)) return false;
    VkSemaphoreWaitInfo waitFor{VK_STRUCTURE_TYPE_SEMAPHORE_WAIT_INFO};
    waitFor.semaphoreCount = 1;
    waitFor.pSemaphores = &timeline_;
    waitFor.pValues = &submittedSerial_;
    if (VkResult r = vkWaitSemaphores(device, &waitFor, UINT64_MAX); r != VK_SUCCESS) {
        lost_ = true;
        lastError = "waiting for the GPU failed (" + resultName(r) + ")";
        return false;
    }
    if (whileStaged) whileStaged();
    collect(submittedSerial_);
    return true;
}

uint64_t DeviceCore::completedSerial() const {
    uint64_t completed = 0;
    vkGetSemaphoreCounterValue(device, timeline_, &completed);
    return completed;
}

void DeviceCore::collect(uint64_t completed) {
    while (!inFlight_.empty() && inFlight_.front()->serial <= completed) {
        releaseChunks(inFlight_.front()->chunks);
        idle_.push_back(std::move(inFlight_.front()));
        inFlight_.pop_front();
    }
    auto done = std::stable_partition(retired_.begin(), retired_.end(),
                                      [&](const Retired& r) { return r.serial > completed; });
    for (auto it = done; it != retired_.end(); ++it) destroy(it->type, it->handle);
    retired_.erase(done, retired_.end());
}

void DeviceCore::releaseChunks(std::vector<UploadChunk>& chunks) {
    for (UploadChunk& chunk : chunks) {
        if (chunk.size == kChunkSize) {
            chunk.used = 0;
            spareChunks_.push_back(chunk);
        } else {
            vkDestroyBuffer(device, chunk.buffer, nullptr);
            vkFreeMemory(device, chunk.memory, nullptr);
        }
    }
    chunks.clear();
}

UploadSpan DeviceCore::stage(VkDeviceSize size, VkDeviceSize alignment) {
    Batch& batch = recording();
    if (!batch.chunks.empty()) {
        UploadChunk& chunk = batch.chunks.back();
        const VkDeviceSize offset = (chunk.used + alignment - 1) / alignment * alignment;
        if (offset + size <= chunk.size) {
            chunk.used = offset + size;
            return {chunk.buffer, offset, chunk.mapped + offset};
        }
    }
    UploadChunk chunk;
    if (size <= kChunkSize && !spareChunks_.empty()) {
        chunk = spareChunks_.back();
        spareChunks_.pop_back();
    } else {
        chunk.size = std::max(size, kChunkSize);
        VkBufferCreateInfo info{VK_STRUCTURE_TYPE_BUFFER_CREATE_INFO};
        info.size = chunk.size;
        info.usage = VK_BUFFER_USAGE_TRANSFER_SRC_BIT | VK_BUFFER_USAGE_TRANSFER_DST_BIT;
        VkMemoryRequirements requirements;
        if (vkCreateBuffer(device, &info, nullptr, &chunk.buffer) != VK_SUCCESS) return {};
        vkGetBufferMemoryRequirements(device, chunk.buffer, &requirements);
        if (!allocate(requirements,
                      VK_MEMORY_PROPERTY_HOST_VISIBLE_BIT | VK_MEMORY_PROPERTY_HOST_COHERENT_BIT,
                      &chunk.memory)) {
            vkDestroyBuffer(device, chunk.buffer, nullptr);
            return {};
        }
        vkBindBufferMemory(device, chunk.buffer, chunk.memory, 0);
        void* mapped = nullptr;
        vkMapMemory(device, chunk.memory, 0, VK_WHOLE_SIZE, 0, &mapped);
        chunk.mapped = static_cast<uint8_t*>(mapped);
    }
    chunk.used = size;
    batch.chunks.push_back(chunk);
    return {chunk.buffer, 0, chunk.mapped};
}

void DeviceCore::retire(VkObjectType type, uint64_t handle) {
    if (handle) retired_.push_back({recordingSerial(), type, handle});
}

void DeviceCore::destroy(VkObjectType type, uint64_t handle) {
    switch (type) {
    case VK_OBJECT_TYPE_BUFFER:
        vkDestroyBuffer(device, VkBuffer(handle), nullptr);
        break;
    case VK_OBJECT_TYPE_BUFFER_VIEW:
        vkDestroyBufferView(device, VkBufferView(handle), nullptr);
        break;
    case VK_OBJECT_TYPE_IMAGE:
        vkDestroyImage(device, VkImage(handle), nullptr);
        break;
    case VK_OBJECT_TYPE_IMAGE_VIEW:
        vkDestroyImageView(device, VkImageView(handle), nullptr);
        break;
    case VK_OBJECT_TYPE_SAMPLER:
        vkDestroySampler(device, VkSampler(handle), nullptr);
        break;
    case VK_OBJECT_TYPE_SHADER_MODULE:
        vkDestroyShaderModule(device, VkShaderModule(handle), nullptr);
        break;
    case VK_OBJECT_TYPE_DEVICE_MEMORY:
        vkFreeMemory(device, VkDeviceMemory(handle), nullptr);
        break;
    case VK_OBJECT_TYPE_SEMAPHORE:
        vkDestroySemaphore(device, VkSemaphore(handle), nullptr);
        break;
    case VK_OBJECT_TYPE_QUERY_POOL:
        vkDestroyQueryPool(device, VkQueryPool(handle), nullptr);
        break;
    default:
        break;
    }
}

bool DeviceCore::allocate(const VkMemoryRequirements& requirements, VkMemoryPropertyFlags flags,
                          VkDeviceMemory* memory) {
    for (uint32_t i = 0; i < memoryProperties.memoryTypeCount; ++i) {
        if (!(requirements.memoryTypeBits & (1u << i))) continue;
        if ((memoryProperties.memoryTypes[i].propertyFlags & flags) != flags) continue;
        VkMemoryAllocateInfo info{VK_STRUCTURE_TYPE_MEMORY_ALLOCATE_INFO};
        info.allocationSize = requirements.size;
        info.memoryTypeIndex = i;
        if (vkAllocateMemory(device, &info, nullptr, memory) == VK_SUCCESS) return true;
    }
    lastError = "out of GPU memory for " + std::to_string(requirements.size) + " bytes";
    return false;
}

bool DeviceCore::formatSupports(VkFormat format, VkFormatFeatureFlags features, bool buffer) const {
    VkFormatProperties props;
    vkGetPhysicalDeviceFormatProperties(physicalDevice, format, &props);
    return ((buffer ? props.bufferFeatures : props.optimalTilingFeatures) & features) == features;
}

void recordMemoryBarrier(const DeviceCore& core, VkCommandBuffer commands, VkPipelineStageFlags2 laterStages,
                         VkAccessFlags2 laterAccesses) {
    VkMemoryBarrier2 barrier{VK_STRUCTURE_TYPE_MEMORY_BARRIER_2};
    barrier.srcStageMask = VK_PIPELINE_STAGE_2_ALL_COMMANDS_BIT;
    barrier.srcAccessMask = VK_ACCESS_2_MEMORY_WRITE_BIT;
    barrier.dstStageMask = laterStages;
    barrier.dstAccessMask = laterAccesses;
    VkDependencyInfo dependency{VK_STRUCTURE_TYPE_DEPENDENCY_INFO};
    dependency.memoryBarrierCount = 1;
    dependency.pMemoryBarriers = &barrier;
    core.vk.cmdPipelineBarrier2(commands, &dependency);
}

bool CreateDevice(const DeviceOptions& options, Ref<Device>* device, Ref<DeviceContext>* immediateContext,
                  std::string* error) {
    auto core = std::make_shared<DeviceCore>();
    std::string failure = core->initialise(options);
    if (!failure.empty()) {
        if (error) *error = failure;
        return false;
    }
    Ref<DeviceImpl> created = Ref<DeviceImpl>::adopt(new DeviceImpl(core));
    if (immediateContext) *immediateContext = created->GetImmediateContext();
    if (device) *device = std::move(created);
    return true;
}

} // namespace gpu::vulkan
