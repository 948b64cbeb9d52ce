// The OpenGL family's shared writing (prefixed globals for the stage blocks, GLSL type names, the
// function mapping, array constructors, the flipped fragment position) and what the GLSL 1.20
// target writes on its own: attributes, varyings, gl_FragColor, the texture2D family and mod().
#include "shadertool/GLSL21Translator.h"

#include <cstring>

#include "shadertool/ExpressionTyping.h"

namespace ShaderTool {

namespace {

enum { OUTPUT_POSITION = 1 };  // the vertex output semantic of the position

const char kViewportUniform[] = "viewport_dimensions";

bool IsSamplingVariant(int32_t id) {
    return id == FUNCTION_SAMPLE_TEXTURE_GRAD || id == FUNCTION_SAMPLE_TEXTURE_LOD ||
           id == FUNCTION_SAMPLE_TEXTURE_LOD_OFFSET;
}

bool IsSamplingFunction(int32_t id) {
    return id == FUNCTION_SAMPLE_TEXTURE || IsSamplingVariant(id);
}

// "int" or "ivec%i", "float" or "vec%i": the scalar or vector of a size.
String SizedTypeName(const char* scalar, const char* vector, int32_t size) {
    return size >= 2 ? String::FromFormat("%s%i", vector, size) : String(scalar);
}

bool IsInitializerList(const Node* node) {
    return node != nullptr && node->kind == NODE_DECLARATION &&
           static_cast<const DeclarationNode*>(node)->declarationKind == DECLARATION_BLOCK;
}

}  // namespace

GLSL21Translator::GLSL21Translator(MessageLog* messageLog) : Translator(messageLog), viewportUniformUsed(0) {
    const char* const renamed[][2] = {
        {"atan2", "atan"},
        {"frac", "fract"},
        {"lerp", "mix"},
        {"rsqrt", "inversesqrt"},
        {"sampleTexture", "texture"},
        {"sampleTextureGrad", "texture"},
        {"sampleTextureLod", "texture"},
        {"sampleTextureLodOffset", "texture"},
    };
    for (const auto& entry : renamed) {
        const char** slot = renames.GetOrCreate(entry[0]);
        if (slot != nullptr) {
            *slot = entry[1];
        }
    }
}

GLSL21Translator::~GLSL21Translator() {}

void GLSL21Translator::Reset() {
    Translator::Reset();
    positionOutputName.Assign(nullptr);
    requiredExtensions.Clear();
    viewportUniformUsed = 0;
}

void GLSL21Translator::RequireExtension(const char* name) {
    for (const char* required : requiredExtensions) {
        if (strcmp(required, name) == 0) {
            return;
        }
    }
    requiredExtensions.Push(name);
}

void GLSL21Translator::ReportUnsupportedFunction(const Symbol& call) {
    ReportError("function '%s' is not supported.", call.name.CStr());
}

void GLSL21Translator::BeginDeclarationGroup() {
    if (declarations.Length() > 0) {
        declarations.AppendChar('\n');
    }
}

int32_t GLSL21Translator::PositionOutputIndex(const ShaderDescription& shaderDescription) {
    for (int32_t i = 0; i < shaderDescription.vertexOutputs.count; ++i) {
        if (shaderDescription.vertexOutputs[i].semantic == OUTPUT_POSITION) {
            return i;
        }
    }
    return -1;
}

// texture2D, texture3DLod, textureCubeGrad ...: the name says the dimension and the variant.
void GLSL21Translator::GetFunctionName(String& name, const Symbol& call) {
    Translator::GetFunctionName(name, call);
    if (!IsSamplingFunction(call.functionId)) {
        return;
    }
    const DeclarationNode* arguments = CallArguments(call);
    const Node* texture =
        arguments != nullptr && arguments->children.count > 0 ? arguments->children[0] : nullptr;
    name.Append(TextureObjectSuffix(NodeTypeOf(texture).textureDimension));
    switch (call.functionId) {
        case FUNCTION_SAMPLE_TEXTURE_GRAD:
            name.Append("Grad");
            break;
        case FUNCTION_SAMPLE_TEXTURE_LOD:
            name.Append("Lod");
            break;
        case FUNCTION_SAMPLE_TEXTURE_LOD_OFFSET:
            name.Append("LodOffset");
            break;
        default:
            break;
    }
}

void GLSL21Translator::GetTypeName(String& name, const Type& type) {
    switch (type.kind) {
        case TYPE_FLOAT:
            name = type.matrixSize > 0 ? String::FromFormat("mat%i", type.matrixSize)
                                       : SizedTypeName("float", "vec", type.vectorSize);
            return;
        case TYPE_INT:
            name = SizedTypeName("int", "ivec", type.vectorSize);
            return;
        case TYPE_UINT:
            if (target != TARGET_SPIRV) {
                ReportError("unsigned integers are not supported.");
            }
            name = SizedTypeName("uint", "uvec", type.vectorSize);
            return;
        default:
            Translator::GetTypeName(name, type);
            return;
    }
}

// The extensions are known only once the body is written, which is why the prologue comes last.
void GLSL21Translator::WritePrologue() {
    if (requiredExtensions.count == 0) {
        return;
    }
    TextBuilder prologue;
    for (const char* extension : requiredExtensions) {
        prologue.AppendFormat("#extension %s : require\n", extension);
    }
    prologue.AppendChar('\n');
    PrependDeclarations(prologue.CStr(), prologue.Length());
}

void GLSL21Translator::PrependDeclarations(const char* text, int32_t length) {
    TextBuilder joined;
    joined.Append(text, length);
    joined.Append(declarations.CStr(), declarations.Length());
    declarations.Clear();
    declarations.Append(joined.CStr(), joined.Length());
}

void GLSL21Translator::SetShaderDescription(const ShaderDescription& shaderDescription) {
    if (stage != STAGE_VERTEX && stage != STAGE_PIXEL) {
        return;
    }
    const int32_t position = PositionOutputIndex(shaderDescription);
    if (position >= 0) {
        positionOutputName = shaderDescription.vertexOutputs[position].name;
    }
}

// An initialiser list becomes an array constructor: " = vec4[](" with an element per line.
void GLSL21Translator::WriteInitializer(OperationNode* assignment) {
    if (!IsInitializerList(assignment->right)) {
        Translator::WriteInitializer(assignment);
        return;
    }
    const DeclarationNode* list = static_cast<const DeclarationNode*>(assignment->right);
    String element;
    GetTypeName(element, NodeTypeOf(assignment->left));
    body.AppendFormat(" = %s[]\n", element.CStr());
    WriteInitializerElements(list, "(", ")");
}

void GLSL21Translator::WriteFunctionCall(Symbol* call) {
    const int32_t id = call->isBuiltin ? call->functionId : FUNCTION_USER;
    if (IsBufferOrRayFunction(id)) {
        ReportUnsupportedFunction(*call);
    }
    switch (id) {
        case FUNCTION_ALL:
        case FUNCTION_ANY:
            WriteBooleanReduction(call);
            return;
        case FUNCTION_SATURATE:
            WriteSaturate(call);
            return;
        case FUNCTION_SAMPLE_TEXTURE_GRAD:
        case FUNCTION_SAMPLE_TEXTURE_LOD:
        case FUNCTION_SAMPLE_TEXTURE_LOD_OFFSET:
            // GLSL 1.20 has the level-of-detail and gradient lookups only through this extension.
            RequireExtension("GL_EXT_gpu_shader4");
            break;
        default:
            break;
    }
    Translator::WriteFunctionCall(call);
}

// all() and any() take boolean vectors in GLSL, the shading language's take numeric ones.
void GLSL21Translator::WriteBooleanReduction(Symbol* call) {
    const DeclarationNode* arguments = CallArguments(*call);
    Node* argument = arguments != nullptr && arguments->children.count > 0 ? arguments->children[0] : nullptr;
    String name;
    GetFunctionName(name, *call);
    body.AppendFormat("%s(bvec%i(", name.CStr(), NodeTypeOf(argument).vectorSize);
    WriteNode(argument);
    Append("))");
}

void GLSL21Translator::WriteSaturate(Symbol* call) {
    const DeclarationNode* arguments = CallArguments(*call);
    Append("clamp(");
    WriteNode(arguments != nullptr && arguments->children.count > 0 ? arguments->children[0] : nullptr);
    // The bounds go through WriteLiteral, so that a target without float suffixes drops them.
    const char* const bounds[] = {"0.0f", "1.0f"};
    for (const char* bound : bounds) {
        LiteralNode literal;
        literal.type = Type(TYPE_FLOAT, 1);
        literal.value.Assign(bound);
        Append(", ");
        WriteLiteral(&literal);
    }
    Append(")");
}

void GLSL21Translator::WriteBinaryExpression(OperationNode* operation) {
    const int32_t id = operation->operatorId;
    if (id == OP_MEMBER && WriteBlockMemberAccess(operation)) {
        return;
    }
    if (id == OP_MODULO || id == OP_MODULO_ASSIGN) {
        WriteModulo(operation);
        return;
    }
    Translator::WriteBinaryExpression(operation);
}

// GLSL 1.20 has no integer remainder: ivec2(mod(vec2(a), vec2(b))).
void GLSL21Translator::WriteModulo(OperationNode* operation) {
    const int32_t size = NodeTypeOf(operation).vectorSize;
    const String integer = SizedTypeName("int", "ivec", size);
    const String real = SizedTypeName("float", "vec", size);
    if (operation->operatorId == OP_MODULO_ASSIGN) {
        WriteNode(operation->left);
        Append(" = ");
    }
    body.AppendFormat("%s(mod(%s(", integer.CStr(), real.CStr());
    WriteNode(operation->left);
    body.AppendFormat("), %s(", real.CStr());
    WriteNode(operation->right);
    Append(")))");
}

void GLSL21Translator::WriteInterfaceDeclarations(const ShaderDescription& shaderDescription) {
    switch (stage) {
        case STAGE_VERTEX:
            WriteVertexInputDeclarations(shaderDescription);
            WriteConstantDeclarations(shaderDescription.vertexConstants,
                                      shaderDescription.vertexConstantsSlot);
            WriteVertexOutputDeclarations(shaderDescription);
            break;
        case STAGE_PIXEL:
            WritePixelInputDeclarations(shaderDescription);
            WriteConstantDeclarations(shaderDescription.pixelConstants, shaderDescription.pixelConstantsSlot);
            WriteSamplerDeclarations(shaderDescription);
            WritePixelOutputDeclarations(shaderDescription);
            break;
        case STAGE_RCHIT:
        case STAGE_RGEN:
        case STAGE_RMISS:
            WriteConstantDeclarations(shaderDescription.constants, shaderDescription.constantsSlot);
            WriteBufferDeclarations(shaderDescription);
            WriteImageDeclarations(shaderDescription);
            WriteRayTextureDeclarations(shaderDescription);
            break;
        default:
            break;
    }
}

void GLSL21Translator::WriteBufferDeclarations(const ShaderDescription&) {}

bool GLSL21Translator::GetBufferName(const char*) {
    return false;
}

void GLSL21Translator::WriteRayTextureDeclarations(const ShaderDescription&) {}

// The viewport uniform is declared whenever the body read the position, also without other
// constants: the flipped position names it.
void GLSL21Translator::WriteConstantDeclarations(const Array<ShaderVariable>& constants, int32_t) {
    if (constants.count == 0 && !viewportUniformUsed) {
        return;
    }
    BeginDeclarationGroup();
    String type;
    for (const ShaderVariable& constant : constants) {
        GetTypeName(type, constant.type);
        if (constant.type.arraySize != 0) {
            declarations.AppendFormat("uniform %s _const_%s[%i];\n", type.CStr(), constant.name.CStr(),
                                      constant.type.arraySize);
        } else {
            declarations.AppendFormat("uniform %s _const_%s;\n", type.CStr(), constant.name.CStr());
        }
    }
    if (viewportUniformUsed) {
        declarations.AppendFormat("uniform %s _const_%s;\n", "vec4", kViewportUniform);
    }
}

bool GLSL21Translator::GetConstantName(const char* member) {
    body.AppendFormat("_const_%s", member);
    return true;
}

void GLSL21Translator::WriteImageDeclarations(const ShaderDescription&) {}

bool GLSL21Translator::GetImageName(const char*) {
    return false;
}

bool GLSL21Translator::WriteInputVariable(const char* member, const Type& type) {
    if (strcmp(member, "face_direction") == 0) {
        Append("(gl_FrontFacing ? 1.0f : -1.0f)");
        return true;
    }
    if (strcmp(member, "is_front_facing") == 0) {
        Append("gl_FrontFacing");
        return true;
    }
    if (strcmp(member, "instance_id") == 0) {
        Append("gl_InstanceID");
        return true;
    }
    static const char* const kUnsupported[] = {
        "dispatch_id", "dispatch_size", "hit_attribute",       "instance_custom_id", "primitive_id",
        "ray_length",  "vertex_id",     "world_ray_direction", "world_ray_origin",
    };
    for (const char* name : kUnsupported) {
        if (strcmp(member, name) == 0) {
            ReportError("'input.%s' is not supported.", member);
            return true;
        }
    }
    if (stage == STAGE_VERTEX) {
        // Attributes are floating point; an integer input is converted back where it is read.
        if (type.kind == TYPE_FLOAT) {
            body.AppendFormat("_in_%s", member);
        } else {
            String name;
            GetTypeName(name, type);
            body.AppendFormat("%s(_in_%s)", name.CStr(), member);
        }
        return true;
    }
    if (stage == STAGE_PIXEL) {
        if (positionOutputName.Equals(member)) {
            // GL's window origin is the lower left corner: the vertical axis is flipped by the
            // viewport height, which the uniform's second component holds.
            body.AppendFormat("vec4(gl_FragCoord.x, _const_%s.y - gl_FragCoord.y, gl_FragCoord.zw)",
                              kViewportUniform);
            viewportUniformUsed = 1;
        } else {
            body.AppendFormat("_vary_%s", member);
        }
        return true;
    }
    return false;
}

bool GLSL21Translator::WriteBlockMemberAccess(OperationNode* access) {
    const char* member = StageBlockMember(access, "input");
    if (member != nullptr) {
        return WriteInputVariable(member, NodeTypeOf(access));
    }
    if ((member = StageBlockMember(access, "output")) != nullptr) {
        return WriteOutputVariable(member);
    }
    if ((member = StageBlockMember(access, "buffers")) != nullptr) {
        return GetBufferName(member);
    }
    if ((member = StageBlockMember(access, "constants")) != nullptr) {
        return GetConstantName(member);
    }
    if ((member = StageBlockMember(access, "images")) != nullptr) {
        return GetImageName(member);
    }
    if ((member = StageBlockMember(access, "texture")) != nullptr) {
        return GetTextureName(member);
    }
    return false;
}

bool GLSL21Translator::WriteOutputVariable(const char* member) {
    if (stage == STAGE_VERTEX) {
        body.AppendFormat(positionOutputName.Equals(member) ? "gl_Position" : "_vary_%s", member);
        return true;
    }
    if (stage == STAGE_PIXEL) {
        Append("gl_FragColor");
        return true;
    }
    return false;
}

const char* GLSL21Translator::IntegerInterpolation(const Type& type) {
    return type.kind == TYPE_INT || type.kind == TYPE_UINT ? "flat " : "";
}

void GLSL21Translator::DeclareStageVariables(const ShaderDescription& shaderDescription,
                                             const char* qualifier, bool newGroup, bool flatIntegers) {
    String type;
    for (const StageVariable& output : shaderDescription.vertexOutputs) {
        if (output.semantic == OUTPUT_POSITION) {
            continue;
        }
        if (newGroup) {
            BeginDeclarationGroup();
            newGroup = false;
        }
        GetTypeName(type, output.type);
        declarations.AppendFormat("%s%s %s _vary_%s;\n",
                                  flatIntegers ? IntegerInterpolation(output.type) : "", qualifier,
                                  type.CStr(), output.name.CStr());
    }
}

void GLSL21Translator::WritePixelInputDeclarations(const ShaderDescription& shaderDescription) {
    DeclareStageVariables(shaderDescription, "varying", false, false);
}

void GLSL21Translator::WritePixelOutputDeclarations(const ShaderDescription&) {}

void GLSL21Translator::WriteSamplerDeclarations(const ShaderDescription& shaderDescription) {
    if (shaderDescription.pixelTextures.count == 0) {
        return;
    }
    BeginDeclarationGroup();
    for (const TextureVariable& texture : shaderDescription.pixelTextures) {
        declarations.AppendFormat("uniform sampler%s _tex_%s;\n",
                                  TextureObjectSuffix(texture.type.textureDimension), texture.name.CStr());
    }
}

bool GLSL21Translator::GetTextureName(const char* member) {
    body.AppendFormat("_tex_%s", member);
    return true;
}

void GLSL21Translator::DeclareVertexInputs(const ShaderDescription& shaderDescription,
                                           const char* qualifier) {
    String type;
    for (const ShaderVariable& input : shaderDescription.vertexInputs) {
        Type declared = input.type;
        declared.kind = TYPE_FLOAT;
        GetTypeName(type, declared);
        declarations.AppendFormat("%s %s _in_%s;\n", qualifier, type.CStr(), input.name.CStr());
    }
}

void GLSL21Translator::WriteVertexInputDeclarations(const ShaderDescription& shaderDescription) {
    DeclareVertexInputs(shaderDescription, "attribute");
}

void GLSL21Translator::WriteVertexOutputDeclarations(const ShaderDescription& shaderDescription) {
    DeclareStageVariables(shaderDescription, "varying", true, false);
}

}  // namespace ShaderTool
