// The Direct3D 12 writing: register spaces, the console root signature, and the ray-tracing
// stages with payloads, buffers, images and TraceRay.
#include "shadertool/HLSL12Translator.h"

#include <cstring>

#include "shadertool/ExpressionTyping.h"
#include "shadertool/TreeWalker.h"

namespace ShaderTool {

namespace {

const char kLoadIndicesFunction[] =
    "uint3 _loadIndices(ByteAddressBuffer buffer, uint offset)\n{\n\tconst uint aligned_offset = offset & "
    "~3;\n"
    "\tconst uint2 packed_indices = buffer.Load2(aligned_offset);\n\tuint3 indices;\n\n"
    "\tif (offset == aligned_offset)\n\t{\n\t\tindices.x = packed_indices.x & 0xFFFF;\n"
    "\t\tindices.y = packed_indices.x >> 16;\n\t\tindices.z = packed_indices.y & 0xFFFF;\n\t}\n\telse\n\t{\n"
    "\t\tindices.x = packed_indices.x >> 16;\n\t\tindices.y = packed_indices.y & 0xFFFF;\n"
    "\t\tindices.z = packed_indices.y >> 16;\n\t}\n\n\treturn indices;\t\n}\n";

const char kUnpackFunction[] =
    "float4 _unpackUnorm4ToFloat4(uint value)\n{\n\treturn float4\n\t(\n\t\tvalue >> 24,\n"
    "\t\t(value & 0xFF0000) >> 16,\n\t\t(value & 0xFF00) >> 8,\n\t\tvalue & 0xFF\n\t) / 255.0f;\n}\n";

const char kRootSignatureHead[] =
    "#define ROOT_SIGNATURE \\\n\t\"RootFlags(\" \\\n\t\t\"ALLOW_INPUT_ASSEMBLER_INPUT_LAYOUT |\" \\\n"
    "\t\t\"DENY_DOMAIN_SHADER_ROOT_ACCESS |\" \\\n\t\t\"DENY_GEOMETRY_SHADER_ROOT_ACCESS |\" \\\n"
    "\t\t\"DENY_HULL_SHADER_ROOT_ACCESS)";
const char kStaticData[] = "flags = DATA_STATIC_WHILE_SET_AT_EXECUTE";
const char kVisibility[] = "visibility = SHADER_VISIBILITY_";

String Register(char registerClass, int32_t number, int64_t space) {
    return String::FromFormat("register(%c%i, space%lld)", registerClass, number,
                              static_cast<long long>(space));
}

// Buffers and textures are both t registers, each (or each unbounded array) at register 0 of a
// space chosen by its slot; buffer and texture slots are numbered apart, so the two take turns:
// buffer slot N in space 2N + 1, texture slot N in space 2N + 2. Space 0 keeps the acceleration
// structure.
int64_t BufferSpace(int32_t slot) {
    return 2 * static_cast<int64_t>(slot) + 1;
}

int64_t TextureSpace(int32_t slot) {
    return 2 * static_cast<int64_t>(slot) + 2;
}

bool IsRayStage(int32_t stage) {
    return stage == STAGE_RCHIT || stage == STAGE_RGEN || stage == STAGE_RMISS;
}

const char* RayShaderKind(int32_t stage) {
    switch (stage) {
        case STAGE_RCHIT:
            return "closesthit";
        case STAGE_RGEN:
            return "raygeneration";
        default:
            return "miss";
    }
}

// Collects, in order of first use, the payload entries a function body reads or traces with.
class PayloadUses : public TreeWalker {
public:
    Array<HLSL12Translator::PayloadEntry>& table;
    Array<int32_t> used;  // indices into the table

