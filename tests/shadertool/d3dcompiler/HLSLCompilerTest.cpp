// The run-time HLSL compiler on Wine's Direct3D shader compiler: its profiles, what the log keeps
// of a failed compile, and (run by ctest under DLL overrides) the search for the library.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "shadertool/CompileDriver.h"
#include "shadertool/d3dcompiler/HLSLCompiler.h"

using namespace ShaderTool;

namespace {

TEST(HLSLCompilerProfile, FollowsStageTargetAndVariant) {
    const struct {
        TargetFlags target;
        VariantFlags variant;
        int32_t stage;
        const char* profile;
    } cases[] = {
        {TARGET_HLSL11, 0, STAGE_VERTEX, "vs_3_0"},
        {TARGET_HLSL11, VARIANT_HLSL11_DEFAULT, STAGE_VERTEX, "vs_4_0"},
        {TARGET_HLSL11, VARIANT_HLSL11_LOW, STAGE_PIXEL, "ps_4_0_level_9_1"},
        {TARGET_HLSL11, VARIANT_HLSL11_XBOX, STAGE_PIXEL, "ps_5_0"},
        {TARGET_HLSL9, 0, STAGE_PIXEL, "ps_3_0"},
        {TARGET_HLSL11, VARIANT_HLSL12_DEFAULT, STAGE_PIXEL, "ps_"},
        {TARGET_HLSL12, VARIANT_HLSL12_DEFAULT, STAGE_VERTEX, "vs_"},
        {TARGET_HLSL11, VARIANT_HLSL11_DEFAULT, STAGE_RGEN, ""},
    };
    for (const auto& c : cases) {
        EXPECT_STREQ(GetCompileProfile(c.target, c.variant, c.stage).CStr(), c.profile) << c.profile;
    }
}

// A failed compile logs the failure and then the compiler's own text as a block of its own; the
// stage buffer keeps what it had.
TEST(HLSLCompilerMessages, FailedCompileLogsBothBlocks) {
    MessageLog log;
    HLSLCompiler compiler(&log);
    ASSERT_TRUE(compiler.Initialize());
    ByteStream output;
    output.Write("kept", 4);
    EXPECT_FALSE(compiler.Compile(TARGET_HLSL11, VARIANT_HLSL11_DEFAULT, STAGE_PIXEL,
                                  "float4 main() : SV_TARGET { return undeclared; }", false, &output));
    const std::string text = log.text.CStr();
    const std::string head = "Error: compilation failed.\n- Compilation output (HLSL11_DEFAULT):\n";
    EXPECT_EQ(text.compare(0, head.size(), head), 0) << text;
    EXPECT_NE(text.find("undeclared"), std::string::npos) << text;
    // The compiler's trailing line breaks are cut: one line feed ends the block, then the log's own.
    ASSERT_GE(text.size(), head.size() + 3);
    EXPECT_EQ(text.substr(text.size() - 2), "\n\n");
    EXPECT_NE(text[text.size() - 3], '\n');
    EXPECT_EQ(output.size, 4);
    EXPECT_EQ(log.hasErrors, 1);
}

// A blob whose size covers only the first `size` bytes of its memory.
class FakeBlob : public ID3DBlob {
public:
    FakeBlob(const std::string& bytes, size_t size) : bytes_(bytes), size_(size) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    LPVOID STDMETHODCALLTYPE GetBufferPointer() override { return &bytes_[0]; }
    SIZE_T STDMETHODCALLTYPE GetBufferSize() override { return size_; }

private:
    std::string bytes_;
    size_t size_;
};

FakeBlob* g_messages = nullptr;

HRESULT WINAPI CompileWithWarnings(const void*, SIZE_T, const char*, const D3D_SHADER_MACRO*, ID3DInclude*,
                                   const char*, const char* profile, UINT, UINT, ID3DBlob** code,
                                   ID3DBlob** errors) {
    static FakeBlob byteCode("DXBC", 4);
    *code = strcmp(profile, "ps_4_0") == 0 ? &byteCode : nullptr;
    *errors = g_messages;
    return *code != nullptr ? S_OK : E_FAIL;
}

// The compiler's text is read by its size (it need not end in a NUL) and loses its trailing line
// breaks, CR LF ones included, so that one line feed ends the block before the log's own.
TEST(HLSLCompilerMessages, CompilerTextIsReadBySizeAndTrimmed) {
    const std::string text = "warning X3206: implicit truncation\r\n\r\n";
    FakeBlob messages(text + "not part of the blob", text.size());
    g_messages = &messages;
    MessageLog log;
    HLSLCompiler compiler(&log);
    compiler.record->compile = CompileWithWarnings;
    ByteStream output;
    EXPECT_TRUE(compiler.Compile(TARGET_HLSL11, VARIANT_HLSL11_DEFAULT, STAGE_PIXEL, "text", false, &output));
    EXPECT_STREQ(log.text.CStr(),
                 "- Compilation output (HLSL11_DEFAULT):\nwarning X3206: implicit truncation\n\n");
    EXPECT_EQ(log.hasErrors, 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(output.data), output.size), "DXBC");
    log.Clear();
    EXPECT_FALSE(compiler.Compile(TARGET_HLSL11, 0, STAGE_VERTEX, "text", true, &output));
    EXPECT_STREQ(log.text.CStr(),
                 "Error: compilation failed.\n- Compilation output:\nwarning X3206: implicit truncation\n\n");
    compiler.record->compile = nullptr;
    g_messages = nullptr;
}

