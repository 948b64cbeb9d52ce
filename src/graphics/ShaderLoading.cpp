// Loading a shader: its Shader XML through the shader translator, its compiled code from code
// files of the running variant or from a translation at run time, the record filled and the
// shader created in the renderer. Also the translator's start and the renderer's stop and start
// for every shader.
#include <cstdlib>
#include <cstring>

#include "core/ApiTable.h"
#include "core/CoreState.h"
#include "core/NamedMutex.h"
#include "core/Threads.h"
#include "data/DMRecords.h"
#include "data/DataManager.h"
#include "filesystem/FileSystemApi.h"
#include "foundation/String.h"
#include "foundation/TextUtils.h"
#include "graphics/RendererDevice.h"
#include "graphics/ShaderManager.h"
#include "shadertool/CompileDriver.h"
#include "shadertool/TargetNames.h"

namespace {

const char kTargetName[] = "HLSL11";
const char kCodeFolder[] = "shaders/";
const char kDebugOutputFolder[] = "user://shaders";

NamedMutex* g_translatorMutex;

// Holds the translator mutex for a scope and resets the translator state on the way out, after
// giving back the bitmap references its description took (a filled record holds its own).
class TranslatorSession {
public:
    TranslatorSession() { ZQ_Threading_LockMutex(g_translatorMutex); }
    ~TranslatorSession() {
        ZQI_ReleaseTextureSources(&ShaderTool::GetShaderToolState().description);
        ShaderTool::ResetShaderToolState();
        ZQ_Threading_UnlockMutex(g_translatorMutex);
    }
    TranslatorSession(const TranslatorSession&) = delete;
    TranslatorSession& operator=(const TranslatorSession&) = delete;
};

ShaderTool::VariantFlags RunningVariant() {
    return ZQI_GetRendererDevice().IsLowFeatureLevel() ? ShaderTool::VARIANT_HLSL11_LOW
                                                       : ShaderTool::VARIANT_HLSL11_DEFAULT;
}

// "_DEFAULT" of HLSL11_DEFAULT: the part of the variant's name from its first '_'.
const char* VariantSuffix() {
    const char* name = ShaderTool::GetVariantName(RunningVariant());
    const char* underscore = strchr(name, '_');
    return underscore != nullptr ? underscore : "";
}

// Reads a whole file into the stage's code. 1 read, 0 the file does not open, -1 a short read.
int32_t ReadCodeFile(const char* path, ShaderCode* code) {
    zq_file_t* file = ZQ_FileSystem_OpenFile(path, "r");
    if (file == nullptr) {
        return 0;
    }
    const uint64_t size = file->size;
    bool complete = size <= uint64_t(INT32_MAX / 2);
    uint8_t* bytes =
        complete ? static_cast<uint8_t*>(malloc(size > 0 ? static_cast<size_t>(size) : 1)) : nullptr;
    complete = bytes != nullptr && ZQ_FileSystem_ReadFile(bytes, size, file) == size &&
               ZQI_AppendShaderCode(code, bytes, static_cast<int32_t>(size));
    free(bytes);
    ZQ_FileSystem_CloseFile(file);
    return complete ? 1 : -1;
}

// Failures of a load, shown to the developer with the choice to try again (result 2) or not (1).
ShaderLoadResult ReportLoadFailure(const char* name, const String& error) {
    String text;
    text.Format("Failed to translate shader '%s':\n%s", name, error.CStr());
    ZQ_Log(2, "%s", text.CStr());
    if (g_core.developerMode && g_core.popupChoice != nullptr &&
        g_core.popupChoice(2, ZQI_POPUP_BUTTONS_CANCEL_TRY_CONTINUE, text.CStr()) ==
            ZQI_POPUP_ANSWER_TRY_AGAIN) {
        return SHADER_RETRY;
    }
    return SHADER_FAILED;
}

// The translator's five stage buffers as borrowed code (valid until the state is reset).
ShaderCodeSet BorrowStageBuffers(ShaderTool::State& state) {
    ShaderCodeSet code = {};
    for (int32_t stage = 0; stage < ZQI_SHADER_STAGES; ++stage) {
        code.stages[stage].data = state.stageBuffers[stage].data;
        code.stages[stage].size = state.stageBuffers[stage].size;
        code.stages[stage].capacity = state.stageBuffers[stage].size;
        code.stages[stage].borrowed = 1;
    }
    return code;
}

// The developer setting debug_shaders: translated texts are also written below user://shaders.
const char* DebugOutputFolder() {
    if (!g_core.developerMode) {
        return "";
    }
    const DMDatabase* settings = DataManager::GetDatabase("res://developer.xml");
    const DMArray* parameters = settings != nullptr ? settings->GetArray("PARAMETERS") : nullptr;
    const DMNode* developer = parameters != nullptr ? parameters->GetNode("DEVELOPER") : nullptr;
    const char* value = developer != nullptr ? developer->GetValue("debug_shaders") : nullptr;
    if (value == nullptr || (value[0] != '1' && value[0] != 't')) {
        return "";
    }
    ZQ_FileSystem_CreateDirectory(kDebugOutputFolder);
    return kDebugOutputFolder;
}

}  // namespace

