#ifndef GLENZ_OBJECT_HLSLI
#define GLENZ_OBJECT_HLSLI

// Per-object constants of the glenz stream. The simulation and the ray-marcher both derive an
// object's size class from its index, so they share these definitions.

static const uint kMaxGlenzObjects = 128;
static const float kSmallSize = 0.075;
static const float kMediumSize = 0.15;
static const float kLargeSize = 0.3;
// Where the sphere buffer holds the objects as drawn, four elements each: the centre and bounding radius,
// then the three rows of the rotation from world to object space, the first with the object's size in w.
static const uint kDrawnObjectsStart = 2 * kMaxGlenzObjects;
static const uint kDrawnObjectStride = 4;

// Integer hash of n mapped to [0, 1).
float objectHash(uint n)
{
    uint x = n * 747796405u + 2891336453u;
    x = ((x >> ((x >> 28) + 4)) ^ x) * 277803737u;
    x = (x >> 22) ^ x;
    return float(x) * (1.0 / 4294967296.0);
}

// Two thirds of the objects are small, almost all of the rest medium, one in fifty large.
float objectSize(uint i)
{
    float c = objectHash(1031 * i + 7919);
    return c < 0.66 ? kSmallSize : (c < 0.98 ? kMediumSize : kLargeSize);
}

bool isLargeObject(float size)
{
    return size >= kLargeSize;
}

// Object count on show: NUMSPHEREZ truncated and held to 0-128. Clamping before the conversion gives
// the same count and keeps a huge track value from overflowing the integer.
uint glenzObjectCount()
{
    return uint(clamp(NUMSPHEREZ, 0.0, float(kMaxGlenzObjects)));
}

#endif
