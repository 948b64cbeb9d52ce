// The Shader XML corpus: every .xml document under corpus/shaderxml is read as a file through
// the data manager and the engine's file system (the folder is copied below res://corpus/, so
// messages name res:// paths). Beside each document, <name>.xml.err holds the exact messages
// expected (empty for a valid document) and, for valid documents, <name>.xml.desc the whole
// description. Source files the documents name live in the folder's subfolders. Set
// ZQ_UPDATE_EXPECTED=1 to rewrite the expected files after a deliberate change, then review.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "CorpusSupport.h"
#include "ShaderXmlTestSupport.h"

namespace fs = std::filesystem;

namespace {

using ShaderToolTest::ExpectMatchesFile;

fs::path CorpusDirectory() {
    return ShaderToolTest::CorpusDirectory("shaderxml");
}

std::vector<std::string> CorpusDocuments() {
    return ShaderToolTest::CorpusInputs(CorpusDirectory(),
                                        [](const fs::path& path) { return path.extension() == ".xml"; });
}

class ShaderXmlCorpus : public ::testing::TestWithParam<std::string> {};

TEST_P(ShaderXmlCorpus, MatchesExpectedMessagesAndDescription) {
    const std::string name = GetParam();
    ShaderToolTest::CopyCorpusToRes("shaderxml", "corpus/");
    ShaderToolTest::ShaderXmlRead read;
    const bool ok = read.FromFile("res://corpus/" + name);
    EXPECT_EQ(ok, read.Messages().empty()) << name;

    const fs::path document = CorpusDirectory() / name;
    ExpectMatchesFile(document.string() + ".err", read.Messages());
    const fs::path desc(document.string() + ".desc");
    if (ok) {
        ExpectMatchesFile(desc, ShaderToolTest::DumpDescription(read.description));
    } else {
        EXPECT_FALSE(fs::exists(desc)) << "a failing document has no description: " << desc.string();
    }
}

INSTANTIATE_TEST_SUITE_P(Documents, ShaderXmlCorpus, ::testing::ValuesIn(CorpusDocuments()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             return ShaderToolTest::CorpusTestName(info.param);
                         });

TEST(ShaderXmlCorpusFolder, HoldsValidAndFaultyDocuments) {
    int valid = 0;
    int faulty = 0;
    for (const std::string& name : CorpusDocuments()) {
        std::string expected;
        ShaderToolTest::ReadFile(CorpusDirectory() / (name + ".err"), &expected);
        (expected.empty() ? valid : faulty) += 1;
    }
    EXPECT_GE(valid, 4);
    EXPECT_GE(faulty, 8);
}

}  // namespace
