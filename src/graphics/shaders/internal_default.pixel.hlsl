// internal_default, pixel stage (ps_4_0): vertex colour times the diffuse texture.
struct PixelInput
{
	float4 position : SV_POSITION;
	float4 color : COLOR0;
	float2 texture_coordinate : TEXCOORD0;
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
	output.color = input.color * _tex_diffuse.Sample(_smp_diffuse, input.texture_coordinate);
	return output;
}
