// Each thread writes its index, its square and the frame number read from the context block.
#include "context_buffer.hlsli"

RWStructuredBuffer<float4> bufferUAV : register(u0);

[numthreads(8, 1, 1)]
void kernel_main(uint3 id : SV_DispatchThreadID)
{
    bufferUAV[id.x] = float4(id.x, id.x * id.x, frame, CameraPosX);
}
