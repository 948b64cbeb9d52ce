// Tests of the preprocessor's runs: line structure of the output, definitions of every origin,
// substitution, includes with their line markers, listing and input times.
#include <gtest/gtest.h>

#include <string>

#include "PreprocessorHarness.h"
#include "shadertool/MessageLog.h"
#include "shadertool/TextBuilder.h"
#include "shadertool/SourceFiles.h"
#include "shadertool/Tokenizer.h"
#include "shadertool/preprocessor/Preprocessor.h"

namespace {

using namespace ShaderTool;
using ShaderToolTest::Preprocess;
using ShaderToolTest::PreprocessOptions;
using ShaderToolTest::PreprocessResult;
using ShaderToolTest::ScopedMemoryFiles;

PreprocessOptions WithDefinitions(std::vector<std::string> pairs) {
    PreprocessOptions options;
    options.additionalDefinitions = std::move(pairs);
    return options;
}

// What the analyzer's tokenizer reports when it reads the preprocessed text (reserved words
// serve as markers of positions).
std::string AnalyzerMessages(const std::string& output, const char* fileName) {
    ShaderSource source;
    source.fileName = fileName;
    source.text = output.c_str();
    MessageLog log;
    Tokenizer tokenizer(&log);
    tokenizer.Begin(source, false);
    Token token;
    do {
        token.Clear();
        tokenizer.NextToken(token);
    } while (token.code != TOKEN_END_OF_TEXT);
    return log.text.CStr();
}

TEST(ShaderDescriptionRecord, CopiesAreDeepAndClearResetsTheListsAndWords) {
    ShaderDescription description;
    EXPECT_EQ(description.constantsSlot, -1);
    EXPECT_EQ(description.pixelConstantsSlot, -1);
    EXPECT_EQ(description.vertexConstantsSlot, -1);
    EXPECT_EQ(description.rayTracingGroup, -1);
    ShaderDefinition definition;
    definition.name = "A_DEFINITION_WITH_A_LONG_NAME";
    definition.value = "1";
    description.definitions.Push(definition);
    StageVariable buffer;
    buffer.name = "indices";
    buffer.slot = 3;
    description.buffers.Push(buffer);
    description.tags = "ui";
    description.stages = 3;
    description.constantsSize = 64;
    description.modificationTime = 77;
    ShaderDescription copy(description);
    description.definitions[0].name = "CHANGED";
    EXPECT_STREQ(copy.definitions[0].name.CStr(), "A_DEFINITION_WITH_A_LONG_NAME");
    EXPECT_EQ(copy.buffers[0].slot, 3);
    EXPECT_STREQ(copy.tags.CStr(), "ui");
    description.Clear();
    EXPECT_EQ(description.definitions.count, 0);
    EXPECT_EQ(description.buffers.count, 0);
    EXPECT_TRUE(description.tags.IsEmpty());
    EXPECT_EQ(description.stages, 0u);
    EXPECT_EQ(description.constantsSize, 0);
    EXPECT_EQ(description.modificationTime, 0);
    EXPECT_EQ(copy.definitions.count, 1);
}

TEST(ShaderPreprocessor, SourceWithoutDirectivesGivesItsNormalizedText) {
    const PreprocessResult result = Preprocess("float4 x; // note\r\n\tx = 1; /* a\r\nb */\r\n");
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.output, "float4 x;   \n\tx = 1;     \n    \n");  // a line comment's text is dropped
    EXPECT_EQ(result.log, "");
}

TEST(ShaderPreprocessor, EmptySourceIsAccepted) {
    const PreprocessResult result = Preprocess("");
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.output, "");
}

TEST(ShaderPreprocessor, EveryLineGivesOneOutputLine) {
    const PreprocessResult result = Preprocess("a\n#define X 1\n\n  #if 0\nb\n#endif\nc");
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.output, "a\n\n\n\n\n\nc");
}

TEST(ShaderPreprocessor, SubstitutesWholeWordsOnly) {
    const PreprocessResult result =
        Preprocess("#define SCALE 2.5\nfloat a = SCALE*SCALES+MY_SCALE+SCALE_;\n");
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.output, "\nfloat a = 2.500000*SCALES+MY_SCALE+SCALE_;\n");
}

