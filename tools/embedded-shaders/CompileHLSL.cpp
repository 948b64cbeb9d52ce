// compile-hlsl <profile> <input.hlsl> <output>: compiles one HLSL file (entry point "main") with
// the Direct3D shader compiler and writes the byte code. Run under Wine by generate.sh to make the
// internal shaders' embedded code; not part of the engine.
#include <windows.h>

#include <d3dcompiler.h>

#include <cstdio>
#include <vector>

namespace {

bool ReadWholeFile(const char* path, std::vector<char>* bytes) {
    FILE* file = fopen(path, "rb");
    if (file == nullptr) {
        return false;
    }
    char chunk[4096];
    size_t read = 0;
    while ((read = fread(chunk, 1, sizeof(chunk), file)) > 0) {
        bytes->insert(bytes->end(), chunk, chunk + read);
    }
    fclose(file);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: compile-hlsl <profile> <input.hlsl> <output>\n");
        return 2;
    }
    std::vector<char> source;
    if (!ReadWholeFile(argv[2], &source)) {
        fprintf(stderr, "compile-hlsl: cannot read '%s'\n", argv[2]);
        return 1;
    }
    HMODULE library = LoadLibraryA("d3dcompiler_47.dll");
    FARPROC entry = library != nullptr ? GetProcAddress(library, "D3DCompile") : nullptr;
    pD3DCompile compile = reinterpret_cast<pD3DCompile>(reinterpret_cast<void*>(entry));
    if (compile == nullptr) {
        fprintf(stderr, "compile-hlsl: D3DCompile is not available\n");
        return 1;
    }
    ID3DBlob* code = nullptr;
    ID3DBlob* messages = nullptr;
    HRESULT result = compile(source.data(), source.size(), argv[2], nullptr, nullptr, "main", argv[1],
                             D3DCOMPILE_OPTIMIZATION_LEVEL3, 0, &code, &messages);
    if (messages != nullptr) {
        fprintf(stderr, "%.*s\n", static_cast<int>(messages->GetBufferSize()),
                static_cast<const char*>(messages->GetBufferPointer()));
        messages->Release();
    }
    if (FAILED(result) || code == nullptr) {
        fprintf(stderr, "compile-hlsl: '%s' failed (0x%08lX)\n", argv[2], static_cast<unsigned long>(result));
        return 1;
    }
    FILE* out = fopen(argv[3], "wb");
    const bool written = out != nullptr && fwrite(code->GetBufferPointer(), 1, code->GetBufferSize(), out) ==
                                               code->GetBufferSize();
    if (out != nullptr) {
        fclose(out);
    }
    code->Release();
    return written ? 0 : 1;
}
