// The Shader XML reader on documents held in memory: the info array, definitions, every
// variable array, sources and the checks across arrays, each fault with its exact message.
#include <gtest/gtest.h>

#include <string>

#include "ShaderXmlTestSupport.h"
#include "shadertool/ShaderXmlReader.h"
#include "shadertool/SyntaxTree.h"

using namespace ShaderTool;
using ShaderToolTest::DumpType;
using ShaderToolTest::ShaderXmlRead;

namespace {

const char kVertexSource[] =
    "<array id=\"sources\"><node type=\"vertex\"><![CDATA[void main() {}]]></node></array>\n";

// A document of the given version with extra info entries and arrays.
std::string Document(int version, int revision, const std::string& info, const std::string& arrays) {
    return "<?xml version=\"1.0\"?>\n<root>\n<array id=\"info\"><node id=\"version\" value=\"" +
           std::to_string(version) + "\"/><node id=\"revision\" value=\"" + std::to_string(revision) +
           "\"/>" + info + "</array>\n" + arrays + "</root>\n";
}

// A version 2.4 document with the arrays and one vertex source.
std::string WithArrays(const std::string& arrays) {
    return Document(2, 4, "", arrays + kVertexSource);
}

std::string Error(const std::string& message) {
    return "Error: " + message + "\n";
}

struct FaultCase {
    const char* name;
    std::string xml;
    std::string messages;
};

std::vector<FaultCase> FaultCases() {
    return {
        {"VersionTwoRevisionOne", Document(2, 1, "", kVertexSource), Error("file is of invalid version.")},
        {"VersionMissing",
         "<?xml version=\"1.0\"?><root><array id=\"info\"><node id=\"tags\" value=\"x\"/></array></root>",
         Error("file is of invalid version.")},
        {"TildeOnlyOnSingleItem",
         Document(2, 4, "<node id=\"target\" value=\"HLSL9,~GLSL21\"/>", kVertexSource),
         Error("info array has invalid target(s).")},
        {"UnknownTarget", Document(2, 4, "<node id=\"target\" value=\"HLSL11, GLSL21\"/>", kVertexSource),
         Error("info array has invalid target(s).")},
        {"FeatureLevelFour", Document(2, 4, "<node id=\"feature_level\" value=\"4\"/>", kVertexSource),
         Error("info array has invalid feature level.")},
        {"DefinitionWithoutId", WithArrays("<array id=\"definitions\"><node value=\"1\"/></array>"),
         Error("definition / general constant does not have 'id' attribute.")},
        {"DefinitionWithoutIdOrValue", WithArrays("<array id=\"definitions\"><node other=\"1\"/></array>"),
         Error("definition / general constant does not have 'id' attribute.") +
             Error("definition / general constant '?' does not have 'value' attribute.")},
        {"DefinitionUnderscore",
         WithArrays("<array id=\"definitions\"><node id=\"_A\" value=\"1\"/></array>"),
         Error("definition / general constant id starts with an underscore.")},
        {"DefinitionWithoutValue", WithArrays("<array id=\"definitions\"><node id=\"A\"/></array>"),
         Error("definition / general constant 'A' does not have 'value' attribute.")},
        {"DefinitionFileMissing",
         WithArrays("<array id=\"definitions\"><node file=\"nowhere/defs.xml\"/></array>"),
         Error("definition / general constant file path 'nowhere/defs.xml' does not exist.")},
        {"ConstantWithoutId", WithArrays("<array id=\"vertex_constants\"><node type=\"FLOAT4\"/></array>"),
         Error("constant variable (vertex_constants) does not have 'id' attribute.")},
        {"ConstantUnderscore",
         WithArrays("<array id=\"pixel_constants\"><node id=\"_c\" type=\"FLOAT4\"/></array>"),
         Error("constant variable (pixel_constants) id starts with an underscore.")},
        {"ConstantCountZero",
         WithArrays("<array id=\"constants\"><node id=\"c\" type=\"FLOAT4\" count=\"0\"/></array>"),
         Error("constant variable (constants) 'c' has invalid count.")},
        {"ConstantCountUnknownName",
         WithArrays("<array id=\"constants\"><node id=\"c\" type=\"FLOAT4\" count=\"N\"/></array>"),
         Error("constant variable (constants) 'c' has invalid count.")},
        {"ConstantCountFloatDefinition",
         WithArrays("<array id=\"definitions\"><node id=\"N\" value=\"4.0\"/></array>"
                    "<array id=\"constants\"><node id=\"c\" type=\"FLOAT4\" count=\"N\"/></array>"),
         Error("constant variable (constants) 'c' has invalid count.")},
        {"ConstantCountHuge",
         WithArrays("<array id=\"constants\"><node id=\"c\" type=\"FLOAT4\" count=\"99999999999\"/></array>"),
         Error("constant variable (constants) 'c' has invalid count.")},
        {"ConstantTypeFloat3", WithArrays("<array id=\"constants\"><node id=\"c\" type=\"FLOAT3\"/></array>"),
         Error("constant variable (constants) 'c' has invalid type.")},
        {"ConstantTypeBool", WithArrays("<array id=\"constants\"><node id=\"c\" type=\"BOOL\"/></array>"),
         Error("constant variable (constants) 'c' has invalid type.")},
        {"ConstantTypeMissing", WithArrays("<array id=\"constants\"><node id=\"c\"/></array>"),
         Error("constant variable (constants) 'c' has invalid type.")},
        {"ConstantSemantic",
         WithArrays(
             "<array id=\"constants\"><node id=\"c\" type=\"FLOAT4\" semantic=\"PROJECTION\"/></array>"),
         Error("constant variable (constants) 'c' has invalid semantic.")},
        {"ConstantDuplicate",
         WithArrays("<array id=\"constants\"><node id=\"c\" type=\"FLOAT4\"/><node id=\"c\" "
                    "type=\"INT4\"/></array>"),
         Error("shader constant with name 'c' already exists.")},
        {"VertexInputFormat",
         WithArrays("<array id=\"vertex_input\"><node id=\"p\" semantic=\"POSITION\"/>"
                    "<node id=\"c\" semantic=\"COLOR\"/></array>"),
         Error("vertex input format is invalid.")},
        {"VertexInputEmpty", WithArrays("<array id=\"vertex_input\"></array>"),
         Error("vertex input format is invalid.")},
        {"VertexInputSemantic",
         WithArrays("<array id=\"vertex_input\"><node id=\"p\" semantic=\"POSITION\"/>"
                    "<node id=\"x\" semantic=\"BINORMAL\"/></array>"),
         Error("vertex input variable 'x' has invalid semantic.")},
        {"VertexInputWithoutId",
         WithArrays("<array id=\"vertex_input\"><node semantic=\"POSITION\"/></array>"),
         Error("vertex input variable does not have 'id' attribute.")},
        {"VertexInputDuplicate",
         WithArrays("<array id=\"vertex_input\"><node id=\"p\" semantic=\"POSITION\"/>"
                    "<node id=\"p\" semantic=\"COLOR\"/>"
                    "<node id=\"t\" semantic=\"TEXTURE_COORDINATE_0\"/></array>"),
         Error("vertex input with name 'p' already exists.")},
        {"VertexInputTooMany",
         WithArrays(
             "<array id=\"vertex_input\">" + std::string(10 * 1, ' ') +
             "<node id=\"a\"/><node id=\"b\"/><node id=\"c\"/><node id=\"d\"/><node id=\"e\"/>"
             "<node id=\"f\"/><node id=\"g\"/><node id=\"h\"/><node id=\"i\"/><node id=\"j\"/></array>"),
         Error("too many vertex input variables, the maximum is 9.")},
        {"VertexOutputType",
         WithArrays("<array id=\"vertex_output\"><node id=\"o\" type=\"FLOAT5\"/></array>"),
         Error("vertex output variable 'o' has invalid type.")},
        {"VertexOutputTwoPositions",
         WithArrays("<array id=\"vertex_output\"><node id=\"a\" type=\"FLOAT4\" semantic=\"POSITION\"/>"
                    "<node id=\"b\" type=\"FLOAT4\" semantic=\"POSITION\"/></array>"),
         Error("multiple vertex output variables with semantic 'POSITION' exist.")},
        {"VertexOutputDuplicate",
         WithArrays("<array id=\"vertex_output\"><node id=\"a\" type=\"FLOAT4\"/>"
                    "<node id=\"a\" type=\"FLOAT2\"/></array>"),
         Error("vertex output with name 'a' already exists.")},
        {"TextureAddressModeStopsReading",
         WithArrays(
             "<array id=\"pixel_textures\"><node id=\"t\" type=\"2D\" address_u=\"WRAP\" address_v=\"REPEAT\""
             " filter_mag=\"BILINEAR\"/></array>"),
         Error("pixel texture variable 't' has invalid address mode.")},
        {"TextureFilterMode",
         WithArrays("<array id=\"pixel_textures\"><node id=\"t\" type=\"2D\" filter_min=\"CUBIC\"/></array>"),
         Error("pixel texture variable 't' has invalid filter mode.")},
        {"TextureNegativeSlot",
         WithArrays("<array id=\"pixel_textures\"><node id=\"t\" type=\"2D\" slot=\"-1\"/></array>"),
         Error("pixel texture variable 't' has invalid slot.")},
        {"TextureType", WithArrays("<array id=\"pixel_textures\"><node id=\"t\" type=\"1D\"/></array>"),
         Error("pixel texture variable 't' has invalid type.")},
        {"TextureTypeMissing", WithArrays("<array id=\"pixel_textures\"><node id=\"t\"/></array>"),
         Error("pixel texture variable 't' has invalid type.")},
        {"TextureSourceWithoutGraphics",
         WithArrays("<array id=\"pixel_textures\"><node id=\"t\" type=\"2D\" source=\"wood.png\"/></array>"),
         Error("pixel texture variable 't' has invalid source.")},
        {"TextureSlotUsedTwice",
         WithArrays("<array id=\"pixel_textures\"><node id=\"a\" type=\"2D\" slot=\"0\"/>"
                    "<node id=\"b\" type=\"CUBE\" slot=\"0\"/></array>"),
         Error("pixel texture 'b' has already used slot.")},
        {"TextureDuplicate",
         WithArrays("<array id=\"pixel_textures\"><node id=\"a\" type=\"2D\"/>"
                    "<node id=\"a\" type=\"3D\"/></array>"),
         Error("pixel texture with name 'a' already exists.")},
        {"TexturesTooMany",
         WithArrays("<array id=\"pixel_textures\"><node id=\"a\"/><node id=\"b\"/><node id=\"c\"/>"
                    "<node id=\"d\"/><node id=\"e\"/><node id=\"f\"/><node id=\"g\"/>"
                    "<node id=\"h\"/><node id=\"i\"/></array>"),
         Error("too many pixel texture variables, the maximum is 8.")},
        {"PixelOutputUnderscore", WithArrays("<array id=\"pixel_output\"><node id=\"_o\"/></array>"),
         Error("pixel output variable id starts with an underscore.")},
        {"PixelOutputDuplicate",
         WithArrays("<array id=\"pixel_output\"><node id=\"o\"/><node id=\"o\"/></array>"),
         Error("pixel output with name 'o' already exists.")},
        {"BufferWithoutSlot", WithArrays("<array id=\"buffers\"><node id=\"b\" type=\"FLOAT4\"/></array>"),
         Error("buffer variable 'b' has invalid slot.")},
        {"BufferSlotNotANumber",
         WithArrays("<array id=\"buffers\"><node id=\"b\" type=\"FLOAT4\" slot=\"one\"/></array>"),
         Error("buffer variable 'b' has invalid slot.")},
        {"BufferType", WithArrays("<array id=\"buffers\"><node id=\"b\" type=\"UINT5\" slot=\"0\"/></array>"),
         Error("buffer variable 'b' has invalid type.")},
        {"BufferSlotUsedTwice",
         WithArrays("<array id=\"buffers\"><node id=\"a\" type=\"INDEX\" slot=\"1\"/>"
                    "<node id=\"b\" type=\"UINT\" slot=\"1\"/></array>"),
         Error("buffer 'b' has already used slot.")},
        {"BufferDuplicate",
         WithArrays("<array id=\"buffers\"><node id=\"a\" type=\"INDEX\" slot=\"1\"/>"
                    "<node id=\"a\" type=\"UINT\" slot=\"2\"/></array>"),
         Error("buffer with name 'a' already exists.")},
        {"ImageType", WithArrays("<array id=\"images\"><node id=\"i\" type=\"3D\"/></array>"),
         Error("image variable 'i' has invalid type.")},
        {"ImageDuplicate",
         WithArrays("<array id=\"images\"><node id=\"i\" type=\"2D\"/><node id=\"i\" type=\"2D\"/></array>"),
         Error("image with name 'i' already exists.")},
        {"RayPayloadSlot", WithArrays("<array id=\"ray_payloads\"><node id=\"p\" type=\"FLOAT4\"/></array>"),
         Error("ray payload variable 'p' has invalid slot.")},
        {"RayPayloadType",
         WithArrays("<array id=\"ray_payloads\"><node id=\"p\" type=\"INDEX\" slot=\"0\"/></array>"),
         Error("ray payload variable 'p' has invalid type.")},
        {"RayPayloadTwoInputs",
         WithArrays("<array id=\"ray_payloads\"><node id=\"p\" type=\"FLOAT4\" slot=\"0\" input=\"1\"/>"
                    "<node id=\"q\" type=\"UINT\" slot=\"1\" input=\"TRUE\"/></array>"),
         Error("only one input ray payload variable may be defined.")},
        {"RayPayloadSlotUsedTwice",
         WithArrays("<array id=\"ray_payloads\"><node id=\"p\" type=\"FLOAT4\" slot=\"3\"/>"
                    "<node id=\"q\" type=\"UINT\" slot=\"3\"/></array>"),
         Error("ray payload 'q' has already used slot.")},
        {"SourcesMissing", Document(2, 4, "", ""), Error("required array 'sources' does not exist.")},
        {"SourceType",
         Document(2, 4, "", "<array id=\"sources\"><node type=\"geometry\"><![CDATA[x]]></node></array>"),
         Error("shader source 1 has invalid type.")},
        {"SourceRayStageWithoutGroup",
         Document(2, 4, "", "<array id=\"sources\"><node type=\"rgen\"><![CDATA[x]]></node></array>"),
         Error("'ray_tracing_group' must be set in 'info' array for ray tracing shaders, and must not be set "
               "for non "
               "ray tracing shaders.")},
        {"SourceVertexWithGroup",
         Document(2, 4, "<node id=\"ray_tracing_group\" value=\"0\"/>", kVertexSource),
         Error("'ray_tracing_group' must be set in 'info' array for ray tracing shaders, and must not be set "
               "for non "
               "ray tracing shaders.")},
        {"SourceTarget",
         Document(
             2, 4, "",
             "<array id=\"sources\"><node type=\"vertex\" target=\"HLSL13\"><![CDATA[x]]></node></array>"),
         Error("shader source 1 has invalid target(s).")},
        {"SourceTargetTooLong",
         Document(2, 4, "",
                  "<array id=\"sources\"><node type=\"vertex\" target=\"~HLSL11HLSL11HLSL\"><![CDATA[x]]>"
                  "</node></array>"),
         Error("shader source 1 has invalid target(s).")},
        {"SourceWithoutCode", Document(2, 4, "", "<array id=\"sources\"><node type=\"pixel\"/></array>"),
         Error("shader source 1 does not define source code.")},
        {"SourceWithFileAndText",
         Document(2, 4, "",
                  "<array id=\"sources\"><node type=\"pixel\" file=\"a.pixel\"><![CDATA[x]]></node></array>"),
         Error("shader source 1 defines both file and CDATA.")},
        {"SourceFileWithoutFileSystem",
         Document(2, 4, "", "<array id=\"sources\"><node type=\"pixel\" file=\"a.pixel\"/></array>"),
         Error("failed to open or read shader source file 'a.pixel'.")},
        {"TwoSourcesForAllTargets",
         Document(2, 4, "",
                  "<array id=\"sources\"><node type=\"vertex\"><![CDATA[x]]></node>"
                  "<node type=\"vertex\" target=\"ALL\"><![CDATA[y]]></node></array>"),
         Error("multiple vertex shader sources target all targets.")},
        {"SpecificBeforeGeneral",
         Document(2, 4, "",
                  "<array id=\"sources\"><node type=\"pixel\" target=\"HLSL11\"><![CDATA[x]]></node>"
                  "<node type=\"pixel\"><![CDATA[y]]></node></array>"),
         Error("multiple pixel shader sources target the same target.")},
        {"RayStageStandsAlone",
         Document(
             2, 4, "<node id=\"ray_tracing_group\" value=\"1\"/>",
             "<array id=\"ray_payloads\"><node id=\"p\" type=\"FLOAT4\" slot=\"0\" input=\"true\"/></array>"
             "<array id=\"sources\"><node type=\"rgen\" target=\"HLSL12\"><![CDATA[x]]></node>"
             "<node type=\"rmiss\" target=\"SPIRV\"><![CDATA[y]]></node></array>"),
         Error("incompatible shader types 'rgen' and 'rmiss' in the same Shader XML.")},
        {"ArrayTextureWithPixelSource",
         Document(2, 4, "",
                  "<array id=\"pixel_textures\"><node id=\"t\" type=\"2D[]\"/></array>"
                  "<array id=\"sources\"><node type=\"pixel\"><![CDATA[x]]></node></array>"),
         Error("the type of pixel texture variable 't' is array, which is not supported with pixel shaders")},
        {"TextureWithoutSlotForRayTracing",
         Document(2, 4, "<node id=\"ray_tracing_group\" value=\"1\"/>",
                  "<array id=\"pixel_textures\"><node id=\"t\" type=\"2D\"/></array>"
                  "<array id=\"sources\"><node type=\"rgen\"><![CDATA[x]]></node></array>"),
         Error(
             "pixel texture variable 't' does not have slot specified (required for ray tracing shaders).")},
        {"ConstantsWithHitShader",
         Document(2, 4, "<node id=\"ray_tracing_group\" value=\"1\"/>",
                  "<array id=\"constants\"><node id=\"c\" type=\"FLOAT4\"/></array>"
                  "<array id=\"ray_payloads\"><node id=\"p\" type=\"FLOAT4\" slot=\"0\" input=\"1\"/></array>"
                  "<array id=\"sources\"><node type=\"rchit\"><![CDATA[x]]></node></array>"),
         Error("constants are not allowed in 'rchit' and 'rmiss' shaders.")},
        {"EveryFaultOfAnArray",
         WithArrays("<array id=\"images\"><node type=\"2D\"/><node id=\"b\" type=\"CUBE\"/><node id=\"_c\" "
                    "type=\"2D\"/>"
                    "</array>"),
         Error("image variable does not have 'id' attribute.") +
             Error("image variable 'b' has invalid type.") +
             Error("image variable id starts with an underscore.")},
    };
}

class ShaderXmlFault : public ::testing::TestWithParam<FaultCase> {};

TEST_P(ShaderXmlFault, ReportsExactMessages) {
    ShaderXmlRead read;
    EXPECT_FALSE(read.FromText(GetParam().xml));
    EXPECT_EQ(read.Messages(), GetParam().messages);
    EXPECT_TRUE(read.log.hasErrors);
}

INSTANTIATE_TEST_SUITE_P(Documents, ShaderXmlFault, ::testing::ValuesIn(FaultCases()),
                         [](const ::testing::TestParamInfo<FaultCase>& info) {
                             return std::string(info.param.name);
                         });

// ---- Valid documents, field by field -----------------------------------------------------------

TEST(ShaderXmlInfo, NoInfoArrayReadsAsVersionZero) {
    ShaderXmlRead read;
    read.description.version = 0x20004;
    EXPECT_TRUE(read.FromText("<?xml version=\"1.0\"?><root><array id=\"sources\"></array></root>"));
    EXPECT_EQ(read.description.version, 0u);
    EXPECT_EQ(read.description.sources.count, 0);
    EXPECT_EQ(read.Messages(), "");
}

TEST(ShaderXmlInfo, VersionTagsTargetsAndGroup) {
    ShaderXmlRead read;
    ASSERT_TRUE(read.FromText(
        Document(3, 1, "<node id=\"tags\" value=\"lit,skinned\"/><node id=\"target\" value=\"~HLSL9\"/>",
                 kVertexSource)));
    EXPECT_EQ(read.description.version, 0x30001u);
    EXPECT_STREQ(read.description.tags.CStr(), "lit,skinned");
    EXPECT_EQ(read.description.targets, TARGET_ALL ^ TARGET_HLSL9);
    EXPECT_EQ(read.description.rayTracingGroup, -1);
    EXPECT_EQ(read.Messages(), "");
}

struct FeatureLevelCase {
    const char* entry;
    TargetFlags targets;
};

TEST(ShaderXmlInfo, FeatureLevels) {
    const FeatureLevelCase cases[] = {
        {"", TARGET_ALL},
        {"<node id=\"feature_level\"/>", TARGET_ALL},
        {"<node id=\"feature_level\" value=\"1\"/>", TARGET_ALL},
        {"<node id=\"feature_level\" value=\"2\"/>", 506},
        {"<node id=\"feature_level\" value=\"3\"/>", TARGET_HLSL12 | TARGET_SPIRV},
        {"<node id=\"feature_level\" value=\"3\"/><node id=\"target\" value=\"GLSL\"/>", TARGET_GLSL},
    };
    for (const FeatureLevelCase& c : cases) {
        ShaderXmlRead read;
        ASSERT_TRUE(read.FromText(Document(2, 2, c.entry, kVertexSource))) << c.entry << read.Messages();
        EXPECT_EQ(read.description.targets, c.targets) << c.entry;
    }
}

TEST(ShaderXmlDefinitions, LiteralKindsAndReplacement) {
    ShaderXmlRead read;
    ASSERT_TRUE(
        read.FromText(WithArrays("<array id=\"definitions\"><node id=\"COUNT\" value=\"4\"/>"
                                 "<node id=\"SCALE\" value=\"0.5\"/><node id=\"ON\" value=\"true\"/>"
                                 "<node id=\"EXPR\" value=\"a + b\"/><node id=\"COUNT\" value=\"x\"/>"
                                 "</array>")))
        << read.Messages();
    const Array<ShaderDefinition>& d = read.description.definitions;
    ASSERT_EQ(d.count, 4);
    EXPECT_STREQ(d[0].name.CStr(), "COUNT");
    EXPECT_STREQ(d[0].value.CStr(), "x");  // replaced, kind kept
    EXPECT_EQ(d[0].literalKind, TYPE_INT);
    EXPECT_EQ(d[1].literalKind, TYPE_FLOAT);
    EXPECT_EQ(d[2].literalKind, TYPE_BOOL);
    EXPECT_STREQ(d[3].value.CStr(), "a + b");
    EXPECT_EQ(d[3].literalKind, TYPE_STRUCT);
}

TEST(ShaderXmlDefinitions, BelowVersionTwoFourTheyAreTheConstantsArray) {
    ShaderXmlRead read;
    ASSERT_TRUE(read.FromText(Document(2, 3, "",
                                       "<array id=\"constants\"><node id=\"A\" value=\"1\"/></array>"
                                       "<array id=\"definitions\"><node id=\"B\" value=\"2\"/></array>" +
                                           std::string(kVertexSource))))
        << read.Messages();
    ASSERT_EQ(read.description.definitions.count, 1);
    EXPECT_STREQ(read.description.definitions[0].name.CStr(), "A");
    EXPECT_EQ(read.description.constants.count, 0);
}

TEST(ShaderXmlConstants, CountFromIntegerDefinitionTypesSemanticsAndSizes) {
    ShaderXmlRead read;
    ASSERT_TRUE(read.FromText(
        WithArrays("<array id=\"definitions\"><node id=\"BONES\" value=\"4\"/></array>"
                   "<array id=\"vertex_constants\"><node id=\"bones\" type=\"FLOAT4\" count=\"BONES\"/>"
                   "<node id=\"world\" type=\"FLOAT4X4\" semantic=\"WORLD_TRANSFORM\"/>"
                   "<node id=\"wvp\" type=\"FLOAT3X3\" count=\"2\" "
                   "semantic=\"WORLD_VIEW_PROJECTION_TRANSFORM\"/></array>"
                   "<array id=\"pixel_constants\"><node id=\"levels\" type=\"INT4\" "
                   "semantic=\"VIEW_PROJECTION_TRANSFORM\"/>"
                   "</array><array id=\"constants\"><node id=\"time\" type=\"FLOAT4\" "
                   "semantic=\"VIEW_TRANSFORM\"/></array>")))
        << read.Messages();
    const ShaderDescription& d = read.description;
    ASSERT_EQ(d.vertexConstants.count, 3);
    EXPECT_EQ(DumpType(d.vertexConstants[0].type), DumpType(Type(TYPE_FLOAT, 4, QUALIFIER_CONST, 4)));
    EXPECT_EQ(d.vertexConstants[0].size, 64);
    EXPECT_EQ(d.vertexConstants[0].semantic, 1);
    EXPECT_EQ(DumpType(d.vertexConstants[1].type), DumpType(Type::Matrix(4, QUALIFIER_CONST)));
    EXPECT_EQ(d.vertexConstants[1].size, 64);
    EXPECT_EQ(d.vertexConstants[1].semantic, 2);
    EXPECT_EQ(DumpType(d.vertexConstants[2].type), DumpType(Type::Matrix(3, QUALIFIER_CONST, 2)));
    EXPECT_EQ(d.vertexConstants[2].size, 128);
    EXPECT_EQ(d.vertexConstants[2].semantic, 4);
    ASSERT_EQ(d.pixelConstants.count, 1);
    EXPECT_EQ(d.pixelConstants[0].semantic, 6);
    EXPECT_EQ(DumpType(d.pixelConstants[0].type), DumpType(Type(TYPE_INT, 4, QUALIFIER_CONST)));
    ASSERT_EQ(d.constants.count, 1);
    EXPECT_EQ(d.constants[0].semantic, 5);
    EXPECT_EQ(d.constants[0].size, 16);
    EXPECT_EQ(d.constantsSlot, -1);
    EXPECT_EQ(d.vertexConstantsSize, 0);
}

TEST(ShaderXmlConstants, BelowVersionTwoFourGeneralConstantsAreNotRead) {
    ShaderXmlRead read;
    ASSERT_TRUE(read.FromText(Document(
        2, 2, "",
        "<array id=\"constants\"><node id=\"A\" value=\"1\"/></array>" + std::string(kVertexSource))));
    EXPECT_EQ(read.description.constants.count, 0);
}

TEST(ShaderXmlVertexInput, SemanticsGiveBitsAndTypes) {
    ShaderXmlRead read;
    ASSERT_TRUE(
        read.FromText(WithArrays("<array id=\"vertex_input\"><node id=\"p\" semantic=\"POSITION\"/><node "
                                 "id=\"w\" semantic=\"4_BONE_WEIGHTS\"/>"
                                 "<node id=\"i\" semantic=\"4_BONE_INDICES\"/></array>")))
        << read.Messages();
    const Array<ShaderVariable>& inputs = read.description.vertexInputs;
    ASSERT_EQ(inputs.count, 3);
    EXPECT_EQ(inputs[0].semantic, 1);
    EXPECT_EQ(inputs[1].semantic, 256);
    EXPECT_EQ(inputs[2].semantic, 128);
    EXPECT_EQ(DumpType(inputs[0].type), DumpType(Type(TYPE_FLOAT, 4)));
    EXPECT_EQ(DumpType(inputs[2].type), DumpType(Type(TYPE_INT, 4)));
}

TEST(ShaderXmlVertexInput, EveryAcceptedFormat) {
    const char* const semantics[] = {
        "POSITION", "COLOR",     "TEXTURE_COORDINATE_0", "NORMAL",        "TEXTURE_COORDINATE_1",
        "TANGENT",  "BITANGENT", "4_BONE_INDICES",       "4_BONE_WEIGHTS"};
    for (int format : {1, 7, 15, 47, 111, 385, 399, 495, 3, 5, 511}) {
        std::string nodes;
        for (int bit = 0; bit < 9; ++bit) {
            if (format & (1 << bit)) {
                nodes += "<node id=\"v" + std::to_string(bit) + "\" semantic=\"" + semantics[bit] + "\"/>";
            }
        }
        ShaderXmlRead read;
        const bool accepted = format != 3 && format != 5 && format != 511;
        EXPECT_EQ(read.FromText(WithArrays("<array id=\"vertex_input\">" + nodes + "</array>")), accepted)
            << format;
        EXPECT_EQ(read.Messages(), accepted ? "" : Error("vertex input format is invalid.")) << format;
    }
}

TEST(ShaderXmlVertexOutput, SemanticsAndIndices) {
    ShaderXmlRead read;
    ASSERT_TRUE(read.FromText(WithArrays(
        "<array id=\"vertex_output\"><node id=\"uv\" type=\"FLOAT2\"/><node id=\"pos\" type=\"FLOAT4\" "
        "semantic=\"POSITION\"/><node id=\"c\" type=\"FLOAT4\" semantic=\"COLOR\"/><node id=\"n\" "
        "type=\"FLOAT3\" "
        "semantic=\"NORMAL\"/><node id=\"k\" type=\"INT\"/></array>")))
        << read.Messages();
    const Array<StageVariable>& outputs = read.description.vertexOutputs;
    ASSERT_EQ(outputs.count, 5);
    const int expected[5][2] = {{2, 0}, {1, 0}, {0, 0}, {2, 1}, {2, 2}};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(outputs[i].semantic, expected[i][0]) << i;
        EXPECT_EQ(outputs[i].semanticIndex, expected[i][1]) << i;
    }
    EXPECT_EQ(DumpType(outputs[3].type), DumpType(Type(TYPE_FLOAT, 3)));
    EXPECT_EQ(DumpType(outputs[4].type), DumpType(Type(TYPE_INT, 1)));
}

