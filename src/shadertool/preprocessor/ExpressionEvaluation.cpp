// Evaluation of directive-expression operators.
#include "shadertool/preprocessor/ExpressionEvaluation.h"

#include <climits>

namespace ShaderTool {

namespace {

PreprocessorValue Truth(bool value) {
    return PreprocessorValue::Int(value ? 1 : 0);
}

// 32-bit wrap-around arithmetic without signed overflow.
int32_t Wrap(uint32_t value) {
    return static_cast<int32_t>(value);
}

EvaluationStatus IntArithmetic(int32_t op, int32_t a, int32_t b, PreprocessorValue* result) {
    const uint32_t ua = static_cast<uint32_t>(a);
    const uint32_t ub = static_cast<uint32_t>(b);
    switch (op) {
        case EXPRESSION_ADD:
            *result = PreprocessorValue::Int(Wrap(ua + ub));
            return EVALUATION_OK;
        case EXPRESSION_SUBTRACT:
            *result = PreprocessorValue::Int(Wrap(ua - ub));
            return EVALUATION_OK;
        case EXPRESSION_MULTIPLY:
            *result = PreprocessorValue::Int(Wrap(ua * ub));
            return EVALUATION_OK;
        default:
            break;
    }
    if (b == 0) {
        *result = PreprocessorValue::Int(0);
        return EVALUATION_DIVISION_BY_ZERO;
    }
    // The one quotient that does not fit wraps around like the other operations (and would
    // otherwise trap on x86).
    *result = PreprocessorValue::Int(a == INT32_MIN && b == -1 ? INT32_MIN : a / b);
    return EVALUATION_OK;
}

PreprocessorValue FloatArithmetic(int32_t op, float a, float b) {
    switch (op) {
        case EXPRESSION_ADD:
            return PreprocessorValue::Float(a + b);
        case EXPRESSION_SUBTRACT:
            return PreprocessorValue::Float(a - b);
        case EXPRESSION_MULTIPLY:
            return PreprocessorValue::Float(a * b);
        default:
            return PreprocessorValue::Float(a / b);  // IEEE: infinity or NaN for 0 divisors
    }
}

template <typename Number>
bool Compare(int32_t op, Number a, Number b) {
    switch (op) {
        case EXPRESSION_EQUAL:
            return a == b;
        case EXPRESSION_NOT_EQUAL:
            return a != b;
        case EXPRESSION_LESS:
            return a < b;
        case EXPRESSION_GREATER:
            return a > b;
        case EXPRESSION_LESS_EQUAL:
            return a <= b;
        default:
            return a >= b;
    }
}

}  // namespace

int32_t GetOperatorPrecedence(int32_t op) {
    switch (op) {
        case EXPRESSION_LOGICAL_OR:
            return 1;
        case EXPRESSION_LOGICAL_AND:
            return 2;
        case EXPRESSION_EQUAL:
        case EXPRESSION_NOT_EQUAL:
            return 3;
        case EXPRESSION_LESS:
        case EXPRESSION_GREATER:
        case EXPRESSION_LESS_EQUAL:
        case EXPRESSION_GREATER_EQUAL:
            return 4;
        case EXPRESSION_ADD:
        case EXPRESSION_SUBTRACT:
            return 5;
        default:
            return 6;
    }
}

EvaluationStatus ApplyUnaryOperator(int32_t op, const PreprocessorValue& operand, PreprocessorValue* result) {
    if (operand.IsText()) {
        *result = PreprocessorValue::Int(0);
        return EVALUATION_TEXT_OPERAND;
    }
    if (op == EXPRESSION_LOGICAL_NOT) {
        *result = Truth(!operand.IsNonZero());
    } else if (operand.kind == PP_VALUE_FLOAT) {
        *result = PreprocessorValue::Float(-operand.floatNumber);
    } else {
        *result = PreprocessorValue::Int(Wrap(0u - static_cast<uint32_t>(operand.intNumber)));
    }
    return EVALUATION_OK;
}

EvaluationStatus ApplyBinaryOperator(int32_t op, const PreprocessorValue& left,
                                     const PreprocessorValue& right, PreprocessorValue* result) {
    if (left.IsText() || right.IsText()) {
        *result = PreprocessorValue::Int(0);
        return EVALUATION_TEXT_OPERAND;
    }
    const bool bothInt = left.kind == PP_VALUE_INT && right.kind == PP_VALUE_INT;
    switch (op) {
        case EXPRESSION_LOGICAL_OR:
            *result = Truth(left.IsNonZero() || right.IsNonZero());
            return EVALUATION_OK;
        case EXPRESSION_LOGICAL_AND:
            *result = Truth(left.IsNonZero() && right.IsNonZero());
            return EVALUATION_OK;
        case EXPRESSION_ADD:
        case EXPRESSION_SUBTRACT:
        case EXPRESSION_MULTIPLY:
        case EXPRESSION_DIVIDE:
            if (bothInt) {
                return IntArithmetic(op, left.intNumber, right.intNumber, result);
            }
            *result = FloatArithmetic(op, left.AsFloat(), right.AsFloat());
            return EVALUATION_OK;
        default:
            *result = bothInt ? Truth(Compare(op, left.intNumber, right.intNumber))
                              : Truth(Compare(op, left.AsFloat(), right.AsFloat()));
            return EVALUATION_OK;
    }
}

}  // namespace ShaderTool
