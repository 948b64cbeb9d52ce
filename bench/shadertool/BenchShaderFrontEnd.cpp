// Speed of the shading-language front end per source line: a generated 2,000-line vertex shader
// read from a Shader XML document held in memory, then preprocessed, parsed and checked as the
// compile driver does. In the same run an equivalent GLSL shader of the same size is written to
// a temporary file and validated by glslangValidator (whole process runs, wall time, nothing
// subtracted). Prints both figures per line and their ratio; for information it also times the
// validator on a minimal shader, which shows how much of its figure is process start-up.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "shadertool/Analyzer.h"
#include "shadertool/MessageLog.h"
#include "shadertool/Parser.h"
#include "shadertool/ShaderDescription.h"
#include "shadertool/ShaderXmlReader.h"
#include "shadertool/preprocessor/Preprocessor.h"

using namespace ShaderTool;

namespace {

const int kTargetLines = 2000;
const int kHelperLines = 12;  // lines of one generated helper function, blank line included
const char kValidator[] = "/usr/bin/glslangValidator";

struct Generated {
    std::string text;
    int lines = 0;
};

int CountLines(const std::string& text) {
    int lines = 0;
    for (char c : text) {
        lines += c == '\n' ? 1 : 0;
    }
    return lines;
}

// One helper in either language: a loop, a branch and a call of the previous helper.
std::string Helper(int index, const char* vec4, const char* castVec4) {
    const std::string name = "Helper" + std::to_string(index);
    std::string text = std::string(vec4) + " " + name + "(" + vec4 + " value, float scale)\n{\n";
    text += std::string("    ") + vec4 + " result = value * scale;\n";
    text += "    for (int i = 0; i < 4; i++)\n    {\n";
    text +=
        std::string("        result = result + ") + castVec4 + "(float(i), 1.0, 2.0, 3.0) * 0.5;\n    }\n";
    text += "    if (result.x > 1.0)\n        result.y = result.y - 1.0;\n";
    if (index > 0) {
        text += "    return result + Helper" + std::to_string(index - 1) + "(value, scale * 0.5);\n}\n\n";
    } else {
        text += "    return result;\n}\n\n";
    }
    return text;
}

// Helpers until head + helpers + tail reach the target line count.
int HelperCount(int headLines, int tailLines) {
    return (kTargetLines - headLines - tailLines + kHelperLines - 1) / kHelperLines;
}

Generated EngineShader() {
    const std::string tail =
        "void main()\n{\n"
        "    output.position = HelperLAST(input.position, SCALE) * constants.transform;\n"
        "    output.color = input.color;\n    output.uv = input.uv;\n}\n";
    const int helpers = HelperCount(0, CountLines(tail));
    Generated shader;
    for (int i = 0; i < helpers; ++i) {
        shader.text += Helper(i, "float4", "float4");
    }
    std::string main = tail;
    main.replace(main.find("LAST"), 4, std::to_string(helpers - 1));
    shader.text += main;
    shader.lines = CountLines(shader.text);
    return shader;
}

Generated GlslShader() {
    const std::string head =
        "#version 450\nlayout(location = 0) in vec4 position;\nlayout(location = 1) in vec4 color;\n"
        "layout(location = 2) in vec2 uv;\nlayout(location = 0) out vec4 outColor;\n"
        "layout(location = 1) out vec2 outUv;\nlayout(binding = 0) uniform Constants { mat4 transform; };\n"
        "const float SCALE = 1.0;\n\n";
    const std::string tail =
        "void main()\n{\n"
        "    gl_Position = transform * HelperLAST(position, SCALE);\n"
        "    outColor = color;\n    outUv = uv;\n}\n";
    const int helpers = HelperCount(CountLines(head), CountLines(tail));
    Generated shader;
    shader.text = head;
    for (int i = 0; i < helpers; ++i) {
        shader.text += Helper(i, "vec4", "vec4");
    }
    std::string main = tail;
    main.replace(main.find("LAST"), 4, std::to_string(helpers - 1));
    shader.text += main;
    shader.lines = CountLines(shader.text);
    return shader;
}

// The Shader XML document around the engine shader: its interface and one definition.
std::string EngineDocument(const std::string& source) {
    return "<?xml version=\"1.0\"?>\n<root>\n"
           "<array id=\"info\"><node id=\"version\" value=\"2\"/><node id=\"revision\" "
           "value=\"4\"/></array>\n"
           "<array id=\"definitions\"><node id=\"SCALE\" value=\"1.0\"/></array>\n"
           "<array id=\"vertex_input\"><node id=\"position\" semantic=\"POSITION\"/>"
           "<node id=\"color\" semantic=\"COLOR\"/><node id=\"uv\" "
           "semantic=\"TEXTURE_COORDINATE_0\"/></array>\n"
           "<array id=\"vertex_constants\"><node id=\"transform\" type=\"FLOAT4X4\"/></array>\n"
           "<array id=\"vertex_output\"><node id=\"position\" type=\"FLOAT4\" semantic=\"POSITION\"/>"
           "<node id=\"color\" type=\"FLOAT4\" semantic=\"COLOR\"/><node id=\"uv\" "
           "type=\"FLOAT2\"/></array>\n"
           "<array id=\"pixel_output\"><node id=\"color\"/></array>\n"
           "<array id=\"sources\"><node type=\"vertex\"><![CDATA[" +
           source + "]]></node></array>\n</root>\n";
}

// The driver's analysis steps for one source and target; true when nothing was reported.
class FrontEnd {
public:
    MessageLog log;
    Preprocessor preprocessor;
    SemanticAnalyzer analyzer;

