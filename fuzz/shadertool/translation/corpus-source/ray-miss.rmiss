
void main()
{
    float fade = saturate(input.ray_length / 1000.0);
    ray_payloads.radiance = sampleTextureLod(texture.sky, input.world_ray_direction, 0.0) * fade;
}
