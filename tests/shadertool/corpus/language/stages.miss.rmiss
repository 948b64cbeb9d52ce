// Miss shaders see the ray and the payload, and may sample textures at a given level.
void main()
{
    float4 sky = sampleTextureLod(texture.environment, input.world_ray_direction, 0.0);
    ray_payloads.payload = sky * input.ray_length + float4(input.world_ray_origin, 0.0);
}
