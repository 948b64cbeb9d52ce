// Bodies of the stand-ins declared in PendingSubsystems.h: they do nothing, except that the
// transform and render-target stacks count their depth.
#include "engine/PendingSubsystems.h"

namespace {

int32_t g_stackDepths[HLR_STACK_COUNT];
// The world stack keeps its transforms: the screen transform is what the frame pushes there.
const int32_t kMaxWorldTransforms = 64;
Matrix4x4 g_worldTransforms[kMaxWorldTransforms];

void Push(HighLevelRendererStack stack) {
    ++g_stackDepths[stack];
}

void Pop(HighLevelRendererStack stack) {
    if (g_stackDepths[stack] > 0) {
        --g_stackDepths[stack];
    }
}

}  // namespace

InputImp* ZQI_CreateXInputImplementation() {
    return nullptr;
}

void ZQI_BuildGraphicsApiTable() {}

namespace HighLevelRenderer {
void Initialize() {
    for (int32_t& depth : g_stackDepths) {
        depth = 0;
    }
}
void ResetState() {}
void ResetFrameState() {}
void ApplyState() {}
void PushWorldTransform(const Matrix4x4& transform) {
    int32_t depth = g_stackDepths[HLR_STACK_WORLD];
    if (depth < kMaxWorldTransforms) {
        g_worldTransforms[depth] = transform;
    }
    Push(HLR_STACK_WORLD);
}
void PopWorldTransform() {
    Pop(HLR_STACK_WORLD);
}
void PushViewTransform() {
    Push(HLR_STACK_VIEW);
}
void PopViewTransform() {
    Pop(HLR_STACK_VIEW);
}
void PushProjectionTransform() {
    Push(HLR_STACK_PROJECTION);
}
void PopProjectionTransform() {
    Pop(HLR_STACK_PROJECTION);
}
void PushRenderTargets(const zq_render_targets_t*) {
    Push(HLR_STACK_RENDER_TARGETS);
}
void PopRenderTargets() {
    Pop(HLR_STACK_RENDER_TARGETS);
}
int32_t GetStackDepth(HighLevelRendererStack stack) {
    return stack >= 0 && stack < HLR_STACK_COUNT ? g_stackDepths[stack] : 0;
}
float GetFirstDepthParameter() {
    return 0.0f;
}
Matrix4x4 GetWorldTransform() {
    int32_t depth = g_stackDepths[HLR_STACK_WORLD];
    if (depth < 1 || depth > kMaxWorldTransforms) {
        return Matrix4x4::Identity();
    }
    return g_worldTransforms[depth - 1];
}
}  // namespace HighLevelRenderer

namespace BatchRenderer {
void Initialize() {}
void Shutdown() {}
void BeginFrame() {}
void UnmapVertexBuffer() {}
bool HasVertices() {
    return false;
}
void Flush() {}
}  // namespace BatchRenderer

void ZQI_ResetShaderTableCount() {}
bool InitializeShaderTranslator() {
    return true;
}
void ZQI_ReloadXmlShaders() {}
void ZQI_UploadGlobalFontPages() {}
void ZQI_FreeShaderGpuData() {}
void ZQI_FreeGlobalFontPages() {}
void ZQI_FreeDefaultRendererResources() {}

void ProcessPendingBufferOperations() {}
void ProcessShaderResourceQueue() {}

void ZQI_DrawSoundChannels() {}
