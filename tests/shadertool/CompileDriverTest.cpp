// The compile driver through the calls the graphics shader manager makes: target set-up, output
// names and folders, stage buffers, the missing run-time compiler of the host build, reading
// documents from text and files, the up-to-date passes, and state that must not leak from one
// document to the next. Translated text itself is checked by the translation corpus.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "CorpusSupport.h"
#include "ShaderXmlTestSupport.h"
#include "data/DataManager.h"
#include "shadertool/CompileDriver.h"
#include "shadertool/CompileDriver_local.h"

namespace fs = std::filesystem;
using namespace ShaderTool;
using ShaderToolTest::NativeResFolder;
using ShaderToolTest::WriteResFile;

namespace {

// A document with a vertex and a pixel source (inline, or files beside it when named) and a
// pixel texture sampled by the pixel source through `sampling`.
std::string Document(const std::string& vertexSource, const std::string& pixelSource,
                     const std::string& sampling = "sampleTexture(texture.shadow, input.uv)") {
    auto source = [](const char* stage, const std::string& body) {
        if (body.find("main") == std::string::npos) {
            return "<node type=\"" + std::string(stage) + "\" file=\"" + body + "\"/>";
        }
        return "<node type=\"" + std::string(stage) + "\"><![CDATA[" + body + "]]></node>";
    };
    return "<?xml version=\"1.0\"?><root>"
           "<array id=\"info\"><node id=\"version\" value=\"2\"/><node id=\"revision\" value=\"4\"/></array>"
           "<array id=\"vertex_input\"><node id=\"position\" semantic=\"POSITION\"/><node id=\"color\" "
           "semantic=\"COLOR\"/><node id=\"uv\" semantic=\"TEXTURE_COORDINATE_0\"/></array>"
           "<array id=\"vertex_output\"><node id=\"position\" type=\"FLOAT4\" semantic=\"POSITION\"/>"
           "<node id=\"uv\" type=\"FLOAT2\"/></array>"
           "<array id=\"pixel_textures\"><node id=\"shadow\" type=\"2D\"/></array>"
           "<array id=\"pixel_output\"><node id=\"color\"/></array><array id=\"sources\">" +
           source("vertex", vertexSource) +
           source("pixel",
                  pixelSource.empty() ? "void main() { output.color = " + sampling + "; }" : pixelSource) +
           "</array></root>";
}

const char kVertex[] = "void main() { output.position = input.position; output.uv = input.uv; }";

class CompileDriver : public ::testing::Test {
protected:
    void SetUp() override { ResetShaderToolState(); }
    void TearDown() override {
        for (const std::string& path : loaded_) {
            DataManager::UnloadDatabaseByName(path.c_str());  // the data manager keeps what it read
        }
        ResetShaderToolState();
        InitializeTargets(0, 0, "", false);
    }

    State& state() { return GetShaderToolState(); }
    std::string OutputLog() { return state().outputLog.text.CStr(); }
    static std::string Native(const std::string& resPath) { return NativeResFolder() + "/" + resPath; }

    // Translates the document res://<name> (written first unless document is empty) for the
    // targets, output in res://out/; a request with an output time runs in up-to-date mode.
    bool Translate(const std::string& name, const std::string& document, TargetFlags targets,
                   ShaderTranslationRequest request = ShaderTranslationRequest()) {
        const std::string path = Loaded(document.empty() ? "res://" + name : WriteResFile(name, document));
        fs::remove_all(Native("out"));
        EXPECT_TRUE(InitializeTargets(targets, 0, "res://out", request.outputTime != 0)) << OutputLog();
        request.targets = targets;
        request.basePath = "res://";
        return TranslateShaderXml(path.c_str(), request, true);
    }

    const std::string& Loaded(const std::string& path) {
        loaded_.push_back(path);
        return loaded_.back();
    }

