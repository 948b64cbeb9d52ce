// The Shader XML variable arrays: constants, vertex inputs and outputs, pixel textures and
// outputs, buffers, images and ray payloads, read node by node with every attribute checked.
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/ApiTable.h"
#include "data/DMRecords.h"
#include "shadertool/ShaderXmlReader.h"
#include "shadertool/SyntaxTree.h"
#include "shadertool/TargetNames.h"

namespace ShaderTool {

namespace {

struct ValueTypeName {
    const char* name;
    int32_t kind;
    int32_t vectorSize;
    int32_t matrixSize;
};

const ValueTypeName kValueTypes[] = {
    {"BOOL", TYPE_BOOL, 1, 0},      {"FLOAT", TYPE_FLOAT, 1, 0},    {"FLOAT2", TYPE_FLOAT, 2, 0},
    {"FLOAT3", TYPE_FLOAT, 3, 0},   {"FLOAT4", TYPE_FLOAT, 4, 0},   {"FLOAT2X2", TYPE_FLOAT, 0, 2},
    {"FLOAT3X3", TYPE_FLOAT, 0, 3}, {"FLOAT4X4", TYPE_FLOAT, 0, 4}, {"INT", TYPE_INT, 1, 0},
    {"INT2", TYPE_INT, 2, 0},       {"INT3", TYPE_INT, 3, 0},       {"INT4", TYPE_INT, 4, 0},
};

struct VertexSemantic {
    const char* name;
    int32_t bit;
    int32_t kind;
    int32_t vectorSize;
};

const VertexSemantic kVertexSemantics[] = {
    {"POSITION", 1, TYPE_FLOAT, 4},
    {"COLOR", 2, TYPE_FLOAT, 4},
    {"TEXTURE_COORDINATE_0", 4, TYPE_FLOAT, 2},
    {"NORMAL", 8, TYPE_FLOAT, 3},
    {"TEXTURE_COORDINATE_1", 16, TYPE_FLOAT, 2},
    {"TANGENT", 32, TYPE_FLOAT, 3},
    {"BITANGENT", 64, TYPE_FLOAT, 3},
    {"4_BONE_INDICES", 128, TYPE_INT, 4},
    {"4_BONE_WEIGHTS", 256, TYPE_FLOAT, 4},
};

// The vertex formats the renderer has input layouts for.
const int32_t kVertexFormats[] = {1, 7, 15, 47, 111, 385, 399, 495};

const char* const kConstantSemantics[] = {"WORLD_TRANSFORM", "WORLD_VIEW_TRANSFORM",
                                          "WORLD_VIEW_PROJECTION_TRANSFORM", "VIEW_TRANSFORM",
                                          "VIEW_PROJECTION_TRANSFORM"};
const char* const kAddressModes[] = {"CLAMP", "WRAP", "MIRROR"};
const char* const kFilterModes[] = {"POINT", "LINEAR", "ANISOTROPIC"};

const int32_t kMaxVertexInputs = 9;
const int32_t kMaxPixelTextures = 8;
// Counts above this would overflow the byte size of a matrix array.
const int32_t kMaxConstantCount = INT32_MAX / 64;

bool AllDigits(const char* text) {
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9') {
            return false;
        }
    }
    return true;
}

// Decimal digits only; saturates at INT32_MAX.
int32_t DigitsValue(const char* text) {
    int64_t value = 0;
    for (const char* c = text; *c != '\0' && value <= INT32_MAX; ++c) {
        value = value * 10 + (*c - '0');
    }
    return value > INT32_MAX ? INT32_MAX : static_cast<int32_t>(value);
}

// 1-based position of text in names, 0 when absent or null.
template <size_t N>
int32_t IndexInList(const char* const (&names)[N], const char* text) {
    if (text == nullptr) {
        return 0;
    }
    for (size_t i = 0; i < N; ++i) {
        if (strcmp(names[i], text) == 0) {
            return static_cast<int32_t>(i) + 1;
        }
    }
    return -1;
}

// Absent gives 0; a listed name its 1-based position; anything else false.
template <size_t N>
bool ParseMode(const char* const (&names)[N], const char* text, int32_t* mode) {
    *mode = IndexInList(names, text);
    return *mode >= 0;
}

