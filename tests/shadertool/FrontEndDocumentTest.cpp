// The front end end to end: a Shader XML file is read through the data manager and the engine's
// file system, and each of its sources is preprocessed (with an include file and the document's
// definitions), parsed and checked for every target it names, as the compile driver does.
#include <gtest/gtest.h>

#include <string>

#include "FrontEndHarness.h"
#include "ShaderXmlTestSupport.h"
#include "shadertool/TargetNames.h"

using namespace ShaderTool;
using ShaderToolTest::WriteResFile;

namespace {

const char kDocument[] =
    "<?xml version=\"1.0\"?>\r\n"
    "<root>\r\n"
    "  <array id=\"info\"><node id=\"version\" value=\"2\"/><node id=\"revision\" value=\"4\"/></array>\r\n"
    "  <array id=\"definitions\"><node id=\"EXPOSURE\" value=\"1.5\"/><node id=\"TAPS\" "
    "value=\"2\"/></array>\r\n"
    "  <array id=\"vertex_input\">\r\n"
    "    <node id=\"position\" semantic=\"POSITION\"/><node id=\"color\" semantic=\"COLOR\"/>\r\n"
    "    <node id=\"uv\" semantic=\"TEXTURE_COORDINATE_0\"/>\r\n"
    "  </array>\r\n"
    "  <array id=\"vertex_constants\"><node id=\"transform\" type=\"FLOAT4X4\" "
    "semantic=\"WORLD_VIEW_PROJECTION_TRANSFORM\"/></array>\r\n"
    "  <array id=\"vertex_output\">\r\n"
    "    <node id=\"position\" type=\"FLOAT4\" semantic=\"POSITION\"/><node id=\"color\" type=\"FLOAT4\" "
    "semantic=\"COLOR\"/>\r\n"
    "    <node id=\"uv\" type=\"FLOAT2\"/>\r\n"
    "  </array>\r\n"
    "  <array id=\"pixel_constants\"><node id=\"tint\" type=\"FLOAT4\"/></array>\r\n"
    "  <array id=\"pixel_textures\"><node id=\"diffuse\" type=\"2D\" address_u=\"WRAP\"/></array>\r\n"
    "  <array id=\"pixel_output\"><node id=\"color\"/></array>\r\n"
    "  <array id=\"sources\">\r\n"
    "    <node type=\"vertex\"><![CDATA[\r\n"
    "void main()\r\n"
    "{\r\n"
    "    output.position = input.position * constants.transform;\r\n"
    "    output.color = input.color * EXPOSURE;\r\n"
    "    output.uv = input.uv;\r\n"
    "}\r\n"
    "]]></node>\r\n"
    "    <node type=\"pixel\" file=\"lit.pixel\"/>\r\n"
    "  </array>\r\n"
    "</root>\r\n";

const char kPixelSource[] =
    "// Lit pixel stage: the tint and a few texture taps.\r\n"
    "#include \"lighting.inc\"\r\n"
    "void main()\r\n"
    "{\r\n"
    "    float4 sum = float4(0.0, 0.0, 0.0, 0.0);\r\n"
    "    for (int i = 0; i < TAPS; i++)\r\n"
    "    {\r\n"
    "        sum += sampleTexture(texture.diffuse, input.uv + float2(float(i), 0.0));\r\n"
    "    }\r\n"
    "#if TARGET_GROUP == GLSL\r\n"
    "    output.color = Shade(sum);\r\n"
    "#else\r\n"
    "    output.color = Shade(sum) * input.color;\r\n"
    "#endif\r\n"
    "}\r\n";

const char kLighting[] =
    "float4 Shade(float4 colour)\r\n"
    "{\r\n"
    "    return colour * constants.tint;\r\n"
    "}\r\n";

TEST(FrontEndDocument, EverySourceAnalysesForEveryTarget) {
    WriteResFile("e2e/lighting.inc", kLighting);
    WriteResFile("e2e/lit.pixel", kPixelSource);
    const std::string path = WriteResFile("e2e/lit.xml", kDocument);
    ShaderToolTest::ShaderXmlRead read;
    ASSERT_TRUE(read.FromFile(path)) << read.Messages();
    ASSERT_EQ(read.description.sources.count, 2);
    EXPECT_EQ(read.description.sources[0].firstLine, 19);

    ShaderToolTest::ScopedEngineFiles files;
    ShaderToolTest::FrontEnd frontEnd;
    for (const ShaderSource& source : read.description.sources) {
        for (TargetFlags target : {TARGET_HLSL11, TARGET_GLSL21, TARGET_ESSL30, TARGET_SPIRV}) {
            EXPECT_TRUE(frontEnd.RunDocumentSource(read.description, source, target))
                << GetStageName(source.stage) << " for " << GetTargetName(target) << ":\n"
                << frontEnd.Messages();
            EXPECT_EQ(frontEnd.Messages(), "");
            EXPECT_NE(frontEnd.analyzer.root, nullptr);
        }
    }
}

// Messages about inline code name the Shader XML and its own line numbers.
TEST(FrontEndDocument, InlineFaultsPointIntoTheDocument) {
    const std::string path = WriteResFile(
        "e2e/faulty.xml",
        "<?xml version=\"1.0\"?>\n<root>\n"
        "<array id=\"info\"><node id=\"version\" value=\"2\"/><node id=\"revision\" value=\"4\"/></array>\n"
        "<array id=\"vertex_input\"><node id=\"position\" semantic=\"POSITION\"/></array>\n"
        "<array id=\"vertex_output\"><node id=\"position\" type=\"FLOAT4\" semantic=\"POSITION\"/></array>\n"
        "<array id=\"sources\">\n"
        "<node type=\"vertex\"><![CDATA[\n"
        "\n"
        "void main()\n"
        "{\n"
        "    output.position = input.position + undeclared;\n"
        "}\n"
        "]]></node>\n"
        "</array>\n</root>\n");
    ShaderToolTest::ShaderXmlRead read;
    ASSERT_TRUE(read.FromFile(path)) << read.Messages();
    ASSERT_EQ(read.description.sources.count, 1);
    ShaderToolTest::ScopedEngineFiles files;
    ShaderToolTest::FrontEnd frontEnd;
    EXPECT_FALSE(frontEnd.RunDocumentSource(read.description, read.description.sources[0], TARGET_HLSL11));
    EXPECT_EQ(frontEnd.Messages().rfind("res://e2e/faulty.xml(11:", 0), 0u) << frontEnd.Messages();
}

}  // namespace
