
void main()
{
    uint3 corners = loadIndices(buffers.meshIndices[input.instance_custom_id], input.primitive_id * 3u);
    float2 weights = input.hit_attribute;
    float3 hit = input.world_ray_origin + input.world_ray_direction * input.ray_length;
    float3 normal = objectSpaceToWorld(float4(0.0, 1.0, 0.0, 0.0));
    trace(4u, 255u, 0u, 1u, hit, 0.001, normal, 100.0, 1u);
    float4 color = sampleTextureLod(texture.albedo, weights, 0.0) * float(input.instance_custom_id + corners.x);
    ray_payloads.radiance = color * ray_payloads.shadow;
}
