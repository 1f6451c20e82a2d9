// Writes the frame number plus one, so that 0 means "never written".
#include "context_buffer.hlsli"

struct FullscreenVertex
{
    float4 position : SV_POSITION;
    float2 uv : TEXCOORD0;
};

float4 pixel_main(FullscreenVertex input) : SV_TARGET
{
    return float4(frame + 1, 0.0, 0.0, 1.0);
}
