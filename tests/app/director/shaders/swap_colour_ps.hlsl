// A flat colour that the director tests edit and swap into a live scene; it reads the shared constant
// buffer so that rebuilds need the generated include.
#include "context_buffer.hlsli"

struct FullscreenVertex
{
    float4 position : SV_POSITION;
    float2 uv : TEXCOORD0;
};

float4 pixel_main(FullscreenVertex input) : SV_TARGET
{
    return float4(0.25, 0.5, 0.75, 1.0) * step(0.0, time);
}
