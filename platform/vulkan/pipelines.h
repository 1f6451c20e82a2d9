// Pipelines made on demand from the bound state and kept for reuse, as Direct3D 11 drivers
// keep theirs; and the descriptor layouts built from the programs' binding tables.
#pragma once

#include "platform/vulkan/resources.h"

#include <array>
#include <unordered_map>

namespace gpu::vulkan {

struct LayoutBinding {
    uint32_t binding;
    ShaderBindingKind kind;
    VkShaderStageFlags stages;
};

// One push-descriptor set laid out for a vertex/pixel pair or a compute program.
struct ProgramLayout {
    VkDescriptorSetLayout setLayout = VK_NULL_HANDLE;
    VkPipelineLayout pipelineLayout = VK_NULL_HANDLE;
    std::vector<LayoutBinding> bindings;
};

// Everything that shapes a graphics pipeline besides its programs.
struct GraphicsState {
    RasterizerDesc rasterizer;
    BlendDesc blend;
    VkPrimitiveTopology topology = VK_PRIMITIVE_TOPOLOGY_TRIANGLE_LIST;
    uint32_t colorCount = 0;
    VkFormat colorFormats[SIMULTANEOUS_RENDER_TARGET_COUNT] = {};
    VkFormat depthFormat = VK_FORMAT_UNDEFINED;
};

class Pipelines {
  public:
    explicit Pipelines(CorePtr core) : core_(std::move(core)) {}
    ~Pipelines();
    Pipelines(const Pipelines&) = delete;
    Pipelines& operator=(const Pipelines&) = delete;

    // Null when the two programs declare one binding differently.
    const ProgramLayout* layout(const ShaderCode& first, const ShaderCode* second);
    VkPipeline graphics(const ShaderCode& vs, const ShaderCode* ps, const GraphicsState& state,
                        const ProgramLayout& layout);
    VkPipeline compute(const ShaderCode& cs, const ProgramLayout& layout);

  private:
    using Key = std::vector<uint32_t>;
    struct KeyHash {
        size_t operator()(const Key& key) const;
    };

    CorePtr core_;
    std::unordered_map<Key, ProgramLayout, KeyHash> layouts_;
    std::unordered_map<Key, VkPipeline, KeyHash> pipelines_;
};

} // namespace gpu::vulkan
