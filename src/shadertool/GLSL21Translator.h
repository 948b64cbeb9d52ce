// The OpenGL family's base and the desktop GLSL 1.20 target. There is no entry-point wrapper: the
// user's "main" stays as written, and every access to a stage block (input, output, constants,
// texture) becomes a global with a fixed prefix ("_in_", "_vary_", "_out_", "_const_", "_tex_")
// or a built-in variable. Inputs are attributes and varyings, the pixel output gl_FragColor.
// ESSL20, GLSL31, ESSL30 and Vulkan GLSL build on it. No translator of the family writes a
// version directive: whoever compiles the text chooses the version.
#pragma once

#include <cstdint>

#include "foundation/Array.h"
#include "foundation/String.h"
#include "shadertool/Translator.h"

namespace ShaderTool {

class GLSL21Translator : public Translator {
public:
    String positionOutputName;              // the vertex output of kind position, else empty
    Array<const char*> requiredExtensions;  // "#extension" lines the body needs, in order
    uint8_t viewportUniformUsed;            // the body reads the pixel position

    explicit GLSL21Translator(MessageLog* messageLog);
    ~GLSL21Translator() override;

    void Reset() override;
    void GetFunctionName(String& name, const Symbol& call) override;
    void GetTypeName(String& name, const Type& type) override;
    void WritePrologue() override;
    void SetShaderDescription(const ShaderDescription& shaderDescription) override;
    void WriteInitializer(OperationNode* assignment) override;
    void WriteFunctionCall(Symbol* call) override;
    void WriteBinaryExpression(OperationNode* operation) override;
    void WriteInterfaceDeclarations(const ShaderDescription& shaderDescription) override;

    // The family's operations, in their fixed order after the base's. The name operations and
    // the input and output writers append to the body and return true when they handled the
    // name; false lets the caller write the access as it stands.
    virtual void WriteBufferDeclarations(const ShaderDescription& shaderDescription);      // 21
    virtual bool GetBufferName(const char* member);                                        // 22
    virtual void WriteRayTextureDeclarations(const ShaderDescription& shaderDescription);  // 23
    // pushConstantOffset: where the list lies in the push constants, -1 when it does not.
    virtual void WriteConstantDeclarations(const Array<ShaderVariable>& constants,
                                           int32_t pushConstantOffset);                      // 24
    virtual bool GetConstantName(const char* member);                                        // 25
    virtual void WriteImageDeclarations(const ShaderDescription& shaderDescription);         // 26
    virtual bool GetImageName(const char* member);                                           // 27
    virtual bool WriteInputVariable(const char* member, const Type& type);                   // 28
    virtual bool WriteBlockMemberAccess(OperationNode* access);                              // 29
    virtual bool WriteOutputVariable(const char* member);                                    // 30
    virtual void WritePixelInputDeclarations(const ShaderDescription& shaderDescription);    // 31
    virtual void WritePixelOutputDeclarations(const ShaderDescription& shaderDescription);   // 32
    virtual void WriteSamplerDeclarations(const ShaderDescription& shaderDescription);       // 33
    virtual bool GetTextureName(const char* member);                                         // 34
    virtual void WriteVertexInputDeclarations(const ShaderDescription& shaderDescription);   // 35
    virtual void WriteVertexOutputDeclarations(const ShaderDescription& shaderDescription);  // 36

protected:
    // Adds an "#extension" line for the prologue, once.
    void RequireExtension(const char* name);
    void ReportUnsupportedFunction(const Symbol& call);
    // A blank line before a group of declarations, unless the group is the first.
    void BeginDeclarationGroup();
    // Puts text in front of the declarations (the prologues, written last).
    void PrependDeclarations(const char* text, int32_t length);
    // "<qualifier> <type> _vary_<name>" for every vertex output but the position; with newGroup
    // a blank line goes before them when they are not the first declarations. With flatIntegers an
    // integer variable is "flat": integers cannot be interpolated.
    void DeclareStageVariables(const ShaderDescription& shaderDescription, const char* qualifier,
                               bool newGroup, bool flatIntegers);
    // "flat " for an integer stage variable, else "".
    static const char* IntegerInterpolation(const Type& type);
    // "<qualifier> <type> _in_<name>" for every vertex input, integer inputs as float vectors.
    void DeclareVertexInputs(const ShaderDescription& shaderDescription, const char* qualifier);
    // The index of the first vertex output of kind position, -1 when there is none.
    static int32_t PositionOutputIndex(const ShaderDescription& shaderDescription);

private:
    void WriteBooleanReduction(Symbol* call);
    void WriteSaturate(Symbol* call);
    void WriteModulo(OperationNode* operation);
};

}  // namespace ShaderTool
