// Writes the interpolated full-screen coordinate, to check coverage and coordinates.
struct FullscreenVertex
{
    float4 position : SV_POSITION;
    float2 uv : TEXCOORD0;
};

float4 pixel_main(FullscreenVertex input) : SV_TARGET
{
    return float4(input.uv, 0.0, 1.0);
}
