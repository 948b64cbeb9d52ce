// The batch: vertices written straight into a mapped ring buffer, drawn with static quad and line
// index buffers; the caller's triangle lists through buffers of their own.
#include "graphics/BatchRenderer.h"

#include <cstring>

#include "core/ApiTable.h"
#include "graphics/HighLevelRenderer.h"
#include "graphics/RendererDevice.h"
#include "graphics/RendererState.h"
#include "graphics/VertexFormat.h"

namespace {

const int32_t kQuadIndexCount = 576;  // 96 quads
const int32_t kLineIndexCount = ZQI_BATCH_RING_VERTICES;
const int32_t kLargeBuffers = 2;
// The per-format cache: formats of their own, then one buffer shared by every other format.
const uint32_t kCachedFormats[] = {1, 7, 15, 47, 111, 385, 399};
const int32_t kCacheSlots = 8;
// Made and released with the rest; no drawing path uses them.
const uint32_t kExtraFormats[] = {1, 15, 47, 111};

struct CachedBuffer {
    RendererBuffer* buffer;
    uint32_t capacity;  // vertices or indices
    uint32_t format;
};

struct Batch {
    RendererBuffer* ring[ZQI_BATCH_RING_BUFFERS];
    int32_t ringIndex;
    RendererBuffer* lineIndices;
    RendererBuffer* quadIndices;
    RendererBuffer* largeVertices[kLargeBuffers];
    RendererBuffer* largeIndices[kLargeBuffers];
    int32_t pair;
    CachedBuffer formatVertices[kCacheSlots];
    CachedBuffer formatIndices;
    RendererBuffer* extra[sizeof(kExtraFormats) / sizeof(kExtraFormats[0])];
};

}  // namespace

BatchCursor g_batchCursor = {nullptr, 0, BATCH_QUADS};

namespace {

Batch g_batch = {{}, 0, nullptr, nullptr, {}, {}, 0, {}, {}, {}};

const RendererDevice& Device() {
    return ZQI_GetRendererDevice();
}

// A buffer the device refused is left out (the back end has reported it).
RendererBuffer* Kept(RendererBuffer* buffer) {
    if (buffer != nullptr && !Device().IsBufferCreated(buffer)) {
        Device().FreeBuffer(buffer);
        return nullptr;
    }
    return buffer;
}

RendererBuffer* NewVertexBuffer(uint32_t format, uint32_t count) {
    return Kept(Device().CreateVertexBuffer(format, count, ZQI_BUFFER_DYNAMIC, nullptr));
}

RendererBuffer* NewIndexBuffer(uint32_t count, uint32_t flags, const uint16_t* data) {
    return Kept(Device().CreateIndexBuffer(count, flags, data));
}

void Release(RendererBuffer*& buffer) {
    if (buffer != nullptr) {
        Device().FreeBuffer(buffer);
        buffer = nullptr;
    }
}

// Copies bytes into the whole-buffer lock of a buffer and sends them; false when it cannot be
// locked.
bool Fill(RendererBuffer* buffer, const void* bytes, size_t size) {
    void* target = buffer != nullptr ? Device().LockBuffer(buffer) : nullptr;
    if (target == nullptr) {
        return false;
    }
    if (size > 0) {
        memcpy(target, bytes, size);
    }
    Device().UnlockBuffer(buffer);
    return true;
}

void MapRingBuffer() {
    RendererBuffer* buffer = g_batch.ring[g_batch.ringIndex];
    g_batchCursor.write =
        buffer != nullptr ? static_cast<zq_vertex_t*>(Device().LockBuffer(buffer)) : nullptr;
}

// Stage 0 gets the bitmap's texture when it is another one.
void BindStageZero(zq_bitmap_t* bitmap) {
    RendererTexture* texture = bitmap != nullptr ? bitmap->gpu.texture : nullptr;
    if (texture != g_rendererState.stageTextures[0]) {
        g_rendererState.BindStage(0, bitmap, texture);
    }
}

// Room for count vertices of the kind: the pending batch is drawn while the device still holds
// the state it was built with, and only then is the new state sent. Null without a ring buffer
// (nothing is drawn).
zq_vertex_t* Reserve(BatchKind kind, int32_t count, int32_t limit) {
    BatchCursor& cursor = g_batchCursor;
    if (!(cursor.count < limit && cursor.kind == kind && g_stateApplied)) {
        if (cursor.count > 0) {
            BatchRenderer::CloseBatch();
        }
        if (!g_stateApplied) {
            HighLevelRenderer::ApplyState();
        }
    }
    cursor.kind = kind;
    if (cursor.write == nullptr) {
        return nullptr;
    }
    zq_vertex_t* out = cursor.write + cursor.count;
    cursor.count += count;
    return out;
}

bool IsDrawableList(const void* vertices, int32_t vertexCount, const uint16_t* indices, int32_t indexCount) {
    return vertexCount >= 0 && indexCount >= 3 && (vertices != nullptr || vertexCount == 0) &&
           indices != nullptr;
}

int32_t CacheSlot(uint32_t format) {
    for (int32_t i = 0; i < kCacheSlots - 1; ++i) {
        if (kCachedFormats[i] == format) {
            return i;
        }
    }
    return kCacheSlots - 1;
}

// The slot's buffer, made again (for count and the format) when it is missing, too small or of
// another format (the shared slot).
RendererBuffer* CachedVertexBuffer(uint32_t format, uint32_t count) {
    CachedBuffer& cached = g_batch.formatVertices[CacheSlot(format)];
    if (cached.buffer == nullptr || cached.capacity < count || cached.format != format) {
        Release(cached.buffer);
        cached.buffer = NewVertexBuffer(format, count);
        cached.capacity = cached.buffer != nullptr ? count : 0;
        cached.format = format;
    }
    return cached.buffer;
}

RendererBuffer* CachedIndexBuffer(uint32_t count) {
    CachedBuffer& cached = g_batch.formatIndices;
    if (cached.buffer == nullptr || cached.capacity < count) {
        Release(cached.buffer);
        cached.buffer = NewIndexBuffer(count, ZQI_BUFFER_DYNAMIC, nullptr);
        cached.capacity = cached.buffer != nullptr ? count : 0;
    }
    return cached.buffer;
}

}  // namespace

