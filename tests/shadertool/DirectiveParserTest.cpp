// Tests of the directive parser: expression values, conditional branches, function calls, the
// exact messages with their positions, syntax errors and the parser stack limit.
#include <gtest/gtest.h>

#include <string>

#include "PreprocessorHarness.h"
#include "shadertool/MessageLog.h"
#include "shadertool/Tokens.h"
#include "shadertool/preprocessor/DirectiveParser.h"
#include "shadertool/preprocessor/Preprocessor.h"

namespace {

using namespace ShaderTool;
using ShaderToolTest::Preprocess;
using ShaderToolTest::PreprocessOptions;
using ShaderToolTest::PreprocessResult;

struct ConditionCase {
    const char* expression;
    bool taken;
    TargetFlags target;
};

class ShaderDirectiveConditions : public ::testing::TestWithParam<ConditionCase> {};

TEST_P(ShaderDirectiveConditions, SelectTheBranch) {
    const ConditionCase& c = GetParam();
    PreprocessOptions options;
    options.target = c.target;
    const std::string source = std::string("#if ") + c.expression + "\nyes\n#else\nno\n#endif\n";
    const PreprocessResult result = Preprocess(source, options);
    EXPECT_TRUE(result.ok) << c.expression << "\n" << result.log;
    EXPECT_EQ(result.output, c.taken ? "\nyes\n\n\n\n" : "\n\n\nno\n\n") << c.expression;
}

INSTANTIATE_TEST_SUITE_P(
    Arithmetic, ShaderDirectiveConditions,
    ::testing::Values(
        ConditionCase{"1 + 2 * 3 == 7", true, TARGET_HLSL11},
        ConditionCase{"(1 + 2) * 3 == 9", true, TARGET_HLSL11},
        ConditionCase{"7 / 2 == 3", true, TARGET_HLSL11},
        ConditionCase{"7.0 / 2 == 3.5", true, TARGET_HLSL11}, ConditionCase{"1 < 1.5", true, TARGET_HLSL11},
        ConditionCase{"1 - 2 - 3 == -4", true, TARGET_HLSL11},
        ConditionCase{"8 / 2 / 2 == 2", true, TARGET_HLSL11},
        ConditionCase{"2147483647 + 1 < 0", true, TARGET_HLSL11},
        ConditionCase{"-2147483647 - 1 == 2147483648", true, TARGET_HLSL11},
        ConditionCase{"0x10 == 0", true, TARGET_HLSL11}, ConditionCase{"010 == 10", true, TARGET_HLSL11},
        ConditionCase{"1.5f == 1.5", true, TARGET_HLSL11}, ConditionCase{"1 == 1.0", true, TARGET_HLSL11},
        ConditionCase{"3 != 3.5", true, TARGET_HLSL11}, ConditionCase{"- -1 == 1", true, TARGET_HLSL11},
        ConditionCase{"-1.5 < -1", true, TARGET_HLSL11},
        ConditionCase{"5 >= 5 && 5 <= 5 && 6 > 5", true, TARGET_HLSL11},
        ConditionCase{"1 > 0 == 1", true, TARGET_HLSL11}, ConditionCase{"2 + 3 > 4", true, TARGET_HLSL11},
        ConditionCase{"0.0", false, TARGET_HLSL11}, ConditionCase{"0.5", true, TARGET_HLSL11},
        ConditionCase{"-0", false, TARGET_HLSL11}, ConditionCase{"1.0 / 0 > 1000000", true, TARGET_HLSL11}));

INSTANTIATE_TEST_SUITE_P(Logic, ShaderDirectiveConditions,
                         ::testing::Values(ConditionCase{"!0", true, TARGET_HLSL11},
                                           ConditionCase{"!0.5", false, TARGET_HLSL11},
                                           ConditionCase{"!!7", true, TARGET_HLSL11},
                                           ConditionCase{"(1 || 0) && !(2 > 3)", true, TARGET_HLSL11},
                                           ConditionCase{"0 || 0.25", true, TARGET_HLSL11},
                                           ConditionCase{"1 && 0", false, TARGET_HLSL11},
                                           ConditionCase{"0 && 1 || 1", true, TARGET_HLSL11},
                                           ConditionCase{"1 || 1 && 0", true, TARGET_HLSL11}));

INSTANTIATE_TEST_SUITE_P(
    Names, ShaderDirectiveConditions,
    ::testing::Values(ConditionCase{"UNDEFINED_NAME", false, TARGET_HLSL11},
                      ConditionCase{"defined(UNDEFINED_NAME)", false, TARGET_HLSL11},
                      ConditionCase{"defined(_PI)", true, TARGET_HLSL11},
                      ConditionCase{"!defined(_PI)", false, TARGET_HLSL11},
                      ConditionCase{"_PI", false, TARGET_HLSL11},
                      ConditionCase{"_TARGET == _TARGET_HLSL11", true, TARGET_HLSL11},
                      ConditionCase{"_TARGET == _TARGET_HLSL11", false, TARGET_HLSL12},
                      ConditionCase{"_TARGET == 256", true, TARGET_SPIRV},
                      ConditionCase{"_TARGET_GROUP == _TARGET_PSSL", true, TARGET_PSSL},
                      ConditionCase{"_TARGET_GROUP == _TARGET_PSSL", false, TARGET_HLSL11},
                      ConditionCase{"_TARGET_GROUP == _TARGET_HLSL", true, TARGET_HLSL9},
                      ConditionCase{"_TEXTURE_COORDINATE_AXIS_V_POINTS_UP", true, TARGET_GLSL21},
                      ConditionCase{"_TEXTURE_COORDINATE_AXIS_V_POINTS_UP", false, TARGET_HLSL11}));

TEST(ShaderDirectiveParser, ElifAndElseTakeOnlyOneBranch) {
    const PreprocessResult result = Preprocess(
        "#if 0\na\n#elif 1\nb\n#elif 1\nc\n#else\nd\n#endif\n#if 1\ne\n#elif 1\nf\n#else\ng\n#endif\n");
    EXPECT_TRUE(result.ok) << result.log;
    EXPECT_EQ(result.output, "\n\n\nb\n\n\n\n\n\n\ne\n\n\n\n\n\n");
}

TEST(ShaderDirectiveParser, InactiveParentKeepsEveryBranchInactive) {
    const PreprocessResult result = Preprocess("#if 0\n#if 1\na\n#else\nb\n#endif\n#elif 1\nc\n#endif\n");
    EXPECT_TRUE(result.ok) << result.log;
    EXPECT_EQ(result.output, "\n\n\n\n\n\n\nc\n\n");
}

TEST(ShaderDirectiveParser, SecondElseKeepsTheBranchClosed) {
    const PreprocessResult result = Preprocess("#if 0\na\n#else\nb\n#else\nc\n#endif\n");
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.output, "\n\n\nb\n\n\n\n");
}

