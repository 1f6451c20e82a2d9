// Full-screen triangle; TEXCOORD0 runs 0..1 across the target, origin top-left, v downwards.
#include "context_buffer.hlsli"
#include "fullscreen.hlsli"

FullscreenVertex vertex_main(uint id : SV_VertexID)
{
    FullscreenVertex output;
    const float2 corner = fullscreenCorner(id);
    output.position = fullscreenClipPosition(corner);
    output.uv = corner;
    return output;
}
