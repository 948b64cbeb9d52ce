// Starting and stopping the renderer back end: the object, the device start with its rollback
// through earlier display parameters, and the stop that frees every GPU resource first.
#include <windows.h>

#include "core/ApiTable.h"
#include "core/CoreState.h"
#include "core/Log.h"
#include "core/NamedMutex.h"
#include "engine/Autoscale.h"
#include "engine/Lifecycle.h"
#include "fonts/FontApi.h"
#include "fonts/FontTable.h"
#include "engine/RuntimePlatform.h"
#include "engine/RuntimeState.h"
#include "graphics/BatchRenderer.h"
#include "graphics/BitmapUpload.h"
#include "graphics/GraphicsApi.h"
#include "graphics/HighLevelRenderer.h"
#include "graphics/ShaderManager.h"
#include "graphics/d3d11/D3D11BackEndCalls.h"
#include "graphics/d3d11/RendererImplementation.h"

namespace {

const int32_t kSmallestFullscreenWidth = 640;
const int32_t kSmallestFullscreenHeight = 480;
const int32_t kFailuresBeforeGivingUp = 3;

const char kRendererFailedText[] =
    "Unable to initialize the renderer.\n\nPlease try updating your display adapter drivers and rebooting.";

// What a rollback falls back to.
struct DisplayMode {
    int32_t width;
    int32_t height;
    uint8_t windowed;
};

// A fullscreen request below 640 x 480, and any run with a forced manifest variant, is windowed.
uint8_t AdjustWindowed(const zq_parameters_t& requested) {
    bool small = requested.width < kSmallestFullscreenWidth || requested.height < kSmallestFullscreenHeight;
    bool windowed = requested.windowed != 0 || small || g_runtime.settings.forcedVariant != nullptr;
    return windowed ? 1 : 0;
}

bool InitializeDevice() {
    RendererPlatform platform = {};
    platform.window = static_cast<HWND>(ZQI_GetRuntimePlatform().GetGameWindow());
    platform.parameters = &g_core.appliedParameters;  // outlives the device
    platform.verticalSync = g_runtime.verticalSync;
    return ZQI_GetRuntimeRendererCalls().Initialize(g_core.renderer, platform);
}

// One attempt with the requested mode and, on failure, one with the rollback mode. 1: started;
// 0: both failed, try again; -1: give up (reported).
int32_t TryRequestedThenRollback() {
    zq_parameters_t& applied = g_core.appliedParameters;
    const zq_parameters_t& pending = g_core.pendingParameters;
    if (g_runtime.rendererReady) {
        ZQ_Print("Renderer in ready state, shutting it down before new init.");
        ZQI_ShutdownRenderer();
    }
    const zq_parameters_t previous = applied;
    g_runtime.rendererReady = 0;
    applied.width = pending.width;
    applied.height = pending.height;
    applied.windowed = AdjustWindowed(pending);
    ZQ_Log(LOG_LEVEL_SYSTEM, "Renderer Initializing: %dx%d %s..", pending.width, pending.height,
           applied.windowed ? "windowed" : "fullscreen");
    if (InitializeDevice()) {
        g_runtime.rendererFailureCount = 0;
        return 1;
    }
    ++g_runtime.rendererFailureCount;
    if (g_runtime.rendererFailureCount >= kFailuresBeforeGivingUp) {
        ZQ_Popup(LOG_LEVEL_ERROR, "%s", kRendererFailedText);
        return -1;
    }
    DisplayMode fallback = {previous.width, previous.height, previous.windowed};
    if (g_runtime.rendererFailureCount == 2) {
        fallback.windowed = 1;
    }
    if (applied.width == fallback.width && applied.height == fallback.height &&
        applied.windowed == fallback.windowed) {
        ZQ_Popup(LOG_LEVEL_ERROR, "%s", kRendererFailedText);
        return -1;
    }
    applied = previous;
    applied.windowed = fallback.windowed;
    ZQ_Log(LOG_LEVEL_SYSTEM, "Rolling back parms..");
    return InitializeDevice() ? 1 : 0;
}

// Everything that lived on the old device is created again on the new one.
void RecreateGpuResources() {
    ZQI_RecreateLiveBitmaps();
    ZQI_RecreateFontAtlases();
    ZQI_ReloadXmlShaders();
    ZQI_UploadGlobalFontPages();
    // Without its shaders or white texture nothing draws, but the frame still runs and presents
    // (a device of feature level 9_x has no code for the internal shaders in this build).
    if (!HighLevelRenderer::Initialize()) {
        ZQ_Log(LOG_LEVEL_ERROR,
               "Renderer start: the internal shaders or the white texture could not be made; "
               "nothing will be drawn.");
    }
    BatchRenderer::Initialize();
}

}  // namespace

bool ZQI_LoadRendererImplementation() {
    if (g_core.renderer == nullptr) {
        ZQ_Log(LOG_LEVEL_SYSTEM, "Loading renderer implementation...");
        g_core.renderer = new RendererImplementation();  // value-initialised: zero fields
        ZQI_InstallD3D11BackEnd();
        ZQI_BuildGraphicsApiTable();
        ZQI_ConnectScreenMapping();
    }
    return true;
}

bool ZQI_InitializeRenderer() {
    int32_t result = 0;
    while (result == 0) {
        if (g_core.renderer == nullptr) {
            ZQ_Print("Renderer doesn't exist, can't continue with init.");
            return false;
        }
        result = TryRequestedThenRollback();
    }
    if (result < 0) {
        return false;
    }
    g_runtime.shaderTranslatorMutex = ZQI_CreateEngineMutex("ShaderTranslator");
    ZQI_SetShaderTranslatorMutex(g_runtime.shaderTranslatorMutex);
    if (!InitializeShaderTranslator()) {
        return false;
    }
    ZQ_Log(LOG_LEVEL_SYSTEM, "Renderer Initialization done.");
    g_runtime.displayWidth = g_core.appliedParameters.width;
    g_runtime.displayHeight = g_core.appliedParameters.height;
    g_runtime.byteOrderSwap = 0;
    g_runtime.rendererInitialised = 1;
    RecreateGpuResources();
    g_runtime.rendererReady = 1;
    ZQ_Print("Renderer ready.");
    return true;
}

void ZQI_ShutdownRenderer() {
    ZQ_Log(LOG_LEVEL_SYSTEM, "Zorqa RendererImplementation Shutdown.");
    if (g_core.renderer == nullptr) {
        return;
    }
    ZQI_FreeBitmapGpuData();
    ZQI_FreeFontAtlasGpuData();
    ZQI_FreeShaderGpuData();
    ZQI_FreeGlobalFontPages();
    BatchRenderer::Shutdown();
    ZQI_FreeDefaultRendererResources();
    HighLevelRenderer::ResetState();
    ZQI_GetRuntimeRendererCalls().Release(g_core.renderer);
    g_runtime.rendererReady = 0;
    if (g_runtime.shaderTranslatorMutex != nullptr) {
        ZQI_SetShaderTranslatorMutex(nullptr);
        ZQI_DestroyEngineMutex(g_runtime.shaderTranslatorMutex);
        g_runtime.shaderTranslatorMutex = nullptr;
    }
}