TEST(ShaderDirectiveParser, StringDefinitionsAreWrittenWithQuotes) {
    const PreprocessResult result = Preprocess("#define NAME \"hello world\"\nNAME\n");
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.output, "\n\"hello world\"\n");
}

TEST(ShaderDirectiveParser, ArrayNodeQueriesReadTheDescription) {
    ShaderDescription description;
    ShaderVariable input;
    input.name = "position";
    description.vertexInputs.Push(input);
    description.pixelOutputs.PushText("color");
    TextureVariable texture;
    texture.name = "diffuse";
    description.pixelTextures.Push(texture);
    PreprocessOptions options;
    options.description = &description;
    const PreprocessResult result = Preprocess(
        "#if _IS_ARRAY_NODE_DEFINED(\"vertex_input\", \"position\") && "
        "_IS_ARRAY_NODE_DEFINED(\"pixel_output\", \"color\")\n"
        "a\n#endif\n"
        "#if _IS_ARRAY_NODE_DEFINED(\"pixel_textures\", \"diffuse\") + "
        "_IS_ARRAY_NODE_DEFINED(\"vertex_input\", \"normal\") == 1\n"
        "b\n#endif\n"
        "#if _IS_ARRAY_NODE_DEFINED(\"buffers\", \"position\")\nc\n#endif\n",
        options);
    EXPECT_TRUE(result.ok) << result.log;
    EXPECT_EQ(result.output, "\na\n\n\nb\n\n\n\n\n");
}

