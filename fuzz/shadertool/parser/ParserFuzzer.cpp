// Fuzz target: parses and analyses arbitrary text as a shader of the stage the first byte picks,
// walks the resulting tree and resets the analyzer. Any crash, leak or over-read is a finding.
#include <cstddef>
#include <cstdint>
#include <string>

#include "shadertool/Analyzer.h"
#include "shadertool/MessageLog.h"
#include "shadertool/Parser.h"
#include "shadertool/ShaderDescription.h"
#include "shadertool/Tokenizer.h"
#include "shadertool/TreeWalker.h"

using namespace ShaderTool;

namespace {

// Touches every node the walk reaches, so that a dangling or half-built node shows.
class CountingWalker : public TreeWalker {
public:
    int64_t nodes = 0;
    int64_t typed = 0;

protected:
    bool Enter(Node* node, int32_t) override {
        ++nodes;
        const Type* type = GetNodeType(node);
        if (type != nullptr && type->kind != TYPE_NONE) {
            typed += FormatTypeName(*type, true).Length();
        }
        return true;
    }
};

StageVariable Named(const char* name, const Type& type) {
    StageVariable variable;
    variable.name = name;
    variable.type = type;
    return variable;
}

ShaderDescription MakeDescription() {
    ShaderDescription description;
    description.version = 0x20004;
    ShaderVariable input;
    input.name = "position";
    input.type = Type(TYPE_FLOAT, 4);
    description.vertexInputs.Push(input);
    description.vertexOutputs.Push(Named("position", Type(TYPE_FLOAT, 4)));
    description.vertexOutputs.Push(Named("uv", Type(TYPE_FLOAT, 2)));
    description.pixelOutputs.PushText("color");
    TextureVariable texture;
    texture.name = "diffuse";
    texture.type = Type::Texture(TEXTURE_DIMENSION_2D);
    description.pixelTextures.Push(texture);
    Type indexBuffer(TYPE_UINT, 3);
    indexBuffer.isBuffer = 1;
    indexBuffer.isIndexBuffer = 1;
    description.buffers.Push(Named("indices", indexBuffer));
    ImageVariable image;
    image.name = "target";
    image.type = Type::Image2D();
    description.images.Push(image);
    description.rayPayloads.Push(Named("payload", Type(TYPE_FLOAT, 4)));
    return description;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static MessageLog log;
    static SemanticAnalyzer analyzer(&log);
    static const ShaderDescription description = MakeDescription();
    if (size == 0) {
        return 0;
    }
    ShaderSource source;
    source.fileName = "fuzz.shader";
    // The analyzer reads preprocessed text, which has its comments removed.
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    source.text = NormalizeSourceText(text.c_str());
    source.stage = data[0] % STAGE_COUNT;
    analyzer.BeginStage(&description, source);
    analyzer.DeclareStageVariables(description);
    if (ParseShader(analyzer) == PARSE_ACCEPTED) {
        analyzer.CheckFunctionDefinitions();
    }
    CountingWalker walker;
    walker.Walk(analyzer.root);
    analyzer.Reset();
    log.Clear();
    return 0;
}
