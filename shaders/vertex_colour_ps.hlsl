// Writes the interpolated vertex colour. The input matches the character cylinder's output
// (TEXCOORD0 before TEXCOORD1) so that the colour arrives at the same location.
#include "context_buffer.hlsli"

struct ColouredVertex
{
    float4 position : SV_POSITION;
    float2 uv : TEXCOORD0;
    float4 colour : TEXCOORD1;
};

float4 pixel_main(ColouredVertex input) : SV_TARGET
{
    return input.colour;
}
