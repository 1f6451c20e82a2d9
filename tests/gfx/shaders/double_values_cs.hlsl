// Element i of the data buffer at t0, doubled, with i and the frame number, into the structured buffer
// that follows the one input at u1.
#include "context_buffer.hlsli"

Buffer<float> values : register(t0);
RWStructuredBuffer<float4> objects : register(u1);

[numthreads(8, 1, 1)]
void kernel_main(uint3 id : SV_DispatchThreadID)
{
    objects[id.x] = float4(values[id.x] * 2.0, id.x, frame, 1.0);
}
