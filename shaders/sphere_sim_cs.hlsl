// Places the glenz objects in their tube for this frame and for half a 24th of a second earlier, and
// works out each object as the ray-marcher draws it, so that every pixel does not repeat the work.
// Stateless: each moment's stream is rebuilt from the time and the tracks, so no buffer
// survives between frames and any moment can be shown without replaying the ones before it.
// Elements 0-127 are the objects now, 128-255 the same objects a moment ago, and from 256 four per
// object as drawn (see glenz_object.hlsli). Every thread that builds a moment's stream gets the same
// stream, so only the first group works: four of its threads build the stream now and four the stream
// a moment ago, each writing every fourth object, and after a barrier each thread works out every
// eighth object as drawn. The rest of the dispatch has nothing to do. On a CPU renderer the threads of
// a group share one pass over the work, so the whole update costs about one stream. No thread builds
// both moments: that would take twice the loop passes in one invocation, past the cap that software
// rasterisers such as llvmpipe set (see pushAllPairsApart).
#include "context_buffer.hlsli"
#include "glenz_object.hlsli"

RWStructuredBuffer<float4> bufferUAV : register(u0);

static const float kPreviousTimeOffset = 0.5 / 24.0;
static const float kTwoPi = 6.283185307;
static const uint kRelaxationIterations = 8;
static const float kPushStrength = 0.065;
static const float kHomePull = 0.086;
static const float kTubeRadius = 0.75;
static const float kCollisionScale = 2.2;

struct TubeFrame
{
    float3 origin;
    float length;
    float3 axis;
    float3 across1;
    float3 across2;
};

// Orthonormal frame of the tube from ORIGIN to EXIT. When the two coincide there is no direction
// to follow; the stream then lies along z, so the objects still spread over the cross-section
// instead of turning into NaNs.
TubeFrame tubeFrame()
{
    TubeFrame tube;
    tube.origin = float3(ORIGIN_X, ORIGIN_Y, ORIGIN_Z);
    float3 span = float3(EXIT_X, EXIT_Y, EXIT_Z) - tube.origin;
    tube.length = length(span);
    tube.axis = tube.length > 0.0 ? span / max(tube.length, 1e-6) : float3(0, 0, 1);
    float3 up = abs(tube.axis.z) > 0.99 ? float3(1, 0, 0) : float3(0, 1, 0);
    tube.across1 = normalize(cross(tube.axis, up));
    tube.across2 = cross(tube.across1, tube.axis);
    return tube;
}

struct StreamObject
{
    float size;
    float speed;
    float wanderRadius;
    float wanderRate;
    float phaseA;
    float phaseB;
};

// Small objects travel fast and wander widely; large ones drift slowly near their lane.
StreamObject streamObject(uint i)
{
    StreamObject o;
    o.size = objectSize(i);
    o.phaseA = objectHash(1031 * i + 2749);
    o.phaseB = objectHash(1031 * i + 5501);
    float jitter = 2.0 * objectHash(3571 * i + 1337) - 1.0;
    float speed;
    if (o.size <= kSmallSize)
        speed = 0.4 + 0.15 * jitter;
    else if (o.size < kLargeSize)
        speed = 0.25 + 0.12 * jitter;
    else
        speed = 0.08 + 0.07 * jitter;
    o.speed = max(speed, 0.02);
    bool large = isLargeObject(o.size);
    o.wanderRadius = large ? 0.1 : 0.18;
    o.wanderRate = large ? 0.3 : 1.516;
    return o;
}

// Objects keep a margin around their visible shape when they push each other.
float collisionRadius(float size)
{
    return kCollisionScale * size;
}

// Where in the cross-section the object would like to be at time T.
float2 homeOffset(StreamObject o, float T)
{
    return o.wanderRadius *
           float2(sin(kTwoPi * o.phaseA + T * o.wanderRate), cos(kTwoPi * o.phaseB + T * o.wanderRate));
}

// Distance from the origin along the axis: evenly spaced at first, moving towards the exit and
// wrapping back to the origin.
float distanceAlong(uint i, uint count, float speed, float T, float tubeLength)
{
    return tubeLength * (1.0 - frac(float(i) / float(count) - T * speed));
}

// The stream state of the invocation, one entry per object: axis distance, cross-section offset,
// wanted cross-section offset and size class.
static float along[kMaxGlenzObjects];
static float2 section[kMaxGlenzObjects];
static float2 home[kMaxGlenzObjects];
static float size[kMaxGlenzObjects];

// Overlapping objects i and m push each other apart across the tube, the lighter one moving more;
// the axis position is never touched, so the stream keeps its order.
void pushApart(uint i, uint m)
{
    float3 d = float3(along[i] - along[m], section[i] - section[m]);
    float reach = collisionRadius(size[i]) + collisionRadius(size[m]);
    float q = dot(d, d);
    if (q < reach * reach && q > 1e-8)
    {
        float dist = sqrt(q);
        float push = kPushStrength * (reach / dist - 1.0);
        float2 n = d.yz / dist;
        float massI = size[i] * size[i] * size[i];
        float massM = size[m] * size[m] * size[m];
        section[i] += n * push * massM / (massI + massM);
        section[m] -= n * push * massI / (massI + massM);
    }
}

