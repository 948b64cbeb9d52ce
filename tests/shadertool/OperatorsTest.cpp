// The operator signature table and operator resolution with its implicit conversions.
#include <gtest/gtest.h>

#include <string>

#include "TreeDump.h"
#include "shadertool/Analyzer.h"
#include "shadertool/ExpressionTyping.h"
#include "shadertool/Operators.h"

using namespace ShaderTool;

namespace {

struct CountCase {
    int32_t id;
    int32_t count;
};

TEST(OperatorTable, HoldsTheSignatureCountOfEveryOperator) {
    OperatorTable table;
    BuildOperatorTable(&table);
    ASSERT_EQ(OPERATOR_COUNT, table.count);
    const CountCase cases[] = {
        {OP_BIT_NOT, 8},
        {OP_PARENTHESES, 0},
        {OP_LOGICAL_NOT, 1},
        {OP_NEGATE, 11},
        {OP_UNARY_PLUS, 4},
        {OP_POST_DECREMENT, 15},
        {OP_POST_INCREMENT, 15},
        {OP_PRE_DECREMENT, 15},
        {OP_PRE_INCREMENT, 15},
        {OP_ADD, 39},
        {OP_ASSIGN, 16},
        {OP_ADD_ASSIGN, 27},
        {OP_AND_ASSIGN, 8},
        {OP_DIVIDE_ASSIGN, 27},
        {OP_LEFT_SHIFT_ASSIGN, 8},
        {OP_MODULO_ASSIGN, 14},
        {OP_MULTIPLY_ASSIGN, 30},
        {OP_OR_ASSIGN, 8},
        {OP_RIGHT_SHIFT_ASSIGN, 8},
        {OP_SUBTRACT_ASSIGN, 27},
        {OP_XOR_ASSIGN, 8},
        {OP_BIT_AND, 8},
        {OP_BIT_OR, 8},
        {OP_BIT_XOR, 8},
        {OP_DIVIDE, 36},
        {OP_EQUAL, 16},
        {OP_GREATER, 3},
        {OP_GREATER_EQUAL, 3},
        {OP_LEFT_SHIFT, 8},
        {OP_LESS, 3},
        {OP_LESS_EQUAL, 3},
        {OP_LOGICAL_AND, 1},
        {OP_LOGICAL_OR, 1},
        {OP_MEMBER, 0},
        {OP_MODULO, 14},
        {OP_MULTIPLY, 42},
        {OP_NOT_EQUAL, 16},
        {OP_RIGHT_SHIFT, 8},
        {OP_INDEX, 24},
        {OP_SUBTRACT, 39},
        {OP_CONDITIONAL, 16},
        {OP_BRANCHES, 16},
    };
    int32_t total = 0;
    for (const CountCase& c : cases) {
        EXPECT_EQ(c.count, table[c.id].count) << GetOperatorText(c.id) << " (" << c.id << ")";
        total += table[c.id].count;
    }
    EXPECT_EQ(577, total);
}

TEST(OperatorTable, UnaryOperatorsHaveAVoidSecondOperand) {
    OperatorTable table;
    BuildOperatorTable(&table);
    const int32_t unary[] = {OP_BIT_NOT,    OP_LOGICAL_NOT,    OP_NEGATE,
                             OP_UNARY_PLUS, OP_POST_DECREMENT, OP_PRE_INCREMENT};
    for (int32_t id : unary) {
        for (const OperatorSignature& signature : table[id]) {
            EXPECT_EQ(TYPE_VOID, signature.secondOperand.kind);
            EXPECT_EQ(1, signature.secondOperand.vectorSize);
            EXPECT_NE(TYPE_UINT, id == OP_NEGATE ? signature.firstOperand.kind : TYPE_NONE);
        }
    }
}

Type T(int32_t kind, int32_t size = 1) {
    return Type(kind, size);
}
Type M(int32_t size) {
    return Type::Matrix(size);
}

struct ResolveCase {
    const char* what;
    int32_t op;
    Type left;
    Type right;  // kind none: a unary operator
    bool assignment;
    const char* result;  // "none" when no signature fits
};

class OperatorResolution : public ::testing::Test {
protected:
    MessageLog log;
    SemanticAnalyzer analyzer{&log};

