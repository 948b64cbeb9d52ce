// The built-in functions of the shading language: type constructors and intrinsics, registered
// once, and the per-stage functions (sampling, ray tracing, image stores), registered per source.
#pragma once

#include <cstdint>

#include "foundation/Array.h"
#include "shadertool/ShaderType.h"
#include "shadertool/SyntaxTree.h"

namespace ShaderTool {

// The two lists of built-in function symbols. Each symbol owns its parameter block and the
// parameter nodes in it; the lists free them (a Symbol copy never does).
struct BuiltinFunctionLists {
    Array<Symbol> general;  // constructors and intrinsics, filled once
    Array<Symbol> stage;    // the current source's stage functions

    BuiltinFunctionLists() {}
    ~BuiltinFunctionLists();
    BuiltinFunctionLists(const BuiltinFunctionLists&) = delete;
    BuiltinFunctionLists& operator=(const BuiltinFunctionLists&) = delete;
};

// The scalar of a kind: what a bare kind stands for in the registration tables.
Type ScalarType(int32_t kind);
Type VectorType(int32_t kind, int32_t vectorSize);

// Empties both lists and fills the general list with the 241 constructor and intrinsic overloads.
void RegisterBuiltinFunctions(BuiltinFunctionLists* lists);
// Appends the built-ins of the stage to the stage list; stages without any add nothing.
void RegisterStageFunctions(BuiltinFunctionLists* lists, int32_t stage);

// Appends one overload: a function symbol with the return type, the id, one unnamed parameter
// node per type, and its function key. Returns the stored symbol.
Symbol* AddBuiltinFunction(Array<Symbol>* list, const char* name, int32_t functionId, const Type& returnType,
                           const Type* parameters, int32_t parameterCount);
// The same with count parameters of one type.
Symbol* AddBuiltinFunctionRepeated(Array<Symbol>* list, const char* name, int32_t functionId,
                                   const Type& returnType, const Type& parameter, int32_t count);

// Frees every symbol's parameter nodes and block; the list keeps its storage.
void ClearFunctionList(Array<Symbol>* list);

}  // namespace ShaderTool
