// Builds the quads of the text pass from the vertex and instance indices alone: instance 0 is an
// opaque black quad over the whole target, instance i > 0 is the page of text layer i - 1, placed in
// 3-D and seen through the camera.
#include "context_buffer.hlsli"
#include "stored_matrix.hlsli"
#include "text_layer_table.hlsli"

// Each layer quad is half a page taller than the page at both ends (v runs -0.25 to 1.25); the
// pixel program leaves the margins transparent.
static const float kLayerQuadHeight = 1.5;
static const float kCellWidth = 0.4;

// Corner of a two-triangle quad, in -1/+1 units: corners 0-2 and 3-5 form the two triangles.
float2 quadCorner(uint vertexId)
{
    uint c = vertexId % 6;
    float sx = (c == 1 || c == 4 || c == 5) ? 1.0 : -1.0;
    float sy = (c == 2 || c == 3 || c == 5) ? 1.0 : -1.0;
    return float2(sx, sy);
}

TextLayerVertex backgroundQuad(float2 corner)
{
    TextLayerVertex output;
    output.position = float4(corner, 0, 1);
    output.cell = corner * 0.5 + 0.5;
    output.instance = 0;
    output.backgroundMarker = 0xFFFFFFFF;
    output.layer = -1;
    return output;
}

TextLayerVertex layerQuad(float2 corner, uint instance)
{
    int L = int(instance) - 1;
    TextLayer layer = textLayer(L);
    float sx = corner.x;
    float sy = corner.y * kLayerQuadHeight;

    float cellHeight = layer.cellAspect ? 0.8 : 0.4;
    float width = layer.cols * kCellWidth;
    float height = layer.rows * cellHeight;
    float3 centre = float3(-kCellWidth * layer.position.x, cellHeight * layer.position.y, layer.position.z);
    // Page rows run downwards on screen while the world's y runs up, hence -sy.
    float3 world = float3(sx * width * 0.5, -sy * height * 0.5, 0) + centre;

    float4 viewPoint = transformRowVector(float4(world, 1), viewMatrix);

    TextLayerVertex output;
    output.position = transformRowVector(viewPoint, projectionMatrix);
    output.cell = float2(sx, sy) * 0.5 + 0.5;
    output.instance = instance;
    output.backgroundMarker = 0;
    output.layer = L;
    return output;
}

TextLayerVertex vertex_main(uint vertexId : SV_VertexID, uint instance : SV_InstanceID)
{
    float2 corner = quadCorner(vertexId);
    if (instance == 0)
        return backgroundQuad(corner);
    return layerQuad(corner, instance);
}
