// The operator signature table, filled once when the analyzer is constructed. Mixed component
// kinds never appear here: operands reach a signature only through the implicit conversions.
#include "shadertool/Operators.h"

#include "shadertool/SyntaxTree.h"

namespace ShaderTool {

namespace {

Type Vec(int32_t kind, int32_t size) {
    return Type(kind, size);
}
Type Scalar(int32_t kind) {
    return Type(kind, 1);
}
Type Void() {
    return Type(TYPE_VOID, 1);
}

// bool, int, uint, float, int2..int4, uint2..uint4, float2..float4, float2x2..float4x4.
void AllTypes(Array<Type>* out, bool withBool) {
    if (withBool) {
        out->Push(Scalar(TYPE_BOOL));
    }
    out->Push(Scalar(TYPE_INT));
    out->Push(Scalar(TYPE_UINT));
    out->Push(Scalar(TYPE_FLOAT));
    const int32_t vectorKinds[3] = {TYPE_INT, TYPE_UINT, TYPE_FLOAT};
    for (int32_t kind : vectorKinds) {
        for (int32_t size = 2; size <= 4; ++size) {
            out->Push(Vec(kind, size));
        }
    }
    for (int32_t size = 2; size <= 4; ++size) {
        out->Push(Type::Matrix(size));
    }
}

// int, uint, int2..int4, uint2..uint4.
void IntegerTypes(Array<Type>* out) {
    out->Push(Scalar(TYPE_INT));
    out->Push(Scalar(TYPE_UINT));
    for (int32_t size = 2; size <= 4; ++size) {
        out->Push(Vec(TYPE_INT, size));
    }
    for (int32_t size = 2; size <= 4; ++size) {
        out->Push(Vec(TYPE_UINT, size));
    }
}

// int, float, int2..int4, float2..float4, float2x2..float4x4: what negation applies to.
void SignedTypes(Array<Type>* out) {
    out->Push(Scalar(TYPE_INT));
    out->Push(Scalar(TYPE_FLOAT));
    for (int32_t size = 2; size <= 4; ++size) {
        out->Push(Vec(TYPE_INT, size));
    }
    for (int32_t size = 2; size <= 4; ++size) {
        out->Push(Vec(TYPE_FLOAT, size));
    }
    for (int32_t size = 2; size <= 4; ++size) {
        out->Push(Type::Matrix(size));
    }
}

// T (T) for every listed type.
void AddUnary(OperatorTable* table, int32_t id, const Array<Type>& types) {
    for (const Type& type : types) {
        AddOperatorSignature(table, id, type, type, Void());
    }
}

// T = (T, T) for every listed type.
void AddSameType(OperatorTable* table, int32_t id, const Array<Type>& types) {
    for (const Type& type : types) {
        AddOperatorSignature(table, id, type, type, type);
    }
}

// bool = (T, T) for every listed type.
void AddComparison(OperatorTable* table, int32_t id, const Array<Type>& types) {
    for (const Type& type : types) {
        AddOperatorSignature(table, id, Scalar(TYPE_BOOL), type, type);
    }
}

// Arithmetic (compound == false) and compound-assignment (compound == true) families. The
// compound form drops the signatures whose target would be the scalar of a vector or matrix.
void AddArithmetic(OperatorTable* table, int32_t id, bool compound, bool vectorMatrixProducts,
                   bool scalarTimesMatrix) {
    const int32_t kinds[3] = {TYPE_INT, TYPE_UINT, TYPE_FLOAT};
    for (int32_t kind : kinds) {
        AddOperatorSignature(table, id, Scalar(kind), Scalar(kind), Scalar(kind));
    }
    for (int32_t kind : kinds) {
        for (int32_t size = 2; size <= 4; ++size) {
            const Type vector = Vec(kind, size);
            if (!compound) {
                AddOperatorSignature(table, id, vector, Scalar(kind), vector);
            }
            AddOperatorSignature(table, id, vector, vector, Scalar(kind));
            AddOperatorSignature(table, id, vector, vector, vector);
            if (vectorMatrixProducts && kind == TYPE_FLOAT) {
                AddOperatorSignature(table, id, vector, vector, Type::Matrix(size));
            }
        }
    }
    for (int32_t size = 2; size <= 4; ++size) {
        const Type matrix = Type::Matrix(size);
        if (!compound && scalarTimesMatrix) {
            AddOperatorSignature(table, id, matrix, Scalar(TYPE_FLOAT), matrix);
        }
        AddOperatorSignature(table, id, matrix, matrix, Scalar(TYPE_FLOAT));
        AddOperatorSignature(table, id, matrix, matrix, matrix);
    }
}

// Integer remainder, plain or compound: the signatures are the same.
void AddRemainder(OperatorTable* table, int32_t id) {
    AddOperatorSignature(table, id, Scalar(TYPE_INT), Scalar(TYPE_INT), Scalar(TYPE_INT));
    AddOperatorSignature(table, id, Scalar(TYPE_UINT), Scalar(TYPE_UINT), Scalar(TYPE_UINT));
    const int32_t kinds[2] = {TYPE_INT, TYPE_UINT};
    for (int32_t kind : kinds) {
        for (int32_t size = 2; size <= 4; ++size) {
            const Type vector = Vec(kind, size);
            AddOperatorSignature(table, id, vector, vector, Scalar(kind));
            AddOperatorSignature(table, id, vector, vector, vector);
        }
    }
}

// element = (indexable, int), element = (indexable, uint) for vectors and matrices.
void AddIndexing(OperatorTable* table) {
    const int32_t kinds[3] = {TYPE_INT, TYPE_UINT, TYPE_FLOAT};
    Array<Type> indexables;
    for (int32_t kind : kinds) {
        for (int32_t size = 2; size <= 4; ++size) {
            indexables.Push(Vec(kind, size));
        }
    }
    for (int32_t size = 2; size <= 4; ++size) {
        indexables.Push(Type::Matrix(size));
    }
    for (const Type& indexable : indexables) {
        const Type element =
            indexable.matrixSize > 0 ? Vec(TYPE_FLOAT, indexable.matrixSize) : Scalar(indexable.kind);
        AddOperatorSignature(table, OP_INDEX, element, indexable, Scalar(TYPE_INT));
        AddOperatorSignature(table, OP_INDEX, element, indexable, Scalar(TYPE_UINT));
    }
}

void AddConditional(OperatorTable* table, const Array<Type>& allTypes) {
    for (const Type& type : allTypes) {
        AddOperatorSignature(table, OP_CONDITIONAL, type, Scalar(TYPE_BOOL), type);
    }
    AddSameType(table, OP_BRANCHES, allTypes);
}

}  // namespace

void AddOperatorSignature(OperatorTable* table, int32_t operatorId, const Type& result, const Type& first,
                          const Type& second) {
    if (operatorId < 0 || operatorId >= table->count) {
        return;
    }
    OperatorSignature signature;
    signature.firstOperand = first;
    signature.secondOperand = second;
    signature.result = result;
    (*table)[operatorId].Push(signature);
}

void BuildOperatorTable(OperatorTable* table) {
    table->Clear();
    table->Reserve(OPERATOR_COUNT);
    for (int32_t id = 0; id < OPERATOR_COUNT; ++id) {
        table->Push(Array<OperatorSignature>());
        (*table)[id].Clear();  // a reused slot may hold an older array's elements
    }

    Array<Type> allTypes, nonBoolTypes, integerTypes, signedTypes, intTypes, orderedScalars;
    AllTypes(&allTypes, true);
    AllTypes(&nonBoolTypes, false);
    IntegerTypes(&integerTypes);
    SignedTypes(&signedTypes);
    intTypes.Push(Scalar(TYPE_INT));
    for (int32_t size = 2; size <= 4; ++size) {
        intTypes.Push(Vec(TYPE_INT, size));
    }
    orderedScalars.Push(Scalar(TYPE_INT));
    orderedScalars.Push(Scalar(TYPE_UINT));
    orderedScalars.Push(Scalar(TYPE_FLOAT));

    AddUnary(table, OP_BIT_NOT, integerTypes);
    AddOperatorSignature(table, OP_LOGICAL_NOT, Scalar(TYPE_BOOL), Scalar(TYPE_BOOL), Void());
    AddUnary(table, OP_NEGATE, signedTypes);
    AddUnary(table, OP_UNARY_PLUS, intTypes);
    AddUnary(table, OP_POST_DECREMENT, nonBoolTypes);
    AddUnary(table, OP_POST_INCREMENT, nonBoolTypes);
    AddUnary(table, OP_PRE_DECREMENT, nonBoolTypes);
    AddUnary(table, OP_PRE_INCREMENT, nonBoolTypes);

    AddSameType(table, OP_ASSIGN, allTypes);
    const int32_t bitwiseAssignments[] = {OP_AND_ASSIGN, OP_LEFT_SHIFT_ASSIGN, OP_OR_ASSIGN,
                                          OP_RIGHT_SHIFT_ASSIGN, OP_XOR_ASSIGN};
    for (int32_t id : bitwiseAssignments) {
        AddSameType(table, id, integerTypes);
    }
    const int32_t bitwiseOperators[] = {OP_BIT_AND, OP_BIT_OR, OP_BIT_XOR, OP_LEFT_SHIFT, OP_RIGHT_SHIFT};
    for (int32_t id : bitwiseOperators) {
        AddSameType(table, id, integerTypes);
    }
    AddComparison(table, OP_EQUAL, allTypes);
    AddComparison(table, OP_NOT_EQUAL, allTypes);
    const int32_t orderings[] = {OP_GREATER, OP_GREATER_EQUAL, OP_LESS, OP_LESS_EQUAL};
    for (int32_t id : orderings) {
        AddComparison(table, id, orderedScalars);
    }
    const Type boolean = Scalar(TYPE_BOOL);
    AddOperatorSignature(table, OP_LOGICAL_AND, boolean, boolean, boolean);
    AddOperatorSignature(table, OP_LOGICAL_OR, boolean, boolean, boolean);
    AddConditional(table, allTypes);
    AddIndexing(table);

    AddArithmetic(table, OP_ADD, false, false, true);
    AddArithmetic(table, OP_SUBTRACT, false, false, true);
    AddArithmetic(table, OP_MULTIPLY, false, true, true);
    AddArithmetic(table, OP_DIVIDE, false, false, false);
    AddRemainder(table, OP_MODULO);
    AddArithmetic(table, OP_ADD_ASSIGN, true, false, false);
    AddArithmetic(table, OP_DIVIDE_ASSIGN, true, false, false);
    AddArithmetic(table, OP_SUBTRACT_ASSIGN, true, false, false);
    AddArithmetic(table, OP_MULTIPLY_ASSIGN, true, true, false);
    AddRemainder(table, OP_MODULO_ASSIGN);
}

}  // namespace ShaderTool