// Strips a trailing "[]" into the unsized array mark.
String SplitArrayMark(const char* text, bool* unsized) {
    String name(text);
    const int32_t length = name.Length();
    *unsized = length >= 2 && strcmp(name.CStr() + length - 2, "[]") == 0;
    return *unsized ? name.Substring(0, length - 2) : name;
}

Type UnsignedType(const char* name, bool isBufferElement) {
    const char* const names[] = {"UINT", "UINT2", "UINT3", "UINT4"};
    for (int32_t i = 0; i < 4; ++i) {
        if (strcmp(name, names[i]) == 0) {
            return Type(TYPE_UINT, i + 1, 0, 0, isBufferElement);
        }
    }
    return Type();
}

zq_graphics_api_t* GraphicsApi() {
    zq_api_t* api = ZQI_GetApi();
    return api != nullptr ? api->graphics : nullptr;
}

// A counted reference to a texture's source bitmap, taken as a load: a load counts every call, where
// a get counts a name only once however often it is asked for, so each description's reference can
// be given back on its own when the description is cleared.
zq_bitmap_t* GetBitmap(const char* name) {
    zq_graphics_api_t* graphics = GraphicsApi();
    return graphics != nullptr && graphics->LoadBitmap != nullptr ? graphics->LoadBitmap(name, CACHE_TEXTURE)
                                                                  : nullptr;
}

// Gives back the reference of a texture that is not kept.
void ReleaseBitmap(zq_bitmap_t* bitmap) {
    zq_graphics_api_t* graphics = GraphicsApi();
    if (bitmap != nullptr && graphics != nullptr && graphics->ReleaseBitmap != nullptr) {
        graphics->ReleaseBitmap(bitmap);
    }
}

// Names or slots met in one array.
typedef NameHashMap<int32_t> SeenSet;

// The duplicate rule over every named node of the array read so far.
bool CheckDuplicate(MessageLog* log, SeenSet* seen, const char* label, const DMNode* node,
                    const String& name) {
    if (node->GetValue("id") == nullptr) {
        return true;
    }
    bool inserted = false;
    seen->Insert(name.CStr(), 0, &inserted);
    if (!inserted) {
        log->AddErrorFormat("%s with name '%s' already exists.", label, name.CStr());
        return false;
    }
    return true;
}

// The slot rule: a slot already taken in the same array.
bool CheckSlotUnused(MessageLog* log, SeenSet* slots, const char* label, const String& name, int32_t slot) {
    if (slot < 0) {
        return true;
    }
    char key[16];
    snprintf(key, sizeof key, "%d", static_cast<int>(slot));
    bool inserted = false;
    slots->Insert(key, 0, &inserted);
    if (!inserted) {
        log->AddErrorFormat("%s '%s' has already used slot.", label, name.CStr());
        return false;
    }
    return true;
}

}  // namespace

Type ParseValueType(const char* name, bool isConst, int32_t count, bool isBufferElement) {
    if (name == nullptr) {
        return Type();
    }
    for (const ValueTypeName& entry : kValueTypes) {
        if (strcmp(entry.name, name) != 0) {
            continue;
        }
        const uint32_t qualifiers = isConst ? static_cast<uint32_t>(QUALIFIER_CONST) : 0u;
        const int32_t arraySize = count > 1 ? count : 0;
        if (entry.matrixSize > 0) {
            return Type::Matrix(entry.matrixSize, qualifiers, arraySize, isBufferElement);
        }
        return Type(entry.kind, entry.vectorSize, qualifiers, arraySize, isBufferElement);
    }
    return Type();
}

Type ParseTextureType(const char* text) {
    bool unsized = false;
    const String name = SplitArrayMark(text, &unsized);
    const char* const dimensions[] = {"2D", "3D", "CUBE"};
    const int32_t dimension = IndexInList(dimensions, name.CStr());
    if (text == nullptr || dimension <= 0) {
        return Type();
    }
    Type type = Type::Texture(dimension - 1);
    type.arraySize = unsized ? ARRAY_SIZE_UNSIZED : 0;
    return type;
}

