// The desktop GLSL target of the "in"/"out" generation: stage variables are ins and outs, pixel
// outputs are named, sampling calls are the overloaded texture family, and integer remainders and
// bit-wise operators are written as they stand. ESSL30 and Vulkan GLSL build on it.
#pragma once

#include "shadertool/GLSL21Translator.h"

namespace ShaderTool {

class GLSL31Translator : public GLSL21Translator {
public:
    explicit GLSL31Translator(MessageLog* messageLog);

    void GetFunctionName(String& name, const Symbol& call) override;
    void WriteFunctionCall(Symbol* call) override;
    void WriteBinaryExpression(OperationNode* operation) override;
    bool WriteInputVariable(const char* member, const Type& type) override;
    bool WriteOutputVariable(const char* member) override;
    void WritePixelInputDeclarations(const ShaderDescription& shaderDescription) override;
    void WritePixelOutputDeclarations(const ShaderDescription& shaderDescription) override;
    void WriteVertexInputDeclarations(const ShaderDescription& shaderDescription) override;
    void WriteVertexOutputDeclarations(const ShaderDescription& shaderDescription) override;
};

}  // namespace ShaderTool
