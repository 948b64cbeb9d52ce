// The data manager's messages: formatted once here, then raised through the engine API (popup at
// level 1, developer print) and shown to the installed observer, if any.
#include <cstdarg>
#include <cstdlib>

#include "core/ApiTable.h"
#include "data/DataManager_local.h"
#include "foundation/String.h"

namespace {

const int32_t kPopupLevel = 1;  // warning: bad data never ends the program

ZQI_DataManagerMessageObserver g_observer = nullptr;

// Formats, hands the text to the observer, and returns it (the caller frees it when it is not
// buffer).
char* FormatMessage(char* buffer, bool popup, const char* format, va_list args) {
    char* text = ZQI_FormatToBuffer(buffer, format, args);
    if (g_observer != nullptr) {
        g_observer(popup ? kPopupLevel : 0, text);
    }
    return text;
}

}  // namespace

void ZQI_SetDataManagerMessageObserver(ZQI_DataManagerMessageObserver observer) {
    g_observer = observer;
}

void ZQI_DataManagerPopup(const char* format, ...) {
    char buffer[ZQI_FORMAT_BUFFER_SIZE];
    va_list args;
    va_start(args, format);
    char* text = FormatMessage(buffer, true, format, args);
    va_end(args);
    ZQ_Popup(kPopupLevel, "%s", text);
    if (text != buffer) {
        free(text);
    }
}

void ZQI_DataManagerPrint(const char* format, ...) {
    char buffer[ZQI_FORMAT_BUFFER_SIZE];
    va_list args;
    va_start(args, format);
    char* text = FormatMessage(buffer, false, format, args);
    va_end(args);
    ZQ_Print("%s", text);
    if (text != buffer) {
        free(text);
    }
}

bool ZQI_DataManagerCanReportParseErrors() {
    const zq_api_t* api = ZQI_GetApi();
    return api != nullptr && api->Popup != nullptr;
}
