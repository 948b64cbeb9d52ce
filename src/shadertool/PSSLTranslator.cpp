// What PSSL writes differently from HLSL11.
#include "shadertool/PSSLTranslator.h"

#include <cstring>

#include "shadertool/ExpressionTyping.h"

namespace ShaderTool {

namespace {

enum { INPUT_COLOR = 2 };  // the vertex input semantic bit of COLOR

}  // namespace

PSSLTranslator::PSSLTranslator(MessageLog* messageLog) : HLSL11Translator(messageLog) {
    pixelInputPositionSemantic = "S_POSITION";
    pixelOutputSemantic = "S_TARGET_OUTPUT";
    vertexOutputPositionSemantic = "S_POSITION";
    blockKeyword = "ConstantBuffer";
}

void PSSLTranslator::Reset() {
    HLSL11Translator::Reset();
    colorInputName.Assign(nullptr);
}

void PSSLTranslator::SetShaderDescription(const ShaderDescription& shaderDescription) {
    HLSL11Translator::SetShaderDescription(shaderDescription);
    if (stage != STAGE_VERTEX) {
        return;
    }
    for (const ShaderVariable& input : shaderDescription.vertexInputs) {
        if (input.semantic == INPUT_COLOR) {
            colorInputName = input.name;
            return;
        }
    }
}

const char* PSSLTranslator::GetSampleMethodName(int32_t functionId) {
    switch (functionId) {
        case FUNCTION_SAMPLE_TEXTURE:
            return "Sample";
        case FUNCTION_SAMPLE_TEXTURE_GRAD:
            return "SampleGradient";
        case FUNCTION_SAMPLE_TEXTURE_LOD:
        case FUNCTION_SAMPLE_TEXTURE_LOD_OFFSET:
            return "SampleLOD";
        default:
            return "";
    }
}

void PSSLTranslator::WriteFunctionCall(Symbol* call) {
    switch (call->isBuiltin ? call->functionId : FUNCTION_USER) {
        case FUNCTION_ALL:
        case FUNCTION_ANY: {
            // The reductions take boolean vectors: the argument is converted first.
            const DeclarationNode* arguments = CallArguments(*call);
            Node* argument =
                arguments != nullptr && arguments->children.count > 0 ? arguments->children[0] : nullptr;
            String name;
            GetFunctionName(name, *call);
            body.AppendFormat("%s((bool%i)(", name.CStr(), NodeTypeOf(argument).vectorSize);
            WriteNode(argument);
            Append("))");
            return;
        }
        case FUNCTION_SAMPLE_TEXTURE_COMPARE_LOD_ZERO:
            ReportUnsupportedFunction(*call);
            Translator::WriteFunctionCall(call);
            return;
        default:
            HLSL11Translator::WriteFunctionCall(call);
            return;
    }
}

bool PSSLTranslator::WriteBuiltinVariable(const char* member) {
    if (stage == STAGE_VERTEX && !colorInputName.IsEmpty() && colorInputName.Equals(member)) {
        // That console's vertex colours arrive with red and blue swapped.
        body.AppendFormat("input.%s\n\n#if defined(__PROSPERO__)\n\n", member);
        WriteIndentation();
        Append(".bgra\n\n#endif\n\n");
        WriteIndentation();
        return true;
    }
    static const char* const kMembers[PENDING_COUNT] = {
        "float _facing : S_FRONT_FACE", "uint _instance_id : S_INSTANCE_ID", "uint _vertex_id : S_VERTEX_ID"};
    if (WriteSystemValueInput(member, kMembers)) {
        return true;
    }
    return HLSL11Translator::WriteBuiltinVariable(member);
}

}  // namespace ShaderTool
