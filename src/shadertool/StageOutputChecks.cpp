// The vertex outputs a target cannot carry from the vertex to the pixel stage. Its compiler would
// refuse the declaration, so the translation is refused first, with the output and the target
// named at the output's place in the source.
#include <cstring>

#include "shadertool/CompileDriver_local.h"
#include "shadertool/TargetNames.h"
#include "shadertool/Translator.h"

namespace ShaderTool {

namespace {

const int32_t kPositionSemantic = 1;  // the vertex output semantic of the position, a built-in

// No GLSL or ESSL passes booleans between stages, and GLSL 1.20 and ESSL 1.00 have no integer
// varyings.
bool CanPassBetweenStages(TargetFlags target, const Type& type) {
    if (type.kind == TYPE_BOOL) {
        return (target & (TARGET_ESSL | TARGET_GLSL | TARGET_SPIRV)) == 0;
    }
    if (type.kind == TYPE_INT || type.kind == TYPE_UINT) {
        return (target & (TARGET_ESSL20 | TARGET_GLSL21)) == 0;
    }
    return true;
}

bool IsEarlier(const Node* node, const Node* than) {
    return than == nullptr || node->line < than->line ||
           (node->line == than->line && node->column < than->column);
}

// Where the stage's source first writes (vertex) or reads (pixel) the output; the stage's main
// function when it never does, as the declaration is written all the same.
const Node* PlaceOfOutput(const SemanticAnalyzer& analyzer, const char* block, const char* name) {
    const Node* use = nullptr;
    const Node* main = nullptr;
    for (const Node* node : analyzer.nodes) {
        if (node->kind == NODE_OPERATION) {
            const char* member = StageBlockMember(static_cast<const OperationNode*>(node), block);
            if (member != nullptr && strcmp(member, name) == 0 && IsEarlier(node, use)) {
                use = node;
            }
        } else if (node->kind == NODE_FUNCTION && static_cast<const Symbol*>(node)->isDefinition &&
                   static_cast<const Symbol*>(node)->name.Equals("main")) {
            main = node;
        }
    }
    return use != nullptr ? use : main;
}

}  // namespace

bool CheckStageOutputs(State& state, const TranslationJob& job, TargetFlags target) {
    const int32_t stage = job.source->stage;
    if (stage != STAGE_VERTEX && stage != STAGE_PIXEL) {
        return true;
    }
    bool ok = true;
    for (const StageVariable& output : state.description.vertexOutputs) {
        if (output.semantic == kPositionSemantic || CanPassBetweenStages(target, output.type)) {
            continue;
        }
        const Node* place =
            PlaceOfOutput(state.analyzer, stage == STAGE_VERTEX ? "output" : "input", output.name.CStr());
        const String typeName = FormatTypeName(output.type, false);
        state.workingLog.AddPositionalErrorFormat(
            state.analyzer.CurrentFileName(), place != nullptr ? place->line : 0,
            place != nullptr ? place->column : 0,
            "vertex output '%s' of type '%s' cannot pass between stages on target '%s'.", output.name.CStr(),
            typeName.CStr(), GetTargetName(target));
        ok = false;
    }
    return ok;
}

}  // namespace ShaderTool
