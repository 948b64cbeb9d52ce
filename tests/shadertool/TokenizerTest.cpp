// Tests of the shading-language tokenizer: token codes, texts and positions, literal scanning
// and its messages, line markers, literal kinds and source normalisation.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shadertool/Tokenizer.h"

namespace {

using namespace ShaderTool;

struct ScannedToken {
    int32_t code;
    std::string text;
    int32_t line;
    int32_t column;
};

struct ScanResult {
    std::vector<ScannedToken> tokens;  // up to and including the end-of-text token
    std::string log;
};

class StructNames : public TypeNameLookup {
public:
    bool IsTypeName(const char* name) const override { return std::string(name) == "Light"; }
};

ScanResult Scan(const char* text, bool normalize = false, bool checkUnderscores = false,
                const TypeNameLookup* typeNames = nullptr, const char* fileName = "a.shader") {
    ShaderSource source;
    source.fileName = fileName;
    source.text = text;
    source.firstLine = 1;
    MessageLog log;
    Tokenizer tokenizer(&log, typeNames);
    tokenizer.checkUnderscores = checkUnderscores ? 1 : 0;
    tokenizer.Begin(source, normalize);
    ScanResult result;
    for (int guard = 0; guard < 10000; ++guard) {
        Token token;
        token.Clear();
        tokenizer.NextToken(token);
        result.tokens.push_back({token.code, token.text, token.line, token.column});
        if (token.code == TOKEN_END_OF_TEXT) {
            break;
        }
    }
    tokenizer.End();
    result.log = log.text.CStr();
    return result;
}

std::vector<int32_t> Codes(const ScanResult& result) {
    std::vector<int32_t> codes;
    for (const ScannedToken& token : result.tokens) {
        codes.push_back(token.code);
    }
    return codes;
}

struct CodeCase {
    const char* text;
    std::vector<int32_t> codes;  // without the final 0
};

class ShaderTokenizerCodes : public ::testing::TestWithParam<CodeCase> {};

TEST_P(ShaderTokenizerCodes, DeliversTheCodesInOrder) {
    const CodeCase& c = GetParam();
    std::vector<int32_t> expected = c.codes;
    expected.push_back(TOKEN_END_OF_TEXT);
    EXPECT_EQ(Codes(Scan(c.text)), expected) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Operators, ShaderTokenizerCodes,
    ::testing::Values(CodeCase{"& ^ -- ++ >= << <= == != && || >> |",
                               {300, 301, 302, 303, 304, 305, 306, 307, 308, 309, 310, 311, 312}},
                      CodeCase{"+= &= /= <<= %= *= |= >>= -= ^=",
                               {313, 314, 315, 316, 317, 318, 319, 320, 321, 322}},
                      CodeCase{"* : , - = ! % . # + ? ; / ~",
                               {324, 325, 326, 327, 328, 329, 330, 331, 332, 333, 334, 335, 336, 337}},
                      CodeCase{"{ [ < ( } ] > )", {338, 339, 340, 341, 342, 343, 344, 345}},
                      CodeCase{"<<=", {TOKEN_ASSIGN_LEFT_SHIFT}}, CodeCase{">>=", {TOKEN_ASSIGN_RIGHT_SHIFT}},
                      CodeCase{"<< =", {TOKEN_LEFT_SHIFT_OP, TOKEN_EQUAL}}, CodeCase{"a<<b", {296, 305, 296}},
                      CodeCase{"|||", {TOKEN_LOGICAL_OR_OP, TOKEN_VERTICAL_BAR}}, CodeCase{"+++", {303, 333}},
                      CodeCase{"<", {TOKEN_LEFT_CHEVRON}}, CodeCase{"x.y", {296, 331, 296}},
                      CodeCase{"$`\\", {'$', '`', '\\'}}, CodeCase{"\x80 \xff", {128, 255}},
                      CodeCase{"\r", {13}}));

INSTANTIATE_TEST_SUITE_P(
    Words, ShaderTokenizerCodes,
    ::testing::Values(CodeCase{"bool float float2 float2x2 float3 float3x3 float4 float4x4",
                               {256, 257, 258, 259, 260, 261, 262, 263}},
                      CodeCase{"int int2 int3 int4 uint uint2 uint3 uint4 void",
                               {264, 265, 266, 267, 268, 269, 270, 271, 272}},
                      CodeCase{"break const continue discard do else for if return struct while",
                               {277, 278, 279, 280, 281, 282, 283, 284, 285, 286, 287}},
                      CodeCase{"true false", {294, 294}},
                      CodeCase{"Float FLOAT float5 define", {296, 296, 296, 296}},
                      CodeCase{"x_1 _y", {296, 296}}));

INSTANTIATE_TEST_SUITE_P(
    Numbers, ShaderTokenizerCodes,
    ::testing::Values(CodeCase{"0x1Fu", {299}}, CodeCase{"0x", {297}}, CodeCase{"0X1f", {297}},
                      CodeCase{"09.5", {295}}, CodeCase{"1.", {295}}, CodeCase{".5", {295}},
                      CodeCase{"1e5", {295}}, CodeCase{"1e+5f", {295}}, CodeCase{"2.0F", {295}},
                      CodeCase{"12", {297}}, CodeCase{"12u", {299}}, CodeCase{"0", {297}},
                      CodeCase{"0U", {299}}, CodeCase{"017", {297}}, CodeCase{"1.5.5", {295, 295}},
                      CodeCase{"0xfg", {297, 296}}, CodeCase{"1 .x", {297, 331, 296}},
                      // After an 8 or 9 an octal literal takes only more 8s and 9s: an octal
                      // digit starts the next token.
                      CodeCase{"0817", {297, 297}}, CodeCase{"0897u", {297, 299}},
                      CodeCase{"0819.5", {297, 295}}, CodeCase{"0899e1", {295}}));

TEST(ShaderTokenizer, TextOfTokensLeavesOutQuotesAndKeepsSuffixes) {
    const ScanResult result = Scan("\"lib/a.shader\" 1e+5f 0x1Fu >>= .5");
    ASSERT_EQ(result.tokens.size(), 6u);
    EXPECT_EQ(result.tokens[0].code, TOKEN_STRING_LITERAL);
    EXPECT_EQ(result.tokens[0].text, "lib/a.shader");
    EXPECT_EQ(result.tokens[1].text, "1e+5f");
    EXPECT_EQ(result.tokens[2].text, "0x1Fu");
    EXPECT_EQ(result.tokens[3].text, ">>=");
    EXPECT_EQ(result.tokens[4].text, ".5");
    EXPECT_EQ(result.log, "");
}

TEST(ShaderTokenizer, TabCountsFourColumns) {
    const ScanResult result = Scan("a\tb\n\t\tc d");
    ASSERT_EQ(result.tokens.size(), 5u);
    EXPECT_EQ(result.tokens[0].column, 1);
    EXPECT_EQ(result.tokens[1].column, 6);
    EXPECT_EQ(result.tokens[1].line, 1);
    EXPECT_EQ(result.tokens[2].line, 2);
    EXPECT_EQ(result.tokens[2].column, 9);
    EXPECT_EQ(result.tokens[3].column, 11);
}

TEST(ShaderTokenizer, PositionsAfterSteppingBackOverALineFeed) {
    // The number scanner reads the line feed after 12 and steps back over it; the next token
    // must still be on line 2 at column 3 (after two blanks).
    const ScanResult result = Scan("x 12\n  y\n");
    ASSERT_EQ(result.tokens.size(), 4u);
    EXPECT_EQ(result.tokens[1].line, 1);
    EXPECT_EQ(result.tokens[1].column, 3);
    EXPECT_EQ(result.tokens[2].line, 2);
    EXPECT_EQ(result.tokens[2].column, 3);
    EXPECT_EQ(result.tokens[3].line, 3);  // end of text after the last line feed
}

TEST(ShaderTokenizer, TextEndingInsideANumberReadsNothingTwice) {
    const ScanResult result = Scan("x = 12");
    ASSERT_EQ(result.tokens.size(), 4u);
    EXPECT_EQ(result.tokens[0].text, "x");
    EXPECT_EQ(result.tokens[1].code, TOKEN_EQUAL);
    EXPECT_EQ(result.tokens[2].text, "12");
    EXPECT_EQ(result.tokens[2].code, TOKEN_INT_CONSTANT);
    EXPECT_EQ(result.tokens[3].code, TOKEN_END_OF_TEXT);
    EXPECT_EQ(result.tokens[3].column, 7);
}

struct MessageCase {
    const char* text;
    int32_t firstCode;
    const char* log;
};

class ShaderTokenizerMessages : public ::testing::TestWithParam<MessageCase> {};

TEST_P(ShaderTokenizerMessages, ReportsOnceAndStillDeliversTheToken) {
    const MessageCase& c = GetParam();
    const ScanResult result = Scan(c.text, false, true);
    ASSERT_FALSE(result.tokens.empty());
    EXPECT_EQ(result.tokens[0].code, c.firstCode) << c.text;
    EXPECT_EQ(result.log, c.log) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    All, ShaderTokenizerMessages,
    ::testing::Values(
        MessageCase{"09", TOKEN_INT_CONSTANT, "a.shader(1:1) error: unexpected digit in octal literal.\n"},
        MessageCase{"0817", TOKEN_INT_CONSTANT, "a.shader(1:1) error: unexpected digit in octal literal.\n"},
        MessageCase{"  0789u", TOKEN_UINT_CONSTANT,
                    "a.shader(1:3) error: unexpected digit in octal literal.\n"},
        MessageCase{"1e", TOKEN_FLOAT_CONSTANT,
                    "a.shader(1:1) error: unexpected character in floating point literal.\n"},
        MessageCase{"x 1e+", TOKEN_IDENTIFIER,
                    "a.shader(1:3) error: unexpected character in floating point literal.\n"},
        MessageCase{"Texture2D", TOKEN_RESERVED, "a.shader(1:1) error: 'Texture2D' is a reserved word.\n"},
        MessageCase{"\tcase", TOKEN_RESERVED, "a.shader(1:5) error: 'case' is a reserved word.\n"},
        MessageCase{"_x", TOKEN_IDENTIFIER,
                    "a.shader(1:1) error: identifiers must not start with an underscore.\n"},
        MessageCase{"float4x4", TOKEN_FLOAT4X4, ""}, MessageCase{"true", TOKEN_BOOL_CONSTANT, ""},
        MessageCase{"09.5", TOKEN_FLOAT_CONSTANT, ""}, MessageCase{"1e5", TOKEN_FLOAT_CONSTANT, ""},
        MessageCase{"\"open", TOKEN_NONE, ""}, MessageCase{"\"open\nx", TOKEN_NONE, ""}));

TEST(ShaderTokenizer, UnderscoreCheckIsOffByDefault) {
    EXPECT_EQ(Scan("_x").log, "");
}

TEST(ShaderTokenizer, UnterminatedStringLeavesTheLineFeedToTheNextLine) {
    const ScanResult result = Scan("\"open\nx");
    ASSERT_EQ(result.tokens.size(), 3u);
    EXPECT_EQ(result.tokens[1].text, "x");
    EXPECT_EQ(result.tokens[1].line, 2);
    EXPECT_EQ(result.tokens[1].column, 1);
}

TEST(ShaderTokenizer, LongTokenIsCutWithOneMessage) {
    const std::string letters(200, 'q');
    const ScanResult result = Scan(("  " + letters + " y").c_str());
    ASSERT_EQ(result.tokens.size(), 3u);
    EXPECT_EQ(result.tokens[0].code, TOKEN_IDENTIFIER);
    EXPECT_EQ(result.tokens[0].text, std::string(128, 'q'));
    EXPECT_EQ(result.tokens[1].text, "y");
    EXPECT_EQ(result.log, "a.shader(1:3) error: too many characters in token (maximum is 128).\n");
}

TEST(ShaderTokenizer, EveryLongTokenReportsOnce) {
    const std::string digits(130, '7');
    const ScanResult result = Scan((digits + " " + digits).c_str());
    EXPECT_EQ(result.log,
              "a.shader(1:1) error: too many characters in token (maximum is 128).\n"
              "a.shader(1:132) error: too many characters in token (maximum is 128).\n");
}

TEST(ShaderTokenizer, UserTypesComeFromTheTypeNames) {
    StructNames names;
    const ScanResult result = Scan("Light light Light2", false, false, &names);
    EXPECT_EQ(Codes(result), (std::vector<int32_t>{TOKEN_USER_TYPE, TOKEN_IDENTIFIER, TOKEN_IDENTIFIER, 0}));
}

TEST(ShaderTokenizer, AtSignSkipsItselfAndTheNextCharacter) {
    const ScanResult result = Scan("@x y @");
    ASSERT_EQ(result.tokens.size(), 2u);
    EXPECT_EQ(result.tokens[0].text, "y");
    EXPECT_EQ(result.tokens[0].column, 4);
}

TEST(ShaderTokenizer, LineMarkerSetsFileAndLineOfTheFollowingLine) {
    const ScanResult result = Scan("a\n@f \"b.shader\" 7\nTexture2D\n_k", false, true);
    ASSERT_EQ(result.tokens.size(), 4u);
    EXPECT_EQ(result.tokens[1].line, 7);
    EXPECT_EQ(result.tokens[2].line, 8);
    EXPECT_EQ(result.log,
              "b.shader(7:1) error: 'Texture2D' is a reserved word.\n"
              "b.shader(8:1) error: identifiers must not start with an underscore.\n");
}

TEST(ShaderTokenizer, LineMarkerWithTrailingTextCountsItsLineFeed) {
    const ScanResult result = Scan("@f \"c.shader\" 12 rest\nx");
    ASSERT_EQ(result.tokens.size(), 2u);
    EXPECT_EQ(result.tokens[0].line, 13);
}

TEST(ShaderTokenizer, LineMarkerFileNameIsNotLimitedToATokenLength) {
    const std::string name(300, 'd');
    const ScanResult result = Scan(("@f \"" + name + "\" 3\nTexture3D").c_str());
    EXPECT_EQ(result.log, name + "(3:1) error: 'Texture3D' is a reserved word.\n");
}

TEST(ShaderTokenizer, MarkerLineNumbersNeverOverflow) {
    const ScanResult result = Scan("@f \"x\" 99999999999999999999\n\n\ny");
    ASSERT_EQ(result.tokens.size(), 2u);
    EXPECT_GT(result.tokens[0].line, 0);
}

TEST(ShaderTokenizer, BeginUsesTheFirstLineOfTheSource) {
    ShaderSource source;
    source.fileName = "x.xml";
    source.text = "\n  a";
    source.firstLine = 40;
    Tokenizer tokenizer;
    tokenizer.Begin(source, false);
    Token token;
    token.Clear();
    tokenizer.NextToken(token);
    EXPECT_EQ(token.line, 41);
    EXPECT_EQ(token.column, 3);
    EXPECT_EQ(tokenizer.tokenLine, 41);
    EXPECT_EQ(tokenizer.tokenColumn, 3);
    tokenizer.End();
    EXPECT_EQ(tokenizer.position, 0);
    EXPECT_EQ(tokenizer.line, 0);
    EXPECT_EQ(tokenizer.textSource, nullptr);
}

TEST(ShaderTokenizer, ReadingAfterTheEndKeepsDeliveringTheEnd) {
    ShaderSource source;
    source.text = "a";
    Tokenizer tokenizer;
    tokenizer.Begin(source, false);
    for (int i = 0; i < 3; ++i) {
        Token token;
        token.Clear();
        tokenizer.NextToken(token);
        EXPECT_EQ(token.code, i == 0 ? TOKEN_IDENTIFIER : TOKEN_END_OF_TEXT);
    }
    EXPECT_EQ(tokenizer.position, 1);
}

TEST(ShaderTokenizer, KeywordMapHoldsTheFortySevenWords) {
    ShaderSource source;
    Tokenizer tokenizer;
    tokenizer.Begin(source, false);
    StringMap<int32_t>& map = tokenizer.GetKeywordMap();
    EXPECT_EQ(map.count, 47);
    ASSERT_NE(map.Find("viewport_dimensions"), nullptr);
    EXPECT_EQ(map.Find("viewport_dimensions")->value, TOKEN_RESERVED);
    EXPECT_EQ(map.Find("define"), nullptr);
}

TEST(ShaderTokenizer, NormalizedReadingKeepsColumnsOfTextAfterComments) {
    const ScanResult result = Scan("/* a\r\n b */ x // y\r\nz", true);
    ASSERT_EQ(result.tokens.size(), 3u);
    EXPECT_EQ(result.tokens[0].text, "x");
    EXPECT_EQ(result.tokens[0].line, 2);
    EXPECT_EQ(result.tokens[0].column, 7);
    EXPECT_EQ(result.tokens[1].line, 3);
}

struct LiteralCase {
    const char* text;
    int32_t kind;
};

class ShaderLiteralKind : public ::testing::TestWithParam<LiteralCase> {};

TEST_P(ShaderLiteralKind, FirstTokenDecides) {
    EXPECT_EQ(GetLiteralKind(String(GetParam().text)), GetParam().kind) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(All, ShaderLiteralKind,
                         ::testing::Values(LiteralCase{"1.5", TYPE_FLOAT}, LiteralCase{"7", TYPE_INT},
                                           LiteralCase{"true", TYPE_BOOL}, LiteralCase{"false", TYPE_BOOL},
                                           LiteralCase{"7u", TYPE_NONE}, LiteralCase{"abc", TYPE_NONE},
                                           LiteralCase{"", TYPE_NONE}, LiteralCase{"1.0 x", TYPE_FLOAT},
                                           LiteralCase{" 0x10", TYPE_INT}, LiteralCase{"-1", TYPE_NONE},
                                           LiteralCase{"\"s\"", TYPE_NONE}, LiteralCase{"09", TYPE_INT},
                                           LiteralCase{"Texture2D", TYPE_NONE}));

TEST(ShaderLiteralKind, EmptyStringWithoutData) {
    EXPECT_EQ(GetLiteralKind(String()), TYPE_NONE);
}

struct NormalizeCase {
    const char* text;
    const char* normalized;
};

class ShaderNormalize : public ::testing::TestWithParam<NormalizeCase> {};

TEST_P(ShaderNormalize, ReplacesCommentsAndDropsCarriageReturns) {
    EXPECT_EQ(std::string(NormalizeSourceText(GetParam().text).CStr()), GetParam().normalized);
}

INSTANTIATE_TEST_SUITE_P(
    All, ShaderNormalize,
    ::testing::Values(NormalizeCase{"a\r\nb\r\n", "a\nb\n"}, NormalizeCase{"x // note\r\ny", "x   \ny"},
                      NormalizeCase{"x /* a\r\n\tb */y", "x     \n\t    y"},
                      NormalizeCase{"/* a */// b\nc", "         \nc"},  // 7 + 2 blanks
                      NormalizeCase{"/* a */*x", "       *x"},
                      NormalizeCase{"/*/ x */y", "        y"},  // "/*/" does not close
                      NormalizeCase{"a /* open", "a        "}, NormalizeCase{"a // open", "a   "},
                      NormalizeCase{"\"// in string\"", "\"  "}, NormalizeCase{"a/b*c", "a/b*c"},
                      NormalizeCase{"", ""}, NormalizeCase{"/**/", "    "}));

}  // namespace
