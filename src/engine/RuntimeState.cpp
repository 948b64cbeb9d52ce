// The lifecycle's run-wide record and its defaults.
#include "engine/RuntimeState.h"

#include <cstdlib>

#include "audio/null/NullSoundImplementation.h"
#include "foundation/String.h"
#include "services/ExtensionModules.h"

RuntimeState g_runtime;

void ZQI_SetOwnedText(char** slot, const char* text) {
    // Copied before the old text goes: text may be the slot's own text.
    char* copy = text != nullptr ? ZQI_DuplicateString(text) : nullptr;
    free(*slot);
    *slot = copy;
}

void ZQI_DeleteLoadedSound() {
    if (g_runtime.loadedSound != ZQI_GetNullSoundImplementation()) {
        delete g_runtime.loadedSound;
    }
    g_runtime.loadedSound = nullptr;
}

void ZQI_ReleaseRuntimeTexts() {
    RuntimeSettings& settings = g_runtime.settings;
    ZQI_SetOwnedText(&settings.forcedVariant, nullptr);
    ZQI_SetOwnedText(&settings.resolutionsText, nullptr);
    ZQI_SetOwnedText(&settings.locale, nullptr);
    for (char*& name : settings.inputLibraryNames) {
        ZQI_SetOwnedText(&name, nullptr);
    }
}

void ZQI_ResetRuntimeState() {
    ZQI_ReleaseRuntimeTexts();
    // The lists are emptied, not deleted: whoever registered the objects owns them here.
    ZQI_ForgetExtensionModules();
    g_runtime.timeDeltaHistory.Clear();

    RuntimeSettings& settings = g_runtime.settings;
    settings = RuntimeSettings{};
    settings.bootWindowed = 1;

    g_runtime.displayWidth = g_runtime.displayHeight = 0;
    g_runtime.desktopWidth = g_runtime.desktopHeight = 0;
    g_runtime.nativeOrientation = 0;
    g_runtime.autoscale = 0;
    g_runtime.scaleX = g_runtime.scaleY = 1.0f;
    g_runtime.inverseScaleX = g_runtime.inverseScaleY = 1.0f;
    g_runtime.offsetX = g_runtime.offsetY = 0.0f;
    g_runtime.overlayZoom = g_runtime.rememberedZoom = 1.0f;
    g_runtime.zoomOffsetX = g_runtime.zoomOffsetY = 0;

    g_runtime.allowMultipleInstances = 0;
    g_runtime.foundOtherInstance = 0;
    g_runtime.singleInstanceMutex = nullptr;
    g_runtime.verticalSync = 1;
    g_runtime.hideCursor = 0;
    g_runtime.printReferenceCountChanges = 0;
    g_runtime.unlimitedMemory = 0;
    g_runtime.defaultBitmapCacheMode = 0;
    g_runtime.secondResourceSetting = 0;

    g_runtime.windowCreated = 0;
    g_runtime.rendererReady = 0;
    g_runtime.rendererInitialised = 0;
    g_runtime.rendererFailureCount = 0;
    g_runtime.byteOrderSwap = 0;
    g_runtime.shaderTranslatorMutex = nullptr;

    g_runtime.referenceCounting = 1;
    g_runtime.showFps = 0;
    g_runtime.debugDrawTimeDeltaTest = 0;
    g_runtime.debugDrawBlackScreen = 0;

    g_runtime.previousFrameTime = 0;
    g_runtime.currentFrameTime = 0;
    g_runtime.dt = 0.0f;

    for (int32_t i = 0; i < ZQI_MAX_INPUT_BACK_ENDS; ++i) {
        g_runtime.inputs[i] = nullptr;
        g_runtime.inputLibraries[i] = nullptr;
    }
    g_runtime.inputCount = 0;
    g_runtime.xinput = nullptr;
    g_runtime.sound = nullptr;
    g_runtime.loadedSound = nullptr;
    g_runtime.overlayZoomColor = nullptr;
    g_runtime.overlayZoomDepth = nullptr;
    g_runtime.timeDeltaTestTimer = 0.0;
}
