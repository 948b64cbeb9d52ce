ByteAddressBuffer _buf_indices[] : register(t0, space1);

SamplerState _smp_albedo : register(s0, space3);
Texture2D _tex_albedo : register(t0, space8);

RaytracingAccelerationStructure _acceleration_structure : register(t0, space0);

uint3 _loadIndices(ByteAddressBuffer buffer, uint offset)
{
	const uint aligned_offset = offset & ~3;
	const uint2 packed_indices = buffer.Load2(aligned_offset);
	uint3 indices;

	if (offset == aligned_offset)
	{
		indices.x = packed_indices.x & 0xFFFF;
		indices.y = packed_indices.x >> 16;
		indices.z = packed_indices.y & 0xFFFF;
	}
	else
	{
		indices.x = packed_indices.x >> 16;
		indices.y = packed_indices.y & 0xFFFF;
		indices.z = packed_indices.y >> 16;
	}

	return indices;	
}

struct _Pay_radiance
{
	float4 radiance;
};

struct _Pay_shadow
{
	float shadow;
};

[shader("closesthit")]
void main(inout _Pay_radiance _pay_radiance, BuiltInTriangleIntersectionAttributes _hit_attributes)
{
	_Pay_shadow _pay_shadow;
	uint3 corners = _loadIndices(_buf_indices[InstanceID()], PrimitiveIndex() * 3u);
	float2 weights = _hit_attributes.barycentrics;
	float3 hit = WorldRayOrigin() + WorldRayDirection() * RayTCurrent();
	float3 normal = mul(ObjectToWorld3x4(), (float4(0.0f, 1.0f, 0.0f, 0.0f)));
	RayDesc _ray_description;
	_ray_description.Origin = hit;
	_ray_description.TMin = 0.001f;
	_ray_description.Direction = normal;
	_ray_description.TMax = 100.0f;
	TraceRay(_acceleration_structure, 4u, 255u, 0u, 0, 1u, _ray_description, _pay_shadow);
	float4 color = _tex_albedo.SampleLevel(_smp_albedo, weights, 0.0f) * float(InstanceID() + corners.x);
	_pay_radiance.radiance = color * _pay_shadow.shadow;
}
