// The semantic analyzer: owns the syntax tree of the source being analysed, the name tables the
// tree refers to, the built-in function and operator tables, and the tokenizer the parser reads.
// Declaration, expression and stage checks live in their own files and work on this object.
#pragma once

#include <cstdarg>
#include <cstdint>

#include "foundation/Array.h"
#include "foundation/Compiler.h"
#include "foundation/String.h"
#include "shadertool/Builtins.h"
#include "shadertool/MessageLog.h"
#include "shadertool/Operators.h"
#include "shadertool/ShaderDescription.h"
#include "shadertool/ShaderType.h"
#include "shadertool/Symbols.h"
#include "shadertool/SyntaxTree.h"
#include "shadertool/Tokenizer.h"

namespace ShaderTool {

// A source position as the tokenizer reports it for a token's first character.
struct SourcePosition {
    int32_t column;
    int32_t line;
};

class SemanticAnalyzer {
public:
    Symbol* currentFunction;        // the function being defined, null outside a definition
    BuiltinFunctionLists builtins;  // general list (fixed) and the stage's list (per source)
    VariableNode* placeholder;      // `_dummy`: both operands of a failed member access
    FunctionTable functions;        // function key to entry
    MessageLog* messageLog;         // not owned
    OperatorTable operators;        // signatures per operator id
    Array<Node*> nodes;             // every node of this source, in creation order
    DeclarationNode* root;          // the translation unit's block
    const ShaderDescription* description;
    StructTable structs;
    Array<VariableNode*> symbols;  // visible variables, oldest first
    Array<int32_t> scopes;         // per open scope: how many symbols it pushed
    Tokenizer tokenizer;
    Array<String> pendingOutputs;  // vertex outputs not assigned yet
    int32_t returnCount;           // return statements seen in the current function
    int32_t stage;                 // Stage
    uint8_t success;               // 1 until the first error of the source

    explicit SemanticAnalyzer(MessageLog* log);
    ~SemanticAnalyzer();
    SemanticAnalyzer(const SemanticAnalyzer&) = delete;
    SemanticAnalyzer& operator=(const SemanticAnalyzer&) = delete;

    // Forgets the previous source: frees every node, empties the tables and stacks, reopens the
    // global scope and sets the success flag.
    void Reset();

    // Starts a source: reset, the stage's built-ins, the function table, the placeholder and the
    // tokenizer over the source's text.
    void BeginStage(const ShaderDescription* shaderDescription, const ShaderSource& source);
    // Declares the stage blocks and their members from the description.
    void DeclareStageVariables(const ShaderDescription& shaderDescription);
    // After the parse: main must exist, referenced functions must be defined.
    void CheckFunctionDefinitions();
    // Enters a function prototype or the start of a definition into the function table.
    void DeclareFunction(Symbol* function, bool isDefinition);

    // Appends "%s(%i:%i) error: %s\n" to the log and clears the success flag.
    void ReportError(SourcePosition position, const char* format, ...) ZQ_PRINTF_LIKE(3, 4);
    void ReportErrorAt(const Node* node, const char* format, ...) ZQ_PRINTF_LIKE(3, 4);
    // The file messages name: the tokenizer's, which follows the preprocessor's line markers.
    const char* CurrentFileName() const;
    // Where the token read last starts.
    SourcePosition CurrentPosition() const;

private:
    void ReportErrorV(SourcePosition position, const char* format, va_list args);
};

// Node factories. Each links the new node onto the analyzer's node list, which owns it.
DeclarationNode* CreateDeclaration(SemanticAnalyzer& analyzer, int32_t declarationKind);
OperationNode* CreateOperation(SemanticAnalyzer& analyzer, int32_t operatorId, SourcePosition position);
// kind: TYPE_BOOL, TYPE_FLOAT, TYPE_INT or TYPE_UINT. A float's text gets an "f" unless it
// already ends in "f" or "F".
LiteralNode* CreateLiteral(SemanticAnalyzer& analyzer, int32_t kind, const char* text,
                           SourcePosition position);
VariableNode* CreateVariable(SemanticAnalyzer& analyzer, const Type& type, const char* name,
                             SourcePosition position);
// No position; a name of more than 127 characters becomes empty.
VariableNode* CreateVariableNamed(SemanticAnalyzer& analyzer, const Type& type, const char* name);
// A function (NODE_FUNCTION) or call (NODE_CALL) with an empty parameter or argument block.
Symbol* CreateSymbolNode(SemanticAnalyzer& analyzer, int32_t kind, const char* name, SourcePosition position);
Symbol* CreateConstructorCall(SemanticAnalyzer& analyzer, const Type& type, int32_t functionId,
                              SourcePosition position);
// A null body becomes an empty braced block.
LoopNode* CreateLoop(SemanticAnalyzer& analyzer, int32_t loopKind, Node* init, Node* condition, Node* step,
                     Node* body);
JumpNode* CreateJump(SemanticAnalyzer& analyzer, int32_t statementId, Node* operand, SourcePosition position);
IfNode* CreateIf(SemanticAnalyzer& analyzer, Node* condition, Node* thenBranch, Node* elseBranch,
                 SourcePosition position);
// Appends child to a block or declaration; null children are skipped.
void AppendChild(DeclarationNode* parent, Node* child);

// Scopes and symbols.
void PushScope(SemanticAnalyzer& analyzer);
void PopScope(SemanticAnalyzer& analyzer);
// Declares a variable in the innermost scope; a name visible in any open scope is refused.
void AddSymbol(SemanticAnalyzer& analyzer, VariableNode* variable);
// Declares without looking for an earlier symbol of the same name (the stage blocks).
void PushSymbol(SemanticAnalyzer& analyzer, VariableNode* variable);
VariableNode* FindSymbol(const SemanticAnalyzer& analyzer, const char* name);
MemberTable* FindStruct(const SemanticAnalyzer& analyzer, const char* name);
// The member's Type; kind none when the struct or the member is unknown.
Type FindStructMember(const SemanticAnalyzer& analyzer, const char* structName, const char* memberName);
// Every function-table entry whose function has the name, in table order.
void FindFunctionsByName(SemanticAnalyzer& analyzer, const char* name, Array<FunctionEntry*>* found);

}  // namespace ShaderTool
