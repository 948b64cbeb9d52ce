// The HLSL family's shared writing (entry point, stage structures, constants, block accesses,
// matrix products, casts, globals) and what the shader model 3 target writes on its own.
#include "shadertool/HLSL9Translator.h"

#include <cstring>

#include "shadertool/ExpressionTyping.h"

namespace ShaderTool {

namespace {

// The semantic of a vertex input by its semantic bit.
const char* VertexInputSemantic(int32_t bit) {
    switch (bit) {
        case 1:
            return "POSITION";
        case 2:
            return "COLOR";
        case 4:
            return "TEXCOORD0";
        case 8:
            return "NORMAL";
        case 16:
            return "TEXCOORD1";
        case 32:
            return "TANGENT";
        case 64:
            return "BINORMAL";
        case 128:
            return "BLENDINDICES";
        case 256:
            return "BLENDWEIGHT";
        default:
            return "";
    }
}

enum VertexOutputSemantic { OUTPUT_COLOR = 0, OUTPUT_POSITION = 1, OUTPUT_TEXTURE_COORDINATE = 2 };

bool IsVectorConstructor(int32_t id) {
    return (id >= CONSTRUCTOR_FLOAT2 && id <= CONSTRUCTOR_FLOAT4) ||
           (id >= CONSTRUCTOR_INT2 && id <= CONSTRUCTOR_INT4) ||
           (id >= CONSTRUCTOR_UINT2 && id <= CONSTRUCTOR_UINT4);
}

bool IsSamplingFunction(int32_t id) {
    return id == FUNCTION_SAMPLE_TEXTURE || id == FUNCTION_SAMPLE_TEXTURE_GRAD ||
           id == FUNCTION_SAMPLE_TEXTURE_LOD || id == FUNCTION_SAMPLE_TEXTURE_LOD_OFFSET;
}

const char* TextureDimensionSuffix(int32_t dimension) {
    switch (dimension) {
        case TEXTURE_DIMENSION_2D:
            return "2D";
        case TEXTURE_DIMENSION_3D:
            return "3D";
        case TEXTURE_DIMENSION_CUBE:
            return "CUBE";
        default:
            return "";
    }
}

// Operations that bind at least as tightly as "*": primaries, postfix and prefix forms.
bool BindsTightly(const Node* node) {
    if (node == nullptr || node->kind != NODE_OPERATION) {
        return true;
    }
    switch (static_cast<const OperationNode*>(node)->operatorId) {
        case OP_PARENTHESES:
        case OP_MEMBER:
        case OP_INDEX:
        case OP_POST_DECREMENT:
        case OP_POST_INCREMENT:
        case OP_PRE_DECREMENT:
        case OP_PRE_INCREMENT:
        case OP_BIT_NOT:
        case OP_LOGICAL_NOT:
        case OP_NEGATE:
        case OP_UNARY_PLUS:
            return true;
        default:
            return false;
    }
}

Node* Argument(const DeclarationNode* arguments, int32_t index) {
    return arguments != nullptr && index < arguments->children.count ? arguments->children[index] : nullptr;
}

}  // namespace

HLSL9Translator::HLSL9Translator(MessageLog* messageLog)
    : Translator(messageLog),
      pixelInputPositionSemantic("VPOS"),
      pixelOutputSemantic("COLOR"),
      vertexOutputPositionSemantic("POSITION"),
      pendingBuiltins(),
      pixelTextures(nullptr),
      reciprocalDeclared() {
    // Shader model 3 samples through the tex functions; GetFunctionName adds the dimension.
    const char* const sampling[] = {"sampleTexture", "sampleTextureGrad", "sampleTextureLod",
                                    "sampleTextureLodOffset"};
    for (const char* name : sampling) {
        const char** slot = renames.GetOrCreate(name);
        if (slot != nullptr) {
            *slot = "tex";
        }
    }
}

void HLSL9Translator::Reset() {
    Translator::Reset();
    for (const char*& pending : pendingBuiltins) {
        pending = nullptr;
    }
    pixelTextures = nullptr;
    memset(reciprocalDeclared, 0, sizeof(reciprocalDeclared));
}

void HLSL9Translator::GetFunctionName(String& name, const Symbol& call) {
    Translator::GetFunctionName(name, call);
    if (!IsSamplingFunction(call.functionId)) {
        return;
    }
    name.Append(TextureDimensionSuffix(NodeTypeOf(Argument(CallArguments(call), 0)).textureDimension));
    if (call.functionId == FUNCTION_SAMPLE_TEXTURE_GRAD) {
        name.Append("grad");
    } else if (call.functionId != FUNCTION_SAMPLE_TEXTURE) {
        name.Append("lod");
    }
}

void HLSL9Translator::SetShaderDescription(const ShaderDescription& shaderDescription) {
    if (stage == STAGE_PIXEL) {
        pixelTextures = &shaderDescription.pixelTextures;
    }
}

void HLSL9Translator::ReportUnsupportedFunction(const Symbol& call) {
    ReportError("function '%s' is not supported.", call.name.CStr());
}

void HLSL9Translator::ReportUnsupportedInput(const char* member) {
    ReportError("'input.%s' is not supported.", member);
}

void HLSL9Translator::RequireBuiltin(int32_t slot, const char* declaration) {
    if (pendingBuiltins[slot] == nullptr) {
        pendingBuiltins[slot] = declaration;
    }
}

void HLSL9Translator::WriteFunctionCall(Symbol* call) {
    if (!call->isBuiltin) {
        Translator::WriteFunctionCall(call);
        return;
    }
    if (IsBufferOrRayFunction(call->functionId)) {
        ReportUnsupportedFunction(*call);
        Translator::WriteFunctionCall(call);
        return;
    }
    switch (call->functionId) {
        case FUNCTION_SAMPLE_TEXTURE_LOD:
        case FUNCTION_SAMPLE_TEXTURE_LOD_OFFSET:
            WriteLevelOfDetailSample(call);
            return;
        default:
            break;
    }
    if (!WriteVectorCast(call)) {
        Translator::WriteFunctionCall(call);
    }
}

bool HLSL9Translator::WriteVectorCast(Symbol* call) {
    const DeclarationNode* arguments = CallArguments(*call);
    if (!IsVectorConstructor(call->functionId) || arguments == nullptr || arguments->children.count != 1 ||
        NodeTypeOf(arguments->children[0]).vectorSize == call->type.vectorSize) {
        return false;
    }
    String name;
    GetTypeName(name, call->type);
    body.AppendFormat("(%s)(", name.CStr());
    WriteNode(arguments->children[0]);
    Append(")");
    return true;
}

void HLSL9Translator::WriteTightOperand(Node* node) {
    const bool parenthesize = !BindsTightly(node);
    Append(parenthesize ? "(" : "");
    WriteNode(node);
    Append(parenthesize ? ")" : "");
}

int32_t HLSL9Translator::FindPixelTexture(const char* name) const {
    if (pixelTextures == nullptr || name == nullptr) {
        return -1;
    }
    for (int32_t i = 0; i < pixelTextures->count; ++i) {
        if ((*pixelTextures)[i].name.Equals(name)) {
            return i;
        }
    }
    return -1;
}

// tex2Dlod and its kin take one float4: the coordinates, padded to three components, then the
// level. The offset form moves the coordinates by whole texels through a constant that holds
// the texture's reciprocal size; the constant's value is bound from outside the shader.
void HLSL9Translator::WriteLevelOfDetailSample(Symbol* call) {
    const DeclarationNode* arguments = CallArguments(*call);
    Node* texture = Argument(arguments, 0);
    Node* coordinates = Argument(arguments, 1);
    Node* level = Argument(arguments, 2);
    Node* offset = Argument(arguments, 3);
    const bool withOffset = call->functionId == FUNCTION_SAMPLE_TEXTURE_LOD_OFFSET;
    const int32_t dimension = NodeTypeOf(texture).textureDimension;
    String constant;
    if (withOffset) {
        const int32_t position = FindPixelTexture(TextureArgumentName(texture));
        // A texel offset has no meaning on a cube, and the constants exist for eight textures.
        if (dimension == TEXTURE_DIMENSION_CUBE || position < 0 || position >= RECIPROCAL_TEXTURE_COUNT) {
            ReportUnsupportedFunction(*call);
            Translator::WriteFunctionCall(call);
            return;
        }
        constant = String::FromFormat("_const_reciprocal_texture_dimensions_%i", position);
        if (!reciprocalDeclared[position]) {
            declarations.AppendFormat("%s %s;\n", dimension == TEXTURE_DIMENSION_2D ? "float2" : "float3",
                                      constant.CStr());
            reciprocalDeclared[position] = 1;
        }
    }
    String name;
    GetFunctionName(name, *call);
    body.AppendFormat("%s(", name.CStr());
    WriteNode(texture);
    Append(", float4(");
    if (withOffset) {
        WriteTightOperand(coordinates);
        body.AppendFormat(" + %s * ", constant.CStr());
        WriteTightOperand(offset);
    } else {
        WriteNode(coordinates);
    }
    body.AppendFormat(", %s", NodeTypeOf(coordinates).vectorSize == 2 ? "0.0f, " : "");
    WriteNode(level);
    Append("))");
}

void HLSL9Translator::WriteFunctionDefinition(Symbol* function) {
    if (function->name.Equals("main") && function->children.count >= 2 && function->children[1] != nullptr) {
        WriteEntryPoint(function);
        return;
    }
    Translator::WriteFunctionDefinition(function);
}

void HLSL9Translator::WriteEntryPoint(Symbol* main) {
    const char* output = "";
    const char* input = "";
    if (stage == STAGE_VERTEX) {
        output = "VertexOutput";
        input = "VertexInput";
    } else if (stage == STAGE_PIXEL) {
        output = "PixelOutput";
        input = "PixelInput";
    }
    body.AppendFormat("%s main(%s input)\n", output, input);
    WriteIndentation();
    Append("{\n");
    depth += 1;
    WriteIndentation();
    body.AppendFormat("%s output;\n", output);
    Node* mainBody = main->children[1];
    if (mainBody->kind == NODE_DECLARATION) {
        DeclarationNode* block = static_cast<DeclarationNode*>(mainBody);
        insideFunction = 1;
        WriteStatementBlock(block, false);
        insideFunction = 0;
        if (block->children.count > 0) {
            Append("\n");
        }
    }
    WriteIndentation();
    Append("return output;\n");
    depth -= 1;
    WriteIndentation();
    Append("}");
}

bool HLSL9Translator::WriteMatrixProduct(OperationNode* operation) {
    const Type left = NodeTypeOf(operation->left);
    const Type right = NodeTypeOf(operation->right);
    const bool product =
        (left.matrixSize > 0 && right.vectorSize >= 2) || (left.vectorSize >= 2 && right.matrixSize > 0);
    if (!product) {
        return false;
    }
    if (operation->operatorId == OP_MULTIPLY_ASSIGN) {
        WriteNode(operation->left);
        Append(" = ");
    }
    Append("mul(");
    WriteNode(operation->left);
    Append(", ");
    WriteNode(operation->right);
    Append(")");
    return true;
}

void HLSL9Translator::WriteBinaryExpression(OperationNode* operation) {
    const int32_t id = operation->operatorId;
    if ((id == OP_MULTIPLY || id == OP_MULTIPLY_ASSIGN) && WriteMatrixProduct(operation)) {
        return;
    }
    if (id == OP_MEMBER && WriteBlockMemberAccess(operation)) {
        return;
    }
    Translator::WriteBinaryExpression(operation);
}

bool HLSL9Translator::WriteStageBlockAccess(OperationNode* access, const char* texturePrefix) {
    const char* member = StageBlockMember(access, "texture");
    if (member != nullptr) {
        body.AppendFormat("%s%s", texturePrefix, member);
        return true;
    }
    if ((member = StageBlockMember(access, "input")) != nullptr) {
        return WriteBuiltinVariable(member);
    }
    if ((member = StageBlockMember(access, "buffers")) != nullptr) {
        return GetBufferName(member);
    }
    if ((member = StageBlockMember(access, "constants")) != nullptr) {
        body.AppendFormat("_const_%s", member);
        return true;
    }
    if ((member = StageBlockMember(access, "images")) != nullptr) {
        return GetImageName(member);
    }
    return false;
}

// Sampling functions take the sampler as an ordinary first argument, so a texture is its sampler.
bool HLSL9Translator::WriteBlockMemberAccess(OperationNode* access) {
    return WriteStageBlockAccess(access, "_tex_");
}

bool HLSL9Translator::WriteBuiltinVariable(const char* member) {
    const bool direction = strcmp(member, "face_direction") == 0;
    if (direction || strcmp(member, "is_front_facing") == 0) {
        RequireBuiltin(PENDING_FACING, "float _facing : VFACE");
        Append(direction ? "input._facing" : "(input._facing > 0.0f)");
        return true;
    }
    static const char* const kUnsupported[] = {
        "dispatch_id",  "dispatch_size", "hit_attribute", "instance_custom_id",  "instance_id",
        "primitive_id", "ray_length",    "vertex_id",     "world_ray_direction", "world_ray_origin",
    };
    for (const char* name : kUnsupported) {
        if (strcmp(member, name) == 0) {
            ReportUnsupportedInput(member);
            return true;
        }
    }
    return false;
}

bool HLSL9Translator::GetBufferName(const char*) {
    return false;
}

bool HLSL9Translator::GetImageName(const char*) {
    return false;
}

void HLSL9Translator::WriteBufferDeclarations(const ShaderDescription&) {}

void HLSL9Translator::WriteImageDeclarations(const ShaderDescription&) {}

void HLSL9Translator::WriteRayTextureDeclarations(const ShaderDescription&) {}

void HLSL9Translator::WriteVariableReference(VariableNode* variable) {
    if (!variable->stageConstant) {
        Append(variable->name.CStr());
    } else if (variable->type.kind == TYPE_INT) {
        // Shader model 3 keeps constants in float registers; integers are read back from them.
        body.AppendFormat("int%i(_const_%s)", variable->type.vectorSize, variable->name.CStr());
    } else {
        body.AppendFormat("_const_%s", variable->name.CStr());
    }
}

void HLSL9Translator::WriteVariableDeclaration(DeclarationNode* declaration) {
    if (!insideFunction) {
        Append("static ");
    }
    Translator::WriteVariableDeclaration(declaration);
}

void HLSL9Translator::WriteInterfaceDeclarations(const ShaderDescription& shaderDescription) {
    if (declarations.Length() > 0) {
        declarations.AppendChar('\n');
    }
    switch (stage) {
        case STAGE_VERTEX:
            WriteVertexInputStructure(shaderDescription);
            WriteConstantDeclarations(shaderDescription.vertexConstants);
            WriteStageVariableStructure(shaderDescription, false);
            break;
        case STAGE_PIXEL:
            WriteStageVariableStructure(shaderDescription, true);
            WriteConstantDeclarations(shaderDescription.pixelConstants);
            WriteTextureDeclarations();
            WritePixelOutputStructure(shaderDescription);
            break;
        case STAGE_RCHIT:
        case STAGE_RGEN:
        case STAGE_RMISS:
            WriteConstantDeclarations(shaderDescription.constants);
            WriteBufferDeclarations(shaderDescription);
            WriteImageDeclarations(shaderDescription);
            WriteRayTextureDeclarations(shaderDescription);
            break;
        default:
            break;
    }
}

void HLSL9Translator::WriteVertexInputStructure(const ShaderDescription& shaderDescription) {
    declarations.Append("struct VertexInput\n{\n");
    String type;
    for (const ShaderVariable& input : shaderDescription.vertexInputs) {
        const char* semantic = VertexInputSemantic(input.semantic);
        if (strcmp(semantic, "BLENDINDICES") == 0) {
            type = "uint4";
        } else {
            GetTypeName(type, input.type);
        }
        declarations.AppendFormat("\t%s %s : %s;\n", type.CStr(), input.name.CStr(), semantic);
    }
    for (int32_t slot = PENDING_INSTANCE_ID; slot <= PENDING_VERTEX_ID; ++slot) {
        if (pendingBuiltins[slot] != nullptr) {
            declarations.AppendFormat("\t%s;\n", pendingBuiltins[slot]);
        }
    }
    declarations.Append("};\n");
}

// "VertexOutput" and "PixelInput" both list the vertex outputs, so the two stages agree member by
// member.
void HLSL9Translator::WriteStageVariableStructure(const ShaderDescription& shaderDescription,
                                                  bool pixelInput) {
    if (!pixelInput && shaderDescription.vertexOutputs.count > 0) {
        declarations.AppendChar('\n');
    }
    declarations.AppendFormat("struct %s\n{\n", pixelInput ? "PixelInput" : "VertexOutput");
    String type;
    // A matrix takes a register per column from its semantic index on, so the next variable of
    // its semantic starts after them rather than at the next index.
    int32_t nextColor = 0;
    int32_t nextTextureCoordinate = 0;
    for (const StageVariable& output : shaderDescription.vertexOutputs) {
        String semantic;
        if (output.semantic == OUTPUT_COLOR) {
            semantic = String::FromFormat("COLOR%i", nextColor);
            nextColor += StageVariableSlotCount(output.type);
        } else if (output.semantic == OUTPUT_TEXTURE_COORDINATE) {
            semantic = String::FromFormat("TEXCOORD%i", nextTextureCoordinate);
            nextTextureCoordinate += StageVariableSlotCount(output.type);
        } else if (output.semantic == OUTPUT_POSITION) {
            semantic = pixelInput ? pixelInputPositionSemantic : vertexOutputPositionSemantic;
        }
        GetTypeName(type, output.type);
        declarations.AppendFormat("\t%s %s : %s;\n", type.CStr(), output.name.CStr(), semantic.CStr());
    }
    if (pixelInput && pendingBuiltins[PENDING_FACING] != nullptr) {
        declarations.AppendFormat("\t%s;\n", pendingBuiltins[PENDING_FACING]);
    }
    declarations.Append("};\n");
}

void HLSL9Translator::WritePixelOutputStructure(const ShaderDescription& shaderDescription) {
    if (shaderDescription.pixelOutputs.count > 0) {
        declarations.AppendChar('\n');
    }
    declarations.Append("struct PixelOutput\n{\n");
    for (int32_t i = 0; i < shaderDescription.pixelOutputs.count; ++i) {
        declarations.AppendFormat("\tfloat4 %s : %s%i;\n", shaderDescription.pixelOutputs[i].CStr(),
                                  pixelOutputSemantic, i);
    }
    declarations.Append("};\n");
}

// Shader model 3 has no constant buffers: constants are globals, integer vectors held as floats.
void HLSL9Translator::WriteConstantDeclarations(const Array<ShaderVariable>& constants) {
    if (constants.count == 0) {
        return;
    }
    declarations.AppendChar('\n');
    String type;
    for (const ShaderVariable& constant : constants) {
        Type declared = constant.type;
        if (declared.kind == TYPE_INT && declared.vectorSize == 4) {
            declared.kind = TYPE_FLOAT;
        }
        GetTypeName(type, declared);
        if (declared.arraySize != 0) {
            declarations.AppendFormat("%s _const_%s[%i];\n", type.CStr(), constant.name.CStr(),
                                      declared.arraySize);
        } else {
            declarations.AppendFormat("%s _const_%s;\n", type.CStr(), constant.name.CStr());
        }
    }
}

void HLSL9Translator::WriteTextureDeclarations() {
    if (pixelTextures == nullptr || pixelTextures->count == 0) {
        return;
    }
    declarations.AppendChar('\n');
    for (int32_t i = 0; i < pixelTextures->count; ++i) {
        declarations.AppendFormat("sampler _tex_%s : register(s%i);\n", (*pixelTextures)[i].name.CStr(), i);
    }
}

}  // namespace ShaderTool
