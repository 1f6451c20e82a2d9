// Writes each texel's own coordinates into a texture through an unordered-access view.
RWTexture2D<float4> outputTexture : register(u0);

[numthreads(8, 8, 1)]
void kernel_main(uint3 id : SV_DispatchThreadID)
{
    outputTexture[id.xy] = float4(id.x, id.y, id.x * 100 + id.y, 1.0);
}
