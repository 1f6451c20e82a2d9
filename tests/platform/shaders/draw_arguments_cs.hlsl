// Writes an indexed draw's five arguments: six indices from index 1 on, as many instances as the
// CameraPosX track says, base vertex and first instance 0. The constants go through the thread's index (0
// in a dispatch of one thread): Direct3D 11 on OpenGL (wine's) cannot store a literal into a typed buffer.
#include "context_buffer.hlsli"

RWBuffer<uint> drawArguments : register(u0);

[numthreads(1, 1, 1)]
void kernel_main(uint3 thread : SV_DispatchThreadID)
{
    uint zero = thread.x;
    drawArguments[0] = 6 + zero;
    drawArguments[1] = uint(CameraPosX);
    drawArguments[2] = 1 + zero;
    drawArguments[3] = zero;
    drawArguments[4] = zero;
}
