// The Shader XML reader's top level: opening the document, the reading order, the info array,
// the definitions (with their include files) and the checks across arrays.
#include "shadertool/ShaderXmlReader.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "core/ApiTable.h"
#include "data/DMRecords.h"
#include "data/DataManager.h"
#include "filesystem/FileSystemApi.h"
#include "foundation/Path.h"
#include "shadertool/SourceFiles.h"
#include "shadertool/TargetNames.h"
#include "shadertool/Tokenizer.h"

namespace ShaderTool {

namespace {

const uint32_t kLowestVersion = 0x20002;
const uint32_t kDefinitionsArrayVersion = 0x20004;
const char kDefinitionLabel[] = "definition / general constant";

// The value of the info entry named key (a node with that id and a "value"); null when absent.
const char* InfoValue(const DMArray* info, const char* key) {
    const DMNode* node = info->GetNode(key);
    return node != nullptr ? node->GetValue("value") : nullptr;
}

// A version number: its decimal value, 0 when missing or not a number, at most 65535 so that
// the revision cannot reach into the major version.
uint32_t VersionPart(const char* text) {
    if (text == nullptr) {
        return 0;
    }
    errno = 0;
    const long long value = strtoll(text, nullptr, 10);
    if (errno != 0 || value < 0) {
        return 0;
    }
    return value > 0xFFFF ? 0xFFFFu : static_cast<uint32_t>(value);
}

// The target set a feature level allows; 0 for an unknown level.
TargetFlags FeatureLevelTargets(const char* level) {
    if (level == nullptr || strcmp(level, "1") == 0) {
        return TARGET_ALL;
    }
    if (strcmp(level, "2") == 0) {
        return TARGET_ALL & ~(TARGET_ESSL20 | TARGET_GLSL21);
    }
    if (strcmp(level, "3") == 0) {
        return TARGET_HLSL12 | TARGET_SPIRV;
    }
    return 0;
}

int32_t ParseInteger(const char* text) {
    const long long value = strtoll(text, nullptr, 10);
    if (value > INT32_MAX) {
        return INT32_MAX;
    }
    return value < INT32_MIN ? INT32_MIN : static_cast<int32_t>(value);
}

bool HasStage(const ShaderDescription& description, int32_t stage) {
    for (const ShaderSource& source : description.sources) {
        if (source.stage == stage) {
            return true;
        }
    }
    return false;
}

bool HasInputPayload(const ShaderDescription& description) {
    for (const StageVariable& payload : description.rayPayloads) {
        if (payload.inputFlag != 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

ShaderXmlReader::ShaderXmlReader(MessageLog* log_, ShaderDescription* description_)
    : log(log_),
      description(description_),
      database(nullptr),
      documentText(nullptr),
      listOnly(false),
      hasRayTracingGroup(false) {}

void ShaderXmlReader::Reset() {
    description->Clear();
    directory.Assign(nullptr);
    path.Assign(nullptr);
    firstLines.Clear();
    database = nullptr;
    documentText = nullptr;
    hasRayTracingGroup = false;
    definitionIndex.Clear();
}

void ShaderXmlReader::SetPath(const char* filePath) {
    directory = ZQI_GetPathDirectory(filePath);
    if (!directory.IsEmpty()) {
        directory.AppendChar('/');
    }
    path.Assign(filePath);
}

bool ShaderXmlReader::ReadFile(const char* filePath, bool reload, bool list) {
    if (filePath == nullptr) {
        return false;
    }
    if (reload) {
        DataManager::UnloadDatabaseByName(filePath);
    }
    database = DataManager::GetDatabase(filePath);
    if (database == nullptr) {
        return false;  // out of memory: the data manager never answers null otherwise
    }
    documentText = nullptr;
    SetPath(filePath);
    if (!ReadShaderXmlArrays(list)) {
        return false;
    }
    int32_t seconds = 0;
    if (GetSourceFileTime(filePath, &seconds)) {
        description->modificationTime = seconds;
    }
    return true;
}

bool ShaderXmlReader::ReadText(const char* filePath, const char* text, int32_t length, bool list) {
    if (text == nullptr || length < 4) {
        return false;
    }
    SetPath(filePath);
    DMDatabase temporary;
    if (!temporary.LoadXMLFromMemory(text, length)) {
        return false;
    }
    // The first-line search needs a terminated text; the data manager takes a length.
    char* copy = static_cast<char*>(malloc(static_cast<size_t>(length) + 1));
    if (copy != nullptr) {
        memcpy(copy, text, static_cast<size_t>(length));
        copy[length] = '\0';
    }
    database = &temporary;
    documentText = copy;
    const bool result = ReadShaderXmlArrays(list);
    documentText = nullptr;
    database = nullptr;
    free(copy);
    temporary.Clear();
    return result;
}

bool ShaderXmlReader::ReadShaderXmlArrays(bool list) {
    listOnly = list;
    if (database == nullptr) {
        return false;
    }
    if (database->GetArray("info") == nullptr) {
        description->version = 0;
        return true;
    }
    if (!ReadInfo() || !ReadDefinitions() || !ReadVertexInput()) {
        return false;
    }
    if (!ReadConstantArray("vertex_constants", &description->vertexConstants) || !ReadVertexOutput()) {
        return false;
    }
    if (!ReadConstantArray("pixel_constants", &description->pixelConstants) || !ReadPixelTextures() ||
        !ReadPixelOutput()) {
        return false;
    }
    if (description->version >= kDefinitionsArrayVersion &&
        !ReadConstantArray("constants", &description->constants)) {
        return false;
    }
    if (!ReadBuffers() || !ReadImages() || !ReadRayPayloads()) {
        return false;
    }
    if (!(list ? ListShaderSources() : ReadShaderSources())) {
        return false;
    }
    return CheckCrossReferences();
}

bool ShaderXmlReader::ReadInfo() {
    const DMArray* info = database->GetArray("info");
    description->version =
        VersionPart(InfoValue(info, "version")) << 16 | VersionPart(InfoValue(info, "revision"));
    if (description->version < kLowestVersion) {
        log->AddError("file is of invalid version.");
        return false;
    }
    description->tags.Assign(InfoValue(info, "tags"));
    if (info->GetNode("target") != nullptr) {
        description->targets = ParseTargetList(InfoValue(info, "target"));
        if (description->targets == 0) {
            log->AddError("info array has invalid target(s).");
            return false;
        }
    } else {
        description->targets = FeatureLevelTargets(InfoValue(info, "feature_level"));
        if (description->targets == 0) {
            log->AddError("info array has invalid feature level.");
            return false;
        }
    }
    const char* group = InfoValue(info, "ray_tracing_group");
    hasRayTracingGroup = group != nullptr;
    description->rayTracingGroup = group != nullptr ? ParseInteger(group) : -1;
    return true;
}

// ---- Definitions ---------------------------------------------------------------------------------

bool ShaderXmlReader::ReadDefinitions() {
    definitionIndex.Clear();
    bool inserted = false;
    for (int32_t i = 0; i < description->definitions.count; ++i) {
        definitionIndex.Insert(description->definitions[i].name.CStr(), i, &inserted);
    }
    const char* name = description->version < kDefinitionsArrayVersion ? "constants" : "definitions";
    const DMArray* array = database->GetArray(name);
    return array == nullptr || ReadDefinitionArray(array, false, true);
}

// Every node is read and tested; after the first faulty one nothing more is stored.
bool ShaderXmlReader::ReadDefinitionArray(const DMArray* array, bool included, bool store) {
    bool ok = true;
    for (const DMNode* node : array->nodes) {
        if (!ReadDefinitionNode(node, included, store && ok)) {
            ok = false;
        }
    }
    return ok;
}

bool ShaderXmlReader::ReadDefinitionNode(const DMNode* node, bool included, bool store) {
    const char* file = node->GetValue("file");
    if (node->GetValue("id") == nullptr && file != nullptr) {
        if (included) {
            log->AddError("definition / general constant files are not allowed outside Shader XMLs.");
            return false;
        }
        return ReadDefinitionFile(file, store);
    }
    String name;
    bool ok = CheckVariableId(node, kDefinitionLabel, &name);
    const char* value = node->GetValue("value");
    if (value == nullptr) {
        log->AddErrorFormat("%s '%s' does not have 'value' attribute.", kDefinitionLabel, name.CStr());
        return false;
    }
    if (!ok || !store) {
        return ok;
    }
    const int32_t* existing = definitionIndex.Find(name.CStr());
    if (existing != nullptr) {
        description->definitions[*existing].value.Assign(value);
        return true;
    }
    bool inserted = false;
    definitionIndex.Insert(name.CStr(), description->definitions.count, &inserted);
    ShaderDefinition definition;
    definition.name = name;
    definition.value.Assign(value);
    const int32_t kind = GetLiteralKind(definition.value);
    definition.literalKind = kind == TYPE_NONE ? TYPE_STRUCT : kind;
    description->definitions.Push(definition);
    return true;
}

// An include of the document: the same-named definitions array of another file, read with the
// same rules (but no further includes) into the same list.
bool ShaderXmlReader::ReadDefinitionFile(const char* value, bool store) {
    const String filePath = directory + value;
    if (!ZQ_FileSystem_FileExists(filePath.CStr())) {
        log->AddErrorFormat("%s file path '%s' does not exist.", kDefinitionLabel, filePath.CStr());
        return false;
    }
    // Fresh data while developing; never the document being read, which an include may name.
    const bool isDocument = database->name != nullptr && strcmp(database->name, filePath.CStr()) == 0;
    if (ZQ_IsDeveloperMode() && !isDocument) {
        DataManager::UnloadDatabaseByName(filePath.CStr());
    }
    const DMDatabase* included = DataManager::GetDatabase(filePath.CStr());
    if (included == nullptr) {
        return false;
    }
    const char* name = description->version < kDefinitionsArrayVersion ? "constants" : "definitions";
    const DMArray* array = included->GetArray(name);
    return array == nullptr || ReadDefinitionArray(array, true, store);
}

// ---- Checks across arrays ------------------------------------------------------------------------

bool ShaderXmlReader::CheckCrossReferences() {
    if (description->sources.count == 0) {
        return true;
    }
    bool ok = true;
    const bool hasPixelSource = HasStage(*description, STAGE_PIXEL);
    for (const TextureVariable& texture : description->pixelTextures) {
        if (hasPixelSource && texture.type.arraySize != 0) {
            log->AddErrorFormat(
                "the type of pixel texture variable '%s' is array, which is not supported with pixel shaders",
                texture.name.CStr());
            ok = false;
        } else if (!hasPixelSource && texture.slot < 0) {
            log->AddErrorFormat(
                "pixel texture variable '%s' does not have slot specified (required for ray tracing "
                "shaders).",
                texture.name.CStr());
            ok = false;
        }
    }
    const bool hitOrMiss = HasStage(*description, STAGE_RCHIT) || HasStage(*description, STAGE_RMISS);
    if (hitOrMiss && description->constants.count > 0) {
        log->AddErrorFormat("constants are not allowed in '%s' and '%s' shaders.", GetStageName(STAGE_RCHIT),
                            GetStageName(STAGE_RMISS));
        ok = false;
    }
    // The payloads are read before the sources, so their own check only sees stages of sources
    // read earlier; without an input payload a hit or miss shader's results never reach the
    // tracer.
    if (hitOrMiss && !HasInputPayload(*description)) {
        log->AddErrorFormat("an input ray payload variable must be defined for '%s' and '%s' shaders.",
                            GetStageName(STAGE_RCHIT), GetStageName(STAGE_RMISS));
        ok = false;
    }
    return ok;
}

}  // namespace ShaderTool
