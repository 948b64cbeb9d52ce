// Member access (struct members and vector swizzles) and indexing (arrays, vectors, matrices
// and buffers).
#include <cstring>

#include "shadertool/ExpressionTyping.h"

namespace ShaderTool {

namespace {

// 1-based component a swizzle letter needs (x/r 1 .. w/a 4), and which letter set it is from.
bool SwizzleLetter(char letter, int32_t* component, int32_t* set) {
    static const char kPosition[] = "xyzw";
    static const char kColour[] = "rgba";
    for (int32_t i = 0; i < 4; ++i) {
        if (letter == kPosition[i]) {
            *component = i + 1;
            *set = 1;
            return true;
        }
        if (letter == kColour[i]) {
            *component = i + 1;
            *set = 2;
            return true;
        }
    }
    return false;
}

Type PlaceholderType(const SemanticAnalyzer& analyzer) {
    if (analyzer.placeholder != nullptr) {
        return analyzer.placeholder->type;
    }
    return Type(TYPE_INT, 1, QUALIFIER_CONST);
}

// The element of a buffer: the operand's kind, vector size and qualifier, not constant; still a
// buffer when the operand was an array of buffers.
Type BufferElementType(const Type& buffer) {
    Type element(buffer.kind, buffer.vectorSize, buffer.qualifiers);
    element.isBuffer = buffer.arraySize != 0 ? 1 : 0;
    return element;
}

}  // namespace

Type SwizzleType(const Type& operand, const char* letters, bool* repeats) {
    *repeats = false;
    const size_t count = letters != nullptr ? strlen(letters) : 0;
    if (count < 1 || count > 4) {
        return Type();
    }
    int32_t set = 0;
    int32_t largestNeed = 0;
    bool seen[5] = {false, false, false, false, false};
    for (size_t i = 0; i < count; ++i) {
        int32_t component = 0;
        int32_t letterSet = 0;
        if (!SwizzleLetter(letters[i], &component, &letterSet)) {
            return Type();
        }
        if (set != 0 && letterSet != set) {
            return Type();  // x y z w and r g b a do not mix
        }
        set = letterSet;
        if (seen[component]) {
            *repeats = true;
        }
        seen[component] = true;
        largestNeed = component > largestNeed ? component : largestNeed;
    }
    if (largestNeed > operand.vectorSize) {
        *repeats = false;
        return Type();
    }
    return Type(operand.kind, static_cast<int32_t>(count), operand.qualifiers);
}

Type MemberAccessType(SemanticAnalyzer& analyzer, const Node* operand, const char* member, bool* repeats) {
    *repeats = false;
    const Type operandType = NodeTypeOf(operand);
    Type result;
    if (operandType.kind == TYPE_STRUCT) {
        result = FindStructMember(analyzer, operandType.name.CStr(), member);
    } else if (operandType.vectorSize < 2) {
        return Type();
    } else {
        result = SwizzleType(operandType, member, repeats);
    }
    if (result.kind != TYPE_NONE) {
        result.isConstant = operandType.isConstant;
    }
    return result;
}

OperationNode* ResolveMemberAccess(SemanticAnalyzer& analyzer, Node* operand, const char* member,
                                   SourcePosition period) {
    OperationNode* node = CreateOperation(analyzer, OP_MEMBER, period);
    bool repeats = false;
    const Type result = MemberAccessType(analyzer, operand, member, &repeats);
    if (result.kind != TYPE_NONE) {
        node->left = operand;
        node->right = CreateVariableNamed(analyzer, result, member);
        node->type = result;
        if (repeats) {
            node->flags |= NODE_FLAG_REPEATED_SWIZZLE;
        }
        return node;
    }
    // Both operands become the placeholder so that the tree stays complete and later checks
    // see an int rather than cascading on a missing type.
    node->left = analyzer.placeholder;
    node->right = analyzer.placeholder;
    node->type = PlaceholderType(analyzer);
    const Type operandType = NodeTypeOf(operand);
    if (operandType.kind != TYPE_NONE) {
        analyzer.ReportError(period, "'%s' has no member '%s'.", FormatTypeName(operandType, false).CStr(),
                             member);
    }
    return node;
}

OperationNode* ResolveIndex(SemanticAnalyzer& analyzer, Node* operand, Node* index, SourcePosition bracket) {
    OperationNode* node = CreateOperation(analyzer, OP_INDEX, bracket);
    const Type operandType = NodeTypeOf(operand);
    if (operandType.isBuffer == 0) {
        if (operandType.arraySize != 0) {
            node->left = operand;
            node->right = index;
            node->type = operandType;
            node->type.arraySize = 0;
        } else {
            ResolveOperator(analyzer, node, operand, index, false, false);
        }
        return node;
    }
    node->left = operand;
    node->right = index;
    node->type = BufferElementType(operandType);
    if (operandType.isIndexBuffer != 0) {
        if (operandType.arraySize == 0) {
            analyzer.ReportErrorAt(node,
                                   "buffers of type 'INDEX' must be accessed via loadIndices() "
                                   "only.");
        } else {
            node->type.isIndexBuffer = 1;
        }
    }
    return node;
}

}  // namespace ShaderTool
