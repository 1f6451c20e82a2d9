// Places the kept quads of every cell after those of the cells before it: an exclusive running sum of the
// 24,576 cells' counts, in grid order, and the cylinder draw's arguments, whose instance count is the
// total. One group of 256 threads, each summing 96 consecutive cells.
#include "char_cells.hlsli"

StructuredBuffer<uint> cellCounts : register(t0);
RWStructuredBuffer<uint> cellOffsets : register(u1);
RWBuffer<uint> drawArguments : register(u2);

// A #define: the group size must be a literal where [numthreads] reads it.
#define kThreads 256
static const uint kCells = kGridColumns * kGridRows;
static const uint kCellsPerThread = kCells / kThreads;
static const uint kQuadIndexCount = 6;

groupshared uint threadStarts[kThreads];

[numthreads(kThreads, 1, 1)]
void kernel_main(uint t : SV_GroupIndex)
{
    uint first = t * kCellsPerThread;
    uint sum = 0;
    for (uint i = 0; i < kCellsPerThread; ++i)
        sum += cellCounts[first + i];
    threadStarts[t] = sum;
    GroupMemoryBarrierWithGroupSync();
    if (t == 0)
    {
        uint total = 0;
        for (uint j = 0; j < kThreads; ++j)
        {
            uint part = threadStarts[j];
            threadStarts[j] = total;
            total += part;
        }
        // Index count, instance count, first index, base vertex, first instance. The constants go through
        // a value read at run time (the first start is always 0): Direct3D 11 on OpenGL (wine's) cannot
        // store a literal into a typed buffer.
        uint zero = threadStarts[0];
        drawArguments[0] = kQuadIndexCount + zero;
        drawArguments[1] = total;
        drawArguments[2] = zero;
        drawArguments[3] = zero;
        drawArguments[4] = zero;
    }
    GroupMemoryBarrierWithGroupSync();
    uint offset = threadStarts[t];
    for (uint c = 0; c < kCellsPerThread; ++c)
    {
        cellOffsets[first + c] = offset;
        offset += cellCounts[first + c];
    }
}