std::string ModuleFileName(HMODULE module) {
    char name[MAX_PATH] = {};
    GetModuleFileNameA(module, name, MAX_PATH);
    const char* slash = strrchr(name, '\\');
    return slash != nullptr ? slash + 1 : name;
}

// Folder of the stub d3dcompiler_47.dll: "stub" beside this executable.
std::string StubFolder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    return folder.substr(0, folder.find_last_of('\\')) + "\\stub";
}

// ZQ_COMPILER_SEARCH names the DLL overrides ctest runs this test under.
TEST(CompilerLibrarySearch, FollowsTheLibrariesWineOffers) {
    const char* mode = getenv("ZQ_COMPILER_SEARCH");
    if (mode == nullptr) {
        GTEST_SKIP() << "run by ctest under DLL overrides";
    }
    if (strcmp(mode, "none") == 0) {
        ASSERT_FALSE(InitializeTargets(TARGET_HLSL11, VARIANT_HLSL11_DEFAULT, "", false));
        EXPECT_EQ(std::string(GetShaderToolState().outputLog.text.CStr()),
                  "Failed to initialize the compiler for target 'HLSL11':\nError: unknown error.\n");
        EXPECT_EQ(GetShaderToolState().compilers[COMPILER_SLOT_HLSL], nullptr);
        return;
    }
    if (strcmp(mode, "stub") == 0) {
        ASSERT_TRUE(SetDllDirectoryA(StubFolder().c_str()));
    }
    MessageLog log;
    HLSLCompiler compiler(&log);
    ASSERT_TRUE(compiler.Initialize());
    if (strcmp(mode, "older") == 0) {
        EXPECT_EQ(ModuleFileName(compiler.record->module), "d3dcompiler_43.dll");
    } else {
        // The search met the stub first, found it without the entry and freed it.
        EXPECT_EQ(ModuleFileName(compiler.record->module), "d3dcompiler_46.dll");
        EXPECT_EQ(GetModuleHandleA("d3dcompiler_47.dll"), nullptr);
        HMODULE stub = LoadLibraryExA("d3dcompiler_47.dll", nullptr, 0);
        ASSERT_NE(stub, nullptr);
        EXPECT_NE(GetProcAddress(stub, "StubCompilerVersion"), nullptr);
        FreeLibrary(stub);
    }
    EXPECT_STREQ(log.text.CStr(), "");
}

}  // namespace
