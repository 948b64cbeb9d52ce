// What the compile driver knows per target: the capability row a document is checked against,
// which translator writes the target, which compiler slot serves it and whether its output is
// byte code compiled at run time.
#pragma once

#include <cstdint>

#include "shadertool/MessageLog.h"
#include "shadertool/ShaderType.h"
#include "shadertool/Translator.h"

namespace ShaderTool {

struct TargetCapabilities {
    uint8_t buffers;
    uint8_t multiplePixelOutputs;
    uint8_t rayTracing;
    uint8_t textures3D;
    uint8_t textureArrays;
};

// One row per target, in bit order (ESSL20 first).
extern const TargetCapabilities TargetCapabilityTable[TARGET_COUNT];

// 0 for ESSL20 up to 8 for SPIRV; -1 for anything but one target bit.
int32_t TargetIndex(TargetFlags target);

// Compiler slots by target family; slot 0 is the default (none).
enum CompilerSlot : int32_t {
    COMPILER_SLOT_NONE = 0,
    COMPILER_SLOT_GLSL = 1,  // ESSL, GLSL and SPIRV
    COMPILER_SLOT_HLSL = 2,  // HLSL9 and HLSL11
    COMPILER_SLOT_HLSL12 = 3,
    COMPILER_SLOT_PSSL = 4,
    COMPILER_SLOT_COUNT = 10,
};
int32_t CompilerSlotOfTarget(TargetFlags target);

// The target a variant bit compiles for (HLSL11_* to HLSL11 ...); 0 for anything else.
TargetFlags TargetOfVariant(VariantFlags variant);

// HLSL11, HLSL12, PSSL and SPIRV: their output goes to a compiler, not to the stage buffers.
bool IsByteCodeTarget(TargetFlags target);

// A new translator for the target, reporting into log; null for anything but one target bit.
Translator* CreateTranslator(TargetFlags target, MessageLog* log);

}  // namespace ShaderTool
