// The Vulkan GLSL target (named SPIRV): GLSL31's text for a GLSL-to-SPIR-V compiler, with
// explicit locations, descriptor sets and bindings, push constants, separate texture and sampler
// objects in the pixel stage, storage buffers and images, and the three ray-tracing stages
// through GL_NV_ray_tracing. Unsigned integers are allowed here.
#pragma once

#include <cstdint>

#include "shadertool/GLSL31Translator.h"

namespace ShaderTool {

class SPIRVTranslator : public GLSL31Translator {
public:
    uint8_t payloadGlobalsWritten;  // the stage's ray payload globals are in the body

    explicit SPIRVTranslator(MessageLog* messageLog);

    void Reset() override;
    void SetShaderDescription(const ShaderDescription& shaderDescription) override;
    void WriteFunctionCall(Symbol* call) override;
    void WriteFunctionDefinition(Symbol* function) override;
    void WriteBinaryExpression(OperationNode* operation) override;
    void WriteInterfaceDeclarations(const ShaderDescription& shaderDescription) override;
    void WriteBufferDeclarations(const ShaderDescription& shaderDescription) override;
    bool GetBufferName(const char* member) override;
    void WriteRayTextureDeclarations(const ShaderDescription& shaderDescription) override;
    void WriteConstantDeclarations(const Array<ShaderVariable>& constants,
                                   int32_t pushConstantOffset) override;
    void WriteImageDeclarations(const ShaderDescription& shaderDescription) override;
    bool GetImageName(const char* member) override;
    bool WriteInputVariable(const char* member, const Type& type) override;
    bool WriteBlockMemberAccess(OperationNode* access) override;
    void WritePixelInputDeclarations(const ShaderDescription& shaderDescription) override;
    void WritePixelOutputDeclarations(const ShaderDescription& shaderDescription) override;
    void WriteSamplerDeclarations(const ShaderDescription& shaderDescription) override;
    void WriteVertexInputDeclarations(const ShaderDescription& shaderDescription) override;
    void WriteVertexOutputDeclarations(const ShaderDescription& shaderDescription) override;

private:
    void DeclareLocatedStageVariables(const ShaderDescription& shaderDescription, const char* direction);
    void WritePayloadGlobals();
    void WriteLoadIndices(Symbol* call);
    void WriteSampleCall(Symbol* call);
    void WriteTrace(Symbol* call);
};

}  // namespace ShaderTool
