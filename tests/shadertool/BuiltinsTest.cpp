// Built-in function registration: the general list's overloads, ids and keys, and which stage
// gets which stage functions.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "shadertool/Builtins.h"

using namespace ShaderTool;

namespace {

const Symbol* FindByKey(const Array<Symbol>& list, const char* key) {
    for (const Symbol& symbol : list) {
        if (symbol.key.Equals(key)) {
            return &symbol;
        }
    }
    return nullptr;
}

const Type& NodeTypeOfFirstParameter(const Symbol& symbol) {
    static const Type none;
    const DeclarationNode* parameters = GetParameterBlock(symbol);
    if (parameters == nullptr || parameters->children.count == 0) {
        return none;
    }
    return static_cast<const VariableNode*>(parameters->children[0])->type;
}

class BuiltinLists : public ::testing::Test {
protected:
    void SetUp() override { RegisterBuiltinFunctions(&lists); }
    BuiltinFunctionLists lists;
};

TEST_F(BuiltinLists, GeneralListHoldsConstructorsThenIntrinsics) {
    ASSERT_EQ(241, lists.general.count);
    EXPECT_EQ(0, lists.stage.count);
    int32_t constructors = 0;
    for (int32_t i = 0; i < lists.general.count; ++i) {
        const int32_t id = lists.general[i].functionId;
        if (i < 88) {
            EXPECT_GE(id, CONSTRUCTOR_BOOL) << i;
            EXPECT_LE(id, CONSTRUCTOR_UINT4) << i;
            ++constructors;
        } else {
            EXPECT_GE(id, FUNCTION_ABS) << i;
            EXPECT_LE(id, FUNCTION_UNPACK_UNORM4_TO_FLOAT4) << i;
        }
    }
    EXPECT_EQ(88, constructors);
}

TEST_F(BuiltinLists, EverySymbolIsABuiltinDefinitionWithUnnamedParametersAndItsKey) {
    std::set<std::string> keys;
    for (const Symbol& symbol : lists.general) {
        EXPECT_EQ(NODE_FUNCTION, symbol.kind);
        EXPECT_EQ(1, symbol.isBuiltin);
        EXPECT_EQ(1, symbol.isDefinition);
        const DeclarationNode* parameters = GetParameterBlock(symbol);
        ASSERT_NE(nullptr, parameters);
        EXPECT_EQ(DECLARATION_BLOCK, parameters->declarationKind);
        EXPECT_EQ(0, parameters->braced);
        for (const Node* parameter : parameters->children) {
            ASSERT_EQ(NODE_VARIABLE, parameter->kind);
            EXPECT_TRUE(static_cast<const VariableNode*>(parameter)->name.IsEmpty());
        }
        EXPECT_STREQ(BuildFunctionKey(symbol).CStr(), symbol.key.CStr());
        EXPECT_TRUE(keys.insert(symbol.key.CStr()).second) << "repeated key " << symbol.key.CStr();
    }
}

struct KeyCase {
    const char* key;
    int32_t id;
    const char* returnType;
};

TEST_F(BuiltinLists, OverloadsHaveTheirIdsAndReturnTypes) {
    const KeyCase cases[] = {
        {"bool,f", CONSTRUCTOR_BOOL, "bool"},
        {"float,u", CONSTRUCTOR_FLOAT, "float"},
        {"float2,f3", CONSTRUCTOR_FLOAT2, "float2"},
        {"float3,f2,f", CONSTRUCTOR_FLOAT3, "float3"},
        {"float4,f,f,f2", CONSTRUCTOR_FLOAT4, "float4"},
        {"float4,f2,f2", CONSTRUCTOR_FLOAT4, "float4"},
        {"float2x2,fx3", CONSTRUCTOR_FLOAT2X2, "float2x2"},
        {"float3x3,f3,f3,f3", CONSTRUCTOR_FLOAT3X3, "float3x3"},
        {"float4x4,f,f,f,f,f,f,f,f,f,f,f,f,f,f,f,f", CONSTRUCTOR_FLOAT4X4, "float4x4"},
        {"int3,i,i2", CONSTRUCTOR_INT3, "int3"},
        {"uint4,u4", CONSTRUCTOR_UINT4, "uint4"},
        {"abs,f4", FUNCTION_ABS, "float4"},
        {"all,i3", FUNCTION_ALL, "bool"},
        {"any,f2", FUNCTION_ANY, "bool"},
        {"cross,f3,f3", FUNCTION_CROSS, "float3"},
        {"distance,f2,f2", FUNCTION_DISTANCE, "float"},
        {"dot,f3,f3", FUNCTION_DOT, "float"},
        {"floatBitsToUint,f", FUNCTION_FLOAT_BITS_TO_UINT, "uint"},
        {"length,f4", FUNCTION_LENGTH, "float"},
        {"lerp,f,f,f", FUNCTION_LERP, "float"},
        {"lerp,f2,f2,f", FUNCTION_LERP, "float2"},
        {"lerp,f3,f3,f3", FUNCTION_LERP, "float3"},
        {"sign,f3", FUNCTION_SIGN, "float3"},
        {"smoothstep,f,f,f", FUNCTION_SMOOTHSTEP, "float"},
        {"transpose,fx4", FUNCTION_TRANSPOSE, "float4x4"},
        {"unpackUnorm4ToFloat4,u", FUNCTION_UNPACK_UNORM4_TO_FLOAT4, "float4"},
    };
    for (const KeyCase& c : cases) {
        const Symbol* symbol = FindByKey(lists.general, c.key);
        ASSERT_NE(nullptr, symbol) << c.key;
        EXPECT_EQ(c.id, symbol->functionId) << c.key;
        EXPECT_STREQ(c.returnType, FormatTypeName(symbol->type, false).CStr()) << c.key;
    }
}

TEST_F(BuiltinLists, MissingOverloadsStayMissing) {
    // No bool vector constructors, no matrix from a smaller matrix, no scalar all/any, no
    // integer intrinsics.
    const char* const absent[] = {"bool2,b,b", "float3x3,fx2",       "all,b2", "any,f", "abs,i",
                                  "float2,i2", "sampleTexture,t2,f2"};
    for (const char* key : absent) {
        EXPECT_EQ(nullptr, FindByKey(lists.general, key)) << key;
    }
}

struct StageCase {
    int32_t stage;
    std::vector<std::string> keys;
};

std::vector<std::string> CommonTextureSet() {
    return {"sampleTextureCompareLodZero,t2,f2,f",
            "sampleTextureGrad,t2,f2,f2,f2",
            "sampleTextureGrad,t3,f3,f3,f3",
            "sampleTextureGrad,tc,f3,f3,f3",
            "sampleTextureLod,t2,f2,f",
            "sampleTextureLod,t3,f3,f",
            "sampleTextureLod,tc,f3,f",
            "sampleTextureLodOffset,t2,f2,f,i2",
            "sampleTextureLodOffset,t3,f3,f,i3"};
}

std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST_F(BuiltinLists, EachStageGetsItsFunctionsInOrder) {
    const std::vector<std::string> trace = {"trace,u,u,u,u,f3,f,f3,f,u"};
    const std::vector<std::string> load = {"loadIndices,b_u3,u"};
    const StageCase cases[] = {
        {STAGE_VERTEX, {}},
        {STAGE_PIXEL,
         Concat({"sampleTexture,t2,f2", "sampleTexture,t3,f3", "sampleTexture,tc,f3"}, CommonTextureSet())},
        {STAGE_RCHIT, Concat(Concat(Concat(CommonTextureSet(), {"objectSpaceToWorld,f4"}), load), trace)},
        {STAGE_RGEN, Concat(Concat(Concat(CommonTextureSet(), load), trace), {"storeImage,im2,u2,f4"})},
        {STAGE_RMISS, CommonTextureSet()},
        {STAGE_INVALID, {}},
    };
    for (const StageCase& c : cases) {
        ClearFunctionList(&lists.stage);
        RegisterStageFunctions(&lists, c.stage);
        ASSERT_EQ(static_cast<int32_t>(c.keys.size()), lists.stage.count) << "stage " << c.stage;
        for (int32_t i = 0; i < lists.stage.count; ++i) {
            EXPECT_EQ(c.keys[i], lists.stage[i].key.CStr()) << "stage " << c.stage;
        }
    }
}

TEST_F(BuiltinLists, StageTextureAndImageParametersAreConst) {
    RegisterStageFunctions(&lists, STAGE_RGEN);
    for (const Symbol& symbol : lists.stage) {
        const Type& first = NodeTypeOfFirstParameter(symbol);
        if (first.kind == TYPE_TEXTURE || first.kind == TYPE_IMAGE) {
            EXPECT_EQ(QUALIFIER_CONST, first.qualifiers) << symbol.key.CStr();
        }
    }
}

TEST_F(BuiltinLists, ClearingKeepsStorageAndRegistrationRepeats) {
    RegisterStageFunctions(&lists, STAGE_PIXEL);
    const int32_t capacity = lists.stage.capacity;
    ClearFunctionList(&lists.stage);
    EXPECT_EQ(0, lists.stage.count);
    EXPECT_EQ(capacity, lists.stage.capacity);
    RegisterBuiltinFunctions(&lists);
    EXPECT_EQ(241, lists.general.count);
}

}  // namespace
