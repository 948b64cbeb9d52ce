// The run-time HLSL compiler: the Direct3D shader compiler library, loaded when the engine
// starts translating ("d3dcompiler_47.dll" down to "_43"), and its D3DCompile entry. Windows only.
#pragma once

#include <windows.h>

#include <d3dcompiler.h>

#include "shadertool/Compiler.h"

namespace ShaderTool {

class HLSLCompiler : public Compiler {
public:
    // What the loaded library gives; null until Initialize found one.
    struct Record {
        pD3DCompile compile;
        HMODULE module;
        MessageLog* log;
    };

    MessageLog* log;
    Record* record;

    explicit HLSLCompiler(MessageLog* messageLog);
    ~HLSLCompiler() override;  // frees the library and the record
    HLSLCompiler(const HLSLCompiler&) = delete;
    HLSLCompiler& operator=(const HLSLCompiler&) = delete;

    bool Initialize() override;
    bool Compile(TargetFlags target, VariantFlags variant, int32_t stage, const char* text, bool debug,
                 ByteStream* output) override;
};

// "vs_" or "ps_" and the shader model of the variant: 3_0 without a variant, 4_0 for
// HLSL11_DEFAULT, 4_0_level_9_1 for HLSL11_LOW, 5_0 for HLSL11_XBOX. Empty for other stages and
// targets, which the compiler then refuses.
String GetCompileProfile(TargetFlags target, VariantFlags variant, int32_t stage);

}  // namespace ShaderTool
