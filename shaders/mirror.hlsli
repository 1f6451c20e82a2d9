// Mirroring shared by mirror_ps and mirror2_ps, which differ only in the tracks they read.
// Switches are on strictly above 0.5; the horizontal mirror copies the left half onto the right,
// the vertical one the bottom half onto the top. A coordinate exactly at 0.5 stays.
#ifndef MIRROR_HLSLI
#define MIRROR_HLSLI
#include "fullscreen.hlsli"

Texture2D inputTex : register(t0);
SamplerState inputSamp : register(s0);

float4 mirrorSample(float2 uv, float mirrorHorizontal, float mirrorVertical)
{
    if (mirrorHorizontal > 0.5 && uv.x > 0.5)
        uv.x = 1.0 - uv.x;
    if (mirrorVertical > 0.5 && uv.y < 0.5)
        uv.y = 1.0 - uv.y;
    return inputTex.Sample(inputSamp, uv);
}
#endif
