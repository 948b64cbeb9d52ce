// The BatchRenderer turns immediate 2D drawing into few draws. Quads and lines are appended to one
// open batch that lives in a mapped ring buffer (16 vertex buffers of 384 vertices); the batch is
// drawn when its kind or its texture changes, when any state changes, when it is full (380 quad
// vertices, 382 line vertices) and at the end of the frame. Triangle lists of the caller go through
// buffers of their own. Render thread only.
#pragma once

#include <cstdint>

#include "graphics/RendererState.h"
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

// Where the open batch is written; the inline path of BeginQuad reads it.
struct BatchCursor {
    zq_vertex_t* write;  // the mapped ring buffer; null while unmapped
    int32_t count;       // vertices in the open batch
    BatchKind kind;
};
extern BatchCursor g_batchCursor;

namespace BatchRenderer {

// BeginQuad when the quad does not simply join the open batch.
zq_vertex_t* BeginQuadWithChecks(zq_bitmap_t* bitmap);

// Room for a quad of the bitmap when it simply joins the open batch (same texture, room left,
// nothing changed); null when the batch must be looked at first (BeginQuadWithChecks). Inline:
// sprites are drawn by the thousand, and most join the open batch.
inline zq_vertex_t* JoinOpenBatch(const zq_bitmap_t* bitmap) {
    const RendererTexture* texture = bitmap != nullptr ? bitmap->gpu.texture : nullptr;
    BatchCursor& cursor = g_batchCursor;
    if (texture != g_rendererState.stageTextures[0] || cursor.count >= ZQI_BATCH_QUAD_LIMIT ||
        cursor.kind != BATCH_QUADS || !g_stateApplied || cursor.write == nullptr) {
        return nullptr;
    }
    zq_vertex_t* out = cursor.write + cursor.count;
    cursor.count += 4;
    return out;
}

// Where the next quad's four vertices (top-left, top-right, bottom-left, bottom-right) are
// written, with the bitmap's texture on stage 0 and the batch drawn first when it must be; null
// when there is no ring buffer to write into. The caller fills all four vertices.
inline zq_vertex_t* BeginQuad(zq_bitmap_t* bitmap) {
    zq_vertex_t* out = JoinOpenBatch(bitmap);
    return out != nullptr ? out : BeginQuadWithChecks(bitmap);
}

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

// Vertices in the open batch (tests).
int32_t GetVertexCount();

}  // namespace BatchRenderer