Type ParseBufferType(const char* text) {
    bool unsized = false;
    const String name = SplitArrayMark(text, &unsized);
    Type type = ParseValueType(name.CStr(), false, 1, true);
    if (name.Equals("INDEX")) {
        type = Type(TYPE_UINT, 3, 0, 0, true);
        type.isIndexBuffer = 1;
    } else if (name.Equals("IMAGE2D")) {
        type = Type(TYPE_FLOAT, 0);
    } else if (type.kind == TYPE_NONE) {
        type = UnsignedType(name.CStr(), true);
    }
    if (text == nullptr || type.kind == TYPE_NONE) {
        return Type();
    }
    type.arraySize = unsized ? ARRAY_SIZE_UNSIZED : 0;
    return type;
}

Type ParseRayPayloadType(const char* text) {
    const Type type = ParseValueType(text, false, 1, false);
    return type.kind != TYPE_NONE || text == nullptr ? type : UnsignedType(text, false);
}

bool ParseAddressMode(const char* text, int32_t* mode) {
    return ParseMode(kAddressModes, text, mode);
}

bool ParseFilterMode(const char* text, int32_t* mode) {
    return ParseMode(kFilterModes, text, mode);
}

bool ShaderXmlReader::CheckVariableId(const DMNode* node, const char* label, String* name) {
    const char* id = node->GetValue("id");
    if (id == nullptr) {
        name->Assign("?");
        log->AddErrorFormat("%s does not have 'id' attribute.", label);
        return false;
    }
    name->Assign(id);
    if (id[0] == '_') {
        log->AddErrorFormat("%s id starts with an underscore.", label);
        return false;
    }
    return true;
}

// Absent: -1, or a fault when the slot is required. Present: a non-negative decimal number.
bool ShaderXmlReader::CheckSlot(const DMNode* node, const char* label, const char* name, bool required,
                                int32_t* slot) {
    const char* text = node->GetValue("slot");
    *slot = -1;
    if (text == nullptr && !required) {
        return true;
    }
    if (text == nullptr || text[0] == '\0' || !AllDigits(text) || DigitsValue(text) == INT32_MAX) {
        log->AddErrorFormat("%s '%s' has invalid slot.", label, name);
        return false;
    }
    *slot = DigitsValue(text);
    return true;
}

// ---- Constants -----------------------------------------------------------------------------------

bool ShaderXmlReader::ReadConstantArray(const char* arrayName, Array<ShaderVariable>* list) {
    const DMArray* array = database->GetArray(arrayName);
    if (array == nullptr) {
        return true;
    }
    bool ok = true;
    SeenSet seen;
    for (const DMNode* node : array->nodes) {
        ShaderVariable variable;
        bool nodeOk = ReadConstantVariable(node, arrayName, &variable);
        nodeOk = CheckDuplicate(log, &seen, "shader constant", node, variable.name) && nodeOk;
        if (ok && nodeOk) {
            list->Push(variable);
        }
        ok = ok && nodeOk;
    }
    return ok;
}

bool ShaderXmlReader::ReadConstantVariable(const DMNode* node, const char* arrayName,
                                           ShaderVariable* variable) {
    bool ok = true;
    const char* id = node->GetValue("id");
    variable->name.Assign(id != nullptr ? id : "?");
    if (id == nullptr) {
        log->AddErrorFormat("constant variable (%s) does not have 'id' attribute.", arrayName);
        ok = false;
    } else if (id[0] == '_') {
        log->AddErrorFormat("constant variable (%s) id starts with an underscore.", arrayName);
        ok = false;
    }
    const char* name = variable->name.CStr();

    int32_t count = 1;
    const char* countText = node->GetValue("count");
    if (countText != nullptr) {
        count = 0;
        if (AllDigits(countText)) {
            count = DigitsValue(countText);
        } else {
            const int32_t* index = definitionIndex.Find(countText);
            const ShaderDefinition* definition = index != nullptr && *index < description->definitions.count
                                                     ? &description->definitions[*index]
                                                     : nullptr;
            if (definition != nullptr && definition->literalKind == TYPE_INT) {
                const long long value = strtoll(definition->value.CStr(), nullptr, 0);
                count = value > INT32_MAX ? INT32_MAX : static_cast<int32_t>(value < 0 ? 0 : value);
            }
        }
        if (count < 1 || count > kMaxConstantCount) {
            log->AddErrorFormat("constant variable (%s) '%s' has invalid count.", arrayName, name);
            ok = false;
            count = 1;
        }
    }

    variable->type = ParseValueType(node->GetValue("type"), true, count, false);
    const Type& type = variable->type;
    const bool isMatrix = type.kind == TYPE_FLOAT && type.matrixSize > 0;
    const bool isVector4 = (type.kind == TYPE_FLOAT || type.kind == TYPE_INT) && type.vectorSize == 4;
    if (!isMatrix && !isVector4) {
        log->AddErrorFormat("constant variable (%s) '%s' has invalid type.", arrayName, name);
        ok = false;
    }

    const char* semantic = node->GetValue("semantic");
    const int32_t index = IndexInList(kConstantSemantics, semantic);
    variable->semantic = semantic == nullptr ? 1 : (index > 0 ? index + 1 : 0);
    if (variable->semantic == 0) {
        log->AddErrorFormat("constant variable (%s) '%s' has invalid semantic.", arrayName, name);
        ok = false;
    }
    variable->size = (isMatrix ? 64 : 16) * count;
    return ok;
}

