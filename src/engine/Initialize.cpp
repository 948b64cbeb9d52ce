// CoreInitialize, the second start-up stage: autoscaling, the game window, the renderer, the
// input and sound back ends and the global font; afterwards the core runs.
#include <windows.h>

#include <cstdio>

#include "core/ApiTable.h"
#include "core/CoreState.h"
#include "core/Features.h"
#include "core/Log.h"
#include "engine/Autoscale.h"
#include "fonts/FontApi.h"
#include "fonts/FontTable.h"
#include "engine/Lifecycle.h"
#include "audio/AudioSystem.h"
#include "audio/null/NullSoundImplementation.h"
#include "engine/FontGraphicsConnection.h"
#include "graphics/ShaderManager.h"
#include "graphics/BitmapTable.h"
#include "engine/RuntimePlatform.h"
#include "engine/RuntimeState.h"
#include "data/DMRecords.h"
#include "data/DataManager.h"
#include "graphics/d3d11/RendererImplementation.h"
#include "platform/InputImp.h"
#include "startup/ManifestList.h"

namespace {

const int32_t kLittleEndian = 1234;

void DestroyGameWindow() {
    const RuntimePlatform& platform = ZQI_GetRuntimePlatform();
    g_runtime.windowCreated = 0;
    if (platform.GetGameWindow() != nullptr) {
        ZQ_Log(LOG_LEVEL_SYSTEM, "Destroying window...");
        platform.DestroyGameWindow();
    }
}

void ReportRendererFailure() {
    const zq_parameters_t& pending = g_core.pendingParameters;
    ZQ_Log(LOG_LEVEL_ERROR,
           "Unable to initialize the renderer. Tried all listed renderers but was unable to initialize any.");
    String text = String::FromFormat(
        "Unable to initialize the graphics (%dx%d %s). Please try restarting the application.\nIf that "
        "doesn't "
        "help, consider updating your display adapter driver software.\nFor more information on how to do "
        "this, please see your hardware \nmanufacturer's support page.",
        pending.width, pending.height, pending.windowed ? "windowed" : "fullscreen");
    if (g_core.popupMessage != nullptr) {
        g_core.popupMessage(LOG_LEVEL_ERROR, text.CStr());
    }
}

void InitializeInputBackEnds() {
    ZQ_Log(LOG_LEVEL_SYSTEM, "Using static XInput Input Implementation.");
    if (g_runtime.xinput == nullptr) {
        g_runtime.xinput = ZQI_GetRuntimePlatform().CreateGamepadImplementation();
    }
    if (g_runtime.xinput == nullptr || !g_runtime.xinput->IsSupported()) {
        ZQ_Log(LOG_LEVEL_WARNING, "XInput is not supported on this system.");
    } else if (g_runtime.inputCount < ZQI_MAX_INPUT_BACK_ENDS) {
        g_runtime.inputs[g_runtime.inputCount] = g_runtime.xinput;
        g_runtime.inputLibraries[g_runtime.inputCount] = nullptr;
        ++g_runtime.inputCount;
    }
    for (const char* name : g_runtime.settings.inputLibraryNames) {
        if (name != nullptr) {
            ZQ_Log(LOG_LEVEL_SYSTEM, "In static build mode. Ignoring InputImp Library: '%s'", name);
        }
    }
    for (int32_t i = 0; i < g_runtime.inputCount; ++i) {
        if (g_runtime.inputs[i] != nullptr) {
            g_runtime.inputs[i]->Initialize(&g_core);
        }
    }
}

// The chosen back end when it starts, the null one otherwise; the audio system takes it.
void InitializeSoundBackEnd() {
    SoundImplementation* sound = nullptr;
    if (!g_core.program->parameters.no_sound) {
        g_runtime.loadedSound = ZQI_GetRuntimePlatform().LoadSoundImplementation();
        sound = g_runtime.loadedSound;
        if (sound == nullptr || !sound->Initialize(&g_core, &g_core.appliedParameters)) {
            ZQ_Log(LOG_LEVEL_WARNING, "No Sound Implementation available. Null Sound Implementation used.");
            sound = nullptr;
        } else {
            ZQ_Log(LOG_LEVEL_SYSTEM, "Sound Implementation initialized.");
        }
    } else {
        ZQ_Log(LOG_LEVEL_SYSTEM, "Sounds disabled. Null Sound Implementation used.");
    }
    if (sound == nullptr) {
        sound = ZQI_GetNullSoundImplementation();
    }
    g_runtime.sound = sound;
    ZQI_SetAudioSoundImplementation(sound);
    sound->SetMasterVolume(ZQI_GetMasterVolume());
}

// The font slots with the run's counting switches, then the global TrueType font, whose result
// is its availability flag.
void StartFonts() {
    FontRuntimeSettings settings = ZQI_GetFontRuntimeSettings();
    settings.printReferenceCountChanges = g_runtime.printReferenceCountChanges;
    settings.referenceCounting = g_runtime.referenceCounting;
    ZQI_ConnectFontsToGraphics();
    ZQI_InitializeFonts(settings);
    GlobalTrueTypeFont* global = ZQI_GetGlobalFont();
    global->initialized = InitializeGlobalFont(global) ? 1 : 0;
}

void ReadFeatureSwitches() {
    g_runtime.referenceCounting = ZQI_IsFeatureEnabled("DISABLE_REFERENCE_COUNTING") ? 0 : 1;
    ZQI_GetBitmapSwitches().referenceCounting = g_runtime.referenceCounting;
    g_runtime.showFps = ZQI_IsFeatureEnabled("SHOW_FPS") ? 1 : 0;
    g_runtime.debugDrawTimeDeltaTest = ZQI_IsFeatureEnabled("DEBUG_DRAW_TIME_DELTA_TEST") ? 1 : 0;
    g_runtime.debugDrawBlackScreen =
        ZQI_IsFeatureEnabled("DEBUG_DRAW_BLACK_SCREEN_INSTEAD_OF_PROGRAM") ? 1 : 0;
}

void CheckManifestForDuplicateIds() {
    DMDatabase* database = DataManager::GetDatabase("res://prog.xml");
    if (database == nullptr) {
        return;
    }
    for (int32_t i = 0; i < database->arrays.count; ++i) {
        ZQI_CheckDuplicateIds(database->arrays[i]);
    }
}

}  // namespace

