// The translation corpus: every document under corpus/translation is translated by the compile
// driver, and each output file and the output log must equal the expected files beside it, byte
// for byte; no expected file may be left without output. Set ZQ_UPDATE_EXPECTED=1 to rewrite
// them (stale ones are removed) after a deliberate change, then review every changed line.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "CorpusSupport.h"
#include "TranslationCorpus.h"

namespace fs = std::filesystem;

namespace {

using namespace ShaderToolTest;

// The expected output files of a document's stem present in the corpus folder.
std::set<std::string> ExpectedOutputs(const std::string& stem) {
    std::set<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(TranslationCorpusDirectory(), error)) {
        ShaderTool::TargetFlags target = 0;
        int32_t stage = 0;
        const std::string file = entry.path().filename().string();
        if (IsExpectedOutputName(stem, file, &target, &stage)) {
            names.insert(file);
        }
    }
    return names;
}

class TranslationCorpus : public ::testing::TestWithParam<std::string> {};

TEST_P(TranslationCorpus, MatchesExpectedOutputsAndLog) {
    const std::string name = GetParam();
    const std::string stem = fs::path(name).stem().string();
    const fs::path folder = TranslationCorpusDirectory();
    CorpusOptions options;
    std::string badLine;
    if (fs::exists(folder / (stem + ".request"))) {
        ASSERT_TRUE(ReadCorpusOptions(folder / (stem + ".request"), &options, &badLine)) << badLine;
    }
    const CorpusTranslation translation = TranslateCorpusDocument(name, options);

    ExpectMatchesFile(folder / (stem + ".log"), translation.log);
    const bool succeeded = translation.log.find("\nTranslation SUCCEEDED\n") != std::string::npos;
    const bool failed = translation.log.find("\nTranslation FAILED\n") != std::string::npos;
    EXPECT_EQ(translation.result, !failed) << "the result agrees with the log";
    EXPECT_NE(succeeded, failed || translation.log.find("SKIPPED") != std::string::npos);

    std::set<std::string> stale = ExpectedOutputs(stem);
    for (const auto& output : translation.outputs) {
        ShaderTool::TargetFlags target = 0;
        int32_t stage = 0;
        EXPECT_TRUE(IsExpectedOutputName(stem, output.first, &target, &stage)) << output.first;
        ExpectMatchesFile(folder / output.first, output.second);
        stale.erase(output.first);
    }
    for (const std::string& file : stale) {
        if (UpdatingExpected()) {
            fs::remove(folder / file);
        } else {
            ADD_FAILURE() << "expected output " << file << " was not produced";
        }
    }
}

// What a document leaves in the translators (extension lines, the viewport uniform, written
// payload globals) must not reach the next one: plain documents translate alike before and after
// documents that set all of it. (ctest runs each corpus document in a process of its own.)
TEST(TranslationCorpusState, NothingCarriesOverToTheNextDocument) {
    const CorpusOptions options;
    const char* const plain[] = {"sprite.xml", "ray-miss.xml"};
    std::vector<CorpusTranslation> before;
    for (const char* document : plain) {
        before.push_back(TranslateCorpusDocument(document, options));
    }
    for (const char* document :
         {"integer-inputs.xml", "intrinsics.xml", "sampling.xml", "ray-generation.xml"}) {
        TranslateCorpusDocument(document, options);
    }
    for (size_t i = 0; i < before.size(); ++i) {
        const CorpusTranslation after = TranslateCorpusDocument(plain[i], options);
        EXPECT_EQ(after.log, before[i].log);
        ASSERT_EQ(after.outputs.size(), before[i].outputs.size()) << plain[i];
        for (const auto& output : before[i].outputs) {
            EXPECT_EQ(after.outputs.at(output.first), output.second) << output.first;
        }
    }
}