TEST(ShaderPreprocessor, DefinitionAppliesToLinesAboveIt) {
    const PreprocessResult result = Preprocess("x = N;\n#define N 4\nN\n");
    EXPECT_EQ(result.output, "x = 4;\n\n4\n");
}

TEST(ShaderPreprocessor, ValueNeverReplacesItself) {
    const PreprocessResult result = Preprocess("#define A \"A A\"\nA\n");
    EXPECT_EQ(result.output, "\n\"A A\"\n");
}

TEST(ShaderPreprocessor, EarlierDefinitionsAreSubstitutedFirst) {
    // B's value names A, which was substituted before B: it stays as it is.
    const PreprocessResult result = Preprocess("#define A 1\n#define B \"A\"\nA B\n");
    EXPECT_EQ(result.output, "\n\n1 \"A\"\n");
}

// "#define A "B B ... B"" and so on: each level names the next 64 times, so every substitution
// pass multiplies the text by 64 (the later passes expand what the earlier ones inserted).
std::string ChainedDefinitions(const std::string& names, int32_t uses) {
    std::string source;
    for (size_t level = 0; level + 1 < names.size(); ++level) {
        std::string value;
        for (int i = 0; i < 64; ++i) {
            value += (i > 0 ? " " : "") + names.substr(level + 1, 1);
        }
        source += "#define " + names.substr(level, 1) + " \"" + value + "\"\n";
    }
    for (int i = 0; i < uses; ++i) {
        source += names.substr(0, 1) + " ";
    }
    return source + "\n";
}

TEST(ShaderPreprocessor, SubstitutionStopsWhenChainedDefinitionsMultiplyTheText) {
    // Four levels would make 64^4 copies of E (34 MB from under 600 bytes of source; one level
    // more ran for minutes): the pass that passes the bound is reported at its definition's value.
    const PreprocessResult result = Preprocess(ChainedDefinitions("ABCDE", 1));
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.log, "a.shader(4:11) error: substituting 'D' makes the preprocessed text too long.\n");
    EXPECT_EQ(result.output, "");

    // Three levels stay well inside it and expand in full: 64^3 copies of D.
    const PreprocessResult fits = Preprocess(ChainedDefinitions("ABCD", 2));
    EXPECT_TRUE(fits.ok) << fits.log;
    size_t copies = 0;
    for (size_t at = fits.output.find('D'); at != std::string::npos; at = fits.output.find('D', at + 1)) {
        ++copies;
    }
    EXPECT_EQ(copies, 2u * 64 * 64 * 64);
}

TEST(ShaderTextBuilder, GrowsByDoublingUpToTheLargestBlockAndRefusesBeyond) {
    EXPECT_EQ(TextBuilderGrownCapacity(0, 1), 256);
    EXPECT_EQ(TextBuilderGrownCapacity(256, 257), 512);
    EXPECT_EQ(TextBuilderGrownCapacity(256, 2000), 2000);
    // Past 1 GiB doubling would pass the largest block: the block becomes the largest instead of
    // growing by what each append needs (which copied the whole text on every append).
    EXPECT_EQ(TextBuilderGrownCapacity(1 << 30, (int64_t{1} << 30) + 1), INT32_MAX);
    EXPECT_EQ(TextBuilderGrownCapacity(INT32_MAX, int64_t{INT32_MAX} + 1), 0);
}

TEST(ShaderTextBuilder, AnAppendPastTheLimitIsRefusedWholeAndRemembered) {
    TextBuilder builder;
    builder.SetMaxLength(5);
    EXPECT_TRUE(builder.Append("abc"));
    EXPECT_FALSE(builder.Overflowed());
    EXPECT_FALSE(builder.Append("def"));
    EXPECT_TRUE(builder.Overflowed());
    EXPECT_STREQ(builder.CStr(), "abc");
    EXPECT_TRUE(builder.Append("de"));
    EXPECT_FALSE(builder.AppendChar('f'));
    EXPECT_STREQ(builder.CStr(), "abcde");
    builder.Clear();
    EXPECT_FALSE(builder.Overflowed());
}

