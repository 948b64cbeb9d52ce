// The immediate drawing slots: clears, lines, rectangles and bitmap quads filled into the quad
// template for the batch, formatted text through the fonts' drawers, and draws of the program's
// buffer objects.
#include <cmath>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

#include "core/ApiTable.h"
#include "foundation/String.h"
#include "graphics/BatchRenderer.h"
#include "graphics/BitmapTable.h"
#include "graphics/Drawing.h"
#include "graphics/Drawing_local.h"
#include "graphics/HighLevelRenderer.h"
#include "graphics/RendererDevice.h"
#include "graphics/RendererState.h"

namespace {

const float kShortestBitmapLine = 0.000001f;
const float kCentreOfWhite = 0.5f;

TextDrawers g_textDrawers;

enum Corner { TOP_LEFT = 0, TOP_RIGHT = 1, BOTTOM_LEFT = 2, BOTTOM_RIGHT = 3 };

bool IsReady(const zq_bitmap_t* bitmap) {
    return bitmap != nullptr && bitmap->load_state == BITMAP_LOADED && bitmap->gpu.loaded;
}

bool IsTransparent() {
    return g_rendererState.alpha <= 0.0f;
}

zq_vertex_t* Quad() {
    return g_drawing.quad;
}

// The axis-aligned quad (x0, y0) - (x1, y1) with the texture rectangle uv (left, top, right,
// bottom) and one depth-and-colour pair (8 bytes: z, then the colour word). Sprites are drawn by the
// thousand: with SSE2 the 96 bytes are six 16-byte stores assembled in registers.
inline void WriteSpriteQuad(zq_vertex_t* out, float x0, float y0, float x1, float y1, const float* uv,
                            const void* depthColour) {
#if defined(__SSE2__) || defined(_M_X64)
    const __m128 corners = _mm_setr_ps(x0, y0, x1, y1);
    const __m128 texture = _mm_loadu_ps(uv);
    const __m128 zc = _mm_castsi128_ps(_mm_loadl_epi64(static_cast<const __m128i*>(depthColour)));
    float* bytes = reinterpret_cast<float*>(out);
    _mm_storeu_ps(bytes + 0, _mm_movelh_ps(corners, zc));                                  // x0 y0 z c
    _mm_storeu_ps(bytes + 4, _mm_shuffle_ps(texture, corners, _MM_SHUFFLE(1, 2, 1, 0)));   // u0 v0 x1 y0
    _mm_storeu_ps(bytes + 8, _mm_shuffle_ps(zc, texture, _MM_SHUFFLE(1, 2, 1, 0)));        // z c u1 v0
    _mm_storeu_ps(bytes + 12, _mm_shuffle_ps(corners, zc, _MM_SHUFFLE(1, 0, 3, 0)));       // x0 y1 z c
    _mm_storeu_ps(bytes + 16, _mm_shuffle_ps(texture, corners, _MM_SHUFFLE(3, 2, 3, 0)));  // u0 v1 x1 y1
    _mm_storeu_ps(bytes + 20, _mm_shuffle_ps(zc, texture, _MM_SHUFFLE(3, 2, 1, 0)));       // z c u1 v1
#else
    float z;
    uint32_t colour;
    memcpy(&z, depthColour, sizeof(z));
    memcpy(&colour, static_cast<const uint8_t*>(depthColour) + sizeof(z), sizeof(colour));
    out[TOP_LEFT] = zq_vertex_t{x0, y0, z, colour, uv[0], uv[1]};
    out[TOP_RIGHT] = zq_vertex_t{x1, y0, z, colour, uv[2], uv[1]};
    out[BOTTOM_LEFT] = zq_vertex_t{x0, y1, z, colour, uv[0], uv[3]};
    out[BOTTOM_RIGHT] = zq_vertex_t{x1, y1, z, colour, uv[2], uv[3]};
#endif
}

inline void WriteBitmapQuad(zq_vertex_t* out, const zq_bitmap_t* bitmap, float x, float y) {
    WriteSpriteQuad(out, x, y, x + static_cast<float>(bitmap->width), y + static_cast<float>(bitmap->height),
                    &bitmap->gpu.texture_left, &g_drawing.quad[0].z);
}

// The axis-aligned quad (x0, y0) - (x1, y1) with texture coordinates (u0, v0) - (u1, v1) and the
// template's colour and depth, written straight into the batch: filling the template only to copy
// it costs a second pass over the bytes. The template's four colours and depths are the same
// outside DrawBitmapLine's own quad.
void AddRectangle(zq_bitmap_t* bitmap, float x0, float y0, float x1, float y1, float u0, float v0, float u1,
                  float v1) {
    zq_vertex_t* out = BatchRenderer::BeginQuad(bitmap);
    if (out != nullptr) {
        const float uv[4] = {u0, v0, u1, v1};
        WriteSpriteQuad(out, x0, y0, x1, y1, uv, &g_drawing.quad[0].z);
    }
}

// DrawBitmap's quad when the batch must be looked at first (kept out of line, so the common path
// needs no stack frame).
__attribute__((noinline)) void DrawBitmapWithChecks(zq_bitmap_t* bitmap, const float* x, const float* y) {
    zq_vertex_t* out = BatchRenderer::BeginQuadWithChecks(bitmap);
    if (out != nullptr) {
        WriteBitmapQuad(out, bitmap, *x, *y);
    }
}

inline void DrawBitmapAt(zq_bitmap_t* bitmap, const float* x, const float* y) {
    if (!IsReady(bitmap) || IsTransparent()) {
        return;
    }
    zq_vertex_t* out = BatchRenderer::JoinOpenBatch(bitmap);
    if (out == nullptr) {
        DrawBitmapWithChecks(bitmap, x, y);
        return;
    }
    WriteBitmapQuad(out, bitmap, *x, *y);
}

void SetWholeTexture(const zq_bitmap_t* bitmap) {
    const zq_bitmap_gpu_data_t& gpu = bitmap->gpu;
    zq_vertex_t* quad = Quad();
    quad[TOP_LEFT].u = quad[BOTTOM_LEFT].u = gpu.texture_left;
    quad[TOP_RIGHT].u = quad[BOTTOM_RIGHT].u = gpu.texture_right;
    quad[TOP_LEFT].v = quad[TOP_RIGHT].v = gpu.texture_top;
    quad[BOTTOM_LEFT].v = quad[BOTTOM_RIGHT].v = gpu.texture_bottom;
}

void SetQuadColours(uint32_t first, uint32_t second) {
    zq_vertex_t* quad = Quad();
    quad[TOP_LEFT].color = quad[TOP_RIGHT].color = first;
    quad[BOTTOM_LEFT].color = quad[BOTTOM_RIGHT].color = second;
}

// The current colour word again in every template vertex.
void RestoreQuadColours() {
    const uint32_t word = ZQI_CurrentColourWord();
    SetQuadColours(word, word);
}

uint32_t SwapRedAndBlue(uint32_t word) {
    return (word & 0xFF00FF00u) | ((word & 0x00FF0000u) >> 16) | ((word & 0x000000FFu) << 16);
}

bool IsDrawableBuffers(const zq_vertex_buffer_t* vertices, const zq_index_buffer_t* indices) {
    return vertices != nullptr && indices != nullptr;
}

void DrawIndexRange(zq_vertex_buffer_t* vertices, zq_index_buffer_t* indices, uint32_t indexCount) {
    HighLevelRenderer::FlushBatch();
    BatchRenderer::DrawWithCurrentState(vertices->buffer, indices->buffer, indexCount / 3);
}

// The drawers' text at (x, y) with the font's shader made current for the call.
float DrawFormatted(zq_font_t* font, float x, float y, uint32_t description, char* text) {
    const bool distanceField = (description & ZQI_FONT_DISTANCE_FIELD) != 0;
    zq_shader_t* shader = ZQI_GetTextShader(distanceField);
    if (distanceField && g_textDrawers.UpdateDistanceFieldSmoothing != nullptr && shader != nullptr) {
        g_textDrawers.UpdateDistanceFieldSmoothing(font, shader, x, y);
    }
    if (shader == nullptr) {
        shader = g_drawing.defaultShader;
    }
    const bool utf8 = (description & ZQI_FONT_UTF8) != 0;
    if ((utf8 ? g_textDrawers.DrawTextUTF32 == nullptr : g_textDrawers.DrawText == nullptr)) {
        return 0.0f;
    }
    zq_shader_t* previous = g_rendererState.shader;
    HighLevelRenderer::SetCurrentShader(shader);
    const float width = utf8 ? g_textDrawers.DrawTextUTF32(font, x, y, text, previous)
                             : g_textDrawers.DrawText(font, x, y, text, previous);
    HighLevelRenderer::SetCurrentShader(previous);
    return width;
}

}  // namespace

