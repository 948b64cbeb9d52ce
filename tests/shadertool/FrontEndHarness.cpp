// The front-end test harness: a fixed test description and the driver's analysis steps.
#include "FrontEndHarness.h"

#include "shadertool/Parser.h"
#include "shadertool/Tokenizer.h"

using namespace ShaderTool;

namespace ShaderToolTest {

namespace {

ShaderVariable Variable(const char* name, const Type& type) {
    ShaderVariable variable;
    variable.name = name;
    variable.type = type;
    return variable;
}

StageVariable Stage(const char* name, const Type& type) {
    StageVariable variable;
    variable.name = name;
    variable.type = type;
    return variable;
}

Type Const(Type type) {
    type.qualifiers = QUALIFIER_CONST;
    return type;
}

Type Buffer(Type type, bool index, int32_t arraySize) {
    type.isBuffer = 1;
    type.isIndexBuffer = index ? 1 : 0;
    type.arraySize = arraySize;
    return type;
}

void AddTexture(ShaderDescription* description, const char* name, int32_t dimension) {
    TextureVariable texture;
    texture.name = name;
    texture.type = Type::Texture(dimension);
    description->pixelTextures.Push(texture);
}

}  // namespace

ShaderDescription MakeTestDescription(uint32_t version) {
    ShaderDescription description;
    description.version = version;
    description.vertexInputs.Push(Variable("position", Type(TYPE_FLOAT, 4)));
    description.vertexInputs.Push(Variable("color", Type(TYPE_FLOAT, 4)));
    description.vertexInputs.Push(Variable("uv", Type(TYPE_FLOAT, 2)));
    description.vertexOutputs.Push(Stage("position", Type(TYPE_FLOAT, 4)));
    description.vertexOutputs.Push(Stage("color", Type(TYPE_FLOAT, 4)));
    description.vertexOutputs.Push(Stage("uv", Type(TYPE_FLOAT, 2)));
    description.pixelOutputs.PushText("color");
    AddTexture(&description, "diffuse", TEXTURE_DIMENSION_2D);
    AddTexture(&description, "environment", TEXTURE_DIMENSION_CUBE);
    AddTexture(&description, "volume", TEXTURE_DIMENSION_3D);
    description.vertexConstants.Push(Variable("transform", Const(Type::Matrix(4))));
    description.pixelConstants.Push(Variable("tint", Const(Type(TYPE_FLOAT, 4))));
    description.pixelConstants.Push(Variable("levels", Const(Type(TYPE_INT, 4))));
    description.constants.Push(Variable("time", Const(Type(TYPE_FLOAT, 4))));
    description.buffers.Push(Stage("indices", Buffer(Type(TYPE_UINT, 3), true, 0)));
    description.buffers.Push(Stage("meshIndices", Buffer(Type(TYPE_UINT, 3), true, 4)));
    description.buffers.Push(Stage("colors", Buffer(Type(TYPE_FLOAT, 4), false, 0)));
    description.buffers.Push(Stage("rawIndices", Buffer(Type(TYPE_UINT, 3), false, 0)));
    ImageVariable image;
    image.name = "target";
    image.type = Type::Image2D();
    description.images.Push(image);
    StageVariable payload = Stage("payload", Type(TYPE_FLOAT, 4));
    payload.inputFlag = 1;
    description.rayPayloads.Push(payload);
    return description;
}

FrontEnd::FrontEnd()
    : analyzer(&log), description(MakeTestDescription()), preprocessor(&log), parseResult(-1) {
    preprocessor.AddBuiltinDefinitions();
}

bool FrontEnd::Run(const std::string& text, int32_t stage, const char* fileName) {
    log.Clear();  // as the driver clears its working log for each document
    source.fileName = fileName;
    source.text = NormalizeSourceText(text.c_str());
    source.firstLine = 1;
    source.stage = stage;
    source.targets = TARGET_ALL;
    return Analyze();
}

bool FrontEnd::RunDocumentSource(const ShaderDescription& document, const ShaderSource& documentSource,
                                 TargetFlags target) {
    log.Clear();
    description = document;
    analyzer.Reset();
    preprocessor.Reset();
    if (!preprocessor.Run(&description, target, documentSource, nullptr, false)) {
        return false;
    }
    source.fileName = documentSource.fileName;
    source.text = preprocessor.output;
    source.firstLine = documentSource.firstLine;
    source.targets = documentSource.targets;
    source.stage = documentSource.stage;
    return Analyze();
}

bool FrontEnd::Analyze() {
    analyzer.BeginStage(&description, source);
    analyzer.DeclareStageVariables(description);
    parseResult = ParseShader(analyzer);
    if (parseResult != 0 || log.hasErrors) {
        analyzer.success = 0;
        return false;
    }
    analyzer.CheckFunctionDefinitions();
    for (const String& output : analyzer.pendingOutputs) {
        log.AddPositionalErrorFormat(analyzer.CurrentFileName(), 0, 0,
                                     "vertex shader output '%s' is not set.", output.CStr());
    }
    const bool result = analyzer.success != 0 && analyzer.pendingOutputs.count == 0;
    analyzer.success = result ? 1 : 0;
    return result;
}

}  // namespace ShaderToolTest