struct MessageCase {
    const char* source;
    const char* log;
};

class ShaderDirectiveMessages : public ::testing::TestWithParam<MessageCase> {};

TEST_P(ShaderDirectiveMessages, ReportAtTheirPositionAndFail) {
    const PreprocessResult result = Preprocess(GetParam().source);
    EXPECT_FALSE(result.ok) << GetParam().source;
    EXPECT_EQ(result.log, GetParam().log) << GetParam().source;
}

INSTANTIATE_TEST_SUITE_P(
    Syntax, ShaderDirectiveMessages,
    ::testing::Values(
        MessageCase{"#if defined UNDEFINED_NAME\n#endif\n", "a.shader(1:13) error: syntax error\n"},
        MessageCase{"#if (1\n#endif\n", "a.shader(2:1) error: syntax error\n"},
        MessageCase{"#if 1 2\n#endif\n", "a.shader(1:7) error: syntax error\n"},
        MessageCase{"#define X 1 +\n", "a.shader(2:1) error: syntax error\n"},
        MessageCase{"#if\n#endif\n", "a.shader(2:1) error: syntax error\n"},
        MessageCase{"#pragma once\n", "a.shader(1:2) error: syntax error\n"},
        MessageCase{"#\n", "a.shader(2:1) error: syntax error\n"},
        MessageCase{"#if 1 % 2\n#endif\n", "a.shader(1:7) error: syntax error\n"},
        MessageCase{"#if 1u\n#endif\n", "a.shader(1:5) error: syntax error\n"},
        MessageCase{"#if (1, 2)\n#endif\n", "a.shader(1:7) error: syntax error\n"},
        MessageCase{"#if 1)\n#endif\n", "a.shader(1:6) error: syntax error\n"},
        MessageCase{"#if f(\"a\" + 1)\n#endif\n", "a.shader(1:11) error: syntax error\n"},
        MessageCase{"#if f(1,)\n#endif\n", "a.shader(1:9) error: syntax error\n"},
        MessageCase{"#if \"a\"\n#endif\n", "a.shader(1:5) error: syntax error\n"},
        MessageCase{"#include\n", "a.shader(2:1) error: syntax error\n"},
        MessageCase{"#include \"open\n", "a.shader(1:10) error: syntax error\n"},
        MessageCase{"#define 1 2\n", "a.shader(1:9) error: syntax error\n"},
        MessageCase{"#if 09\n#endif\n", "a.shader(1:5) error: unexpected digit in octal literal.\n"}));

