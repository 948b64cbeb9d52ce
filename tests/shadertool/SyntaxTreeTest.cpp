// Spelling of operators and types, function keys, literal texts and the tree walker's order.
#include <gtest/gtest.h>

#include <string>

#include "TreeDump.h"
#include "shadertool/Analyzer.h"
#include "shadertool/TreeWalker.h"

using namespace ShaderTool;

namespace {

TEST(OperatorText, SpellsEveryIdAndNothingElse) {
    const char* const expected[] = {
        "~",  "()", "!",   "-",  "+",  "--", "++",  "--",    "++",       "+",       "=",     "+=",
        "&=", "/=", "<<=", "%=", "*=", "|=", ">>=", "-=",    "^=",       "&",       "|",     "^",
        "/",  "==", ">",   ">=", "<<", "<",  "<=",  "&&",    "||",       ".",       "%",     "*",
        "!=", ">>", "[]",  "-",  "?",  ":",  "",    "break", "continue", "discard", "return"};
    for (int32_t id = 0; id <= STATEMENT_RETURN; ++id) {
        EXPECT_STREQ(expected[id], GetOperatorText(id)) << id;
    }
    EXPECT_STREQ("", GetOperatorText(-1));
    EXPECT_STREQ("", GetOperatorText(FUNCTION_USER));
    EXPECT_STREQ("", GetOperatorText(1000));
}

struct SpellingCase {
    Type type;
    const char* readable;
    const char* key;
};

Type Named(const char* name, int32_t arraySize) {
    Type type(TYPE_STRUCT, 0);
    type.name = name;
    type.arraySize = arraySize;
    return type;
}

Type Buffer(Type type, int32_t arraySize) {
    type.isBuffer = 1;
    type.arraySize = arraySize;
    return type;
}

TEST(TypeSpelling, ReadableAndKeyForms) {
    Type float2Array(TYPE_FLOAT, 2);
    float2Array.arraySize = 4;
    const SpellingCase cases[] = {
        {Type(TYPE_BOOL, 1), "bool", "b"},
        {Type(TYPE_FLOAT, 3), "float3", "f3"},
        {Type(TYPE_INT, 4), "int4", "i4"},
        {Type(TYPE_UINT, 2), "uint2", "u2"},
        {Type(TYPE_VOID, 1), "void", "v"},
        {Type::Matrix(4), "float4x4", "fx4"},
        {Type::Matrix(2), "float2x2", "fx2"},
        {Type::Texture(TEXTURE_DIMENSION_2D), "Texture2D", "t2"},
        {Type::Texture(TEXTURE_DIMENSION_3D), "Texture3D", "t3"},
        {Type::Texture(TEXTURE_DIMENSION_CUBE), "TextureCube", "tc"},
        {Type::Image2D(), "Image2D", "im2"},
        {Named("MyStruct", 0), "MyStruct", "_MyStruct"},
        {Named("MyStruct", 3), "MyStruct", "_MyStruct[3"},
        {float2Array, "float2", "f2[4"},
        {Buffer(Type(TYPE_UINT, 3), 0), "uint3", "b_u3"},
        {Buffer(Type(TYPE_FLOAT, 4), 2), "float4", "b_f4[2"},
        {Type(), "", ""},
    };
    for (const SpellingCase& c : cases) {
        EXPECT_STREQ(c.readable, FormatTypeName(c.type, false).CStr()) << c.key;
        EXPECT_STREQ(c.key, FormatTypeName(c.type, true).CStr()) << c.readable;
    }
}

TEST(TypeSpelling, ConstructorIds) {
    EXPECT_EQ(CONSTRUCTOR_BOOL, GetConstructorId(Type(TYPE_BOOL, 1)));
    EXPECT_EQ(CONSTRUCTOR_FLOAT3, GetConstructorId(Type(TYPE_FLOAT, 3)));
    EXPECT_EQ(CONSTRUCTOR_FLOAT3X3, GetConstructorId(Type::Matrix(3)));
    EXPECT_EQ(CONSTRUCTOR_INT4, GetConstructorId(Type(TYPE_INT, 4)));
    EXPECT_EQ(CONSTRUCTOR_UINT, GetConstructorId(Type(TYPE_UINT, 1)));
    EXPECT_EQ(CONSTRUCTOR_NONE, GetConstructorId(Type(TYPE_VOID, 1)));
    EXPECT_EQ(CONSTRUCTOR_NONE, GetConstructorId(Named("S", 0)));
    EXPECT_EQ(CONSTRUCTOR_NONE, GetConstructorId(Type::Texture(TEXTURE_DIMENSION_2D)));
}

class TreeBuilding : public ::testing::Test {
protected:
    MessageLog log;
    SemanticAnalyzer analyzer{&log};
    const SourcePosition at = {3, 2};
};

TEST_F(TreeBuilding, FunctionKeysSpellParameterTypes) {
    Symbol* function = CreateSymbolNode(analyzer, NODE_FUNCTION, "f", at);
    EXPECT_STREQ("f,", BuildFunctionKey(*function).CStr());
    AppendChild(GetParameterBlock(*function), CreateVariable(analyzer, Type(TYPE_FLOAT, 2), "a", at));
    AppendChild(GetParameterBlock(*function), CreateVariable(analyzer, Named("MyStruct", 3), "b", at));
    EXPECT_STREQ("f,f2,_MyStruct[3", BuildFunctionKey(*function).CStr());
}

TEST_F(TreeBuilding, FloatLiteralsEndInAnFSuffix) {
    EXPECT_STREQ("1.5f", CreateLiteral(analyzer, TYPE_FLOAT, "1.5", at)->value.CStr());
    EXPECT_STREQ("2.0F", CreateLiteral(analyzer, TYPE_FLOAT, "2.0F", at)->value.CStr());
    EXPECT_STREQ("1e5f", CreateLiteral(analyzer, TYPE_FLOAT, "1e5f", at)->value.CStr());
    LiteralNode* integer = CreateLiteral(analyzer, TYPE_INT, "7", at);
    EXPECT_STREQ("7", integer->value.CStr());
    EXPECT_EQ(1, integer->type.isConstant);
    EXPECT_EQ(2, integer->line);
    EXPECT_EQ(3, integer->column);
}

TEST_F(TreeBuilding, NamedVariablesDropOverlongNames) {
    const std::string longName(128, 'n');
    EXPECT_STREQ("", CreateVariableNamed(analyzer, Type(), longName.c_str())->name.CStr());
    const std::string fits(127, 'n');
    EXPECT_STREQ(fits.c_str(), CreateVariableNamed(analyzer, Type(), fits.c_str())->name.CStr());
}

TEST_F(TreeBuilding, LoopsGetABracedBodyWhenNoneWasWritten) {
    LoopNode* loop = CreateLoop(analyzer, LOOP_WHILE, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, loop->body);
    ASSERT_EQ(NODE_DECLARATION, loop->body->kind);
    EXPECT_EQ(1, static_cast<DeclarationNode*>(loop->body)->braced);
    EXPECT_EQ(0, loop->line);
}

// Records the order in which a walk enters and leaves nodes.
class OrderWalker : public TreeWalker {
public:
    std::string order;
    const Node* skip = nullptr;

protected:
    bool Enter(Node* node, int32_t depth) override {
        order += "+" + std::to_string(node->kind) + "@" + std::to_string(depth) + " ";
        return node != skip;
    }
    void Leave(Node* node, int32_t) override { order += "-" + std::to_string(node->kind) + " "; }
};

TEST_F(TreeBuilding, WalkerVisitsChildrenInSourceOrderAndCanSkipThem) {
    // if (c) { x = 1; } : if(7) with condition variable(8), then block(0) holding op(6).
    VariableNode* condition = CreateVariable(analyzer, Type(TYPE_BOOL, 1), "c", at);
    OperationNode* assign = CreateOperation(analyzer, OP_ASSIGN, at);
    assign->left = CreateVariable(analyzer, Type(TYPE_INT, 1), "x", at);
    assign->right = CreateLiteral(analyzer, TYPE_INT, "1", at);
    DeclarationNode* block = CreateDeclaration(analyzer, DECLARATION_BLOCK);
    AppendChild(block, assign);
    IfNode* branch = CreateIf(analyzer, condition, block, nullptr, at);
    OrderWalker walker;
    walker.Walk(branch);
    EXPECT_EQ("+7@0 +8@1 -8 +0@1 +6@2 +8@3 -8 +5@3 -5 -6 -0 -7 ", walker.order);
    OrderWalker skipping;
    skipping.skip = block;
    skipping.Walk(branch);
    EXPECT_EQ("+7@0 +8@1 -8 +0@1 -7 ", skipping.order);
}

TEST_F(TreeBuilding, WalkerHandlesChainsFarDeeperThanTheMachineStack) {
    Node* chain = CreateLiteral(analyzer, TYPE_INT, "1", at);
    for (int32_t i = 0; i < 200000; ++i) {
        OperationNode* add = CreateOperation(analyzer, OP_ADD, at);
        add->left = chain;
        add->right = CreateLiteral(analyzer, TYPE_INT, "1", at);
        chain = add;
    }
    class Counter : public TreeWalker {
    public:
        int64_t count = 0;
        int32_t deepest = 0;

    protected:
        bool Enter(Node*, int32_t depth) override {
            ++count;
            deepest = depth > deepest ? depth : deepest;
            return true;
        }
    } counter;
    counter.Walk(chain);
    EXPECT_EQ(400001, counter.count);
    EXPECT_EQ(200000, counter.deepest);
}

}  // namespace
