// Every expected output of the translation corpus is accepted by a real compiler: Debian's
// glslangValidator, run on a copy of the text with the preamble the target needs.
// - HLSL9/11/12: its HLSL reader (-D) into SPIR-V, with shader model 3 compatibility for HLSL9.
//   Ray stages stay out: glslang's HLSL has no ray-tracing types.
// - ESSL20, ESSL30, GLSL21, GLSL31 (as 1.40 and as 4.30): the translators write no version
//   directive, so one is put in front (glslang 12's --glsl-version override misreads these texts).
//   glslang 12 knows neither GL_EXT_gpu_shader4 nor gl_InstanceID at 1.20: GLSL21 texts that use
//   them are checked against their expected files only.
// - Vulkan GLSL: 4.50 (ray stages 4.60 for Vulkan 1.1) compiled to SPIR-V, which spirv-val checks.
// - PSSL has no compiler here: glslang's HLSL reader after defines that map PSSL's names to HLSL's,
//   once without and once with __PROSPERO__ (its colour swizzle block).
// Host build only.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "CorpusSupport.h"
#include "ShaderXmlTestSupport.h"
#include "TranslationCorpus.h"
#include "shadertool/TargetNames.h"
#include "shadertool/TargetTable.h"

namespace fs = std::filesystem;
using namespace ShaderTool;

