// Copies element i of an integer and a float data buffer into a structured output.
Buffer<int> integers : register(t0);
Buffer<float> floats : register(t1);
RWStructuredBuffer<float2> result : register(u2);

[numthreads(8, 1, 1)]
void kernel_main(uint3 id : SV_DispatchThreadID)
{
    result[id.x] = float2(integers[id.x], floats[id.x]);
}