    explicit PayloadUses(Array<HLSL12Translator::PayloadEntry>& payloadTable) : table(payloadTable) {}

protected:
    bool Enter(Node* node, int32_t) override {
        if (node->kind == NODE_OPERATION) {
            const char* member = StageBlockMember(static_cast<OperationNode*>(node), "ray_payloads");
            for (int32_t i = 0; member != nullptr && i < table.count; ++i) {
                if (table[i].payload != nullptr && table[i].payload->name.Equals(member)) {
                    Use(i);
                }
            }
        } else if (node->kind == NODE_CALL && static_cast<Symbol*>(node)->functionId == FUNCTION_TRACE) {
            const int64_t slot = TracedPayloadSlot(*static_cast<Symbol*>(node));
            if (slot >= 0 && slot < table.count && table[static_cast<int32_t>(slot)].payload != nullptr) {
                Use(static_cast<int32_t>(slot));
            }
        }
        return true;
    }

private:
    void Use(int32_t index) {
        for (int32_t seen : used) {
            if (seen == index) {
                return;
            }
        }
        used.Push(index);
    }
};

}  // namespace

HLSL12Translator::HLSL12Translator(MessageLog* messageLog)
    : HLSL11Translator(messageLog),
      loadIndicesUsed(0),
      unpackUsed(0),
      rayDescriptionDeclared(0),
      payloadStructuresWritten(0) {
    registerFlag = 1;
    const char* const renamed[][2] = {{"floatBitsToUint", "asuint"},
                                      {"loadIndices", "_loadIndices"},
                                      {"unpackUnorm4ToFloat4", "_unpackUnorm4ToFloat4"}};
    for (const auto& entry : renamed) {
        const char** slot = renames.GetOrCreate(entry[0]);
        if (slot != nullptr) {
            *slot = entry[1];
        }
    }
}

HLSL12Translator::~HLSL12Translator() {}

void HLSL12Translator::Reset() {
    HLSL11Translator::Reset();
    loadIndicesUsed = 0;
    unpackUsed = 0;
    rayDescriptionDeclared = 0;
    payloadStructuresWritten = 0;
    payloads.Clear();
    rootSignature.Assign(nullptr);
}

void HLSL12Translator::WritePrologue() {
    if (loadIndicesUsed) {
        declarations.AppendFormat("\n%s", kLoadIndicesFunction);
    }
    if (unpackUsed) {
        declarations.AppendFormat("\n%s", kUnpackFunction);
    }
}

// The payload table has one entry per payload; each record goes to the entry of its slot. A slot
// outside the table would be written outside it, so it is refused.
void HLSL12Translator::SetShaderDescription(const ShaderDescription& shaderDescription) {
    HLSL11Translator::SetShaderDescription(shaderDescription);
    payloads.Clear();
    if (!IsRayStage(stage)) {
        return;
    }
    const PayloadEntry empty = {nullptr, 0};
    for (int32_t i = 0; i < shaderDescription.rayPayloads.count; ++i) {
        payloads.Push(empty);
    }
    for (const StageVariable& payload : shaderDescription.rayPayloads) {
        if (payload.slot < 0 || payload.slot >= payloads.count) {
            ReportError("ray payload variable '%s' has slot %i, but there are only %i ray payload variables.",
                        payload.name.CStr(), payload.slot, payloads.count);
            continue;
        }
        payloads[payload.slot].payload = &payload;
    }
}

HLSL12Translator::PayloadEntry* HLSL12Translator::FindPayload(const char* name) {
    for (PayloadEntry& entry : payloads) {
        if (entry.payload != nullptr && entry.payload->name.Equals(name)) {
            return &entry;
        }
    }
    return nullptr;
}

HLSL12Translator::PayloadEntry* HLSL12Translator::PayloadOfSlot(int64_t slot) {
    if (slot < 0 || slot >= payloads.count || payloads[static_cast<int32_t>(slot)].payload == nullptr) {
        return nullptr;
    }
    return &payloads[static_cast<int32_t>(slot)];
}

String HLSL12Translator::PayloadTypeName(const StageVariable& payload) {
    if (payload.type.kind == TYPE_STRUCT) {
        return payload.type.name;
    }
    return String::FromFormat("_Pay_%s", payload.name.CStr());
}

bool HLSL12Translator::IsConsoleVariant() const {
    return (variants & (VARIANT_HLSL12_XBOX_ONE | VARIANT_HLSL12_XBOX_SX)) != 0;
}

void HLSL12Translator::WriteInterfaceDeclarations(const ShaderDescription& shaderDescription) {
    if (IsConsoleVariant()) {
        BuildRootSignature(shaderDescription);
        String interface(declarations.CStr());
        declarations.Clear();
        declarations.Append(rootSignature.CStr());
        declarations.Append(interface.CStr());
    }
    HLSL11Translator::WriteInterfaceDeclarations(shaderDescription);
    if (IsRayStage(stage)) {
        if (declarations.Length() > 0) {
            declarations.AppendChar('\n');
        }
        declarations.AppendFormat("RaytracingAccelerationStructure _acceleration_structure : %s;\n",
                                  Register('t', 0, 0).CStr());
    }
}

// The pixel constants' view is b1 whether or not there are vertex constants, like the block the
// pixel stage declares.
void HLSL12Translator::BuildRootSignature(const ShaderDescription& shaderDescription) {
    rootSignature.Assign(kRootSignatureHead);
    Array<String> items;
    if (shaderDescription.vertexConstants.count > 0) {
        items.Push(String::FromFormat("CBV(b0, %s, %sVERTEX)", kStaticData, kVisibility));
    }
    if (shaderDescription.pixelConstants.count > 0) {
        items.Push(String::FromFormat("CBV(b%i, %s, %sPIXEL)", 1, kStaticData, kVisibility));
    }
    items.Push(String::FromFormat("DescriptorTable(Sampler(s0, %s, numDescriptors = %i), %sPIXEL)",
                                  "flags = DESCRIPTORS_VOLATILE", 8, kVisibility));
    items.Push(String::FromFormat("DescriptorTable(SRV(t0, %s, numDescriptors = %i), %sPIXEL)",
                                  "flags = DESCRIPTORS_VOLATILE | DATA_STATIC_WHILE_SET_AT_EXECUTE", 8,
                                  kVisibility));
    for (const String& item : items) {
        rootSignature.AppendFormat(",\" \\\n\t\"%s", item.CStr());
    }
    rootSignature.Append("\"\n");
}

void HLSL12Translator::WriteBufferDeclarations(const ShaderDescription& shaderDescription) {
    if (shaderDescription.buffers.count == 0) {
        return;
    }
    if (declarations.Length() > 0) {
        declarations.AppendChar('\n');
    }
    for (const StageVariable& buffer : shaderDescription.buffers) {
        // Index buffers are raw: _loadIndices reads them as 16-bit pairs.
        String type("ByteAddressBuffer");
        if (!buffer.type.isIndexBuffer) {
            String element;
            GetTypeName(element, buffer.type);
            type = String::FromFormat("Buffer<%s>", element.CStr());
        }
        declarations.AppendFormat("%s _buf_%s%s : %s;\n", type.CStr(), buffer.name.CStr(),
                                  buffer.type.arraySize != 0 ? "[]" : "",
                                  Register('t', 0, BufferSpace(buffer.slot)).CStr());
    }
}

bool HLSL12Translator::GetBufferName(const char* member) {
    body.AppendFormat("_buf_%s", member);
    return true;
}

void HLSL12Translator::WriteImageDeclarations(const ShaderDescription& shaderDescription) {
    if (shaderDescription.images.count == 0) {
        return;
    }
    if (declarations.Length() > 0) {
        declarations.AppendChar('\n');
    }
    for (int32_t i = 0; i < shaderDescription.images.count; ++i) {
        const ImageVariable& image = shaderDescription.images[i];
        declarations.AppendFormat("RWTexture%s<float4> _img_%s : %s;\n",
                                  image.type.imageDimension == IMAGE_DIMENSION_2D ? "2D" : "",
                                  image.name.CStr(), Register('u', i, 0).CStr());
    }
}

bool HLSL12Translator::GetImageName(const char* member) {
    body.AppendFormat("_img_%s", member);
    return true;
}

// Ray stages bind each texture and its sampler in register spaces of their own, by slot (the
// sampler in space N, the only s registers; the texture as TextureSpace gives).
void HLSL12Translator::WriteRayTextureDeclarations(const ShaderDescription& shaderDescription) {
    if (shaderDescription.pixelTextures.count > 0) {
        if (declarations.Length() > 0) {
            declarations.AppendChar('\n');
        }
        for (const TextureVariable& texture : shaderDescription.pixelTextures) {
            const String name =
                String::FromFormat("%s%s", texture.name.CStr(), texture.type.arraySize != 0 ? "[]" : "");
            declarations.AppendFormat("%s _smp_%s : %s;\n", SamplerTypeOf(texture.name.CStr()), name.CStr(),
                                      Register('s', 0, texture.slot).CStr());
            declarations.AppendFormat("Texture%s _tex_%s : %s;\n",
                                      TextureObjectSuffix(texture.type.textureDimension), name.CStr(),
                                      Register('t', 0, TextureSpace(texture.slot)).CStr());
        }
    }
    comparisonTextures.Clear();
}

void HLSL12Translator::WritePayloadStructures() {
    for (const PayloadEntry& entry : payloads) {
        if (entry.payload == nullptr || entry.payload->type.kind == TYPE_STRUCT) {
            continue;
        }
        String type;
        GetTypeName(type, entry.payload->type);
        const char* name = entry.payload->name.CStr();
        body.AppendFormat("struct _Pay_%s\n{\n\t%s %s;\n};\n\n", name, type.CStr(), name);
    }
    payloadStructuresWritten = 1;
}

void HLSL12Translator::WriteFunctionDefinition(Symbol* function) {
    rayDescriptionDeclared = 0;
    const bool defined = function->children.count >= 2 && function->children[1] != nullptr;
    if (defined && !payloadStructuresWritten) {
        WritePayloadStructures();
    }
    if (defined && function->name.Equals("main")) {
        WriteEntryPoint(function);
        return;
    }
    Translator::WriteFunctionDefinition(function);
}

void HLSL12Translator::WriteEntryPoint(Symbol* main) {
    if (IsConsoleVariant()) {
        Append(
            "#if defined(__XBOX_ONE) || "
            "defined(__XBOX_SCARLETT)\n\n[RootSignature(ROOT_SIGNATURE)]\n\n#endif\n\n");
    }
    if (IsRayStage(stage)) {
        WriteRayEntryPoint(main);
    } else {
        HLSL9Translator::WriteEntryPoint(main);
    }
}

void HLSL12Translator::WriteRayEntryPoint(Symbol* main) {
    body.AppendFormat("[shader(\"%s\")]\n", RayShaderKind(stage));
    Append("void main(");
    const char* separator = "";
    if (stage == STAGE_RCHIT || stage == STAGE_RMISS) {
        for (PayloadEntry& entry : payloads) {
            if (entry.payload != nullptr && entry.payload->inputFlag) {
                body.AppendFormat("inout %s _pay_%s", PayloadTypeName(*entry.payload).CStr(),
                                  entry.payload->name.CStr());
                entry.declared = 1;
                separator = ", ";
                break;
            }
        }
    }
    if (stage == STAGE_RCHIT) {
        body.AppendFormat("%sBuiltInTriangleIntersectionAttributes _hit_attributes", separator);
    }
    Append(")\n");
    WriteIndentation();
    Append("{\n");
    depth += 1;
    Node* mainBody = main->children[1];
    DeclareUsedPayloads(mainBody);
    if (mainBody->kind == NODE_DECLARATION) {
        insideFunction = 1;
        WriteStatementBlock(static_cast<DeclarationNode*>(mainBody), false);
        insideFunction = 0;
    }
    depth -= 1;
    WriteIndentation();
    Append("}");
}

// Declaring a payload where it is first used could put the declaration inside an expression or
// a nested block that a later use cannot see; at the top of the body every use sees it.
void HLSL12Translator::DeclareUsedPayloads(Node* mainBody) {
    PayloadUses uses(payloads);
    uses.Walk(mainBody);
    for (int32_t index : uses.used) {
        PayloadEntry& entry = payloads[index];
        if (entry.declared) {
            continue;
        }
        WriteIndentation();
        body.AppendFormat("%s _pay_%s;\n", PayloadTypeName(*entry.payload).CStr(),
                          entry.payload->name.CStr());
        entry.declared = 1;
    }
}

bool HLSL12Translator::WriteBlockMemberAccess(OperationNode* access) {
    const char* member = StageBlockMember(access, "ray_payloads");
    if (member == nullptr) {
        return HLSL11Translator::WriteBlockMemberAccess(access);
    }
    PayloadEntry* entry = FindPayload(member);
    if (entry == nullptr) {
        return false;
    }
    if (!entry->declared) {
        // Only outside the entry point, which declares the payloads it uses up front.
        body.AppendFormat("%s _pay_%s;\n", PayloadTypeName(*entry->payload).CStr(), member);
        WriteIndentation();
        entry->declared = 1;
    }
    if (entry->payload->type.kind == TYPE_STRUCT) {
        body.AppendFormat("_pay_%s", member);
    } else {
        body.AppendFormat("_pay_%s.%s", member, member);
    }
    return true;
}

bool HLSL12Translator::WriteBuiltinVariable(const char* member) {
    static const char* const kRayInputs[][2] = {
        {"dispatch_id", "DispatchRaysIndex()"},
        {"dispatch_size", "DispatchRaysDimensions()"},
        {"hit_attribute", "_hit_attributes.barycentrics"},
        {"instance_custom_id", "InstanceID()"},
        {"instance_id", "InstanceIndex()"},
        {"primitive_id", "PrimitiveIndex()"},
        {"ray_length", "RayTCurrent()"},
        {"world_ray_direction", "WorldRayDirection()"},
        {"world_ray_origin", "WorldRayOrigin()"},
    };
    // The ray intrinsics exist in the ray stages only; a vertex shader's instance_id stays an input.
    if (IsRayStage(stage)) {
        for (const auto& input : kRayInputs) {
            if (strcmp(member, input[0]) == 0) {
                Append(input[1]);
                return true;
            }
        }
    }
    return HLSL11Translator::WriteBuiltinVariable(member);
}

void HLSL12Translator::WriteFunctionCall(Symbol* call) {
    const DeclarationNode* arguments = CallArguments(*call);
    if (!call->isBuiltin || arguments == nullptr) {
        HLSL11Translator::WriteFunctionCall(call);
        return;
    }
    switch (call->functionId) {
        case FUNCTION_FLOAT_BITS_TO_UINT:
            Translator::WriteFunctionCall(call);
            return;
        case FUNCTION_LOAD_INDICES:
            loadIndicesUsed = 1;
            Translator::WriteFunctionCall(call);
            return;
        case FUNCTION_UNPACK_UNORM4_TO_FLOAT4:
            unpackUsed = 1;
            Translator::WriteFunctionCall(call);
            return;
        case FUNCTION_OBJECT_SPACE_TO_WORLD:
            if (arguments->children.count == 1) {
                Append("mul(ObjectToWorld3x4(), (");
                WriteNode(arguments->children[0]);
                Append("))");
                return;
            }
            break;
        case FUNCTION_STORE_IMAGE:
            if (arguments->children.count == 3) {
                WriteNode(arguments->children[0]);
                Append("[");
                WriteNode(arguments->children[1]);
                Append("] = ");
                WriteNode(arguments->children[2]);
                return;
            }
            break;
        case FUNCTION_TRACE:
            WriteTrace(call);
            return;
        default:
            break;
    }
    HLSL11Translator::WriteFunctionCall(call);
}

// trace() becomes statements: the ray description's fields, then TraceRay. The caller's
// statement end closes the call.
void HLSL12Translator::WriteTrace(Symbol* call) {
    const DeclarationNode* arguments = CallArguments(*call);
    const int64_t slot = TracedPayloadSlot(*call);
    PayloadEntry* entry = PayloadOfSlot(slot);
    if (arguments == nullptr || arguments->children.count != 9 || entry == nullptr) {
        ReportError("ray payload slot %lld of trace() has no ray payload variable.",
                    static_cast<long long>(slot));
        Translator::WriteFunctionCall(call);
        return;
    }
    if (!entry->declared) {
        body.AppendFormat("%s _pay_%s;\n", PayloadTypeName(*entry->payload).CStr(),
                          entry->payload->name.CStr());
        WriteIndentation();
        entry->declared = 1;
    }
    if (!rayDescriptionDeclared) {
        Append("RayDesc _ray_description;\n");
        WriteIndentation();
        rayDescriptionDeclared = 1;
    }
    static const char* const kFields[] = {"Origin", "TMin", "Direction", "TMax"};
    for (int32_t i = 0; i < 4; ++i) {
        body.AppendFormat("_ray_description.%s = ", kFields[i]);
        WriteNode(arguments->children[4 + i]);
        Append(";\n");
        WriteIndentation();
    }
    Append("TraceRay(_acceleration_structure");
    for (int32_t i = 0; i < 4; ++i) {
        Append(i == 3 ? ", 0, " : ", ");
        WriteNode(arguments->children[i]);
    }
    body.AppendFormat(", _ray_description, _pay_%s)", entry->payload->name.CStr());
}

}  // namespace ShaderTool