    FrontEnd() : preprocessor(&log), analyzer(&log) { preprocessor.AddBuiltinDefinitions(); }

    bool Run(const ShaderDescription& description, const ShaderSource& source) {
        log.Clear();
        preprocessor.Reset();
        analyzer.Reset();
        if (!preprocessor.Run(&description, TARGET_HLSL11, source, nullptr, false)) {
            return false;
        }
        stageSource_.fileName = source.fileName;
        stageSource_.text = preprocessor.output;
        stageSource_.firstLine = source.firstLine;
        stageSource_.targets = source.targets;
        stageSource_.stage = source.stage;
        analyzer.BeginStage(&description, stageSource_);
        analyzer.DeclareStageVariables(description);
        if (ParseShader(analyzer) != 0 || log.hasErrors) {
            return false;
        }
        analyzer.CheckFunctionDefinitions();
        return !log.hasErrors && analyzer.pendingOutputs.count == 0;
    }

private:
    ShaderSource stageSource_;
};

Generated g_engine;
Generated g_glsl;
ShaderDescription g_description;
std::string g_glslPath;
std::string g_validatorCommand;
std::string g_minimalCommand;

bool PrepareEngineShader() {
    g_engine = EngineShader();
    const std::string document = EngineDocument(g_engine.text);
    MessageLog log;
    ShaderXmlReader reader(&log, &g_description);
    if (!reader.ReadText("bench/generated.xml", document.data(), static_cast<int32_t>(document.size()), false) ||
        g_description.sources.count != 1) {
        std::fprintf(stderr, "the Shader XML was refused:\n%s", log.text.CStr());
        return false;
    }
    FrontEnd frontEnd;
    if (!frontEnd.Run(g_description, g_description.sources[0])) {
        std::fprintf(stderr, "the generated shader does not check:\n%s", frontEnd.log.text.CStr());
        return false;
    }
    return true;
}

bool PrepareGlslShader() {
    g_glsl = GlslShader();
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "zq_bench_shader_frontend";
    std::filesystem::create_directories(folder);
    g_glslPath = (folder / "generated.vert").string();
    std::ofstream(g_glslPath, std::ios::binary) << g_glsl.text;
    g_validatorCommand = std::string(kValidator) + " \"" + g_glslPath + "\" > /dev/null 2>&1";
    const std::string minimalPath = (folder / "minimal.vert").string();
    std::ofstream(minimalPath, std::ios::binary)
        << "#version 450\nvoid main()\n{\n    gl_Position = vec4(0.0);\n}\n";
    g_minimalCommand = std::string(kValidator) + " \"" + minimalPath + "\" > /dev/null 2>&1";
    if (std::system(g_validatorCommand.c_str()) != 0 || std::system(g_minimalCommand.c_str()) != 0) {
        std::fprintf(stderr, "glslangValidator refused %s (or is missing)\n", g_glslPath.c_str());
        return false;
    }
    return true;
}

void BM_EngineFrontEnd(benchmark::State& state) {
    FrontEnd frontEnd;
    for (auto _ : state) {
        if (!frontEnd.Run(g_description, g_description.sources[0])) {
            state.SkipWithError("the front end reported errors");
        }
        benchmark::DoNotOptimize(frontEnd.analyzer.root);
    }
    state.counters["lines"] = g_engine.lines;
}

void BM_GlslangValidator(benchmark::State& state) {
    for (auto _ : state) {
        if (std::system(g_validatorCommand.c_str()) != 0) {
            state.SkipWithError("glslangValidator failed");
        }
    }
    state.counters["lines"] = g_glsl.lines;
}

void BM_GlslangValidatorMinimalShader(benchmark::State& state) {
    for (auto _ : state) {
        if (std::system(g_minimalCommand.c_str()) != 0) {
            state.SkipWithError("glslangValidator failed");
        }
    }
}

BENCHMARK(BM_EngineFrontEnd)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_GlslangValidator)->Unit(benchmark::kMillisecond)->Iterations(20)->UseRealTime();
BENCHMARK(BM_GlslangValidatorMinimalShader)->Unit(benchmark::kMillisecond)->Iterations(20)->UseRealTime();

