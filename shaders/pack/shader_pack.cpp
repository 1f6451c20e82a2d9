#include "shaders/pack/shader_pack.h"

#include "shaders/pack/json_value.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <tuple>

namespace shaders {

namespace shader_pack {

static_assert(sizeof(gpu::ShaderBinding) == 12 && sizeof(gpu::ShaderBytecodeHeader) == 20,
              "the bytecode is packed as whole words");

namespace {

// (RW)Buffer<T> is reflected as [iu]samplerBuffer or [iu]imageBuffer; the prefix names T.
gpu::Format texelFormat(const std::string& type) {
    for (std::string_view base : {"samplerBuffer", "imageBuffer"}) {
        if (type.size() < base.size() || type.compare(type.size() - base.size(), base.size(), base) != 0)
            continue;
        const std::string_view prefix(type.data(), type.size() - base.size());
        if (prefix == "i") return gpu::Format::R32_SINT;
        if (prefix == "u") return gpu::Format::R32_UINT;
        if (prefix.empty()) return gpu::Format::R32_FLOAT;
    }
    return gpu::Format::UNKNOWN;
}

// The kind of a binding of a reflection section: samplers, textures (sampled or typed buffers), storage
// images (textures or typed buffers), constant buffers, storage buffers.
gpu::ShaderBindingKind kindOf(std::string_view section, bool texelBuffer) {
    using K = gpu::ShaderBindingKind;
    if (section == "separate_samplers") return K::Sampler;
    if (section == "separate_images") return texelBuffer ? K::TexelBuffer : K::SampledTexture;
    if (section == "images") return texelBuffer ? K::StorageTexelBuffer : K::StorageTexture;
    if (section == "ubos") return K::ConstantBuffer;
    return K::StorageBuffer;
}

// Adds the bindings of one section of the reflection; what is wrong with it otherwise.
std::string collect(const JsonValue& reflection, std::string_view section,
                    std::vector<gpu::ShaderBinding>& bindings) {
    const JsonValue* list = reflection.member(section);
    if (!list) return {};
    if (list->kind != JsonValue::Array) return std::string(section) + " is not a list";
    for (const JsonValue& resource : list->items) {
        const JsonValue* binding = resource.member("binding");
        const JsonValue* set = resource.member("set");
        const JsonValue* type = resource.member("type");
        if (!binding || binding->kind != JsonValue::Number ||
            !(binding->number >= 0 && binding->number < 1024) || !type || type->kind != JsonValue::String)
            return std::string(section) + ": a resource without a binding number or a type";
        if (set && !(set->kind == JsonValue::Number && set->number == 0))
            return "binding " + std::to_string(int(binding->number)) +
                   " is outside descriptor set 0; all programs use set 0";
        const gpu::Format format = texelFormat(type->text);
        bindings.push_back(
            {uint32_t(binding->number), kindOf(section, format != gpu::Format::UNKNOWN), format});
    }
    return {};
}

} // namespace

const shader_build::StageRule* stageRuleOf(std::string_view programName) {
    for (const shader_build::StageRule& rule : shader_build::kStageRules)
        if (programName.size() > std::strlen(rule.suffix) && programName.ends_with(rule.suffix)) return &rule;
    return nullptr;
}

bool bindingsFromReflection(std::string_view json, std::vector<gpu::ShaderBinding>& bindings,
                            std::string& error) {
    JsonValue reflection;
    if (!parseJson(json, reflection, error)) return false;
    if (reflection.kind != JsonValue::Object) {
        error = "the reflection is not a JSON object";
        return false;
    }
    for (const char* section : {"textures", "acceleration_structures", "push_constants", "subpass_inputs"}) {
        const JsonValue* list = reflection.member(section);
        if (list && !list->items.empty()) {
            error = std::string("'") + section +
                    "' resources are not supported; use separate textures and samplers";
            return false;
        }
    }
    bindings.clear();
    for (const char* section : {"separate_samplers", "separate_images", "images", "ubos", "ssbos"}) {
        error = collect(reflection, section, bindings);
        if (!error.empty()) return false;
    }
    std::sort(bindings.begin(), bindings.end(), [](const gpu::ShaderBinding& a, const gpu::ShaderBinding& b) {
        return std::tie(a.binding, a.kind, a.format) < std::tie(b.binding, b.kind, b.format);
    });
    return true;
}

bool spirvWords(std::string_view bytes, std::vector<uint32_t>& words) {
    if (bytes.size() < 20 || bytes.size() % 4) return false;
    words.resize(bytes.size() / 4);
    std::memcpy(words.data(), bytes.data(), bytes.size());
    return words[0] == 0x07230203u;
}

std::vector<uint32_t> packBytecode(gpu::ShaderStage stage, std::span<const gpu::ShaderBinding> bindings,
                                   std::span<const uint32_t> spirv, std::string_view dxbc) {
    const gpu::ShaderBytecodeHeader header{gpu::kShaderBytecodeMagic, stage, uint32_t(bindings.size()),
                                           uint32_t(spirv.size()), uint32_t(dxbc.size())};
    std::vector<uint32_t> packed(sizeof header / 4 + bindings.size() * sizeof(gpu::ShaderBinding) / 4);
    std::memcpy(packed.data(), &header, sizeof header);
    if (!bindings.empty())
        std::memcpy(packed.data() + sizeof header / 4, bindings.data(), bindings.size_bytes());
    packed.insert(packed.end(), spirv.begin(), spirv.end());
    const size_t dxbcAt = packed.size();
    packed.resize(dxbcAt + (dxbc.size() + 3) / 4); // zero-filled, so the padding is zeros
    if (!dxbc.empty()) std::memcpy(packed.data() + dxbcAt, dxbc.data(), dxbc.size());
    return packed;
}

std::string programSource(std::string_view name, std::string_view nameSpace, gpu::ShaderStage stage,
                          std::span<const gpu::ShaderBinding> bindings, std::span<const uint32_t> packed) {
    static const char* const kStageNames[] = {"Vertex", "Pixel", "Compute"};
    const std::string n(name), ns(nameSpace);
    std::string out = "// Generated by the shader build from " + n +
                      ".hlsl.\n#include \"shaders/shader_program.h\"\n\n" + "namespace " + ns +
                      "::programs {\nnamespace {\nalignas(4) const uint32_t words[] = {";
    char word[16];
    for (size_t i = 0; i < packed.size(); ++i) {
        std::snprintf(word, sizeof word, "%s0x%08xu,", i % 8 ? "" : "\n", packed[i]);
        out += word;
    }
    out += "\n};\n";
    if (!bindings.empty()) {
        out += "const gpu::ShaderBinding bindings[] = {\n";
        for (const gpu::ShaderBinding& b : bindings)
            out += "    {" + std::to_string(b.binding) + "u, gpu::ShaderBindingKind(" +
                   std::to_string(uint32_t(b.kind)) + "), gpu::Format(" + std::to_string(uint32_t(b.format)) +
                   ")},\n";
        out += "};\n";
    }
    out += "} // namespace\n\nextern const shaders::ShaderProgram " + n + ";\nconst shaders::ShaderProgram " +
           n + " = {\"" + n + "\", gpu::ShaderStage::" + kStageNames[uint32_t(stage)] +
           ", words, sizeof(words), " + (bindings.empty() ? "nullptr" : "bindings") + ", " +
           std::to_string(bindings.size()) + "u};\n} // namespace " + ns + "::programs\n";
    return out;
}

} // namespace shader_pack

} // namespace shaders