TEST(ShaderXmlPixelTextures, SlotsTypesModes) {
    ShaderXmlRead read;
    ASSERT_TRUE(read.FromText(Document(
        2, 4, "",
        "<array id=\"pixel_textures\"><node id=\"a\" type=\"2D\"/><node id=\"b\" type=\"CUBE\" slot=\"3\" "
        "address_u=\"CLAMP\" address_v=\"WRAP\" address_w=\"MIRROR\" filter_mag=\"POINT\" "
        "filter_min=\"LINEAR\" "
        "filter_mip=\"ANISOTROPIC\"/><node id=\"c\" type=\"3D\" slot=\"0\"/></array>"
        "<array id=\"sources\"><node type=\"vertex\"><![CDATA[x]]></node><node type=\"pixel\"><![CDATA[y]]>"
        "</node></array>")))
        << read.Messages();
    const Array<TextureVariable>& t = read.description.pixelTextures;
    ASSERT_EQ(t.count, 3);
    EXPECT_EQ(t[0].slot, -1);
    EXPECT_EQ(t[0].source, nullptr);
    EXPECT_EQ(DumpType(t[0].type), DumpType(Type::Texture(TEXTURE_DIMENSION_2D)));
    EXPECT_EQ(
        t[0].addressU + t[0].addressV + t[0].addressW + t[0].filterMag + t[0].filterMin + t[0].filterMip, 0);
    EXPECT_EQ(t[1].slot, 3);
    EXPECT_EQ(t[1].type.textureDimension, TEXTURE_DIMENSION_CUBE);
    EXPECT_EQ(t[1].type.arraySize, 0);
    EXPECT_EQ(t[1].addressU, 1);
    EXPECT_EQ(t[1].addressV, 2);
    EXPECT_EQ(t[1].addressW, 3);
    EXPECT_EQ(t[1].filterMag, 1);
    EXPECT_EQ(t[1].filterMin, 2);
    EXPECT_EQ(t[1].filterMip, 3);
    EXPECT_EQ(t[2].type.textureDimension, TEXTURE_DIMENSION_3D);
    EXPECT_EQ(t[2].slot, 0);
}

