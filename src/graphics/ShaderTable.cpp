// The shader table: slots taken by name under "GET_SHADER", the records filled from a translated
// description (vertex layout, constant tables, texture slots) and freed again, constant values,
// and the per-stage code buffers.
#include <cstdlib>
#include <cstring>

#include "core/ApiTable.h"
#include "core/NamedMutex.h"
#include "core/Sys.h"
#include "foundation/TextUtils.h"
#include "graphics/BitmapOperations.h"
#include "graphics/BitmapTable.h"
#include "graphics/RendererDevice.h"
#include "graphics/ShaderManager.h"
#include "shadertool/ShaderDescription.h"

namespace {

zq_shader_t g_shaders[ZQI_SHADER_TABLE_SIZE];
volatile int32_t g_usedCount;

struct ElementShape {
    uint32_t semantic;
    uint32_t componentType;  // 1 float, 2 unsigned byte
    uint16_t componentCount;
    uint32_t bytes;
};

const ElementShape kElementShapes[] = {
    {ZQ_VERTEX_FORMAT_POSITION, 1, 3, 12},    {ZQ_VERTEX_FORMAT_COLOR, 2, 4, 4},
    {ZQ_VERTEX_FORMAT_TEXCOORD0, 1, 2, 8},    {ZQ_VERTEX_FORMAT_NORMAL, 1, 3, 12},
    {ZQ_VERTEX_FORMAT_TEXCOORD1, 1, 2, 8},    {ZQ_VERTEX_FORMAT_TANGENT, 1, 3, 12},
    {ZQ_VERTEX_FORMAT_BINORMAL, 1, 3, 12},    {ZQ_VERTEX_FORMAT_BLENDINDICES, 2, 4, 4},
    {ZQ_VERTEX_FORMAT_BLENDWEIGHT, 1, 4, 16},
};
const int32_t kMaxVertexElements = 9;
const int32_t kTextureSlots = 8;

// Constant shapes: 4 x 4 matrices, float4 and int4 vectors.
enum : uint32_t { SHAPE_OTHER = 0, SHAPE_FLOAT4 = 1, SHAPE_MATRIX4 = 2, SHAPE_INT4 = 3 };

void LockTable() {
    ZQI_LockCoreMutex(CORE_MUTEX_GET_SHADER);
}

void UnlockTable() {
    ZQI_UnlockCoreMutex(CORE_MUTEX_GET_SHADER);
}

uint32_t ShapeOf(const ShaderTool::Type& type) {
    if (type.matrixSize == 4) {
        return SHAPE_MATRIX4;
    }
    if (type.vectorSize == 4) {
        return type.kind == ShaderTool::TYPE_FLOAT
                   ? SHAPE_FLOAT4
                   : (type.kind == ShaderTool::TYPE_INT ? SHAPE_INT4 : SHAPE_OTHER);
    }
    return SHAPE_OTHER;
}

void BuildVertexElements(zq_shader_t* shader, const ShaderTool::ShaderDescription& description) {
    uint32_t offset = 0;
    for (const ShaderTool::ShaderVariable& input : description.vertexInputs) {
        if (shader->vertex_element_count >= kMaxVertexElements) {
            break;
        }
        zq_shader_vertex_element_t& element = shader->vertex_elements[shader->vertex_element_count++];
        element.offset = offset;
        element.semantic = static_cast<uint32_t>(input.semantic);
        for (const ElementShape& shape : kElementShapes) {
            if (shape.semantic == element.semantic) {
                element.component_type = shape.componentType;
                element.component_count = shape.componentCount;
                offset += shape.bytes;
            }
        }
        shader->vertex_format |= element.semantic;
    }
}

void BuildConstantTable(zq_shader_constant_table_t* table,
                        const Array<ShaderTool::ShaderVariable>& variables) {
    int64_t total = 0;
    for (const ShaderTool::ShaderVariable& variable : variables) {
        total += variable.size;
    }
    if (variables.count == 0 || total <= 0 || total > INT32_MAX) {
        return;
    }
    table->entries = static_cast<zq_shader_constant_t*>(
        calloc(static_cast<size_t>(variables.count), sizeof(zq_shader_constant_t)));
    table->data = static_cast<uint8_t*>(calloc(1, static_cast<size_t>(total)));
    if (table->entries == nullptr || table->data == nullptr) {
        ZQ_Log(2, "Shader constants: out of memory for %lld bytes.", static_cast<long long>(total));
        free(table->entries);
        free(table->data);
        *table = zq_shader_constant_table_t{};
        return;
    }
    table->total_size = static_cast<int32_t>(total);
    table->count = variables.count;
    int32_t offset = 0;
    for (int32_t i = 0; i < variables.count; ++i) {
        const ShaderTool::ShaderVariable& variable = variables[i];
        zq_shader_constant_t& entry = table->entries[i];
        entry.name = ZQI_DuplicateText(variable.name.CStr());
        entry.data = table->data + offset;
        entry.array_count = static_cast<uint16_t>(variable.type.arraySize > 1 ? variable.type.arraySize : 1);
        entry.type = static_cast<uint32_t>(variable.semantic);
        entry.size = static_cast<uint16_t>(variable.size);
        entry.shape = ShapeOf(variable.type);
        entry.clean = 1;
        offset += variable.size;
    }
}

void FreeConstantTable(zq_shader_constant_table_t* table) {
    for (int32_t i = 0; table->entries != nullptr && i < table->count; ++i) {
        free(table->entries[i].name);
    }
    free(table->entries);
    free(table->data);
    *table = zq_shader_constant_table_t{};
}

zq_bitmap_t* SlotBitmap(const zq_shader_texture_t& slot) {
    return reinterpret_cast<zq_bitmap_t*>(static_cast<uintptr_t>(slot.value));
}

// Engine-held references go back only while counting is on: without it a release frees the
// bitmap for good, under every other holder.
void ReleaseBitmapReference(zq_bitmap_t* bitmap) {
    if (bitmap != nullptr && ZQI_GetBitmapSwitches().referenceCounting) {
        ZQ_Graphics_ReleaseBitmap(bitmap);
    }
}

void FillTextureSlots(zq_shader_t* shader, const ShaderTool::ShaderDescription& description) {
    for (const ShaderTool::TextureVariable& texture : description.pixelTextures) {
        if (shader->texture_count >= kTextureSlots) {
            break;
        }
        zq_shader_texture_t& slot = shader->textures[shader->texture_count++];
        slot.name = ZQI_DuplicateText(texture.name.CStr());
        slot.value = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(texture.source));
        if (texture.source != nullptr) {
            const int16_t one = 1;
            ZQ_Graphics_IncreaseBitmapReferenceCount(texture.source, &one);
        }
        const int32_t values[6] = {texture.addressU,  texture.addressV,  texture.addressW,
                                   texture.filterMag, texture.filterMin, texture.filterMip};
        for (int32_t i = 0; i < 6; ++i) {
            slot.values[i] = static_cast<uint32_t>(values[i]);
        }
    }
}

}  // namespace

