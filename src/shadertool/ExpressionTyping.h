// Expression typing: operators by signature lookup, assignments with their l-value rule, member
// access and swizzles, indexing, call resolution, and the implicit conversions, which are made
// explicit in the tree so that translators never have to convert.
#pragma once

#include <cstdint>

#include "shadertool/Analyzer.h"

namespace ShaderTool {

// Whether `given` fits `wanted`: same sizes, dimensions, buffer flag and struct name, no array
// unless allowed, and the same kind or (with conversions) int/uint to float or int to uint.
bool TypeMatches(const Type& wanted, const Type& given, bool conversionsAllowed, bool arraysAllowed);

// Types the operation by the first signature of its operator that the operands fit, converting
// the operands towards it; otherwise reports "no operator ... matches". right may be null.
void ResolveOperator(SemanticAnalyzer& analyzer, OperationNode* node, Node* left, Node* right,
                     bool isAssignment, bool arraysAllowed);
// The entry for every operation the grammar makes: assignments get the l-value check and the
// vertex-output tracking, everything else goes to ResolveOperator.
void CheckAssignment(SemanticAnalyzer& analyzer, OperationNode* node, Node* left, Node* right);

// The Type of operand.member: a struct member, a swizzle, or kind none. *repeats tells whether
// a swizzle names a component twice.
Type MemberAccessType(SemanticAnalyzer& analyzer, const Node* operand, const char* member, bool* repeats);
Type SwizzleType(const Type& operand, const char* letters, bool* repeats);
// Builds the member-access operation (33) at the period.
OperationNode* ResolveMemberAccess(SemanticAnalyzer& analyzer, Node* operand, const char* member,
                                   SourcePosition period);
// Builds the index operation (38) at the bracket.
OperationNode* ResolveIndex(SemanticAnalyzer& analyzer, Node* operand, Node* index, SourcePosition bracket);

// The first function-table entry whose parameters accept the call's arguments, or null.
FunctionEntry* FindMatchingFunction(SemanticAnalyzer& analyzer, Symbol* call, bool* foundByName);
void CheckCallArguments(SemanticAnalyzer& analyzer, Symbol* call, const Symbol& function);
// Resolves a finished call: the function it calls, its Type and its argument conversions.
void ResolveCall(SemanticAnalyzer& analyzer, Symbol* call);

// The node to use where `wanted` is expected: converted for int/uint to float and int to uint.
Node* ConvertIfNeeded(SemanticAnalyzer& analyzer, const Type& wanted, Node* node);
Node* ConvertNode(SemanticAnalyzer& analyzer, Node* node, const Type& wanted);

// The node's Type, or a Type of kind none for nodes that have none (and for null).
Type NodeTypeOf(const Node* node);
bool IsConstantNode(const Node* node);

}  // namespace ShaderTool