// Keeps the console output and notes each benchmark's wall time per iteration.
class LineReporter : public benchmark::ConsoleReporter {
public:
    double engineSeconds = 0;
    double glslangSeconds = 0;
    double minimalSeconds = 0;

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred || run.iterations == 0 || run.run_type != Run::RT_Iteration) {
                continue;
            }
            const double seconds = run.real_accumulated_time / static_cast<double>(run.iterations);
            if (run.benchmark_name().find("Engine") != std::string::npos) {
                engineSeconds = seconds;
            } else if (run.benchmark_name().find("Minimal") != std::string::npos) {
                minimalSeconds = seconds;
            } else if (run.benchmark_name().find("Glslang") != std::string::npos) {
                glslangSeconds = seconds;
            }
        }
    }
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (!PrepareEngineShader() || !PrepareGlslShader()) {
        return 1;
    }
    std::printf("engine shader: %d lines; GLSL shader: %d lines (%s)\n", g_engine.lines, g_glsl.lines,
                g_glslPath.c_str());
    LineReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double enginePerLine = reporter.engineSeconds * 1e6 / g_engine.lines;
    const double glslangPerLine = reporter.glslangSeconds * 1e6 / g_glsl.lines;
    std::printf("front end (preprocess + parse + check): %.3f us per line\n", enginePerLine);
    std::printf("glslangValidator (whole process):       %.3f us per line\n", glslangPerLine);
    if (enginePerLine > 0) {
        std::printf("ratio glslangValidator / front end: %.2f (target: at least 1)\n",
                    glslangPerLine / enginePerLine);
    }
    std::printf(
        "for information: glslangValidator on a 5-line shader takes %.1f ms a run; above that, the "
        "2,000 lines cost it %.3f us per line\n",
        reporter.minimalSeconds * 1e3,
        (reporter.glslangSeconds - reporter.minimalSeconds) * 1e6 / g_glsl.lines);
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(g_glslPath).parent_path(), ignored);
    return 0;
}
