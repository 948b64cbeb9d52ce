#version 450
// internal_distance_field for Vulkan: compiled to the embedded SPIR-V module. The engine's row-major matrix reads
// as the transposed column-major mat4, so the position is multiplied from the left.
layout(location = 0) in vec4 _in_position;
layout(location = 1) in vec4 _in_color;
layout(location = 2) in vec2 _in_texture_coordinate;

layout(std140, set = 0, binding = 0) uniform VertexConstants
{
	mat4 world_view_proj;
} _vertex_constants;

layout(location = 0) out vec4 _out_color;
layout(location = 1) out vec2 _out_texture_coordinate;

void main()
{
	gl_Position = _in_position * _vertex_constants.world_view_proj;
	_out_color = _in_color;
	_out_texture_coordinate = _in_texture_coordinate;
}
