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

// After the stream the simulation writes each object as the ray-marcher draws it, four elements an object:
// its centre and bounding radius (pulled 7.5 % towards where it was a moment ago, unless it has wrapped
// round, more than 2 away), then the three rows of its spin rotation, the first with its size in the fourth.
constexpr uint32_t kDrawnObjectsStart = kStreamElements;
constexpr uint32_t kDrawnObjectStride = 4;
constexpr uint32_t kSphereBufferElements = kDrawnObjectsStart + kDrawnObjectStride * kMaxStreamObjects;
using SphereBuffer = std::array<StreamElement, kSphereBufferElements>;
// The whole buffer for a stream: the stream, then the first `count` objects as drawn (the rest zero).
SphereBuffer withDrawnObjects(const StreamBuffer& stream, uint32_t count);

} // namespace effects_test
