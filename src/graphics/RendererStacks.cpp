// The HighLevelRenderer's stacks (world, view and projection transforms, render-target sets,
// scissor rectangles, shaders), the cached matrices and the transform constants shaders read.
#include <cstdint>
#include <cstring>

#include "core/ApiTable.h"
#include "graphics/HighLevelRenderer_local.h"
#include "graphics/RendererDevice.h"
#include "graphics/RendererState.h"

RendererStacks g_stacks;

namespace {

const int32_t kFullIndex = HLR_STACK_ENTRIES - 1;

// Semantic kinds of the transform constants (the constant entry's type word).
enum : uint32_t {
    CONSTANT_WORLD = 2,
    CONSTANT_WORLD_VIEW = 3,
    CONSTANT_WORLD_VIEW_PROJECTION = 4,
    CONSTANT_VIEW = 5,
    CONSTANT_VIEW_PROJECTION = 6,
};

int32_t& Top(HighLevelRendererStack stack) {
    return g_stacks.top[stack];
}

bool RefuseFullPush(HighLevelRendererStack stack, const char* operation) {
    if (Top(stack) < kFullIndex) {
        return false;
    }
    ZQ_Popup(1, "HighLevelRenderer::%s(): Attempting to push to full stack.", operation);
    return true;
}

// The lowest index a pop may leave: world, view and render targets keep their base entry.
bool RefuseEmptyPop(HighLevelRendererStack stack, int32_t lowest, const char* operation) {
    if (Top(stack) > lowest) {
        return false;
    }
    ZQ_Popup(1, "HighLevelRenderer::%s(): Attempting to pop from empty stack.", operation);
    return true;
}

const Matrix4x4& Identity() {
    static const Matrix4x4 identity = Matrix4x4::Identity();
    return identity;
}

void InvalidateWorldView() {
    g_stacks.worldViewValid = 0;
}

void InvalidateView() {
    g_stacks.worldViewValid = 0;
    g_stacks.viewPositionValid = 0;
}

void SetCurrentScissorFromStack() {
    const int32_t top = Top(HLR_STACK_SCISSOR);
    if (top < 0) {
        HighLevelRenderer::SetScissorEdges(-1, 0, 0, 0);
        return;
    }
    const int32_t* edges = g_stacks.scissors[top];
    HighLevelRenderer::SetScissorEdges(edges[0], edges[1], edges[2], edges[3]);
}

int32_t Saturated(int64_t value) {
    return value > INT32_MAX ? INT32_MAX : static_cast<int32_t>(value);
}

int32_t NotNegative(int32_t value) {
    return value < 0 ? 0 : value;
}

// The matrix a transform constant of the kind receives; false for other kinds.
bool AutomaticValue(uint32_t kind, Matrix4x4* out) {
    Matrix4x4 projection;
    const int32_t projectionTop = Top(HLR_STACK_PROJECTION);
    if (projectionTop >= 0) {
        projection = g_stacks.projection[projectionTop];
    } else {
        HighLevelRenderer::BuildDefaultProjection(&projection, true);
    }
    switch (kind) {
        case CONSTANT_WORLD:
            *out = HighLevelRenderer::PeekWorldTransform();
            return true;
        case CONSTANT_WORLD_VIEW:
            *out = *HighLevelRenderer::GetWorldViewTransform();
            return true;
        case CONSTANT_WORLD_VIEW_PROJECTION:
            Matrix4x4::Multiply(*out, projection, *HighLevelRenderer::GetWorldViewTransform());
            return true;
        case CONSTANT_VIEW:
            *out = HighLevelRenderer::PeekViewTransform();
            return true;
        case CONSTANT_VIEW_PROJECTION:
            Matrix4x4::Multiply(*out, projection, HighLevelRenderer::PeekViewTransform());
            return true;
        default:
            return false;
    }
}

}  // namespace

