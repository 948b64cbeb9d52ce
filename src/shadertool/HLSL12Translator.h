// The HLSL target for Direct3D 12: the HLSL11 vertex and pixel stages with register clauses, a
// root signature for the console variants, and the ray-tracing stages of DirectX Raytracing
// (closest hit, ray generation, miss) with their buffers, writable images, register spaces,
// payloads and TraceRay.
#pragma once

#include <cstdint>

#include "foundation/Array.h"
#include "foundation/String.h"
#include "shadertool/HLSL11Translator.h"

namespace ShaderTool {

class HLSL12Translator : public HLSL11Translator {
public:
    // One entry per ray payload slot; a slot without a payload has none.
    struct PayloadEntry {
        const StageVariable* payload;
        uint8_t declared;  // the stage has declared its variable (or takes it as a parameter)
    };
    Array<PayloadEntry> payloads;
    String rootSignature;  // the "#define ROOT_SIGNATURE" block of the console variants
    uint8_t loadIndicesUsed;
    uint8_t unpackUsed;
    uint8_t rayDescriptionDeclared;    // the current function has declared its RayDesc
    uint8_t payloadStructuresWritten;  // the payloads' wrapper structures are written

    explicit HLSL12Translator(MessageLog* messageLog);
    ~HLSL12Translator() override;

    void Reset() override;
    void WritePrologue() override;
    void SetShaderDescription(const ShaderDescription& shaderDescription) override;
    void WriteFunctionCall(Symbol* call) override;
    void WriteFunctionDefinition(Symbol* function) override;
    void WriteInterfaceDeclarations(const ShaderDescription& shaderDescription) override;
    void WriteBufferDeclarations(const ShaderDescription& shaderDescription) override;
    bool GetBufferName(const char* member) override;
    void WriteRayTextureDeclarations(const ShaderDescription& shaderDescription) override;
    void WriteImageDeclarations(const ShaderDescription& shaderDescription) override;
    bool GetImageName(const char* member) override;
    bool WriteBuiltinVariable(const char* member) override;
    void WriteEntryPoint(Symbol* main) override;
    bool WriteBlockMemberAccess(OperationNode* access) override;

private:
    bool IsConsoleVariant() const;
    void BuildRootSignature(const ShaderDescription& shaderDescription);
    void WritePayloadStructures();
    void WriteRayEntryPoint(Symbol* main);
    // Declares, at the top of the entry point, every payload the body uses that is not declared.
    void DeclareUsedPayloads(Node* mainBody);
    PayloadEntry* FindPayload(const char* name);
    PayloadEntry* PayloadOfSlot(int64_t slot);
    // "_Pay_<name>" for a payload of a value type, else its structure's name.
    String PayloadTypeName(const StageVariable& payload);
    void WriteTrace(Symbol* call);
};

}  // namespace ShaderTool
