// Pixel x shows element x of the structured buffer at t0.
#include "context_buffer.hlsli"

struct FullscreenVertex
{
    float4 position : SV_POSITION;
    float2 uv : TEXCOORD0;
};

StructuredBuffer<float4> objects : register(t0);

float4 pixel_main(FullscreenVertex input) : SV_TARGET
{
    return objects[uint(input.position.x)];
}
