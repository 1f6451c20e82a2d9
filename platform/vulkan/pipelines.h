// Pipelines made on demand from the bound state and kept for reuse, as Direct3D 11 drivers
// keep theirs; and the descriptor layouts built from the programs' binding tables.
#pragma once

#include "platform/vulkan/resources.h"

#include <cstring>
#include <type_traits>
#include <unordered_map>

namespace gpu::vulkan {

struct LayoutBinding {
    uint32_t binding;
    ShaderBindingKind kind;
    Format format; // of typed buffers
    VkShaderStageFlags stages;
};

// One push-descriptor set laid out for a vertex/pixel pair or a compute program.
struct ProgramLayout {
    VkDescriptorSetLayout setLayout = VK_NULL_HANDLE;
    VkPipelineLayout pipelineLayout = VK_NULL_HANDLE;
    std::vector<LayoutBinding> bindings;
};

// Pipeline cache keys are plain blocks of integers with no padding, built zero-filled, so that equal
// states have equal bytes: they are compared with memcmp and hashed as bytes, and building or finding
// one allocates nothing.
template <class Key> struct KeyBytes {
    static_assert(std::has_unique_object_representations_v<Key>, "a key must have no padding");
    // FNV-1a over the key's bytes.
    size_t operator()(const Key& key) const {
        const auto* bytes = reinterpret_cast<const unsigned char*>(&key);
        uint64_t hash = 1469598103934665603ull;
        for (size_t i = 0; i < sizeof(Key); ++i) hash = (hash ^ bytes[i]) * 1099511628211ull;
        return size_t(hash);
    }
    bool operator()(const Key& a, const Key& b) const { return std::memcmp(&a, &b, sizeof(Key)) == 0; }
};

// The programs a descriptor layout is merged from; 0 for a missing second program.
struct LayoutKey {
    uint64_t first = 0;
    uint64_t second = 0;
};

struct ComputeKey {
    uint64_t program = 0;
};

// How one colour target blends, from the blend description's fields.
struct TargetBlendKey {
    uint8_t enable = 0;
    uint8_t source = 0;
    uint8_t destination = 0;
    uint8_t operation = 0;
    uint8_t sourceAlpha = 0;
    uint8_t destinationAlpha = 0;
    uint8_t operationAlpha = 0;
    uint8_t writeMask = 0;
};

// Everything a graphics pipeline is made from: programs, topology, target formats, the rasterizer
// fields that shape the pipeline and the blending of each target. Targets past colorCount stay zero.
struct GraphicsKey {
    uint64_t vertexProgram = 0;
    uint64_t pixelProgram = 0; // 0: none
    VkFormat colorFormats[SIMULTANEOUS_RENDER_TARGET_COUNT] = {};
    VkFormat depthFormat = VK_FORMAT_UNDEFINED;
    int32_t depthBias = 0;
    uint32_t depthBiasClamp = 0;       // the float's bits
    uint32_t slopeScaledDepthBias = 0; // the float's bits
    uint16_t topology = 0;             // a VkPrimitiveTopology
    uint8_t colorCount = 0;
    uint8_t fillMode = 0;
    uint8_t cullMode = 0;
    uint8_t frontCounterClockwise = 0;
    uint8_t depthClipEnable = 0;
    uint8_t alphaToCoverage = 0;
    TargetBlendKey blend[SIMULTANEOUS_RENDER_TARGET_COUNT] = {};

    // Sets the programs, topology, rasterizer and blending; the targets are left as they are.
    void setState(const ShaderCode& vs, const ShaderCode* ps, VkPrimitiveTopology primitiveTopology,
                  const RasterizerDesc& rasterizer, const BlendDesc& blendDesc);
    // Sets the target formats, clearing the entries past `count`.
    void setTargets(uint32_t count, const VkFormat* colors, VkFormat depth);
    bool sameTargets(uint32_t count, const VkFormat* colors, VkFormat depth) const;
};

class Pipelines {
  public:
    explicit Pipelines(CorePtr core) : core_(std::move(core)) {}
    ~Pipelines();
    Pipelines(const Pipelines&) = delete;
    Pipelines& operator=(const Pipelines&) = delete;

    // Null when the two programs declare one binding differently.
    const ProgramLayout* layout(const ShaderCode& first, const ShaderCode* second);
    // Found or made from the key; null when it cannot be made.
    VkPipeline graphics(const GraphicsKey& key, const ShaderCode& vs, const ShaderCode* ps,
                        const ProgramLayout& layout);
    VkPipeline compute(const ShaderCode& cs, const ProgramLayout& layout);
    // Searches of the graphics and compute pipelines so far.
    uint64_t lookups() const { return lookups_; }

  private:
    CorePtr core_;
    std::unordered_map<LayoutKey, ProgramLayout, KeyBytes<LayoutKey>, KeyBytes<LayoutKey>> layouts_;
    std::unordered_map<GraphicsKey, VkPipeline, KeyBytes<GraphicsKey>, KeyBytes<GraphicsKey>> graphics_;
    std::unordered_map<ComputeKey, VkPipeline, KeyBytes<ComputeKey>, KeyBytes<ComputeKey>> compute_;
    uint64_t lookups_ = 0;
};

} // namespace gpu::vulkan