// ---- Vertex inputs and outputs -------------------------------------------------------------------

bool ShaderXmlReader::ReadVertexInput() {
    const DMArray* array = database->GetArray("vertex_input");
    if (array == nullptr) {
        return true;
    }
    if (array->nodes.count > kMaxVertexInputs) {
        log->AddErrorFormat("too many vertex input variables, the maximum is %i.", kMaxVertexInputs);
        return false;
    }
    bool ok = true;
    int32_t format = 0;
    SeenSet seen;
    for (const DMNode* node : array->nodes) {
        ShaderVariable variable;
        bool nodeOk = ReadVertexInputVariable(node, &variable);
        format |= variable.semantic;
        nodeOk = CheckDuplicate(log, &seen, "vertex input", node, variable.name) && nodeOk;
        if (ok && nodeOk) {
            description->vertexInputs.Push(variable);
        }
        ok = ok && nodeOk;
    }
    bool formatKnown = false;
    for (int32_t known : kVertexFormats) {
        formatKnown = formatKnown || format == known;
    }
    if (!formatKnown) {
        log->AddError("vertex input format is invalid.");
        ok = false;
    }
    return ok;
}

// The semantic fixes both the bit and the type.
bool ShaderXmlReader::ReadVertexInputVariable(const DMNode* node, ShaderVariable* variable) {
    bool ok = CheckVariableId(node, "vertex input variable", &variable->name);
    const char* semantic = node->GetValue("semantic");
    for (const VertexSemantic& entry : kVertexSemantics) {
        if (semantic != nullptr && strcmp(entry.name, semantic) == 0) {
            variable->semantic = entry.bit;
            variable->type = Type(entry.kind, entry.vectorSize);
            return ok;
        }
    }
    log->AddErrorFormat("vertex input variable '%s' has invalid semantic.", variable->name.CStr());
    return false;
}

bool ShaderXmlReader::ReadVertexOutput() {
    const DMArray* array = database->GetArray("vertex_output");
    if (array == nullptr) {
        return true;
    }
    bool ok = true;
    int32_t semanticCounts[3] = {0, 0, 0};
    SeenSet seen;
    for (const DMNode* node : array->nodes) {
        StageVariable variable;
        bool nodeOk = ReadVertexOutputVariable(node, semanticCounts, &variable);
        nodeOk = CheckDuplicate(log, &seen, "vertex output", node, variable.name) && nodeOk;
        if (ok && nodeOk) {
            description->vertexOutputs.Push(variable);
        }
        ok = ok && nodeOk;
    }
    return ok;
}

// semanticCounts: outputs read so far per semantic (colour, position, texture coordinate).
bool ShaderXmlReader::ReadVertexOutputVariable(const DMNode* node, int32_t* semanticCounts,
                                               StageVariable* variable) {
    bool ok = CheckVariableId(node, "vertex output variable", &variable->name);
    variable->type = ParseValueType(node->GetValue("type"), false, 1, false);
    if (variable->type.kind == TYPE_NONE || !variable->type.IsValid()) {
        log->AddErrorFormat("vertex output variable '%s' has invalid type.", variable->name.CStr());
        ok = false;
    }
    const char* semantic = node->GetValue("semantic");
    variable->semantic = semantic != nullptr && strcmp(semantic, "COLOR") == 0      ? 0
                         : semantic != nullptr && strcmp(semantic, "POSITION") == 0 ? 1
                                                                                    : 2;
    if (variable->semantic == 1 && semanticCounts[1] > 0) {
        log->AddError("multiple vertex output variables with semantic 'POSITION' exist.");
        ok = false;
    }
    variable->semanticIndex = semanticCounts[variable->semantic]++;
    return ok;
}

