// Speed of translation: a generated Shader XML of about 300 lines (a vertex and a pixel source)
// read from memory and translated in process by the compile driver (no files, no compiling), to
// the three HLSL targets and to all nine targets, against glslang compiling our output to SPIR-V in
// process (Debian's glslang-dev; InitializeProcess outside the timing): the HLSL11 pair, and the
// Vulkan GLSL pair with its version line. Each figure is the median of 50 runs after warm-up
// runs; the ratios of the medians are printed at the end. With ZQ_BENCH_HLSL11_OUT naming a
// folder, the HLSL11 pair is also written there, for run-d3dcompile-bench.sh to time Wine's
// D3DCompile on the same text.
#include <benchmark/benchmark.h>

#include <glslang/Public/ResourceLimits.h>
#include <glslang/Public/ShaderLang.h>
#include <glslang/SPIRV/GlslangToSpv.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "filesystem/FileSystemApi.h"
#include "filesystem/FileSystemTable.h"
#include "filesystem/MemorySystem.h"
#include "shadertool/CompileDriver.h"

using namespace ShaderTool;

namespace {

const int kRuns = 50;
const int kWarmUpRuns = 5;
const int kHelpers = 11;  // per stage: about 12 lines each

// One helper function with a loop, a branch, a matrix product and a call of the previous one.
std::string Helper(const char* stage, int index) {
    const std::string name = std::string(stage) + "Helper" + std::to_string(index);
    std::string text = "float4 " + name + "(float4 value, float scale)\n{\n";
    text += "    float4 result = value * scale;\n";
    text += "    for (int i = 0; i < 4; i++)\n    {\n";
    text += "        result = result + float4(float(i), 1.0, 2.0, 3.0) * 0.5;\n    }\n";
    text += "    if (result.x > 1.0)\n        result.y = result.y - 1.0;\n";
    text += index > 0 ? "    return result + " + std::string(stage) + "Helper" + std::to_string(index - 1) +
                            "(value, scale * 0.5);\n}\n\n"
                      : "    return result * constants.scale;\n}\n\n";
    return text;
}

std::string Source(const char* stage, const std::string& main) {
    std::string text = "\n";
    for (int i = 0; i < kHelpers; ++i) {
        text += Helper(stage, i);
    }
    return text + main;
}

std::string Document() {
    const std::string last = std::to_string(kHelpers - 1);
    const std::string vertex = Source("Vertex",
                                      "void main()\n{\n"
                                      "    float4 position = VertexHelper" +
                                          last +
                                          "(input.position, 1.0) * constants.transform;\n"
                                          "    output.position = position;\n    output.color = input.color;\n"
                                          "    output.uv = input.uv;\n}\n");
    const std::string pixel = Source("Pixel",
                                     "void main()\n{\n"
                                     "    float4 color = sampleTexture(texture.diffuse, input.uv);\n"
                                     "    color += sampleTexture(texture.detail, input.uv * 4.0);\n"
                                     "    output.color = PixelHelper" +
                                         last + "(color * input.color, 0.5) * constants.tint;\n}\n");
    return "<?xml version=\"1.0\"?>\n<root>\n"
           "  <array id=\"info\">\n    <node id=\"version\" value=\"2\"/>\n    <node id=\"revision\" "
           "value=\"4\"/>\n"
           "  </array>\n"
           "  <array id=\"vertex_input\">\n    <node id=\"position\" semantic=\"POSITION\"/>\n"
           "    <node id=\"color\" semantic=\"COLOR\"/>\n    <node id=\"uv\" "
           "semantic=\"TEXTURE_COORDINATE_0\"/>\n"
           "  </array>\n"
           "  <array id=\"vertex_constants\">\n    <node id=\"transform\" type=\"FLOAT4X4\"/>\n"
           "    <node id=\"scale\" type=\"FLOAT4\"/>\n  </array>\n"
           "  <array id=\"vertex_output\">\n    <node id=\"position\" type=\"FLOAT4\" "
           "semantic=\"POSITION\"/>\n"
           "    <node id=\"color\" type=\"FLOAT4\" semantic=\"COLOR\"/>\n    <node id=\"uv\" "
           "type=\"FLOAT2\"/>\n"
           "  </array>\n"
           "  <array id=\"pixel_constants\">\n    <node id=\"tint\" type=\"FLOAT4\"/>\n"
           "    <node id=\"scale\" type=\"FLOAT4\"/>\n  </array>\n"
           "  <array id=\"pixel_textures\">\n    <node id=\"diffuse\" type=\"2D\"/>\n"
           "    <node id=\"detail\" type=\"2D\"/>\n  </array>\n"
           "  <array id=\"pixel_output\">\n    <node id=\"color\"/>\n  </array>\n"
           "  <array id=\"sources\">\n    <node type=\"vertex\"><![CDATA[" +
           vertex + "]]></node>\n    <node type=\"pixel\"><![CDATA[" + pixel +
           "]]></node>\n  </array>\n</root>\n";
}

int CountLines(const std::string& text) {
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

std::string g_document;
std::string g_hlsl11[2];  // vertex, pixel
std::string g_vulkan[2];  // vertex, pixel, with the version line glslang needs

bool Translate(TargetFlags targets) {
    ResetShaderToolState();
    if (!ReadShaderXml("bench/generated.xml", g_document.c_str(), false, false)) {
        return false;
    }
    ShaderTranslationRequest request;
    request.targets = targets;
    request.descriptionRead = 1;
    return TranslateShaderXml("bench/generated.xml", request, false);
}

std::string ReadMemoryFile(const char* path) {
    zq_file_t* file = ZQ_FileSystem_OpenFile(path, "r");
    if (file == nullptr) {
        return std::string();
    }
    std::string text(static_cast<size_t>(file->size), '\0');
    ZQ_FileSystem_ReadFile(&text[0], file->size, file);
    ZQ_FileSystem_CloseFile(file);
    return text;
}

// The target's vertex and pixel text, from one translation with its files in memory.
bool TranslatePair(TargetFlags target, const char* preamble, std::string pair[2]) {
    if (!InitializeTargets(target, 0, "mem://bench/", false) || !Translate(target)) {
        std::fprintf(stderr, "translation failed:\n%s", GetShaderToolState().outputLog.text.CStr());
        return false;
    }
    pair[0] = preamble + ReadMemoryFile("mem://bench/bench/generated.vertex");
    pair[1] = preamble + ReadMemoryFile("mem://bench/bench/generated.pixel");
    return pair[0].size() > strlen(preamble) && pair[1].size() > strlen(preamble);
}

bool Prepare() {
    g_document = Document();
    ZQI_SetFileSystem(SCHEME_MEM, new ZQFileSystem::MemorySystem());
    return TranslatePair(TARGET_HLSL11, "", g_hlsl11) &&
           TranslatePair(TARGET_SPIRV, "#version 450\n", g_vulkan) &&
           InitializeTargets(TARGET_ALL, 0, "", false) && Translate(TARGET_ALL);
}

bool CompileWithGlslang(const std::string& text, EShLanguage stage, bool hlsl) {
    const EShMessages messages = static_cast<EShMessages>(EShMsgSpvRules | EShMsgVulkanRules |
                                                          (hlsl ? EShMsgReadHlsl : EShMsgDefault));
    glslang::TShader shader(stage);
    const char* strings[] = {text.c_str()};
    shader.setStrings(strings, 1);
    shader.setEntryPoint("main");
    shader.setEnvInput(hlsl ? glslang::EShSourceHlsl : glslang::EShSourceGlsl, stage,
                       glslang::EShClientVulkan, 100);
    shader.setEnvClient(glslang::EShClientVulkan, glslang::EShTargetVulkan_1_0);
    shader.setEnvTarget(glslang::EShTargetSpv, glslang::EShTargetSpv_1_0);
    if (!shader.parse(GetDefaultResources(), 100, false, messages)) {
        std::fprintf(stderr, "glslang: %s\n", shader.getInfoLog());
        return false;
    }
    glslang::TProgram program;
    program.addShader(&shader);
    if (!program.link(messages)) {
        return false;
    }
    std::vector<unsigned int> spirv;
    glslang::GlslangToSpv(*program.getIntermediate(stage), spirv);
    return !spirv.empty();
}

bool CompilePairWithGlslang(const std::string pair[2], bool hlsl) {
    return CompileWithGlslang(pair[0], EShLangVertex, hlsl) &&
           CompileWithGlslang(pair[1], EShLangFragment, hlsl);
}

void BM_TranslateToThreeHlslTargets(benchmark::State& state) {
    for (int i = 0; i < kWarmUpRuns; ++i) {
        Translate(TARGET_HLSL);
    }
    for (auto _ : state) {
        if (!Translate(TARGET_HLSL)) {
            state.SkipWithError("translation failed");
        }
    }
    state.counters["lines"] = CountLines(g_document);
}

void BM_TranslateToNineTargets(benchmark::State& state) {
    for (int i = 0; i < kWarmUpRuns; ++i) {
        Translate(TARGET_ALL);
    }
    for (auto _ : state) {
        if (!Translate(TARGET_ALL)) {
            state.SkipWithError("translation failed");
        }
    }
    state.counters["lines"] = CountLines(g_document);
}

void CompilePairBenchmark(benchmark::State& state, const std::string pair[2], bool hlsl) {
    for (int i = 0; i < kWarmUpRuns; ++i) {
        CompilePairWithGlslang(pair, hlsl);
    }
    for (auto _ : state) {
        if (!CompilePairWithGlslang(pair, hlsl)) {
            state.SkipWithError("glslang refused our text");
        }
    }
    state.counters["lines"] = CountLines(pair[0]) + CountLines(pair[1]);
}

void BM_GlslangCompilesHlsl11Pair(benchmark::State& state) {
    CompilePairBenchmark(state, g_hlsl11, true);
}

void BM_GlslangCompilesVulkanGlslPair(benchmark::State& state) {
    CompilePairBenchmark(state, g_vulkan, false);
}

BENCHMARK(BM_TranslateToThreeHlslTargets)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(kRuns)
    ->ReportAggregatesOnly(true)
    ->UseRealTime();
BENCHMARK(BM_GlslangCompilesHlsl11Pair)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(kRuns)
    ->ReportAggregatesOnly(true)
    ->UseRealTime();
BENCHMARK(BM_TranslateToNineTargets)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(kRuns)
    ->ReportAggregatesOnly(true)
    ->UseRealTime();
BENCHMARK(BM_GlslangCompilesVulkanGlslPair)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(kRuns)
    ->ReportAggregatesOnly(true)
    ->UseRealTime();

// Keeps the console output and notes each benchmark's median (ms) by name.
class MedianReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> medians;

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median" && !run.error_occurred) {
                medians[run.run_name.function_name] = run.GetAdjustedRealTime();
            }
        }
    }

    // Prints "<what>: <ours> ms against <theirs> ms, ratio" when both ran.
    void PrintRatio(const char* what, const char* ours, const char* theirs) {
        if (medians.count(ours) == 0 || medians.count(theirs) == 0) {
            return;
        }
        std::printf("%s: %.3f ms, glslang %.3f ms (medians of %d), ratio (ours / glslang): %.2f\n", what,
                    medians[ours], medians[theirs], kRuns, medians[ours] / medians[theirs]);
    }
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    glslang::InitializeProcess();
    if (!Prepare() || !CompilePairWithGlslang(g_hlsl11, true) || !CompilePairWithGlslang(g_vulkan, false)) {
        glslang::FinalizeProcess();
        return 1;
    }
    const char* hlslFolder = std::getenv("ZQ_BENCH_HLSL11_OUT");
    if (hlslFolder != nullptr) {
        std::ofstream(std::string(hlslFolder) + "/generated.vertex", std::ios::binary) << g_hlsl11[0];
        std::ofstream(std::string(hlslFolder) + "/generated.pixel", std::ios::binary) << g_hlsl11[1];
    }
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\n%d-line Shader XML, translated in process:\n", CountLines(g_document));
    reporter.PrintRatio("to HLSL9, HLSL11, HLSL12 against the HLSL11 pair", "BM_TranslateToThreeHlslTargets",
                        "BM_GlslangCompilesHlsl11Pair");
    reporter.PrintRatio("to all nine targets against the Vulkan GLSL pair", "BM_TranslateToNineTargets",
                        "BM_GlslangCompilesVulkanGlslPair");
    glslang::FinalizeProcess();
    return 0;
}