    ShaderToolTest::ScopedEngineFiles files_;
    std::vector<std::string> loaded_;
};

TEST(CompileDriverNames, OutputBaseNameCutsTheBasePathAndTheExtension) {
    const struct {
        const char* path;
        const char* basePath;
        const char* expected;
    } cases[] = {
        {"shaders/a.xml", "shaders/", "a"},       {"shaders/sub/a.b.xml", "shaders/", "sub/a.b"},
        {"dir.old/name", "", "dir.old/name"},      // the dot of a folder is no extension
        {"shaders/a.xml", "other/", "shaders/a"},  // not a prefix: nothing is cut
        {"a.xml", "a.xml.longer", "a"},           {nullptr, nullptr, ""},
    };
    for (const auto& c : cases) {
        EXPECT_STREQ(MakeOutputBaseName(c.path, c.basePath).CStr(), c.expected) << (c.path ? c.path : "null");
    }
}

TEST_F(CompileDriver, OutputDirectoryGetsASeparatorAndEveryTargetGetsItsTranslator) {
    const struct {
        const char* given;
        const char* stored;
    } directories[] = {{"res://out", "res://out/"}, {"res://out\\", "res://out\\"}, {"", ""}};
    for (const auto& directory : directories) {
        ASSERT_TRUE(InitializeTargets(TARGET_HLSL, 0, directory.given, false));
        EXPECT_STREQ(state().outputDirectory.CStr(), directory.stored);
    }
    ASSERT_TRUE(InitializeTargets(TARGET_ALL, 0, "", false)) << OutputLog();
    for (int32_t index = 0; index < TARGET_COUNT; ++index) {
        EXPECT_NE(state().translators[index + 1], nullptr) << index;
    }
    EXPECT_EQ(CreateTranslator(TARGET_ALL, &state().workingLog), nullptr);
}

// One target keeps the plain "<base>.<stage>" names; a document in a subfolder of the base path
// gets that folder below the output directory. Text targets fill the stage buffers, each text
// with its terminating zero.
TEST_F(CompileDriver, OneTargetWritesPlainNamesIntoSubfoldersAndTheStageBuffers) {
    ASSERT_TRUE(Translate("nested/deeper/a.xml", Document(kVertex, ""), TARGET_HLSL9)) << OutputLog();
    std::string vertex, pixel;
    ASSERT_TRUE(ShaderToolTest::ReadFile(Native("out/nested/deeper/a.vertex"), &vertex));
    ASSERT_TRUE(ShaderToolTest::ReadFile(Native("out/nested/deeper/a.pixel"), &pixel));
    EXPECT_EQ(state().producedStages, 3u);
    const ByteStream& vertexBuffer = state().stageBuffers[STAGE_VERTEX];
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(vertexBuffer.data), vertexBuffer.size),
              vertex + '\0');
    EXPECT_EQ(state().stageBuffers[STAGE_PIXEL].size, static_cast<int32_t>(pixel.size() + 1));
}

// Byte-code targets go to their compiler, not to the stage buffers. The host build has no
// Direct3D compiler: compiling fails with the driver's own message, and the text is still made.
TEST_F(CompileDriver, ByteCodeTargetWithoutCompilerStillWritesItsText) {
    ShaderTranslationRequest request;
    request.compile = 1;
    request.variants = VARIANT_HLSL11_DEFAULT;
    const bool translated = Translate("b.xml", Document(kVertex, ""), TARGET_HLSL11, request);
#if defined(_WIN32)
    EXPECT_TRUE(translated) << OutputLog();
    EXPECT_EQ(state().producedStages, 3u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(state().stageBuffers[STAGE_PIXEL].data), 4), "DXBC");
#else
    EXPECT_FALSE(translated);
    EXPECT_NE(OutputLog().find("Error: target 'HLSL11' does not have a compiler set up. If this occurred at "
                               "runtime, most likely the target does not support runtime compilation.\n"),
              std::string::npos)
        << OutputLog();
    EXPECT_EQ(state().producedStages, 0u);
#endif
    EXPECT_TRUE(fs::exists(Native("out/b.vertex")));
    EXPECT_TRUE(fs::exists(Native("out/b.pixel")));
}

