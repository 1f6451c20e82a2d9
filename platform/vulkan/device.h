// The Vulkan device shared by every object made on it: instance, adapter choice, queue,
// memory, submission batches and the deferred destruction of objects still in flight.
#pragma once

#include "platform/gpu.h"
#include "platform/gpu_checks.h"

#include "platform/vulkan/loader.h"

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace gpu::vulkan {

// Host-visible memory for one batch: uploads are staged here and read-backs land here.
struct UploadChunk {
    VkBuffer buffer = VK_NULL_HANDLE;
    VkDeviceMemory memory = VK_NULL_HANDLE;
    uint8_t* mapped = nullptr;
    VkDeviceSize size = 0;
    VkDeviceSize used = 0;
};

struct UploadSpan {
    VkBuffer buffer = VK_NULL_HANDLE;
    VkDeviceSize offset = 0;
    uint8_t* mapped = nullptr;
};

// The commands recorded between two submissions. Creation work (initial layouts and
// contents of new resources) goes to `setup`, which is submitted ahead of `main`.
struct Batch {
    VkCommandPool pool = VK_NULL_HANDLE;
    VkCommandBuffer setup = VK_NULL_HANDLE;
    VkCommandBuffer main = VK_NULL_HANDLE;
    bool setupRecording = false;
    uint64_t serial = 0;
    std::vector<UploadChunk> chunks;
};

// The device functions of dynamic rendering and synchronization2: the core ones on a Vulkan 1.3
// device, the KHR extensions' on a 1.2 device. Calls go through these so one code serves both.
struct PathFunctions {
    PFN_vkCmdBeginRendering cmdBeginRendering = nullptr;
    PFN_vkCmdEndRendering cmdEndRendering = nullptr;
    PFN_vkCmdPipelineBarrier2 cmdPipelineBarrier2 = nullptr;
    PFN_vkCmdWriteTimestamp2 cmdWriteTimestamp2 = nullptr;
    PFN_vkQueueSubmit2 queueSubmit2 = nullptr;
};

class DeviceCore {
  public:
    ~DeviceCore();

    // Empty on success, else one line saying why.
    std::string initialise(const DeviceOptions& options);
    const DeviceOptions& options() const { return options_; }

    VkInstance instance = VK_NULL_HANDLE;
    VkPhysicalDevice physicalDevice = VK_NULL_HANDLE;
    VkDevice device = VK_NULL_HANDLE;
    VkQueue queue = VK_NULL_HANDLE;
    uint32_t queueFamily = 0;
    VkPhysicalDeviceProperties properties{};
    VkPhysicalDeviceMemoryProperties memoryProperties{};
    VkPhysicalDeviceFeatures features{}; // the optional core features that were enabled
    uint32_t timestampValidBits = 0;     // of the queue's clock; 0 when it keeps none
    bool presentationEnabled = false;
    PFN_vkCmdPushDescriptorSetKHR cmdPushDescriptorSet = nullptr;
    // False on a Vulkan 1.2 device, whose dynamic rendering and synchronization2 come from extensions.
    bool core13 = true;
    PathFunctions vk;
    // "Vulkan 1.3 path", or the 1.2 path with the extensions it takes.
    std::string pathName() const;
    std::string adapterName;
    std::string lastError;
    CheckLog checks;
    // Runs the check of the interface call `call`: true when it passed, otherwise records it, with its
    // message in lastError.
    bool pass(Check check, const char* call) {
        if (checks.pass(check, call)) return true;
        lastError = CheckMessage(check);
        return false;
    }

    // A sampler for program slots that nothing is bound to (null descriptors exist for images
    // and buffers only).
    VkSampler defaultSampler = VK_NULL_HANDLE;

    // The batch being recorded; begins one when needed.
    Batch& recording();
    VkCommandBuffer mainCommands() { return recording().main; }
    VkCommandBuffer setupCommands();
    // Serial of the batch being recorded: objects released now are in use until it completes.
    uint64_t recordingSerial() const { return submittedSerial_ + 1; }
    // Ends and submits the recording batch (if any), signalling the given binary semaphore (for
    // presentation). Returns false when the device is lost.
    bool submit(VkSemaphore signal = VK_NULL_HANDLE);
    // The next submission waits for this semaphore (a swap chain image being acquired).
    void waitBeforeNextSubmit(VkSemaphore semaphore) { pendingWait_ = semaphore; }
    // Submits and waits for all work. `whileStaged` runs after the wait and before the finished
    // batches' staging memory is recycled, so a read-back can copy out of its span there.
    bool waitIdle(const std::function<void()>& whileStaged = {});
    // The serial of the newest batch the GPU has finished.
    uint64_t completedSerial() const;
    bool lost() const { return lost_; }
    // Space in host-visible memory that lives until the recording batch completes.
    UploadSpan stage(VkDeviceSize size, VkDeviceSize alignment = 16);

    // Frees Vulkan objects once the batch that was recording at release time has completed.
    void retire(VkObjectType type, uint64_t handle);
    template <class Handle> void retire(VkObjectType type, Handle handle) {
        if (handle != VK_NULL_HANDLE) retire(type, reinterpret_cast<uint64_t>(handle));
    }

    // Device memory for a buffer or image, bound to it; false when none is left.
    bool allocate(const VkMemoryRequirements& requirements, VkMemoryPropertyFlags flags,
                  VkDeviceMemory* memory);
    bool formatSupports(VkFormat format, VkFormatFeatureFlags features, bool buffer = false) const;

  private:
    // The steps of initialise, in order; each gives one line saying why it failed (empty on success) or
    // false.
    std::string createInstance();
    // Examines the adapters and takes the chosen one's properties.
    std::string takeAdapter();
    // Opens the device with the features and extensions the backend needs, and takes its queue.
    std::string createDevice();
    // The push-descriptor and path functions; false when one is missing.
    bool loadDeviceFunctions();
    // The timeline semaphore whose value counts the completed batches.
    bool createTimeline();
    bool createDefaultSampler();

    struct Retired {
        uint64_t serial;
        VkObjectType type;
        uint64_t handle;
    };
    // submit() without recycling what finished: a batch this fast may already be complete, and a
    // read-back still has to copy out of its staging memory.
    bool submitRecording(VkSemaphore signal);
    void collect(uint64_t completed);
    void destroy(VkObjectType type, uint64_t handle);
    void releaseChunks(std::vector<UploadChunk>& chunks);

    VkDebugUtilsMessengerEXT messenger_ = VK_NULL_HANDLE;
    VkSemaphore timeline_ = VK_NULL_HANDLE;
    uint64_t submittedSerial_ = 0;
    bool lost_ = false;
    VkSemaphore pendingWait_ = VK_NULL_HANDLE;
    std::unique_ptr<Batch> recording_;
    std::deque<std::unique_ptr<Batch>> inFlight_;
    std::vector<std::unique_ptr<Batch>> idle_;
    std::vector<UploadChunk> spareChunks_;
    std::vector<Retired> retired_;
    DeviceOptions options_;
    static VKAPI_ATTR VkBool32 VKAPI_CALL debugCallback(VkDebugUtilsMessageSeverityFlagBitsEXT severity,
                                                        VkDebugUtilsMessageTypeFlagsEXT types,
                                                        const VkDebugUtilsMessengerCallbackDataEXT* data,
                                                        void* user);
};

using CorePtr = std::shared_ptr<DeviceCore>;

// Makes every earlier write available and visible to the given later stages and accesses.
void recordMemoryBarrier(const DeviceCore& core, VkCommandBuffer commands,
                         VkPipelineStageFlags2 laterStages = VK_PIPELINE_STAGE_2_ALL_COMMANDS_BIT,
                         VkAccessFlags2 laterAccesses = VK_ACCESS_2_MEMORY_READ_BIT |
                                                        VK_ACCESS_2_MEMORY_WRITE_BIT);

// Makes the device on Vulkan; false with one line in *error when it cannot. With MIRELANDT_GPU_INFO=1 one
// line on stderr names the adapter, the path and the present mode, when the swap chain is made (or the
// device, when it has no window).
bool CreateDevice(const DeviceOptions& options, Ref<Device>* device, Ref<DeviceContext>* immediateContext,
                  std::string* error);

} // namespace gpu::vulkan