void ZQI_SetInputBackEndsActive(bool active) {
    for (int32_t i = 0; i < g_runtime.inputCount; ++i) {
        if (g_runtime.inputs[i] != nullptr) {
            g_runtime.inputs[i]->SetActive(active);
        }
    }
}

bool CoreInitialize() {
    ZQ_Log(LOG_LEVEL_SYSTEM, "Endianness: %d.", kLittleEndian);
    ZQI_SetupAutoscaling();
    if (!ZQI_GetRuntimePlatform().CreateGameWindow()) {
        ZQ_Popup(LOG_LEVEL_ERROR, "Unable to create window. Please try rebooting your system.");
        return false;
    }
    g_runtime.windowCreated = 1;
    ZQI_ResetShaderTableCount();
    if (!ZQI_InitializeRenderer()) {
        ReportRendererFailure();
        DestroyGameWindow();
        return false;
    }
    SystemInfo& info = ZQI_GetSystemInfoRecord();
    String adapterName = ZQI_GetAdapterName();
    snprintf(info.gpu, sizeof(info.gpu), "%s", adapterName.CStr());
    ZQI_BuildSystemInfoText();

    InitializeInputBackEnds();
    InitializeSoundBackEnd();
    g_core.developerMode = g_core.program->parameters.developer;
    // The core keeps its own copy, and the program reads the same text.
    ZQI_SetOwnedText(&g_runtime.settings.locale, g_core.program->parameters.locale);
    g_core.program->parameters.locale = g_runtime.settings.locale;
    ReadFeatureSwitches();

    // From here on the window procedure queues its events and RunFrame works.
    g_core.queueInputEvents = 1;
    g_core.coreRunning = 1;
    StartFonts();
    if (g_core.developerMode) {
        CheckManifestForDuplicateIds();
    }
    return true;
}
