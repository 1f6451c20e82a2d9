// Full-screen triangle for the final copy: the coordinate comes from clip space, (u, 1 - v), so
// the image lands flipped vertically relative to the other full-screen passes.
#include "context_buffer.hlsli"
#include "fullscreen.hlsli"

FullscreenVertex vertex_main(uint id : SV_VertexID)
{
    FullscreenVertex output;
    output.position = fullscreenClipPosition(fullscreenCorner(id));
    output.uv = output.position.xy * 0.5 + 0.5;
    return output;
}