ShaderLoadResult LoadShader(zq_shader_t* shader, bool fill, bool reload) {
    if (shader == nullptr || shader->name == nullptr) {
        return SHADER_FAILED;
    }
    String error;
    bool created = false;
    {
        TranslatorSession session;
        ShaderTool::State& state = ShaderTool::GetShaderToolState();
        if (!ShaderTool::ReadShaderXml(shader->name, nullptr, reload, true)) {
            error = state.outputLog.text;
        } else {
            ShaderCodeSet files = {};
            const int32_t fromFiles = ReadShaderCodeFiles(shader, state.description, &files);
            if (fromFiles == 1) {
                if (fill) {
                    ZQI_FillShaderRecord(shader, state.description);
                }
                created = CreateShaderInRenderer(shader, state.description, files);
            } else if (fromFiles == 0) {
                const bool sourcesRead = ShaderTool::ReadShaderSources();
                ShaderTool::FlushShaderToolLog(sourcesRead ? nullptr : "Failed to read Shader XML sources");
                ShaderTool::ShaderTranslationRequest request;
                request.targets = ShaderTool::TARGET_HLSL11;
                request.variants = RunningVariant();
                // A shader the renderer does not have (yet, or any more) is translated whatever
                // its sources' age.
                const uint32_t previousWord = shader->translation_word;
                const bool createdBefore = (shader->flags & SHADER_FLAG_CREATED) != 0;
                request.outputTime = createdBefore ? static_cast<int32_t>(previousWord) : 0;
                request.compile = 1;
                request.descriptionRead = 1;
                if (!sourcesRead || !ShaderTool::TranslateShaderXml(shader->name, request, reload)) {
                    error = state.outputLog.text;
                } else {
                    const uint32_t word = static_cast<uint32_t>(state.newestSourceTime);
                    if (createdBefore && word > 0 && word <= previousWord) {
                        ZQI_FreeShaderCodeSet(&files);
                        return SHADER_UNCHANGED;
                    }
                    shader->translation_word = word;
                    if (fill) {
                        ZQI_FillShaderRecord(shader, state.description);
                    }
                    created = CreateShaderInRenderer(shader, state.description, BorrowStageBuffers(state));
                }
            }
            ZQI_FreeShaderCodeSet(&files);
        }
    }
    if (error.Length() > 0) {
        return ReportLoadFailure(shader->name, error);
    }
    return created ? SHADER_LOADED : SHADER_FAILED;
}

int32_t ReadShaderCodeFiles(zq_shader_t* shader, const ShaderTool::ShaderDescription& description,
                            ShaderCodeSet* code) {
    const size_t folderLength = sizeof(kCodeFolder) - 1;
    if (strncmp(shader->name, kCodeFolder, folderLength) != 0) {
        return 0;
    }
    String base(shader->name + folderLength);
    const char* text = base.CStr();
    const char* lastSlash = strrchr(text, '/');
    const char* lastDot = strrchr(lastSlash != nullptr ? lastSlash : text, '.');
    if (lastDot != nullptr) {
        base = base.Substring(0, static_cast<int32_t>(lastDot - text));
    }
    String prefix;
    prefix.Format("%s%s/%s%s%s.", kCodeFolder, kTargetName, "bin/", base.CStr(), VariantSuffix());
    for (int32_t stage = 0; stage < ZQI_SHADER_STAGES; ++stage) {
        if ((description.stages & (1u << stage)) == 0) {
            continue;
        }
        String path = prefix;
        path.Append(ShaderTool::GetStageName(stage));
        const int32_t read = ReadCodeFile(path.CStr(), &code->stages[stage]);
        if (read == 0) {
            ZQI_FreeShaderCodeSet(code);
            return 0;
        }
        if (read < 0) {
            ZQ_Popup(2, "Failed to load shader: Failed to read shader code file '%s'.", path.CStr());
            ZQI_FreeShaderCodeSet(code);
            return -1;
        }
    }
    return 1;
}

