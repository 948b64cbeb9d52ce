// Stage begin, the stage blocks and their members per stage, and the whole-program checks that
// run after the parse.
#include "shadertool/StageChecks.h"

namespace ShaderTool {

namespace {

const char kBuffers[] = "_Buffers";
const char kImages[] = "_Images";
const char kInput[] = "_Input";
const char kOutput[] = "_Output";
const char kTexture[] = "_Texture";
const char kConstants[] = "_Constants";
const char kRayPayloads[] = "_RayPayloads";

Type StructType(const char* name) {
    Type type(TYPE_STRUCT, 0);
    type.name.Assign(name);
    return type;
}

void AddMember(MemberTable* members, const char* name, const Type& type) {
    if (members == nullptr) {
        return;
    }
    bool inserted = false;
    members->Insert(name, type, &inserted);
}

void DeclareBlockVariable(SemanticAnalyzer& analyzer, const char* structName, const char* name) {
    PushSymbol(analyzer, CreateVariableNamed(analyzer, StructType(structName), name));
}

bool IsRayStage(int32_t stage) {
    return stage == STAGE_RCHIT || stage == STAGE_RGEN || stage == STAGE_RMISS;
}

// The stage's own constants: members of `constants`, or, for older descriptions, globals of
// their own marked as stage constants.
void DeclareStageConstants(SemanticAnalyzer& analyzer, const ShaderDescription& description,
                           const Array<ShaderVariable>& constants) {
    MemberTable* block = FindStruct(analyzer, kConstants);
    for (const ShaderVariable& constant : constants) {
        if (description.version >= DESCRIPTION_VERSION_CONSTANT_BLOCK) {
            AddMember(block, constant.name.CStr(), constant.type);
        } else {
            VariableNode* variable = CreateVariableNamed(analyzer, constant.type, constant.name.CStr());
            variable->stageConstant = 1;
            PushSymbol(analyzer, variable);
        }
    }
}

void DeclareTexturesBuffersImages(SemanticAnalyzer& analyzer, const ShaderDescription& description,
                                  bool withBuffersImages) {
    MemberTable* textures = FindStruct(analyzer, kTexture);
    for (const TextureVariable& texture : description.pixelTextures) {
        AddMember(textures, texture.name.CStr(), texture.type);
    }
    if (!withBuffersImages) {
        return;
    }
    MemberTable* buffers = FindStruct(analyzer, kBuffers);
    for (const StageVariable& buffer : description.buffers) {
        AddMember(buffers, buffer.name.CStr(), buffer.type);
    }
    MemberTable* images = FindStruct(analyzer, kImages);
    for (const ImageVariable& image : description.images) {
        AddMember(images, image.name.CStr(), image.type);
    }
}

void DeclareVertexMembers(SemanticAnalyzer& analyzer, const ShaderDescription& description) {
    MemberTable* input = FindStruct(analyzer, kInput);
    for (const ShaderVariable& variable : description.vertexInputs) {
        AddMember(input, variable.name.CStr(), variable.type);
    }
    AddMember(input, "instance_id", Type(TYPE_INT, 1));
    AddMember(input, "vertex_id", Type(TYPE_INT, 1));
    MemberTable* output = FindStruct(analyzer, kOutput);
    for (const StageVariable& variable : description.vertexOutputs) {
        AddMember(output, variable.name.CStr(), variable.type);
        analyzer.pendingOutputs.PushText(variable.name.CStr());
    }
    DeclareStageConstants(analyzer, description, description.vertexConstants);
}

void DeclarePixelMembers(SemanticAnalyzer& analyzer, const ShaderDescription& description) {
    MemberTable* input = FindStruct(analyzer, kInput);
    for (const StageVariable& variable : description.vertexOutputs) {
        AddMember(input, variable.name.CStr(), variable.type);
    }
    AddMember(input, "face_direction", Type(TYPE_FLOAT, 1));
    AddMember(input, "is_front_facing", Type(TYPE_BOOL, 1));
    MemberTable* output = FindStruct(analyzer, kOutput);
    for (const String& name : description.pixelOutputs) {
        AddMember(output, name.CStr(), Type(TYPE_FLOAT, 4));
    }
    DeclareStageConstants(analyzer, description, description.pixelConstants);
    DeclareTexturesBuffersImages(analyzer, description, false);
}

void DeclareRayMembers(SemanticAnalyzer& analyzer, const ShaderDescription& description) {
    MemberTable* input = FindStruct(analyzer, kInput);
    if (analyzer.stage == STAGE_RCHIT) {
        AddMember(input, "hit_attribute", Type(TYPE_FLOAT, 2));
        AddMember(input, "instance_custom_id", Type(TYPE_UINT, 1));
        AddMember(input, "primitive_id", Type(TYPE_UINT, 1));
    }
    if (analyzer.stage == STAGE_RGEN) {
        AddMember(input, "dispatch_id", Type(TYPE_UINT, 3));
        AddMember(input, "dispatch_size", Type(TYPE_UINT, 3));
    } else {
        AddMember(input, "ray_length", Type(TYPE_FLOAT, 1));
        AddMember(input, "world_ray_direction", Type(TYPE_FLOAT, 3));
        AddMember(input, "world_ray_origin", Type(TYPE_FLOAT, 3));
    }
    DeclareTexturesBuffersImages(analyzer, description, true);
}

}  // namespace

void SemanticAnalyzer::BeginStage(const ShaderDescription* shaderDescription, const ShaderSource& source) {
    Reset();
    RegisterStageFunctions(&builtins, source.stage);
    Array<Symbol>* lists[2] = {&builtins.general, &builtins.stage};
    for (Array<Symbol>* list : lists) {
        for (Symbol& function : *list) {
            FunctionEntry entry = {&function, 0, 0};
            bool inserted = false;
            functions.Insert(function.key.CStr(), entry, &inserted);
        }
    }
    placeholder = CreateVariableNamed(*this, Type(TYPE_INT, 1, QUALIFIER_CONST), "_dummy");
    description = shaderDescription;
    tokenizer.Begin(source, false);
    stage = source.stage;
}

void SemanticAnalyzer::DeclareStageVariables(const ShaderDescription& shaderDescription) {
    DeclareStageBlocks(*this, shaderDescription);
    switch (stage) {
        case STAGE_VERTEX:
            DeclareVertexMembers(*this, shaderDescription);
            break;
        case STAGE_PIXEL:
            DeclarePixelMembers(*this, shaderDescription);
            break;
        case STAGE_RCHIT:
        case STAGE_RGEN:
        case STAGE_RMISS:
            DeclareRayMembers(*this, shaderDescription);
            break;
        default:
            break;
    }
    MemberTable* constants = FindStruct(*this, kConstants);
    if (constants != nullptr) {
        for (const ShaderVariable& constant : shaderDescription.constants) {
            AddMember(constants, constant.name.CStr(), constant.type);
        }
    }
    if (stage == STAGE_PIXEL && shaderDescription.pixelOutputs.count == 0) {
        const SourcePosition nowhere = {0, 0};
        ReportError(nowhere, "at least one pixel output variable must be declared.");
    }
}

void DeclareStageBlocks(SemanticAnalyzer& analyzer, const ShaderDescription& description) {
    const bool constantBlock = description.version >= DESCRIPTION_VERSION_CONSTANT_BLOCK;
    analyzer.structs.Register(kBuffers);
    analyzer.structs.Register(kImages);
    analyzer.structs.Register(kInput);
    analyzer.structs.Register(kOutput);
    analyzer.structs.Register(kTexture);
    if (constantBlock) {
        analyzer.structs.Register(kConstants);
    }
    DeclareBlockVariable(analyzer, kBuffers, "buffers");
    DeclareBlockVariable(analyzer, kImages, "images");
    DeclareBlockVariable(analyzer, kTexture, "texture");
    if (constantBlock) {
        DeclareBlockVariable(analyzer, kConstants, "constants");
    }
}

void DeclareStageGlobals(SemanticAnalyzer& analyzer, SourcePosition mainPosition) {
    DeclareBlockVariable(analyzer, kInput, "input");
    DeclareBlockVariable(analyzer, kOutput, "output");
    if (!IsRayStage(analyzer.stage)) {
        return;
    }
    MemberTable* payloads = new MemberTable();
    if (analyzer.description != nullptr) {
        for (const StageVariable& payload : analyzer.description->rayPayloads) {
            if (payload.type.kind == TYPE_STRUCT &&
                FindStruct(analyzer, payload.type.name.CStr()) == nullptr) {
                analyzer.ReportError(mainPosition,
                                     "can not declare ray payload variable '%s' as its type '%s' "
                                     "is invalid.",
                                     payload.name.CStr(), FormatTypeName(payload.type, false).CStr());
                continue;
            }
            AddMember(payloads, payload.name.CStr(), payload.type);
        }
    }
    analyzer.structs.Adopt(kRayPayloads, payloads);  // an existing registration is kept
    DeclareBlockVariable(analyzer, kRayPayloads, "ray_payloads");
}

void SemanticAnalyzer::CheckFunctionDefinitions() {
    if (functions.Find("main,") == nullptr) {
        const SourcePosition nowhere = {0, 0};
        ReportError(nowhere, "main() has no definition.");
    }
    for (int32_t i = 0; i < functions.Count(); ++i) {
        const FunctionEntry& entry = functions.At(i).value;
        if (entry.referenced && !entry.defined) {
            ReportErrorAt(entry.function, "function '%s' is referenced but has no definition.",
                          entry.function->name.CStr());
        }
    }
}

}  // namespace ShaderTool
