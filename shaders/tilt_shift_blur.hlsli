#ifndef TILT_SHIFT_BLUR_HLSLI
#define TILT_SHIFT_BLUR_HLSLI

#include "fullscreen.hlsli"
#include "targets.hlsli"

// Tilt-shift focus blur shared by the two blur passes, which differ only in the track that switches
// them: sharp along the horizontal middle, a Gaussian that widens towards the top and bottom edges.

Texture2D InputTexture : register(t0);
SamplerState LinearSampler : register(s0);

static const int kBlurRadius = 8; // 17 x 17 taps
static const float kMinSigma = 0.01;
// Below this width the Gaussian is a copy to within rounding, so the pass skips it.
static const float kSharpSigma = 0.1;
static const float kPi = 6.283185 / 2.0;

float4 tiltShiftBlur(float2 uv, float blurSwitch)
{
    float4 centre = InputTexture.SampleLevel(LinearSampler, uv, 0);
    if (int(blurSwitch) == 0)
        return centre;

    float f = pow(saturate(abs(uv.y - 0.5)), 1.5);
    float sigma = (DOFBLUR - kMinSigma) * f + kMinSigma;
    if (sigma < kSharpSigma)
        return centre;

    float twoSigmaSquared = 2.0 * sigma * sigma;
    float3 sum = 0;
    float weightSum = 0;
    // The rows as a plain loop on both targets: a CPU renderer runs a branch for a whole group of
    // pixels, so unrolled, a group whose pixels all left above as sharp would still take every tap;
    // a loop ends at once when no pixel of the group is left in it.
    [loop] for (int y = -kBlurRadius; y <= kBlurRadius; ++y)
    {
        LOOP_UNROLLED_IN_SPIRV for (int x = -kBlurRadius; x <= kBlurRadius; ++x)
        {
            float w = exp(-float(x * x + y * y) / twoSigmaSquared) / (kPi * twoSigmaSquared);
            float2 at = uv + float2(x, y) / resolution;
            sum += InputTexture.SampleLevel(LinearSampler, at, 0).rgb * w;
            weightSum += w;
        }
    }
    return float4(sum / weightSum, 1.0);
}

#endif
