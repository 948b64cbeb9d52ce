// Node factories: every node of a source is made here and linked onto the analyzer's node list,
// which frees them all at the next reset. None of them reports errors.
#include <cstring>

#include "shadertool/Analyzer.h"

namespace ShaderTool {

namespace {

// Links a freshly made node onto the node list. When the list cannot grow, the node is still
// returned and leaks rather than being freed while the tree refers to it.
template <typename T>
T* Link(SemanticAnalyzer& analyzer, T* node, SourcePosition position) {
    node->column = position.column;
    node->line = position.line;
    analyzer.nodes.Push(node);
    return node;
}

const SourcePosition kNoPosition = {0, 0};

bool EndsWithFloatSuffix(const char* text) {
    const size_t length = strlen(text);
    return length > 0 && (text[length - 1] == 'f' || text[length - 1] == 'F');
}

}  // namespace

DeclarationNode* CreateDeclaration(SemanticAnalyzer& analyzer, int32_t declarationKind) {
    DeclarationNode* node = new DeclarationNode();
    node->declarationKind = declarationKind;
    return Link(analyzer, node, kNoPosition);
}

OperationNode* CreateOperation(SemanticAnalyzer& analyzer, int32_t operatorId, SourcePosition position) {
    OperationNode* node = new OperationNode();
    node->operatorId = operatorId;
    return Link(analyzer, node, position);
}

LiteralNode* CreateLiteral(SemanticAnalyzer& analyzer, int32_t kind, const char* text,
                           SourcePosition position) {
    LiteralNode* node = new LiteralNode();
    node->type = Type(kind, 1);
    node->type.isConstant = 1;
    node->value.Assign(text);
    if (kind == TYPE_FLOAT && !EndsWithFloatSuffix(text)) {
        node->value.AppendChar('f');
    }
    return Link(analyzer, node, position);
}

VariableNode* CreateVariable(SemanticAnalyzer& analyzer, const Type& type, const char* name,
                             SourcePosition position) {
    VariableNode* node = new VariableNode();
    node->type = type;
    node->name.Assign(name);
    return Link(analyzer, node, position);
}

VariableNode* CreateVariableNamed(SemanticAnalyzer& analyzer, const Type& type, const char* name) {
    const bool fits = name != nullptr && strlen(name) <= 127;
    return CreateVariable(analyzer, type, fits ? name : "", kNoPosition);
}

Symbol* CreateSymbolNode(SemanticAnalyzer& analyzer, int32_t kind, const char* name,
                         SourcePosition position) {
    Symbol* node = new Symbol();
    node->kind = kind;
    node->functionId = FUNCTION_USER;
    node->name.Assign(name);
    node->children.Push(CreateDeclaration(analyzer, DECLARATION_BLOCK));
    return Link(analyzer, node, position);
}

Symbol* CreateConstructorCall(SemanticAnalyzer& analyzer, const Type& type, int32_t functionId,
                              SourcePosition position) {
    Symbol* node = CreateSymbolNode(analyzer, NODE_CALL, FormatTypeName(type, false).CStr(), position);
    node->functionId = functionId;
    node->isBuiltin = 1;
    return node;
}

LoopNode* CreateLoop(SemanticAnalyzer& analyzer, int32_t loopKind, Node* init, Node* condition, Node* step,
                     Node* body) {
    LoopNode* node = new LoopNode();
    node->loopKind = loopKind;
    node->init = init;
    node->condition = condition;
    node->step = step;
    if (body == nullptr) {
        DeclarationNode* empty = CreateDeclaration(analyzer, DECLARATION_BLOCK);
        empty->braced = 1;
        body = empty;
    }
    node->body = body;
    return Link(analyzer, node, kNoPosition);
}

JumpNode* CreateJump(SemanticAnalyzer& analyzer, int32_t statementId, Node* operand,
                     SourcePosition position) {
    JumpNode* node = new JumpNode();
    node->statementId = statementId;
    node->operand = operand;
    return Link(analyzer, node, position);
}

IfNode* CreateIf(SemanticAnalyzer& analyzer, Node* condition, Node* thenBranch, Node* elseBranch,
                 SourcePosition position) {
    IfNode* node = new IfNode();
    node->condition = condition;
    node->thenBranch = thenBranch;
    node->elseBranch = elseBranch;
    return Link(analyzer, node, position);
}

void AppendChild(DeclarationNode* parent, Node* child) {
    if (parent != nullptr && child != nullptr) {
        parent->children.Push(child);
    }
}

}  // namespace ShaderTool
