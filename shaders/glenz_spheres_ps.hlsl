// Ray-marches the glenz stream: translucent spinning polyhedra, up to three layers deep, with
// two-tone facets, soft shadows from a light overhead, a grey background and a colour grade.
#include "context_buffer.hlsli"
#include "fullscreen.hlsli"
#include "glenz_object.hlsli"
#include "targets.hlsli"

StructuredBuffer<float4> sphereBuffer : register(t0);

static const uint kMaxLayers = 3;
static const uint kMarchSteps = 40;
static const float kHitDistance = 0.0015;
static const float kMarchLimit = 5.0;
static const float kNoHit = 1e20;
static const float kBoundScale = 1.2;
static const float kLayerGap = 0.01;
static const float kOpaqueEnough = 0.95;
static const uint kShadowSteps = 16;
static const float kShadowStart = 0.02;
static const float kShadowSharpness = 66.0;
static const float kShadowReach = 2.0;
static const float kFullShadow = 0.01;
static const float3 kLightDirection = float3(0, 1, 0);
static const float kCameraDistance = 1.8;
static const float kFocalLength = 1.2;
struct GlenzObject
{
    float3 centre;
    float radius;
    float size;
    float3x3 rotation; // world to object space
};

struct Ray
{
    float3 origin;
    float3 direction;
};

// Object i as drawn, worked out by the sphere update for the whole frame.
GlenzObject glenzObject(uint i)
{
    uint at = kDrawnObjectsStart + kDrawnObjectStride * i;
    float4 placed = sphereBuffer[at];
    float4 row0 = sphereBuffer[at + 1];
    GlenzObject o;
    o.centre = placed.xyz;
    o.radius = placed.w;
    o.size = row0.w;
    o.rotation = float3x3(row0.xyz, sphereBuffer[at + 2].xyz, sphereBuffer[at + 3].xyz);
    return o;
}

// Signed distance to the polyhedron of scale s centred at the object-space origin: a plane set
// over the two largest absolute coordinates, which gives the faceted glenz shape.
float polyhedronDistance(float3 p, float s)
{
    float3 q = abs(p) / s;
    float largest = max(max(q.x, q.y), q.z);
    float middle = max(min(q.x, q.y), min(max(q.x, q.y), q.z));
    return (0.9284767 * largest + 0.3713907 * middle - 1.4 * 0.9284767) * s * 0.8;
}

float3 toObjectSpace(GlenzObject o, float3 worldPoint)
{
    return mul(o.rotation, worldPoint - o.centre);
}

float objectDistance(GlenzObject o, float3 worldPoint)
{
    return polyhedronDistance(toObjectSpace(o, worldPoint), o.size);
}

// Cheap rejection: false when the ray cannot touch the object's bounding sphere.
bool mayHit(GlenzObject o, Ray ray)
{
    float3 oc = ray.origin - o.centre;
    float b = dot(oc, ray.direction);
    float bound = kBoundScale * o.radius;
    float c = dot(oc, oc) - bound * bound;
    return !((c > 0.0 && b > 0.0) || b * b - c < 0.0);
}

// The first object from `i` on whose bounding sphere the ray may touch, or `count` when none is left. A
// loop of its own: a CPU renderer runs a loop's body at least once for a whole group of pixels, so an
// object that no ray of the group can touch costs this test alone rather than also a step of the march.
uint nextCandidate(uint i, uint count, Ray ray)
{
    LOOP_IN_DXBC for (; i < count; ++i)
    {
        if (mayHit(glenzObject(i), ray))
            break;
    }
    return i;
}

// Distance along the ray to the object's surface, or kNoHit.
float marchObject(GlenzObject o, Ray ray)
{
    float t = 0.0;
    LOOP_IN_DXBC for (uint step = 0; step < kMarchSteps; ++step)
    {
        float d = objectDistance(o, ray.origin + ray.direction * t);
        if (d < kHitDistance)
            return t;
        t += d;
        if (t > kMarchLimit)
            return kNoHit;
    }
    return kNoHit;
}

// Facets alternate between the object's colour (opaque) and translucent white, split along the
// diagonals of the face that the dominant axis points through.
float4 facetColour(float3 l, uint objectIndex)
{
    float3 a = abs(l);
    bool flag;
    if (a.x >= a.y && a.x >= a.z)
        flag = a.z < a.y;
    else if (a.y >= a.z)
        flag = !(a.z < a.x);
    else
        flag = a.y < a.x;
    float3 tint =
        (objectIndex % 2 == 0) ? float3(AGLENZ_R, AGLENZ_G, AGLENZ_B) : float3(BGLENZ_R, BGLENZ_G, BGLENZ_B);
    return flag ? float4(tint, 1.0) : float4(1, 1, 1, 0.65);
}