INSTANTIATE_TEST_SUITE_P(
    Actions, ShaderDirectiveMessages,
    ::testing::Values(
        MessageCase{"#include 3\n", "a.shader(1:2) error: expression must evaluate to a string literal.\n"},
        MessageCase{"#include NOTHING\n",
                    "a.shader(1:2) error: expression must evaluate to a string literal.\n"},
        MessageCase{"#else\nx\n#endif\n",
                    "a.shader(1:2) error: unexpected else directive.\na.shader(3:2) error: unexpected endif "
                    "directive.\n"},
        MessageCase{"#elif 1\n", "a.shader(1:2) error: unexpected elif directive.\n"},
        MessageCase{"#if 0\n#if foo(1)\n#endif\n#endif\n",
                    "a.shader(2:5) error: undeclared function-like macro 'foo'.\n"},
        MessageCase{"#if bar()\n#endif\n", "a.shader(1:5) error: undeclared function-like macro 'bar'.\n"},
        MessageCase{"#if _IS_ARRAY_NODE_DEFINED(\"vertex_input\")\n#endif\n",
                    "a.shader(1:5) error: invalid arguments.\n"},
        MessageCase{"#if _IS_ARRAY_NODE_DEFINED(\"vertex_input\", 1)\n#endif\n",
                    "a.shader(1:5) error: invalid arguments.\n"},
        MessageCase{"#if _IS_ARRAY_NODE_DEFINED(\"a\", \"b\", \"c\")\n#endif\n",
                    "a.shader(1:5) error: invalid arguments.\n"},
        MessageCase{"#if _IS_ARRAY_NODE_DEFINED()\n#endif\n", "a.shader(1:5) error: invalid arguments.\n"},
        MessageCase{"#if _IS_ARRAY_NODE_DEFINED(\"textures\", \"x\")\n#endif\n",
                    "a.shader(1:5) error: invalid array name.\n"},
        MessageCase{"#define S \"str\"\n#if S\n#endif\n",
                    "a.shader(2:5) error: expression evaluating to a string literal is not allowed.\n"},
        MessageCase{"#define S \"str\"\n#define T S + 1\n",
                    "a.shader(2:11) error: expression evaluating to a string literal is not allowed.\n"},
        MessageCase{"#if 1 / 0\n#endif\n", "a.shader(1:7) error: division by zero.\n"},
        MessageCase{"#if 0\n#if 5 / (2 - 2)\n#endif\n#endif\n", "a.shader(2:7) error: division by zero.\n"}));

TEST(ShaderDirectiveParser, EighthNestedIfIsRefused) {
    std::string source;
    for (int i = 0; i < 8; ++i) {
        source += "#if 1\n";
    }
    source += "x\n";
    for (int i = 0; i < 8; ++i) {
        source += "#endif\n";
    }
    const PreprocessResult result = Preprocess(source);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.log,
              "a.shader(8:2) error: too many nested if directives.\n"
              "a.shader(17:2) error: unexpected endif directive.\n");
}

TEST(ShaderDirectiveParser, SevenNestedIfsAreFine) {
    std::string source;
    for (int i = 0; i < 7; ++i) {
        source += "#if 1\n";
    }
    for (int i = 0; i < 7; ++i) {
        source += "#endif\n";
    }
    EXPECT_TRUE(Preprocess(source).ok);
}

TEST(ShaderDirectiveParser, LinesBetweenStrayDirectivesFollowTheEnclosingLevel) {
    const PreprocessResult result = Preprocess("#else\nx\n#endif\n");
    EXPECT_EQ(result.output, "\nx\n\n");
}

TEST(ShaderDirectiveParser, SyntaxErrorEndsTheRun) {
    const PreprocessResult result = Preprocess("a\n#if )\nb\n#if foo()\n");
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.output, "a\n");
    EXPECT_EQ(result.log, "a.shader(2:5) error: syntax error\n");
}

TEST(ShaderDirectiveParser, ArgumentsAreEvaluatedBeforeTheCall) {
    const PreprocessResult result = Preprocess("#if foo(bar(1), 2)\n#endif\n");
    EXPECT_EQ(result.log,
              "a.shader(1:9) error: undeclared function-like macro 'bar'.\n"
              "a.shader(1:5) error: undeclared function-like macro 'foo'.\n");
}

TEST(ShaderDirectiveParser, DeepNestingWithinTheStackLimitIsEvaluated) {
    const int depth = 9000;
    const std::string source =
        "#if " + std::string(depth, '(') + "1" + std::string(depth, ')') + "\nyes\n#endif\n";
    const PreprocessResult result = Preprocess(source);
    EXPECT_TRUE(result.ok) << result.log.substr(0, 200);
    EXPECT_EQ(result.output, "\nyes\n\n");
}

int32_t ParseOnly(const std::string& text, std::string* log) {
    MessageLog messages;
    Preprocessor preprocessor(&messages);
    preprocessor.AddBuiltinDefinitions();
    ShaderSource source;
    source.fileName = "a.shader";
    source.text = text.c_str();
    preprocessor.tokenizer.Begin(source, true);
    const int32_t result = preprocessor.ParseDirectives();
    *log = messages.text.CStr();
    return result;
}

