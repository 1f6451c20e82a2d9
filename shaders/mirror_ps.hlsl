#include "context_buffer.hlsli"
#include "mirror.hlsli"

float4 pixel_main(FullscreenVertex input) : SV_TARGET
{
    return mirrorSample(input.uv, mirrorX, mirrorY);
}
