// The Vulkan GLSL writing: descriptor layout, push constants, separate samplers, storage buffers
// and images, and the NV ray-tracing stages with payloads and traceNV.
#include "shadertool/SPIRVTranslator.h"

#include <cstring>

#include "shadertool/ExpressionTyping.h"

namespace ShaderTool {

namespace {

enum { OUTPUT_POSITION = 1, INPUT_BLEND_INDICES = 128 };

bool IsRayStage(int32_t stage) {
    return stage == STAGE_RCHIT || stage == STAGE_RGEN || stage == STAGE_RMISS;
}

// "layout(set = 1, binding = 0)", with an extra qualifier such as an image format.
String Layout(int32_t set, int32_t binding, const char* extra = nullptr) {
    return String::FromFormat("layout(set = %i, binding = %i%s%s)", set, binding,
                              extra != nullptr ? ", " : "", extra != nullptr ? extra : "");
}

String Location(int32_t location) {
    return String::FromFormat("layout(location = %i)", location);
}

Node* Argument(const Symbol& call, int32_t index) {
    const DeclarationNode* arguments = CallArguments(call);
    return arguments != nullptr && index < arguments->children.count ? arguments->children[index] : nullptr;
}

}  // namespace

SPIRVTranslator::SPIRVTranslator(MessageLog* messageLog)
    : GLSL31Translator(messageLog), payloadGlobalsWritten(0) {
    const char** slot = renames.GetOrCreate("unpackUnorm4ToFloat4");
    if (slot != nullptr) {
        *slot = "unpackUnorm4x8";
    }
}

void SPIRVTranslator::Reset() {
    GLSL31Translator::Reset();
    payloadGlobalsWritten = 0;
}

void SPIRVTranslator::SetShaderDescription(const ShaderDescription& shaderDescription) {
    GLSL31Translator::SetShaderDescription(shaderDescription);
    if (IsRayStage(stage)) {
        RequireExtension("GL_NV_ray_tracing");
    }
}

void SPIRVTranslator::WriteInterfaceDeclarations(const ShaderDescription& shaderDescription) {
    GLSL31Translator::WriteInterfaceDeclarations(shaderDescription);
    if (!IsRayStage(stage)) {
        return;
    }
    BeginDeclarationGroup();
    declarations.AppendFormat("%s uniform accelerationStructureNV _acceleration_structure;\n",
                              Layout(0, 1).CStr());
    if (stage == STAGE_RCHIT) {
        declarations.Append("hitAttributeNV vec3 _hit_attribute;\n");
    }
}

void SPIRVTranslator::WriteVertexInputDeclarations(const ShaderDescription& shaderDescription) {
    String type;
    for (int32_t i = 0; i < shaderDescription.vertexInputs.count; ++i) {
        const ShaderVariable& input = shaderDescription.vertexInputs[i];
        if (input.semantic == INPUT_BLEND_INDICES) {
            type = "uvec4";
        } else {
            GetTypeName(type, input.type);
        }
        declarations.AppendFormat("%s in %s _in_%s;\n", Location(i).CStr(), type.CStr(), input.name.CStr());
    }
}

// The position is a built-in but keeps its place in the numbering, so that both stages agree. A
// matrix takes a location per column.
void SPIRVTranslator::DeclareLocatedStageVariables(const ShaderDescription& shaderDescription,
                                                   const char* direction) {
    String type;
    int32_t location = 0;
    for (const StageVariable& output : shaderDescription.vertexOutputs) {
        const int32_t first = location;
        location += StageVariableSlotCount(output.type);
        if (output.semantic == OUTPUT_POSITION) {
            continue;
        }
        GetTypeName(type, output.type);
        declarations.AppendFormat("%s %s%s %s _vary_%s;\n", Location(first).CStr(),
                                  IntegerInterpolation(output.type), direction, type.CStr(),
                                  output.name.CStr());
    }
}

void SPIRVTranslator::WriteVertexOutputDeclarations(const ShaderDescription& shaderDescription) {
    const int32_t position = PositionOutputIndex(shaderDescription);
    if (shaderDescription.vertexOutputs.count > (position >= 0 ? 1 : 0)) {
        BeginDeclarationGroup();
    }
    DeclareLocatedStageVariables(shaderDescription, "out");
}

void SPIRVTranslator::WritePixelInputDeclarations(const ShaderDescription& shaderDescription) {
    DeclareLocatedStageVariables(shaderDescription, "in");
}

void SPIRVTranslator::WritePixelOutputDeclarations(const ShaderDescription& shaderDescription) {
    if (shaderDescription.pixelOutputs.count == 0) {
        return;
    }
    BeginDeclarationGroup();
    for (int32_t i = 0; i < shaderDescription.pixelOutputs.count; ++i) {
        declarations.AppendFormat("%s out vec4 _out_%s;\n", Location(i).CStr(),
                                  shaderDescription.pixelOutputs[i].CStr());
    }
}

// A list held in push constants starts at its offset inside the push-constant range; any other
// list is a uniform block in the stage's set.
void SPIRVTranslator::WriteConstantDeclarations(const Array<ShaderVariable>& constants,
                                                int32_t pushConstantOffset) {
    if (constants.count == 0) {
        return;
    }
    BeginDeclarationGroup();
    const bool pushed = pushConstantOffset >= 0;
    const String layout = pushed ? String("layout(push_constant)") : Layout(stage == STAGE_PIXEL ? 1 : 0, 0);
    declarations.AppendFormat("%s uniform Uniforms\n{\n", layout.CStr());
    String type;
    for (int32_t i = 0; i < constants.count; ++i) {
        const ShaderVariable& constant = constants[i];
        const String offset = pushed && pushConstantOffset != 0 && i == 0
                                  ? String::FromFormat("layout(offset = %i) ", pushConstantOffset)
                                  : String();
        GetTypeName(type, constant.type);
        if (constant.type.arraySize != 0) {
            declarations.AppendFormat("\t%s%s _const_%s[%i];\n", offset.CStr(), type.CStr(),
                                      constant.name.CStr(), constant.type.arraySize);
        } else {
            declarations.AppendFormat("\t%s%s _const_%s;\n", offset.CStr(), type.CStr(),
                                      constant.name.CStr());
        }
    }
    declarations.Append("};\n");
}

// Each pixel texture is a sampler object and a texture object; the sampling call joins them.
void SPIRVTranslator::WriteSamplerDeclarations(const ShaderDescription& shaderDescription) {
    if (shaderDescription.pixelTextures.count == 0) {
        return;
    }
    BeginDeclarationGroup();
    for (int32_t i = 0; i < shaderDescription.pixelTextures.count; ++i) {
        const TextureVariable& texture = shaderDescription.pixelTextures[i];
        declarations.AppendFormat("%s uniform sampler _smp_%s;\n", Layout(2, i).CStr(), texture.name.CStr());
        declarations.AppendFormat("%s uniform texture%s _tex_%s;\n", Layout(3, i).CStr(),
                                  TextureObjectSuffix(texture.type.textureDimension), texture.name.CStr());
    }
}

// Ray stages bind combined image samplers by slot.
void SPIRVTranslator::WriteRayTextureDeclarations(const ShaderDescription& shaderDescription) {
    if (shaderDescription.pixelTextures.count == 0) {
        return;
    }
    BeginDeclarationGroup();
    for (const TextureVariable& texture : shaderDescription.pixelTextures) {
        declarations.AppendFormat("%s uniform sampler%s _tex_%s%s;\n", Layout(2, texture.slot).CStr(),
                                  TextureObjectSuffix(texture.type.textureDimension), texture.name.CStr(),
                                  texture.type.arraySize != 0 ? "[]" : "");
    }
}

void SPIRVTranslator::WriteBufferDeclarations(const ShaderDescription& shaderDescription) {
    if (shaderDescription.buffers.count == 0) {
        return;
    }
    BeginDeclarationGroup();
    String element;
    for (int32_t i = 0; i < shaderDescription.buffers.count; ++i) {
        const StageVariable& buffer = shaderDescription.buffers[i];
        if (buffer.type.isIndexBuffer) {
            // Index buffers hold 16-bit indices: loadIndices reads three consecutive elements.
            element = "uint16_t";
            RequireExtension("GL_EXT_shader_16bit_storage");
        } else {
            GetTypeName(element, buffer.type);
        }
        if (buffer.type.arraySize != 0) {
            RequireExtension("GL_EXT_nonuniform_qualifier");
        }
        declarations.AppendFormat("%s%s buffer Buffer%i\n{\n\t%s data[];\n} _buf_%s%s;\n", i > 0 ? "\n" : "",
                                  Layout(1, buffer.slot).CStr(), i, element.CStr(), buffer.name.CStr(),
                                  buffer.type.arraySize != 0 ? "[]" : "");
    }
}

bool SPIRVTranslator::GetBufferName(const char* member) {
    body.AppendFormat("_buf_%s", member);
    return true;
}

void SPIRVTranslator::WriteImageDeclarations(const ShaderDescription& shaderDescription) {
    if (shaderDescription.images.count == 0) {
        return;
    }
    BeginDeclarationGroup();
    for (int32_t i = 0; i < shaderDescription.images.count; ++i) {
        const ImageVariable& image = shaderDescription.images[i];
        declarations.AppendFormat("%s uniform image%s _img_%s;\n", Layout(0, i + 2, "rgba8").CStr(),
                                  image.type.imageDimension == IMAGE_DIMENSION_2D ? "2D" : "",
                                  image.name.CStr());
    }
}

bool SPIRVTranslator::GetImageName(const char* member) {
    body.AppendFormat("_img_%s", member);
    return true;
}

bool SPIRVTranslator::WriteInputVariable(const char* member, const Type& type) {
    static const char* const kBuiltins[][2] = {
        {"dispatch_id", "gl_LaunchIDNV"},
        {"dispatch_size", "gl_LaunchSizeNV"},
        {"face_direction", "(gl_FrontFacing ? 1.0f : -1.0f)"},
        // Triangle hits carry two barycentrics: the analysed type, float2.
        {"hit_attribute", "_hit_attribute.xy"},
        {"instance_custom_id", "gl_InstanceCustomIndexNV"},
        {"is_front_facing", "gl_FrontFacing"},
        {"primitive_id", "gl_PrimitiveID"},
        {"ray_length", "gl_RayTmaxNV"},
        {"vertex_id", "gl_VertexIndex"},
        {"world_ray_direction", "gl_WorldRayDirectionNV"},
        {"world_ray_origin", "gl_WorldRayOriginNV"},
    };
    for (const auto& builtin : kBuiltins) {
        if (strcmp(member, builtin[0]) == 0) {
            Append(builtin[1]);
            return true;
        }
    }
    if (strcmp(member, "instance_id") == 0) {
        // Vulkan vertex shaders know the instance only as gl_InstanceIndex.
        Append(stage == STAGE_VERTEX ? "gl_InstanceIndex" : "gl_InstanceID");
        return true;
    }
    if (stage == STAGE_PIXEL) {
        body.AppendFormat(positionOutputName.Equals(member) ? "gl_FragCoord" : "_vary_%s", member);
        return true;
    }
    if (stage == STAGE_VERTEX || IsRayStage(stage)) {
        // Bone indices are declared unsigned and read back in their analysed type.
        if (stage == STAGE_VERTEX && description != nullptr) {
            for (const ShaderVariable& input : description->vertexInputs) {
                if (input.semantic == INPUT_BLEND_INDICES && input.name.Equals(member)) {
                    String name;
                    GetTypeName(name, type);
                    body.AppendFormat("%s(_in_%s)", name.CStr(), member);
                    return true;
                }
            }
        }
        body.AppendFormat("_in_%s", member);
        return true;
    }
    return false;
}

bool SPIRVTranslator::WriteBlockMemberAccess(OperationNode* access) {
    const char* member = StageBlockMember(access, "ray_payloads");
    if (member != nullptr) {
        body.AppendFormat("_pay_%s", member);
        return true;
    }
    if (!GLSL31Translator::WriteBlockMemberAccess(access)) {
        return false;
    }
    // A buffer is read through its block's data member; an array of buffers gets it after the
    // element is chosen (WriteBinaryExpression).
    const Type type = NodeTypeOf(access);
    if (StageBlockMember(access, "buffers") != nullptr && type.isBuffer && type.arraySize == 0) {
        Append(".data");
    }
    return true;
}

void SPIRVTranslator::WriteBinaryExpression(OperationNode* operation) {
    GLSL31Translator::WriteBinaryExpression(operation);
    const Type left = NodeTypeOf(operation->left);
    if (operation->operatorId == OP_INDEX && left.isBuffer && left.arraySize != 0) {
        Append(".data");
    }
}

void SPIRVTranslator::WriteFunctionDefinition(Symbol* function) {
    const bool defined = function->children.count >= 2 && function->children[1] != nullptr;
    if (defined && !payloadGlobalsWritten && IsRayStage(stage)) {
        WritePayloadGlobals();
    }
    GLSL31Translator::WriteFunctionDefinition(function);
}

// The payloads are globals of the stage, placed before the first function that can use them.
void SPIRVTranslator::WritePayloadGlobals() {
    payloadGlobalsWritten = 1;
    if (description == nullptr || description->rayPayloads.count == 0) {
        return;
    }
    String type;
    for (const StageVariable& payload : description->rayPayloads) {
        GetTypeName(type, payload.type);
        body.AppendFormat("%s %s %s _pay_%s;\n", Location(payload.slot).CStr(),
                          payload.inputFlag ? "rayPayloadInNV" : "rayPayloadNV", type.CStr(),
                          payload.name.CStr());
    }
    Append("\n");
}

void SPIRVTranslator::WriteFunctionCall(Symbol* call) {
    switch (call->isBuiltin ? call->functionId : FUNCTION_USER) {
        case FUNCTION_FLOAT_BITS_TO_UINT:
        case FUNCTION_UNPACK_UNORM4_TO_FLOAT4:
            Translator::WriteFunctionCall(call);
            return;
        case FUNCTION_LOAD_INDICES:
            WriteLoadIndices(call);
            return;
        case FUNCTION_OBJECT_SPACE_TO_WORLD:
            Append("(gl_ObjectToWorldNV * (");
            WriteNode(Argument(*call, 0));
            Append("))");
            return;
        case FUNCTION_SAMPLE_TEXTURE:
        case FUNCTION_SAMPLE_TEXTURE_GRAD:
        case FUNCTION_SAMPLE_TEXTURE_LOD:
        case FUNCTION_SAMPLE_TEXTURE_LOD_OFFSET:
            WriteSampleCall(call);
            return;
        case FUNCTION_STORE_IMAGE:
            Append("imageStore(");
            WriteNode(Argument(*call, 0));
            Append(", ivec2(");
            WriteNode(Argument(*call, 1));
            Append("), ");
            WriteNode(Argument(*call, 2));
            Append(")");
            return;
        case FUNCTION_TRACE:
            WriteTrace(call);
            return;
        default:
            GLSL31Translator::WriteFunctionCall(call);
            return;
    }
}

// Three consecutive 16-bit indices: uvec3(b[o], b[(o) + 1], b[(o) + 2]).
void SPIRVTranslator::WriteLoadIndices(Symbol* call) {
    Node* buffer = Argument(*call, 0);
    Node* offset = Argument(*call, 1);
    Append("uvec3(");
    WriteNode(buffer);
    Append("[");
    WriteNode(offset);
    Append("]");
    for (int32_t k = 1; k <= 2; ++k) {
        Append(", ");
        WriteNode(buffer);
        Append("[(");
        WriteNode(offset);
        body.AppendFormat(") + %i]", k);
    }
    Append(")");
}

// In the pixel stage a texture and its sampler are separate objects, joined at each lookup:
// texture(sampler2D(_tex_t, _smp_t), c). Ray stages bind combined samplers, written as they are.
void SPIRVTranslator::WriteSampleCall(Symbol* call) {
    String name;
    GetFunctionName(name, *call);
    body.AppendFormat("%s(", name.CStr());
    Node* texture = Argument(*call, 0);
    const char* textureName = texture != nullptr && texture->kind == NODE_OPERATION && stage == STAGE_PIXEL
                                  ? StageBlockMember(static_cast<OperationNode*>(texture), "texture")
                                  : nullptr;
    if (textureName != nullptr) {
        body.AppendFormat("sampler%s(", TextureObjectSuffix(NodeTypeOf(texture).textureDimension));
        WriteNode(texture);
        body.AppendFormat(", _smp_%s)", textureName);
    } else {
        WriteNode(texture);
    }
    const DeclarationNode* arguments = CallArguments(*call);
    for (int32_t i = 1; arguments != nullptr && i < arguments->children.count; ++i) {
        Append(", ");
        WriteNode(arguments->children[i]);
    }
    Append(")");
}

// trace(flags, mask, hit group, miss index, origin, tmin, direction, tmax, payload) becomes
// traceNV with the acceleration structure first and a record stride of 0 after the hit group.
// The payload is named by its location, which traceNV takes as an int constant (a uint does not
// convert to int implicitly). A location that no payload has would trace into nothing.
void SPIRVTranslator::WriteTrace(Symbol* call) {
    const int64_t slot = TracedPayloadSlot(*call);
    bool found = false;
    for (int32_t i = 0; description != nullptr && i < description->rayPayloads.count; ++i) {
        found = found || description->rayPayloads[i].slot == slot;
    }
    const Node* payload = Argument(*call, 8);
    if (!found && payload != nullptr && payload->kind == NODE_LITERAL) {
        ReportError("ray payload slot %lld of trace() has no ray payload variable.",
                    static_cast<long long>(slot));
    }
    Append("traceNV(_acceleration_structure");
    for (int32_t i = 0; i < 8; ++i) {
        Append(i == 3 ? ", 0, " : ", ");
        WriteNode(Argument(*call, i));
    }
    Append(", int(");
    WriteNode(Argument(*call, 8));
    Append("))");
}

}  // namespace ShaderTool
