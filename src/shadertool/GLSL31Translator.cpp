// What the "in"/"out" generation of desktop GLSL writes differently from GLSL 1.20.
#include "shadertool/GLSL31Translator.h"

#include <cstring>

namespace ShaderTool {

GLSL31Translator::GLSL31Translator(MessageLog* messageLog) : GLSL21Translator(messageLog) {
    bitwiseOperations = 1;
    const char* const renamed[][2] = {{"sampleTextureGrad", "textureGrad"},
                                      {"sampleTextureLod", "textureLod"},
                                      {"sampleTextureLodOffset", "textureLodOffset"}};
    for (const auto& entry : renamed) {
        const char** slot = renames.GetOrCreate(entry[0]);
        if (slot != nullptr) {
            *slot = entry[1];
        }
    }
}

// The texture functions are overloaded by sampler type: the mapped name alone.
void GLSL31Translator::GetFunctionName(String& name, const Symbol& call) {
    Translator::GetFunctionName(name, call);
}

void GLSL31Translator::WriteFunctionCall(Symbol* call) {
    switch (call->isBuiltin ? call->functionId : FUNCTION_USER) {
        case FUNCTION_SAMPLE_TEXTURE_GRAD:
        case FUNCTION_SAMPLE_TEXTURE_LOD:
        case FUNCTION_SAMPLE_TEXTURE_LOD_OFFSET:
            Translator::WriteFunctionCall(call);  // core functions here: no extension
            return;
        default:
            GLSL21Translator::WriteFunctionCall(call);
            return;
    }
}

void GLSL31Translator::WriteBinaryExpression(OperationNode* operation) {
    if (operation->operatorId == OP_MEMBER && WriteBlockMemberAccess(operation)) {
        return;
    }
    Translator::WriteBinaryExpression(operation);
}

bool GLSL31Translator::WriteInputVariable(const char* member, const Type& type) {
    if (strcmp(member, "vertex_id") == 0) {
        Append("gl_VertexID");
        return true;
    }
    return GLSL21Translator::WriteInputVariable(member, type);
}

bool GLSL31Translator::WriteOutputVariable(const char* member) {
    if (stage == STAGE_PIXEL) {
        body.AppendFormat("_out_%s", member);
        return true;
    }
    return GLSL21Translator::WriteOutputVariable(member);
}

void GLSL31Translator::WritePixelInputDeclarations(const ShaderDescription& shaderDescription) {
    DeclareStageVariables(shaderDescription, "in", false, true);
}

void GLSL31Translator::WritePixelOutputDeclarations(const ShaderDescription& shaderDescription) {
    if (shaderDescription.pixelOutputs.count == 0) {
        return;
    }
    BeginDeclarationGroup();
    for (const String& output : shaderDescription.pixelOutputs) {
        declarations.AppendFormat("out vec4 _out_%s;\n", output.CStr());
    }
}

void GLSL31Translator::WriteVertexInputDeclarations(const ShaderDescription& shaderDescription) {
    DeclareVertexInputs(shaderDescription, "in");
}

void GLSL31Translator::WriteVertexOutputDeclarations(const ShaderDescription& shaderDescription) {
    DeclareStageVariables(shaderDescription, "out", true, true);
}

}  // namespace ShaderTool
