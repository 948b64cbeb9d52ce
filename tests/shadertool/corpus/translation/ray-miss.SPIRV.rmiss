#extension GL_NV_ray_tracing : require

layout(set = 2, binding = 0) uniform samplerCube _tex_sky;

layout(set = 0, binding = 1) uniform accelerationStructureNV _acceleration_structure;

layout(location = 0) rayPayloadInNV vec4 _pay_radiance;

void main()
{
	float fade = clamp(gl_RayTmaxNV / 1000.0f, 0.0f, 1.0f);
	_pay_radiance = textureLod(_tex_sky, gl_WorldRayDirectionNV, 0.0f) * fade;
}
