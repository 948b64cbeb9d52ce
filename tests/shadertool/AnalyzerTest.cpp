// The semantic analyzer's construction and reset, its name tables and scopes, the stage blocks,
// call resolution against the function table, struct rules and the whole-program checks.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>

#include "FrontEndHarness.h"
#include "TreeDump.h"
#include "shadertool/ExpressionTyping.h"
#include "shadertool/Parser.h"
#include "shadertool/Symbols.h"

using namespace ShaderTool;
using ShaderToolTest::FrontEnd;

namespace {

TEST(AnalyzerConstruction, StartsWithItsTablesAndTheGlobalScope) {
    MessageLog log;
    SemanticAnalyzer analyzer(&log);
    EXPECT_EQ(OPERATOR_COUNT, analyzer.operators.count);
    EXPECT_EQ(241, analyzer.builtins.general.count);
    EXPECT_EQ(0, analyzer.builtins.stage.count);
    ASSERT_EQ(1, analyzer.scopes.count);
    EXPECT_EQ(0, analyzer.scopes[0]);
    EXPECT_EQ(1, analyzer.success);
    EXPECT_EQ(nullptr, analyzer.currentFunction);
    EXPECT_EQ(nullptr, analyzer.root);
    EXPECT_EQ(0, analyzer.functions.Count());
    EXPECT_EQ(&analyzer.structs, analyzer.tokenizer.typeNames);
    EXPECT_EQ(0, log.hasMessages);
}

TEST(AnalyzerReset, LeavesNothingOfAFailedSourceBehind) {
    FrontEnd frontEnd;
    EXPECT_FALSE(frontEnd.Run("struct S { float a; };\nfloat f(int x) { return y; }\n", STAGE_PIXEL));
    SemanticAnalyzer& analyzer = frontEnd.analyzer;
    EXPECT_GT(analyzer.nodes.count, 0);
    EXPECT_GT(analyzer.structs.Count(), 0);
    analyzer.Reset();
    EXPECT_EQ(0, analyzer.nodes.count);
    EXPECT_EQ(0, analyzer.symbols.count);
    ASSERT_EQ(1, analyzer.scopes.count);
    EXPECT_EQ(0, analyzer.scopes[0]);
    EXPECT_EQ(0, analyzer.structs.Count());
    EXPECT_EQ(0, analyzer.functions.Count());
    EXPECT_EQ(0, analyzer.builtins.stage.count);
    EXPECT_EQ(241, analyzer.builtins.general.count);
    EXPECT_EQ(nullptr, analyzer.root);
    EXPECT_EQ(nullptr, analyzer.placeholder);
    EXPECT_EQ(0, analyzer.pendingOutputs.count);
    EXPECT_EQ(1, analyzer.success);
}

TEST(AnalyzerReset, TheSameSourceAnalysesAlikeTwice) {
    const std::string source =
        "void main() { output.position = input.position; output.color = input.color;\n"
        "output.uv = input.uv; }\n";
    FrontEnd frontEnd;
    ASSERT_TRUE(frontEnd.Run(source, STAGE_VERTEX)) << frontEnd.Messages();
    const int32_t nodes = frontEnd.analyzer.nodes.count;
    ASSERT_TRUE(frontEnd.Run(source, STAGE_VERTEX)) << frontEnd.Messages();
    EXPECT_EQ(nodes, frontEnd.analyzer.nodes.count);
}

class Scopes : public ::testing::Test {
protected:
    MessageLog log;
    SemanticAnalyzer analyzer{&log};
    const SourcePosition at = {5, 4};

