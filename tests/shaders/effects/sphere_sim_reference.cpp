#include "tests/shaders/effects/sphere_sim_reference.h"

#include <algorithm>
#include <cmath>

namespace effects_test {

namespace {

constexpr float kSmallSize = 0.075f;
constexpr float kMediumSize = 0.15f;
constexpr float kLargeSize = 0.3f;
constexpr float kTwoPi = 6.283185307f;
constexpr uint32_t kRelaxationIterations = 8;
constexpr float kPushStrength = 0.065f;
constexpr float kHomePull = 0.086f;
constexpr float kCollisionScale = 2.2f;

struct Vec2 {
    float x, y;
};

Vec3 operator-(Vec3 a, Vec3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
Vec3 operator*(Vec3 a, float s) {
    return {a.x * s, a.y * s, a.z * s};
}
Vec3 operator+(Vec3 a, Vec3 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
float dot(Vec3 a, Vec3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
Vec3 cross(Vec3 a, Vec3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
Vec3 normalize(Vec3 v) {
    return v * (1.0f / std::sqrt(dot(v, v)));
}

float frac(float x) {
    return x - std::floor(x);
}

struct TubeFrame {
    Vec3 origin;
    float length;
    Vec3 axis, across1, across2;
};

// Coinciding ends fall back to an axis along z, as on the GPU.
TubeFrame tubeFrame(const StreamInputs& in) {
    TubeFrame tube;
    tube.origin = in.origin;
    Vec3 span = in.exit - in.origin;
    tube.length = std::sqrt(dot(span, span));
    tube.axis = tube.length > 0.0f ? span * (1.0f / std::max(tube.length, 1e-6f)) : Vec3{0, 0, 1};
    Vec3 up = std::fabs(tube.axis.z) > 0.99f ? Vec3{1, 0, 0} : Vec3{0, 1, 0};
    tube.across1 = normalize(cross(tube.axis, up));
    tube.across2 = cross(tube.across1, tube.axis);
    return tube;
}

struct StreamObject {
    float size, speed, wanderRadius, wanderRate, phaseA, phaseB;
};

StreamObject streamObject(uint32_t i) {
    StreamObject o;
    o.size = objectSize(i);
    o.phaseA = objectHash(1031 * i + 2749);
    o.phaseB = objectHash(1031 * i + 5501);
    float jitter = 2.0f * objectHash(3571 * i + 1337) - 1.0f;
    float speed;
    if (o.size <= kSmallSize)
        speed = 0.4f + 0.15f * jitter;
    else if (o.size < kLargeSize)
        speed = 0.25f + 0.12f * jitter;
    else
        speed = 0.08f + 0.07f * jitter;
    o.speed = std::max(speed, 0.02f);
    bool large = o.size >= kLargeSize;
    o.wanderRadius = large ? 0.1f : 0.18f;
    o.wanderRate = large ? 0.3f : 1.516f;
    return o;
}

float collisionRadius(float size) {
    return kCollisionScale * size;
}

// State of all objects at time T, one per entry: axis distance and cross-section offset.
struct StreamState {
    std::array<float, kMaxStreamObjects> along{};
    std::array<Vec2, kMaxStreamObjects> section{};
    std::array<float, kMaxStreamObjects> size{};
};

StreamState relaxedStream(uint32_t count, float T, float tubeLength) {
    StreamState s;
    std::array<Vec2, kMaxStreamObjects> home{};
    for (uint32_t i = 0; i < count; ++i) {
        StreamObject o = streamObject(i);
        s.along[i] = tubeLength * (1.0f - frac(float(i) / float(count) - T * o.speed));
        home[i] = {o.wanderRadius * std::sin(kTwoPi * o.phaseA + T * o.wanderRate),
                   o.wanderRadius * std::cos(kTwoPi * o.phaseB + T * o.wanderRate)};
        s.section[i] = home[i];
        s.size[i] = o.size;
    }
    for (uint32_t iteration = 0; iteration < kRelaxationIterations; ++iteration) {
        for (uint32_t i = 0; i < count; ++i) {
            for (uint32_t m = i + 1; m < count; ++m) {
                Vec3 d{s.along[i] - s.along[m], s.section[i].x - s.section[m].x,
                       s.section[i].y - s.section[m].y};
                float reach = collisionRadius(s.size[i]) + collisionRadius(s.size[m]);
                float q = dot(d, d);
                if (q < reach * reach && q > 1e-8f) {
                    float dist = std::sqrt(q);
                    float push = kPushStrength * (reach / dist - 1.0f);
                    Vec2 n{d.y / dist, d.z / dist};
                    float massI = s.size[i] * s.size[i] * s.size[i];
                    float massM = s.size[m] * s.size[m] * s.size[m];
                    float shareI = push * massM / (massI + massM);
                    float shareM = push * massI / (massI + massM);
                    s.section[i] = {s.section[i].x + n.x * shareI, s.section[i].y + n.y * shareI};
                    s.section[m] = {s.section[m].x - n.x * shareM, s.section[m].y - n.y * shareM};
                }
            }
        }
        for (uint32_t i = 0; i < count; ++i) {
            Vec2& c = s.section[i];
            c = {c.x + kHomePull * (home[i].x - c.x), c.y + kHomePull * (home[i].y - c.y)};
            float r = std::sqrt(c.x * c.x + c.y * c.y);
            if (r > kTubeRadius) c = {c.x * (kTubeRadius / r), c.y * (kTubeRadius / r)};
        }
    }
    return s;
}

} // namespace

float objectHash(uint32_t n) {
    uint32_t x = n * 747796405u + 2891336453u;
    x = ((x >> ((x >> 28) + 4)) ^ x) * 277803737u;
    x = (x >> 22) ^ x;
    return static_cast<float>(x) * 0x1p-32f;
}

float objectSize(uint32_t i) {
    float c = objectHash(1031 * i + 7919);
    return c < 0.66f ? kSmallSize : (c < 0.98f ? kMediumSize : kLargeSize);
}

uint32_t streamObjectCount(float numSpheres) {
    return static_cast<uint32_t>(std::clamp(numSpheres, 0.0f, float(kMaxStreamObjects)));
}

StreamBuffer simulateStream(const StreamInputs& inputs) {
    StreamBuffer out{};
    uint32_t count = streamObjectCount(inputs.numSpheres);
    TubeFrame tube = tubeFrame(inputs);
    const float times[2] = {inputs.time, inputs.time - kPreviousTimeOffset};
    for (uint32_t half = 0; half < 2; ++half) {
        StreamState s = relaxedStream(count, times[half], tube.length);
        for (uint32_t j = 0; j < count; ++j) {
            Vec3 p = tube.origin + tube.axis * s.along[j] + tube.across1 * s.section[j].x +
                     tube.across2 * s.section[j].y;
            out[half * kMaxStreamObjects + j] = {p.x, p.y, p.z, collisionRadius(s.size[j])};
        }
    }
    return out;
}

SphereBuffer withDrawnObjects(const StreamBuffer& stream, uint32_t count) {
    SphereBuffer buffer{};
    std::copy(stream.begin(), stream.end(), buffer.begin());
    for (uint32_t i = 0; i < std::min(count, kMaxStreamObjects); ++i) {
        const StreamElement current = stream[i], previous = stream[i + kMaxStreamObjects];
        const float dx = previous.x - current.x, dy = previous.y - current.y, dz = previous.z - current.z;
        const bool wrapped = std::sqrt(dx * dx + dy * dy + dz * dz) > 2.0f;
        const auto pull = [&](float now, float before) {
            return wrapped ? now : now + 0.075f * (before - now);
        };
        const StreamElement drawn{pull(current.x, previous.x), pull(current.y, previous.y),
                                  pull(current.z, previous.z), pull(current.radius, previous.radius)};
        const float size = objectSize(i), k = size >= kLargeSize ? 0.3f : 0.75f;
        const float a = k * drawn.z, b = k * drawn.x, c = -k * drawn.y;
        const float sa = std::sin(a), ca = std::cos(a), sb = std::sin(b), cb = std::cos(b), sc = std::sin(c),
                    cc = std::cos(c);
        StreamElement* at = &buffer[kDrawnObjectsStart + kDrawnObjectStride * i];
        at[0] = drawn;
        at[1] = {cb * cc, sa * sb * cc + ca * sc, sa * sc - ca * sb * cc, size};
        at[2] = {-cb * sc, ca * cc - sa * sb * sc, sa * cc + ca * sb * sc, 0.0f};
        at[3] = {sb, -sa * cb, ca * cb, 0.0f};
    }
    return buffer;
}

} // namespace effects_test
