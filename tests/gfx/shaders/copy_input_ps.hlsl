// Copies the texel of t0 under the pixel.
#include "context_buffer.hlsli"

struct FullscreenVertex
{
    float4 position : SV_POSITION;
    float2 uv : TEXCOORD0;
};

Texture2D<float4> inputTexture : register(t0);

float4 pixel_main(FullscreenVertex input) : SV_TARGET
{
    return inputTexture.Load(int3(input.position.xy, 0));
}