    VariableNode* Declare(const char* name) {
        VariableNode* variable = CreateVariable(analyzer, Type(TYPE_INT, 1), name, at);
        AddSymbol(analyzer, variable);
        return variable;
    }
};

TEST_F(Scopes, InnerDeclarationsNeverShadowVisibleOnes) {
    VariableNode* outer = Declare("a");
    PushScope(analyzer);
    Declare("a");
    EXPECT_STREQ("(4:5) error: symbol 'a' already has a declaration.\n", log.text.CStr());
    EXPECT_EQ(outer, FindSymbol(analyzer, "a"));
    VariableNode* inner = Declare("b");
    EXPECT_EQ(inner, FindSymbol(analyzer, "b"));
    PopScope(analyzer);
    EXPECT_EQ(nullptr, FindSymbol(analyzer, "b"));
    EXPECT_EQ(outer, FindSymbol(analyzer, "a"));
    PushScope(analyzer);
    EXPECT_NE(nullptr, Declare("b"));
    EXPECT_EQ(1, analyzer.scopes[analyzer.scopes.count - 1]);
}

TEST_F(Scopes, UnnamedVariablesAreNotDeclared) {
    Declare("");
    EXPECT_EQ(0, analyzer.symbols.count);
    EXPECT_EQ(0, log.hasErrors);
}

TEST(NameHashMap, KeepsInsertionOrderAndFirstValuesWhileGrowing) {
    NameHashMap<int> map;
    for (int i = 0; i < 100; ++i) {
        bool inserted = false;
        const std::string name = "name" + std::to_string(i);
        ASSERT_NE(nullptr, map.Insert(name.c_str(), i, &inserted));
        EXPECT_TRUE(inserted);
    }
    bool inserted = true;
    EXPECT_EQ(7, *map.Insert("name7", 1000, &inserted));
    EXPECT_FALSE(inserted);
    ASSERT_EQ(100, map.Count());
    for (int i = 0; i < 100; ++i) {
        const std::string name = "name" + std::to_string(i);
        EXPECT_STREQ(name.c_str(), map.At(i).key.CStr());
        ASSERT_NE(nullptr, map.Find(name.c_str()));
        EXPECT_EQ(i, *map.Find(name.c_str()));
    }
    EXPECT_EQ(nullptr, map.Find("name100"));
    EXPECT_EQ(nullptr, map.Find(nullptr));
    map.Clear();
    EXPECT_EQ(0, map.Count());
    EXPECT_EQ(nullptr, map.Find("name1"));
}

TEST(StructTable, AnswersTheTokenizersTypeNameQuestion) {
    StructTable table;
    EXPECT_FALSE(table.IsTypeName("Light"));
    MemberTable* members = table.Register("Light");
    ASSERT_NE(nullptr, members);
    EXPECT_TRUE(table.IsTypeName("Light"));
    EXPECT_EQ(members, table.Register("Light"));
    EXPECT_FALSE(table.Adopt("Light", new MemberTable()));  // freed, not leaked
    EXPECT_EQ(1, table.Count());
}

TEST(StageBlocks, OlderDescriptionsDeclareStageConstantsAsGlobals) {
    FrontEnd frontEnd;
    frontEnd.description = ShaderToolTest::MakeTestDescription(0x20002);
    const bool ok = frontEnd.Run("void main() { output.color = tint + float4(levels); }\n", STAGE_PIXEL);
    EXPECT_TRUE(ok) << frontEnd.Messages();
    const VariableNode* tint = FindSymbol(frontEnd.analyzer, "tint");
    ASSERT_NE(nullptr, tint);
    EXPECT_EQ(1, tint->stageConstant);
    EXPECT_EQ(nullptr, FindSymbol(frontEnd.analyzer, "constants"));
    EXPECT_EQ(nullptr, FindStruct(frontEnd.analyzer, "_Constants"));
    EXPECT_FALSE(frontEnd.Run("void main() { output.color = constants.time; }\n", STAGE_PIXEL));
    EXPECT_EQ(
        "test.shader(1:30) error: undeclared identifier 'constants'.\n"
        "test.shader(1:28) error: no operator '=' matches the operands.\n",
        frontEnd.Messages());
}

TEST(StageBlocks, PixelStagesNeedAnOutput) {
    FrontEnd frontEnd;
    frontEnd.description.pixelOutputs.Clear();
    EXPECT_FALSE(frontEnd.Run("void main() { }\n", STAGE_PIXEL));
    EXPECT_EQ("test.shader(0:0) error: at least one pixel output variable must be declared.\n",
              frontEnd.Messages());
}

TEST(StageBlocks, RayPayloadsOfUndeclaredStructTypesAreLeftOut) {
    FrontEnd frontEnd;
    StageVariable broken;
    broken.name = "hit";
    broken.type = Type(TYPE_STRUCT, 0);
    broken.type.name = "HitInfo";
    frontEnd.description.rayPayloads.Push(broken);
    EXPECT_FALSE(frontEnd.Run("void main()\n{\n ray_payloads.hit = 1; }\n", STAGE_RMISS));
    EXPECT_EQ(
        "test.shader(1:6) error: can not declare ray payload variable 'hit' as its type "
        "'HitInfo' is invalid.\n"
        "test.shader(3:14) error: '_RayPayloads' has no member 'hit'.\n"
        "test.shader(3:19) error: expression must be a modifiable l-value.\n",
        frontEnd.Messages());
}

TEST(StageBlocks, PendingOutputsAreTakenByAssignmentsToOutputMembers) {
    FrontEnd frontEnd;
    EXPECT_FALSE(
        frontEnd.Run("void main() { output.position.x = 1.0; float4 o; o = input.color; }\n", STAGE_VERTEX));
    EXPECT_EQ(
        "test.shader(0:0) error: vertex shader output 'color' is not set.\n"
        "test.shader(0:0) error: vertex shader output 'uv' is not set.\n",
        frontEnd.Messages());
}

TEST(WholeProgram, BuiltinKeysShareTheFunctionTable) {
    FrontEnd frontEnd;
    EXPECT_FALSE(frontEnd.Run("float dot(float3 a, float3 b);\nvoid main() { }\n", STAGE_PIXEL));
    EXPECT_EQ("test.shader(1:7) error: function 'dot' already has a declaration.\n", frontEnd.Messages());
    // A definition with a built-in's key is accepted, and calls still reach the built-in.
    EXPECT_TRUE(
        frontEnd.Run("float dot(float3 a, float3 b) { return 0.0; }\n"
                     "void main() { float d = dot(float3(1.0, 0.0, 0.0), float3(0.0, 1.0, 0.0));\n"
                     "output.color = float4(d, d, d, d); }\n",
                     STAGE_PIXEL))
        << frontEnd.Messages();
}

TEST(WholeProgram, AMainPrototypeIsNotAMissingMain) {
    MessageLog log;
    SemanticAnalyzer analyzer(&log);
    ShaderDescription description = ShaderToolTest::MakeTestDescription();
    ShaderSource source;
    source.fileName = "p.shader";
    source.text = "void main();\n";
    source.stage = STAGE_PIXEL;
    analyzer.BeginStage(&description, source);
    analyzer.DeclareStageVariables(description);
    EXPECT_EQ(PARSE_ACCEPTED, ParseShader(analyzer));
    analyzer.CheckFunctionDefinitions();
    EXPECT_STREQ("p.shader(1:6) error: main() must be defined only and can not have overloads.\n",
                 log.text.CStr());
}

// Call resolution against the function table of a begun stage, with argument nodes of the given
// types: which overload a call reaches decides the conversions put on its arguments.
class CallResolution : public ::testing::Test {
protected:
    MessageLog log;
    SemanticAnalyzer analyzer{&log};
    ShaderDescription description = ShaderToolTest::MakeTestDescription();

