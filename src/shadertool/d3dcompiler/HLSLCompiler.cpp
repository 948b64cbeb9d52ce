// The Direct3D shader compiler behind the HLSL11 target: finding the library, the profile and
// flags of a compile, and what is kept of its results.
#include "shadertool/d3dcompiler/HLSLCompiler.h"

#include <cstdio>
#include <cstring>

#include "shadertool/TargetNames.h"

namespace ShaderTool {

namespace {

const int kNewestVersion = 47;
const int kOldestVersion = 43;
const UINT kDebugFlags = D3DCOMPILE_DEBUG | D3DCOMPILE_SKIP_OPTIMIZATION;

// The text of a message blob, read by its size: it need not end with a NUL, and what follows
// a NUL inside it is not text.
String BlobText(ID3DBlob* blob) {
    const char* bytes = static_cast<const char*>(blob->GetBufferPointer());
    const SIZE_T size = bytes != nullptr ? blob->GetBufferSize() : 0;
    SIZE_T length = 0;
    while (length < size && bytes[length] != '\0') {
        ++length;
    }
    return length > 0 ? String::FromFormat("%.*s", static_cast<int>(length), bytes) : String();
}

// "- Compilation output (<variant>):" and the compiler's text without its trailing line breaks,
// as one block of its own in the log.
void LogCompilerOutput(MessageLog* log, VariantFlags variant, ID3DBlob* messages) {
    String text = BlobText(messages);
    int32_t length = text.Length();
    while (length > 0 && (text.CStr()[length - 1] == '\n' || text.CStr()[length - 1] == '\r')) {
        --length;
    }
    String block;
    if (variant != 0) {
        block = String::FromFormat("- Compilation output (%s):\n%.*s\n", GetVariantName(variant),
                                   static_cast<int>(length), text.CStr());
    } else {
        block = String::FromFormat("- Compilation output:\n%.*s\n", static_cast<int>(length), text.CStr());
    }
    log->AddLine(block.CStr());
}

}  // namespace

Compiler* CreateHLSLCompiler(MessageLog* log) {
    return new HLSLCompiler(log);
}

String GetCompileProfile(TargetFlags target, VariantFlags variant, int32_t stage) {
    String profile;
    if (stage != STAGE_VERTEX && stage != STAGE_PIXEL) {
        return profile;
    }
    profile.Assign(stage == STAGE_VERTEX ? "vs_" : "ps_");
    if (target != TARGET_HLSL9 && target != TARGET_HLSL11) {
        return profile;
    }
    switch (variant) {
        case 0:
            profile.Append("3_0");
            break;
        case VARIANT_HLSL11_DEFAULT:
            profile.Append("4_0");
            break;
        case VARIANT_HLSL11_LOW:
            profile.Append("4_0_level_9_1");
            break;
        case VARIANT_HLSL11_XBOX:
            profile.Append("5_0");
            break;
        default:
            break;
    }
    return profile;
}

HLSLCompiler::HLSLCompiler(MessageLog* messageLog) : log(messageLog), record(new Record()) {
    record->compile = nullptr;
    record->module = nullptr;
    record->log = messageLog;
}

HLSLCompiler::~HLSLCompiler() {
    if (record->module != nullptr) {
        FreeLibrary(record->module);
    }
    delete record;
}

// The newest library that has the entry wins; one without it is freed and the search goes on.
bool HLSLCompiler::Initialize() {
    for (int version = kNewestVersion; version >= kOldestVersion; --version) {
        char name[32];
        snprintf(name, sizeof(name), "d3dcompiler_%i.dll", version);
        HMODULE module = LoadLibraryExA(name, nullptr, 0);
        if (module == nullptr) {
            continue;
        }
        FARPROC entry = GetProcAddress(module, "D3DCompile");
        if (entry == nullptr) {
            FreeLibrary(module);
            continue;
        }
        record->module = module;
        record->compile = reinterpret_cast<pD3DCompile>(reinterpret_cast<void*>(entry));
        return true;
    }
    return false;
}

bool HLSLCompiler::Compile(TargetFlags target, VariantFlags variant, int32_t stage, const char* text,
                           bool debug, ByteStream* output) {
    if (record->compile == nullptr || text == nullptr) {
        log->AddError("compilation failed.");
        return false;
    }
    const String profile = GetCompileProfile(target, variant, stage);
    const UINT flags =
        (variant == VARIANT_HLSL11_XBOX || !debug) ? D3DCOMPILE_OPTIMIZATION_LEVEL3 : kDebugFlags;
    ID3DBlob* code = nullptr;
    ID3DBlob* messages = nullptr;
    const HRESULT result = record->compile(text, strlen(text), nullptr, nullptr, nullptr, "main",
                                           profile.CStr(), flags, 0, &code, &messages);
    const bool compiled = SUCCEEDED(result);
    if (!compiled) {
        log->AddError("compilation failed.");
    } else if (code != nullptr && output != nullptr) {
        output->Write(code->GetBufferPointer(), static_cast<int32_t>(code->GetBufferSize()));
    }
    if (messages != nullptr) {
        LogCompilerOutput(log, variant, messages);
        messages->Release();
    }
    if (code != nullptr) {
        code->Release();
    }
    return compiled;
}

}  // namespace ShaderTool