TEST(ShaderPreprocessor, DefineWithoutValueIsZero) {
    const PreprocessResult result = Preprocess("#define X\n#if defined(X)\nyes X\n#endif\n");
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.output, "\n\nyes 0\n\n");
}

TEST(ShaderPreprocessor, DefineOfANameTakesItsValue) {
    const PreprocessResult result = Preprocess("#define A 3\n#define B A * 2\n#define C UNKNOWN\nB C\n");
    EXPECT_EQ(result.output, "\n\n\n6 0\n");
}

struct DefineErrorCase {
    const char* source;
    const char* log;
};

class ShaderPreprocessorDefineErrors : public ::testing::TestWithParam<DefineErrorCase> {};

TEST_P(ShaderPreprocessorDefineErrors, ReportAndFail) {
    ShaderDescription description;
    ShaderDefinition count;
    count.name = "COUNT";
    count.value = "4";
    count.literalKind = TYPE_INT;
    description.definitions.Push(count);
    PreprocessOptions options;
    options.description = &description;
    const PreprocessResult result = Preprocess(GetParam().source, options);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.log, GetParam().log);
}

INSTANTIATE_TEST_SUITE_P(
    All, ShaderPreprocessorDefineErrors,
    ::testing::Values(
        DefineErrorCase{"#if 0\n#define _N 1\n#endif\n",
                        "a.shader(2:9) error: identifiers must not start with an underscore.\n"},
        DefineErrorCase{"#define A 1\n#define A 2\n", "a.shader(2:9) error: redefinition of 'A'.\n"},
        DefineErrorCase{"#define  COUNT 3\n", "a.shader(1:10) error: redefinition of 'COUNT'.\n"},
        DefineErrorCase{"#define _PI 3\n",
                        "a.shader(1:9) error: identifiers must not start with an underscore.\n"},
        DefineErrorCase{"#define RAY_FLAGS_NONE 1\n#define A 1\n#define A \"x\"\n",
                        "a.shader(3:9) error: redefinition of 'A'.\n"}));

TEST(ShaderPreprocessor, InactiveRedefinitionIsIgnored) {
    const PreprocessResult result = Preprocess("#define A 1\n#if 0\n#define A 2\n#endif\nA\n");
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.output, "\n\n\n\n1\n");
}

struct TargetCase {
    TargetFlags target;
    const char* output;
};

class ShaderPreprocessorTargets : public ::testing::TestWithParam<TargetCase> {};

TEST_P(ShaderPreprocessorTargets, DefineTargetGroupAndAxis) {
    PreprocessOptions options;
    options.target = GetParam().target;
    const PreprocessResult result =
        Preprocess("_TARGET _TARGET_GROUP _TEXTURE_COORDINATE_AXIS_V_POINTS_UP", options);
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.output, GetParam().output);
}

// The target texts are substituted after the target-bit definitions, so they stay names.
INSTANTIATE_TEST_SUITE_P(All, ShaderPreprocessorTargets,
                         ::testing::Values(TargetCase{TARGET_ESSL20, "_TARGET_ESSL20 _TARGET_ESSL 1"},
                                           TargetCase{TARGET_ESSL30, "_TARGET_ESSL30 _TARGET_ESSL 1"},
                                           TargetCase{TARGET_GLSL21, "_TARGET_GLSL21 _TARGET_GLSL 1"},
                                           TargetCase{TARGET_GLSL31, "_TARGET_GLSL31 _TARGET_GLSL 1"},
                                           TargetCase{TARGET_HLSL9, "_TARGET_HLSL9 _TARGET_HLSL 0"},
                                           TargetCase{TARGET_HLSL11, "_TARGET_HLSL11 _TARGET_HLSL 0"},
                                           TargetCase{TARGET_HLSL12, "_TARGET_HLSL12 _TARGET_HLSL 0"},
                                           TargetCase{TARGET_PSSL, "_TARGET_PSSL _TARGET_PSSL 0"},
                                           TargetCase{TARGET_SPIRV, "_TARGET_SPIRV _TARGET_SPIRV 0"}));