TEST(ShaderXmlArrays, PixelOutputsBuffersImagesPayloads) {
    ShaderXmlRead read;
    ASSERT_TRUE(read.FromText(
        Document(2, 4, "<node id=\"ray_tracing_group\" value=\"7\"/>",
                 "<array id=\"pixel_output\"><node id=\"color\"/><node id=\"normal\"/></array>"
                 "<array id=\"pixel_textures\"><node id=\"t\" type=\"3D[]\" slot=\"2\"/></array>"
                 "<array id=\"buffers\"><node id=\"i\" type=\"INDEX\" slot=\"0\"/><node id=\"m\" "
                 "type=\"INDEX[]\" slot=\"1\"/>"
                 "<node id=\"u\" type=\"UINT2\" slot=\"2\"/><node id=\"f\" type=\"FLOAT4[]\" slot=\"3\"/>"
                 "<node id=\"img\" type=\"IMAGE2D\" slot=\"4\"/></array>"
                 "<array id=\"images\"><node id=\"out\" type=\"2D\"/></array>"
                 "<array id=\"ray_payloads\"><node id=\"p\" type=\"FLOAT4\" slot=\"0\" input=\"true\"/>"
                 "<node id=\"q\" type=\"UINT3\" slot=\"1\" input=\"yes\"/></array>"
                 "<array id=\"sources\"><node type=\"rgen\" target=\"HLSL12,SPIRV\"><![CDATA[void main() "
                 "{}]]></node></array>")))
        << read.Messages();
    const ShaderDescription& d = read.description;
    EXPECT_EQ(d.rayTracingGroup, 7);
    ASSERT_EQ(d.pixelTextures.count, 1);
    Type textures = Type::Texture(TEXTURE_DIMENSION_3D);
    textures.arraySize = ARRAY_SIZE_UNSIZED;
    EXPECT_EQ(DumpType(d.pixelTextures[0].type), DumpType(textures));
    ASSERT_EQ(d.pixelOutputs.count, 2);
    EXPECT_STREQ(d.pixelOutputs[1].CStr(), "normal");
    ASSERT_EQ(d.buffers.count, 5);
    Type index(TYPE_UINT, 3, 0, 0, true);
    index.isIndexBuffer = 1;
    EXPECT_EQ(DumpType(d.buffers[0].type), DumpType(index));
    index.arraySize = ARRAY_SIZE_UNSIZED;
    EXPECT_EQ(DumpType(d.buffers[1].type), DumpType(index));
    EXPECT_EQ(d.buffers[1].slot, 1);
    EXPECT_EQ(DumpType(d.buffers[2].type), DumpType(Type(TYPE_UINT, 2, 0, 0, true)));
    EXPECT_EQ(DumpType(d.buffers[3].type), DumpType(Type(TYPE_FLOAT, 4, 0, ARRAY_SIZE_UNSIZED, true)));
    EXPECT_EQ(DumpType(d.buffers[4].type), DumpType(Type(TYPE_FLOAT, 0)));
    ASSERT_EQ(d.images.count, 1);
    EXPECT_EQ(DumpType(d.images[0].type), DumpType(Type::Image2D()));
    ASSERT_EQ(d.rayPayloads.count, 2);
    EXPECT_EQ(d.rayPayloads[0].inputFlag, 1);
    EXPECT_EQ(d.rayPayloads[1].inputFlag, 0);
    EXPECT_EQ(d.rayPayloads[1].slot, 1);
    EXPECT_EQ(DumpType(d.rayPayloads[1].type), DumpType(Type(TYPE_UINT, 3)));
    EXPECT_EQ(d.stages, 1u << STAGE_RGEN);
    EXPECT_EQ(d.sources[0].targets, TARGET_HLSL12 | TARGET_SPIRV);
}

