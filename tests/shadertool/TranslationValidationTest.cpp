// Every expected HLSL vertex and pixel output of the translation corpus is accepted by a real
// compiler: Debian's glslangValidator reading HLSL (-D) into SPIR-V, with its shader model 3
// compatibility for HLSL9 (tex2Dlod needs it). The ray stages stay out: glslang's HLSL has no
// ray-tracing types. Host build only.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "CorpusSupport.h"
#include "ShaderXmlTestSupport.h"
#include "TranslationCorpus.h"

namespace fs = std::filesystem;
using namespace ShaderTool;

namespace {

using namespace ShaderToolTest;

// HLSL outputs of the documents whose outputs are translations (not preprocessed text).
std::vector<std::string> HlslOutputs() {
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
            if (IsExpectedOutputName(stem, file, &target, &stage) && (target & TARGET_HLSL) != 0 &&
                (stage == STAGE_VERTEX || stage == STAGE_PIXEL)) {
                files.push_back(file);
            }
        }
    }
    return files;
}

class TranslationValidation : public ::testing::TestWithParam<std::string> {};

TEST_P(TranslationValidation, GlslangCompilesTheHlsl) {
    const std::string file = GetParam();
    const fs::path input = TranslationCorpusDirectory() / file;
    const bool vertex = input.extension() == ".vertex";
    const bool model3 = file.find(".HLSL9.") != std::string::npos;
    const std::string scratch = NativeResFolder() + "/validation";
    fs::create_directories(scratch);
    const std::string log = scratch + "/" + file + ".log";
    const std::string command = std::string("glslangValidator -D -V -e main -S ") +
                                (vertex ? "vert" : "frag") + (model3 ? " --hlsl-dx9-compatible" : "") +
                                " -o '" + scratch + "/" + file + ".spv' '" + input.string() + "' > '" + log +
                                "' 2>&1";
    const int status = std::system(command.c_str());
    std::string messages;
    ReadFile(log, &messages);
    EXPECT_EQ(status, 0) << messages;
}

INSTANTIATE_TEST_SUITE_P(Outputs, TranslationValidation, ::testing::ValuesIn(HlslOutputs()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             return CorpusTestName(info.param);
                         });

TEST(TranslationValidationFolder, ChecksEveryHlslTarget) {
    int counts[3] = {0, 0, 0};
    for (const std::string& file : HlslOutputs()) {
        counts[0] += file.find(".HLSL9.") != std::string::npos;
        counts[1] += file.find(".HLSL11.") != std::string::npos;
        counts[2] += file.find(".HLSL12.") != std::string::npos;
    }
    EXPECT_GE(counts[0], 10);
    EXPECT_GE(counts[1], 10);
    EXPECT_GE(counts[2], 10);
}

}  // namespace
