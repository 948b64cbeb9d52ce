// Arithmetic, comparison and logic of directive expressions over preprocessor values. Ints
// compute in 32 bits with wrap-around; any float operand makes the operation a float one.
#pragma once

#include <cstdint>

#include "shadertool/preprocessor/PreprocessorValue.h"

namespace ShaderTool {

enum ExpressionOperator : int32_t {
    EXPRESSION_LOGICAL_OR,
    EXPRESSION_LOGICAL_AND,
    EXPRESSION_EQUAL,
    EXPRESSION_NOT_EQUAL,
    EXPRESSION_LESS,
    EXPRESSION_GREATER,
    EXPRESSION_LESS_EQUAL,
    EXPRESSION_GREATER_EQUAL,
    EXPRESSION_ADD,
    EXPRESSION_SUBTRACT,
    EXPRESSION_MULTIPLY,
    EXPRESSION_DIVIDE,
    EXPRESSION_NEGATE,       // unary -
    EXPRESSION_LOGICAL_NOT,  // unary !
};

enum EvaluationStatus : int32_t {
    EVALUATION_OK,
    EVALUATION_TEXT_OPERAND,      // an operand was text: the result is int 0
    EVALUATION_DIVISION_BY_ZERO,  // integer division by 0: the result is int 0
};

// Binding strength of a binary operator: || 1, && 2, == != 3, < > <= >= 4, + - 5, * / 6.
int32_t GetOperatorPrecedence(int32_t op);

EvaluationStatus ApplyUnaryOperator(int32_t op, const PreprocessorValue& operand, PreprocessorValue* result);
EvaluationStatus ApplyBinaryOperator(int32_t op, const PreprocessorValue& left,
                                     const PreprocessorValue& right, PreprocessorValue* result);

}  // namespace ShaderTool
