// The HLSL family's base and the shader model 3 target. HLSL9Translator holds what every
// HLSL-shaped target shares: the "main" wrapper over input and output structures with semantics,
// constant names, block member access, matrix products, conversion casts and "static" globals.
// What only shader model 3 writes (global constants, samplers with the tex functions, the
// level-of-detail rewrite, VFACE) is here too; HLSL11Translator overrides it for model 4/5.
#pragma once

#include <cstdint>

#include "shadertool/Translator.h"

namespace ShaderTool {

class HLSL9Translator : public Translator {
public:
    const char* pixelInputPositionSemantic;    // semantic of the pixel input's position member
    const char* pixelOutputSemantic;           // base of the pixel outputs' semantics
    const char* vertexOutputPositionSemantic;  // semantic of the vertex output's position member
    // Members that the built-in variables used by the body need: the facing input (pixel input),
    // then the instance and vertex ids (vertex input); null when not needed.
    enum { PENDING_FACING = 0, PENDING_INSTANCE_ID = 1, PENDING_VERTEX_ID = 2, PENDING_COUNT = 3 };
    const char* pendingBuiltins[PENDING_COUNT];
    const Array<TextureVariable>* pixelTextures;  // the pixel stage's textures, else null
    // Whether the reciprocal-dimension constant of a texture position has been declared.
    enum { RECIPROCAL_TEXTURE_COUNT = 8 };
    uint8_t reciprocalDeclared[RECIPROCAL_TEXTURE_COUNT];

    explicit HLSL9Translator(MessageLog* messageLog);

    void Reset() override;
    void GetFunctionName(String& name, const Symbol& call) override;
    void SetShaderDescription(const ShaderDescription& shaderDescription) override;
    void WriteFunctionCall(Symbol* call) override;
    void WriteFunctionDefinition(Symbol* function) override;
    void WriteBinaryExpression(OperationNode* operation) override;
    void WriteInterfaceDeclarations(const ShaderDescription& shaderDescription) override;
    void WriteVariableReference(VariableNode* variable) override;
    void WriteVariableDeclaration(DeclarationNode* declaration) override;

    // The family's operations, in their fixed order after the base's.
    virtual void WriteBufferDeclarations(const ShaderDescription& shaderDescription);      // 21
    virtual bool GetBufferName(const char* member);                                        // 22
    virtual void WriteRayTextureDeclarations(const ShaderDescription& shaderDescription);  // 23
    virtual void WriteConstantDeclarations(const Array<ShaderVariable>& constants);        // 24
    virtual void WriteImageDeclarations(const ShaderDescription& shaderDescription);       // 25
    virtual bool GetImageName(const char* member);                                         // 26
    // The text of `input.member`; false lets the caller write the access as it stands.
    virtual bool WriteBuiltinVariable(const char* member);  // 27
    virtual void WriteEntryPoint(Symbol* main);             // 28
    // Accesses of the stage blocks; false lets the caller write the access as it stands.
    virtual bool WriteBlockMemberAccess(OperationNode* access);  // 29
    virtual void WriteTextureDeclarations();                     // 30

protected:
    // The block accesses every HLSL target shares; texturePrefix goes before a texture's name.
    bool WriteStageBlockAccess(OperationNode* access, const char* texturePrefix);
    // mul() for a product of a matrix and a vector; false when the operands are not such a pair.
    bool WriteMatrixProduct(OperationNode* operation);
    // A one-argument vector constructor that changes the vector size becomes a cast.
    bool WriteVectorCast(Symbol* call);
    void ReportUnsupportedFunction(const Symbol& call);
    void ReportUnsupportedInput(const char* member);
    // Sets a pending member declaration (the first text set for a slot stays).
    void RequireBuiltin(int32_t slot, const char* declaration);
    // Writes node, in parentheses when it is an operation that binds less tightly than "*".
    void WriteTightOperand(Node* node);
    // Index of a pixel texture by name, -1 when unknown.
    int32_t FindPixelTexture(const char* name) const;

private:
    void WriteVertexInputStructure(const ShaderDescription& shaderDescription);
    void WriteStageVariableStructure(const ShaderDescription& shaderDescription, bool pixelInput);
    void WritePixelOutputStructure(const ShaderDescription& shaderDescription);
    void WriteLevelOfDetailSample(Symbol* call);
};

}  // namespace ShaderTool
