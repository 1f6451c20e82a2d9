// Writes an indexed draw's five arguments: six indices from index 1 on, as many instances as the
// CameraPosX track says, base vertex and first instance 0.
#include "context_buffer.hlsli"

RWBuffer<uint> drawArguments : register(u0);

[numthreads(1, 1, 1)]
void kernel_main()
{
    drawArguments[0] = 6;
    drawArguments[1] = uint(CameraPosX);
    drawArguments[2] = 1;
    drawArguments[3] = 0;
    drawArguments[4] = 0;
}