    OperationNode* Resolve(int32_t op, const Type& left, const Type& right, bool assignment) {
        const SourcePosition at = {1, 1};
        Node* leftNode = CreateVariable(analyzer, left, "a", at);
        Node* rightNode = right.kind == TYPE_NONE ? nullptr : CreateVariable(analyzer, right, "b", at);
        OperationNode* node = CreateOperation(analyzer, op, at);
        ResolveOperator(analyzer, node, leftNode, rightNode, assignment, false);
        return node;
    }
};

TEST_F(OperatorResolution, TakesTheFirstSignatureTheOperandsFit) {
    const ResolveCase cases[] = {
        {"int + int", OP_ADD, T(TYPE_INT), T(TYPE_INT), false, "int"},
        {"int + uint", OP_ADD, T(TYPE_INT), T(TYPE_UINT), false, "uint"},
        {"uint + float", OP_ADD, T(TYPE_UINT), T(TYPE_FLOAT), false, "float"},
        {"float2x2 * float2", OP_MULTIPLY, M(2), T(TYPE_FLOAT, 2), false, "none"},
        {"float2 * float2x2", OP_MULTIPLY, T(TYPE_FLOAT, 2), M(2), false, "float2"},
        {"float / float3x3", OP_DIVIDE, T(TYPE_FLOAT), M(3), false, "none"},
        {"float3x3 / float", OP_DIVIDE, M(3), T(TYPE_FLOAT), false, "float3x3"},
        {"float + float3x3", OP_ADD, T(TYPE_FLOAT), M(3), false, "float3x3"},
        {"int * float3", OP_MULTIPLY, T(TYPE_INT), T(TYPE_FLOAT, 3), false, "float3"},
        {"float2 + float3", OP_ADD, T(TYPE_FLOAT, 2), T(TYPE_FLOAT, 3), false, "none"},
        {"-uint converts to float", OP_NEGATE, T(TYPE_UINT), Type(), false, "float"},
        {"+float", OP_UNARY_PLUS, T(TYPE_FLOAT), Type(), false, "none"},
        {"~float", OP_BIT_NOT, T(TYPE_FLOAT), Type(), false, "none"},
        {"float2 < float2", OP_LESS, T(TYPE_FLOAT, 2), T(TYPE_FLOAT, 2), false, "none"},
        {"float2 == float2", OP_EQUAL, T(TYPE_FLOAT, 2), T(TYPE_FLOAT, 2), false, "bool"},
        {"float3x3[int]", OP_INDEX, M(3), T(TYPE_INT), false, "float3"},
        {"int3[uint]", OP_INDEX, T(TYPE_INT, 3), T(TYPE_UINT), false, "int"},
        {"float4 %= float", OP_MODULO_ASSIGN, T(TYPE_FLOAT, 4), T(TYPE_FLOAT), true, "none"},
        {"int4 %= int", OP_MODULO_ASSIGN, T(TYPE_INT, 4), T(TYPE_INT), true, "int4"},
        {"bool && int", OP_LOGICAL_AND, T(TYPE_BOOL), T(TYPE_INT), false, "none"},
        {"int = float keeps the target", OP_ASSIGN, T(TYPE_INT), T(TYPE_FLOAT), true, "none"},
        {"float = int converts the value", OP_ASSIGN, T(TYPE_FLOAT), T(TYPE_INT), true, "float"},
        {"uint <<= int", OP_LEFT_SHIFT_ASSIGN, T(TYPE_UINT), T(TYPE_INT), true, "uint"},
        {"bool ? float3", OP_CONDITIONAL, T(TYPE_BOOL), T(TYPE_FLOAT, 3), false, "float3"},
        {"float2 *= float2x2", OP_MULTIPLY_ASSIGN, T(TYPE_FLOAT, 2), M(2), true, "float2"},
        {"float2x2 += float", OP_ADD_ASSIGN, M(2), T(TYPE_FLOAT), true, "float2x2"},
    };
    for (const ResolveCase& c : cases) {
        log.Clear();
        const OperationNode* node = Resolve(c.op, c.left, c.right, c.assignment);
        EXPECT_EQ(c.result, ShaderToolTest::DescribeType(node->type)) << c.what;
        const bool refused = std::string(c.result) == "none";
        EXPECT_EQ(refused, log.hasErrors != 0) << c.what << ": " << log.text.CStr();
        if (refused) {
            // No source has begun, so messages name no file.
            EXPECT_EQ(std::string("(1:1) error: no operator '") + GetOperatorText(c.op) +
                          "' matches the operands.\n",
                      log.text.CStr())
                << c.what;
            EXPECT_EQ(nullptr, node->left) << c.what;
        }
    }
}

TEST_F(OperatorResolution, ConvertsAVariableOperandThroughAFloatConstructor) {
    const OperationNode* node = Resolve(OP_ADD, T(TYPE_INT), T(TYPE_FLOAT), false);
    ASSERT_NE(nullptr, node->left);
    ASSERT_EQ(NODE_CALL, node->left->kind);
    const Symbol* call = static_cast<const Symbol*>(node->left);
    EXPECT_EQ(CONSTRUCTOR_FLOAT, call->functionId);
    EXPECT_STREQ("float", call->name.CStr());
    EXPECT_EQ(1, call->isBuiltin);
    ASSERT_EQ(1, GetParameterBlock(*call)->children.count);
    EXPECT_EQ(NODE_VARIABLE, GetParameterBlock(*call)->children[0]->kind);
    EXPECT_EQ(NODE_VARIABLE, node->right->kind);
}

TEST_F(OperatorResolution, ResultIsConstantOnlyWhenEveryOperandIs) {
    Type constantInt = T(TYPE_INT);
    constantInt.isConstant = 1;
    EXPECT_EQ(1, Resolve(OP_ADD, constantInt, constantInt, false)->type.isConstant);
    EXPECT_EQ(0, Resolve(OP_ADD, constantInt, T(TYPE_INT), false)->type.isConstant);
    EXPECT_EQ(1, Resolve(OP_NEGATE, constantInt, Type(), false)->type.isConstant);
    // A constant converted through a constructor stays constant.
    Type constantFloat = T(TYPE_FLOAT);
    constantFloat.isConstant = 1;
    const OperationNode* mixed = Resolve(OP_ADD, constantInt, constantFloat, false);
    EXPECT_EQ(1, mixed->type.isConstant);
    EXPECT_EQ(1, GetNodeType(mixed->left)->isConstant);
}

TEST_F(OperatorResolution, ResultTakesTheLeftOperandsQualifiers) {
    Type constFloat = T(TYPE_FLOAT);
    constFloat.qualifiers = QUALIFIER_CONST;
    EXPECT_EQ(QUALIFIER_CONST, Resolve(OP_ADD, constFloat, T(TYPE_FLOAT), false)->type.qualifiers);
    EXPECT_EQ(0u, Resolve(OP_ADD, T(TYPE_FLOAT), constFloat, false)->type.qualifiers);
}

}  // namespace
