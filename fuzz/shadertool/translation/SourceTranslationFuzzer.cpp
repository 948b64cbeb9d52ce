// Fuzz target: arbitrary text as one source of a document that declares every kind of interface
// variable, translated for every target twice in the one shader tool state. The first byte picks
// the stage: vertex or pixel (beside a fixed source of the other stage), or a ray stage (alone,
// for the targets that trace rays). Any crash, leak, hang, over-read or difference between the
// two runs is a finding.
#include <cstddef>
#include <cstdint>
#include <string>

#include "TranslationRuns.h"

using namespace ShaderTool;

namespace {

Type Const(Type type) {
    type.qualifiers = QUALIFIER_CONST;
    return type;
}

void AddConstant(Array<ShaderVariable>* list, const char* name, const Type& type) {
    ShaderVariable constant;
    constant.name = name;
    constant.type = Const(type);
    list->Push(constant);
}

void AddStageVariable(Array<StageVariable>* list, const char* name, const Type& type, int32_t first,
                      int32_t second) {
    StageVariable variable;
    variable.name = name;
    variable.type = type;
    variable.semantic = first;
    variable.semanticIndex = second;
    list->Push(variable);
}

void AddTexture(ShaderDescription* description, const char* name, Type type, int32_t slot) {
    TextureVariable texture;
    texture.name = name;
    texture.type = type;
    texture.slot = slot;
    description->pixelTextures.Push(texture);
}

void AddSource(ShaderDescription* description, int32_t stage, const std::string& text) {
    ShaderSource source;
    source.fileName = "mem://fuzz/interface.xml";
    source.text = text.c_str();
    source.targets = TARGET_ALL;
    source.stage = stage;
    description->sources.Push(source);
    description->stages |= 1u << stage;
}

// Vertex and pixel stages: every vertex input semantic a format allows, constants of each shape,
// textures of each dimension, two pixel outputs and two definitions.
void DescribeRasterStages(ShaderDescription* d) {
    d->targets = TARGET_ALL;
    const struct {
        const char* name;
        int32_t bit;
        Type type;
    } inputs[] = {{"position", 1, Type(TYPE_FLOAT, 4)}, {"color", 2, Type(TYPE_FLOAT, 4)},
                  {"uv", 4, Type(TYPE_FLOAT, 2)},       {"normal", 8, Type(TYPE_FLOAT, 3)},
                  {"tangent", 32, Type(TYPE_FLOAT, 3)}, {"bitangent", 64, Type(TYPE_FLOAT, 3)},
                  {"bones", 128, Type(TYPE_INT, 4)},    {"weights", 256, Type(TYPE_FLOAT, 4)}};
    for (const auto& input : inputs) {
        ShaderVariable variable;
        variable.name = input.name;
        variable.semantic = input.bit;
        variable.type = input.type;
        d->vertexInputs.Push(variable);
    }
    AddConstant(&d->vertexConstants, "transform", Type::Matrix(4));
    AddConstant(&d->vertexConstants, "offsets", Type(TYPE_FLOAT, 4, 0, 4));
    AddConstant(&d->pixelConstants, "tint", Type(TYPE_FLOAT, 4));
    AddConstant(&d->pixelConstants, "levels", Type(TYPE_INT, 4));
    AddConstant(&d->constants, "time", Type(TYPE_FLOAT, 4));
    AddStageVariable(&d->vertexOutputs, "position", Type(TYPE_FLOAT, 4), 1, 0);
    AddStageVariable(&d->vertexOutputs, "color", Type(TYPE_FLOAT, 4), 0, 0);
    AddStageVariable(&d->vertexOutputs, "uv", Type(TYPE_FLOAT, 2), 2, 0);
    AddTexture(d, "diffuse", Type::Texture(TEXTURE_DIMENSION_2D), -1);
    AddTexture(d, "environment", Type::Texture(TEXTURE_DIMENSION_CUBE), -1);
    AddTexture(d, "volume", Type::Texture(TEXTURE_DIMENSION_3D), -1);
    d->pixelOutputs.PushText("color");
    d->pixelOutputs.PushText("normal");
    ShaderDefinition definition;
    definition.name = "QUALITY";
    definition.value = "2";
    definition.literalKind = TYPE_INT;
    d->definitions.Push(definition);
    definition.name = "SCALE";
    definition.value = "0.5";
    definition.literalKind = TYPE_FLOAT;
    d->definitions.Push(definition);
}

// Ray stages: buffers of each kind, an image, textures with slots and two payloads (one input).
void DescribeRayStage(ShaderDescription* d) {
    d->targets = TARGET_HLSL12 | TARGET_SPIRV;
    d->rayTracingGroup = 0;
    Type indices(TYPE_UINT, 3, 0, 0, true);
    indices.isIndexBuffer = 1;
    AddStageVariable(&d->buffers, "indices", indices, 0, 0);
    indices.arraySize = ARRAY_SIZE_UNSIZED;
    AddStageVariable(&d->buffers, "meshIndices", indices, 1, 0);
    AddStageVariable(&d->buffers, "colors", Type(TYPE_FLOAT, 4, 0, 0, true), 2, 0);
    ImageVariable image;
    image.name = "target";
    image.type = Type::Image2D();
    d->images.Push(image);
    AddTexture(d, "sky", Type::Texture(TEXTURE_DIMENSION_CUBE), 0);
    Type layers = Type::Texture(TEXTURE_DIMENSION_2D);
    layers.arraySize = ARRAY_SIZE_UNSIZED;
    AddTexture(d, "layers", layers, 1);
    AddStageVariable(&d->rayPayloads, "radiance", Type(TYPE_FLOAT, 4), 0, 1);
    AddStageVariable(&d->rayPayloads, "shadow", Type(TYPE_FLOAT, 1), 1, 0);
}

const char kVertexSource[] =
    "void main() { output.position = input.position * constants.transform; output.color = input.color;"
    " output.uv = input.uv; }";
const char kPixelSource[] =
    "void main() { output.color = sampleTexture(texture.diffuse, input.uv) * constants.tint;"
    " output.normal = float4(input.uv, 0.0, 1.0); }";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > (1u << 16)) {
        return 0;
    }
    const TargetFlags targets = TranslationFuzz::SetUpTargets();
    const int32_t stage = data[0] % STAGE_COUNT;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    TranslationFuzz::Capture runs[2];
    for (TranslationFuzz::Capture& run : runs) {
        ResetShaderToolState();
        ShaderDescription& description = GetShaderToolState().description;
        description.version = 0x20006;
        if (stage == STAGE_VERTEX || stage == STAGE_PIXEL) {
            DescribeRasterStages(&description);
            AddSource(&description, STAGE_VERTEX, stage == STAGE_VERTEX ? text : kVertexSource);
            AddSource(&description, STAGE_PIXEL, stage == STAGE_PIXEL ? text : kPixelSource);
        } else {
            DescribeRayStage(&description);
            AddSource(&description, stage, text);
        }
        run = TranslationFuzz::TranslateAndCapture("mem://fuzz/interface.xml", targets);
    }
    TranslationFuzz::RequireSame(runs[0], runs[1]);
    return 0;
}
