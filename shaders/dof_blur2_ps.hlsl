// Focus blur of the character cylinder before it is composited, switched by DOF2.
#include "context_buffer.hlsli"
#include "tilt_shift_blur.hlsli"

float4 pixel_main(FullscreenVertex input) : SV_TARGET
{
    return tiltShiftBlur(input.uv, DOF2);
}
