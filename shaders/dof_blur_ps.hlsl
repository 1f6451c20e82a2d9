// Focus blur of the finished picture, switched by DOF1.
#include "context_buffer.hlsli"
#include "tilt_shift_blur.hlsli"

float4 pixel_main(FullscreenVertex input) : SV_TARGET
{
    return tiltShiftBlur(input.uv, DOF1);
}