// World-space surface normal from a four-tap tetrahedral gradient of the object-space distance.
float3 surfaceNormal(GlenzObject o, float3 l)
{
    const float e = 0.002;
    float3 k1 = float3(1, -1, -1), k2 = float3(-1, -1, 1), k3 = float3(-1, 1, -1), k4 = float3(1, 1, 1);
    float3 gradient = k1 * polyhedronDistance(l + e * k1, o.size);
    gradient += k2 * polyhedronDistance(l + e * k2, o.size);
    gradient += k3 * polyhedronDistance(l + e * k3, o.size);
    gradient += k4 * polyhedronDistance(l + e * k4, o.size);
    return mul(normalize(gradient), o.rotation);
}

// Soft shadow towards the light: 1 in the open, falling to 0 where an object blocks the light, with
// a penumbra from how closely the shadow ray passes the objects.
float softShadow(float3 surfacePoint, uint count)
{
    Ray ray;
    ray.origin = surfacePoint;
    ray.direction = kLightDirection;
    float res = 1.0;
    LOOP_IN_DXBC for (uint i = nextCandidate(0, count, ray); i < count; i = nextCandidate(i + 1, count, ray))
    {
        GlenzObject o = glenzObject(i);
        float t = kShadowStart;
        // A plain loop on both targets: unrolled, a CPU renderer runs all the steps for every object
        // even after every ray of its pixel group has stopped.
        [loop] for (uint step = 0; step < kShadowSteps; ++step)
        {
            float d = objectDistance(o, ray.origin + ray.direction * t);
            float h = min(res, kShadowSharpness * d / t);
            t += d;
            res = h;
            if (h < kFullShadow || t > kShadowReach)
                break;
        }
        if (res < kFullShadow)
            return 0.0;
    }
    return saturate(res);
}

Ray cameraRay(float2 fragment)
{
    float2 p = (2.0 * (fragment - 0.5) - resolution) / resolution.y;
    float tx = CAM_TILT_X;
    float ts = CAM_TILT_STREAM;
    float ctx = cos(tx), stx = sin(tx), cts = cos(ts), sts = sin(ts);
    Ray ray;
    ray.origin = kCameraDistance * float3(ctx * sts, stx, ctx * cts);
    // The view direction (p, -focal) tilted about x, then swung about y.
    float y1 = p.y * ctx - kFocalLength * stx;
    float z1 = -p.y * stx - kFocalLength * ctx;
    ray.direction = normalize(float3(p.x * cts - z1 * sts, y1, z1 * cts + p.x * sts));
    return ray;
}

float3 traceStream(Ray camera)
{
    uint count = glenzObjectCount();
    float3 background = GLENZBG_R;
    float3 colour = 0;
    float alpha = 0;
    float layerStart = 0;

    LOOP_IN_DXBC for (uint layer = 0; layer < kMaxLayers; ++layer)
    {
        Ray ray;
        ray.origin = camera.origin + camera.direction * layerStart;
        ray.direction = camera.direction;

        float best = kNoHit;
        uint hitIndex = 0;
        LOOP_IN_DXBC for (uint i = nextCandidate(0, count, ray); i < count; i = nextCandidate(i + 1, count, ray))
        {
            float t = marchObject(glenzObject(i), ray);
            if (t > 0.0 && t < best)
            {
                best = t;
                hitIndex = i;
            }
        }
        if (best >= kNoHit)
        {
            colour += (1.0 - alpha) * background;
            break;
        }

        GlenzObject hitObject = glenzObject(hitIndex);
        float3 hitPoint = camera.origin + camera.direction * (layerStart + best);
        float3 l = toObjectSpace(hitObject, hitPoint);
        float4 facet = facetColour(l, hitIndex);
        float3 n = surfaceNormal(hitObject, l);
        float shadow = softShadow(hitPoint, count);

        float lit = 0.35 * saturate(dot(camera.direction, n) + 1.0);
        float3 shaded = saturate(lit + facet.rgb - 0.035) * (0.5 + 0.5 * shadow) * facet.a;
        colour += (1.0 - alpha) * shaded;
        alpha += (1.0 - alpha) * facet.a;
        if (alpha > kOpaqueEnough)
            break;
        // Continue just behind this surface to see the layers through it.
        layerStart += best + kLayerGap;
    }
    return colour;
}

// Gamma, a cool-leaning grade (green and blue bent down more than red), and a soft vignette.
float3 finish(float3 colour, float2 uv)
{
    // A negative background track would make the gamma curve NaN; black is its meaning.
    colour = pow(max(colour, 0.0), 0.4545455);
    colour = float3(colour.r, pow(colour.g, 1.3), pow(colour.b, 1.4)) * 1.1;
    float f = pow(16.0 * uv.x * uv.y * (1.0 - uv.x) * (1.0 - uv.y), 0.2);
    return colour * (0.8 * f + 0.2);
}

float4 pixel_main(FullscreenVertex input) : SV_TARGET
{
    float2 uv = input.uv;
    Ray camera = cameraRay(uv * resolution);
    return float4(finish(traceStream(camera), uv), 1.0);
}