TEST(ShaderPreprocessor, StartupDefinitionsSubstitute) {
    const PreprocessResult result =
        Preprocess("_PI _HALF_PI _TWO_PI _TARGET_HLSL11 _TARGET_PSSL _TARGET_HLSL");
    EXPECT_EQ(result.output, "3.1415926536f 1.5707963268f 6.2831853072f 32 128 4");
}

TEST(ShaderPreprocessor, StartupDefinitionsSurviveResetAndRunDefinitionsDoNot) {
    MessageLog log;
    Preprocessor preprocessor(&log);
    preprocessor.AddBuiltinDefinitions();
    EXPECT_EQ(preprocessor.startupCount, 17);
    EXPECT_EQ(preprocessor.definitions.count, 17);
    ShaderSource source;
    source.fileName = "a.shader";
    source.text = "#define X 1\nX\n";
    source.stage = STAGE_RGEN;
    EXPECT_TRUE(preprocessor.Run(nullptr, TARGET_HLSL12, source, nullptr, false));
    EXPECT_STREQ(preprocessor.output.CStr(), "\n1\n");
    EXPECT_EQ(preprocessor.definitions.count, 17 + 3 + 9 + 1);
    source.text = "X\n";
    source.stage = STAGE_PIXEL;
    EXPECT_TRUE(preprocessor.Run(nullptr, TARGET_HLSL12, source, nullptr, false));
    EXPECT_STREQ(preprocessor.output.CStr(), "X\n");
    EXPECT_EQ(preprocessor.definitions.count, 17 + 3);
    preprocessor.Reset();
    EXPECT_EQ(preprocessor.definitions.count, 17);
    EXPECT_STREQ(preprocessor.output.CStr(), "");
    EXPECT_EQ(preprocessor.description, nullptr);
    EXPECT_EQ(preprocessor.success, 1);
}

struct StageCase {
    int32_t stage;
    bool hasRayFlags;
};

class ShaderPreprocessorRayFlags : public ::testing::TestWithParam<StageCase> {};

TEST_P(ShaderPreprocessorRayFlags, OnlyStagesThatTraceRaysSeeThem) {
    PreprocessOptions options;
    options.stage = GetParam().stage;
    const PreprocessResult result = Preprocess("RAY_FLAGS_CULL_NO_OPAQUE RAY_FLAGS_NONE", options);
    EXPECT_EQ(result.output, GetParam().hasRayFlags ? "128 0" : "RAY_FLAGS_CULL_NO_OPAQUE RAY_FLAGS_NONE");
}

INSTANTIATE_TEST_SUITE_P(All, ShaderPreprocessorRayFlags,
                         ::testing::Values(StageCase{STAGE_VERTEX, false}, StageCase{STAGE_PIXEL, false},
                                           StageCase{STAGE_RCHIT, true}, StageCase{STAGE_RGEN, true},
                                           StageCase{STAGE_RMISS, false}));

TEST(ShaderPreprocessor, DescriptionDefinitionsByLiteralKind) {
    ShaderDescription description;
    const struct {
        const char* name;
        const char* value;
        int32_t kind;
    } items[] = {{"COUNT", "4", TYPE_INT},           {"ON", "true", TYPE_BOOL}, {"HALF", "0.5", TYPE_FLOAT},
                 {"TEXT", "two words", TYPE_STRUCT}, {"HEX", "0x10", TYPE_INT}, {"MISSING", "", TYPE_NONE}};
    for (const auto& item : items) {
        ShaderDefinition definition;
        definition.name = item.name;
        definition.value = item.value;
        definition.literalKind = item.kind;
        description.definitions.Push(definition);
    }
    PreprocessOptions options;
    options.description = &description;
    const PreprocessResult result =
        Preprocess("COUNT ON HALF TEXT HEX MISSING\n#if COUNT == 4 && HALF == 0.5\nyes\n#endif\n", options);
    EXPECT_TRUE(result.ok) << result.log;
    EXPECT_EQ(result.output, "4 0 0.500000 \"two words\" 0 \"\"\n\nyes\n\n");
}

struct AdditionalCase {
    std::vector<std::string> pairs;
    const char* source;
    const char* output;
    const char* log;
};

class ShaderPreprocessorAdditional : public ::testing::TestWithParam<AdditionalCase> {};

