// The full-screen triangle with red, green and blue corners, laid out as the character
// cylinder hands its vertices to vertex_colour_ps.
struct ColouredVertex
{
    float4 position : SV_POSITION;
    float2 uv : TEXCOORD0;
    float4 colour : TEXCOORD1;
};

ColouredVertex vertex_main(uint id : SV_VertexID)
{
    ColouredVertex output;
    const float2 corner = float2((id << 1) & 2, id & 2);
    output.position = float4(2.0 * corner.x - 1.0, -2.0 * corner.y + 1.0, 0.0, 1.0);
    output.uv = corner;
    output.colour = float4(id == 0, id == 1, id == 2, 0.5);
    return output;
}
