// The PSSL target of the PlayStation consoles, vertex and pixel stages: HLSL11's structure-based
// program with PSSL's semantics, its "ConstantBuffer" block without register, its sampling method
// names and boolean reductions, and the vertex colour read in blue-green-red-alpha order on
// __PROSPERO__.
#pragma once

#include "foundation/String.h"
#include "shadertool/HLSL11Translator.h"

namespace ShaderTool {

class PSSLTranslator : public HLSL11Translator {
public:
    String colorInputName;  // the vertex stage's first COLOR input, else empty

    explicit PSSLTranslator(MessageLog* messageLog);

    void Reset() override;
    void SetShaderDescription(const ShaderDescription& shaderDescription) override;
    void WriteFunctionCall(Symbol* call) override;
    bool WriteBuiltinVariable(const char* member) override;
    const char* GetSampleMethodName(int32_t functionId) override;
};

}  // namespace ShaderTool
