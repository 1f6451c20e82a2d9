#pragma once

#include <array>
#include <cstdint>

// CPU model of the glenz stream simulation program, step for step in single precision, so the
// GPU's read-back of the object buffer can be checked against it.

namespace effects_test {

constexpr uint32_t kMaxStreamObjects = 128;
constexpr uint32_t kStreamElements = 2 * kMaxStreamObjects;
// Elements 128-255 hold the objects this much earlier than `time`.
constexpr float kPreviousTimeOffset = 0.5f / 24.0f;
constexpr float kTubeRadius = 0.75f;

struct Vec3 {
    float x, y, z;
};

// The ContextBuffer fields the simulation reads.
struct StreamInputs {
    float time = 0.0f;
    float numSpheres = 0.0f; // NUMSPHEREZ
    Vec3 origin{};           // ORIGIN_X/Y/Z
    Vec3 exit{};             // EXIT_X/Y/Z
};

// One buffer element: position and collision radius.
struct StreamElement {
    float x, y, z, radius;
};

using StreamBuffer = std::array<StreamElement, kStreamElements>;

float objectHash(uint32_t n);
float objectSize(uint32_t i);
uint32_t streamObjectCount(float numSpheres);

// The whole 256-element buffer the simulation program writes for these inputs.
StreamBuffer simulateStream(const StreamInputs& inputs);

} // namespace effects_test