TEST(ShaderXmlArrays, NothingIsStoredAfterTheFirstFaultyNode) {
    ShaderXmlRead read;
    EXPECT_FALSE(read.FromText(
        WithArrays("<array id=\"pixel_output\"><node id=\"a\"/><node name=\"b\"/><node id=\"c\"/></array>")));
    EXPECT_EQ(read.Messages(), Error("pixel output variable does not have 'id' attribute."));
    ASSERT_EQ(read.description.pixelOutputs.count, 1);
    EXPECT_STREQ(read.description.pixelOutputs[0].CStr(), "a");
}

// Whether or not the sources were read before (as the shader manager does), the fault is
// reported once.
TEST(ShaderXmlRayPayloads, HitShaderNeedsAnInputPayload) {
    for (const bool sourcesReadBefore : {true, false}) {
        ShaderXmlRead read;
        read.description.stages = sourcesReadBefore ? 1u << STAGE_RCHIT : 0u;
        EXPECT_FALSE(read.FromText(
            Document(2, 4, "<node id=\"ray_tracing_group\" value=\"0\"/>",
                     "<array id=\"ray_payloads\"><node id=\"p\" type=\"FLOAT4\" slot=\"0\"/></array>"
                     "<array id=\"sources\"><node type=\"rchit\"><![CDATA[x]]></node></array>")));
        EXPECT_EQ(read.Messages(),
                  Error("an input ray payload variable must be defined for 'rchit' and 'rmiss' shaders."))
            << sourcesReadBefore;
    }
}

