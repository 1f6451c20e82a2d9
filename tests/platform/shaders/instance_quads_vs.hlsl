// Instance i covers pixel column i of a 4 x 4 target with a quad whose corners are numbered 0 top left,
// 1 top right, 2 bottom left, 3 bottom right: only the indices 0 1 2 2 1 3 (or another order of the
// same two triangles) fill the column. The colour's red is i + 1. The members keep vertex_colour_ps's
// order, which SPIR-V's locations follow.
struct ColouredVertex
{
    float4 position : SV_POSITION;
    float2 uv : TEXCOORD0;
    float4 colour : TEXCOORD1;
};

ColouredVertex vertex_main(uint id : SV_VertexID, uint instance : SV_InstanceID)
{
    ColouredVertex output;
    float x = -1.0 + 0.5 * (instance + (id & 1));
    float y = id >= 2 ? -1.0 : 1.0;
    output.position = float4(x, y, 0.0, 1.0);
    output.uv = float2(id & 1, id >> 1);
    output.colour = float4(instance + 1, 0.0, 0.0, 1.0);
    return output;
}
