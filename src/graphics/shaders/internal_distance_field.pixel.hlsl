// internal_distance_field, pixel stage (ps_4_0): the sample's alpha is a distance, 0.5 on the
// edge; smoothstep(0.5 - s, 0.5 + s, alpha) is written out because Wine's compiler lacks it.
struct PixelInput
{
	float4 position : SV_POSITION;
	float2 texture_coordinate : TEXCOORD0;
	float4 color : COLOR0;
};

cbuffer Constants
{
	float4 _const_smoothing;
};

SamplerState _smp_diffuse : register(s0);
Texture2D _tex_diffuse : register(t0);

struct PixelOutput
{
	float4 color : SV_TARGET0;
};

PixelOutput main(PixelInput input)
{
	PixelOutput output;
	float4 texel = _tex_diffuse.Sample(_smp_diffuse, input.texture_coordinate);
	float low = 0.5 - _const_smoothing.x;
	float high = 0.5 + _const_smoothing.x;
	float t = saturate((texel.a - low) / (high - low));
	texel.a = t * t * (3.0 - 2.0 * t);
	output.color = input.color * texel;
	return output;
}