// ---- Sources ------------------------------------------------------------------------------------

TEST(ShaderXmlSources, InlineTextStartsAfterLeadingLineBreaks) {
    const std::string xml =
        "<?xml version=\"1.0\"?>\r\n"
        "<root>\r\n"
        "<array id=\"info\"><node id=\"version\" value=\"2\"/><node id=\"revision\" value=\"4\"/></array>\r\n"
        "<!-- <array id=\"sources\"><node><![CDATA[ ]]></node></array> -->\r\n"
        "<array id = \"sources\">\r\n"
        "  <node type=\"vertex\" target=\"HLSL11\"><![CDATA[\r\n"
        "\r\n"
        "  void main() {}\r\n"
        "]]></node>\r\n"
        "  <!-- <node type=\"pixel\"><![CDATA[x]]></node> -->\r\n"
        "  <node type=\"vertex\" target=\"~HLSL11\" file=\"never read in list mode\"/>\r\n"
        "  <node type=\"pixel\">\r\n"
        "<![CDATA[void main() {}]]></node>\r\n"
        "</array>\r\n"
        "</root>\r\n";
    ShaderXmlRead read;
    ASSERT_FALSE(read.FromText(xml));
    EXPECT_EQ(read.Messages(), Error("failed to open or read shader source file 'never read in list mode'."));
    ASSERT_EQ(read.description.sources.count, 1);
    const ShaderSource& first = read.description.sources[0];
    EXPECT_STREQ(first.text.CStr(), "  void main() {}\r\n");
    EXPECT_EQ(first.firstLine, 8);
    EXPECT_EQ(first.stage, STAGE_VERTEX);
    EXPECT_EQ(first.targets, TARGET_HLSL11);
    EXPECT_EQ(read.description.stages, (1u << STAGE_VERTEX) | (1u << STAGE_PIXEL));

    Array<int32_t> lines;
    FindSourceLineNumbers(xml.c_str(), &lines);
    ASSERT_EQ(lines.count, 3);
    EXPECT_EQ(lines[0], 6);
    EXPECT_EQ(lines[1], 1);
    EXPECT_EQ(lines[2], 13);

    ShaderXmlRead list;
    ASSERT_TRUE(list.FromText(xml, true)) << list.Messages();
    ASSERT_EQ(list.description.sources.count, 3);
    EXPECT_EQ(list.description.sources[1].targets, TARGET_ALL ^ TARGET_HLSL11);
    EXPECT_STREQ(list.description.sources[2].text.CStr(), "");
}

