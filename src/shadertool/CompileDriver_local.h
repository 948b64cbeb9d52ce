// The compile driver's inner steps, in calling order; shared by the driver's files and its
// tests, not by the rest of the engine.
#pragma once

#include <cstdint>

#include "shadertool/CompileDriver.h"

namespace ShaderTool {

// Reports straight into the output log every feature of the document the target lacks.
bool CheckTargetSupport(State& state, TargetFlags target);
// One job per source that names an effective target; vertex and pixel sources must cover the
// same targets.
bool BuildTranslationJobs(State& state);
// Every job that is not up to date, for each of its targets.
bool TranslateShaderSource(State& state);
bool TranslateForTarget(State& state, TranslationJob& job, TargetFlags target);
// Refuses, with an error at the output's use in the analysed source, each vertex output that the
// target cannot pass from the vertex to the pixel stage.
bool CheckStageOutputs(State& state, const TranslationJob& job, TargetFlags target);
// Preprocesses the job's source for the target and analyses the result.
bool PreprocessAndParse(State& state, TranslationJob& job, TargetFlags target);
// Hands a target's text to the stage buffer (text targets) and to the output file.
bool MakeOutputFileName(State& state, const String& text, TargetFlags target, int32_t stage, bool byteCode);
// Compiles a byte-code target's text for each requested variant of the target.
bool CompileForTarget(State& state, const char* text, TargetFlags target, int32_t stage);
bool CompileVariant(State& state, Compiler* compiler, const char* text, TargetFlags target,
                    VariantFlags variant, int32_t stage);

// The output name of a document: the path without the leading base path (when it is one) and
// without the extension of its last component.
String MakeOutputBaseName(const char* path, const char* basePath);

}  // namespace ShaderTool