TEST_P(ShaderPreprocessorAdditional, CheckedAndAppended) {
    const AdditionalCase& c = GetParam();
    const PreprocessResult result = Preprocess(c.source, WithDefinitions(c.pairs));
    EXPECT_EQ(result.log, c.log);
    EXPECT_EQ(result.ok, std::string(c.log).empty());
    if (result.ok) {
        EXPECT_EQ(result.output, c.output);
    }
}

INSTANTIATE_TEST_SUITE_P(
    All, ShaderPreprocessorAdditional,
    ::testing::Values(
        AdditionalCase{{"COUNT", "3"}, "COUNT", "3", ""},
        AdditionalCase{{"RATE", "1.5"}, "RATE", "1.500000", ""},
        AdditionalCase{{"MODE", "FAST"}, "MODE", "0", ""},
        AdditionalCase{{"FAST", "2", "MODE", "FAST"}, "MODE FAST", "2 2", ""},
        AdditionalCase{{"WHICH", "_TARGET"},
                       "WHICH",
                       "",
                       "Error: invalid additional preprocessor definition 'WHICH=_TARGET' specified.\n"},
        AdditionalCase{{"MSG", "\"hi\""}, "MSG", "\"\"hi\"\"", ""},
        AdditionalCase{
            {"_X", "1"}, "", "", "Error: invalid additional preprocessor definition '_X=1' specified.\n"},
        AdditionalCase{
            {"X", "a b"}, "", "", "Error: invalid additional preprocessor definition 'X=a b' specified.\n"},
        AdditionalCase{
            {"X-Y", "1"}, "", "", "Error: invalid additional preprocessor definition 'X-Y=1' specified.\n"},
        AdditionalCase{
            {"", "1"}, "", "", "Error: invalid additional preprocessor definition '=1' specified.\n"},
        AdditionalCase{{"X", "7u"}, "X", "0", ""},  // not a literal, but a name that nothing defines
        AdditionalCase{
            {"LONELY"}, "", "", "Error: invalid additional preprocessor definition 'LONELY=' specified.\n"},
        AdditionalCase{{"A", "1", "A", "2"}, "A", "1", ""},
        AdditionalCase{{"BAD", "-1", "GOOD", "5"},
                       "GOOD",
                       "",
                       "Error: invalid additional preprocessor definition 'BAD=-1' specified.\n"}));

TEST(ShaderPreprocessor, AdditionalDefinitionNamedLikeAnEarlierOneIsNeverUsed) {
    PreprocessOptions options = WithDefinitions({"RAY_FLAGS_NONE", "5"});
    options.stage = STAGE_RGEN;
    const PreprocessResult result = Preprocess("RAY_FLAGS_NONE", options);
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.output, "0");
}

TEST(ShaderPreprocessor, AdditionalValueTooLongToKeepIsRefused) {
    const std::string value = "\"" + std::string(140, 'v') + "\"";
    const PreprocessResult result = Preprocess("", WithDefinitions({"LONG", value}));
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.log,
              "Error: invalid additional preprocessor definition 'LONG=" + value + "' specified.\n");
}

TEST(ShaderPreprocessor, ListingWritesOneLinePerDefinitionAndNothingElse) {
    PreprocessOptions options = WithDefinitions({"COUNT", "3", "RATE", "0.25"});
    options.list = true;
    const PreprocessResult result = Preprocess("#if\nbroken\n", options);
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.output, "");
    const int width = 36;  // _TEXTURE_COORDINATE_AXIS_V_POINTS_UP
    auto line = [width](const std::string& name, const std::string& value) {
        return name + std::string(width - name.size(), ' ') + " " + value + "\n";
    };
    const std::string expected =
        line("_HALF_PI", "1.5707963268f") + line("_PI", "3.1415926536f") + line("_TWO_PI", "6.2831853072f") +
        line("_TARGET_ESSL20", "1") + line("_TARGET_ESSL30", "2") + line("_TARGET_GLSL21", "4") +
        line("_TARGET_GLSL31", "8") + line("_TARGET_HLSL9", "16") + line("_TARGET_HLSL11", "32") +
        line("_TARGET_HLSL12", "64") + line("_TARGET_PSSL", "128") + line("_TARGET_SPIRV", "256") +
        line("_TARGET_ESSL", "1") + line("_TARGET_GLSL", "2") + line("_TARGET_HLSL", "4") +
        line("_TARGET_PSSL", "8") + line("_TARGET_SPIRV", "16") + line("_TARGET", "_TARGET_HLSL11") +
        line("_TARGET_GROUP", "_TARGET_HLSL") + line("_TEXTURE_COORDINATE_AXIS_V_POINTS_UP", "0") +
        line("COUNT", "3") + line("RATE", "0.250000");
    EXPECT_EQ(result.log, expected);
}

