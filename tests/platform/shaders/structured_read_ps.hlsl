// Shows element x of a structured buffer in pixel column x, as the sphere ray-marcher reads the
// simulation's output.
StructuredBuffer<float4> sphereBuffer : register(t0);

float4 pixel_main(float4 position : SV_POSITION) : SV_TARGET
{
    return sphereBuffer[uint(position.x)];
}
