// Samples one 2x1 texture through each of the six shared sampler slots at coordinates that show
// filter and address mode: between the two texels, and at the left and right edges.
Texture2D source : register(t0);
SamplerState linearClamp : register(s0);
SamplerState linearBorder : register(s1);
SamplerState linearWrap : register(s2);
SamplerState pointClamp : register(s3);
SamplerState pointBorder : register(s4);
SamplerState pointWrap : register(s5);
RWStructuredBuffer<float4> result : register(u0);

static const float2 coordinates[3] = { float2(0.5, 0.5), float2(0.0, 0.5), float2(1.0, 0.5) };

[numthreads(1, 1, 1)]
void kernel_main()
{
    for (uint i = 0; i < 3; ++i)
    {
        const float2 uv = coordinates[i];
        result[0 * 3 + i] = source.SampleLevel(linearClamp, uv, 0);
        result[1 * 3 + i] = source.SampleLevel(linearBorder, uv, 0);
        result[2 * 3 + i] = source.SampleLevel(linearWrap, uv, 0);
        result[3 * 3 + i] = source.SampleLevel(pointClamp, uv, 0);
        result[4 * 3 + i] = source.SampleLevel(pointBorder, uv, 0);
        result[5 * 3 + i] = source.SampleLevel(pointWrap, uv, 0);
    }
}
