// The engine's own two shaders, "internal_default" (textured, vertex-coloured geometry) and
// "internal_distance_field" (text and shapes from distance fields), made from their embedded Shader
// XML and compiled code when the renderer starts, without translation.
#pragma once

#include <cstdint>

#include "graphics/EmbeddedShaders.h"
#include "graphics/ShaderManager.h"

// Both shaders for HLSL11 and the device's variant (HLSL11_LOW at feature levels 9_x); each is
// null when its code is missing or the renderer refuses it. True when both exist.
bool CreateInternalShaders();

// The code of (target, variant) into code's vertex and pixel stages: binary targets (HLSL11,
// HLSL12, PSSL, SPIRV) from the code records, every other target from the source texts. False
// when either stage has none.
bool SelectEmbeddedShaderCode(const EmbeddedShader& shader, uint32_t target, uint32_t variant,
                              ShaderCodeSet* code);
// The first text of the stage (0 vertex, 1 pixel) whose head line names the target and the
// variant ("ESSL20,NONE,"); the text after the head line, or null.
const char* ParseEmbeddedShaderTarget(const char* const* sources, int32_t stage, uint32_t target,
                                      uint32_t variant);
// The variant bit of a head line's variant name: "HLSL11_DEFAULT" 1 ... "PSSL_AGC" 128, "ALL" 255,
// anything else (such as "NONE") 0.
uint32_t ZQI_ParseEmbeddedVariantName(const char* name);
