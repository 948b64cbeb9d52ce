// internal_distance_field, vertex stage (vs_4_0): as internal_default's, with the outputs in the
// order position, texture coordinate, colour.
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
	float2 texture_coordinate : TEXCOORD0;
	float4 color : COLOR0;
};

VertexOutput main(VertexInput input)
{
	VertexOutput output;
	output.position = mul(input.position, _const_world_view_proj);
	output.texture_coordinate = input.texture_coordinate;
	output.color = input.color;
	return output;
}
