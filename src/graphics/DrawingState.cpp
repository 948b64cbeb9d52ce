// The drawing state's slots: colour, alpha and depth (kept in the quad template too), the depth
// parameters of the default projection, vertical sync, and the transform, render-target, scissor
// and shader stacks as the program reaches them.
#include <cstring>

#include "core/Features.h"
#include "graphics/Drawing.h"
#include "graphics/Drawing_local.h"
#include "graphics/HighLevelRenderer.h"
#include "graphics/HighLevelRenderer_local.h"
#include "graphics/RendererDevice.h"
#include "graphics/RendererState.h"

namespace {

static_assert(sizeof(zq_matrix4x4_t) == sizeof(Matrix4x4), "the API's matrix is the engine's");

const Matrix4x4* AsMatrix(const zq_matrix4x4_t* matrix) {
    return reinterpret_cast<const Matrix4x4*>(matrix);
}

zq_matrix4x4_t ToApi(const Matrix4x4& matrix) {
    zq_matrix4x4_t out;
    memcpy(out.m, matrix.m, sizeof(out.m));
    return out;
}

void StoreColour(float r, float g, float b, float a) {
    HighLevelRendererState& state = g_rendererState;
    state.color[0] = r;
    state.color[1] = g;
    state.color[2] = b;
    state.alpha = a;
    state.colorBytes[0] = ZQI_ChannelByte(b);
    state.colorBytes[1] = ZQI_ChannelByte(g);
    state.colorBytes[2] = ZQI_ChannelByte(r);
    state.colorBytes[3] = ZQI_ChannelByte(a);
    const uint32_t word = ZQI_CurrentColourWord();
    for (zq_vertex_t& vertex : g_drawing.quad) {
        vertex.color = word;
    }
}

// The texture size of colour target 0 of the stack top; the back buffer's at the base entry.
void ViewportSize(int32_t* width, int32_t* height) {
    HighLevelRenderer::GetTargetSize(false, width, height);
}

}  // namespace

uint8_t ZQI_ChannelByte(float channel) {
    const float scaled = channel * 255.0f;
    if (!(scaled > -2147483648.0f)) {
        return 0;
    }
    const int64_t value = scaled < 2147483647.0f ? static_cast<int64_t>(scaled) : INT32_MAX;
    return static_cast<uint8_t>(value & 0xFF);
}

uint32_t ZQI_ColourWord(const float* rgba) {
    const uint8_t bytes[4] = {ZQI_ChannelByte(rgba[2]), ZQI_ChannelByte(rgba[1]), ZQI_ChannelByte(rgba[0]),
                              ZQI_ChannelByte(rgba[3])};
    uint32_t word;
    memcpy(&word, bytes, sizeof(word));
    return word;
}

uint32_t ZQI_CurrentColourWord() {
    uint32_t word;
    memcpy(&word, g_rendererState.colorBytes, sizeof(word));
    return word;
}

void ZQ_Graphics_SetColor(const float* r, const float* g, const float* b) {
    if (r != nullptr && g != nullptr && b != nullptr) {
        StoreColour(*r, *g, *b, g_rendererState.alpha);
    }
}

void ZQ_Graphics_SetColorRGBA(const float* rgba) {
    if (rgba != nullptr) {
        StoreColour(rgba[0], rgba[1], rgba[2], rgba[3]);
    }
}

void ZQ_Graphics_SetAlpha(const float* alpha) {
    if (alpha == nullptr) {
        return;
    }
    const float clamped = *alpha > 1.0f ? 1.0f : (*alpha > 0.0f ? *alpha : 0.0f);
    const float* colour = g_rendererState.color;
    StoreColour(colour[0], colour[1], colour[2], clamped);
}

float ZQ_Graphics_GetAlpha() {
    return g_rendererState.alpha;
}

zq_color_t ZQ_Graphics_GetColor() {
    const HighLevelRendererState& state = g_rendererState;
    return zq_color_t{state.color[0], state.color[1], state.color[2], state.alpha};
}

void ZQ_Graphics_SetDepth(const float* z) {
    if (z == nullptr) {
        return;
    }
    g_drawing.depth = *z;
    for (zq_vertex_t& vertex : g_drawing.quad) {
        vertex.z = *z;
    }
}

float ZQ_Graphics_GetDepth() {
    return g_drawing.depth;
}

void ZQ_Graphics_SetDepthParameters(float nearValue, float distance, float farValue) {
    HighLevelRenderer::FlushBatch();
    g_drawing.distance = distance;
    g_drawing.farValue = farValue;
    g_drawing.nearValue = nearValue;
    g_stacks.defaultProjectionValid = 0;
}