    void Begin(int32_t stage) {
        ShaderSource source;
        source.fileName = "c.shader";
        source.text = "";
        source.stage = stage;
        analyzer.BeginStage(&description, source);
    }

    // The key of the overload the call reaches; "" when none accepts the arguments.
    std::string Resolve(const char* name, std::initializer_list<Type> arguments, bool* foundByName) {
        const SourcePosition at = {1, 1};
        Symbol* call = CreateSymbolNode(analyzer, NODE_CALL, name, at);
        for (const Type& type : arguments) {
            AppendChild(GetParameterBlock(*call), CreateVariableNamed(analyzer, type, "a"));
        }
        const FunctionEntry* entry = FindMatchingFunction(analyzer, call, foundByName);
        return entry != nullptr ? entry->function->key.CStr() : "";
    }
};

TEST_F(CallResolution, BuiltinOverloadsAreReachedByTheirArgumentTypes) {
    Begin(STAGE_PIXEL);
    const Type f = Type(TYPE_FLOAT, 1), f3 = Type(TYPE_FLOAT, 3), i = Type(TYPE_INT, 1);
    struct Case {
        const char* name;
        std::initializer_list<Type> arguments;
        const char* key;
    };
    const Case cases[] = {
        {"lerp", {f3, f3, f}, "lerp,f3,f3,f"},
        {"lerp", {f3, f3, f3}, "lerp,f3,f3,f3"},
        {"lerp", {f3, f3, i}, "lerp,f3,f3,f"},
        {"float2x2", {Type::Matrix(3)}, "float2x2,fx3"},
        {"float3x3", {Type::Matrix(2)}, ""},
        {"all", {Type(TYPE_INT, 2)}, "all,i2"},
        {"any", {Type(TYPE_INT, 3)}, "any,i3"},
        {"any", {f}, ""},
        {"all", {Type(TYPE_BOOL, 1)}, ""},
        {"bool", {i}, "bool,i"},
        {"sampleTextureLod",
         {Type::Texture(TEXTURE_DIMENSION_2D), Type(TYPE_FLOAT, 2), f},
         "sampleTextureLod,t2,f2,f"},
    };
    for (const Case& c : cases) {
        bool foundByName = false;
        EXPECT_EQ(c.key, Resolve(c.name, c.arguments, &foundByName)) << c.name;
        EXPECT_TRUE(foundByName) << c.name;
    }
}

TEST_F(CallResolution, StageFunctionsExistOnlyInTheirStages) {
    struct Case {
        int32_t stage;
        bool storeImage, objectSpaceToWorld, trace, loadIndices, sampleTextureLod;
    };
    const Case cases[] = {
        {STAGE_VERTEX, false, false, false, false, false}, {STAGE_PIXEL, false, false, false, false, true},
        {STAGE_RCHIT, false, true, true, true, true},      {STAGE_RGEN, true, false, true, true, true},
        {STAGE_RMISS, false, false, false, false, true},
    };
    for (const Case& c : cases) {
        Begin(c.stage);
        const std::pair<const char*, bool> names[] = {{"storeImage", c.storeImage},
                                                      {"objectSpaceToWorld", c.objectSpaceToWorld},
                                                      {"trace", c.trace},
                                                      {"loadIndices", c.loadIndices},
                                                      {"sampleTextureLod", c.sampleTextureLod}};
        for (const auto& name : names) {
            Array<FunctionEntry*> found;
            FindFunctionsByName(analyzer, name.first, &found);
            EXPECT_EQ(name.second, found.count > 0) << name.first << " in stage " << c.stage;
        }
    }
}

TEST(StructRules, RepeatedMembersKeepTheFirstAndLocalStructsHaveNone) {
    FrontEnd frontEnd;
    EXPECT_FALSE(frontEnd.Run(
        "struct R { float a; float a; int a; };\n"
        "void main() { struct L { float q; }; R r; r.a = 1.0; output.color = float4(r.a, 0.0, 0.0, 1.0); }\n",
        STAGE_PIXEL));
    EXPECT_EQ(
        "test.shader(1:27) error: struct 'R' already has member 'a'.\n"
        "test.shader(1:34) error: struct 'R' already has member 'a'.\n"
        "test.shader(1:34) error: struct 'R' already has member 'a'.\n"
        "test.shader(2:36) error: structs must be declared in global scope.\n",
        frontEnd.Messages());
    const MemberTable* members = FindStruct(frontEnd.analyzer, "R");
    ASSERT_NE(nullptr, members);
    ASSERT_EQ(1, members->Count());
    EXPECT_EQ(TYPE_FLOAT, members->Find("a")->kind);
    const DeclarationNode* root = frontEnd.analyzer.root;
    EXPECT_EQ("struct R\n  variable a : float\n", ShaderToolTest::DumpTree(root->children[0]));
    const Symbol* main = static_cast<const Symbol*>(root->children[1]);
    const DeclarationNode* body = static_cast<const DeclarationNode*>(main->children[1]);
    EXPECT_EQ("struct L\n", ShaderToolTest::DumpTree(body->children[0]));
    EXPECT_NE(nullptr, FindStruct(frontEnd.analyzer, "L"));
}

}  // namespace
