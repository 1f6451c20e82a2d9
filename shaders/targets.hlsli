#ifndef TARGETS_HLSLI
#define TARGETS_HLSLI

// What differs between the two targets. The SPIR-V build defines MIRELANDT_SPIRV; the DXBC compiler does
// not know the Vulkan attribute, and it unrolls long constant loops for minutes (or without end), while
// the SPIR-V build runs them fastest on the CPU renderer as they were written.
#ifdef MIRELANDT_SPIRV
// SPIR-V links the vertex and pixel stages by location; DXBC links them by semantic.
#define STAGE_LOCATION(n) [[vk::location(n)]]
#define LOOP_UNROLLED_IN_SPIRV [unroll]
#define LOOP_IN_DXBC
#else
#define STAGE_LOCATION(n)
#define LOOP_UNROLLED_IN_SPIRV [loop]
#define LOOP_IN_DXBC [loop]
#endif

#endif
