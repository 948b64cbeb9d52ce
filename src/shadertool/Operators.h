// Operator signatures: for every operator id an ordered list of (operand, operand, result)
// types. Operator resolution takes the first signature the operands fit, so the order is part
// of the language.
#pragma once

#include <cstdint>

#include "foundation/Array.h"
#include "shadertool/ShaderType.h"

namespace ShaderTool {

struct OperatorSignature {
    Type firstOperand;   // the only operand, the left operand, the assignment's target, the
                         // indexed value or the condition
    Type secondOperand;  // the right operand; void for unary operators
    Type result;
};

// One signature array per operator id (OPERATOR_COUNT of them).
typedef Array<Array<OperatorSignature>> OperatorTable;

void AddOperatorSignature(OperatorTable* table, int32_t operatorId, const Type& result, const Type& first,
                          const Type& second);
// Makes the table's OPERATOR_COUNT arrays and fills them with the 577 signatures.
void BuildOperatorTable(OperatorTable* table);

}  // namespace ShaderTool