// ---- Pixel textures and outputs ------------------------------------------------------------------

bool ShaderXmlReader::ReadPixelTextures() {
    const DMArray* array = database->GetArray("pixel_textures");
    if (array == nullptr) {
        return true;
    }
    if (array->nodes.count > kMaxPixelTextures) {
        log->AddErrorFormat("too many pixel texture variables, the maximum is %i.", kMaxPixelTextures);
        return false;
    }
    bool ok = true;
    SeenSet seen;
    SeenSet slots;
    for (const DMNode* node : array->nodes) {
        TextureVariable texture;
        bool nodeOk = ReadPixelTextureVariable(node, &texture);
        nodeOk = CheckDuplicate(log, &seen, "pixel texture", node, texture.name) && nodeOk;
        nodeOk = CheckSlotUnused(log, &slots, "pixel texture", texture.name, texture.slot) && nodeOk;
        if (ok && nodeOk) {
            description->pixelTextures.Push(texture);
        } else {
            ReleaseBitmap(texture.source);
        }
        ok = ok && nodeOk;
    }
    return ok;
}

bool ShaderXmlReader::ReadPixelTextureVariable(const DMNode* node, TextureVariable* texture) {
    bool ok = CheckVariableId(node, "pixel texture variable", &texture->name);
    const char* name = texture->name.CStr();
    ok = CheckSlot(node, "pixel texture variable", name, false, &texture->slot) && ok;

    texture->type = ParseTextureType(node->GetValue("type"));
    if (texture->type.kind == TYPE_NONE) {
        log->AddErrorFormat("pixel texture variable '%s' has invalid type.", name);
        ok = false;
    }
    ok = ReadTextureModes(node, texture, name) && ok;

    const char* source = node->GetValue("source");
    if (source != nullptr) {
        texture->source = GetBitmap(source);
        if (texture->source == nullptr) {
            log->AddErrorFormat("pixel texture variable '%s' has invalid source.", name);
            ok = false;
        }
    }
    return ok;
}

// Address modes u, v, w, then filters mag, min, mip; the first fault ends the reading.
bool ShaderXmlReader::ReadTextureModes(const DMNode* node, TextureVariable* texture, const char* name) {
    int32_t* const addresses[] = {&texture->addressU, &texture->addressV, &texture->addressW};
    const char* const addressKeys[] = {"address_u", "address_v", "address_w"};
    for (int32_t i = 0; i < 3; ++i) {
        if (!ParseAddressMode(node->GetValue(addressKeys[i]), addresses[i])) {
            *addresses[i] = 0;
            log->AddErrorFormat("pixel texture variable '%s' has invalid address mode.", name);
            return false;
        }
    }
    int32_t* const filters[] = {&texture->filterMag, &texture->filterMin, &texture->filterMip};
    const char* const filterKeys[] = {"filter_mag", "filter_min", "filter_mip"};
    for (int32_t i = 0; i < 3; ++i) {
        if (!ParseFilterMode(node->GetValue(filterKeys[i]), filters[i])) {
            *filters[i] = 0;
            log->AddErrorFormat("pixel texture variable '%s' has invalid filter mode.", name);
            return false;
        }
    }
    return true;
}

bool ShaderXmlReader::ReadPixelOutput() {
    const DMArray* array = database->GetArray("pixel_output");
    if (array == nullptr) {
        return true;
    }
    bool ok = true;
    SeenSet seen;
    for (const DMNode* node : array->nodes) {
        String name;
        bool nodeOk = CheckVariableId(node, "pixel output variable", &name);
        nodeOk = CheckDuplicate(log, &seen, "pixel output", node, name) && nodeOk;
        if (ok && nodeOk) {
            description->pixelOutputs.PushText(name.CStr());
        }
        ok = ok && nodeOk;
    }
    return ok;
}

// ---- Buffers, images, ray payloads ---------------------------------------------------------------

