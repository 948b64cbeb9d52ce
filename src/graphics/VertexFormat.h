// Vertex formats: a VertexFormat value is the OR of the ZQ_VERTEX_FORMAT_* elements a vertex holds,
// laid out in the fixed element order without gaps.
#pragma once

#include <cstdint>

// The drawing API's own vertex, zq_vertex_t: POSITION | COLOR | TEXCOORD0.
const uint32_t ZQI_SPRITE_VERTEX_FORMAT = 7;

// Bytes per vertex of the formats the renderer has layouts for: 1 -> 12, 7 -> 24, 15 -> 36,
// 47 -> 48, 111 -> 60, 385 -> 32, 399 -> 56, 495 -> 80; any other format counts 24.
uint32_t ZQI_VertexSize(uint32_t vertexFormat);