void ZQI_SetTextDrawers(const TextDrawers* drawers) {
    g_textDrawers = drawers != nullptr ? *drawers : TextDrawers{};
}

zq_shader_t* ZQI_GetTextShader(bool distanceField) {
    zq_shader_t* shader = g_rendererState.fontShader;
    if (distanceField && shader == g_drawing.defaultShader) {
        shader = g_drawing.distanceFieldShader;
    }
    return shader;
}

void ZQ_Graphics_ClearScreen(float r, float g, float b) {
    ZQ_Graphics_ClearScreenRGBA(r, g, b, 1.0f);
}

void ZQ_Graphics_ClearScreenRGBA(float r, float g, float b, float a) {
    HighLevelRenderer::FlushBatch();
    ZQI_GetRendererDevice().ClearTargets(r, g, b, a);
}

void ZQ_Graphics_ClearDepth(float depth) {
    HighLevelRenderer::FlushBatch();
    if (g_rendererState.renderStates[ZQ_RENDER_STATE_DEPTH_WRITE] == 0) {
        ZQ_Popup(1, "HighLevelRenderer::ClearDepth(): depth writes are disabled, not clearing at this call.");
        return;
    }
    const zq_render_targets_t& applied = g_drawing.lastAppliedTargets;
    if (applied.color[0] == nullptr || applied.depth != nullptr) {
        ZQI_GetRendererDevice().ClearDepth(depth);
    }
}

