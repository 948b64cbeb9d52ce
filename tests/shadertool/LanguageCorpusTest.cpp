// The language corpus: every source under corpus/language is analysed for the stage its
// extension names (.vertex, .pixel, .rchit, .rgen, .rmiss). Beside each source, <name>.err
// holds the exact messages expected (empty for a valid source) and, for valid sources,
// <name>.tree the checked tree. Set ZQ_UPDATE_EXPECTED=1 to rewrite them after a deliberate
// change, then review the differences.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "CorpusSupport.h"
#include "FrontEndHarness.h"
#include "TreeDump.h"
#include "shadertool/ShaderType.h"

namespace fs = std::filesystem;

namespace {

using ShaderToolTest::ExpectMatchesFile;
using ShaderToolTest::ReadFile;
using ShaderToolTest::StageOfExtension;

fs::path CorpusDirectory() {
    return ShaderToolTest::CorpusDirectory("language");
}

std::vector<std::string> CorpusSources() {
    return ShaderToolTest::CorpusInputs(CorpusDirectory(), [](const fs::path& path) {
        return StageOfExtension(path.extension().string()) >= 0;
    });
}

class LanguageCorpus : public ::testing::TestWithParam<std::string> {};

TEST_P(LanguageCorpus, MatchesExpectedMessagesAndTree) {
    const std::string name = GetParam();
    const fs::path source = CorpusDirectory() / name;
    std::string text;
    ASSERT_TRUE(ReadFile(source, &text));
    ShaderToolTest::FrontEnd frontEnd;
    const int32_t stage = StageOfExtension(source.extension().string());
    const bool success = frontEnd.Run(text, stage, name.c_str());

    ExpectMatchesFile(fs::path(source.string() + ".err"), frontEnd.Messages());
    EXPECT_EQ(success, frontEnd.Messages().empty());
    const fs::path tree(source.string() + ".tree");
    if (success) {
        ExpectMatchesFile(tree, ShaderToolTest::DumpTree(frontEnd.analyzer.root));
    } else {
        EXPECT_FALSE(fs::exists(tree)) << "a failing source has no tree: " << tree.string();
    }
}

std::string TestNameOf(const ::testing::TestParamInfo<std::string>& info) {
    return ShaderToolTest::CorpusTestName(info.param);
}

INSTANTIATE_TEST_SUITE_P(Sources, LanguageCorpus, ::testing::ValuesIn(CorpusSources()), TestNameOf);

TEST(LanguageCorpusFolder, HoldsSourcesOfEveryStage) {
    std::vector<bool> seen(ShaderTool::STAGE_COUNT, false);
    for (const std::string& name : CorpusSources()) {
        seen[StageOfExtension(fs::path(name).extension().string())] = true;
    }
    for (int32_t stage = 0; stage < ShaderTool::STAGE_COUNT; ++stage) {
        EXPECT_TRUE(seen[stage]) << "no corpus source for stage " << stage;
    }
}

}  // namespace
