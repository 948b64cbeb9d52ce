// The per-target tables of the compile driver and the translator factory.
#include "shadertool/TargetTable.h"

#include "shadertool/ESSL20Translator.h"
#include "shadertool/ESSL30Translator.h"
#include "shadertool/HLSL12Translator.h"
#include "shadertool/PSSLTranslator.h"
#include "shadertool/SPIRVTranslator.h"

namespace ShaderTool {

// Columns: buffers, multiple pixel outputs, ray tracing, 3D textures, texture arrays.
const TargetCapabilities TargetCapabilityTable[TARGET_COUNT] = {
    {0, 0, 0, 0, 0},  // ESSL20
    {0, 1, 0, 1, 0},  // ESSL30
    {0, 0, 0, 1, 0},  // GLSL21
    {0, 1, 0, 1, 0},  // GLSL31
    {0, 1, 0, 1, 0},  // HLSL9
    {0, 1, 0, 1, 0},  // HLSL11
    {1, 1, 1, 1, 1},  // HLSL12
    {0, 1, 0, 1, 0},  // PSSL
    {1, 1, 1, 1, 1},  // SPIRV
};

int32_t TargetIndex(TargetFlags target) {
    for (int32_t index = 0; index < TARGET_COUNT; ++index) {
        if (target == (1u << index)) {
            return index;
        }
    }
    return -1;
}

int32_t CompilerSlotOfTarget(TargetFlags target) {
    switch (target) {
        case TARGET_ESSL20:
        case TARGET_ESSL30:
        case TARGET_GLSL21:
        case TARGET_GLSL31:
        case TARGET_SPIRV:
            return COMPILER_SLOT_GLSL;
        case TARGET_HLSL9:
        case TARGET_HLSL11:
            return COMPILER_SLOT_HLSL;
        case TARGET_HLSL12:
            return COMPILER_SLOT_HLSL12;
        case TARGET_PSSL:
            return COMPILER_SLOT_PSSL;
        default:
            return COMPILER_SLOT_NONE;
    }
}

TargetFlags TargetOfVariant(VariantFlags variant) {
    switch (variant) {
        case VARIANT_HLSL11_DEFAULT:
        case VARIANT_HLSL11_LOW:
        case VARIANT_HLSL11_XBOX:
            return TARGET_HLSL11;
        case VARIANT_HLSL12_DEFAULT:
        case VARIANT_HLSL12_XBOX_ONE:
        case VARIANT_HLSL12_XBOX_SX:
            return TARGET_HLSL12;
        case VARIANT_PSSL_GNM:
        case VARIANT_PSSL_AGC:
            return TARGET_PSSL;
        default:
            return 0;
    }
}

bool IsByteCodeTarget(TargetFlags target) {
    return target == TARGET_HLSL11 || target == TARGET_HLSL12 || target == TARGET_PSSL ||
           target == TARGET_SPIRV;
}

Translator* CreateTranslator(TargetFlags target, MessageLog* log) {
    switch (target) {
        case TARGET_ESSL20:
            return new ESSL20Translator(log);
        case TARGET_ESSL30:
            return new ESSL30Translator(log);
        case TARGET_GLSL21:
            return new GLSL21Translator(log);
        case TARGET_GLSL31:
            return new GLSL31Translator(log);
        case TARGET_HLSL9:
            return new HLSL9Translator(log);
        case TARGET_HLSL11:
            return new HLSL11Translator(log);
        case TARGET_HLSL12:
            return new HLSL12Translator(log);
        case TARGET_PSSL:
            return new PSSLTranslator(log);
        case TARGET_SPIRV:
            return new SPIRVTranslator(log);
        default:
            return nullptr;
    }
}

}  // namespace ShaderTool