// Every pair i < m once, in order. Two pairs per pass: software rasterisers such as llvmpipe cap
// the loop passes of one invocation at 65535, and eight sweeps over the 8128 pairs of a full
// stream would pass that cap one pair at a time and silently stop relaxing.
void pushAllPairsApart(uint count)
{
    for (uint i = 0; i < count; ++i)
    {
        for (uint m = i + 1; m < count; m += 2)
        {
            pushApart(i, m);
            if (m + 1 < count)
                pushApart(i, m + 1);
        }
    }
}

// Each object drifts back towards its home and stays inside the tube wall.
void pullHomeWithinWall(uint count)
{
    for (uint i = 0; i < count; ++i)
    {
        section[i] += kHomePull * (home[i] - section[i]);
        float r = length(section[i]);
        if (r > kTubeRadius)
            section[i] *= kTubeRadius / r;
    }
}

// Builds the stream at time T into the arrays above.
void simulateStream(uint count, float T, float tubeLength)
{
    for (uint i = 0; i < count; ++i)
    {
        StreamObject o = streamObject(i);
        along[i] = distanceAlong(i, count, o.speed, T, tubeLength);
        home[i] = homeOffset(o, T);
        section[i] = home[i];
        size[i] = o.size;
    }

    // Starting the counter from min(frame, 0) keeps the iteration count a run-time value, which
    // stops the compiler from unrolling eight copies of the pair loop.
    [loop] for (uint iteration = min(frame, 0u); iteration < kRelaxationIterations; ++iteration)
    {
        pushAllPairsApart(count);
        pullHomeWithinWall(count);
    }
}

float4 placedObject(TubeFrame tube, uint target)
{
    float3 position = tube.origin + along[target] * tube.axis + section[target].x * tube.across1 +
                      section[target].y * tube.across2;
    return float4(position, collisionRadius(size[target]));
}

// Drawn positions lag slightly towards the earlier moment, a touch of motion smear.
static const float kPreviousBlend = 0.075;
// A larger jump between the two moments means the object wrapped from the exit back to the origin.
static const float kWrapDistance = 2.0;

// Rotation by the three spin angles; its rows take a world offset into object space.
float3x3 spinRotation(float3 angle)
{
    float sa = sin(angle.x), ca = cos(angle.x);
    float sb = sin(angle.y), cb = cos(angle.y);
    float sc = sin(angle.z), cc = cos(angle.z);
    return float3x3(cb * cc, sa * sb * cc + ca * sc, sa * sc - ca * sb * cc,     //
                    -cb * sc, ca * cc - sa * sb * sc, sa * cc + ca * sb * sc, //
                    sb, -sa * cb, ca * cb);
}

// Object i as drawn: its current state pulled a little towards the previous one, unless the object
// has just wrapped round, when the blend would smear it across the whole tube. The spin follows the
// position, so objects tumble as they travel; large ones tumble more slowly.
void writeDrawnObject(uint i)
{
    float4 current = bufferUAV[i];
    float4 previous = bufferUAV[i + kMaxGlenzObjects];
    float4 drawn = length(previous.xyz - current.xyz) > kWrapDistance
                       ? current
                       : current + kPreviousBlend * (previous - current);
    float objectScale = objectSize(i);
    float k = isLargeObject(objectScale) ? 0.3 : 0.75;
    float3x3 rotation = spinRotation(float3(k * drawn.z, k * drawn.x, -k * drawn.y));
    uint at = kDrawnObjectsStart + kDrawnObjectStride * i;
    bufferUAV[at] = drawn;
    bufferUAV[at + 1] = float4(rotation[0], objectScale);
    bufferUAV[at + 2] = float4(rotation[1], 0);
    bufferUAV[at + 3] = float4(rotation[2], 0);
}

// The group size in the attribute below: half its threads build the stream now, half a moment ago.
static const uint kGroupSize = 8;
static const uint kThreadsPerMoment = kGroupSize / 2;

[numthreads(8, 1, 1)] void kernel_main(uint3 group : SV_GroupID, uint3 thread : SV_GroupThreadID)
{
    if (group.x != 0)
        return;
    uint lane = thread.x;
    bool previous = lane >= kThreadsPerMoment;
    uint first = lane % kThreadsPerMoment;
    uint base = previous ? kMaxGlenzObjects : 0;
    uint count = glenzObjectCount();
    TubeFrame tube = tubeFrame();
    if (first < count)
        simulateStream(count, previous ? time - kPreviousTimeOffset : time, tube.length);
    for (uint object = first; object < kMaxGlenzObjects; object += kThreadsPerMoment)
        bufferUAV[base + object] = object < count ? placedObject(tube, object) : float4(0, 0, 0, 0);

    // Both moments written, the group works out the objects as drawn.
    DeviceMemoryBarrierWithGroupSync();
    for (uint drawn = lane; drawn < kMaxGlenzObjects; drawn += kGroupSize)
    {
        if (drawn < count)
            writeDrawnObject(drawn);
        else
            for (uint e = 0; e < kDrawnObjectStride; ++e)
                bufferUAV[kDrawnObjectsStart + kDrawnObjectStride * drawn + e] = float4(0, 0, 0, 0);
    }
}
