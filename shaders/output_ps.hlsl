// Final copy into the presented image, point-sampled through slot 3, alpha kept.
#include "context_buffer.hlsli"
#include "fullscreen.hlsli"

Texture2D inputTex : register(t0);
SamplerState smp : register(s3);

float4 pixel_main(FullscreenVertex input) : SV_TARGET
{
    return inputTex.SampleLevel(smp, input.uv, 0);
}