bool ShaderXmlReader::ReadBuffers() {
    const DMArray* array = database->GetArray("buffers");
    if (array == nullptr) {
        return true;
    }
    bool ok = true;
    SeenSet seen;
    SeenSet slots;
    for (const DMNode* node : array->nodes) {
        StageVariable buffer;
        bool nodeOk = ReadBufferVariable(node, &buffer);
        nodeOk = CheckDuplicate(log, &seen, "buffer", node, buffer.name) && nodeOk;
        nodeOk = CheckSlotUnused(log, &slots, "buffer", buffer.name, buffer.slot) && nodeOk;
        if (ok && nodeOk) {
            description->buffers.Push(buffer);
        }
        ok = ok && nodeOk;
    }
    return ok;
}

bool ShaderXmlReader::ReadBufferVariable(const DMNode* node, StageVariable* buffer) {
    bool ok = CheckVariableId(node, "buffer variable", &buffer->name);
    const char* name = buffer->name.CStr();
    ok = CheckSlot(node, "buffer variable", name, true, &buffer->slot) && ok;
    buffer->inputFlag = 0;

    buffer->type = ParseBufferType(node->GetValue("type"));
    if (buffer->type.kind == TYPE_NONE) {
        log->AddErrorFormat("buffer variable '%s' has invalid type.", name);
        ok = false;
    }
    return ok;
}

bool ShaderXmlReader::ReadImages() {
    const DMArray* array = database->GetArray("images");
    if (array == nullptr) {
        return true;
    }
    bool ok = true;
    SeenSet seen;
    for (const DMNode* node : array->nodes) {
        ImageVariable image;
        bool nodeOk = ReadImageVariable(node, &image);
        nodeOk = CheckDuplicate(log, &seen, "image", node, image.name) && nodeOk;
        if (ok && nodeOk) {
            description->images.Push(image);
        }
        ok = ok && nodeOk;
    }
    return ok;
}

bool ShaderXmlReader::ReadImageVariable(const DMNode* node, ImageVariable* image) {
    bool ok = CheckVariableId(node, "image variable", &image->name);
    const char* type = node->GetValue("type");
    if (type == nullptr || strcmp(type, "2D") != 0) {
        log->AddErrorFormat("image variable '%s' has invalid type.", image->name.CStr());
        return false;
    }
    image->type = Type::Image2D();
    return ok;
}

bool ShaderXmlReader::ReadRayPayloads() {
    const DMArray* array = database->GetArray("ray_payloads");
    if (array == nullptr) {
        return true;
    }
    bool ok = true;
    int32_t inputs = 0;
    SeenSet seen;
    SeenSet slots;
    for (const DMNode* node : array->nodes) {
        StageVariable payload;
        bool nodeOk = ReadRayPayloadVariable(node, &payload);
        inputs += payload.inputFlag;
        nodeOk = CheckDuplicate(log, &seen, "ray payload", node, payload.name) && nodeOk;
        nodeOk = CheckSlotUnused(log, &slots, "ray payload", payload.name, payload.slot) && nodeOk;
        if (ok && nodeOk) {
            description->rayPayloads.Push(payload);
        }
        ok = ok && nodeOk;
    }
    if (inputs > 1) {
        log->AddError("only one input ray payload variable may be defined.");
        ok = false;
    }
    const uint32_t hitOrMiss = (1u << STAGE_RCHIT) | (1u << STAGE_RMISS);
    if ((description->stages & hitOrMiss) != 0 && inputs == 0) {
        log->AddErrorFormat("an input ray payload variable must be defined for '%s' and '%s' shaders.",
                            GetStageName(STAGE_RCHIT), GetStageName(STAGE_RMISS));
        ok = false;
    }
    return ok;
}

bool ShaderXmlReader::ReadRayPayloadVariable(const DMNode* node, StageVariable* payload) {
    bool ok = CheckVariableId(node, "ray payload variable", &payload->name);
    const char* name = payload->name.CStr();
    ok = CheckSlot(node, "ray payload variable", name, true, &payload->slot) && ok;
    payload->type = ParseRayPayloadType(node->GetValue("type"));
    if (payload->type.kind == TYPE_NONE) {
        log->AddErrorFormat("ray payload variable '%s' has invalid type.", name);
        ok = false;
    }
    const char* input = node->GetValue("input");
    const bool isInput = input != nullptr && (strcmp(input, "1") == 0 || strcmp(input, "true") == 0 ||
                                              strcmp(input, "TRUE") == 0);
    payload->inputFlag = isInput ? 1 : 0;
    return ok;
}

}  // namespace ShaderTool
