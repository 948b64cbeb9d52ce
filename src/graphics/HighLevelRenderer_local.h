// The HighLevelRenderer's own data, shared by its files (HighLevelRenderer.cpp: application of the
// state, render targets, start and reset; RendererStacks.cpp: the stacks and cached matrices).
#pragma once

#include "foundation/Matrix4x4.h"
#include "graphics/HighLevelRenderer.h"

struct RendererStacks {
    Matrix4x4 world[HLR_STACK_ENTRIES];
    Matrix4x4 view[HLR_STACK_ENTRIES];
    Matrix4x4 projection[HLR_STACK_ENTRIES];
    zq_render_targets_t targets[HLR_STACK_ENTRIES];
    int32_t scissors[HLR_STACK_ENTRIES][4];
    zq_shader_t* shaders[HLR_STACK_ENTRIES];
    int32_t top[6];  // by HighLevelRendererStack; -1 = empty

    // Cached matrices; each valid while its byte is 1.
    Matrix4x4 defaultProjection;
    Matrix4x4 worldView;
    float viewPosition[3];
    uint8_t defaultProjectionValid;
    uint8_t worldViewValid;
    uint8_t viewPositionValid;
};
extern RendererStacks g_stacks;

namespace HighLevelRenderer {

// Every index -1, every scissor entry (-1, 0, 0, 0), the caches invalid.
void ClearStacks();
// The base entries of a renderer start: identity world and view, the back-buffer target set.
void PushBaseEntries();

}  // namespace HighLevelRenderer
