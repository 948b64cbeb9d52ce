// Registration of the built-in functions: the constructor and intrinsic overloads of the general
// list, in their fixed order, and each stage's sampling, ray-tracing and image functions.
#include "shadertool/Builtins.h"

#include <initializer_list>

namespace ShaderTool {

namespace {

// Shorthands for the parameter types of the tables below.
Type F(int32_t size = 1) {
    return VectorType(TYPE_FLOAT, size);
}
Type I(int32_t size = 1) {
    return VectorType(TYPE_INT, size);
}
Type U(int32_t size = 1) {
    return VectorType(TYPE_UINT, size);
}
Type B() {
    return ScalarType(TYPE_BOOL);
}

Type ConstTexture(int32_t dimension) {
    Type type = Type::Texture(dimension);
    type.qualifiers = QUALIFIER_CONST;
    return type;
}

Type ConstImage2D() {
    Type type = Type::Image2D();
    type.qualifiers = QUALIFIER_CONST;
    return type;
}

Symbol* Add(Array<Symbol>* list, const char* name, int32_t id, const Type& result,
            std::initializer_list<Type> parameters) {
    return AddBuiltinFunction(list, name, id, result, parameters.begin(),
                              static_cast<int32_t>(parameters.size()));
}

// The four scalar constructors of one kind: from bool, int, uint and float.
void AddScalarConstructor(Array<Symbol>* list, const char* name, int32_t id, int32_t kind) {
    const Type result = ScalarType(kind);
    Add(list, name, id, result, {B()});
    Add(list, name, id, result, {I()});
    Add(list, name, id, result, {U()});
    Add(list, name, id, result, {F()});
}

// Vector constructors of component kind k: from a scalar, from every split into scalars and
// smaller vectors that adds up, and narrowing from wider vectors of the same kind.
void AddVectorConstructors(Array<Symbol>* list, int32_t kind, const char* const names[3], int32_t firstId) {
    const Type s = VectorType(kind, 1), v2 = VectorType(kind, 2), v3 = VectorType(kind, 3),
               v4 = VectorType(kind, 4);
    // Size 2.
    Add(list, names[0], firstId, v2, {s});
    AddBuiltinFunctionRepeated(list, names[0], firstId, v2, s, 2);
    Add(list, names[0], firstId, v2, {v2});
    Add(list, names[0], firstId, v2, {v3});
    Add(list, names[0], firstId, v2, {v4});
    // Size 3.
    Add(list, names[1], firstId + 1, v3, {s});
    AddBuiltinFunctionRepeated(list, names[1], firstId + 1, v3, s, 3);
    Add(list, names[1], firstId + 1, v3, {s, v2});
    Add(list, names[1], firstId + 1, v3, {v2, s});
    Add(list, names[1], firstId + 1, v3, {v3});
    Add(list, names[1], firstId + 1, v3, {v4});
    // Size 4.
    Add(list, names[2], firstId + 2, v4, {s});
    AddBuiltinFunctionRepeated(list, names[2], firstId + 2, v4, s, 4);
    Add(list, names[2], firstId + 2, v4, {s, s, v2});
    Add(list, names[2], firstId + 2, v4, {s, v2, s});
    Add(list, names[2], firstId + 2, v4, {s, v3});
    Add(list, names[2], firstId + 2, v4, {v2, s, s});
    Add(list, names[2], firstId + 2, v4, {v2, v2});
    Add(list, names[2], firstId + 2, v4, {v3, s});
    Add(list, names[2], firstId + 2, v4, {v4});
}

void AddMatrixConstructors(Array<Symbol>* list) {
    const Type m2 = Type::Matrix(2), m3 = Type::Matrix(3), m4 = Type::Matrix(4);
    AddBuiltinFunctionRepeated(list, "float2x2", CONSTRUCTOR_FLOAT2X2, m2, F(), 4);
    AddBuiltinFunctionRepeated(list, "float2x2", CONSTRUCTOR_FLOAT2X2, m2, F(2), 2);
    Add(list, "float2x2", CONSTRUCTOR_FLOAT2X2, m2, {m2});
    Add(list, "float2x2", CONSTRUCTOR_FLOAT2X2, m2, {m3});
    Add(list, "float2x2", CONSTRUCTOR_FLOAT2X2, m2, {m4});
    AddBuiltinFunctionRepeated(list, "float3x3", CONSTRUCTOR_FLOAT3X3, m3, F(), 9);
    AddBuiltinFunctionRepeated(list, "float3x3", CONSTRUCTOR_FLOAT3X3, m3, F(3), 3);
    Add(list, "float3x3", CONSTRUCTOR_FLOAT3X3, m3, {m3});
    Add(list, "float3x3", CONSTRUCTOR_FLOAT3X3, m3, {m4});
    AddBuiltinFunctionRepeated(list, "float4x4", CONSTRUCTOR_FLOAT4X4, m4, F(), 16);
    AddBuiltinFunctionRepeated(list, "float4x4", CONSTRUCTOR_FLOAT4X4, m4, F(4), 4);
    Add(list, "float4x4", CONSTRUCTOR_FLOAT4X4, m4, {m4});
}

void AddConstructors(Array<Symbol>* list) {
    static const char* const kFloatNames[3] = {"float2", "float3", "float4"};
    static const char* const kIntNames[3] = {"int2", "int3", "int4"};
    static const char* const kUintNames[3] = {"uint2", "uint3", "uint4"};
    AddScalarConstructor(list, "bool", CONSTRUCTOR_BOOL, TYPE_BOOL);
    AddScalarConstructor(list, "float", CONSTRUCTOR_FLOAT, TYPE_FLOAT);
    AddVectorConstructors(list, TYPE_FLOAT, kFloatNames, CONSTRUCTOR_FLOAT2);
    AddMatrixConstructors(list);
    AddScalarConstructor(list, "int", CONSTRUCTOR_INT, TYPE_INT);
    AddVectorConstructors(list, TYPE_INT, kIntNames, CONSTRUCTOR_INT2);
    AddScalarConstructor(list, "uint", CONSTRUCTOR_UINT, TYPE_UINT);
    AddVectorConstructors(list, TYPE_UINT, kUintNames, CONSTRUCTOR_UINT2);
}

// T(T, ... count times) for T in float, float2, float3, float4.
void AddFloatFamily(Array<Symbol>* list, const char* name, int32_t id, int32_t count) {
    for (int32_t size = 1; size <= 4; ++size) {
        AddBuiltinFunctionRepeated(list, name, id, F(size), F(size), count);
    }
}

// float(T, ... count times) for T in float, float2, float3, float4.
void AddFloatReduction(Array<Symbol>* list, const char* name, int32_t id, int32_t count) {
    for (int32_t size = 1; size <= 4; ++size) {
        AddBuiltinFunctionRepeated(list, name, id, F(), F(size), count);
    }
}

void AddAllOrAny(Array<Symbol>* list, const char* name, int32_t id) {
    for (int32_t size = 2; size <= 4; ++size) {
        Add(list, name, id, B(), {I(size)});
    }
    for (int32_t size = 2; size <= 4; ++size) {
        Add(list, name, id, B(), {F(size)});
    }
}

void AddLerp(Array<Symbol>* list) {
    AddBuiltinFunctionRepeated(list, "lerp", FUNCTION_LERP, F(), F(), 3);
    for (int32_t size = 2; size <= 4; ++size) {
        Add(list, "lerp", FUNCTION_LERP, F(size), {F(size), F(size), F()});
        AddBuiltinFunctionRepeated(list, "lerp", FUNCTION_LERP, F(size), F(size), 3);
    }
}

void AddIntrinsics(Array<Symbol>* list) {
    AddFloatFamily(list, "abs", FUNCTION_ABS, 1);
    AddFloatFamily(list, "acos", FUNCTION_ACOS, 1);
    AddAllOrAny(list, "all", FUNCTION_ALL);
    AddAllOrAny(list, "any", FUNCTION_ANY);
    AddFloatFamily(list, "asin", FUNCTION_ASIN, 1);
    AddFloatFamily(list, "atan", FUNCTION_ATAN, 1);
    AddFloatFamily(list, "atan2", FUNCTION_ATAN2, 2);
    AddFloatFamily(list, "ceil", FUNCTION_CEIL, 1);
    AddFloatFamily(list, "clamp", FUNCTION_CLAMP, 3);
    AddFloatFamily(list, "cos", FUNCTION_COS, 1);
    AddBuiltinFunctionRepeated(list, "cross", FUNCTION_CROSS, F(3), F(3), 2);
    AddFloatFamily(list, "degrees", FUNCTION_DEGREES, 1);
    AddFloatReduction(list, "distance", FUNCTION_DISTANCE, 2);
    AddFloatReduction(list, "dot", FUNCTION_DOT, 2);
    AddFloatFamily(list, "exp", FUNCTION_EXP, 1);
    AddFloatFamily(list, "exp2", FUNCTION_EXP2, 1);
    Add(list, "floatBitsToUint", FUNCTION_FLOAT_BITS_TO_UINT, U(), {F()});
    AddFloatFamily(list, "floor", FUNCTION_FLOOR, 1);
    AddFloatFamily(list, "frac", FUNCTION_FRAC, 1);
    AddFloatReduction(list, "length", FUNCTION_LENGTH, 1);
    AddLerp(list);
    AddFloatFamily(list, "log", FUNCTION_LOG, 1);
    AddFloatFamily(list, "log2", FUNCTION_LOG2, 1);
    AddFloatFamily(list, "max", FUNCTION_MAX, 2);
    AddFloatFamily(list, "min", FUNCTION_MIN, 2);
    AddFloatFamily(list, "normalize", FUNCTION_NORMALIZE, 1);
    AddFloatFamily(list, "pow", FUNCTION_POW, 2);
    AddFloatFamily(list, "radians", FUNCTION_RADIANS, 1);
    AddFloatFamily(list, "reflect", FUNCTION_REFLECT, 2);
    AddFloatFamily(list, "rsqrt", FUNCTION_RSQRT, 1);
    AddFloatFamily(list, "saturate", FUNCTION_SATURATE, 1);
    AddFloatFamily(list, "sign", FUNCTION_SIGN, 1);
    AddFloatFamily(list, "sin", FUNCTION_SIN, 1);
    AddFloatFamily(list, "smoothstep", FUNCTION_SMOOTHSTEP, 3);
    AddFloatFamily(list, "sqrt", FUNCTION_SQRT, 1);
    AddFloatFamily(list, "step", FUNCTION_STEP, 2);
    AddFloatFamily(list, "tan", FUNCTION_TAN, 1);
    for (int32_t size = 2; size <= 4; ++size) {
        Add(list, "transpose", FUNCTION_TRANSPOSE, Type::Matrix(size), {Type::Matrix(size)});
    }
    Add(list, "unpackUnorm4ToFloat4", FUNCTION_UNPACK_UNORM4_TO_FLOAT4, F(4), {U()});
}

void AddSampleTexture(Array<Symbol>* list) {
    Add(list, "sampleTexture", FUNCTION_SAMPLE_TEXTURE, F(4), {ConstTexture(TEXTURE_DIMENSION_2D), F(2)});
    Add(list, "sampleTexture", FUNCTION_SAMPLE_TEXTURE, F(4), {ConstTexture(TEXTURE_DIMENSION_3D), F(3)});
    Add(list, "sampleTexture", FUNCTION_SAMPLE_TEXTURE, F(4), {ConstTexture(TEXTURE_DIMENSION_CUBE), F(3)});
}

// sampleTextureCompareLodZero, sampleTextureGrad, sampleTextureLod, sampleTextureLodOffset.
void AddCommonTextureSet(Array<Symbol>* list) {
    const Type t2 = ConstTexture(TEXTURE_DIMENSION_2D), t3 = ConstTexture(TEXTURE_DIMENSION_3D),
               tc = ConstTexture(TEXTURE_DIMENSION_CUBE);
    const int32_t compare = FUNCTION_SAMPLE_TEXTURE_COMPARE_LOD_ZERO;
    Add(list, "sampleTextureCompareLodZero", compare, F(), {t2, F(2), F()});
    Add(list, "sampleTextureGrad", FUNCTION_SAMPLE_TEXTURE_GRAD, F(4), {t2, F(2), F(2), F(2)});
    Add(list, "sampleTextureGrad", FUNCTION_SAMPLE_TEXTURE_GRAD, F(4), {t3, F(3), F(3), F(3)});
    Add(list, "sampleTextureGrad", FUNCTION_SAMPLE_TEXTURE_GRAD, F(4), {tc, F(3), F(3), F(3)});
    Add(list, "sampleTextureLod", FUNCTION_SAMPLE_TEXTURE_LOD, F(4), {t2, F(2), F()});
    Add(list, "sampleTextureLod", FUNCTION_SAMPLE_TEXTURE_LOD, F(4), {t3, F(3), F()});
    Add(list, "sampleTextureLod", FUNCTION_SAMPLE_TEXTURE_LOD, F(4), {tc, F(3), F()});
    const int32_t offset = FUNCTION_SAMPLE_TEXTURE_LOD_OFFSET;
    Add(list, "sampleTextureLodOffset", offset, F(4), {t2, F(2), F(), I(2)});
    Add(list, "sampleTextureLodOffset", offset, F(4), {t3, F(3), F(), I(3)});
}

void AddObjectSpaceToWorld(Array<Symbol>* list) {
    Add(list, "objectSpaceToWorld", FUNCTION_OBJECT_SPACE_TO_WORLD, F(3), {F(4)});
}

void AddLoadIndices(Array<Symbol>* list) {
    Type indexBuffer = U(3);
    indexBuffer.isBuffer = 1;
    Add(list, "loadIndices", FUNCTION_LOAD_INDICES, U(3), {indexBuffer, U()});
}

void AddTrace(Array<Symbol>* list) {
    Add(list, "trace", FUNCTION_TRACE, ScalarType(TYPE_VOID),
        {U(), U(), U(), U(), F(3), F(), F(3), F(), U()});
}

void AddStoreImage(Array<Symbol>* list) {
    Add(list, "storeImage", FUNCTION_STORE_IMAGE, ScalarType(TYPE_VOID), {ConstImage2D(), U(2), F(4)});
}

}  // namespace

Type ScalarType(int32_t kind) {
    return Type(kind, 1);
}

Type VectorType(int32_t kind, int32_t vectorSize) {
    return Type(kind, vectorSize);
}

BuiltinFunctionLists::~BuiltinFunctionLists() {
    ClearFunctionList(&general);
    ClearFunctionList(&stage);
}

Symbol* AddBuiltinFunction(Array<Symbol>* list, const char* name, int32_t functionId, const Type& returnType,
                           const Type* parameters, int32_t parameterCount) {
    DeclarationNode* block = new (std::nothrow) DeclarationNode();
    if (block == nullptr) {
        return nullptr;
    }
    for (int32_t i = 0; i < parameterCount; ++i) {
        VariableNode* parameter = new (std::nothrow) VariableNode();
        if (parameter == nullptr) {
            continue;  // out of memory: the overload loses a parameter, nothing crashes
        }
        parameter->type = parameters[i];
        block->children.Push(parameter);
    }
    Symbol symbol;
    symbol.type = returnType;
    symbol.functionId = functionId;
    symbol.children.Push(block);
    symbol.name.Assign(name);
    symbol.key = BuildFunctionKey(symbol);
    symbol.isBuiltin = 1;
    symbol.isDefinition = 1;
    const int32_t before = list->count;
    list->Push(symbol);
    if (list->count == before) {
        for (Node* parameter : block->children) {
            FreeNode(parameter);
        }
        FreeNode(block);
        return nullptr;
    }
    return &(*list)[list->count - 1];
}

Symbol* AddBuiltinFunctionRepeated(Array<Symbol>* list, const char* name, int32_t functionId,
                                   const Type& returnType, const Type& parameter, int32_t count) {
    Type parameters[16];
    if (count < 0 || count > 16) {
        return nullptr;
    }
    for (int32_t i = 0; i < count; ++i) {
        parameters[i] = parameter;
    }
    return AddBuiltinFunction(list, name, functionId, returnType, parameters, count);
}

void ClearFunctionList(Array<Symbol>* list) {
    for (Symbol& symbol : *list) {
        for (Node* child : symbol.children) {
            if (child != nullptr && child->kind == NODE_DECLARATION) {
                for (Node* parameter : static_cast<DeclarationNode*>(child)->children) {
                    FreeNode(parameter);
                }
            }
            FreeNode(child);
        }
        symbol.children.Clear();
    }
    list->Clear();
}

void RegisterBuiltinFunctions(BuiltinFunctionLists* lists) {
    ClearFunctionList(&lists->general);
    ClearFunctionList(&lists->stage);
    AddConstructors(&lists->general);
    AddIntrinsics(&lists->general);
}

void RegisterStageFunctions(BuiltinFunctionLists* lists, int32_t stage) {
    Array<Symbol>* list = &lists->stage;
    switch (stage) {
        case STAGE_PIXEL:
            AddSampleTexture(list);
            AddCommonTextureSet(list);
            break;
        case STAGE_RCHIT:
            AddCommonTextureSet(list);
            AddObjectSpaceToWorld(list);
            AddLoadIndices(list);
            AddTrace(list);
            break;
        case STAGE_RGEN:
            AddCommonTextureSet(list);
            AddLoadIndices(list);
            AddTrace(list);
            AddStoreImage(list);
            break;
        case STAGE_RMISS:
            AddCommonTextureSet(list);
            break;
        default:
            break;  // the vertex stage and unknown stages have no stage functions
    }
}

}  // namespace ShaderTool
