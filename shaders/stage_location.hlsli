#ifndef STAGE_LOCATION_HLSLI
#define STAGE_LOCATION_HLSLI

// Slot of a value passed from the vertex to the pixel program. SPIR-V links the two stages by location,
// so the SPIR-V build (which defines MIRELANDT_SPIRV) numbers them; DXBC links them by semantic, and its
// compiler does not accept the attribute.
#ifdef MIRELANDT_SPIRV
#define STAGE_LOCATION(n) [[vk::location(n)]]
#else
#define STAGE_LOCATION(n)
#endif

#endif