TEST(ShaderXmlSources, AcceptedOverlaps) {
    ShaderXmlRead read;
    ASSERT_TRUE(read.FromText(Document(
        2, 4, "",
        "<array id=\"sources\"><node type=\"vertex\" target=\"HLSL11\"><![CDATA[a]]></node>"
        "<node type=\"vertex\" target=\"~HLSL11\"><![CDATA[b]]></node>"
        "<node type=\"pixel\"><![CDATA[c]]></node><node type=\"pixel\" target=\"HLSL11\"><![CDATA[d]]></node>"
        "</array>")))
        << read.Messages();
    EXPECT_EQ(read.description.sources.count, 4);
}

// Every pair of all-target sources conflicts; the messages stop when the log is full.
TEST(ShaderXmlSources, ManyConflictsFillTheLogOnce) {
    std::string nodes;
    for (int i = 0; i < 3000; ++i) {
        nodes += "<node type=\"vertex\"><![CDATA[x]]></node>";
    }
    ShaderXmlRead read;
    EXPECT_FALSE(read.log.IsFull());
    EXPECT_FALSE(read.FromText(Document(2, 4, "", "<array id=\"sources\">" + nodes + "</array>")));
    EXPECT_TRUE(read.log.IsFull());
    const std::string messages = read.Messages();
    EXPECT_EQ(messages.rfind(Error("multiple vertex shader sources target all targets."), 0), 0u);
    EXPECT_EQ(messages.substr(messages.size() - 41), "too many messages, the rest are dropped.\n");
    EXPECT_EQ(read.description.sources.count, 1);
}

