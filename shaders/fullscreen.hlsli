// The full-screen triangle shared by the full-screen passes: ids 0, 1, 2 give the corners
// (0,0), (2,0), (0,2) of a triangle that covers the target, with clip y pointing up.
#ifndef FULLSCREEN_HLSLI
#define FULLSCREEN_HLSLI
struct FullscreenVertex
{
    float4 position : SV_POSITION;
    float2 uv : TEXCOORD0;
};

float2 fullscreenCorner(uint id)
{
    return float2((id << 1) & 2, id & 2);
}

float4 fullscreenClipPosition(float2 corner)
{
    return float4(2.0 * corner.x - 1.0, -2.0 * corner.y + 1.0, 0.0, 1.0);
}
#endif
