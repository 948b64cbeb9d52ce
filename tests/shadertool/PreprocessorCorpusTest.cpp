// The preprocessor corpus: every source under corpus/preprocessor is preprocessed for the stage
// its extension names (.vertex, .pixel, .rchit, .rgen, .rmiss) and for HLSL11, or for the target
// named in <name>.target. Beside each source, <name>.out holds the expected output and
// <name>.err the exact messages (empty when the run succeeds). Included files live in the
// folder's include/ subfolder. Set ZQ_UPDATE_EXPECTED=1 to rewrite the expected files after a
// deliberate change, then review the differences.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "PreprocessorHarness.h"
#include "shadertool/TargetNames.h"

namespace fs = std::filesystem;

namespace {

using namespace ShaderTool;
using ShaderToolTest::Preprocess;
using ShaderToolTest::PreprocessOptions;
using ShaderToolTest::PreprocessResult;
using ShaderToolTest::ReadWholeFile;

fs::path CorpusDirectory() {
    return fs::path(__FILE__).parent_path() / "corpus" / "preprocessor";
}

int32_t StageOfExtension(const std::string& extension) {
    for (int32_t stage = 0; stage < STAGE_COUNT; ++stage) {
        if (extension == std::string(".") + GetStageName(stage)) {
            return stage;
        }
    }
    return -1;
}

std::vector<std::string> CorpusSources() {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(CorpusDirectory(), error)) {
        if (entry.is_regular_file() && StageOfExtension(entry.path().extension().string()) >= 0) {
            names.push_back(entry.path().filename().string());
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool UpdateRequested() {
    const char* update = std::getenv("ZQ_UPDATE_EXPECTED");
    return update != nullptr && std::string(update) == "1";
}

void WriteFile(const fs::path& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary);
    file << text;
}

// The target named in <name>.target (first word), HLSL11 without one.
TargetFlags TargetOf(const fs::path& source) {
    std::string text;
    if (!ReadWholeFile(source.string() + ".target", &text)) {
        return TARGET_HLSL11;
    }
    text = text.substr(0, text.find_first_of(" \r\n"));
    return ParseTargetName(text.c_str());
}

class ShaderPreprocessorCorpus : public ::testing::TestWithParam<std::string> {};

TEST_P(ShaderPreprocessorCorpus, MatchesExpectedOutputAndMessages) {
    const std::string name = GetParam();
    const fs::path source = CorpusDirectory() / name;
    std::string text;
    ASSERT_TRUE(ReadWholeFile(source.string(), &text)) << source;

    ShaderToolTest::ScopedFolderFiles files(CorpusDirectory().string());
    PreprocessOptions options;
    options.stage = StageOfExtension(source.extension().string());
    options.target = TargetOf(source);
    options.fileName = name.c_str();
    ASSERT_NE(options.target, 0u) << "unknown target in " << name << ".target";
    const PreprocessResult result = Preprocess(text, options);
    EXPECT_EQ(result.ok, result.log.empty()) << name;

    const fs::path outPath = source.string() + ".out";
    const fs::path errPath = source.string() + ".err";
    if (UpdateRequested()) {
        WriteFile(outPath, result.output);
        WriteFile(errPath, result.log);
        return;
    }
    std::string expectedOutput;
    std::string expectedLog;
    ASSERT_TRUE(ReadWholeFile(outPath.string(), &expectedOutput)) << outPath;
    ASSERT_TRUE(ReadWholeFile(errPath.string(), &expectedLog)) << errPath;
    EXPECT_EQ(result.output, expectedOutput) << name;
    EXPECT_EQ(result.log, expectedLog) << name;
}

INSTANTIATE_TEST_SUITE_P(Corpus, ShaderPreprocessorCorpus, ::testing::ValuesIn(CorpusSources()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string id = info.param;
                             std::replace_if(
                                 id.begin(), id.end(),
                                 [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
                             return id;
                         });

TEST(ShaderPreprocessorCorpusFolder, HasSources) {
    EXPECT_GE(CorpusSources().size(), 10u);
}

}  // namespace
