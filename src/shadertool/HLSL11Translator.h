// The HLSL target for Direct3D 11 (shader model 4/5), the one the engine compiles at run time:
// a constant buffer, texture objects with sampler states sampled through methods, and
// system-value semantics. HLSL12Translator and the PSSL translator build on it.
#pragma once

#include <cstdint>

#include "foundation/Array.h"
#include "foundation/String.h"
#include "shadertool/HLSL9Translator.h"

namespace ShaderTool {

class HLSL11Translator : public HLSL9Translator {
public:
    const char* blockKeyword;          // keyword of the constant block: "cbuffer"
    Array<String> comparisonTextures;  // textures the stage samples with a comparison
    uint8_t registerFlag;              // constant blocks get a register clause

    explicit HLSL11Translator(MessageLog* messageLog);
    ~HLSL11Translator() override;

    void Reset() override;
    void WritePrologue() override;
    void WriteFunctionCall(Symbol* call) override;
    void WriteBinaryExpression(OperationNode* operation) override;
    void WriteConstantDeclarations(const Array<ShaderVariable>& constants) override;
    bool WriteBuiltinVariable(const char* member) override;
    bool WriteBlockMemberAccess(OperationNode* access) override;
    void WriteTextureDeclarations() override;
    // The texture method a sampling function calls; "" for any other function.
    virtual const char* GetSampleMethodName(int32_t functionId);  // 31

protected:
    // The facing, instance and vertex id inputs, read from the input structure's members that
    // members declares (by pending slot); false for any other name.
    bool WriteSystemValueInput(const char* member, const char* const members[PENDING_COUNT]);
    // The sampler declaration of a texture: a comparison sampler when the stage compares with it.
    const char* SamplerTypeOf(const char* textureName) const;

private:
    void WriteSampleCall(Symbol* call);
};

}  // namespace ShaderTool
