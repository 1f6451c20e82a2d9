#ifndef STORED_MATRIX_HLSLI
#define STORED_MATRIX_HLSLI

// The host stores matrices row by row for row vectors (p x M). Declared column_major, each stored row
// arrives as a column of the shader-side matrix, so mul(m, p) yields p.x*M[0] + p.y*M[1] + p.z*M[2] +
// p.w*M[3] over the stored rows.
float4 transformRowVector(float4 p, float4x4 m)
{
    return mul(m, p);
}

#endif
