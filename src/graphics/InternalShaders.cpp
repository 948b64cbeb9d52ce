// Choosing the internal shaders' embedded code for a target and variant, and creating them.
#include "graphics/InternalShaders.h"

#include <cstring>

#include "foundation/String.h"
#include "foundation/StringTokenizer.h"
#include "graphics/HighLevelRenderer.h"
#include "graphics/RendererDevice.h"
#include "shadertool/ShaderType.h"
#include "shadertool/TargetNames.h"

namespace {

const uint32_t kAllVariants = 255;
const uint32_t kBinaryTargets = ShaderTool::TARGET_HLSL11 | ShaderTool::TARGET_HLSL12 |
                                ShaderTool::TARGET_PSSL | ShaderTool::TARGET_SPIRV;

bool IsBinaryTarget(uint32_t target) {
    return target != 0 && (target & ~kBinaryTargets) == 0;
}

// The first record of the stage (records alternate vertex, pixel) with both bits equal.
const EmbeddedShaderCode* FindCode(const EmbeddedShaderCode* records, int32_t stage, uint32_t target,
                                   uint32_t variant) {
    for (int32_t pair = 0; records != nullptr && records[pair].size != 0 && records[pair + 1].size != 0;
         pair += 2) {
        const EmbeddedShaderCode& record = records[pair + stage];
        if (record.target == target && record.variant == variant) {
            return &record;
        }
    }
    return nullptr;
}

// True when the text's head line is "target,variant," of the request.
bool HeadMatches(const char* text, uint32_t target, uint32_t variant) {
    const char* end = strchr(text, '\n');
    if (end == nullptr) {
        return false;
    }
    const String head = String(text).Substring(0, static_cast<int32_t>(end - text));
    StringTokenizer fields(head.CStr(), ',');
    const char* targetName = fields.Next();
    const char* variantName = fields.Next();
    return targetName != nullptr && variantName != nullptr &&
           ShaderTool::ParseTargetName(targetName) == target &&
           ZQI_ParseEmbeddedVariantName(variantName) == variant;
}

zq_shader_t* CreateInternalShader(const EmbeddedShader& embedded, uint32_t variant) {
    ShaderCodeSet code = {};
    zq_shader_t* shader = nullptr;
    if (SelectEmbeddedShaderCode(embedded, ShaderTool::TARGET_HLSL11, variant, &code)) {
        shader = CreateShaderFromXMLText(embedded.name, embedded.xml, code);
    }
    ZQI_FreeShaderCodeSet(&code);
    return shader;
}

}  // namespace

uint32_t ZQI_ParseEmbeddedVariantName(const char* name) {
    if (name == nullptr) {
        return 0;
    }
    if (strcmp(name, "ALL") == 0) {
        return kAllVariants;
    }
    for (uint32_t bit = 1; bit <= 128; bit <<= 1) {
        if (strcmp(name, ShaderTool::GetVariantName(bit)) == 0) {
            return bit;
        }
    }
    return 0;
}

const char* ParseEmbeddedShaderTarget(const char* const* sources, int32_t stage, uint32_t target,
                                      uint32_t variant) {
    for (int32_t i = 0; sources != nullptr && sources[i] != nullptr; ++i) {
        if (i % 2 == stage && HeadMatches(sources[i], target, variant)) {
            return strchr(sources[i], '\n') + 1;
        }
    }
    return nullptr;
}

bool SelectEmbeddedShaderCode(const EmbeddedShader& shader, uint32_t target, uint32_t variant,
                              ShaderCodeSet* code) {
    for (int32_t stage = ShaderTool::STAGE_VERTEX; stage <= ShaderTool::STAGE_PIXEL; ++stage) {
        if (IsBinaryTarget(target)) {
            const EmbeddedShaderCode* record = FindCode(shader.code, stage, target, variant);
            if (record == nullptr || !ZQI_AppendShaderCode(&code->stages[stage], record->bytes,
                                                           static_cast<int32_t>(record->size))) {
                return false;
            }
        } else {
            const char* text = ParseEmbeddedShaderTarget(shader.sources, stage, target, variant);
            // Text code is handed over with its NUL, as the translator's stage buffers hold it.
            if (text == nullptr ||
                !ZQI_AppendShaderCode(&code->stages[stage], text, static_cast<int32_t>(strlen(text) + 1))) {
                return false;
            }
        }
    }
    return true;
}

bool CreateInternalShaders() {
    const uint32_t variant = ZQI_GetRendererDevice().IsLowFeatureLevel() ? ShaderTool::VARIANT_HLSL11_LOW
                                                                         : ShaderTool::VARIANT_HLSL11_DEFAULT;
    g_drawing.defaultShader = CreateInternalShader(kEmbeddedShaders[ZQI_EMBEDDED_DEFAULT], variant);
    g_drawing.distanceFieldShader =
        CreateInternalShader(kEmbeddedShaders[ZQI_EMBEDDED_DISTANCE_FIELD], variant);
    const zq_shader_t* shaders[] = {g_drawing.defaultShader, g_drawing.distanceFieldShader};
    for (const zq_shader_t* shader : shaders) {
        if (shader == nullptr || (shader->flags & SHADER_FLAG_CREATED) == 0) {
            return false;
        }
    }
    return true;
}
