// Radial light streaks: every pixel gathers a decaying trail of samples from itself towards the
// screen centre, so bright areas smear outwards in rays. A dither per pixel hides the sample steps.
#include "context_buffer.hlsli"
#include "fullscreen.hlsli"
#include "targets.hlsli"

Texture2D inputTexture : register(t0);
SamplerState samplerState : register(s0);

static const int kStreakSamples = 250;
static const float kCentreWeight = 0.15;
static const float kSampleWeight = 0.7515;
static const float kVignetteStrength = 1.25;

float3 inputColour(float2 uv)
{
    return inputTexture.SampleLevel(samplerState, uv, 0).rgb;
}

// Per-pixel offset in [-1, 1) along the streak, in units of one step.
float streakDither(float2 uv)
{
    return 2.0 * frac(sin(dot(uv + 0.1, float2(41.0, 289.0))) * 45758.55) - 1.0;
}

// Smoothstep-shaped contrast curve above a black level of 0.2, square-rooted to lift the mids.
float3 tone(float3 colour)
{
    float3 x = saturate((colour - 0.2) / 1.3);
    return sqrt(x * x * (3.0 - 2.0 * x));
}

float4 pixel_main(FullscreenVertex input) : SV_TARGET
{
    float2 uv = input.uv;
    if (int(lamerbypass) == 1)
        return inputTexture.SampleLevel(samplerState, uv, 0);

    float2 d = uv - 0.5;
    float2 step = d * lamerdensity / float(kStreakSamples);
    float3 colour = kCentreWeight * inputColour(uv);
    float dither = streakDither(uv);

    // The weight of sample k is 0.7515 * lamerdecay^k, kept as a running product so that a decay of
    // 0 leaves exactly the first sample.
    float weight = kSampleWeight;
    LOOP_UNROLLED_IN_SPIRV for (int k = 0; k < kStreakSamples; ++k)
    {
        colour += weight * inputColour(uv + step * (dither - float(k + 1)));
        weight *= lamerdecay;
    }

    colour *= 1.0 - kVignetteStrength * dot(d, d);
    return float4(tone(colour), 1.0);
}
