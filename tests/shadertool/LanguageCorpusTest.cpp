// The language corpus: every source under corpus/language is analysed for the stage its
// extension names (.vertex, .pixel, .rchit, .rgen, .rmiss). Beside each source, <name>.err
// holds the exact messages expected (empty for a valid source) and, for valid sources,
// <name>.tree the checked tree. Set ZQ_UPDATE_EXPECTED=1 to rewrite them after a deliberate
// change, then review the differences.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "FrontEndHarness.h"
#include "TreeDump.h"
#include "shadertool/TargetNames.h"

namespace fs = std::filesystem;

namespace {

fs::path CorpusDirectory() {
    return fs::path(ZQ_TEST_DATA_DIR) / ".." / "shadertool" / "corpus" / "language";
}

int32_t StageOfExtension(const std::string& extension) {
    for (int32_t stage = 0; stage < ShaderTool::STAGE_COUNT; ++stage) {
        if (extension == std::string(".") + ShaderTool::GetStageName(stage)) {
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

bool ReadFile(const fs::path& path, std::string* text) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return false;
    }
    std::stringstream buffer;
    buffer << file.rdbuf();
    *text = buffer.str();
    return true;
}

void WriteFile(const fs::path& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary);
    file << text;
}

bool UpdatingExpected() {
    const char* update = std::getenv("ZQ_UPDATE_EXPECTED");
    return update != nullptr && update[0] == '1';
}

// Compares actual output with the expected file, or rewrites the file in update mode.
void ExpectMatchesFile(const fs::path& path, const std::string& actual) {
    if (UpdatingExpected()) {
        WriteFile(path, actual);
        return;
    }
    std::string expected;
    ASSERT_TRUE(ReadFile(path, &expected)) << "missing expected file " << path.string();
    EXPECT_EQ(expected, actual) << "for " << path.filename().string();
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
    std::string name;
    for (char c : info.param) {
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    }
    return name;
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