TEST(ShaderDirectiveParser, ParserStackIsLimited) {
    std::string log;
    const std::string opens(PP_PARSER_STACK_LIMIT + 10, '(');
    EXPECT_EQ(ParseOnly("#if " + opens + "1\n", &log), PP_PARSE_EXHAUSTED);
    EXPECT_NE(log.find("error: memory exhausted\n"), std::string::npos);
    EXPECT_EQ(log.find("memory exhausted"), log.rfind("memory exhausted"));
    const std::string negations(PP_PARSER_STACK_LIMIT + 10, '!');  // "--" would be one token
    EXPECT_EQ(ParseOnly("#define X " + negations + "1\n", &log), PP_PARSE_EXHAUSTED);
}

TEST(ShaderDirectiveParser, ParseResults) {
    std::string log;
    EXPECT_EQ(ParseOnly("", &log), PP_PARSE_ACCEPTED);
    EXPECT_EQ(ParseOnly("#else\n", &log), PP_PARSE_ACCEPTED);  // action errors do not change it
    EXPECT_EQ(log, "a.shader(1:2) error: unexpected else directive.\n");
    EXPECT_EQ(ParseOnly("#if\n", &log), PP_PARSE_SYNTAX_ERROR);
}

struct MappingCase {
    int32_t code;
    int32_t terminal;
};

class ShaderDirectiveTokenMapping : public ::testing::TestWithParam<MappingCase> {};

TEST_P(ShaderDirectiveTokenMapping, MapsCodesToTerminals) {
    EXPECT_EQ(MapDirectiveToken(GetParam().code), GetParam().terminal) << GetParam().code;
}

INSTANTIATE_TEST_SUITE_P(
    All, ShaderDirectiveTokenMapping,
    ::testing::Values(MappingCase{0, PP_END_OF_INPUT}, MappingCase{288, PP_DEFINE}, MappingCase{289, PP_ELIF},
                      MappingCase{290, PP_ELSE}, MappingCase{291, PP_ENDIF}, MappingCase{292, PP_IF},
                      MappingCase{293, PP_INCLUDE}, MappingCase{295, PP_FLOAT_CONSTANT},
                      MappingCase{296, PP_IDENTIFIER}, MappingCase{297, PP_INT_CONSTANT},
                      MappingCase{298, PP_STRING_LITERAL}, MappingCase{323, PP_DEFINED_OP},
                      MappingCase{304, PP_GREATER_THAN_EQUAL_OP}, MappingCase{306, PP_LESS_THAN_EQUAL_OP},
                      MappingCase{307, PP_EQUAL_OP}, MappingCase{308, PP_NOT_EQUAL_OP},
                      MappingCase{309, PP_LOGICAL_AND_OP}, MappingCase{310, PP_LOGICAL_OR_OP},
                      MappingCase{324, PP_ASTERISK}, MappingCase{326, PP_COMMA}, MappingCase{327, PP_DASH},
                      MappingCase{329, PP_EXCLAMATION}, MappingCase{332, PP_HASH}, MappingCase{333, PP_PLUS},
                      MappingCase{336, PP_SLASH}, MappingCase{340, PP_LEFT_CHEVRON},
                      MappingCase{344, PP_RIGHT_CHEVRON}, MappingCase{341, PP_LEFT_PARENTHESIS},
                      MappingCase{345, PP_RIGHT_PARENTHESIS}, MappingCase{346, PP_NON_PREPROCESSOR_LINE},
                      MappingCase{294, PP_UNDEFINED_TOKEN}, MappingCase{299, PP_UNDEFINED_TOKEN},
                      MappingCase{330, PP_UNDEFINED_TOKEN}, MappingCase{347, PP_UNDEFINED_TOKEN},
                      MappingCase{348, PP_UNDEFINED_TOKEN}, MappingCase{'@', PP_UNDEFINED_TOKEN}));

}  // namespace
