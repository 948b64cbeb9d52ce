SamplerState _smp_sky : register(s0, space0);
TextureCube _tex_sky : register(t0, space2);

RaytracingAccelerationStructure _acceleration_structure : register(t0, space0);

struct _Pay_radiance
{
	float4 radiance;
};

[shader("miss")]
void main(inout _Pay_radiance _pay_radiance)
{
	float fade = saturate(RayTCurrent() / 1000.0f);
	_pay_radiance.radiance = _tex_sky.SampleLevel(_smp_sky, WorldRayDirection(), 0.0f) * fade;
}
