// The stage blocks a shader reads and writes (input, output, constants, texture, buffers,
// images, ray_payloads), declared from the Shader XML description before and during the parse.
// BeginStage, DeclareStageVariables and CheckFunctionDefinitions are SemanticAnalyzer members.
#pragma once

#include "shadertool/Analyzer.h"

namespace ShaderTool {

// Descriptions from this version on keep the stage constants in the `constants` block.
enum : uint32_t { DESCRIPTION_VERSION_CONSTANT_BLOCK = 0x20003 };

// Registers the empty block structs and declares the global block variables.
void DeclareStageBlocks(SemanticAnalyzer& analyzer, const ShaderDescription& description);
// When main's definition begins: input, output and, in ray stages, ray_payloads.
void DeclareStageGlobals(SemanticAnalyzer& analyzer, SourcePosition mainPosition);

}  // namespace ShaderTool