// The shader manager's sequence: read with the list flag, read the sources, translate what is read.
TEST_F(CompileDriver, ReadsListedDocumentsThenTheirSources) {
    const std::string path = Loaded(WriteResFile("c.xml", Document(kVertex, "")));
    ASSERT_TRUE(ReadShaderXml(path.c_str(), nullptr, true, true)) << OutputLog();
    EXPECT_TRUE(state().description.sources[0].text.IsEmpty());
    ASSERT_TRUE(ReadShaderSources());
    FlushShaderToolLog(nullptr);
    ASSERT_TRUE(InitializeTargets(TARGET_HLSL9, 0, "", false));
    ShaderTranslationRequest request;
    request.targets = TARGET_HLSL9;
    request.descriptionRead = 1;
    EXPECT_TRUE(TranslateShaderXml(path.c_str(), request, false)) << OutputLog();
    EXPECT_EQ(state().producedStages, 3u);
}

TEST_F(CompileDriver, ReadsDocumentsFromTextAndReportsFaults) {
    const std::string document = Document(kVertex, "");
    EXPECT_TRUE(ReadShaderXml("mem.xml", document.c_str(), false, false)) << OutputLog();
    EXPECT_EQ(state().description.sources.count, 2);
    ResetShaderToolState();
    EXPECT_FALSE(ReadShaderXml(
        "mem.xml",
        "<?xml version=\"1.0\"?><root><array id=\"info\"><node id=\"version\" value=\"1\"/></array></root>",
        false, false));
    EXPECT_EQ(OutputLog(), "Failed to read the Shader XML:\nError: file is of invalid version.\n");
    ResetShaderToolState();
    ShaderTranslationRequest request;
    request.targets = TARGET_HLSL9;
    EXPECT_TRUE(TranslateShaderXml(Loaded("res://missing.xml").c_str(), request, false));
    EXPECT_NE(OutputLog().find("File is not a Shader XML file.\n\nTranslation SKIPPED\n"), std::string::npos);
}

// A stage that fails after sampling with a comparison must not leave its comparison sampler to
// the next document's texture of the same name.
TEST_F(CompileDriver, ComparisonSamplersDoNotOutliveAFailedStage) {
    ShaderTranslationRequest low;
    low.variants = VARIANT_HLSL11_LOW;
    const std::string failing =
        "void main() { int bits = 3 & 1; output.color = float4(sampleTextureCompareLodZero(texture.shadow, "
        "input.uv, 0.5)); }";
    EXPECT_FALSE(Translate("d.xml", Document(kVertex, failing), TARGET_HLSL11, low));
    ResetShaderToolState();
    ASSERT_TRUE(Translate("e.xml", Document(kVertex, ""), TARGET_HLSL11)) << OutputLog();
    std::string pixel;
    ASSERT_TRUE(ShaderToolTest::ReadFile(Native("out/e.pixel"), &pixel));
    EXPECT_NE(pixel.find("SamplerState _smp_shadow : register(s0);"), std::string::npos) << pixel;
}

// Up-to-date mode: sources not newer than the output time are skipped; when some changed, the
// others are translated in a second pass so that every stage has output again.
TEST_F(CompileDriver, UpToDateModeSkipsUnchangedSourcesAndCompletesChangedDocuments) {
    // The document and its sources all date from a minute ago.
    WriteResFile("f.xml", Document("f.vertex", "f.pixel"));
    WriteResFile("f.vertex", kVertex);
    WriteResFile("f.pixel", "void main() { output.color = float4(input.uv, 0.0, 1.0); }");
    const auto past = fs::last_write_time(Native("f.xml")) - std::chrono::seconds(60);
    for (const char* file : {"f.xml", "f.vertex", "f.pixel"}) {
        fs::last_write_time(Native(file), past);
    }
    ShaderTranslationRequest request;
    request.outputTime = 1;
    ASSERT_TRUE(Translate("f.xml", "", TARGET_HLSL9, request)) << OutputLog();
    const int32_t newest = state().newestSourceTime;
    ASSERT_GT(newest, 1);
    EXPECT_EQ(state().producedStages, 3u);

    ResetShaderToolState();
    request.outputTime = newest;
    ASSERT_TRUE(Translate("f.xml", "", TARGET_HLSL9, request)) << OutputLog();
    EXPECT_EQ(state().producedStages, 0u);
    EXPECT_EQ(state().newestSourceTime, newest);
    EXPECT_NE(OutputLog().find("Shader source is up to date, skipping translation..."), std::string::npos);

    ResetShaderToolState();
    fs::last_write_time(Native("f.pixel"), past + std::chrono::seconds(30));
    ASSERT_TRUE(Translate("f.xml", "", TARGET_HLSL9, request)) << OutputLog();
    EXPECT_GT(state().newestSourceTime, newest);
    EXPECT_EQ(state().producedStages, 3u);
    EXPECT_NE(OutputLog().find("Changes or target dependent code was detected, translating up-to-date shader "
                               "sources...\nTranslating vertex shader code of shader source 1..."),
              std::string::npos)
        << OutputLog();
}

