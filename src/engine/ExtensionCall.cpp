// ExtensionCall: the chain of handlers in its fixed order, the developer commands (resources,
// memory statistics, overlay zoom, display hacks) and the input back ends that hear last of every
// name nobody answered.
#include "engine/ExtensionCall.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/ApiTable.h"
#include "core/ConsoleAutocompletion.h"
#include "core/CoreState.h"
#include "core/Log.h"
#include "core/MemoryStatistics.h"
#include "engine/Autoscale.h"
#include "engine/ExtensionCall_local.h"
#include "engine/ResourceCommands.h"
#include "engine/RuntimePlatform.h"
#include "engine/RuntimeState.h"
#include "foundation/String.h"
#include "graphics/HighLevelRenderer.h"
#include "platform/InputImp.h"
#include "services/ExtensionModules.h"

namespace {

// ---- Developer commands ----

ExtensionAnswer ReloadResources(const char* function, const char* parameter) {
    if (Is(function, "Cache") && Is(parameter, "ReloadResources")) {
        ZQI_ReloadChangedResources();
    }
    return ExtensionGoesOn();
}

// The GameCenter commands, then the notification commands and the modules, then the platform's
// own commands: the first that answers.
ExtensionAnswer ServiceAndPlatformCommands(const char* function, const char* parameter) {
    ExtensionAnswer answer = ZQI_HandleGameCenterCall(function, parameter);
    if (answer.ends) {
        return answer;
    }
    const char* text = CallNotificationCommand(function, parameter);
    if (text == nullptr) {
        text = ZQI_GetRuntimePlatform().CallPlatformCommand(function, parameter);
    }
    return ExtensionEndsIfAnswered(text);
}

ExtensionAnswer AddConsoleCommand(const char* function, const char* parameter) {
    if (!Is(function, "Console_AddCommand")) {
        return ExtensionGoesOn();
    }
    ZQI_AddAutocompletion(parameter, nullptr);
    return ExtensionEnds(nullptr);
}

ExtensionAnswer Hacks(const char* function, const char* parameter) {
    if (Is(function, "Hacks") && Is(parameter, "AllowAllResolutions")) {
        g_runtime.settings.allowAllResolutions = 1;
    }
    return ExtensionGoesOn();
}

ExtensionAnswer KeyboardInputUI(const char* function, const char* parameter) {
    if (Is(function, "UI") && (Is(parameter, "BeginKeyboardInput") || Is(parameter, "EndKeyboardInput"))) {
        ZQ_Popup(LOG_LEVEL_WARNING, "Unimplemented.");
    }
    return ExtensionGoesOn();
}

ExtensionAnswer ResourceCommands(const char* function, const char*) {
    if (Is(function, "RefreshMemUsageEstimates")) {
        ZQI_RefreshMemUsageEstimates();
        return ExtensionEnds(nullptr);
    }
    if (Is(function, "ListResourceUsage")) {
        ZQI_ListResourceUsage();
        return ExtensionEnds(nullptr);
    }
    if (Is(function, "SwitchProgramBasePath") || Is(function, "SwitchUserDataPath")) {
        return ExtensionEnds(nullptr);  // accepted for old programs; nothing to switch here
    }
    return ExtensionGoesOn();
}

// ---- Overlay zoom ----

String g_overlayZoomText;

ExtensionAnswer OverlayZoom(const char* function, const char* parameter) {
    if (Is(function, "GetOverlayZoom")) {
        g_overlayZoomText.Format("%g", g_runtime.overlayZoom);
        return ExtensionEnds(g_overlayZoomText.CStr());
    }
    if (!Is(function, "SetOverlayZoom")) {
        return ExtensionGoesOn();
    }
    float zoom = parameter != nullptr ? strtof(parameter, nullptr) : 1.0f;
    // A zoom of 0, below 0 or not a number would make the frame's zoom offsets meaningless.
    if (!std::isfinite(zoom) || zoom <= 0.0f) {
        ZQ_Log(LOG_LEVEL_WARNING, "SetOverlayZoom: '%s' is not a positive zoom; the zoom stays %g.",
               parameter != nullptr ? parameter : "", g_runtime.overlayZoom);
        return ExtensionEnds(nullptr);
    }
    // While the program draws into a render target the frame is not zoomed; the screen takes the
    // remembered zoom back when drawing returns to it.
    bool drawingToTarget = HighLevelRenderer::GetStackDepth(HLR_STACK_RENDER_TARGETS) > 0;
    g_runtime.overlayZoom = drawingToTarget ? 1.0f : zoom;
    ZQI_UpdateAutoscaleOffsets();
    g_runtime.rememberedZoom = zoom;
    return ExtensionEnds(nullptr);
}

// ---- Input back ends ----

ExtensionAnswer AskInputBackEnds(const char* function, const char*) {
    if (g_core.renderer == nullptr) {
        return ExtensionEnds(nullptr);
    }
    for (int32_t i = 0; i < g_runtime.inputCount; ++i) {
        InputImp* input = g_runtime.inputs[i];
        const char* answer = input != nullptr ? input->Call(function, nullptr) : nullptr;
        if (answer != nullptr) {
            return ExtensionEnds(answer);
        }
    }
    return ExtensionEnds(nullptr);
}

const ExtensionHandler kHandlers[] = {
    ReloadResources,
    ZQI_HandlePurchaseCall,
    ServiceAndPlatformCommands,
    ZQI_HandleLanguageQuery,
    ZQI_HandleTestExtensionCall,
    AddConsoleCommand,
    ZQI_HandleRendererQuery,
    ZQI_HandleProgramQuery,
    ZQI_HandlePlatformQuery,
    ZQI_HandleDateQuery,
    Hacks,
    KeyboardInputUI,
    ResourceCommands,
    OverlayZoom,
    AskInputBackEnds,
};

void FillExtensionCallSlot(zq_api_t* api) {
    api->ExtensionCall = ExtensionCall;
}

}  // namespace

const char* ExtensionCall(const char* function, const char* parameter) {
    if (function == nullptr) {
        return nullptr;
    }
    for (ExtensionHandler handler : kHandlers) {
        ExtensionAnswer answer = handler(function, parameter);
        if (answer.ends) {
            return answer.text;
        }
    }
    return nullptr;
}

void ZQI_InstallExtensionCall() {
    ZQI_RegisterApiTableFiller(FillExtensionCallSlot);
    FillExtensionCallSlot(ZQI_GetApi());
}