bool ZQI_AppendShaderCode(ShaderCode* code, const void* bytes, int32_t size) {
    if (size <= 0) {
        return size == 0;
    }
    const int64_t needed = int64_t(code->size) + size;
    if (needed > INT32_MAX / 2) {
        return false;
    }
    if (needed > code->capacity) {
        if (code->borrowed) {
            return false;
        }
        uint8_t* grown = static_cast<uint8_t*>(realloc(code->data, static_cast<size_t>(needed * 2)));
        if (grown == nullptr) {
            return false;
        }
        code->data = grown;
        code->capacity = static_cast<int32_t>(needed * 2);
    }
    memcpy(code->data + code->size, bytes, static_cast<size_t>(size));
    code->size = static_cast<int32_t>(needed);
    return true;
}

void ZQI_FreeShaderCodeSet(ShaderCodeSet* set) {
    for (ShaderCode& code : set->stages) {
        if (!code.borrowed) {
            free(code.data);
        }
        code = ShaderCode{};
    }
    set->word = 0;
}

zq_shader_t* GetShaderSlot(const char* name, bool* existed) {
    if (name == nullptr) {
        name = "!NONE";
    }
    *existed = false;
    LockTable();
    // Every used slot is looked at: a freed slot (an internal shader between renderer stop and
    // start) may lie before the one that holds the name.
    zq_shader_t* vacant = nullptr;
    const int32_t used = g_usedCount;
    for (int32_t i = 0; i < used; ++i) {
        zq_shader_t* shader = &g_shaders[i];
        if (shader->name == nullptr) {
            vacant = vacant != nullptr ? vacant : shader;
        } else if (strcmp(shader->name, name) == 0) {
            *existed = true;
            UnlockTable();
            return shader;
        }
    }
    if (vacant == nullptr && used >= ZQI_SHADER_TABLE_SIZE) {
        UnlockTable();
        ZQ_Popup(1, "Failed to load shader '%s': Zorqa is out of free shaders.", name);
        return nullptr;
    }
    char* copy = ZQI_DuplicateText(name);
    if (copy == nullptr) {
        UnlockTable();
        ZQ_Log(2, "GetShaderSlot: out of memory for '%s'.", name);
        return nullptr;
    }
    ZQ_Print("Caching shader '%s'...", name);
    if (vacant == nullptr) {
        vacant = &g_shaders[used];
        ZQI_SysAtomicExchange(&g_usedCount, used + 1);
    }
    memset(vacant, 0, sizeof(*vacant));
    vacant->name = copy;
    vacant->kind = ZQI_SHADER_KIND;
    vacant->slot = static_cast<uint32_t>(vacant - g_shaders);
    UnlockTable();
    return vacant;
}

