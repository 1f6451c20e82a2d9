// Radial light streaks: every pixel gathers a decaying trail of samples from itself towards the
// screen centre, so bright areas smear outwards in rays. A dither per pixel hides the sample steps.
#include "context_buffer.hlsli"
#include "fullscreen.hlsli"
#include "targets.hlsli"

Texture2D inputTexture : register(t0);
SamplerState samplerState : register(s0);

static const int kStreakSamples = 250;
static const int kChunkSamples = 10;
static const float kCentreWeight = 0.15;
static const float kSampleWeight = 0.7515;
static const float kVignetteStrength = 1.25;
static const float kBlackLevel = 0.2;
static const float kHalfMax = 65504.0;
// A float's half unit in the last place is at least its magnitude times 2^-25.
static const float kHalfUlpScale = 1.0 / 33554432.0;

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
    float3 x = saturate((colour - kBlackLevel) / 1.3);
    return sqrt(x * x * (3.0 - 2.0 * x));
}

// Whether a channel's sum so far is final as far as the tone curve can tell, with every later sample
// adding at most `largestTerm` and all of them together at most `rest` (both with room for rounding):
// each later sample adds less than half a unit in the last place of the sum, so the sum keeps its
// bits, or even all of them cannot lift the channel to the black level, so the tone gives 0.
bool channelSettled(float sum, float largestTerm, float rest, float vignette)
{
    return largestTerm < abs(sum) * kHalfUlpScale || (sum + rest) * vignette < 0.95 * kBlackLevel;
}

// Whether the trail from the sample of this weight on leaves every channel's toned result as it is. An
// input texel is a half float, at most kHalfMax; without a decay in [0, 1) the weights need not fall.
bool trailSettled(float3 colour, float weight, float vignette)
{
    if (!(lamerdecay >= 0.0 && lamerdecay < 1.0))
        return false;
    float largestTerm = 2.0 * weight * kHalfMax;
    float rest = largestTerm / (1.0 - lamerdecay);
    return channelSettled(colour.r, largestTerm, rest, vignette) &&
           channelSettled(colour.g, largestTerm, rest, vignette) &&
           channelSettled(colour.b, largestTerm, rest, vignette);
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
    // 0 leaves exactly the first sample. The samples go in chunks through a plain loop that ends once
    // the rest of the trail cannot change the result: a CPU renderer then stops as soon as no pixel of
    // its group is left in the loop (and a bypassed pass costs one chunk, the loop's body running once
    // for a group even when none of its pixels is in it).
    float vignette = 1.0 - kVignetteStrength * dot(d, d);
    float weight = kSampleWeight;
    [loop] for (int first = 0; first < kStreakSamples; first += kChunkSamples)
    {
        if (trailSettled(colour, weight, vignette))
            break;
        LOOP_UNROLLED_IN_SPIRV for (int j = 1; j <= kChunkSamples; ++j)
        {
            colour += weight * inputColour(uv + step * (dither - float(first + j)));
            weight *= lamerdecay;
        }
    }

    colour *= vignette;
    return float4(tone(colour), 1.0);
}
