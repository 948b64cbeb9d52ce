// For information beside bench_shader_translation: Wine's D3DCompile (d3dcompiler_47) compiling
// an HLSL11 vertex and pixel pair for shader model 4 and 5, median of 50 runs after warm-up runs.
// Built and run by run-d3dcompile-bench.sh; a Windows program of its own, outside the build.
#include <windows.h>

#include <d3dcompiler.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string ReadText(const char* path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

bool CompilePair(pD3DCompile compile, const std::string& vertex, const std::string& pixel,
                 const char* model) {
    const std::string profiles[2] = {std::string("vs_") + model, std::string("ps_") + model};
    const std::string* texts[2] = {&vertex, &pixel};
    for (int i = 0; i < 2; ++i) {
        ID3DBlob* code = nullptr;
        ID3DBlob* messages = nullptr;
        const HRESULT result =
            compile(texts[i]->data(), texts[i]->size(), nullptr, nullptr, nullptr, "main",
                    profiles[i].c_str(), D3DCOMPILE_OPTIMIZATION_LEVEL3, 0, &code, &messages);
        if (messages != nullptr) {
            if (FAILED(result)) {
                std::fprintf(stderr, "%.*s\n", static_cast<int>(messages->GetBufferSize()),
                             static_cast<const char*>(messages->GetBufferPointer()));
            }
            messages->Release();
        }
        if (code != nullptr) {
            code->Release();
        }
        if (FAILED(result)) {
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: BenchD3DCompile <name> <vertex.hlsl> <pixel.hlsl>\n");
        return 2;
    }
    HMODULE library = LoadLibraryA("d3dcompiler_47.dll");
    pD3DCompile compile =
        library != nullptr
            ? reinterpret_cast<pD3DCompile>(reinterpret_cast<void*>(GetProcAddress(library, "D3DCompile")))
            : nullptr;
    if (compile == nullptr) {
        std::fprintf(stderr, "d3dcompiler_47.dll has no D3DCompile\n");
        return 1;
    }
    const std::string vertex = ReadText(argv[2]);
    const std::string pixel = ReadText(argv[3]);
    for (const char* model : {"4_0", "5_0"}) {
        std::vector<double> times;
        for (int run = 0; run < 55; ++run) {
            const auto start = std::chrono::steady_clock::now();
            if (!CompilePair(compile, vertex, pixel, model)) {
                return 1;
            }
            const std::chrono::duration<double, std::milli> elapsed =
                std::chrono::steady_clock::now() - start;
            if (run >= 5) {
                times.push_back(elapsed.count());
            }
        }
        std::sort(times.begin(), times.end());
        std::printf("D3DCompile under Wine, %s HLSL11 vertex and pixel, model %s: %.3f ms (median of %zu)\n",
                    argv[1], model, (times[times.size() / 2 - 1] + times[times.size() / 2]) / 2,
                    times.size());
    }
    return 0;
}