zq_shader_t* ZQI_GetShaderRecord(int32_t slot) {
    return slot >= 0 && slot < ZQI_SHADER_TABLE_SIZE ? &g_shaders[slot] : nullptr;
}

int32_t ZQI_GetShaderUsedCount() {
    return ZQI_SysAtomicLoad(&g_usedCount);
}

void ZQI_ResetShaderTableCount() {
    ZQI_SysAtomicExchange(&g_usedCount, 0);
}

void ZQI_FillShaderRecord(zq_shader_t* shader, const ShaderTool::ShaderDescription& description) {
    shader->tag = description.tags.Length() > 0 ? ZQI_DuplicateText(description.tags.CStr()) : nullptr;
    BuildVertexElements(shader, description);
    BuildConstantTable(&shader->vertex_constants, description.vertexConstants);
    BuildConstantTable(&shader->pixel_constants, description.pixelConstants);
    BuildConstantTable(&shader->constants, description.constants);
    shader->flags |= SHADER_FLAG_CONSTANTS_CLEAN;
    FillTextureSlots(shader, description);
}

void FreeShader(zq_shader_t* shader, bool rendererData) {
    if (shader == nullptr) {
        return;
    }
    if (rendererData) {
        ZQI_GetRendererDevice().FreeShader(shader);
        shader->renderer_data = nullptr;
        shader->flags &= static_cast<uint8_t>(~SHADER_FLAG_CREATED);
    }
    for (int32_t i = 0; i < shader->texture_count; ++i) {
        ReleaseBitmapReference(SlotBitmap(shader->textures[i]));
    }
    for (zq_shader_texture_t& texture : shader->textures) {
        free(texture.name);
        texture = zq_shader_texture_t{};
    }
    FreeConstantTable(&shader->pixel_constants);
    FreeConstantTable(&shader->constants);
    FreeConstantTable(&shader->vertex_constants);
    free(shader->tag);
    shader->tag = nullptr;
    shader->texture_count = 0;
    shader->vertex_element_count = 0;
    shader->vertex_format = 0;
    memset(shader->vertex_elements, 0, sizeof(shader->vertex_elements));
    shader->translation_word = 0;
}

void ZQI_ReleaseTextureSources(ShaderTool::ShaderDescription* description) {
    for (ShaderTool::TextureVariable& texture : description->pixelTextures) {
        ReleaseBitmapReference(texture.source);
        texture.source = nullptr;
    }
}

void FreeShaderSlot(zq_shader_t* shader) {
    if (shader == nullptr) {
        return;
    }
    FreeShader(shader, true);
    LockTable();
    free(shader->name);
    shader->name = nullptr;
    UnlockTable();
}

bool SetShaderConstantValue(zq_shader_constant_table_t* table, int32_t index, const void* data,
                            uint32_t size) {
    if (data == nullptr || table->entries == nullptr || index < 0 || index >= table->count) {
        return false;
    }
    zq_shader_constant_t& entry = table->entries[index];
    // The caller's buffer holds size bytes, the constant entry.size: the smaller is compared.
    const size_t bytes = size < entry.size ? size : entry.size;
    if (bytes == 0 || memcmp(entry.data, data, bytes) == 0) {
        return false;
    }
    memcpy(entry.data, data, bytes);
    entry.clean = 0;
    return true;
}

void* GetShaderConstantAddress(const zq_shader_constant_table_t* table, int32_t index) {
    if (table->entries == nullptr || index < 0 || index >= table->count) {
        return nullptr;
    }
    return table->entries[index].data;
}
