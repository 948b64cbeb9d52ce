// Checks of declarations and statements, run by the parser as soon as a struct, function,
// parameter, variable, array initialiser or return statement has been read. Each reports its
// errors and still builds the node, so analysis goes on.
#pragma once

#include <cstdint>

#include "shadertool/Analyzer.h"

namespace ShaderTool {

// A struct specifier: reports repeated members and names, and registers the struct.
void DeclareStructType(SemanticAnalyzer& analyzer, const char* name, SourcePosition namePosition,
                       const DeclarationNode* members);
// A declaration that is only a type: the struct declaration node, with its members when the
// struct may be declared here.
DeclarationNode* DeclareStruct(SemanticAnalyzer& analyzer, const Type& type);
// The return type (isReturnType) or a parameter of a function.
void CheckFunctionHeader(SemanticAnalyzer& analyzer, Node* node, bool isReturnType);
// Declares a variable; returns it, or its initialising assignment when there is an initialiser.
// initializerAt is where the initialiser's text starts (a variable node's own position is its
// declaration, not the use).
Node* DeclareVariable(SemanticAnalyzer& analyzer, Type type, const char* name, SourcePosition namePosition,
                      Node* initializer, SourcePosition initializerAt, SourcePosition equals);
// Declares one more declarator of a declaration without initialiser and appends it; makes the
// variable declaration when given none.
DeclarationNode* AppendDeclarator(SemanticAnalyzer& analyzer, DeclarationNode* declaration, const Type& type,
                                  const char* name, SourcePosition namePosition);
// Array size rules, with or without an initializer list; may size an unsized array.
void CheckArrayInitializer(SemanticAnalyzer& analyzer, Type* type, DeclarationNode* list,
                           SourcePosition namePosition);
void CheckReturn(SemanticAnalyzer& analyzer, JumpNode* statement);
// if, while, do-while and for conditions must be bool, int or uint.
void CheckBooleanCondition(SemanticAnalyzer& analyzer, const Node* condition, SourcePosition position);

// The start and end of a function definition: the function table, the current function, the
// parameters' scope, the stage globals of main, and the missing-return check.
void BeginFunctionDefinition(SemanticAnalyzer& analyzer, Symbol* function);
void EndFunctionDefinition(SemanticAnalyzer& analyzer, Symbol* function, Node* body);

}  // namespace ShaderTool
