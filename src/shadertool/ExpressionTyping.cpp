// Operator resolution and assignment checks: the first operator signature that the operands fit
// wins, and assignments must have a modifiable l-value as their target.
#include "shadertool/ExpressionTyping.h"

namespace ShaderTool {

namespace {

bool IsAssignmentOperator(int32_t id) {
    return id == OP_ASSIGN || id == OP_ADD_ASSIGN || id == OP_DIVIDE_ASSIGN || id == OP_MODULO_ASSIGN ||
           id == OP_MULTIPLY_ASSIGN || id == OP_SUBTRACT_ASSIGN;
}

bool SignatureFits(const OperatorSignature& signature, const Type& left, const Type& right, bool isAssignment,
                   bool arraysAllowed) {
    return TypeMatches(signature.firstOperand, left, !isAssignment, arraysAllowed) &&
           TypeMatches(signature.secondOperand, right, true, arraysAllowed) &&
           left.arraySize == right.arraySize;
}

// Vertex shaders must assign every output: an assignment to output.name (or to a part of it)
// takes the first pending entry of that name off the list.
void TrackOutputAssignment(SemanticAnalyzer& analyzer, Node* target) {
    if (analyzer.pendingOutputs.count == 0) {
        return;
    }
    Node* innermost = nullptr;
    Node* current = target;
    while (current != nullptr && current->kind == NODE_OPERATION) {
        innermost = current;
        current = static_cast<OperationNode*>(current)->left;
    }
    if (current == nullptr || current->kind != NODE_VARIABLE || innermost == nullptr ||
        !static_cast<VariableNode*>(current)->name.Equals("output")) {
        return;
    }
    const OperationNode* access = static_cast<OperationNode*>(innermost);
    if (access->operatorId != OP_MEMBER || access->right == nullptr || access->right->kind != NODE_VARIABLE) {
        return;
    }
    const String& member = static_cast<const VariableNode*>(access->right)->name;
    for (int32_t i = 0; i < analyzer.pendingOutputs.count; ++i) {
        if (analyzer.pendingOutputs[i].Equals(member.CStr())) {
            analyzer.pendingOutputs.RemoveAt(i);
            return;
        }
    }
}

// A target is modifiable when its type is valid and not const, and it is a variable reached
// only through parentheses, indexing and member accesses that name each component once.
bool IsModifiableLValue(const Node* target) {
    const Type type = NodeTypeOf(target);
    if (!type.IsValid() || (type.qualifiers & QUALIFIER_CONST) != 0) {
        return false;
    }
    const Node* current = target;
    while (current != nullptr && current->kind == NODE_OPERATION) {
        const OperationNode* operation = static_cast<const OperationNode*>(current);
        const bool passable =
            operation->operatorId == OP_PARENTHESES || operation->operatorId == OP_INDEX ||
            (operation->operatorId == OP_MEMBER && (operation->flags & NODE_FLAG_REPEATED_SWIZZLE) == 0);
        if (!passable) {
            return false;
        }
        current = operation->left;
    }
    return current != nullptr && current->kind == NODE_VARIABLE;
}

bool SameStructIdentity(const Type& a, const Type& b) {
    return a.name.Equals(b.name.CStr()) && a.vectorSize == b.vectorSize && a.matrixSize == b.matrixSize &&
           a.textureDimension == b.textureDimension && a.isBuffer == b.isBuffer;
}

// A plain = between two struct values. Both sides must be the same struct with the same array
// size; an array value is taken only as a declaration's initialiser list, since the targets
// cannot assign whole arrays. Any other pair is refused rather than left half-typed.
void ResolveStructAssignment(SemanticAnalyzer& analyzer, OperationNode* node, Node* left, Node* right) {
    const Type target = NodeTypeOf(left);
    const Type value = NodeTypeOf(right);
    const bool initializer = (node->flags & NODE_FLAG_INITIALIZER) != 0;
    if (SameStructIdentity(target, value) && target.arraySize == value.arraySize &&
        (value.arraySize == 0 || initializer)) {
        node->left = left;
        node->right = right;
        node->type = target;
        return;
    }
    analyzer.ReportErrorAt(node, "no operator '%s' matches the operands.", GetOperatorText(node->operatorId));
}

}  // namespace

Type NodeTypeOf(const Node* node) {
    const Type* type = GetNodeType(node);
    return type != nullptr ? *type : Type();
}

bool IsConstantNode(const Node* node) {
    const Type* type = GetNodeType(node);
    return type != nullptr && type->isConstant != 0;
}

bool TypeMatches(const Type& wanted, const Type& given, bool conversionsAllowed, bool arraysAllowed) {
    if (wanted.vectorSize != given.vectorSize || wanted.matrixSize != given.matrixSize ||
        wanted.textureDimension != given.textureDimension) {
        return false;
    }
    if (given.arraySize != 0 && !arraysAllowed) {
        return false;
    }
    if (wanted.isBuffer != given.isBuffer || !wanted.name.Equals(given.name.CStr())) {
        return false;
    }
    if (wanted.kind == given.kind) {
        return true;
    }
    if (!conversionsAllowed) {
        return false;
    }
    if (wanted.kind == TYPE_FLOAT) {
        return given.kind == TYPE_INT || given.kind == TYPE_UINT;
    }
    return wanted.kind == TYPE_UINT && given.kind == TYPE_INT;
}

void ResolveOperator(SemanticAnalyzer& analyzer, OperationNode* node, Node* left, Node* right,
                     bool isAssignment, bool arraysAllowed) {
    const Type leftType = NodeTypeOf(left);
    const Type rightType = right != nullptr ? NodeTypeOf(right) : Type(TYPE_VOID, 1);
    const int32_t id = node->operatorId;
    if (left != nullptr && id >= 0 && id < analyzer.operators.count) {
        for (const OperatorSignature& signature : analyzer.operators[id]) {
            if (!SignatureFits(signature, leftType, rightType, isAssignment, arraysAllowed)) {
                continue;
            }
            // Constness is decided on the operands as written, before any conversion wraps them.
            const bool constant = leftType.isConstant != 0 && (right == nullptr || rightType.isConstant != 0);
            node->left = ConvertIfNeeded(analyzer, signature.firstOperand, left);
            node->right =
                right != nullptr ? ConvertIfNeeded(analyzer, signature.secondOperand, right) : nullptr;
            node->type = signature.result;
            node->type.arraySize = leftType.arraySize;
            node->type.qualifiers = leftType.qualifiers;
            node->type.isConstant = constant ? 1 : 0;
            return;
        }
    }
    analyzer.ReportErrorAt(node, "no operator '%s' matches the operands.", GetOperatorText(id));
}

void CheckAssignment(SemanticAnalyzer& analyzer, OperationNode* node, Node* left, Node* right) {
    const int32_t id = node->operatorId;
    if (!IsAssignmentOperator(id)) {
        ResolveOperator(analyzer, node, left, right, false, false);
        return;
    }
    TrackOutputAssignment(analyzer, left);
    const bool initializer = (node->flags & NODE_FLAG_INITIALIZER) != 0;
    if (!initializer && !IsModifiableLValue(left)) {
        analyzer.ReportErrorAt(node, "expression must be a modifiable l-value.");
        return;
    }
    if (id != OP_ASSIGN) {
        ResolveOperator(analyzer, node, left, right, true, false);
        return;
    }
    if (NodeTypeOf(left).kind == TYPE_STRUCT && NodeTypeOf(right).kind == TYPE_STRUCT) {
        ResolveStructAssignment(analyzer, node, left, right);
        return;
    }
    ResolveOperator(analyzer, node, left, right, true, initializer);
}

}  // namespace ShaderTool