struct TargetListCase {
    const char* list;
    TargetFlags targets;
};

TEST(ShaderXmlTargets, TargetLists) {
    const TargetListCase cases[] = {
        {nullptr, TARGET_ALL},
        {"", TARGET_ALL},
        {"HLSL11", TARGET_HLSL11},
        {"HLSL,GLSL21", TARGET_HLSL | TARGET_GLSL21},
        {"~HLSL9", TARGET_ALL ^ TARGET_HLSL9},
        {"~HLSL", TARGET_ALL ^ TARGET_HLSL},
        {"~ALL", 0},
        {"~", 0},
        {"~PS4", 0},
        {"HLSL9,~GLSL21", 0},
        {"HLSL9,", 0},
        {",HLSL9", 0},
        {"HLSL9, GLSL21", 0},
        {"hlsl9", 0},
        {"HLSL9HLSL9HLSL9X", 0},
    };
    for (const TargetListCase& c : cases) {
        EXPECT_EQ(ParseTargetList(c.list), c.targets) << (c.list != nullptr ? c.list : "(null)");
    }
}

TEST(ShaderXmlTargets, FirstLineTableWithoutSourcesArray) {
    Array<int32_t> lines;
    lines.Push(5);
    FindSourceLineNumbers("<root><array id=\"info\"><node/></array></root>", &lines);
    EXPECT_EQ(lines.count, 0);
    FindSourceLineNumbers("<array id=\"sources\"><node", &lines);  // cut short: one node, no text
    ASSERT_EQ(lines.count, 1);
    EXPECT_EQ(lines[0], 1);
    FindSourceLineNumbers(nullptr, &lines);
    EXPECT_EQ(lines.count, 0);
}