namespace BatchRenderer {

void Initialize() {
    for (RendererBuffer*& buffer : g_batch.ring) {
        buffer = NewVertexBuffer(ZQI_SPRITE_VERTEX_FORMAT, ZQI_BATCH_RING_VERTICES);
    }
    uint16_t lines[kLineIndexCount];
    for (int32_t i = 0; i < kLineIndexCount; ++i) {
        lines[i] = static_cast<uint16_t>(i);
    }
    g_batch.lineIndices = NewIndexBuffer(kLineIndexCount, ZQI_BUFFER_CPU_COPY, lines);
    // Quad q: triangles (0, 1, 2) and (1, 3, 2) of its top-left, top-right, bottom-left and
    // bottom-right vertices.
    static const uint16_t kQuadPattern[6] = {0, 1, 2, 1, 3, 2};
    uint16_t quads[kQuadIndexCount];
    for (int32_t i = 0; i < kQuadIndexCount; ++i) {
        quads[i] = static_cast<uint16_t>(4 * (i / 6) + kQuadPattern[i % 6]);
    }
    g_batch.quadIndices = NewIndexBuffer(kQuadIndexCount, ZQI_BUFFER_CPU_COPY, quads);
    for (int32_t i = 0; i < kLargeBuffers; ++i) {
        g_batch.largeVertices[i] = NewVertexBuffer(ZQI_SPRITE_VERTEX_FORMAT, ZQI_BATCH_LARGE_VERTICES);
        g_batch.largeIndices[i] = NewIndexBuffer(ZQI_BATCH_LARGE_INDICES, ZQI_BUFFER_DYNAMIC, nullptr);
    }
    for (size_t i = 0; i < sizeof(kExtraFormats) / sizeof(kExtraFormats[0]); ++i) {
        g_batch.extra[i] = NewVertexBuffer(kExtraFormats[i], ZQI_BATCH_RING_VERTICES);
    }
    g_batchCursor.write = nullptr;
    g_batchCursor.count = 0;
    g_batch.ringIndex = 0;
    g_batch.pair = 0;
}

void Shutdown() {
    UnmapVertexBuffer();
    for (CachedBuffer& cached : g_batch.formatVertices) {
        Release(cached.buffer);
    }
    Release(g_batch.formatIndices.buffer);
    for (RendererBuffer*& buffer : g_batch.ring) {
        Release(buffer);
    }
    Release(g_batch.lineIndices);
    Release(g_batch.quadIndices);
    for (int32_t i = 0; i < kLargeBuffers; ++i) {
        Release(g_batch.largeVertices[i]);
        Release(g_batch.largeIndices[i]);
    }
    for (RendererBuffer*& buffer : g_batch.extra) {
        Release(buffer);
    }
    g_batch = Batch{{}, 0, nullptr, nullptr, {}, {}, 0, {}, {}, {}};
    g_batchCursor = BatchCursor{nullptr, 0, BATCH_QUADS};
}

void BeginFrame() {
    g_batch.pair = 0;
    g_batchCursor.kind = BATCH_QUADS;
    g_batchCursor.count = 0;
    MapRingBuffer();
}

void UnmapVertexBuffer() {
    RendererBuffer* buffer = g_batch.ring[g_batch.ringIndex];
    if (g_batchCursor.write != nullptr && buffer != nullptr) {
        Device().UnlockBuffer(buffer);
    }
    g_batchCursor.write = nullptr;
}

bool HasVertices() {
    return g_batchCursor.count > 0;
}

void Flush() {
    RendererBuffer* ring = g_batch.ring[g_batch.ringIndex];
    if (g_batchCursor.count > 0 && ring != nullptr) {
        if (g_batchCursor.kind == BATCH_LINES) {
            if (g_batch.lineIndices != nullptr) {
                HighLevelRenderer::UpdateShaderAutomaticConstants(g_drawing.lastAppliedShader);
                Device().BindGeometry(ring, g_batch.lineIndices);
                Device().DrawIndexed(RENDERER_LINE_LIST, static_cast<uint32_t>(g_batchCursor.count / 2 * 2));
            }
        } else {
            DrawWithCurrentState(ring, g_batch.quadIndices, static_cast<uint32_t>(g_batchCursor.count / 2));
        }
    }
    g_batchCursor.count = 0;
    g_batch.ringIndex = (g_batch.ringIndex + 1) % ZQI_BATCH_RING_BUFFERS;
}

void CloseBatch() {
    UnmapVertexBuffer();
    Flush();
    MapRingBuffer();
}

zq_vertex_t* BeginQuadWithChecks(zq_bitmap_t* bitmap) {
    BindStageZero(bitmap);
    return Reserve(BATCH_QUADS, 4, ZQI_BATCH_QUAD_LIMIT);
}

void AddQuad(zq_bitmap_t* bitmap, const zq_vertex_t* quad) {
    zq_vertex_t* out = BeginQuad(bitmap);
    if (out != nullptr) {
        memcpy(out, quad, 4 * sizeof(zq_vertex_t));
    }
}

void AddLine(const zq_vertex_t* a, const zq_vertex_t* b) {
    BindStageZero(g_whiteTexture);
    zq_vertex_t* out = Reserve(BATCH_LINES, 2, ZQI_BATCH_LINE_LIMIT);
    if (out != nullptr) {
        out[0] = *a;
        out[1] = *b;
    }
}

void DrawTriangles(zq_bitmap_t* bitmap, const zq_vertex_t* vertices, int32_t vertexCount,
                   const uint16_t* indices, int32_t indexCount) {
    if (g_batchCursor.count > 0) {
        CloseBatch();
    }
    if (vertexCount > ZQI_BATCH_LARGE_VERTICES) {
        ZQ_Popup(1,
                 "BatchRenderer::DrawTriangles(): too many vertices (%i, max %i), draw using vertex and "
                 "index buffers "
                 "instead. Not drawing at this call.",
                 vertexCount, ZQI_BATCH_LARGE_VERTICES);
        return;
    }
    if (indexCount > ZQI_BATCH_LARGE_INDICES) {
        ZQ_Popup(1,
                 "BatchRenderer::DrawTriangles(): too many indices (%i, max %i), draw using vertex and index "
                 "buffers "
                 "instead. Not drawing at this call.",
                 indexCount, ZQI_BATCH_LARGE_INDICES);
        return;
    }
    if (!IsDrawableList(vertices, vertexCount, indices, indexCount)) {
        return;
    }
    BindStageZero(bitmap);
    g_batchCursor.kind = BATCH_QUADS;
    if (!g_stateApplied) {
        HighLevelRenderer::ApplyState();
    }
    RendererBuffer* vertexBuffer = g_batch.largeVertices[g_batch.pair];
    RendererBuffer* indexBuffer = g_batch.largeIndices[g_batch.pair];
    if (Fill(vertexBuffer, vertices, sizeof(zq_vertex_t) * static_cast<size_t>(vertexCount)) &&
        Fill(indexBuffer, indices, sizeof(uint16_t) * static_cast<size_t>(indexCount))) {
        DrawWithCurrentState(vertexBuffer, indexBuffer, static_cast<uint32_t>(indexCount / 3));
    }
    g_batch.pair ^= 1;
}

void DrawIndexedPrimitives(uint32_t vertexFormat, const void* vertices, int32_t vertexCount,
                           const uint16_t* indices, int32_t indexCount) {
    if (!IsDrawableList(vertices, vertexCount, indices, indexCount) || vertexCount == 0) {
        return;
    }
    const uint64_t vertexBytes = uint64_t(vertexCount) * ZQI_VertexSize(vertexFormat);
    RendererBuffer* vertexBuffer = CachedVertexBuffer(vertexFormat, static_cast<uint32_t>(vertexCount));
    RendererBuffer* indexBuffer = CachedIndexBuffer(static_cast<uint32_t>(indexCount));
    const bool filled = Fill(vertexBuffer, vertices, static_cast<size_t>(vertexBytes)) &&
                        Fill(indexBuffer, indices, sizeof(uint16_t) * static_cast<size_t>(indexCount));
    HighLevelRenderer::FlushBatch();
    if (filled) {
        DrawWithCurrentState(vertexBuffer, indexBuffer, static_cast<uint32_t>(indexCount / 3));
    }
}

void DrawWithCurrentState(RendererBuffer* vertices, RendererBuffer* indices, uint32_t triangleCount) {
    if (vertices == nullptr || indices == nullptr) {
        return;
    }
    HighLevelRenderer::UpdateShaderAutomaticConstants(g_drawing.lastAppliedShader);
    Device().BindGeometry(vertices, indices);
    Device().DrawIndexed(RENDERER_TRIANGLE_LIST, triangleCount * 3);
}

int32_t GetVertexCount() {
    return g_batchCursor.count;
}

}  // namespace BatchRenderer