TEST(ShaderPreprocessor, RunFailsWhenTheWorkingLogAlreadyHasErrors) {
    MessageLog log;
    log.AddError("from an earlier step");
    Preprocessor preprocessor(&log);
    preprocessor.AddBuiltinDefinitions();
    ShaderSource source;
    source.text = "x\n";
    EXPECT_FALSE(preprocessor.Run(nullptr, TARGET_HLSL11, source, nullptr, false));
    EXPECT_EQ(preprocessor.success, 0);
}

TEST(ShaderPreprocessor, MissingEndifIsReportedAtTheEndAndTheOutputIsStillSubstituted) {
    const PreprocessResult result = Preprocess("#define N 2\n#if 1\nN\n");
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.log, "a.shader(4:1) error: expected endif directive.\n");
    EXPECT_EQ(result.output, "\n\n2\n");
}

TEST(ShaderPreprocessorInclude, ReadsRelativeToTheCurrentFileAndKeepsLineNumbers) {
    ScopedMemoryFiles files;
    files.files["shaders/lib/common.shader"] = "c1\r\n#define _X 1\nTexture2D // c\n";
    PreprocessOptions options;
    options.fileName = "shaders/a.shader";
    const PreprocessResult result =
        Preprocess("line1\n#include \"lib/common.shader\"\n#define _Y 2\nTexture3D\n", options);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.log,
              "shaders/lib/common.shader(2:9) error: identifiers must not start with an underscore.\n"
              "shaders/a.shader(3:9) error: identifiers must not start with an underscore.\n");
    EXPECT_EQ(result.output,
              "line1\n"
              "@f \"shaders/lib/common.shader\" 1\n"
              "c1\n"
              "\n"
              "Texture2D   \n"
              "\n"
              "@f \"shaders/a.shader\" 3\n"
              "\n"
              "Texture3D\n");
    // The analyzer reading the output sees every line where it stands in its own file.
    EXPECT_EQ(AnalyzerMessages(result.output, "shaders/a.shader"),
              "shaders/lib/common.shader(3:1) error: 'Texture2D' is a reserved word.\n"
              "shaders/a.shader(4:1) error: 'Texture3D' is a reserved word.\n");
}

TEST(ShaderPreprocessorInclude, NestedIncludesResolveFromTheIncludedFile) {
    ScopedMemoryFiles files;
    files.files["s/lib/a.inc"] = "#include \"../other/b.inc\"\nA\n";
    files.files["s/other/b.inc"] = "#define B 2\nB\n";
    PreprocessOptions options;
    options.fileName = "s/main.shader";
    const PreprocessResult result = Preprocess("#include \"lib/a.inc\"\n#if B == 2\nok\n#endif\n", options);
    EXPECT_TRUE(result.ok) << result.log;
    EXPECT_EQ(result.output,
              "@f \"s/lib/a.inc\" 1\n"
              "@f \"s/other/b.inc\" 1\n"
              "\n2\n\n"
              "@f \"s/lib/a.inc\" 2\n"
              "A\n\n"
              "@f \"s/main.shader\" 2\n"
              "\nok\n\n");
}

TEST(ShaderPreprocessorInclude, FailuresAreReportedAtTheIncludeWord) {
    ScopedMemoryFiles files;
    files.files["bad.inc"] = "x";
    files.unreadable.push_back("bad.inc");
    const PreprocessResult result = Preprocess("#include \"none.inc\"\n  # include \"bad.inc\"\n");
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.log,
              "a.shader(1:2) error: include file was not found.\n"
              "a.shader(2:5) error: include file could not be read.\n");
}

