// The document of the source translation fuzz target (see SourceDocument.h).
#include "SourceDocument.h"

#include "shadertool/TargetNames.h"

using namespace ShaderTool;

namespace TranslationFuzz {

namespace {

// The full interface's 3D texture and second pixel output are more than ESSL20 and GLSL21 take:
// offered to them, the whole document would be refused before any source is translated, so its
// document is for the other targets (feature level 2).
const char kFullInfo[] =
    "<array id=\"info\"><node id=\"version\" value=\"2\"/><node id=\"revision\" value=\"6\"/>"
    "<node id=\"feature_level\" value=\"2\"/></array>";
const char kBasicInfo[] =
    "<array id=\"info\"><node id=\"version\" value=\"2\"/><node id=\"revision\" value=\"6\"/></array>";

// Every vertex input semantic one format allows, constants of each shape and definitions.
const char kRasterInterface[] =
    "<array id=\"definitions\"><node id=\"QUALITY\" value=\"2\"/><node id=\"SCALE\" value=\"0.5\"/></array>"
    "<array id=\"vertex_input\"><node id=\"position\" semantic=\"POSITION\"/><node id=\"color\" "
    "semantic=\"COLOR\"/>"
    "<node id=\"uv\" semantic=\"TEXTURE_COORDINATE_0\"/><node id=\"normal\" semantic=\"NORMAL\"/>"
    "<node id=\"tangent\" semantic=\"TANGENT\"/><node id=\"bitangent\" semantic=\"BITANGENT\"/>"
    "<node id=\"bones\" semantic=\"4_BONE_INDICES\"/><node id=\"weights\" "
    "semantic=\"4_BONE_WEIGHTS\"/></array>"
    "<array id=\"vertex_constants\"><node id=\"transform\" type=\"FLOAT4X4\"/>"
    "<node id=\"offsets\" type=\"FLOAT4\" count=\"4\"/></array>"
    "<array id=\"vertex_output\"><node id=\"position\" type=\"FLOAT4\" semantic=\"POSITION\"/>"
    "<node id=\"color\" type=\"FLOAT4\" semantic=\"COLOR\"/><node id=\"uv\" type=\"FLOAT2\"/></array>"
    "<array id=\"pixel_constants\"><node id=\"tint\" type=\"FLOAT4\"/><node id=\"levels\" "
    "type=\"INT4\"/></array>"
    "<array id=\"constants\"><node id=\"time\" type=\"FLOAT4\"/></array>";
// Textures of each dimension and two pixel outputs; the basic form has neither the 3D texture nor
// the second output.
const char kFullPixelInterface[] =
    "<array id=\"pixel_textures\"><node id=\"diffuse\" type=\"2D\"/><node id=\"environment\" type=\"CUBE\"/>"
    "<node id=\"volume\" type=\"3D\"/></array>"
    "<array id=\"pixel_output\"><node id=\"color\"/><node id=\"normal\"/></array>";
const char kBasicPixelInterface[] =
    "<array id=\"pixel_textures\"><node id=\"diffuse\" type=\"2D\"/><node id=\"environment\" type=\"CUBE\"/>"
    "</array><array id=\"pixel_output\"><node id=\"color\"/></array>";

// Buffers of each kind, an image, textures in slots and three payloads, one of them the input;
// general constants are for ray generation only.
const char kRayInterface[] =
    "<array id=\"info\"><node id=\"version\" value=\"2\"/><node id=\"revision\" value=\"6\"/>"
    "<node id=\"feature_level\" value=\"3\"/><node id=\"ray_tracing_group\" value=\"0\"/></array>"
    "<array id=\"pixel_textures\"><node id=\"sky\" type=\"CUBE\" slot=\"0\"/>"
    "<node id=\"materials\" type=\"2D[]\" slot=\"2\"/><node id=\"albedo\" type=\"2D\" slot=\"3\"/></array>"
    "<array id=\"buffers\"><node id=\"indices\" type=\"INDEX\" slot=\"0\"/>"
    "<node id=\"meshIndices\" type=\"INDEX[]\" slot=\"1\"/><node id=\"colors\" type=\"FLOAT4\" slot=\"4\"/>"
    "<node id=\"counters\" type=\"UINT\" slot=\"5\"/></array>"
    "<array id=\"images\"><node id=\"target\" type=\"2D\"/></array>"
    "<array id=\"ray_payloads\"><node id=\"radiance\" type=\"FLOAT4\" slot=\"0\" input=\"1\"/>"
    "<node id=\"visibility\" type=\"FLOAT\" slot=\"1\"/><node id=\"shadow\" type=\"FLOAT\" "
    "slot=\"2\"/></array>";
const char kRayGenerationConstants[] =
    "<array id=\"constants\"><node id=\"camera\" type=\"FLOAT4X4\"/></array>";

const char kVertexSource[] =
    "void main() { output.position = input.position * constants.transform; output.color = input.color;"
    " output.uv = input.uv; }";
const char kPixelSource[] =
    "void main() { output.color = sampleTexture(texture.diffuse, input.uv) * constants.tint;"
    " output.normal = float4(input.uv, 0.0, 1.0); }";
const char kBasicPixelSource[] =
    "void main() { output.color = sampleTexture(texture.diffuse, input.uv) * constants.tint; }";

std::string Source(const char* stage, const std::string& text) {
    return std::string("<node type=\"") + stage + "\"><![CDATA[" + text + "]]></node>";
}

}  // namespace

std::string BuildSourceDocument(const uint8_t* data, size_t size) {
    if (size < 1) {
        return std::string();
    }
    const int32_t stage = data[0] % STAGE_COUNT;
    const bool basic = (data[0] / STAGE_COUNT) % 2 != 0;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::string document = "<?xml version=\"1.0\"?><root>";
    if (stage == STAGE_VERTEX || stage == STAGE_PIXEL) {
        document += std::string(basic ? kBasicInfo : kFullInfo) + kRasterInterface +
                    (basic ? kBasicPixelInterface : kFullPixelInterface) + "<array id=\"sources\">" +
                    Source("vertex", stage == STAGE_VERTEX ? text : kVertexSource) +
                    Source("pixel", stage == STAGE_PIXEL ? text : (basic ? kBasicPixelSource : kPixelSource));
    } else {
        document += kRayInterface + std::string(stage == STAGE_RGEN ? kRayGenerationConstants : "") +
                    "<array id=\"sources\">" + Source(GetStageName(stage), text);
    }
    document += "</array></root>";
    return document;
}

}  // namespace TranslationFuzz