bool CreateShaderInRenderer(zq_shader_t* shader, const ShaderTool::ShaderDescription& description,
                            const ShaderCodeSet& code) {
    const ShaderCode* stages = code.stages;
    const bool rasterised =
        stages[ShaderTool::STAGE_VERTEX].size > 0 && stages[ShaderTool::STAGE_PIXEL].size > 0;
    const bool rayTraced =
        stages[ShaderTool::STAGE_RGEN].size > 0 && stages[ShaderTool::STAGE_RMISS].size > 0;
    if (!rasterised && !rayTraced) {
        ZQ_Popup(2, "Shader '%s' does not have required code generated, maybe it is not targeted for '%s'?",
                 shader->name, kTargetName);
        return false;
    }
    const RendererDevice& device = ZQI_GetRendererDevice();
    if (!ZQ_Threading_IsMainThread() && !device.AllowsConcurrentCreation()) {
        QueueShaderLoad(shader, description, code);
        return true;
    }
    const ShaderCode& vertex = stages[ShaderTool::STAGE_VERTEX];
    const ShaderCode& pixel = stages[ShaderTool::STAGE_PIXEL];
    const bool created =
        rasterised && device.CreateShader(shader, vertex.data, static_cast<uint32_t>(vertex.size), pixel.data,
                                          static_cast<uint32_t>(pixel.size));
    if (created) {
        // New constant buffers start empty: everything is uploaded at the first draw.
        shader->flags =
            static_cast<uint8_t>((shader->flags | SHADER_FLAG_CREATED) & ~SHADER_FLAG_CONSTANTS_CLEAN);
    } else {
        shader->flags &= static_cast<uint8_t>(~SHADER_FLAG_CREATED);
        ZQ_Popup(2, "Failed to load shader '%s' in renderer.", shader->name);
    }
    return created;
}

zq_shader_t* CreateShaderFromXMLText(const char* name, const char* xml, const ShaderCodeSet& code) {
    bool existed = false;
    zq_shader_t* shader = GetShaderSlot(name, &existed);
    if (shader == nullptr || existed) {
        return shader;
    }
    String error;
    bool created = false;
    {
        TranslatorSession session;
        ShaderTool::State& state = ShaderTool::GetShaderToolState();
        if (!ShaderTool::ReadShaderXml(name, xml, false, true)) {
            error = state.outputLog.text;
        } else {
            ZQI_FillShaderRecord(shader, state.description);
            created = CreateShaderInRenderer(shader, state.description, code);
        }
    }
    if (error.Length() > 0) {
        String text;
        text.Format("Failed to translate shader '%s':\n%s", name, error.CStr());
        ZQ_Popup(2, "%s", text.CStr());
    }
    if (!created) {
        FreeShader(shader, false);
    }
    return shader;
}

void ZQI_SetShaderTranslatorMutex(NamedMutex* mutex) {
    g_translatorMutex = mutex;
}

bool InitializeShaderTranslator() {
    const char* folder = DebugOutputFolder();
    ZQ_Threading_LockMutex(g_translatorMutex);
    const bool ready = ShaderTool::InitializeTargets(ShaderTool::TARGET_HLSL11, RunningVariant(), folder,
                                                     g_core.developerMode != 0);
    ZQ_Threading_UnlockMutex(g_translatorMutex);
    if (!ready) {
        ZQ_Popup(2, "Failed to initialize the shader translator.");
    }
    return ready;
}

void ZQI_ReloadXmlShaders() {
    for (int32_t slot = 0; slot < ZQI_GetShaderUsedCount(); ++slot) {
        zq_shader_t* shader = ZQI_GetShaderRecord(slot);
        if (shader->name != nullptr && ZQI_EndsWith(shader->name, ".xml")) {
            LoadShader(shader, false, false);
        }
    }
}

void ZQI_FreeShaderGpuData() {
    const RendererDevice& device = ZQI_GetRendererDevice();
    for (int32_t slot = 0; slot < ZQI_GetShaderUsedCount(); ++slot) {
        zq_shader_t* shader = ZQI_GetShaderRecord(slot);
        if (shader->name != nullptr) {
            device.FreeShader(shader);
            shader->renderer_data = nullptr;
            shader->flags &= static_cast<uint8_t>(~SHADER_FLAG_CREATED);
        }
    }
}
