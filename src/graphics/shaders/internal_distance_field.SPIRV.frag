#version 450
// internal_distance_field for Vulkan: compiled to the embedded SPIR-V module.
layout(location = 0) in vec4 _out_color;
layout(location = 1) in vec2 _out_texture_coordinate;

layout(std140, set = 0, binding = 1) uniform PixelConstants
{
	vec4 smoothing;
} _pixel_constants;

layout(set = 0, binding = 2) uniform sampler2D _tex_diffuse;

layout(location = 0) out vec4 _pixel_color;

void main()
{
	vec4 texel = texture(_tex_diffuse, _out_texture_coordinate);
	float edge = _pixel_constants.smoothing.x;
	texel.a = smoothstep(0.5 - edge, 0.5 + edge, texel.a);
	_pixel_color = _out_color * texel;
}
