// Reads viewMatrix from the context block the two ways programs do: applied to unit vectors and
// indexed by row.
#include "context_buffer.hlsli"

RWStructuredBuffer<float4> result : register(u0);

[numthreads(1, 1, 1)]
void kernel_main()
{
    result[0] = mul(viewMatrix, float4(1, 0, 0, 0));
    result[1] = mul(viewMatrix, float4(0, 1, 0, 0));
    result[2] = viewMatrix[0];
    result[3] = mul(float4(1, 0, 0, 0), viewMatrix);
}
