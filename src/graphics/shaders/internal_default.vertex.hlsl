// internal_default, vertex stage (vs_4_0): the engine's matrices are row-major with column
// vectors; a constant buffer reads them column-major, so mul(v, M) gives M v.
struct VertexInput
{
	float4 position : POSITION;
	float4 color : COLOR;
	float2 texture_coordinate : TEXCOORD0;
};

cbuffer Constants
{
	float4x4 _const_world_view_proj;
};

struct VertexOutput
{
	float4 position : SV_POSITION;
	float4 color : COLOR0;
	float2 texture_coordinate : TEXCOORD0;
};

VertexOutput main(VertexInput input)
{
	VertexOutput output;
	output.position = mul(input.position, _const_world_view_proj);
	output.color = input.color;
	output.texture_coordinate = input.texture_coordinate;
	return output;
}
