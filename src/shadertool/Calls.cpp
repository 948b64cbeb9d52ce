// Call resolution and the implicit conversions. Conversions are inserted into the tree (a
// rewritten literal or a constructor call) so that translators never convert on their own.
#include <cstdlib>

#include "shadertool/ExpressionTyping.h"

namespace ShaderTool {

namespace {

bool IsConstructorId(int32_t id) {
    // The uint constructors (111-114) are not constant-folding constructors: their arguments
    // are converted like those of any other call.
    return id >= CONSTRUCTOR_BOOL && id <= CONSTRUCTOR_INT4;
}

bool NeedsConversion(const Type& wanted, const Type& given) {
    if (wanted.kind == TYPE_FLOAT) {
        return given.kind == TYPE_INT || given.kind == TYPE_UINT;
    }
    return wanted.kind == TYPE_UINT && given.kind == TYPE_INT;
}

bool ParametersAccept(const DeclarationNode* parameters, const DeclarationNode* arguments) {
    const int32_t parameterCount = parameters != nullptr ? parameters->children.count : 0;
    const int32_t argumentCount = arguments != nullptr ? arguments->children.count : 0;
    if (parameterCount != argumentCount) {
        return false;
    }
    for (int32_t i = 0; i < parameterCount; ++i) {
        if (!TypeMatches(NodeTypeOf(parameters->children[i]), NodeTypeOf(arguments->children[i]), true,
                         true)) {
            return false;
        }
    }
    return true;
}

// The float constructor of a vector size: float, float2, float3, float4.
int32_t FloatConstructorId(int32_t vectorSize) {
    return (vectorSize >= 1 && vectorSize <= 4) ? CONSTRUCTOR_FLOAT + vectorSize - 1 : CONSTRUCTOR_NONE;
}

// An integer literal's value: decimal, hexadecimal after 0x, octal after a leading 0; a
// suffix ends the digits.
double IntegerLiteralValue(const char* text) {
    return static_cast<double>(strtoull(text, nullptr, 0));
}

}  // namespace

FunctionEntry* FindMatchingFunction(SemanticAnalyzer& analyzer, Symbol* call, bool* foundByName) {
    Array<FunctionEntry*> candidates;
    FindFunctionsByName(analyzer, call->name.CStr(), &candidates);
    *foundByName = candidates.count > 0;
    const DeclarationNode* arguments = GetParameterBlock(*call);
    for (FunctionEntry* candidate : candidates) {
        if (ParametersAccept(GetParameterBlock(*candidate->function), arguments)) {
            return candidate;
        }
    }
    return nullptr;
}

void CheckCallArguments(SemanticAnalyzer& analyzer, Symbol* call, const Symbol& function) {
    DeclarationNode* arguments = GetParameterBlock(*call);
    const DeclarationNode* parameters = GetParameterBlock(function);
    const bool constructor = IsConstructorId(call->functionId);
    if (arguments != nullptr && parameters != nullptr && !constructor) {
        for (int32_t i = 0; i < arguments->children.count && i < parameters->children.count; ++i) {
            const Type wanted = NodeTypeOf(parameters->children[i]);
            if (NeedsConversion(wanted, NodeTypeOf(arguments->children[i]))) {
                arguments->children[i] = ConvertNode(analyzer, arguments->children[i], wanted);
            }
        }
    }
    bool constant = constructor;
    if (constructor && arguments != nullptr) {
        for (const Node* argument : arguments->children) {
            constant = constant && IsConstantNode(argument);
        }
    }
    call->type.isConstant = constant ? 1 : 0;

    const int32_t argumentCount = arguments != nullptr ? arguments->children.count : 0;
    if (call->functionId == FUNCTION_LOAD_INDICES &&
        (argumentCount == 0 || NodeTypeOf(arguments->children[0]).isIndexBuffer == 0)) {
        analyzer.ReportErrorAt(call,
                               "the first argument of loadIndices() must be a buffer of type "
                               "'INDEX'.");
    }
    if (call->functionId == FUNCTION_TRACE &&
        (argumentCount == 0 || arguments->children[argumentCount - 1]->kind != NODE_LITERAL)) {
        analyzer.ReportErrorAt(call, "the last argument of trace() must be a literal.");
    }
}

void ResolveCall(SemanticAnalyzer& analyzer, Symbol* call) {
    bool foundByName = false;
    FunctionEntry* entry = FindMatchingFunction(analyzer, call, &foundByName);
    if (entry == nullptr) {
        if (foundByName) {
            analyzer.ReportErrorAt(call, "no instance of function '%s' matches the argument list.",
                                   call->name.CStr());
        } else {
            analyzer.ReportErrorAt(call, "undeclared function '%s'.", call->name.CStr());
        }
        return;
    }
    const Symbol& function = *entry->function;
    if (function.isBuiltin) {
        call->functionId = function.functionId;
        call->isBuiltin = 1;
    } else {
        entry->referenced = 1;
    }
    call->type = function.type;
    CheckCallArguments(analyzer, call, function);
}

Node* ConvertIfNeeded(SemanticAnalyzer& analyzer, const Type& wanted, Node* node) {
    if (node == nullptr || !NeedsConversion(wanted, NodeTypeOf(node))) {
        return node;
    }
    return ConvertNode(analyzer, node, wanted);
}

Node* ConvertNode(SemanticAnalyzer& analyzer, Node* node, const Type& wanted) {
    if (node == nullptr || wanted.kind != TYPE_FLOAT) {
        return node;  // int to uint keeps the node: the targets convert those bit patterns alike
    }
    if (node->kind == NODE_LITERAL) {
        LiteralNode* literal = static_cast<LiteralNode*>(node);
        literal->value = String::FromFormat("%ff", IntegerLiteralValue(literal->value.CStr()));
        literal->type = wanted;
        literal->type.isConstant = 1;  // a literal stays a constant expression
        return literal;
    }
    const bool constant = IsConstantNode(node);
    SourcePosition position = {node->column, node->line};
    Symbol* call = CreateConstructorCall(analyzer, wanted, FloatConstructorId(wanted.vectorSize), position);
    AppendChild(GetParameterBlock(*call), node);
    // The wrapper carries the converted type, so that anything reading it later sees a float.
    call->type = wanted;
    call->type.isConstant = constant ? 1 : 0;
    return call;
}

}  // namespace ShaderTool
