// One effect pass run on its own through the graphics runtime, on the machine's Vulkan driver with
// validation on: a scene holding just that pass (or the two stream passes), its inputs and its target,
// the 104 track variables of the show, and a frame rendered with chosen track values.
#pragma once

#include "tests/platform/gpu_fixture.h"

#include "gfx/buffer_data_runtime.h"
#include "gfx/frame_context.h"
#include "gfx/scene.h"

#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The show's formats by table index: its screen textures and the depth of the cylinder pass. The
// tests draw into full 32-bit floats instead of the show's half floats so that expected values can
// be compared without half-float rounding.
constexpr int32_t kFloat32Format = 4;
constexpr int32_t kDepthFormat = 6;

struct PassSettings {
    uint32_t vertexCount = 3;
    uint32_t instanceCount = 1;
    bool blend = false; // source alpha over inverse source alpha, as the text and cylinder passes
    Orvo::Gfx::TextureRuntime* depth = nullptr;
    Float4 clearColour{0.0f, 0.0f, 0.0f, 1.0f};
    Orvo::Gfx::BufferRuntime* indexBuffer = nullptr;   // an indexed draw of vertexCount indices
    Orvo::Gfx::BufferRuntime* drawArguments = nullptr; // with an index buffer: the counts drawn
};

class EffectPassTest : public GpuTest {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Screen-like textures: a render target, or an input filled with `texels` row by row.
    Orvo::Gfx::TextureRuntime* texture(uint32_t width, uint32_t height, int32_t format = kFloat32Format);
    Orvo::Gfx::TextureRuntime* image(uint32_t width, uint32_t height, const std::vector<Float4>& texels);
    // A typed data buffer over `elements`, which must outlive the scene (the runtime keeps the pointer).
    Orvo::Gfx::BufferDataRuntime* intBuffer(const std::vector<int32_t>& elements);
    Orvo::Gfx::BufferDataRuntime* floatBuffer(const std::vector<float>& elements);
    // A structured buffer of float4 elements, optionally with initial contents.
    Orvo::Gfx::BufferRuntime* float4Buffer(uint32_t count, const std::vector<Float4>* initial = nullptr);
    // A structured buffer of `count` records of `stride` bytes, without contents.
    Orvo::Gfx::BufferRuntime* recordBuffer(uint32_t stride, uint32_t count);
    // A structured buffer of 32-bit elements, which must outlive the scene; also an index buffer or a
    // buffer of draw arguments when asked.
    Orvo::Gfx::BufferRuntime* uintBuffer(const std::vector<uint32_t>& elements, bool indices = false,
                                         bool drawArguments = false);

    // Appends a pass of the show's programs to the scene's pass list.
    Orvo::Gfx::GraphicsPass* graphicsPass(std::string_view vertexProgram, std::string_view pixelProgram,
                                          Orvo::Gfx::TextureRuntime* target,
                                          std::initializer_list<Orvo::Gfx::Resource*> inputs,
                                          const PassSettings& settings = {});
    // A compute pass of the show's programs: inputs at t0 onwards, the output at the u register after
    // them, threadsX x threadsY threads.
    Orvo::Gfx::ComputePass* computePass(std::string_view program, Orvo::Gfx::BufferRuntime* output,
                                        uint32_t threadsX, uint32_t threadsY = 1,
                                        std::initializer_list<Orvo::Gfx::Resource*> inputs = {});
    // The same with several outputs, at the u registers after the inputs in their order.
    Orvo::Gfx::ComputePass* computePass(std::string_view program,
                                        std::initializer_list<Orvo::Gfx::BufferRuntime*> outputs,
                                        uint32_t threadsX, uint32_t threadsY,
                                        std::initializer_list<Orvo::Gfx::Resource*> inputs);

    // Track values stay as set until changed; every track starts at 0.
    void setTrack(std::string_view name, float value);
    void setTracks(std::initializer_list<std::pair<std::string_view, float>> tracks);

    // Publishes the frame context and runs the scene's pass list once.
    void renderFrame(float time, base::Float2 resolution, uint32_t frame = 0);
    std::vector<Float4> read(Orvo::Gfx::TextureRuntime* target);
    // A buffer's whole contents as float4s, whatever its stride.
    std::vector<Float4> read(Orvo::Gfx::BufferRuntime* buffer);

    // Writes the picture as an 8-bit PNG beside the test binary, for looking at.
    static void writePng(const std::string& name, const std::vector<Float4>& pixels, uint32_t width,
                         uint32_t height);

    base::Matrix4 view{};
    base::Matrix4 projection{};
    std::unique_ptr<Orvo::Gfx::Scene> scene;

  private:
    template <class T> T* registered(T* resource);
    uint32_t nextId = 0;
};

// The coordinate a full-screen pass hands pixel (x, y) of a width x height target.
base::Float2 pixelUv(uint32_t x, uint32_t y, uint32_t width, uint32_t height);
base::Matrix4 identityMatrix();
