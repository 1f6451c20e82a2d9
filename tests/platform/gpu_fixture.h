// A device on the renderer the run asks for (MIRELANDT_GPU; else the platform's, Vulkan on the machine's
// driver, lavapipe here) with validation on: every validation message fails the test that caused it.
#pragma once

#include "platform/gpu.h"
#include "shaders/shader_program.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace test_shaders {
std::span<const shaders::ShaderProgram* const> allShaderPrograms();
const shaders::ShaderProgram* findShaderProgram(std::string_view name);
} // namespace test_shaders

struct Float4 {
    float x, y, z, w;
};

// An environment variable set for the life of the object, then restored.
class ScopedVariable {
  public:
    ScopedVariable(const char* name, const char* value) : name_(name) {
        if (const char* previous = std::getenv(name)) saved_ = previous;
        set(value);
    }
    ~ScopedVariable() { set(saved_ ? saved_->c_str() : nullptr); }

  private:
    void set(const char* value) {
#ifdef _WIN32
        _putenv_s(name_, value ? value : ""); // an empty value removes it
#else
        value ? setenv(name_, value, 1) : unsetenv(name_);
#endif
    }
    const char* name_;
    std::optional<std::string> saved_;
};

// Device options for a test: the Khronos validation layer on, every message it gives collected in
// *messages. Wine's Vulkan has no layers, so the Windows build runs its GPU tests without it.
gpu::DeviceOptions validatedOptions(std::vector<std::string>* messages);

// Whether a device's `renderer` is the one MIRELANDT_GPU names (any is when it names none), so that a run
// asked for one renderer never passes on the other.
::testing::AssertionResult rendersAsAsked(gpu::Renderer renderer);

// True when MIRELANDT_GPU names a renderer other than Vulkan: the tests of what only Vulkan has (its
// variables, its 1.2 path, its pipeline-cache count) skip in such a run.
bool anotherRendererAsked();

// The index of a track in the track table, i.e. its float's place behind the context header.
int trackIndex(std::string_view name);

class GpuTest : public ::testing::Test {
  protected:
    struct Target {
        gpu::Ref<gpu::Texture2D> texture;
        gpu::Ref<gpu::RenderTargetView> view;
    };

    void SetUp() override;
    void TearDown() override;

    // A program of the show or of the tests; the test fails when it is missing.
    static const shaders::ShaderProgram& program(std::string_view name);
    gpu::Ref<gpu::VertexShader> vertexShader(std::string_view name);
    gpu::Ref<gpu::PixelShader> pixelShader(std::string_view name);
    gpu::Ref<gpu::ComputeShader> computeShader(std::string_view name);

    Target renderTarget(uint32_t width, uint32_t height,
                        gpu::Format format = gpu::Format::R32G32B32A32_FLOAT);
    // An RGBA32F texture holding `texels` row by row, with its shader-resource view.
    gpu::Ref<gpu::ShaderResourceView> textureView(uint32_t width, uint32_t height,
                                                  const std::vector<Float4>& texels);
    // The 1024-byte context block with the given tracks set and everything else zero.
    gpu::Ref<gpu::Buffer> contextBlock(const std::vector<std::pair<std::string_view, float>>& tracks,
                                       uint32_t frame = 0);
    // Binds the target with a matching viewport and draws one full-screen triangle.
    void drawFullscreen(const Target& target, gpu::VertexShader* vs, gpu::PixelShader* ps);
    std::vector<Float4> readFloat4(gpu::Resource* resource, size_t count);

    gpu::Ref<gpu::Device> device;
    gpu::Ref<gpu::DeviceContext> context;
    std::vector<std::string> messages;
};

// Whether every component is within `tolerance` of the expected one.
::testing::AssertionResult near(const Float4& actual, const Float4& expected, float tolerance);