void ZQ_Graphics_DrawLine(const float* x0, const float* y0, const float* x1, const float* y1) {
    if (x0 == nullptr || y0 == nullptr || x1 == nullptr || y1 == nullptr) {
        return;
    }
    const uint32_t word = ZQI_CurrentColourWord();
    const zq_vertex_t a = {*x0, *y0, g_drawing.depth, word, 0.0f, 0.0f};
    const zq_vertex_t b = {*x1, *y1, g_drawing.depth, word, 0.0f, 0.0f};
    BatchRenderer::AddLine(&a, &b);
}

void ZQ_Graphics_DrawLineFromVertices(const zq_vertex_t* vertices) {
    if (vertices != nullptr) {
        BatchRenderer::AddLine(&vertices[0], &vertices[1]);
    }
}

void ZQ_Graphics_DrawRectangle(const float* x, const float* y, const float* w, const float* h) {
    if (x == nullptr || y == nullptr || w == nullptr || h == nullptr || IsTransparent()) {
        return;
    }
    AddRectangle(g_whiteTexture, *x, *y, *x + *w, *y + *h, kCentreOfWhite, kCentreOfWhite, kCentreOfWhite,
                 kCentreOfWhite);
}

void ZQI_DrawBitmap(zq_bitmap_t* bitmap, float x, float y) {
    DrawBitmapAt(bitmap, &x, &y);
}

void ZQ_Graphics_DrawBitmap(zq_bitmap_t* bitmap, const float* x, const float* y) {
    if (x != nullptr && y != nullptr) {
        DrawBitmapAt(bitmap, x, y);
    }
}

