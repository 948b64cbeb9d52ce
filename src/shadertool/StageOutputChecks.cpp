// The vertex outputs a target cannot carry from the vertex to the pixel stage: those of a type it
// has no interpolation for, and those past the interpolators it offers. Its compiler would refuse
// the declaration, so the translation is refused first, with the output and the target named at
// the output's place in the source.
#include <cstring>

#include "shadertool/CompileDriver_local.h"
#include "shadertool/TargetNames.h"
#include "shadertool/Translator.h"

namespace ShaderTool {

namespace {

const int32_t kColorSemantic = 0;     // the vertex output semantic of a colour
const int32_t kPositionSemantic = 1;  // the vertex output semantic of the position, a built-in

// How the position output counts against the interpolators.
enum PositionUse {
    POSITION_APART,            // a register or built-in of its own
    POSITION_TAKES_ITS_SLOTS,  // one of the registers, wherever it stands in the list
    POSITION_KEEPS_ITS_PLACE,  // its place in the location numbering stays unused
};

// How the outputs' slots are counted.
enum Counting {
    COUNT_SLOTS,       // one per vector and per matrix column, as the translators assign them
    COUNT_COMPONENTS,  // GL drivers pack varyings
    COUNT_ES_ROWS,     // GLSL ES places varyings in rows of four by a fixed packing
    COUNT_PACKED,      // shader model 4 and later compilers pack vectors into shared registers
};

// What a target, or the level its text is compiled for, passes from the vertex to the pixel
// stage.
struct InterpolatorLimit {
    const char* scope;  // "target" or "level"
    const char* name;   // the target's or the level's name
    const char* unit;
    int32_t capacity;
    const char* colorUnit;  // colours' own registers, when they have any; else null
    int32_t colorCapacity;
    Counting counting;
    PositionUse position;
};

InterpolatorLimit TargetLimit(TargetFlags target, const char* unit, int32_t capacity, Counting counting,
                              PositionUse position) {
    return InterpolatorLimit{"target", GetTargetName(target), unit, capacity, nullptr, 0, counting, position};
}

InterpolatorLimit LevelLimit(VariantFlags variant, int32_t capacity) {
    return InterpolatorLimit{"level",      GetVariantName(variant), "registers", capacity, nullptr, 0,
                             COUNT_PACKED, POSITION_TAKES_ITS_SLOTS};
}

// HLSL11's text is compiled for each requested level, or for shader model 3 without one; the
// smallest of them decides. Level 9_1 reads texture coordinates and colours from registers of
// their own by semantic index: TEXCOORD0 to 7 and COLOR0 and 1. Shader model 3 has ten input
// registers in the pixel stage, the position apart; Direct3D 10 passes 16 registers and
// Direct3D 11 32, the position's among them, into which the compiler packs vectors of fewer
// than four components side by side (two 2-vectors in one register).
InterpolatorLimit HLSL11Limit(VariantFlags variants) {
    if ((variants & VARIANT_HLSL11_LOW) != 0) {
        return InterpolatorLimit{"level",
                                 GetVariantName(VARIANT_HLSL11_LOW),
                                 "TEXCOORD registers",
                                 8,
                                 "COLOR registers",
                                 2,
                                 COUNT_SLOTS,
                                 POSITION_APART};
    }
    if ((variants & VARIANT_HLSL11_DEFAULT) != 0) {
        return LevelLimit(VARIANT_HLSL11_DEFAULT, 16);
    }
    if ((variants & VARIANT_HLSL11_XBOX) != 0) {
        return LevelLimit(VARIANT_HLSL11_XBOX, 32);
    }
    return TargetLimit(TARGET_HLSL11, "registers", 10, COUNT_SLOTS, POSITION_APART);
}

// The least every implementation of the target offers: ESSL 1.00's eight varying vectors and
// GLSL 1.20's 32 varying floats; ESSL 3.00's fifteen varying vectors and GL 3.2's 60 varying
// components (GL 3.1 has 64); Vulkan's 64 vertex-output components, locations 0 to 15;
// Direct3D 12's 32 registers, the position's among them, which PSSL is held to as well.
InterpolatorLimit LimitOf(TargetFlags target, VariantFlags variants) {
    switch (target) {
        case TARGET_ESSL20:
            return TargetLimit(target, "varying vectors", 8, COUNT_ES_ROWS, POSITION_APART);
        case TARGET_GLSL21:
            return TargetLimit(target, "components", 32, COUNT_COMPONENTS, POSITION_APART);
        case TARGET_ESSL30:
            return TargetLimit(target, "varying vectors", 15, COUNT_ES_ROWS, POSITION_APART);
        case TARGET_GLSL31:
            return TargetLimit(target, "components", 60, COUNT_COMPONENTS, POSITION_APART);
        case TARGET_HLSL9:
            return TargetLimit(target, "registers", 10, COUNT_SLOTS, POSITION_APART);
        case TARGET_HLSL11:
            return HLSL11Limit(variants);
        case TARGET_SPIRV:
            return TargetLimit(target, "locations", 16, COUNT_SLOTS, POSITION_KEEPS_ITS_PLACE);
        default:  // HLSL12, PSSL
            return TargetLimit(target, "registers", 32, COUNT_PACKED, POSITION_TAKES_ITS_SLOTS);
    }
}

int32_t ComponentCount(const Type& type) {
    return type.matrixSize > 0 ? type.matrixSize * type.matrixSize : type.vectorSize;
}

// The outputs counted so far against one kind of interpolator.
struct SlotCount {
    int32_t used = 0;                          // slots, components or registers
    int32_t rowsOfWidth[5] = {0, 0, 0, 0, 0};  // rows of 1 to 4 components (vectors, matrix columns)
    int32_t matrix2Rows = 0;                   // GLSL ES: the rows of 2x2 matrices
};

// The fewest registers of four components the rows fit in, however the compiler arranges them:
// a row of three or four components takes one of its own, a single component fills the fourth
// beside three, and pairs and the other singles share the rest. Counting no more than the
// compiler can need refuses no output it would place.
int32_t FewestRegisters(const int32_t* rowsOfWidth) {
    const int32_t singlesLeft = rowsOfWidth[1] > rowsOfWidth[3] ? rowsOfWidth[1] - rowsOfWidth[3] : 0;
    return rowsOfWidth[4] + rowsOfWidth[3] + (2 * rowsOfWidth[2] + singlesLeft + 3) / 4;
}

// Whether GLSL ES's packing places the varyings in its rows of four. Vectors and matrix columns
// of three and four components take a row each from the top, as 2x2 matrices' columns do in the
// first two components; 2-vectors take the rows left, two to a row, and the last two components
// beside the 2x2 matrices; single floats any free component. Whatever it places every driver
// links; past that one offering no more rows than the least may refuse the program.
bool FitsESRows(const SlotCount& count, int32_t rows) {
    const int32_t rowsTaken = count.rowsOfWidth[4] + count.rowsOfWidth[3] + count.matrix2Rows;
    return rowsTaken <= rows && count.rowsOfWidth[2] <= 2 * (rows - rowsTaken) + count.matrix2Rows &&
           count.used <= 4 * rows;
}

// The components of one row an output takes: a vector's, or a matrix column's.
int32_t RowWidth(const Type& type) {
    const int32_t width = type.matrixSize > 0 ? type.matrixSize : type.vectorSize;
    return width >= 1 && width <= 4 ? width : 4;
}

// Adds an output's slots; false when the outputs so far need more than the capacity.
bool AddSlots(SlotCount& count, Counting counting, int32_t capacity, const Type& type) {
    switch (counting) {
        case COUNT_COMPONENTS:
            return (count.used += ComponentCount(type)) <= capacity;
        case COUNT_ES_ROWS:
            count.used += ComponentCount(type);
            if (type.matrixSize == 2) {
                count.matrix2Rows += 2;
            } else {
                count.rowsOfWidth[RowWidth(type)] += StageVariableSlotCount(type);
            }
            return FitsESRows(count, capacity);
        case COUNT_PACKED:
            count.rowsOfWidth[RowWidth(type)] += StageVariableSlotCount(type);
            return (count.used = FewestRegisters(count.rowsOfWidth)) <= capacity;
        default:
            return (count.used += StageVariableSlotCount(type)) <= capacity;
    }
}

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

// Reports an output at the place where the stage's source first uses it. The place is not looked
// for once the log drops its lines: a document with thousands of outputs past the limit would
// otherwise search the tree once for each.
void ReportOutput(State& state, int32_t stage, const StageVariable& output, const String& message) {
    const Node* place =
        state.workingLog.IsFull()
            ? nullptr
            : PlaceOfOutput(state.analyzer, stage == STAGE_VERTEX ? "output" : "input", output.name.CStr());
    state.workingLog.AddPositionalError(state.analyzer.CurrentFileName(), place != nullptr ? place->line : 0,
                                        place != nullptr ? place->column : 0, message.CStr());
}

// Each output is refused with which the outputs so far, in list order (the order the translators
// number them in), need more than the interpolators offer.
bool CheckInterpolatorLimit(State& state, int32_t stage, TargetFlags target) {
    const InterpolatorLimit limit = LimitOf(target, state.request.variants);
    SlotCount slots;
    SlotCount colors;
    if (limit.position == POSITION_TAKES_ITS_SLOTS) {
        for (const StageVariable& output : state.description.vertexOutputs) {
            if (output.semantic == kPositionSemantic) {
                AddSlots(slots, limit.counting, limit.capacity, output.type);
            }
        }
    }
    bool ok = true;
    for (const StageVariable& output : state.description.vertexOutputs) {
        if (output.semantic == kPositionSemantic) {
            if (limit.position == POSITION_KEEPS_ITS_PLACE) {
                AddSlots(slots, limit.counting, limit.capacity, output.type);
            }
            continue;
        }
        const bool ownColors = limit.colorUnit != nullptr && output.semantic == kColorSemantic;
        const int32_t capacity = ownColors ? limit.colorCapacity : limit.capacity;
        if (AddSlots(ownColors ? colors : slots, limit.counting, capacity, output.type)) {
            continue;
        }
        const String typeName = FormatTypeName(output.type, false);
        ReportOutput(state, stage, output,
                     String::FromFormat("vertex output '%s' of type '%s' goes past the %i %s of %s '%s'.",
                                        output.name.CStr(), typeName.CStr(), capacity,
                                        ownColors ? limit.colorUnit : limit.unit, limit.scope, limit.name));
        ok = false;
    }
    return ok;
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
        const String typeName = FormatTypeName(output.type, false);
        ReportOutput(
            state, stage, output,
            String::FromFormat("vertex output '%s' of type '%s' cannot pass between stages on target '%s'.",
                               output.name.CStr(), typeName.CStr(), GetTargetName(target)));
        ok = false;
    }
    return CheckInterpolatorLimit(state, stage, target) && ok;
}

}  // namespace ShaderTool
