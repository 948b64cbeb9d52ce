// The BatchRenderer turns immediate 2D drawing into few draws. Quads and lines are appended to one
// open batch that lives in a mapped ring buffer (16 vertex buffers of 384 vertices); the batch is
// drawn when its kind or its texture changes, when any state changes, when it is full (380 quad
// vertices, 382 line vertices) and at the end of the frame. Triangle lists of the caller go through
// buffers of their own. Render thread only.
#pragma once

#include <cstdint>

#include "zorqa.h"

struct RendererBuffer;

enum : int32_t {
    ZQI_BATCH_RING_BUFFERS = 16,
    ZQI_BATCH_RING_VERTICES = 384,
    ZQI_BATCH_QUAD_LIMIT = 380,  // 95 quads; the quad index buffer has room for 96
    ZQI_BATCH_LINE_LIMIT = 382,  // 191 lines
    ZQI_BATCH_LARGE_VERTICES = 16384,
    ZQI_BATCH_LARGE_INDICES = 16384,
};

enum BatchKind : int32_t { BATCH_LINES = 0, BATCH_QUADS = 1 };

namespace BatchRenderer {

// Renderer start: every buffer, the two static index buffers filled. A buffer the device refuses
// is reported and left out; what would be drawn from it is dropped.
void Initialize();
// Renderer stop: every buffer unlocked and released.
void Shutdown();

// Frame start: an empty quad batch in the current ring buffer, mapped.
void BeginFrame();
// Frame end: the ring buffer is unmapped (its pending batch is still drawn with Flush).
void UnmapVertexBuffer();
bool HasVertices();
// Draws and empties the open batch, moving on to the next ring buffer. The caller unmaps before
// and maps after (CloseBatch does both).
void Flush();
// Unmaps the ring buffer, draws the batch and maps the next one.
void CloseBatch();

// One textured quad (top-left, top-right, bottom-left, bottom-right); a null bitmap: no texture.
void AddQuad(zq_bitmap_t* bitmap, const zq_vertex_t* quad);
// One line, drawn with the white texture.
void AddLine(const zq_vertex_t* a, const zq_vertex_t* b);

// One indexed triangle-list draw of vertex format 7, through the alternating 16384-entry buffers.
void DrawTriangles(zq_bitmap_t* bitmap, const zq_vertex_t* vertices, int32_t vertexCount,
                   const uint16_t* indices, int32_t indexCount);
// The same for any vertex format, through a per-format cache of buffers that grow.
void DrawIndexedPrimitives(uint32_t vertexFormat, const void* vertices, int32_t vertexCount,
                           const uint16_t* indices, int32_t indexCount);
// Automatic constants of the last applied shader, then one triangle-list draw of the buffers.
void DrawWithCurrentState(RendererBuffer* vertices, RendererBuffer* indices, uint32_t triangleCount);

// What the batch holds now (tests and benchmarks).
int32_t GetVertexCount();
BatchKind GetKind();
int32_t GetRingIndex();

}  // namespace BatchRenderer