// Direct3D 12 refuses a root signature in which two resources share a register, and an unbounded
// array ("name[]") takes every register of its class from its own up. So in the ray stages' HLSL
// each register of a class and space is bound once, and an array's space holds nothing else of
// its class.
TEST(TranslationCorpusRegisters, HLSL12RayStagesBindEachRegisterOnce) {
    const std::regex clause(R"((\[\])?\s*:\s*register\(([a-z])(\d+), space(\d+)\))");
    int32_t checked = 0;
    for (const std::string& file :
         CorpusInputs(TranslationCorpusDirectory(), [](const fs::path&) { return true; })) {
        ShaderTool::TargetFlags target = 0;
        int32_t stage = 0;
        const std::string stem = file.substr(0, file.find('.'));
        if (!IsExpectedOutputName(stem, file, &target, &stage) || target != ShaderTool::TARGET_HLSL12 ||
            stage < ShaderTool::STAGE_RCHIT) {
            continue;
        }
        std::string text;
        ASSERT_TRUE(ReadFile(TranslationCorpusDirectory() / file, &text));
        std::map<std::string, int> uses;  // "t0 space1" and, for arrays, "t* space1"
        for (std::sregex_iterator it(text.begin(), text.end(), clause), end; it != end; ++it) {
            const std::string space = " space" + (*it)[4].str();
            const std::string exact = (*it)[2].str() + (*it)[3].str() + space;
            const std::string whole = (*it)[2].str() + "*" + space;
            uses[exact] += 1;
            uses[whole] += (*it)[1].matched ? 100 : 1;  // an array shares its space with nothing
        }
        for (const auto& use : uses) {
            const bool wholeSpace = use.first.find('*') != std::string::npos;
            EXPECT_TRUE(wholeSpace ? use.second <= 100 : use.second == 1)
                << file << ": register " << use.first << " is bound more than once";
        }
        checked += 1;
    }
    EXPECT_GE(checked, 3);
}

// A stage variable of an N x N matrix takes N registers from its semantic index on, so the
// next variable of that semantic starts N further: in the HLSL texts no two members of the
// vertex-output or pixel-input structure may share a COLOR or TEXCOORD register.
TEST(TranslationCorpusRegisters, HLSLStageVariablesNeverShareARegister) {
    const std::regex member(R"(\t(\w+) \w+ : (COLOR|TEXCOORD)(\d+);)");
    const std::regex matrix(R"(float(\d)x\d)");
    int32_t checked = 0;
    for (const std::string& file :
         CorpusInputs(TranslationCorpusDirectory(), [](const fs::path&) { return true; })) {
        ShaderTool::TargetFlags target = 0;
        int32_t stage = 0;
        const std::string stem = file.substr(0, file.find('.'));
        if (!IsExpectedOutputName(stem, file, &target, &stage) ||
            (target & (ShaderTool::TARGET_HLSL | ShaderTool::TARGET_PSSL)) == 0 ||
            stage > ShaderTool::STAGE_PIXEL) {
            continue;
        }
        std::string text;
        ASSERT_TRUE(ReadFile(TranslationCorpusDirectory() / file, &text));
        const std::string structure =
            stage == ShaderTool::STAGE_VERTEX ? "struct VertexOutput\n" : "struct PixelInput\n";
        const size_t start = text.find(structure);
        if (start == std::string::npos) {
            continue;
        }
        const std::string body = text.substr(start, text.find("};", start) - start);
        std::map<std::string, int> uses;
        for (std::sregex_iterator it(body.begin(), body.end(), member), end; it != end; ++it) {
            std::smatch size;
            const std::string type = (*it)[1].str();
            const int registers = std::regex_match(type, size, matrix) ? std::stoi(size[1].str()) : 1;
            for (int r = 0; r < registers; ++r) {
                uses[(*it)[2].str() + std::to_string(std::stoi((*it)[3].str()) + r)] += 1;
            }
        }
        for (const auto& use : uses) {
            EXPECT_EQ(use.second, 1) << file << ": " << use.first << " is taken more than once";
        }
        checked += 1;
    }
    EXPECT_GE(checked, 100);
}

INSTANTIATE_TEST_SUITE_P(Documents, TranslationCorpus, ::testing::ValuesIn(TranslationCorpusDocuments()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             return CorpusTestName(info.param);
                         });

}  // namespace