void ZQ_Graphics_SetVSync(bool on) {
    if (!ZQI_IsFeatureEnabled("DISABLE_VSYNC")) {
        ZQI_GetRendererDevice().SetVerticalSync(on);
    }
}

void ZQ_Graphics_PushWorldTransform(const zq_matrix4x4_t* matrix) {
    HighLevelRenderer::PushWorldTransform(AsMatrix(matrix));
}

void ZQ_Graphics_PopWorldTransform() {
    HighLevelRenderer::PopWorldTransform();
}

void ZQ_Graphics_PushViewTransform(const zq_matrix4x4_t* matrix) {
    HighLevelRenderer::PushViewTransform(AsMatrix(matrix));
}

void ZQ_Graphics_PopViewTransform() {
    HighLevelRenderer::PopViewTransform();
}

void ZQ_Graphics_PushProjectionTransform(const zq_matrix4x4_t* matrix) {
    HighLevelRenderer::PushProjectionTransform(AsMatrix(matrix));
}

void ZQ_Graphics_PopProjectionTransform() {
    HighLevelRenderer::PopProjectionTransform();
}

zq_matrix4x4_t ZQ_Graphics_PeekWorldTransform() {
    return ToApi(HighLevelRenderer::PeekWorldTransform());
}

zq_matrix4x4_t ZQ_Graphics_PeekViewTransform() {
    return ToApi(HighLevelRenderer::PeekViewTransform());
}

zq_matrix4x4_t ZQ_Graphics_PeekProjectionTransform() {
    return ToApi(*HighLevelRenderer::GetProjectionTransform());
}

const float* ZQ_Graphics_GetViewPosition() {
    return HighLevelRenderer::GetViewPosition();
}

void ZQ_Graphics_PushRenderTarget(zq_bitmap_t* bitmap) {
    zq_render_targets_t set = {};
    set.color[0] = bitmap;
    HighLevelRenderer::PushRenderTargets(&set);
}

void ZQ_Graphics_PushRenderTargetWithDepth(zq_bitmap_t* color, zq_bitmap_t* depth) {
    zq_render_targets_t set = {};
    set.color[0] = color;
    set.depth = depth;
    HighLevelRenderer::PushRenderTargets(&set);
}

void ZQ_Graphics_PushRenderTargets(const zq_render_targets_t* targets) {
    HighLevelRenderer::PushRenderTargets(targets);
}

void ZQ_Graphics_PopRenderTargets() {
    HighLevelRenderer::PopRenderTargets();
}

zq_bitmap_t* ZQ_Graphics_PeekRenderTarget() {
    return HighLevelRenderer::PeekRenderTargets().color[0];
}

void ZQ_Graphics_GetViewportSize(int32_t* width, int32_t* height) {
    int32_t w = 0;
    int32_t h = 0;
    ViewportSize(&w, &h);
    if (width != nullptr) {
        *width = w;
    }
    if (height != nullptr) {
        *height = h;
    }
}

void ZQ_Graphics_PushScissorRectangle(int32_t x, int32_t y, int32_t width, int32_t height) {
    HighLevelRenderer::PushScissorRectangle(x, y, width, height);
}

void ZQ_Graphics_PopScissorRectangle() {
    HighLevelRenderer::PopScissorRectangle();
}

bool ZQ_Graphics_SetScissorRectangle(int32_t x, int32_t y, int32_t width, int32_t height) {
    x = x > 0 ? x : 0;
    y = y > 0 ? y : 0;
    const int64_t right = int64_t(x) + (width > 0 ? width : 0);
    const int64_t bottom = int64_t(y) + (height > 0 ? height : 0);
    HighLevelRenderer::SetScissorEdges(x, y, static_cast<int32_t>(right < INT32_MAX ? right : INT32_MAX),
                                       static_cast<int32_t>(bottom < INT32_MAX ? bottom : INT32_MAX));
    return true;
}

void ZQ_Graphics_DisableScissor() {
    HighLevelRenderer::SetScissorEdges(-1, 0, 0, 0);
}

void ZQ_Graphics_PushShader(zq_shader_t* shader) {
    HighLevelRenderer::PushShader(shader);
}

void ZQ_Graphics_PopShader() {
    HighLevelRenderer::PopShader();
}

void ZQ_Graphics_FlushBatch() {
    HighLevelRenderer::FlushBatch();
}
