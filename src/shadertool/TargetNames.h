// Names of compile targets, target groups, variants and stages, both ways. The graphics shader
// manager uses them too, to pick compiled shader files and embedded shader code.
#pragma once

#include <cstdint>

#include "shadertool/ShaderType.h"

namespace ShaderTool {

// The bit value of a target or group name ("HLSL11" 32, "HLSL" 112, "ALL" 511). Exact and
// case-sensitive; never combines names; 0 for null and for any other text.
TargetFlags ParseTargetName(const char* name);

// The name of one variant bit; "" for 0, for several bits and for any unknown value.
const char* GetVariantName(VariantFlags variant);

// The name of one target bit ("ESSL20" .. "SPIRV"); "" for anything else.
const char* GetTargetName(TargetFlags target);

// The group a target bit belongs to, named for _TARGET_GROUP: "ESSL", "GLSL", "HLSL", "PSSL" or
// "SPIRV"; "" for anything but one target bit.
const char* GetTargetGroupName(TargetFlags target);

// "vertex", "pixel", "rchit", "rgen", "rmiss"; "" for any other number.
const char* GetStageName(int32_t stage);

}  // namespace ShaderTool