TEST(ShaderXmlValueTypes, Names) {
    EXPECT_EQ(DumpType(ParseValueType("FLOAT2X2", true, 3, false)),
              DumpType(Type::Matrix(2, QUALIFIER_CONST, 3)));
    EXPECT_EQ(DumpType(ParseValueType("BOOL", false, 1, true)), DumpType(Type(TYPE_BOOL, 1, 0, 0, true)));
    EXPECT_EQ(DumpType(ParseValueType("INT3", false, 1, false)), DumpType(Type(TYPE_INT, 3)));
    EXPECT_EQ(ParseValueType("float4", false, 1, false).kind, TYPE_NONE);
    EXPECT_EQ(ParseValueType("UINT", false, 1, false).kind, TYPE_NONE);
    EXPECT_EQ(ParseValueType(nullptr, false, 1, false).kind, TYPE_NONE);
}

TEST(ShaderXmlValueTypes, TextureBufferAndPayloadTypesAndModes) {
    Type unsizedCube = Type::Texture(TEXTURE_DIMENSION_CUBE);
    unsizedCube.arraySize = ARRAY_SIZE_UNSIZED;
    EXPECT_EQ(DumpType(ParseTextureType("CUBE[]")), DumpType(unsizedCube));
    EXPECT_EQ(ParseTextureType("2D[4]").kind, TYPE_NONE);
    EXPECT_EQ(ParseTextureType("[]").kind, TYPE_NONE);
    EXPECT_EQ(ParseTextureType(nullptr).kind, TYPE_NONE);
    EXPECT_EQ(DumpType(ParseBufferType("UINT4[]")),
              DumpType(Type(TYPE_UINT, 4, 0, ARRAY_SIZE_UNSIZED, true)));
    EXPECT_EQ(DumpType(ParseBufferType("IMAGE2D[]")), DumpType(Type(TYPE_FLOAT, 0, 0, ARRAY_SIZE_UNSIZED)));
    EXPECT_EQ(ParseBufferType("INDEX[][]").kind, TYPE_NONE);
    EXPECT_EQ(ParseBufferType(nullptr).kind, TYPE_NONE);
    EXPECT_EQ(DumpType(ParseRayPayloadType("UINT")), DumpType(Type(TYPE_UINT, 1)));
    EXPECT_EQ(DumpType(ParseRayPayloadType("FLOAT3X3")), DumpType(Type::Matrix(3)));
    EXPECT_EQ(ParseRayPayloadType("FLOAT4[]").kind, TYPE_NONE);
    EXPECT_EQ(ParseRayPayloadType(nullptr).kind, TYPE_NONE);
    int32_t mode = -5;
    EXPECT_TRUE(ParseAddressMode(nullptr, &mode));
    EXPECT_EQ(mode, 0);
    EXPECT_TRUE(ParseAddressMode("MIRROR", &mode));
    EXPECT_EQ(mode, 3);
    EXPECT_FALSE(ParseAddressMode("mirror", &mode));
    EXPECT_FALSE(ParseAddressMode("", &mode));
    EXPECT_TRUE(ParseFilterMode("POINT", &mode));
    EXPECT_EQ(mode, 1);
    EXPECT_FALSE(ParseFilterMode("CLAMP", &mode));
}

TEST(ShaderXmlElements, StartWithoutNameAndWithTheNoneTypeOfOneComponent) {
    Type none(TYPE_NONE, 1);
    const std::string expected = DumpType(none);
    EXPECT_EQ(none.textureDimension, TEXTURE_DIMENSION_NONE);
    const ShaderVariable variable;
    const StageVariable stageVariable;
    const TextureVariable texture;
    const ImageVariable image;
    EXPECT_TRUE(variable.name.IsEmpty());
    EXPECT_EQ(DumpType(variable.type), expected);
    EXPECT_TRUE(stageVariable.name.IsEmpty());
    EXPECT_EQ(DumpType(stageVariable.type), expected);
    EXPECT_TRUE(texture.name.IsEmpty());
    EXPECT_EQ(DumpType(texture.type), expected);
    EXPECT_TRUE(image.name.IsEmpty());
    EXPECT_EQ(DumpType(image.type), expected);
}

TEST(ShaderXmlText, MalformedDocumentIsRefused) {
    ShaderXmlRead read;
    EXPECT_FALSE(read.FromText("<root><array id=\"info\">"));
    EXPECT_FALSE(read.FromText("<r"));
    EXPECT_EQ(read.description.sources.count, 0);
}

}  // namespace
