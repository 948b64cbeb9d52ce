// The parser's results, its token reading, and the trees its reductions build.
#include <gtest/gtest.h>

#include <string>

#include "FrontEndHarness.h"
#include "TreeDump.h"
#include "shadertool/Parser.h"

using namespace ShaderTool;
using ShaderToolTest::FrontEnd;

namespace {

const char kOutputs[] = "output.color = float4(1.0, 1.0, 1.0, 1.0);";

std::string PixelMain(const std::string& body) {
    return "void main()\n{\n" + body + "\n" + kOutputs + "\n}\n";
}

TEST(ParseResult, AcceptedSyntaxErrorAndExhaustedStack) {
    FrontEnd frontEnd;
    EXPECT_TRUE(frontEnd.Run(PixelMain(""), STAGE_PIXEL)) << frontEnd.Messages();
    EXPECT_EQ(PARSE_ACCEPTED, frontEnd.parseResult);

    EXPECT_FALSE(frontEnd.Run("void main() { int x = ; }", STAGE_PIXEL));
    EXPECT_EQ(PARSE_SYNTAX_ERROR, frontEnd.parseResult);
    EXPECT_EQ("test.shader(1:23) error: syntax error\n", frontEnd.Messages());

    // Every parenthesis holds a parser stack entry; the stack stops growing at 10000.
    const std::string deep =
        "void main() { int x = " + std::string(12000, '(') + "1" + std::string(12000, ')') + "; }";
    EXPECT_FALSE(frontEnd.Run(deep, STAGE_PIXEL));
    EXPECT_EQ(PARSE_STACK_EXHAUSTED, frontEnd.parseResult);
    const std::string messages = frontEnd.Messages();
    EXPECT_NE(std::string::npos, messages.find(") error: memory exhausted\n")) << messages;
}

TEST(ParseResult, ActionErrorsDoNotFailTheParse) {
    FrontEnd frontEnd;
    EXPECT_FALSE(frontEnd.Run(PixelMain("float x = y;"), STAGE_PIXEL));
    EXPECT_EQ(PARSE_ACCEPTED, frontEnd.parseResult);
    EXPECT_EQ(0, frontEnd.analyzer.success);
}

TEST(ParseResult, NestingBelowTheStackLimitParses) {
    FrontEnd frontEnd;
    const std::string nested = "int x = " + std::string(3000, '(') + "1" + std::string(3000, ')') + ";";
    EXPECT_TRUE(frontEnd.Run(PixelMain(nested), STAGE_PIXEL)) << frontEnd.Messages();
}

TEST(ParseResult, LongOperatorChainsNeedNoStackDepth) {
    std::string chain = "int x = 1";
    for (int i = 0; i < 50000; ++i) {
        chain += " + 1";
    }
    FrontEnd frontEnd;
    EXPECT_TRUE(frontEnd.Run(PixelMain(chain + ";"), STAGE_PIXEL)) << frontEnd.Messages();
}

struct TokenCase {
    const char* what;
    const char* statement;
    const char* messages;
};

TEST(TokenReading, CodesWithoutATerminalEndTheParse) {
    const TokenCase cases[] = {
        {"number sign", "int a = 1 # 2;", "test.shader(3:11) error: syntax error\n"},
        {"string literal", "int a = \"x\";", "test.shader(3:9) error: syntax error\n"},
        {"unterminated string", "int a = \"x", "test.shader(3:9) error: syntax error\n"},
        {"byte above 127", "int a = 1 \xC3 2;", "test.shader(3:11) error: syntax error\n"},
        {"reserved word", "int sample = 1;",
         "test.shader(3:5) error: 'sample' is a reserved word.\n"
         "test.shader(3:5) error: syntax error\n"},
        {"at sign and its next character are skipped", "int a = 1 @x;", ""},
    };
    for (const TokenCase& c : cases) {
        FrontEnd frontEnd;
        frontEnd.Run(PixelMain(c.statement), STAGE_PIXEL);
        EXPECT_EQ(c.messages, frontEnd.Messages()) << c.what;
    }
}

// The declaration node of the first statement of main.
const Node* FirstStatementOfMain(FrontEnd& frontEnd) {
    const DeclarationNode* root = frontEnd.analyzer.root;
    const Symbol* main = static_cast<const Symbol*>(root->children[root->children.count - 1]);
    const DeclarationNode* body = static_cast<const DeclarationNode*>(main->children[1]);
    return body->children[0];
}

TEST(DeclarationTrees, LaterDeclaratorsShareTheFirstArraySize) {
    FrontEnd frontEnd;
    ASSERT_TRUE(frontEnd.Run(PixelMain("int a[2], b = { 1, 2 };"), STAGE_PIXEL) == false);
    ASSERT_TRUE(frontEnd.Run(PixelMain("int a[2], b;"), STAGE_PIXEL)) << frontEnd.Messages();
    EXPECT_EQ(
        "declare int[2]\n"
        "  variable a : int[2]\n"
        "  variable b : int[2]\n",
        ShaderToolTest::DumpTree(const_cast<Node*>(FirstStatementOfMain(frontEnd))));
}

TEST(DeclarationTrees, StructSpecifiersWithVariablesComeFirstInABlock) {
    FrontEnd frontEnd;
    ASSERT_TRUE(frontEnd.Run("struct S { float a; } s = S(), t;\n" + PixelMain(""), STAGE_PIXEL) == false);
    ASSERT_TRUE(frontEnd.Run("struct S { float a; } s, t;\n" + PixelMain("s = t;"), STAGE_PIXEL))
        << frontEnd.Messages();
    EXPECT_EQ(
        "block\n"
        "  struct S\n"
        "    variable a : float\n"
        "  declare S\n"
        "    variable s : S\n"
        "    variable t : S\n",
        ShaderToolTest::DumpTree(frontEnd.analyzer.root->children[0]));
}

TEST(DeclarationTrees, StructNamesBecomeTypesOnceDeclared) {
    FrontEnd frontEnd;
    EXPECT_TRUE(frontEnd.Run("struct Light { float3 direction; };\nLight sun;\n" +
                                 PixelMain("sun.direction = float3(0.0, 1.0, 0.0);"),
                             STAGE_PIXEL))
        << frontEnd.Messages();
    // Before its declaration the name is an ordinary identifier.
    EXPECT_FALSE(frontEnd.Run("Light sun;\n" + PixelMain(""), STAGE_PIXEL));
    EXPECT_EQ("test.shader(1:1) error: syntax error\n", frontEnd.Messages());
}

TEST(StatementTrees, DanglingElseBindsToTheInnerIf) {
    FrontEnd frontEnd;
    ASSERT_TRUE(frontEnd.Run(PixelMain("int x = 0;\nif (true) if (false) x = 1; else x = 2;"), STAGE_PIXEL))
        << frontEnd.Messages();
    const DeclarationNode* root = frontEnd.analyzer.root;
    const Symbol* main = static_cast<const Symbol*>(root->children[0]);
    const DeclarationNode* body = static_cast<const DeclarationNode*>(main->children[1]);
    ASSERT_EQ(NODE_IF, body->children[1]->kind);
    const IfNode* outer = static_cast<const IfNode*>(body->children[1]);
    EXPECT_EQ(nullptr, outer->elseBranch);
    ASSERT_EQ(NODE_IF, outer->thenBranch->kind);
    EXPECT_NE(nullptr, static_cast<const IfNode*>(outer->thenBranch)->elseBranch);
}

TEST(StatementTrees, DiscardOutsidePixelShadersIsKept) {
    FrontEnd frontEnd;
    EXPECT_FALSE(frontEnd.Run("void main()\n{\n  discard;\n}\n", STAGE_VERTEX));
    EXPECT_EQ("test.shader(3:3) error: expression is only allowed in pixel shader.\n", frontEnd.Messages());
    const Symbol* main = static_cast<const Symbol*>(frontEnd.analyzer.root->children[0]);
    const DeclarationNode* body = static_cast<const DeclarationNode*>(main->children[1]);
    ASSERT_EQ(1, body->children.count);
    EXPECT_EQ(STATEMENT_DISCARD, static_cast<const JumpNode*>(body->children[0])->statementId);
}

}  // namespace
