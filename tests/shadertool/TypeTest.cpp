// Tests of the shading language's type record, its validity rule and copying, and of the target,
// variant and stage names.
#include <gtest/gtest.h>

#include <string>

#include "foundation/Array.h"
#include "shadertool/ShaderType.h"
#include "shadertool/TargetNames.h"
#include "shadertool/preprocessor/PreprocessorValue.h"

namespace {

using namespace ShaderTool;

Type Named(Type type, const char* name) {
    type.name = name;
    return type;
}

Type WithImageDimension(Type type, int32_t dimension) {
    type.imageDimension = dimension;
    return type;
}

Type WithTextureDimension(Type type, int32_t dimension) {
    type.textureDimension = dimension;
    return type;
}

Type WithMatrix(Type type, int32_t size) {
    type.matrixSize = size;
    return type;
}

struct ValidityCase {
    const char* what;
    Type type;
    bool valid;
};

class ShaderTypeValidity : public ::testing::TestWithParam<ValidityCase> {};

TEST_P(ShaderTypeValidity, FollowsTheRule) {
    EXPECT_EQ(GetParam().type.IsValid(), GetParam().valid) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    All, ShaderTypeValidity,
    ::testing::Values(
        ValidityCase{"default (none)", Type(), false},
        ValidityCase{"float scalar", Type(TYPE_FLOAT, 1), true},
        ValidityCase{"uint4", Type(TYPE_UINT, 4), true},
        ValidityCase{"vector size not bounded", Type(TYPE_INT, 9), true},
        ValidityCase{"void", Type(TYPE_VOID, 1), true}, ValidityCase{"void2", Type(TYPE_VOID, 2), false},
        ValidityCase{"array of void", Type(TYPE_VOID, 1, 0, 4), false},
        ValidityCase{"array of float", Type(TYPE_FLOAT, 4, 0, 3), true},
        ValidityCase{"array of struct", Named(Type(TYPE_STRUCT, 0, 0, 2), "Light"), true},
        ValidityCase{"struct with vector size", Named(Type(TYPE_STRUCT, 1), "Light"), false},
        ValidityCase{"image, dimension none", Type(TYPE_IMAGE, 0), false},
        ValidityCase{"image 2D", Type::Image2D(), true},
        ValidityCase{"image with vector size", WithImageDimension(Type(TYPE_IMAGE, 1), 0), false},
        ValidityCase{"texture 3D", Type::Texture(TEXTURE_DIMENSION_3D), true},
        ValidityCase{"texture, dimension none", Type(TYPE_TEXTURE, 0), false},
        ValidityCase{"texture with vector size", WithTextureDimension(Type(TYPE_TEXTURE, 1), 0), false},
        ValidityCase{"array of textures", WithTextureDimension(Type(TYPE_TEXTURE, 0, 0, 4), 2), true},
        ValidityCase{"float3x3", Type::Matrix(3), true},
        ValidityCase{"int with matrix size", WithMatrix(Type(TYPE_INT, 0), 3), false},
        ValidityCase{"buffer of float4", Type(TYPE_FLOAT, 4, 0, 0, true), true},
        ValidityCase{"buffer of void", Type(TYPE_VOID, 1, 0, 0, true), false},
        ValidityCase{"named float", Named(Type(TYPE_FLOAT, 1), "x"), false},
        ValidityCase{"const bool", Type(TYPE_BOOL, 1, QUALIFIER_CONST), true},
        ValidityCase{"const texture", WithTextureDimension(Type(TYPE_TEXTURE, 0, QUALIFIER_CONST), 0), true},
        ValidityCase{"other qualifier bits", Type(TYPE_INT, 2, 0xF0u), true}));

TEST(ShaderType, DefaultRecordIsKindNone) {
    const Type type;
    EXPECT_EQ(type.kind, TYPE_NONE);
    EXPECT_EQ(type.vectorSize, 0);
    EXPECT_EQ(type.imageDimension, IMAGE_DIMENSION_NONE);
    EXPECT_EQ(type.textureDimension, TEXTURE_DIMENSION_NONE);
    EXPECT_EQ(type.matrixSize, 0);
    EXPECT_EQ(type.arraySize, 0);
    EXPECT_TRUE(type.name.IsEmpty());
}

TEST(ShaderType, ConstructionForms) {
    const Type general(TYPE_INT, 3, QUALIFIER_CONST, 5, true);
    EXPECT_EQ(general.kind, TYPE_INT);
    EXPECT_EQ(general.vectorSize, 3);
    EXPECT_EQ(general.qualifiers, QUALIFIER_CONST);
    EXPECT_EQ(general.arraySize, 5);
    EXPECT_EQ(general.isBuffer, 1);
    EXPECT_EQ(general.imageDimension, IMAGE_DIMENSION_NONE);
    EXPECT_EQ(general.textureDimension, TEXTURE_DIMENSION_NONE);
    EXPECT_EQ(general.matrixSize, 0);
    const Type matrix = Type::Matrix(4, 0, 2);
    EXPECT_EQ(matrix.kind, TYPE_FLOAT);
    EXPECT_EQ(matrix.vectorSize, 0);
    EXPECT_EQ(matrix.matrixSize, 4);
    EXPECT_EQ(matrix.arraySize, 2);
}

TEST(ShaderType, CopiesOwnTheirNameAndEveryField) {
    Type source(TYPE_STRUCT, 0, QUALIFIER_CONST, 7);
    source.name = "AVeryLongStructNameThatLivesOnTheHeap";
    source.isConstant = 1;
    source.isIndexBuffer = 1;
    source.textureDimension = 1;
    source.imageDimension = 0;
    source.matrixSize = 2;
    Type copy(source);
    Type assigned;
    assigned = source;
    source.name = "Other";
    for (const Type* t : {&copy, &assigned}) {
        EXPECT_STREQ(t->name.CStr(), "AVeryLongStructNameThatLivesOnTheHeap");
        EXPECT_EQ(t->arraySize, 7);
        EXPECT_EQ(t->qualifiers, QUALIFIER_CONST);
        EXPECT_EQ(t->isConstant, 1);
        EXPECT_EQ(t->isIndexBuffer, 1);
        EXPECT_EQ(t->textureDimension, 1);
        EXPECT_EQ(t->imageDimension, 0);
        EXPECT_EQ(t->matrixSize, 2);
    }
}

TEST(ShaderType, EngineArraysCopyTypesThroughCopyFrom) {
    Array<Type> types;
    for (int i = 0; i < 40; ++i) {
        Type type(TYPE_STRUCT, 0);
        type.name = std::string("S" + std::to_string(i) + "_with_a_long_name").c_str();
        types.Push(type);
    }
    Array<Type> copy(types);
    types[3].name = "changed";
    ASSERT_EQ(copy.count, 40);
    EXPECT_STREQ(copy[3].name.CStr(), "S3_with_a_long_name");
    EXPECT_STREQ(copy[39].name.CStr(), "S39_with_a_long_name");
}

struct TargetCase {
    const char* name;
    TargetFlags bits;
};

class ShaderTargetNames : public ::testing::TestWithParam<TargetCase> {};

TEST_P(ShaderTargetNames, ParseExactly) {
    EXPECT_EQ(ParseTargetName(GetParam().name), GetParam().bits) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    All, ShaderTargetNames,
    ::testing::Values(TargetCase{"ESSL20", 1}, TargetCase{"ESSL30", 2}, TargetCase{"GLSL21", 4},
                      TargetCase{"GLSL31", 8}, TargetCase{"HLSL9", 16}, TargetCase{"HLSL11", 32},
                      TargetCase{"HLSL12", 64}, TargetCase{"PSSL", 128}, TargetCase{"SPIRV", 256},
                      TargetCase{"ESSL", 3}, TargetCase{"GLSL", 12}, TargetCase{"HLSL", 112},
                      TargetCase{"ALL", 511}, TargetCase{"hlsl11", 0}, TargetCase{" HLSL11", 0},
                      TargetCase{"HLSL11 ", 0}, TargetCase{"HLSL11,GLSL21", 0}, TargetCase{"HLSL1", 0},
                      TargetCase{"", 0}, TargetCase{"HLSL11_DEFAULT", 0}));

TEST(ShaderTargetNames, NullNameIsZero) {
    EXPECT_EQ(ParseTargetName(nullptr), 0u);
}

TEST(ShaderTargetNames, HlslGroupLeavesOutPssl) {
    EXPECT_EQ(ParseTargetName("HLSL") & TARGET_PSSL, 0u);
}

TEST(ShaderTargetNames, TargetAndGroupNamesRoundTrip) {
    const char* const groups[] = {"ESSL", "ESSL", "GLSL", "GLSL", "HLSL", "HLSL", "HLSL", "PSSL", "SPIRV"};
    int index = 0;
    for (TargetFlags bit = 1; bit <= TARGET_SPIRV; bit <<= 1, ++index) {
        EXPECT_EQ(ParseTargetName(GetTargetName(bit)), bit);
        EXPECT_STREQ(GetTargetGroupName(bit), groups[index]);
        EXPECT_NE(ParseTargetName(GetTargetGroupName(bit)) & bit, 0u);
    }
    EXPECT_STREQ(GetTargetName(0), "");
    EXPECT_STREQ(GetTargetName(3), "");
    EXPECT_STREQ(GetTargetGroupName(512), "");
}

struct VariantCase {
    VariantFlags bits;
    const char* name;
};

class ShaderVariantNames : public ::testing::TestWithParam<VariantCase> {};

TEST_P(ShaderVariantNames, NameOneBitOnly) {
    EXPECT_STREQ(GetVariantName(GetParam().bits), GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(All, ShaderVariantNames,
                         ::testing::Values(VariantCase{1, "HLSL11_DEFAULT"}, VariantCase{2, "HLSL11_LOW"},
                                           VariantCase{4, "HLSL11_XBOX"}, VariantCase{8, "HLSL12_DEFAULT"},
                                           VariantCase{16, "HLSL12_XBOX_ONE"},
                                           VariantCase{32, "HLSL12_XBOX_SX"}, VariantCase{64, "PSSL_GNM"},
                                           VariantCase{128, "PSSL_AGC"}, VariantCase{0, ""},
                                           VariantCase{3, ""}, VariantCase{256, ""},
                                           VariantCase{0xFFFFFFFFu, ""}));

TEST(ShaderStageNames, NumbersAndNames) {
    EXPECT_STREQ(GetStageName(STAGE_VERTEX), "vertex");
    EXPECT_STREQ(GetStageName(STAGE_PIXEL), "pixel");
    EXPECT_STREQ(GetStageName(STAGE_RCHIT), "rchit");
    EXPECT_STREQ(GetStageName(STAGE_RGEN), "rgen");
    EXPECT_STREQ(GetStageName(STAGE_RMISS), "rmiss");
    EXPECT_STREQ(GetStageName(STAGE_INVALID), "");
    EXPECT_STREQ(GetStageName(-1), "");
}

TEST(ShaderRayFlags, NineIntConstantsInOrder) {
    const char* const names[] = {"RAY_FLAGS_NONE",
                                 "RAY_FLAGS_OPAQUE",
                                 "RAY_FLAGS_NO_OPAQUE",
                                 "RAY_FLAGS_TERMINATE_ON_FIRST_HIT",
                                 "RAY_FLAGS_SKIP_CLOSEST_HIT_SHADER",
                                 "RAY_FLAGS_CULL_BACK_FACING_TRIANGLES",
                                 "RAY_FLAGS_CULL_FRONT_FACING_TRIANGLES",
                                 "RAY_FLAGS_CULL_OPAQUE",
                                 "RAY_FLAGS_CULL_NO_OPAQUE"};
    for (int i = 0; i < RAY_FLAG_CONSTANT_COUNT; ++i) {
        EXPECT_STREQ(RayFlagConstants[i].name.CStr(), names[i]);
        EXPECT_EQ(RayFlagConstants[i].value.kind, PP_VALUE_INT);
        EXPECT_EQ(RayFlagConstants[i].value.intNumber, i == 0 ? 0 : 1 << (i - 1));
        EXPECT_EQ(RayFlagConstants[i].isString, 0);
    }
}

}  // namespace
