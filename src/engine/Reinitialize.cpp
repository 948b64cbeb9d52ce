// Display re-initialisation between frames: sound switched back on, then a quick swap-chain
// resize to the pending parameters, falling back to a new window and renderer.
#include <windows.h>

#include "core/ApiTable.h"
#include "core/CoreState.h"
#include "core/EventQueue.h"
#include "core/Log.h"
#include "core/NamedMutex.h"
#include "engine/Autoscale.h"
#include "engine/Lifecycle.h"
#include "audio/AudioSystem.h"
#include "audio/null/NullSoundImplementation.h"
#include "engine/RuntimePlatform.h"
#include "engine/RuntimeState.h"
#include "graphics/d3d11/RendererImplementation.h"

namespace {

const int32_t kSmallestFullscreenWidth = 640;
const int32_t kSmallestFullscreenHeight = 480;

void ApplyWindowedRules(zq_parameters_t& parameters) {
    bool small = parameters.width < kSmallestFullscreenWidth || parameters.height < kSmallestFullscreenHeight;
    bool windowed = parameters.windowed != 0 || small || g_runtime.settings.forcedVariant != nullptr;
    parameters.windowed = windowed ? 1 : 0;
}

void RestartSound() {
    zq_parameters_t& applied = g_core.appliedParameters;
    applied.no_sound = g_core.program->parameters.no_sound;
    if (g_runtime.sound != nullptr) {
        g_runtime.sound->Shutdown();
    }
    SoundImplementation* sound = ZQI_GetRuntimePlatform().LoadSoundImplementation();
    if (sound != g_runtime.loadedSound) {
        ZQI_DeleteLoadedSound();  // the object a previous load made is replaced
        g_runtime.loadedSound = sound;
    }
    ZQI_SetAudioSoundImplementation(sound);
    if (sound == nullptr || !sound->Initialize(&g_core, &applied)) {
        ZQ_Log(LOG_LEVEL_WARNING, "No Sound Implementation available.");
        sound = ZQI_GetNullSoundImplementation();
        ZQI_SetAudioSoundImplementation(sound);
    } else {
        ZQ_Log(LOG_LEVEL_SYSTEM, "SoundImplementation initialized.");
        sound->SetMasterVolume(ZQI_GetMasterVolume());
    }
    g_runtime.sound = sound;
    ZQI_ReloadSoundsInUse();
    g_core.program->parameters.no_sound = g_core.pendingParameters.no_sound;
}

bool DisplayDiffers() {
    const zq_parameters_t& pending = g_core.pendingParameters;
    const zq_parameters_t& applied = g_core.appliedParameters;
    return pending.width != applied.width || pending.height != applied.height ||
           pending.windowed != applied.windowed || pending.display_index != applied.display_index;
}

// The pending parameters become the applied ones and the program's.
void TakePendingParameters() {
    const zq_parameters_t& pending = g_core.pendingParameters;
    g_core.appliedParameters = pending;
    zq_parameters_t& program = g_core.program->parameters;
    program.width = pending.width;
    program.height = pending.height;
    program.windowed = pending.windowed;
    program.display_index = pending.display_index;
}

bool ResizeSwapChain() {
    const zq_parameters_t& pending = g_core.pendingParameters;
    ZQI_LockCoreMutex(CORE_MUTEX_GET_BITMAP);
    ZQI_LockCoreMutex(CORE_MUTEX_GET_SOUND);
    bool resized = g_core.renderer != nullptr && ZQI_GetRuntimeRendererCalls().ResizeSwapChain(
                                                     g_core.renderer, pending.display_index, pending.width,
                                                     pending.height, pending.windowed != 0);
    if (resized) {
        TakePendingParameters();
        g_runtime.displayWidth = pending.width;
        g_runtime.displayHeight = pending.height;
        g_runtime.settings.bootWidth = pending.width;
        g_runtime.settings.bootHeight = pending.height;
    }
    ZQI_UnlockCoreMutex(CORE_MUTEX_GET_SOUND);
    ZQI_UnlockCoreMutex(CORE_MUTEX_GET_BITMAP);
    return resized;
}

// False when the window could not be created again (the run then ends).
bool RecreateWindowAndRenderer() {
    ZQ_Log(LOG_LEVEL_SYSTEM, "Unable to do quick reinit. Doing full shutdown and init.");
    const RuntimePlatform& platform = ZQI_GetRuntimePlatform();
    ZQI_ShutdownRenderer();
    platform.SetWindowRecreating(true);
    g_runtime.windowCreated = 0;
    if (platform.GetGameWindow() != nullptr) {
        ZQ_Log(LOG_LEVEL_SYSTEM, "Destroying window...");
        platform.DestroyGameWindow();
    }
    TakePendingParameters();
    bool created = platform.CreateGameWindow();
    platform.SetWindowRecreating(false);
    if (!created) {
        ZQ_Popup(LOG_LEVEL_ERROR, "Reinitialization failed. Please restart the application.");
        ZQ_SignalShutdown();
        return false;
    }
    g_runtime.windowCreated = 1;
    ZQI_InitializeRenderer();  // reports its own failures; the frame skips its body until ready
    return true;
}

void AnnounceNewDisplay() {
    zq_event_t done;
    ZQ_InitializeEvent(&done, ZQ_EVENT_REINITIALIZE);
    done.reinitialize.done = 1;
    ZQI_DispatchEvent(&done);
    zq_event_t size;
    ZQ_InitializeEvent(&size, ZQ_EVENT_DISPLAY_SIZE);
    size.display_size.width = static_cast<uint16_t>(g_core.program->parameters.width);
    size.display_size.height = static_cast<uint16_t>(g_core.program->parameters.height);
    ZQI_DispatchEvent(&size);
}

}  // namespace

void ZQI_ApplyPendingReInit() {
    zq_parameters_t& pending = g_core.pendingParameters;
    zq_parameters_t& applied = g_core.appliedParameters;
    ApplyWindowedRules(pending);
    ApplyWindowedRules(applied);
    if (applied.no_sound && !pending.no_sound) {
        RestartSound();
    }
    if (g_core.reinitForce || DisplayDiffers()) {
        ZQ_Log(LOG_LEVEL_SYSTEM, "Applying ReInit: %dx%d (%s) -> %dx%d (%s) display index %d", applied.width,
               applied.height, applied.windowed ? "w" : "fs", pending.width, pending.height,
               pending.windowed ? "w" : "fs", pending.display_index);
        ZQI_QuickReinitialize();
    }
    g_core.reinitApply = 0;
    g_core.reinitForce = 0;
}

void ZQI_QuickReinitialize() {
    if (!ResizeSwapChain() && !RecreateWindowAndRenderer()) {
        return;
    }
    const zq_parameters_t& pending = g_core.pendingParameters;
    int32_t width = 0;
    int32_t height = 0;
    if (g_core.renderer != nullptr && ZQI_GetRuntimeRendererCalls().GetOutputDesktopSize(
                                          g_core.renderer, pending.display_index, &width, &height)) {
        g_runtime.desktopWidth = width;
        g_runtime.desktopHeight = height;
    }
    ZQI_SetupAutoscaling();
    ZQI_UpdateAutoscale();
    ZQI_UpdateAutoscaleOffsets();
    ZQI_ReleaseKeyAndButtonStates();
    if (g_runtime.sound != nullptr) {
        g_runtime.sound->WindowChanged(&g_core, &g_core.appliedParameters);
        g_runtime.sound->SetMasterVolume(ZQI_GetMasterVolume());
    }
    AnnounceNewDisplay();
}
