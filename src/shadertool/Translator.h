// The base of every target translator: walks an analysed syntax tree and writes it as target text
// in the syntax all the targets share (declarations, expressions and statements, indented with
// tabs). Each target overrides the operations where its language differs: type and function
// names, interface blocks, prologue. The compile driver resets a translator, sets its fields and
// the description, writes the tree's root, then asks for the interface declarations and the
// prologue; the result is the declarations text followed by the body text.
#pragma once

#include <cstdint>

#include "foundation/Compiler.h"
#include "foundation/String.h"
#include "foundation/StringMap.h"
#include "shadertool/MessageLog.h"
#include "shadertool/ShaderDescription.h"
#include "shadertool/ShaderType.h"
#include "shadertool/SyntaxTree.h"
#include "shadertool/TextBuilder.h"

namespace ShaderTool {

// Nesting of expressions and statements beyond which a tree is refused rather than written: the
// writers recurse once per level, and a generated chain of thousands of operators must not
// exhaust the stack of the thread that loads a shader.
enum { TRANSLATOR_MAX_NESTING = 1000 };

class Translator {
public:
    StringMap<const char*> renames;  // built-in function name to the target's name
    TextBuilder declarations;        // interface and prologue; emitted before the body
    MessageLog* log;                 // the driver's working log
    TextBuilder body;                // the translated statements
    int32_t depth;                   // tabs written before a statement
    const ShaderDescription* description;
    VariantFlags variants;
    TargetFlags target;  // the one target bit being written
    int32_t stage;       // Stage; STAGE_INVALID between translations
    uint32_t version;    // the description's version word
    uint8_t bitwiseOperations;
    uint8_t insideFunction;
    uint8_t success;  // cleared by any refusal: the driver then drops the output

    explicit Translator(MessageLog* messageLog);
    Translator(const Translator&) = delete;
    Translator& operator=(const Translator&) = delete;

    // The operations in their fixed order; a target names an operation by its position.
    virtual ~Translator();                                                                // 0
    virtual void Reset();                                                                 // 1
    virtual void GetFunctionName(String& name, const Symbol& call);                       // 2
    virtual void GetTypeName(String& name, const Type& type);                             // 3
    virtual void WritePrologue();                                                         // 4
    virtual void SetShaderDescription(const ShaderDescription& shaderDescription);        // 5
    virtual void WriteInitializer(OperationNode* assignment);                             // 6
    virtual void WriteFunctionCall(Symbol* call);                                         // 7
    virtual void WriteFunctionDefinition(Symbol* function);                               // 8
    virtual void WriteLoop(LoopNode* loop);                                               // 9
    virtual void WriteUnaryExpression(JumpNode* statement);                               // 10
    virtual void WriteLiteral(LiteralNode* literal);                                      // 11
    virtual void WriteBinaryExpression(OperationNode* operation);                         // 12
    virtual void WriteIfStatement(IfNode* branch);                                        // 13
    virtual void WriteInterfaceDeclarations(const ShaderDescription& shaderDescription);  // 14
    virtual void WriteStructDeclaration(DeclarationNode* declaration);                    // 15
    virtual void WriteVariableReference(VariableNode* variable);                          // 16
    virtual void WriteForStatement(LoopNode* loop);                                       // 17
    virtual void WriteVariableDeclaration(DeclarationNode* declaration);                  // 18
    virtual void WriteArrayDeclarator(DeclarationNode* declaration);                      // 19
    // A while loop's head, or (for a do-while) its tail on a line of its own.
    virtual void WriteWhileStatement(LoopNode* loop);  // 20

    // Dispatch by node kind; kinds without a writer write nothing.
    void WriteNode(Node* node);
    void WriteStatementBlock(DeclarationNode* block, bool braces);
    void WriteStatement(Node* node, bool indent, bool newline);
    // The body of an if or a loop, extra levels deeper unless it is a braced block.
    void WriteBody(Node* node, int32_t extra);
    // "const " for a const type, then the target's type name.
    void FormatDeclarationType(String& name, const Type& type);

    // The analyser's root: a statement block, or a struct or variable declaration.
    void WriteRoot(Node* root);
    // The declarations text, a line feed when it is not empty, then the body text.
    void TakeOutput(String* output);

protected:
    void Append(const char* text) { body.Append(text); }
    void WriteIndentation();
    // The elements of an initialiser list, one per line one level deeper, between open and close
    // each on a line of its own at the declaration's depth.
    void WriteInitializerElements(const DeclarationNode* list, const char* open, const char* close);
    // An error in the log ("Error: %s\n"); the translation goes on but fails.
    void ReportError(const char* format, ...) ZQ_PRINTF_LIKE(2, 3);
    // Whether a blank line separates this statement from its neighbours.
    static bool IsSpaced(const Node* statement);

private:
    bool EnterNesting();
    int32_t nesting_;  // writers active on the stack
    bool nestingReported_;
};

// The member name of an access `block.member` to one of the stage blocks (input, output,
// constants, texture, buffers, images, ray_payloads) named blockName; null for anything else.
const char* StageBlockMember(const OperationNode* access, const char* blockName);

// The name of the pixel texture an expression reads (`texture.name`, in parentheses or indexed);
// null when it reads none.
const char* TextureArgumentName(const Node* argument);

// The functions the first target of each family refuses: bit casts and packing, index loads,
// comparison sampling, image stores and ray tracing (floatBitsToUint, loadIndices,
// objectSpaceToWorld, sampleTextureCompareLodZero, storeImage, trace, unpackUnorm4ToFloat4).
bool IsBufferOrRayFunction(int32_t functionId);

// ~ & | ^ << >> and their assignments.
bool IsBitwiseOperator(int32_t operatorId);

// "2D", "3D" or "Cube": what follows "Texture" (HLSL) or "sampler" (GLSL) in the type of a
// texture of that dimension; "" for any other.
const char* TextureObjectSuffix(int32_t dimension);

// The interface locations or registers a stage variable takes: one per column of a matrix,
// one for anything else. The next variable of the same kind starts after them.
int32_t StageVariableSlotCount(const Type& type);

// The assignment of a declarator that has an initialiser, or null.
OperationNode* AsInitializerAssignment(Node* item);

// The payload slot trace() names by its last argument, a literal; -1 when it names none.
int64_t TracedPayloadSlot(const Symbol& call);

// The arguments of a call, or null.
DeclarationNode* CallArguments(const Symbol& call);

}  // namespace ShaderTool