namespace HighLevelRenderer {

void ClearStacks() {
    memset(&g_stacks, 0, sizeof(g_stacks));
    for (int32_t& top : g_stacks.top) {
        top = -1;
    }
    for (int32_t* edges : g_stacks.scissors) {
        edges[0] = -1;
    }
}

void PushBaseEntries() {
    ClearStacks();
    g_stacks.world[0] = Identity();
    g_stacks.view[0] = Identity();
    Top(HLR_STACK_WORLD) = 0;
    Top(HLR_STACK_VIEW) = 0;
    Top(HLR_STACK_RENDER_TARGETS) = 0;
}

int32_t GetStackDepth(HighLevelRendererStack stack) {
    return stack >= 0 && stack <= HLR_STACK_SHADER ? Top(stack) : 0;
}

const Matrix4x4& PeekWorldTransform() {
    const int32_t top = Top(HLR_STACK_WORLD);
    return top >= 0 ? g_stacks.world[top] : Identity();
}

const Matrix4x4& PeekViewTransform() {
    const int32_t top = Top(HLR_STACK_VIEW);
    return top >= 0 ? g_stacks.view[top] : Identity();
}

const zq_render_targets_t& PeekRenderTargets() {
    const int32_t top = Top(HLR_STACK_RENDER_TARGETS);
    return top >= 0 ? g_stacks.targets[top] : g_rendererState.targets;
}

const Matrix4x4* GetWorldViewTransform() {
    if (!g_stacks.worldViewValid) {
        Matrix4x4::Multiply(g_stacks.worldView, PeekViewTransform(), PeekWorldTransform());
        g_stacks.worldViewValid = 1;
    }
    return &g_stacks.worldView;
}

const Matrix4x4* GetDefaultProjection() {
    if (!g_stacks.defaultProjectionValid) {
        BuildDefaultProjection(&g_stacks.defaultProjection, false);
        g_stacks.defaultProjectionValid = 1;
    }
    return &g_stacks.defaultProjection;
}

const Matrix4x4* GetProjectionTransform() {
    const int32_t top = Top(HLR_STACK_PROJECTION);
    return top >= 0 ? &g_stacks.projection[top] : GetDefaultProjection();
}

const float* GetViewPosition() {
    if (!g_stacks.viewPositionValid) {
        Matrix4x4 inverse = PeekViewTransform();
        inverse.Invert();
        g_stacks.viewPosition[0] = inverse[3];
        g_stacks.viewPosition[1] = inverse[7];
        g_stacks.viewPosition[2] = inverse[11];
        g_stacks.viewPositionValid = 1;
    }
    return g_stacks.viewPosition;
}

Matrix4x4* BuildDefaultProjection(Matrix4x4* out, bool useLastApplied) {
    int32_t width = 0;
    int32_t height = 0;
    GetTargetSize(useLastApplied, &width, &height);
    const float w = static_cast<float>(width > 0 ? width : 1);
    const float h = static_cast<float>(height > 0 ? height : 1);
    const float d = g_drawing.distance;
    const float f = g_drawing.farValue;
    const float n = g_drawing.nearValue;
    const float depthScale = f / (f - n);
    // Perspective with the eye 8d behind the screen plane at z = d, where one unit is 1/9d of clip
    // space; then pixels to clip space with the origin in the top-left corner.
    const Matrix4x4 perspective = {{9.0f * d, 0.0f, 0.0f, 0.0f,                                 //
                                    0.0f, 9.0f * d, 0.0f, 0.0f,                                 //
                                    0.0f, 0.0f, depthScale, 0.99f * 8.0f * d - n * depthScale,  //
                                    0.0f, 0.0f, 1.0f, 8.0f * d}};
    const Matrix4x4 pixelScale = {{2.0f / w, 0.0f, 0.0f, 0.0f,   //
                                   0.0f, -2.0f / h, 0.0f, 0.0f,  //
                                   0.0f, 0.0f, 1.0f, 0.0f,       //
                                   0.0f, 0.0f, 0.0f, 1.0f}};
    const Matrix4x4 toCorner = {{1.0f, 0.0f, 0.0f, -1.0f,  //
                                 0.0f, 1.0f, 0.0f, 1.0f,   //
                                 0.0f, 0.0f, 1.0f, 0.0f,   //
                                 0.0f, 0.0f, 0.0f, 1.0f}};
    Matrix4x4 screen;
    Matrix4x4::Multiply(screen, toCorner, pixelScale);
    Matrix4x4::Multiply(*out, perspective, screen);
    return out;
}

void UpdateAutomaticConstants(zq_shader_constant_table_t* table, uint8_t* shaderFlags) {
    for (int32_t i = 0; table->entries != nullptr && i < table->count; ++i) {
        zq_shader_constant_t& constant = table->entries[i];
        Matrix4x4 value;
        if (constant.data == nullptr || constant.size < sizeof(value.m) ||
            !AutomaticValue(constant.type, &value)) {
            continue;
        }
        if (memcmp(constant.data, value.m, sizeof(value.m)) != 0) {
            memcpy(constant.data, value.m, sizeof(value.m));
            constant.clean = 0;
            *shaderFlags &= static_cast<uint8_t>(~1u);
        }
    }
}

void UpdateShaderAutomaticConstants(zq_shader_t* shader) {
    if (shader != nullptr) {
        UpdateAutomaticConstants(&shader->vertex_constants, &shader->flags);
        UpdateAutomaticConstants(&shader->pixel_constants, &shader->flags);
    }
}

void PushWorldTransform(const Matrix4x4* matrix) {
    FlushBatch();
    if (RefuseFullPush(HLR_STACK_WORLD, "PushWorldTransform")) {
        return;
    }
    const Matrix4x4 current = PeekWorldTransform();
    int32_t& top = Top(HLR_STACK_WORLD);
    ++top;
    if (matrix != nullptr) {
        Matrix4x4::Multiply(g_stacks.world[top], current, *matrix);
    } else {
        g_stacks.world[top] = Identity();
    }
    InvalidateWorldView();
}

void PopWorldTransform() {
    FlushBatch();
    if (!RefuseEmptyPop(HLR_STACK_WORLD, 0, "PopWorldTransform")) {
        --Top(HLR_STACK_WORLD);
        InvalidateWorldView();
    }
}

void PushViewTransform(const Matrix4x4* matrix) {
    FlushBatch();
    if (RefuseFullPush(HLR_STACK_VIEW, "PushViewTransform")) {
        return;
    }
    int32_t& top = Top(HLR_STACK_VIEW);
    ++top;
    g_stacks.view[top] = matrix != nullptr ? *matrix : Identity();
    InvalidateView();
}

void PopViewTransform() {
    FlushBatch();
    if (!RefuseEmptyPop(HLR_STACK_VIEW, 0, "PopViewTransform")) {
        --Top(HLR_STACK_VIEW);
        InvalidateView();
    }
}

void PushProjectionTransform(const Matrix4x4* matrix) {
    FlushBatch();
    if (RefuseFullPush(HLR_STACK_PROJECTION, "PushProjectionTransform")) {
        return;
    }
    const Matrix4x4 value = matrix != nullptr ? *matrix : *GetDefaultProjection();
    g_stacks.projection[++Top(HLR_STACK_PROJECTION)] = value;
}

void PopProjectionTransform() {
    FlushBatch();
    if (!RefuseEmptyPop(HLR_STACK_PROJECTION, -1, "PopProjectionTransform")) {
        --Top(HLR_STACK_PROJECTION);
    }
}

void PushRenderTargets(const zq_render_targets_t* set) {
    if (set == nullptr) {
        return;
    }
    if (!RefuseFullPush(HLR_STACK_RENDER_TARGETS, "PushRenderTargets")) {
        SetRenderTargets(*set, PeekRenderTargets());
        g_stacks.targets[++Top(HLR_STACK_RENDER_TARGETS)] = *set;
        g_stacks.defaultProjectionValid = 0;
    }
    // A new target gets the default projection of its own size and starts from identity.
    FlushBatch();
    PushProjectionTransform(nullptr);
    PushWorldTransform(nullptr);
}

void PopRenderTargets() {
    if (!RefuseEmptyPop(HLR_STACK_RENDER_TARGETS, 0, "PopRenderTargets")) {
        int32_t& top = Top(HLR_STACK_RENDER_TARGETS);
        --top;
        SetRenderTargets(g_stacks.targets[top], g_stacks.targets[top + 1]);
        g_stacks.defaultProjectionValid = 0;
    }
    FlushBatch();
    PopWorldTransform();
    PopProjectionTransform();
}

void PushScissorRectangle(int32_t x, int32_t y, int32_t width, int32_t height) {
    if (RefuseFullPush(HLR_STACK_SCISSOR, "PushScissorRectangle")) {
        return;
    }
    x = NotNegative(x);
    y = NotNegative(y);
    int32_t edges[4] = {x, y, Saturated(int64_t(x) + NotNegative(width)),
                        Saturated(int64_t(y) + NotNegative(height))};
    int32_t& top = Top(HLR_STACK_SCISSOR);
    if (top >= 0) {
        const int32_t* outer = g_stacks.scissors[top];
        const bool overlap =
            outer[0] < edges[2] && edges[0] < outer[2] && outer[1] < edges[3] && edges[1] < outer[3];
        if (overlap) {
            edges[0] = edges[0] > outer[0] ? edges[0] : outer[0];
            edges[1] = edges[1] > outer[1] ? edges[1] : outer[1];
            edges[2] = edges[2] < outer[2] ? edges[2] : outer[2];
            edges[3] = edges[3] < outer[3] ? edges[3] : outer[3];
        } else {
            edges[0] = edges[1] = edges[2] = edges[3] = 0;  // nothing is drawn
        }
    }
    ++top;
    memcpy(g_stacks.scissors[top], edges, sizeof(edges));
    SetCurrentScissorFromStack();
}

void PopScissorRectangle() {
    if (!RefuseEmptyPop(HLR_STACK_SCISSOR, -1, "PopScissorRectangle")) {
        --Top(HLR_STACK_SCISSOR);
        SetCurrentScissorFromStack();
    }
}

void PushShader(zq_shader_t* shader) {
    if (RefuseFullPush(HLR_STACK_SHADER, "PushShader")) {
        return;
    }
    if (shader == nullptr) {
        shader = g_drawing.defaultShader;
    }
    SetCurrentShader(shader);
    g_stacks.shaders[++Top(HLR_STACK_SHADER)] = shader;
}

void PopShader() {
    if (RefuseEmptyPop(HLR_STACK_SHADER, -1, "PopShader")) {
        return;
    }
    const int32_t top = --Top(HLR_STACK_SHADER);
    zq_shader_t* shader = top >= 0 ? g_stacks.shaders[top] : nullptr;
    SetCurrentShader(shader != nullptr ? shader : g_drawing.defaultShader);
}

}  // namespace HighLevelRenderer