void ZQ_Graphics_DrawSubBitmap(zq_bitmap_t* bitmap, const float* x, const float* y, const float* left,
                               const float* top, const float* right, const float* bottom) {
    if (x == nullptr || y == nullptr || left == nullptr || top == nullptr || right == nullptr ||
        bottom == nullptr || !IsReady(bitmap) || bitmap->width <= 0 || bitmap->height <= 0) {
        return;
    }
    const zq_bitmap_gpu_data_t& gpu = bitmap->gpu;
    const float su = (gpu.texture_right - gpu.texture_left) / static_cast<float>(bitmap->width);
    const float sv = (gpu.texture_bottom - gpu.texture_top) / static_cast<float>(bitmap->height);
    AddRectangle(bitmap, *x, *y, *x + *right - *left, *y + *bottom - *top, gpu.texture_left + *left * su,
                 gpu.texture_top + *top * sv, gpu.texture_left + *right * su, gpu.texture_top + *bottom * sv);
}

void ZQ_Graphics_DrawBitmapRotated(zq_bitmap_t* bitmap, const float* x, const float* y, const float* angle,
                                   const float* scale) {
    if (x == nullptr || y == nullptr || angle == nullptr || scale == nullptr || !IsReady(bitmap)) {
        return;
    }
    const float k = *scale * 0.5f;
    const float halfWidth = static_cast<float>(bitmap->width) * k;
    const float halfHeight = static_cast<float>(bitmap->height) * k;
    // An odd size would put the centre between texels: half a texel of the scaled bitmap back.
    const float centreX = (bitmap->width & 1) != 0 ? *x - k : *x;
    const float centreY = (bitmap->height & 1) != 0 ? *y - k : *y;
    const float c = cosf(*angle);
    const float s = sinf(*angle);
    const float offsets[4][2] = {{-halfWidth, -halfHeight},
                                 {halfWidth, -halfHeight},
                                 {-halfWidth, halfHeight},
                                 {halfWidth, halfHeight}};
    zq_vertex_t* quad = Quad();
    for (int32_t i = 0; i < 4; ++i) {
        quad[i].x = centreX + c * offsets[i][0] - s * offsets[i][1];
        quad[i].y = centreY + s * offsets[i][0] + c * offsets[i][1];
    }
    SetWholeTexture(bitmap);
    BatchRenderer::AddQuad(bitmap, quad);
}

void ZQ_Graphics_DrawBitmapLine(zq_bitmap_t* bitmap, const float* p0, const float* p1, float width0,
                                float width1, const float* colour0, const float* colour1) {
    if (p0 == nullptr || p1 == nullptr || colour0 == nullptr || colour1 == nullptr || !IsReady(bitmap)) {
        return;
    }
    const float dx = p1[0] - p0[0];
    const float dy = p1[1] - p0[1];
    const float length = sqrtf(dx * dx + dy * dy);
    if (!(length >= kShortestBitmapLine)) {
        return;
    }
    const float nx = dy / length;
    const float ny = -dx / length;
    zq_vertex_t* quad = Quad();
    const float half0 = width0 * 0.5f;
    const float half1 = width1 * 0.5f;
    quad[TOP_LEFT].x = p0[0] - nx * half0;
    quad[TOP_LEFT].y = p0[1] - ny * half0;
    quad[TOP_RIGHT].x = p0[0] + nx * half0;
    quad[TOP_RIGHT].y = p0[1] + ny * half0;
    quad[BOTTOM_LEFT].x = p1[0] - nx * half1;
    quad[BOTTOM_LEFT].y = p1[1] - ny * half1;
    quad[BOTTOM_RIGHT].x = p1[0] + nx * half1;
    quad[BOTTOM_RIGHT].y = p1[1] + ny * half1;
    SetWholeTexture(bitmap);
    SetQuadColours(ZQI_ColourWord(colour0), ZQI_ColourWord(colour1));
    BatchRenderer::AddQuad(bitmap, quad);
    RestoreQuadColours();
}

