// Grammar actions: tree building for every construct, with the semantic checks called as each
// one is reduced. There is no separate analysis pass.
#include "shadertool/ParserActions.h"

#include <cstring>

#include "shadertool/DeclarationChecks.h"
#include "shadertool/ExpressionTyping.h"

namespace ShaderTool {

namespace {

const SourcePosition kNoPosition = {0, 0};

Symbol* AsSymbol(Node* node) {
    return node != nullptr && (node->kind == NODE_FUNCTION || node->kind == NODE_CALL)
               ? static_cast<Symbol*>(node)
               : nullptr;
}

DeclarationNode* AsDeclaration(Node* node, int32_t declarationKind) {
    if (node == nullptr || node->kind != NODE_DECLARATION) {
        return nullptr;
    }
    DeclarationNode* declaration = static_cast<DeclarationNode*>(node);
    return declaration->declarationKind == declarationKind ? declaration : nullptr;
}

// The variable declaration inside a declaration list's node: the node itself, or the second
// child of the block that a struct specifier with variables makes.
DeclarationNode* VariableDeclarationOf(Node* node) {
    DeclarationNode* variables = AsDeclaration(node, DECLARATION_VARIABLE);
    if (variables != nullptr) {
        return variables;
    }
    DeclarationNode* block = AsDeclaration(node, DECLARATION_BLOCK);
    if (block != nullptr && block->children.count == 2) {
        return AsDeclaration(block->children[1], DECLARATION_VARIABLE);
    }
    return nullptr;
}

// A struct specifier that also declares variables yields a block: the struct declaration
// first, so that translators declare the struct before any use of it.
Node* WithStructDeclaration(SemanticAnalyzer& analyzer, const ParserValue& declaration,
                            DeclarationNode* variables) {
    if (!declaration.specifier.fromStructSpecifier) {
        return variables;
    }
    DeclarationNode* block = CreateDeclaration(analyzer, DECLARATION_BLOCK);
    AppendChild(block, DeclareStruct(analyzer, TypeFromSpecifier(declaration.specifier)));
    AppendChild(block, variables);
    return block;
}

// Names of 128 characters or more were cut by the tokenizer; they are dropped rather than
// matched in their cut form.
const char* UsableName(const char* text) {
    return strlen(text) >= TOKEN_TEXT_MAX ? "" : text;
}

}  // namespace

Node* ActionVariableIdentifier(SemanticAnalyzer& analyzer, const ParserValue& identifier) {
    VariableNode* symbol = FindSymbol(analyzer, identifier.text);
    if (symbol != nullptr) {
        return symbol;
    }
    analyzer.ReportError(identifier.position, "undeclared identifier '%s'.", identifier.text);
    return CreateVariable(analyzer, Type(), identifier.text, identifier.position);
}

Node* ActionParentheses(SemanticAnalyzer& analyzer, Node* expression, SourcePosition position) {
    OperationNode* node = CreateOperation(analyzer, OP_PARENTHESES, position);
    node->left = expression;
    node->type = NodeTypeOf(expression);
    return node;
}

Node* ActionUnary(SemanticAnalyzer& analyzer, int32_t operatorId, Node* operand, SourcePosition position) {
    OperationNode* node = CreateOperation(analyzer, operatorId, position);
    CheckAssignment(analyzer, node, operand, nullptr);
    return node;
}

Node* ActionBinary(SemanticAnalyzer& analyzer, int32_t operatorId, Node* left, Node* right,
                   SourcePosition position) {
    OperationNode* node = CreateOperation(analyzer, operatorId, position);
    CheckAssignment(analyzer, node, left, right);
    return node;
}

Node* ActionConditional(SemanticAnalyzer& analyzer, Node* condition, Node* whenTrue, Node* whenFalse,
                        SourcePosition question, SourcePosition colon) {
    OperationNode* branches = CreateOperation(analyzer, OP_BRANCHES, colon);
    CheckAssignment(analyzer, branches, whenTrue, whenFalse);
    OperationNode* node = CreateOperation(analyzer, OP_CONDITIONAL, question);
    CheckAssignment(analyzer, node, condition, branches);
    return node;
}

Node* ActionCallHeader(SemanticAnalyzer& analyzer, const ParserValue& identifier) {
    if (identifier.specifier.kind == TYPE_NONE) {
        return CreateSymbolNode(analyzer, NODE_CALL, UsableName(identifier.text), identifier.position);
    }
    return CreateConstructorCall(analyzer, TypeFromSpecifier(identifier.specifier),
                                 identifier.specifier.constructorId, identifier.position);
}

void ActionAppendArgument(Node* call, Node* argument) {
    Symbol* symbol = AsSymbol(call);
    if (symbol != nullptr) {
        AppendChild(GetParameterBlock(*symbol), argument);
    }
}

Node* ActionFunctionHeader(SemanticAnalyzer& analyzer, const ParserValue& type, const ParserValue& name) {
    Symbol* function = CreateSymbolNode(analyzer, NODE_FUNCTION, name.text, name.position);
    function->type = TypeFromSpecifier(type.specifier);
    CheckFunctionHeader(analyzer, function, true);
    return function;
}

void ActionAppendParameter(Node* function, Node* parameter) {
    ActionAppendArgument(function, parameter);
}

Node* ActionParameter(SemanticAnalyzer& analyzer, const ParserValue& type, const ParserValue& name,
                      int32_t arraySize) {
    Type parameterType = TypeFromSpecifier(type.specifier);
    parameterType.arraySize = arraySize;
    return CreateVariable(analyzer, parameterType, name.text, name.position);
}

Node* ActionUnnamedParameter(SemanticAnalyzer& analyzer, const ParserValue& type) {
    // Positioned at its type, so that messages about the parameter point somewhere useful.
    return CreateVariable(analyzer, TypeFromSpecifier(type.specifier), "", type.position);
}

void ActionCheckParameter(SemanticAnalyzer& analyzer, Node* parameter, uint32_t qualifiers) {
    Type* type = GetNodeType(parameter);
    if (type != nullptr && qualifiers != 0) {
        type->qualifiers = qualifiers;
    }
    CheckFunctionHeader(analyzer, parameter, false);
}

void ActionCheckDeclarationStatement(SemanticAnalyzer& analyzer, Node* declaration) {
    if (declaration != nullptr && declaration->kind == NODE_FUNCTION) {
        analyzer.ReportErrorAt(declaration, "local function declarations are not allowed.");
    }
}

void ActionDeclareVariable(SemanticAnalyzer& analyzer, ParserValue* declaration, const ParserValue& name,
                           const ParserValue* initializer, SourcePosition equals) {
    const Type type = DeclaredType(*declaration);
    DeclarationNode* variables = CreateDeclaration(analyzer, DECLARATION_VARIABLE);
    variables->type = type;
    AppendChild(variables, DeclareVariable(analyzer, type, name.text, name.position,
                                           initializer ? initializer->node : nullptr,
                                           initializer ? initializer->position : kNoPosition, equals));
    declaration->node = WithStructDeclaration(analyzer, *declaration, variables);
}

void ActionDeclareArray(SemanticAnalyzer& analyzer, ParserValue* declaration, const ParserValue& name,
                        const ParserValue* list, SourcePosition equals) {
    Type type = DeclaredType(*declaration);
    CheckArrayInitializer(analyzer, &type, list ? AsDeclaration(list->node, DECLARATION_BLOCK) : nullptr,
                          name.position);
    declaration->arraySize = type.arraySize;  // an unsized array takes its list's length
    ActionDeclareVariable(analyzer, declaration, name, list, equals);
}

void ActionAppendDeclarator(SemanticAnalyzer& analyzer, ParserValue* declaration, const ParserValue& name,
                            const ParserValue* initializer, SourcePosition equals) {
    const Type type = DeclaredType(*declaration);
    DeclarationNode* variables = VariableDeclarationOf(declaration->node);
    if (initializer == nullptr) {
        DeclarationNode* target = AppendDeclarator(analyzer, variables, type, name.text, name.position);
        if (variables == nullptr) {
            variables = target;
        }
    } else {
        if (variables == nullptr) {
            variables = CreateDeclaration(analyzer, DECLARATION_VARIABLE);
            variables->type = type;
        }
        AppendChild(variables, DeclareVariable(analyzer, type, name.text, name.position, initializer->node,
                                               initializer->position, equals));
    }
    // A declaration that began as a type alone (a struct declaration) now also declares
    // variables: keep both, struct first.
    DeclarationNode* structDeclaration = AsDeclaration(declaration->node, DECLARATION_STRUCT);
    if (structDeclaration != nullptr || declaration->node == nullptr) {
        DeclarationNode* block = CreateDeclaration(analyzer, DECLARATION_BLOCK);
        AppendChild(block, structDeclaration);
        AppendChild(block, variables);
        declaration->node = block;
    }
}

Node* ActionNewBlock(SemanticAnalyzer& analyzer, Node* first) {
    DeclarationNode* block = CreateDeclaration(analyzer, DECLARATION_BLOCK);
    AppendChild(block, first);
    return block;
}

Node* ActionStructDeclarator(SemanticAnalyzer& analyzer, const ParserValue& name) {
    return CreateVariable(analyzer, Type(), UsableName(name.text), name.position);
}

void ActionStructDeclaration(const ParserValue& type, Node* declarators) {
    DeclarationNode* block = AsDeclaration(declarators, DECLARATION_BLOCK);
    if (block == nullptr) {
        return;
    }
    const Type memberType = TypeFromSpecifier(type.specifier);
    for (Node* member : block->children) {
        Type* slot = GetNodeType(member);
        if (slot != nullptr) {
            *slot = memberType;
        }
    }
}

void ActionAppendMembers(Node* list, Node* members) {
    DeclarationNode* target = AsDeclaration(list, DECLARATION_BLOCK);
    DeclarationNode* source = AsDeclaration(members, DECLARATION_BLOCK);
    if (target == nullptr || source == nullptr) {
        return;
    }
    for (Node* member : source->children) {
        AppendChild(target, member);
    }
}

void ActionStructSpecifier(SemanticAnalyzer& analyzer, ParserValue* result, const ParserValue& name,
                           Node* members) {
    DeclareStructType(analyzer, name.text, name.position, AsDeclaration(members, DECLARATION_BLOCK));
    SetStructSpecifier(result, name.text, true);
}

Node* ActionConditionDeclaration(SemanticAnalyzer& analyzer, const ParserValue& type, const ParserValue& name,
                                 const ParserValue& initializer, SourcePosition equals) {
    return DeclareVariable(analyzer, DeclaredType(type), name.text, name.position, initializer.node,
                           initializer.position, equals);
}

Node* ActionEmptyBracedBlock(SemanticAnalyzer& analyzer) {
    DeclarationNode* block = CreateDeclaration(analyzer, DECLARATION_BLOCK);
    block->braced = 1;
    return block;
}

Node* ActionBraced(Node* block) {
    DeclarationNode* declaration = AsDeclaration(block, DECLARATION_BLOCK);
    if (declaration != nullptr) {
        declaration->braced = 1;
    }
    return block;
}

Node* ActionIf(SemanticAnalyzer& analyzer, const ParserValue& condition, Node* thenBranch, Node* elseBranch,
               SourcePosition position) {
    CheckBooleanCondition(analyzer, condition.node, condition.position);
    if (thenBranch == nullptr) {
        thenBranch = ActionEmptyBracedBlock(analyzer);
    }
    return CreateIf(analyzer, condition.node, thenBranch, elseBranch, position);
}

Node* ActionJump(SemanticAnalyzer& analyzer, int32_t statementId, Node* operand, SourcePosition position) {
    JumpNode* node = CreateJump(analyzer, statementId, operand, position);
    if (statementId == STATEMENT_RETURN) {
        CheckReturn(analyzer, node);
    } else if (statementId == STATEMENT_DISCARD && analyzer.stage != STAGE_PIXEL) {
        analyzer.ReportError(position, "expression is only allowed in %s shader.", "pixel");
    }
    return node;
}

void ActionExternalDeclaration(SemanticAnalyzer& analyzer, Node* declaration, bool first) {
    if (first || analyzer.root == nullptr) {
        analyzer.root = CreateDeclaration(analyzer, DECLARATION_BLOCK);
    }
    AppendChild(analyzer.root, declaration);
}

}  // namespace ShaderTool
