#version 450
// internal_default for Vulkan: compiled to the embedded SPIR-V module.
layout(location = 0) in vec4 _out_color;
layout(location = 1) in vec2 _out_texture_coordinate;

layout(set = 0, binding = 2) uniform sampler2D _tex_diffuse;

layout(location = 0) out vec4 _pixel_color;

void main()
{
	_pixel_color = _out_color * texture(_tex_diffuse, _out_texture_coordinate);
}
