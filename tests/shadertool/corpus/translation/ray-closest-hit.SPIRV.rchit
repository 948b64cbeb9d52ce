#extension GL_NV_ray_tracing : require
#extension GL_EXT_shader_16bit_storage : require
#extension GL_EXT_nonuniform_qualifier : require

layout(set = 1, binding = 0) buffer Buffer0
{
	uint16_t data[];
} _buf_indices[];

layout(set = 2, binding = 3) uniform sampler2D _tex_albedo;

layout(set = 0, binding = 1) uniform accelerationStructureNV _acceleration_structure;
hitAttributeNV vec3 _hit_attribute;

layout(location = 1) rayPayloadNV float _pay_shadow;
layout(location = 0) rayPayloadInNV vec4 _pay_radiance;

void main()
{
	uvec3 corners = uvec3(_buf_indices[gl_InstanceCustomIndexNV].data[gl_PrimitiveID * 3u], _buf_indices[gl_InstanceCustomIndexNV].data[(gl_PrimitiveID * 3u) + 1], _buf_indices[gl_InstanceCustomIndexNV].data[(gl_PrimitiveID * 3u) + 2]);
	vec2 weights = _hit_attribute.xy;
	vec3 hit = gl_WorldRayOriginNV + gl_WorldRayDirectionNV * gl_RayTmaxNV;
	vec3 normal = (gl_ObjectToWorldNV * (vec4(0.0f, 1.0f, 0.0f, 0.0f)));
	traceNV(_acceleration_structure, 4u, 255u, 0u, 0, 1u, hit, 0.001f, normal, 100.0f, int(1u));
	vec4 color = textureLod(_tex_albedo, weights, 0.0f) * float(gl_InstanceCustomIndexNV + corners.x);
	_pay_radiance = color * _pay_shadow;
}
