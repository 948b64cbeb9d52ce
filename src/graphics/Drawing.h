// The graphics sub-table's immediate drawing (clears, lines, rectangles, bitmap quads, text,
// draws of buffer objects) and the drawing state it reads (colour, alpha, depth, transforms,
// render targets, scissor). Coordinates are in the units of the current transforms: with the
// default projection one unit is one pixel of the target, y grows downwards. Floats come by
// pointer where the slot table says so; a null pointer makes the call do nothing. Render thread.
#pragma once

#include <cstdint>

#include "zorqa.h"

// What the text slot needs of the fonts subsystem, which lives above graphics and installs them.
enum : uint32_t {
    ZQI_FONT_LOADED = 1,          // glyphs and atlas are ready: text functions may use it
    ZQI_FONT_DISTANCE_FIELD = 2,  // drawn with a threshold on the distance in the alpha channel
    ZQI_FONT_UTF8 = 4,            // texts are UTF-8 (DrawTextUTF32), else Latin-1 bytes
};
struct TextDrawers {
    uint32_t (*DescribeFont)(const zq_font_t* font);  // ZQI_FONT_* bits
    // Draw the laid-out text at (x, y); the drawn width in pixels. The Latin-1 drawer writes its
    // line breaks into the text. The outer shader is the one current when DrawText was entered:
    // inline images without a shader of their own are drawn with it.
    float (*DrawText)(zq_font_t* font, float x, float y, char* text, zq_shader_t* outerShader);
    float (*DrawTextUTF32)(zq_font_t* font, float x, float y, const char* text, zq_shader_t* outerShader);
    // Brings the shader's pixel constant 0 (the edge smoothing) up to date for the font there.
    void (*UpdateDistanceFieldSmoothing)(zq_font_t* font, zq_shader_t* shader, float x, float y);
};
// Installs a copy; null (or null members) means no text is drawn (DrawText answers 0).
void ZQI_SetTextDrawers(const TextDrawers* drawers);
// The shader text is drawn with: the font shader, except that a distance-field font drawn through
// the default shader gets the internal distance-field shader. Null when no shader is set.
zq_shader_t* ZQI_GetTextShader(bool distanceField);

// ---- Clears --------------------------------------------------------------------------------------
void ZQ_Graphics_ClearScreen(float r, float g, float b);
void ZQ_Graphics_ClearScreenRGBA(float r, float g, float b, float a);
// Refused with a popup while depth writes are off; a colour target without its own depth target
// is not cleared.
void ZQ_Graphics_ClearDepth(float depth);

// ---- Geometry ------------------------------------------------------------------------------------
void ZQ_Graphics_DrawLine(const float* x0, const float* y0, const float* x1, const float* y1);
void ZQ_Graphics_DrawLineFromVertices(const zq_vertex_t* vertices);
void ZQ_Graphics_DrawRectangle(const float* x, const float* y, const float* w, const float* h);
void ZQ_Graphics_DrawBitmap(zq_bitmap_t* bitmap, const float* x, const float* y);
// The bitmap quad at (x, y) at the bitmap's size with the current colour: DrawBitmap's body, also
// used for glyphs and images in text.
void ZQI_DrawBitmap(zq_bitmap_t* bitmap, float x, float y);
void ZQ_Graphics_DrawSubBitmap(zq_bitmap_t* bitmap, const float* x, const float* y, const float* left,
                               const float* top, const float* right, const float* bottom);
void ZQ_Graphics_DrawBitmapRotated(zq_bitmap_t* bitmap, const float* x, const float* y, const float* angle,
                                   const float* scale);
void ZQ_Graphics_DrawBitmapLine(zq_bitmap_t* bitmap, const float* p0, const float* p1, float width0,
                                float width1, const float* colour0, const float* colour1);
void ZQ_Graphics_DrawBitmapFromVertices(zq_bitmap_t* bitmap, const zq_vertex_t* vertices);
float ZQ_Graphics_DrawText(zq_font_t* font, const float* x, const float* y, const char* format, ...);
// Negative counts, null arrays and counts beyond the buffers draw nothing.
void ZQ_Graphics_DrawTriangles(zq_bitmap_t* bitmap, const zq_vertex_t* vertices, int32_t vertexCount,
                               const uint16_t* indices, int32_t indexCount);
void ZQ_Graphics_DrawTrianglesFromVertexFormat(uint32_t vertexFormat, const void* vertices,
                                               int32_t vertexCount, const uint16_t* indices,
                                               int32_t indexCount);
void ZQ_Graphics_DrawTrianglesFromBuffers(zq_vertex_buffer_t* vertices, zq_index_buffer_t* indices,
                                          const void* unused);
// The first *indexCount indices (at most the buffer's).
void ZQ_Graphics_DrawTrianglesRange(zq_vertex_buffer_t* vertices, zq_index_buffer_t* indices,
                                    const void* unused, const int32_t* indexCount);
void ZQ_Graphics_DrawTrianglesInstanced(zq_vertex_buffer_t* vertices, zq_index_buffer_t* indices,
                                        int32_t instances);

// ---- Colour, depth, transforms, targets, scissor --------------------------------------------------
// Channels times 255, truncated to bytes; alpha kept. SetAlpha clamps to 0..1, the others do not.
void ZQ_Graphics_SetColor(const float* r, const float* g, const float* b);
void ZQ_Graphics_SetColorRGBA(const float* rgba);
void ZQ_Graphics_SetAlpha(const float* alpha);
float ZQ_Graphics_GetAlpha();
zq_color_t ZQ_Graphics_GetColor();
void ZQ_Graphics_SetDepth(const float* z);
float ZQ_Graphics_GetDepth();
// The default projection's distance d, far and near values.
void ZQ_Graphics_SetDepthParameters(float nearValue, float distance, float farValue);
void ZQ_Graphics_SetVSync(bool on);

void ZQ_Graphics_PushWorldTransform(const zq_matrix4x4_t* matrix);
void ZQ_Graphics_PopWorldTransform();
void ZQ_Graphics_PushViewTransform(const zq_matrix4x4_t* matrix);
void ZQ_Graphics_PopViewTransform();
void ZQ_Graphics_PushProjectionTransform(const zq_matrix4x4_t* matrix);
void ZQ_Graphics_PopProjectionTransform();
zq_matrix4x4_t ZQ_Graphics_PeekWorldTransform();
zq_matrix4x4_t ZQ_Graphics_PeekViewTransform();
zq_matrix4x4_t ZQ_Graphics_PeekProjectionTransform();
const float* ZQ_Graphics_GetViewPosition();

void ZQ_Graphics_PushRenderTarget(zq_bitmap_t* bitmap);
void ZQ_Graphics_PushRenderTargetWithDepth(zq_bitmap_t* color, zq_bitmap_t* depth);
void ZQ_Graphics_PushRenderTargets(const zq_render_targets_t* targets);
void ZQ_Graphics_PopRenderTargets();
zq_bitmap_t* ZQ_Graphics_PeekRenderTarget();
void ZQ_Graphics_GetViewportSize(int32_t* width, int32_t* height);

void ZQ_Graphics_PushScissorRectangle(int32_t x, int32_t y, int32_t width, int32_t height);
void ZQ_Graphics_PopScissorRectangle();
bool ZQ_Graphics_SetScissorRectangle(int32_t x, int32_t y, int32_t width, int32_t height);
void ZQ_Graphics_DisableScissor();
void ZQ_Graphics_PushShader(zq_shader_t* shader);
void ZQ_Graphics_PopShader();
void ZQ_Graphics_FlushBatch();
