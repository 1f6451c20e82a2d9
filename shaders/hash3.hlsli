#ifndef HASH3_HLSLI
#define HASH3_HLSLI

// Cheap arithmetic hash of a 3-vector into [0, 1). The text layers and the character cylinder both
// scatter cells and pixels with it, so they must share one definition to stay in step.
float hash3(float3 p)
{
    float3 q = frac(p * float3(0.1031, 0.103, 0.0973));
    q += dot(q, q.yxz + 33.33);
    return frac((q.x + q.y) * q.z);
}

#endif
