// The manifest reader's messages. Texts are formatted here once and handed on with "%s", so a
// manifest value containing '%' can never be read as a format directive further down.
#include "startup/ManifestMessages.h"

#include <cstdarg>
#include <cstdlib>

#include "core/ApiTable.h"
#include "core/CoreState.h"
#include "core/Features.h"
#include "foundation/String.h"
#include "startup/ManifestState.h"

namespace {

// PopupMessage's answer when nothing was shown.
const int32_t kPopupNotShown = 4;

// Formats into a String; the API's slots cut their own texts to 4095 characters.
String FormatText(const char* format, va_list args) {
    String text;
    text.FormatV(format, args);
    return text;
}

bool ArePopupsOff() {
    return g_manifest.popupsOff != 0 || ZQI_IsFeatureEnabled("NO_POPUPS");
}

}  // namespace

void ZQI_ManifestDeveloperPopup(int32_t level, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const String text = FormatText(format, args);
    va_end(args);
    zq_api_t* api = ZQI_GetApi();
    if (api->Popup != nullptr) {
        api->Popup(level, "%s", text.CStr());
    } else {
        ZQ_Popup(level, "%s", text.CStr());
    }
}

int32_t ZQI_ManifestPopup(int32_t level, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const String text = FormatText(format, args);
    va_end(args);
    if (ArePopupsOff()) {
        return kPopupNotShown;
    }
    if (g_core.popupMessage != nullptr) {
        return g_core.popupMessage(level, text.CStr());
    }
    ZQI_ManifestLog(level, "[POPUP] %s", text.CStr());
    return kPopupNotShown;
}

void ZQI_ManifestPrint(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const String text = FormatText(format, args);
    va_end(args);
    zq_api_t* api = ZQI_GetApi();
    if (api->Print != nullptr) {
        api->Print("%s", text.CStr());
    } else {
        ZQ_Print("%s", text.CStr());
    }
}

void ZQI_ManifestLog(int32_t level, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const String text = FormatText(format, args);
    va_end(args);
    zq_api_t* api = ZQI_GetApi();
    if (api->Log != nullptr) {
        api->Log(level, "%s", text.CStr());
    } else {
        ZQ_Log(level, "%s", text.CStr());
    }
}
