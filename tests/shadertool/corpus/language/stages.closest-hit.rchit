// Closest-hit shaders read the hit attributes, buffers and payload, and may trace further rays.
void main()
{
    uint3 tri = loadIndices(buffers.indices, input.primitive_id);
    uint3 other = loadIndices(buffers.meshIndices[1], 0u);
    float4 colour = buffers.colors[tri.x] + float4(input.hit_attribute, 0.0, 1.0);
    float3 origin = objectSpaceToWorld(float4(input.world_ray_origin, 1.0));
    trace(0u, 255u, 0u, 0u, origin, 0.001, input.world_ray_direction, input.ray_length, 0u);
    ray_payloads.payload = colour * float(input.instance_custom_id + other.y);
}
