// The graphics sub-table's shader slots: getting, reloading and binding shaders, their constants,
// texture slots, tags and the Shader XML's user values.
#include <cstring>

#include "core/ApiTable.h"
#include "core/Threads.h"
#include "data/DMRecords.h"
#include "data/DataManager.h"
#include "foundation/TextUtils.h"
#include "graphics/HighLevelRenderer.h"
#include "graphics/RendererState.h"
#include "graphics/ShaderManager.h"

namespace {

const uint32_t kPendingWaitMilliseconds = 1;

bool IsLoaded(const zq_shader_t* shader) {
    return shader != nullptr && (shader->flags & SHADER_FLAG_CREATED) != 0;
}

// Loads a new slot; a developer may ask to try again after fixing the files, which reads them
// afresh. The slot stays (unloaded) when loading fails.
void LoadWithRetries(zq_shader_t* shader) {
    bool reload = false;
    for (;;) {
        const ShaderLoadResult result = LoadShader(shader, true, reload);
        if (result == SHADER_LOADED || result == SHADER_UNCHANGED) {
            return;
        }
        FreeShader(shader, false);
        if (result != SHADER_RETRY) {
            return;
        }
        reload = true;
    }
}

// Index of the entry named name, -1 when none is (null names never match).
int32_t FindConstant(const zq_shader_constant_table_t& table, const char* name) {
    for (int32_t i = 0; name != nullptr && table.entries != nullptr && i < table.count; ++i) {
        if (table.entries[i].name != nullptr && strcmp(table.entries[i].name, name) == 0) {
            return i;
        }
    }
    return -1;
}

void SetConstant(zq_shader_t* shader, zq_shader_constant_table_t zq_shader_t::*table, int32_t index,
                 uint32_t size, const void* data) {
    if (!IsLoaded(shader) || data == nullptr) {
        return;
    }
    HighLevelRenderer::FlushBatch();
    if (SetShaderConstantValue(&(shader->*table), index, data, size)) {
        shader->flags &= static_cast<uint8_t>(~SHADER_FLAG_CONSTANTS_CLEAN);
    }
}

void* ConstantAddress(const zq_shader_t* shader, zq_shader_constant_table_t zq_shader_t::*table,
                      int32_t index) {
    return shader != nullptr ? GetShaderConstantAddress(&(shader->*table), index) : nullptr;
}

int32_t ConstantIndex(const zq_shader_t* shader, zq_shader_constant_table_t zq_shader_t::*table,
                      const char* name) {
    return shader != nullptr ? FindConstant(shader->*table, name) : -1;
}

}  // namespace

zq_shader_t* ZQ_Graphics_GetShader(const char* name) {
    bool existed = false;
    zq_shader_t* shader = GetShaderSlot(name, &existed);
    if (shader != nullptr && !existed) {
        LoadWithRetries(shader);
    }
    return shader;
}

void ZQ_Graphics_ReloadShader(zq_shader_t* shader) {
    if (shader == nullptr || shader->name == nullptr) {
        return;
    }
    HighLevelRenderer::FlushBatch();
    FreeShader(shader, true);
    char* name = shader->name;
    const uint32_t slot = shader->slot;
    memset(shader, 0, sizeof(*shader));
    shader->name = name;
    shader->kind = ZQI_SHADER_KIND;
    shader->slot = slot;
    // A bound shader must be bound again once it has objects of its new code.
    if (g_rendererState.shader == shader || g_drawing.lastAppliedShader == shader) {
        g_rendererState.applied[STATE_GROUP_SHADER] = 0;
        g_stateApplied = 0;
    }
    LoadWithRetries(shader);
}

bool ZQ_Graphics_IsShaderLoaded(zq_shader_t* shader) {
    if (shader == nullptr) {
        return false;
    }
    if (!ZQ_Threading_IsMainThread()) {
        while (ZQI_IsShaderPending(shader)) {
            ZQ_Threading_Sleep(kPendingWaitMilliseconds);
        }
    }
    return IsLoaded(shader);
}

void ZQ_Graphics_SetShader(zq_shader_t* shader) {
    if (shader == nullptr) {
        shader = g_drawing.defaultShader;
    } else if (!IsLoaded(shader)) {
        return;
    }
    HighLevelRenderer::SetCurrentShader(shader);
}

void ZQ_Graphics_SetFontShader(zq_shader_t* shader) {
    if (shader == nullptr) {
        shader = g_drawing.defaultShader;
    } else if (!IsLoaded(shader)) {
        return;
    }
    g_rendererState.fontShader = shader;
}

void* ZQ_Graphics_GetShaderConstant(zq_shader_t* shader, int32_t index) {
    return ConstantAddress(shader, &zq_shader_t::constants, index);
}

void* ZQ_Graphics_GetShaderPixelConstant(zq_shader_t* shader, int32_t index) {
    return ConstantAddress(shader, &zq_shader_t::pixel_constants, index);
}

void* ZQ_Graphics_GetShaderVertexConstant(zq_shader_t* shader, int32_t index) {
    return ConstantAddress(shader, &zq_shader_t::vertex_constants, index);
}

int32_t ZQ_Graphics_GetShaderConstantIndex(zq_shader_t* shader, const char* name) {
    return ConstantIndex(shader, &zq_shader_t::constants, name);
}

int32_t ZQ_Graphics_GetShaderPixelConstantIndex(zq_shader_t* shader, const char* name) {
    return ConstantIndex(shader, &zq_shader_t::pixel_constants, name);
}

int32_t ZQ_Graphics_GetShaderVertexConstantIndex(zq_shader_t* shader, const char* name) {
    return ConstantIndex(shader, &zq_shader_t::vertex_constants, name);
}

int32_t ZQ_Graphics_GetTextureIndex(zq_shader_t* shader, const char* name) {
    for (int32_t i = 0; shader != nullptr && name != nullptr && i < shader->texture_count && i < 8; ++i) {
        if (shader->textures[i].name != nullptr && strcmp(shader->textures[i].name, name) == 0) {
            return i;
        }
    }
    return -1;
}

void ZQ_Graphics_SetShaderConstant(zq_shader_t* shader, int32_t index, uint32_t size, const void* data) {
    SetConstant(shader, &zq_shader_t::constants, index, size, data);
}

void ZQ_Graphics_SetShaderPixelConstant(zq_shader_t* shader, int32_t index, uint32_t size, const void* data) {
    SetConstant(shader, &zq_shader_t::pixel_constants, index, size, data);
}

void ZQ_Graphics_SetShaderVertexConstant(zq_shader_t* shader, int32_t index, uint32_t size,
                                         const void* data) {
    SetConstant(shader, &zq_shader_t::vertex_constants, index, size, data);
}

const char* ZQ_Graphics_GetShaderTags(zq_shader_t* shader) {
    return shader != nullptr ? shader->tag : nullptr;
}

const char* ZQ_Graphics_GetShaderUserValue(zq_shader_t* shader, const char* id) {
    if (shader == nullptr || shader->name == nullptr || id == nullptr) {
        return nullptr;
    }
    const DMDatabase* database = DataManager::GetDatabase(shader->name);
    const DMArray* user = database != nullptr ? database->GetArray("user") : nullptr;
    const DMNode* node = user != nullptr ? user->GetNode(id) : nullptr;
    return node != nullptr ? node->GetValue("value") : nullptr;
}

bool ZQ_Graphics_ShaderHasTag(zq_shader_t* shader, const char* tag) {
    return shader != nullptr && ZQI_ListContainsWord(shader->tag, tag);
}
