// Merges the blurred cylinder image with the text layers, then, when the post-process is on, gives the
// picture the look of a worn cathode-ray screen: sub-pixel jitter, per-channel tears, a tone curve,
// scanlines, a brightness pulse, a flickering vignette and grain.
#include "context_buffer.hlsli"
#include "fullscreen.hlsli"

Texture2D inputTexture : register(t0);
Texture2D inputTexture2 : register(t1);
SamplerState smpLinearClamp : register(s0);

static const float3 kLumaWeights = float3(0.2126, 0.7152, 0.0722);
// Front pixels this dark or this transparent never cover: black in the front image means "empty".
static const float kCoverCutoff = 0.01;
static const float kHashScale = 43758.55;
static const float kDesaturation = 0.05;
static const float3 kToneExponents = float3(1.5, 1.4, 1.5);
static const float kJitterThreshold = 0.15;
static const float kJitterScale = 0.0006;
static const float kTearThreshold = 0.7;
static const float kScanlinePeriod = 2.7;
static const float kScanlineDepth = 0.075;
static const float kPulseRate = 100.0 / 6.28318;
static const float kPulseWidth = 10.0;
static const float kPulseDepth = 0.04;
static const float kVignetteStrength = 0.294;
static const float kGrainDepth = 0.2;

float hash2(float2 p)
{
    return frac(sin(dot(p, float2(127.1, 311.7))) * kHashScale);
}

float hash2b(float2 p)
{
    return frac(sin(dot(p, float2(269.5, 183.3))) * kHashScale);
}

float hash1(float x)
{
    return frac(sin(x) * kHashScale);
}

// Smooth value noise in [-1, 1] with a quintic fade between integer lattice values.
float noise1(float x)
{
    float i = floor(x);
    float f = frac(x);
    float s = f * f * f * (f * (6.0 * f - 15.0) + 10.0);
    return (hash1(i) + s * (hash1(i + 1.0) - hash1(i))) * 2.0 - 1.0;
}

// The two scene images layered at one coordinate; the front image covers by its alpha unless it is
// (nearly) black or (nearly) transparent.
float3 scene(float2 c)
{
    float4 a = SCENE_ONE > 0.5 ? inputTexture.SampleLevel(smpLinearClamp, c, 0) : float4(0, 0, 0, 0);
    float4 b = SCENE_TWO > 0.5 ? inputTexture2.SampleLevel(smpLinearClamp, c, 0) : float4(0, 0, 0, 0);
    bool swapped = int(SWAPORDER) != 0;
    float4 back = swapped ? b : a;
    float4 front = swapped ? a : b;
    float lum = dot(front.rgb, kLumaWeights);
    float cover = (front.a <= kCoverCutoff || lum <= kCoverCutoff) ? 0.0 : front.a;
    return back.rgb + cover * (front.rgb - back.rgb);
}

// A small random shake of the whole picture, only in the moments when the shake hash is far from
// its middle, so the image mostly sits still.
float2 jitteredCoordinate(float2 uv, float flickerFrame)
{
    float2 p = float2(time * 5.0, time * 5.0 + 127.3);
    float2 j = float2(hash2(p), hash2b(p)) - 0.5;
    j = (abs(j) > kJitterThreshold) ? j * kJitterScale : float2(0, 0);
    float r = hash2(float2(flickerFrame * 0.01 + uv.x, flickerFrame * 0.01 + uv.y));
    return uv + r * j;
}

float tearActive(float seed)
{
    return noise1(time * 5.0 + seed) > kTearThreshold ? 1.0 : 0.0;
}

// One channel of the composite fetched at its own (possibly torn) coordinate, slightly desaturated,
// then bent by 1 - (1 - x)^(1/e), which lifts the darks and keeps 0 at 0 and 1 at 1.
float toneChannel(float2 c, int channel)
{
    float3 colour = saturate(scene(c));
    float lum = dot(colour, kLumaWeights);
    float x = colour[channel] + kDesaturation * (lum - colour[channel]);
    // The weights sum to one only up to rounding, so 1 - x may dip below zero by an ulp; pow of a
    // negative base would turn the pixel into NaN.
    return 1.0 - pow(saturate(1.0 - x), 1.0 / kToneExponents[channel]);
}

float scanlineFactor(float y)
{
    return cos(y * 3.141593 * resolution.y / kScanlinePeriod) * kScanlineDepth + (1.0 - kScanlineDepth);
}

float pulseFactor()
{
    float q = frac(time * kPulseRate);
    float d = q - 0.5;
    return exp(-kPulseWidth * d * d) * BLINKY * kPulseDepth + (1.0 - kPulseDepth);
}

// Darkened corners whose strength flickers with the 11 Hz clock.
float vignetteFactor(float2 uv, float flickerFrame)
{
    float2 d = (uv - 0.5) * 2.0;
    float v = 1.0 - dot(d, d) * kVignetteStrength;
    float f = hash1(flickerFrame + 13.7) * 0.3 + 0.7;
    return v * f * 0.4 + 0.6;
}

float grainFactor(float2 uv, float flickerFrame)
{
    float2 p = float2(flickerFrame + 1000.0 * uv.x, flickerFrame + 1000.0 * uv.y);
    return frac(sin(dot(p, float2(12.9898, 78.233))) * kHashScale) * kGrainDepth + 1.0;
}

float4 pixel_main(FullscreenVertex input) : SV_TARGET
{
    float2 uv = input.uv;
    if (int(ENABLEFINALPSOTPROC) == 0)
        return float4(scene(uv), 1.0);

    float flickerFrame = ceil(time * 11.0);
    float2 shaken = jitteredCoordinate(uv, flickerFrame);

    // Red and green tear sideways, blue tears vertically, each on its own noise track.
    float2 redOffset = float2(FLICKER * tearActive(17.0), 0.0);
    float2 greenOffset = float2(FLICKER * tearActive(37.0), 0.0);
    float2 blueOffset = float2(0.0, FLICKER * tearActive(71.0));

    float3 colour = float3(toneChannel(shaken + redOffset, 0), toneChannel(shaken + greenOffset, 1),
                           toneChannel(shaken + blueOffset, 2));

    if (int(SCANLINES) != 0)
        colour *= scanlineFactor(shaken.y);
    colour *= pulseFactor();
    colour *= vignetteFactor(shaken, flickerFrame);
    colour *= grainFactor(shaken, flickerFrame);
    return float4(colour * GLOBE_BRIGHTNESS, 1.0);
}