// Hit and miss shaders read what the tracer's payload carries, so they need an input payload. The
// sources are read after the payloads: the check must still see their stages.
TEST_F(CompileDriver, HitAndMissSourcesWithoutAnInputPayloadAreRefused) {
    for (const char* stage : {"rchit", "rmiss"}) {
        SCOPED_TRACE(stage);
        ResetShaderToolState();
        const std::string document =
            "<?xml version=\"1.0\"?><root><array id=\"info\"><node id=\"version\" value=\"2\"/>"
            "<node id=\"revision\" value=\"6\"/><node id=\"feature_level\" value=\"3\"/>"
            "<node id=\"ray_tracing_group\" value=\"0\"/></array>"
            "<array id=\"ray_payloads\"><node id=\"radiance\" type=\"FLOAT4\" slot=\"0\"/></array>"
            "<array id=\"sources\"><node type=\"" +
            std::string(stage) +
            "\"><![CDATA[void main() { ray_payloads.radiance = float4(1.0, 0.0, 0.0, 1.0); }]]></node>"
            "</array></root>";
        EXPECT_FALSE(Translate(std::string(stage) + ".xml", document, TARGET_HLSL12 | TARGET_SPIRV));
        EXPECT_NE(
            OutputLog().find("Failed to read the Shader XML:\nError: an input ray payload variable must be "
                             "defined for 'rchit' and 'rmiss' shaders.\n"),
            std::string::npos)
            << OutputLog();
        EXPECT_NE(OutputLog().find("\nTranslation FAILED\n"), std::string::npos) << OutputLog();
        EXPECT_EQ(state().producedStages, 0u);
        EXPECT_FALSE(fs::exists(Native("out")));
    }
}

// A source with thousands of faults fills the log: its own later messages are dropped, but the
// next source's progress lines and the verdict are still there.
TEST_F(CompileDriver, AFullLogStillEndsWithTheVerdictAndNamesEverySource) {
    std::string faulty = "void main() { output.position = input.position; output.uv = input.uv;\n";
    for (int i = 0; i < 6000; ++i) {
        faulty += "output.uv.x = undeclared" + std::to_string(i) + ";\n";
    }
    faulty += "}";
    EXPECT_FALSE(Translate("g.xml", Document(faulty, ""), TARGET_HLSL9 | TARGET_GLSL31));
    const std::string log = OutputLog();
    EXPECT_GT(log.size(), static_cast<size_t>(MESSAGE_LOG_TEXT_LIMIT));
    EXPECT_NE(log.find("too many messages, the rest are dropped.\n"), std::string::npos);
    EXPECT_NE(
        log.find("Translating pixel shader code of shader source 2...\nTranslating for target 'GLSL31'..."),
        std::string::npos)
        << log.substr(0, 300) << "\n...\n"
        << log.substr(log.size() - 300);
    const std::string verdict = "\nTranslation FAILED\n";
    ASSERT_GE(log.size(), verdict.size());
    EXPECT_EQ(log.substr(log.size() - verdict.size()), verdict);
}

}  // namespace
