// The actions the grammar's reductions run: each builds the nodes of one construct and calls the
// semantic checks at once. The grammar file only wires values to these functions.
#pragma once

#include <cstdint>

#include "shadertool/Analyzer.h"
#include "shadertool/ParserValue.h"

namespace ShaderTool {

// Expressions.
Node* ActionVariableIdentifier(SemanticAnalyzer& analyzer, const ParserValue& identifier);
Node* ActionParentheses(SemanticAnalyzer& analyzer, Node* expression, SourcePosition position);
Node* ActionUnary(SemanticAnalyzer& analyzer, int32_t operatorId, Node* operand, SourcePosition position);
Node* ActionBinary(SemanticAnalyzer& analyzer, int32_t operatorId, Node* left, Node* right,
                   SourcePosition position);
Node* ActionConditional(SemanticAnalyzer& analyzer, Node* condition, Node* whenTrue, Node* whenFalse,
                        SourcePosition question, SourcePosition colon);
// function_identifier "(": a call of a named function or a constructor call.
Node* ActionCallHeader(SemanticAnalyzer& analyzer, const ParserValue& identifier);
void ActionAppendArgument(Node* call, Node* argument);

// Functions.
Node* ActionFunctionHeader(SemanticAnalyzer& analyzer, const ParserValue& type, const ParserValue& name);
void ActionAppendParameter(Node* function, Node* parameter);
Node* ActionParameter(SemanticAnalyzer& analyzer, const ParserValue& type, const ParserValue& name,
                      int32_t arraySize);
Node* ActionUnnamedParameter(SemanticAnalyzer& analyzer, const ParserValue& type);
// Applies a parameter's qualifiers (0 without) and checks the parameter.
void ActionCheckParameter(SemanticAnalyzer& analyzer, Node* parameter, uint32_t qualifiers);
// A function prototype used as a statement.
void ActionCheckDeclarationStatement(SemanticAnalyzer& analyzer, Node* declaration);

// Variable and struct declarations. `declaration` holds the declared type (specifier and array
// size) and receives the declaration node.
// initializer is null or the initialiser's value (its node and where its text starts).
void ActionDeclareVariable(SemanticAnalyzer& analyzer, ParserValue* declaration, const ParserValue& name,
                           const ParserValue* initializer, SourcePosition equals);
void ActionDeclareArray(SemanticAnalyzer& analyzer, ParserValue* declaration, const ParserValue& name,
                        const ParserValue* list, SourcePosition equals);
void ActionAppendDeclarator(SemanticAnalyzer& analyzer, ParserValue* declaration, const ParserValue& name,
                            const ParserValue* initializer, SourcePosition equals);
Node* ActionNewBlock(SemanticAnalyzer& analyzer, Node* first);
// struct_declarator: a member name without type yet.
Node* ActionStructDeclarator(SemanticAnalyzer& analyzer, const ParserValue& name);
// struct_declaration: gives every declarator of the list the member type.
void ActionStructDeclaration(const ParserValue& type, Node* declarators);
// Appends the members of a struct_declaration to the list's block.
void ActionAppendMembers(Node* list, Node* members);
void ActionStructSpecifier(SemanticAnalyzer& analyzer, ParserValue* result, const ParserValue& name,
                           Node* members);
// A condition that declares a variable: its initialising assignment.
Node* ActionConditionDeclaration(SemanticAnalyzer& analyzer, const ParserValue& type, const ParserValue& name,
                                 const ParserValue& initializer, SourcePosition equals);

// Statements.
Node* ActionEmptyBracedBlock(SemanticAnalyzer& analyzer);
Node* ActionBraced(Node* block);
Node* ActionIf(SemanticAnalyzer& analyzer, const ParserValue& condition, Node* thenBranch, Node* elseBranch,
               SourcePosition position);
Node* ActionJump(SemanticAnalyzer& analyzer, int32_t statementId, Node* operand, SourcePosition position);
void ActionExternalDeclaration(SemanticAnalyzer& analyzer, Node* declaration, bool first);

}  // namespace ShaderTool
