// The shader model 4/5 writing of the HLSL11 target: constant buffer, texture and sampler
// objects, sampling methods, system-value inputs and the level's limits.
#include "shadertool/HLSL11Translator.h"

#include <cstring>

namespace ShaderTool {

HLSL11Translator::HLSL11Translator(MessageLog* messageLog)
    : HLSL9Translator(messageLog), blockKeyword("cbuffer"), registerFlag(0) {
    pixelInputPositionSemantic = "SV_POSITION";
    pixelOutputSemantic = "SV_TARGET";
    vertexOutputPositionSemantic = "SV_POSITION";
    bitwiseOperations = 1;
}

HLSL11Translator::~HLSL11Translator() {}

void HLSL11Translator::Reset() {
    HLSL9Translator::Reset();
    // A stage that failed before its declarations must not hand its names to the next one.
    comparisonTextures.Clear();
}

void HLSL11Translator::WritePrologue() {
    if (target != TARGET_HLSL11) {
        return;
    }
    // Warning 3078 is about loop variables reused after their loop, which translated loops do.
    String interface(declarations.CStr());
    declarations.Clear();
    declarations.Append("#pragma warning(disable : 3078)\n\n");
    declarations.Append(interface.CStr());
}

const char* HLSL11Translator::GetSampleMethodName(int32_t functionId) {
    switch (functionId) {
        case FUNCTION_SAMPLE_TEXTURE:
            return "Sample";
        case FUNCTION_SAMPLE_TEXTURE_COMPARE_LOD_ZERO:
            return "SampleCmpLevelZero";
        case FUNCTION_SAMPLE_TEXTURE_GRAD:
            return "SampleGrad";
        case FUNCTION_SAMPLE_TEXTURE_LOD:
        case FUNCTION_SAMPLE_TEXTURE_LOD_OFFSET:
            return "SampleLevel";
        default:
            return "";
    }
}

// Sampling is a method of the texture object here; every other call is written as for HLSL9,
// which refuses the same functions (the comparison sampling it refuses is taken here first).
void HLSL11Translator::WriteFunctionCall(Symbol* call) {
    switch (call->isBuiltin ? call->functionId : FUNCTION_USER) {
        case FUNCTION_SAMPLE_TEXTURE:
        case FUNCTION_SAMPLE_TEXTURE_COMPARE_LOD_ZERO:
        case FUNCTION_SAMPLE_TEXTURE_GRAD:
        case FUNCTION_SAMPLE_TEXTURE_LOD:
        case FUNCTION_SAMPLE_TEXTURE_LOD_OFFSET:
            WriteSampleCall(call);
            return;
        default:
            HLSL9Translator::WriteFunctionCall(call);
            return;
    }
}

// _tex_t.Sample(_smp_t, c): the texture argument is written twice, as the object and as the
// name of its sampler.
void HLSL11Translator::WriteSampleCall(Symbol* call) {
    const DeclarationNode* arguments = CallArguments(*call);
    if (arguments == nullptr || arguments->children.count == 0) {
        Translator::WriteFunctionCall(call);
        return;
    }
    Node* texture = arguments->children[0];
    Append("_tex_");
    WriteNode(texture);
    body.AppendFormat(".%s(_smp_", GetSampleMethodName(call->functionId));
    WriteNode(texture);
    for (int32_t i = 1; i < arguments->children.count; ++i) {
        Append(", ");
        WriteNode(arguments->children[i]);
    }
    Append(")");
    const char* name = TextureArgumentName(texture);
    if (call->functionId == FUNCTION_SAMPLE_TEXTURE_COMPARE_LOD_ZERO && name != nullptr &&
        comparisonTextures.IndexOf(String(name)) < 0) {
        comparisonTextures.PushText(name);
    }
}

void HLSL11Translator::WriteBinaryExpression(OperationNode* operation) {
    HLSL9Translator::WriteBinaryExpression(operation);
    // Feature level 9_x hardware has no integer instructions. The variant concerns this target
    // only: the other targets of the same request keep their bit-wise operations.
    if ((variants & VARIANT_HLSL11_LOW) != 0 && target == TARGET_HLSL11 &&
        IsBitwiseOperator(operation->operatorId)) {
        ReportError("bit-wise operations are not supported in level 'HLSL11_LOW'.");
    }
}

void HLSL11Translator::WriteConstantDeclarations(const Array<ShaderVariable>& constants) {
    if (constants.count == 0) {
        return;
    }
    String suffix;
    if (registerFlag) {
        suffix = String::FromFormat(" : register(b%i)", stage == STAGE_PIXEL ? 1 : 0);
    }
    if (declarations.Length() > 0) {
        declarations.AppendChar('\n');
    }
    declarations.AppendFormat("%s Constants%s\n{\n", blockKeyword, suffix.CStr());
    String type;
    for (const ShaderVariable& constant : constants) {
        GetTypeName(type, constant.type);
        if (constant.type.arraySize != 0) {
            declarations.AppendFormat("\t%s _const_%s[%i];\n", type.CStr(), constant.name.CStr(),
                                      constant.type.arraySize);
        } else {
            declarations.AppendFormat("\t%s _const_%s;\n", type.CStr(), constant.name.CStr());
        }
    }
    declarations.Append("};\n");
}

bool HLSL11Translator::WriteSystemValueInput(const char* member, const char* const members[PENDING_COUNT]) {
    const bool direction = strcmp(member, "face_direction") == 0;
    if (direction || strcmp(member, "is_front_facing") == 0) {
        RequireBuiltin(PENDING_FACING, members[PENDING_FACING]);
        // The direction is a sign, 1 or -1. A bool facing input (SV_IsFrontFace) read as a float
        // gives 1 or 0, so it is made a sign; a float one is a sign already. Arithmetic rather
        // than the conditional operator, which Wine's compiler does not take.
        const bool boolInput = strncmp(members[PENDING_FACING], "bool ", 5) == 0;
        if (direction) {
            Append(boolInput ? "((float)input._facing * 2.0f - 1.0f)" : "input._facing");
        } else {
            Append("(input._facing > 0.0f)");
        }
        return true;
    }
    if (strcmp(member, "instance_id") == 0) {
        RequireBuiltin(PENDING_INSTANCE_ID, members[PENDING_INSTANCE_ID]);
        Append("input._instance_id");
        return true;
    }
    if (strcmp(member, "vertex_id") == 0) {
        RequireBuiltin(PENDING_VERTEX_ID, members[PENDING_VERTEX_ID]);
        Append("input._vertex_id");
        return true;
    }
    return false;
}

bool HLSL11Translator::WriteBuiltinVariable(const char* member) {
    static const char* const kMembers[PENDING_COUNT] = {"bool _facing : SV_IsFrontFace",
                                                        "uint _instance_id : SV_InstanceID",
                                                        "uint _vertex_id : SV_VertexID"};
    return WriteSystemValueInput(member, kMembers) || HLSL9Translator::WriteBuiltinVariable(member);
}

// A texture is written by its bare name: the sampling call puts "_tex_" and "_smp_" before it.
bool HLSL11Translator::WriteBlockMemberAccess(OperationNode* access) {
    return WriteStageBlockAccess(access, "");
}

const char* HLSL11Translator::SamplerTypeOf(const char* textureName) const {
    return comparisonTextures.IndexOf(String(textureName)) >= 0 ? "SamplerComparisonState" : "SamplerState";
}

void HLSL11Translator::WriteTextureDeclarations() {
    if (pixelTextures != nullptr && pixelTextures->count > 0) {
        declarations.AppendChar('\n');
        for (int32_t i = 0; i < pixelTextures->count; ++i) {
            const TextureVariable& texture = (*pixelTextures)[i];
            declarations.AppendFormat("%s _smp_%s : register(s%i);\n", SamplerTypeOf(texture.name.CStr()),
                                      texture.name.CStr(), i);
            declarations.AppendFormat("Texture%s _tex_%s : register(t%i);\n",
                                      TextureObjectSuffix(texture.type.textureDimension), texture.name.CStr(),
                                      i);
        }
    }
    comparisonTextures.Clear();
}

}  // namespace ShaderTool