TEST(ShaderPreprocessorInclude, InactiveIncludeReadsNothing) {
    ScopedMemoryFiles files;
    const PreprocessResult result = Preprocess("#if 0\n#include \"none.inc\"\n#endif\nx\n");
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.output, "\n\n\nx\n");
    EXPECT_EQ(files.readCount, 0);
}

TEST(ShaderPreprocessorInclude, NameOfAStringDefinition) {
    ScopedMemoryFiles files;
    files.files["common.shader"] = "float c;";
    const PreprocessResult result = Preprocess("#define FILE \"common.shader\"\n#include FILE\n");
    EXPECT_TRUE(result.ok) << result.log;
    EXPECT_EQ(result.output, "\n@f \"common.shader\" 1\nfloat c;\n@f \"a.shader\" 3\n");
}

TEST(ShaderPreprocessorInclude, FileIncludingItselfIsStopped) {
    ScopedMemoryFiles files;
    files.files["self.inc"] = "#include \"self.inc\"\n";
    const PreprocessResult result = Preprocess("#include \"self.inc\"\n");
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(files.readCount, PP_MAX_INCLUDE_DEPTH);
    EXPECT_EQ(result.log, "self.inc(1:2) error: too many nested include directives.\n");
}

TEST(ShaderPreprocessorInclude, FileIncludingItselfTwiceIsStoppedByTheCount) {
    ScopedMemoryFiles files;
    files.files["twice.inc"] = "#include \"twice.inc\"\n#include \"twice.inc\"\n";
    const PreprocessResult result = Preprocess("#include \"twice.inc\"\n");
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(files.readCount, PP_MAX_INCLUDES_PER_RUN);
    EXPECT_NE(result.log.find("error: too many include directives.\n"), std::string::npos);
}

TEST(ShaderPreprocessorInclude, IncludedTextOfARunIsLimited) {
    ScopedMemoryFiles files;
    const int32_t fileSize = 1 << 20;
    files.files["big.inc"] =
        std::string(fileSize - 40, 'x') + "\n#include \"big.inc\"\n#include \"big.inc\"\n";
    const PreprocessResult result = Preprocess("#include \"big.inc\"\n");
    EXPECT_FALSE(result.ok);
    // The line markers around each file make the last allowed file pass the limit.
    EXPECT_EQ(files.readCount, PP_MAX_INCLUDED_BYTES_PER_RUN / fileSize);
    EXPECT_NE(result.log.find("big.inc(2:2) error: too many include directives.\n"), std::string::npos);
}

TEST(ShaderPreprocessorInclude, SiblingIncludesDoNotCountAsNesting) {
    ScopedMemoryFiles files;
    files.files["one.inc"] = "1\n";
    std::string source;
    for (int i = 0; i < PP_MAX_INCLUDE_DEPTH + 8; ++i) {
        source += "#include \"one.inc\"\n";
    }
    const PreprocessResult result = Preprocess(source);
    EXPECT_TRUE(result.ok) << result.log;
}

TEST(ShaderPreprocessorInclude, InputTimesTrackTheNewestFile) {
    ScopedMemoryFiles files;
    files.files["a.inc"] = "x";
    files.times["a.inc"] = 500;
    files.times["main.shader"] = 300;
    ShaderDescription description;
    description.modificationTime = 400;
    MessageLog log;
    Preprocessor preprocessor(&log);
    preprocessor.AddBuiltinDefinitions();
    preprocessor.trackInputTimes = 1;
    ShaderSource source;
    source.fileName = "main.shader";
    source.text = "y\n";
    ASSERT_TRUE(preprocessor.Run(&description, TARGET_HLSL11, source, nullptr, false));
    EXPECT_EQ(preprocessor.newestInputTime, 400);
    source.text = "#include \"a.inc\"\n";
    ASSERT_TRUE(preprocessor.Run(&description, TARGET_HLSL11, source, nullptr, false));
    EXPECT_EQ(preprocessor.newestInputTime, 500);
    preprocessor.trackInputTimes = 0;
    ASSERT_TRUE(preprocessor.Run(&description, TARGET_HLSL11, source, nullptr, false));
    EXPECT_EQ(preprocessor.newestInputTime, 0);
}

}  // namespace
