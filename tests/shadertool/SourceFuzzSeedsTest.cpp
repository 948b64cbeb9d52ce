// The source translation fuzz target only finds faults in the translators when its documents get
// that far: every seed of its corpus must reach the translation of its own source, not stop at a
// refusal of the whole document.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "../../fuzz/shadertool/translation/SourceDocument.h"
#include "CorpusSupport.h"
#include "TranslationCorpus.h"
#include "shadertool/CompileDriver.h"
#include "shadertool/TargetNames.h"

namespace fs = std::filesystem;
using namespace ShaderTool;

namespace {

fs::path SeedFolder() {
    return fs::path(__FILE__).parent_path().parent_path().parent_path() / "fuzz" / "shadertool" /
           "translation" / "corpus-source";
}

TEST(SourceFuzzSeeds, EverySeedReachesTheTranslationOfItsSource) {
    const auto seeds = ShaderToolTest::CorpusInputs(SeedFolder(), [](const fs::path&) { return true; });
    ASSERT_GE(seeds.size(), 29u);
    ASSERT_TRUE(InitializeTargets(ShaderToolTest::CorpusTargets(), 0, "", false));
    for (const std::string& seed : seeds) {
        std::string bytes;
        ASSERT_TRUE(ShaderToolTest::ReadFile(SeedFolder() / seed, &bytes));
        ASSERT_FALSE(bytes.empty()) << seed;
        const std::string document = TranslationFuzz::BuildSourceDocument(
            reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        const int32_t stage = static_cast<uint8_t>(bytes[0]) % STAGE_COUNT;
        // The seed's text is the pixel source beside a fixed vertex source, or the only source.
        const int32_t index = stage == STAGE_PIXEL ? 2 : 1;
        ResetShaderToolState();
        ASSERT_TRUE(ReadShaderXml("seed.xml", document.c_str(), false, false))
            << seed << "\n"
            << GetShaderToolState().outputLog.text.CStr();
        ShaderTranslationRequest request;
        request.targets = ShaderToolTest::CorpusTargets();
        request.descriptionRead = 1;
        TranslateShaderXml("seed.xml", request, false);
        const std::string log = GetShaderToolState().outputLog.text.CStr();
        const std::string reached = "Translating " + std::string(GetStageName(stage)) +
                                    " shader code of shader source " + std::to_string(index) +
                                    "...\nTranslating for target '";
        EXPECT_NE(log.find(reached), std::string::npos) << seed << "\n" << log;
    }
    ResetShaderToolState();
    InitializeTargets(0, 0, "", false);
}

}  // namespace
