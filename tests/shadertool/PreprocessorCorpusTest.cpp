// The preprocessor corpus: every source under corpus/preprocessor is preprocessed for the stage
// its extension names (.vertex, .pixel, .rchit, .rgen, .rmiss) and for HLSL11, or for the target
// named in <name>.target. Beside each source, <name>.out holds the expected output and
// <name>.err the exact messages (empty when the run succeeds). Included files live in the
// folder's include/ subfolder. Set ZQ_UPDATE_EXPECTED=1 to rewrite the expected files after a
// deliberate change, then review the differences.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "CorpusSupport.h"
#include "PreprocessorHarness.h"
#include "shadertool/TargetNames.h"

namespace fs = std::filesystem;

namespace {

using namespace ShaderTool;
using ShaderToolTest::ExpectMatchesFile;
using ShaderToolTest::Preprocess;
using ShaderToolTest::PreprocessOptions;
using ShaderToolTest::PreprocessResult;
using ShaderToolTest::ReadWholeFile;
using ShaderToolTest::StageOfExtension;

fs::path CorpusDirectory() {
    return ShaderToolTest::CorpusDirectory("preprocessor");
}

std::vector<std::string> CorpusSources() {
    return ShaderToolTest::CorpusInputs(CorpusDirectory(), [](const fs::path& path) {
        return StageOfExtension(path.extension().string()) >= 0;
    });
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

    ExpectMatchesFile(source.string() + ".out", result.output);
    ExpectMatchesFile(source.string() + ".err", result.log);
}

INSTANTIATE_TEST_SUITE_P(Corpus, ShaderPreprocessorCorpus, ::testing::ValuesIn(CorpusSources()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             return ShaderToolTest::CorpusTestName(info.param);
                         });

TEST(ShaderPreprocessorCorpusFolder, HasSources) {
    EXPECT_GE(CorpusSources().size(), 10u);
}

}  // namespace
