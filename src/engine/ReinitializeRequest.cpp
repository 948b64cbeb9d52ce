// The engine API's re-initialisation request (root slot ReinitializeWithParameters): settles a
// supported display mode for the requested parameters and leaves it pending for the frame.
#include "engine/ReinitializeRequest.h"

#include "core/ApiTable.h"
#include "core/CoreState.h"
#include "core/Features.h"
#include "core/Log.h"
#include "engine/ResolutionSelection.h"
#include "engine/RuntimeState.h"

namespace {

bool IsPendingSupported() {
    const zq_parameters_t& pending = g_core.pendingParameters;
    return ZQI_IsResolutionSupported(pending.display_index, pending.width, pending.height,
                                     pending.windowed != 0);
}

void ApplyDeveloperForcing(zq_parameters_t* parameters) {
    const RuntimeSettings& settings = g_runtime.settings;
    if (!settings.forceResolution) {
        return;
    }
    if (!settings.allowAllResolutions) {
        parameters->width = settings.forcedWidth;
        parameters->height = settings.forcedHeight;
        ZQ_Log(LOG_LEVEL_WARNING,
               "ReinitializeWithParameters - Forcing resolution to %dx%d based on developer.xml.",
               parameters->width, parameters->height);
    }
    ZQ_Log(LOG_LEVEL_WARNING,
           "ReinitializeWithParameters - Forcing screen mode to windowed because force_resolution is set in "
           "developer.xml.");
    parameters->windowed = 1;
}

bool Request() {
    g_core.reinitRequest = 1;
    return true;
}

}  // namespace

bool ZQI_ReinitializeWithParameters(zq_parameters_t* parameters) {
    if (parameters == nullptr) {
        ZQ_Log(LOG_LEVEL_ERROR, "ZQI_ReinitializeWithParameters: parameters are null.");
        return false;
    }
    bool waiting = g_core.reinitRequest != 0 || g_core.reinitApply != 0;
    if (g_core.program == nullptr || g_core.renderer == nullptr || waiting) {
        return false;
    }
    ApplyDeveloperForcing(parameters);
    zq_parameters_t& pending = g_core.pendingParameters;
    pending = *parameters;
    ZQ_Log(LOG_LEVEL_SYSTEM, "Attempting to reinitialize with parameters: %dx%d windowed=%d", pending.width,
           pending.height, pending.windowed);
    if (pending.windowed && g_runtime.settings.allowAllResolutions) {
        ZQ_Log(LOG_LEVEL_SYSTEM, "Allowing all resolutions.");
        return Request();
    }
    if (pending.width == 0 || pending.height == 0) {
        ZQI_SelectOptimalResolution(pending.display_index, pending.windowed != 0, false);
    }
    bool freeChoice = ZQI_IsFeatureEnabled("FREE_RESOLUTION") && IsPendingSupported();
    if (!freeChoice && !ZQI_SelectOptimalResolution(pending.display_index, pending.windowed != 0, false)) {
        return false;
    }
    ZQ_Print("Selected resolution %dx%d", pending.width, pending.height);
    if (IsPendingSupported()) {
        ZQ_Print("Resolution %dx%d is supported by device.", pending.width, pending.height);
        return Request();
    }
    ZQ_Print("Resolution %dx%d not available.", pending.width, pending.height);
    pending.windowed = 1;
    ZQI_SelectOptimalResolution(pending.display_index, true, false);
    if (IsPendingSupported()) {
        return Request();
    }
    ZQ_Log(LOG_LEVEL_WARNING, "Requested resolution %dx%d (windowed=%d) not available.", pending.width,
           pending.height, pending.windowed);
    const zq_parameters_t& current = g_core.program->parameters;
    pending.width = current.width;
    pending.height = current.height;
    pending.windowed = current.windowed;
    g_core.reinitRequest = 0;
    return false;
}

namespace {

void FillReinitializeSlot(zq_api_t* api) {
    api->ReinitializeWithParameters = ZQI_ReinitializeWithParameters;
}

}  // namespace

void ZQI_InstallReinitializeRequest() {
    // Registered as well: a later build of the tables would otherwise bring back the core's
    // stand-in, which refuses every request.
    ZQI_RegisterApiTableFiller(FillReinitializeSlot);
    FillReinitializeSlot(ZQI_GetApi());
}