namespace {

using namespace ShaderToolTest;

const char kPsslToHlsl[] =
    "#define ConstantBuffer cbuffer\n#define S_POSITION SV_POSITION\n#define S_FRONT_FACE SV_IsFrontFace\n"
    "#define S_INSTANCE_ID SV_InstanceID\n#define S_VERTEX_ID SV_VertexID\n#define SampleLOD SampleLevel\n"
    "#define SampleGradient SampleGrad\n#define S_TARGET_OUTPUT0 SV_TARGET0\n#define S_TARGET_OUTPUT1 "
    "SV_TARGET1\n#define S_TARGET_OUTPUT2 SV_TARGET2\n#define S_TARGET_OUTPUT3 SV_TARGET3\n"
    "#define S_TARGET_OUTPUT4 SV_TARGET4\n#define S_TARGET_OUTPUT5 SV_TARGET5\n#define S_TARGET_OUTPUT6 "
    "SV_TARGET6\n#define S_TARGET_OUTPUT7 SV_TARGET7\n";

// One compile: the preamble put in front of the text and glslangValidator's options (before -S).
struct Check {
    std::string preamble;
    std::string options;
};

bool IsRayStage(int32_t stage) {
    return stage != STAGE_VERTEX && stage != STAGE_PIXEL;
}

// The compiles that check a target's output; none for what no compiler here can take.
std::vector<Check> ChecksFor(TargetFlags target, int32_t stage, const std::string& text) {
    const std::string hlsl = "-D -V -e main";
    switch (target) {
        case TARGET_HLSL9:
            return {{"", hlsl + " --hlsl-dx9-compatible"}};
        case TARGET_HLSL11:
        case TARGET_HLSL12:
            return IsRayStage(stage) ? std::vector<Check>() : std::vector<Check>{{"", hlsl}};
        case TARGET_PSSL:
            return {{kPsslToHlsl, hlsl}, {std::string(kPsslToHlsl) + "#define __PROSPERO__ 1\n", hlsl}};
        case TARGET_ESSL20:
            return {{"#version 100\n", ""}};
        case TARGET_ESSL30:
            return {{"#version 300 es\n", ""}};
        case TARGET_GLSL21:
            if (text.find("GL_EXT_gpu_shader4") != std::string::npos ||
                text.find("gl_InstanceID") != std::string::npos) {
                return {};
            }
            return {{"#version 120\n", ""}};
        case TARGET_GLSL31:
            return {{"#version 140\n", ""}, {"#version 430\n", ""}};
        case TARGET_SPIRV:
            return IsRayStage(stage) ? std::vector<Check>{{"#version 460\n", "-V --target-env vulkan1.1"}}
                                     : std::vector<Check>{{"#version 450\n", "-V"}};
        default:
            return {};
    }
}

const char* StageOption(int32_t stage) {
    static const char* const kStages[STAGE_COUNT] = {"vert", "frag", "rchit", "rgen", "rmiss"};
    return kStages[stage];
}

// The expected outputs of the documents whose outputs are translations (not preprocessed text)
// that a compiler here checks.
std::vector<std::string> CheckedOutputs() {
    std::vector<std::string> files;
    const fs::path folder = TranslationCorpusDirectory();
    for (const std::string& document : TranslationCorpusDocuments()) {
        const std::string stem = fs::path(document).stem().string();
        CorpusOptions options;
        std::string badLine;
        if (fs::exists(folder / (stem + ".request")) &&
            (!ReadCorpusOptions(folder / (stem + ".request"), &options, &badLine) ||
             options.preprocessOnly)) {
            continue;
        }
        for (const std::string& file : CorpusInputs(folder, [](const fs::path&) { return true; })) {
            TargetFlags target = 0;
            int32_t stage = 0;
            std::string text;
            if (IsExpectedOutputName(stem, file, &target, &stage) && ReadFile(folder / file, &text) &&
                !ChecksFor(target, stage, text).empty()) {
                files.push_back(file);
            }
        }
    }
    return files;
}

// Runs a command, its output into log; true when it exits with 0.
bool RunCommand(const std::string& command, const std::string& log, std::string* messages) {
    const int status = std::system((command + " > '" + log + "' 2>&1").c_str());
    messages->clear();
    ReadFile(log, messages);
    return status == 0;
}

class TranslationValidation : public ::testing::TestWithParam<std::string> {};

TEST_P(TranslationValidation, GlslangAcceptsTheOutput) {
    const std::string file = GetParam();
    TargetFlags target = 0;
    int32_t stage = 0;
    const std::string stem = file.substr(0, file.find('.'));
    ASSERT_TRUE(IsExpectedOutputName(stem, file, &target, &stage));
    std::string text;
    ASSERT_TRUE(ReadFile(TranslationCorpusDirectory() / file, &text));
    const fs::path scratch = fs::path(NativeResFolder()) / "validation";
    fs::create_directories(scratch);
    int32_t run = 0;
    for (const Check& check : ChecksFor(target, stage, text)) {
        const std::string base = (scratch / (file + "." + std::to_string(run++))).string();
        const std::string module = base + ".spv";
        // glslang picks the input language by extension; the stage is given explicitly.
        const std::string input = base + (check.options.find("-D") != std::string::npos ? ".hlsl" : ".glsl");
        WriteFile(input, check.preamble + text);
        std::string messages;
        // Only a SPIR-V run (-V) writes a module; plain GLSL is validated alone.
        const bool spirv = check.options.find("-V") != std::string::npos;
        const std::string compile = "glslangValidator " + check.options + " -S " + StageOption(stage) +
                                    (spirv ? " -o '" + module + "'" : "") + " '" + input + "'";
        EXPECT_TRUE(RunCommand(compile, base + ".log", &messages)) << check.preamble << messages;
        if (target == TARGET_SPIRV && fs::exists(module)) {
            const std::string environment = IsRayStage(stage) ? "vulkan1.1" : "vulkan1.0";
            EXPECT_TRUE(RunCommand("spirv-val --target-env " + environment + " '" + module + "'",
                                   base + ".val", &messages))
                << messages;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Outputs, TranslationValidation, ::testing::ValuesIn(CheckedOutputs()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             return CorpusTestName(info.param);
                         });

// Every target has a fair share of checked outputs, so a corpus change cannot quietly leave one out.
TEST(TranslationValidationFolder, ChecksEveryTarget) {
    int32_t counts[TARGET_COUNT] = {};
    for (const std::string& file : CheckedOutputs()) {
        TargetFlags target = 0;
        int32_t stage = 0;
        if (IsExpectedOutputName(file.substr(0, file.find('.')), file, &target, &stage)) {
            counts[TargetIndex(target)] += 1;
        }
    }
    for (int32_t index = 0; index < TARGET_COUNT; ++index) {
        EXPECT_GE(counts[index], 15) << GetTargetName(1u << index);
    }
}

}  // namespace