void ZQ_Graphics_DrawBitmapFromVertices(zq_bitmap_t* bitmap, const zq_vertex_t* vertices) {
    if (vertices == nullptr || (bitmap != nullptr && !IsReady(bitmap))) {
        return;
    }
    zq_vertex_t quad[4];
    memcpy(quad, vertices, sizeof(quad));
    for (zq_vertex_t& vertex : quad) {
        if (!g_drawing.rendererInitialised) {
            vertex.color = SwapRedAndBlue(vertex.color);
        }
        if (bitmap != nullptr) {
            const zq_bitmap_gpu_data_t& gpu = bitmap->gpu;
            vertex.u = gpu.texture_left + vertex.u * (gpu.texture_right - gpu.texture_left);
            vertex.v = gpu.texture_top + vertex.v * (gpu.texture_bottom - gpu.texture_top);
        }
    }
    BatchRenderer::AddQuad(bitmap != nullptr ? bitmap : g_whiteTexture, quad);
}

float ZQ_Graphics_DrawText(zq_font_t* font, const float* x, const float* y, const char* format, ...) {
    if (font == nullptr || format == nullptr || x == nullptr || y == nullptr ||
        g_textDrawers.DescribeFont == nullptr) {
        return 0.0f;
    }
    const uint32_t description = g_textDrawers.DescribeFont(font);
    if ((description & ZQI_FONT_LOADED) == 0) {
        return 0.0f;
    }
    char buffer[ZQI_FORMAT_BUFFER_SIZE];
    va_list args;
    va_start(args, format);
    char* text = ZQI_FormatToBuffer(buffer, format, args);
    va_end(args);
    const float width = text[0] != '\0' ? DrawFormatted(font, *x, *y, description, text) : 0.0f;
    if (text != buffer) {
        free(text);
    }
    return width;
}

void ZQ_Graphics_DrawTriangles(zq_bitmap_t* bitmap, const zq_vertex_t* vertices, int32_t vertexCount,
                               const uint16_t* indices, int32_t indexCount) {
    BatchRenderer::DrawTriangles(bitmap, vertices, vertexCount, indices, indexCount);
}

void ZQ_Graphics_DrawTrianglesFromVertexFormat(uint32_t vertexFormat, const void* vertices,
                                               int32_t vertexCount, const uint16_t* indices,
                                               int32_t indexCount) {
    BatchRenderer::DrawIndexedPrimitives(vertexFormat, vertices, vertexCount, indices, indexCount);
}

void ZQ_Graphics_DrawTrianglesFromBuffers(zq_vertex_buffer_t* vertices, zq_index_buffer_t* indices,
                                          const void*) {
    if (IsDrawableBuffers(vertices, indices)) {
        DrawIndexRange(vertices, indices, indices->count);
    }
}

void ZQ_Graphics_DrawTrianglesRange(zq_vertex_buffer_t* vertices, zq_index_buffer_t* indices, const void*,
                                    const int32_t* indexCount) {
    if (!IsDrawableBuffers(vertices, indices) || indexCount == nullptr || *indexCount <= 0) {
        return;
    }
    const uint32_t wanted = static_cast<uint32_t>(*indexCount);
    DrawIndexRange(vertices, indices, wanted < indices->count ? wanted : indices->count);
}

void ZQ_Graphics_DrawTrianglesInstanced(zq_vertex_buffer_t* vertices, zq_index_buffer_t* indices,
                                        int32_t instances) {
    if (!IsDrawableBuffers(vertices, indices) || instances <= 0) {
        return;
    }
    HighLevelRenderer::FlushBatch();
    if (vertices->buffer == nullptr || indices->buffer == nullptr) {
        return;
    }
    HighLevelRenderer::UpdateShaderAutomaticConstants(g_drawing.lastAppliedShader);
    const RendererDevice& device = ZQI_GetRendererDevice();
    device.BindGeometry(vertices->buffer, indices->buffer);
    device.DrawIndexedInstanced(indices->count / 3 * 3, static_cast<uint32_t>(instances));
}
