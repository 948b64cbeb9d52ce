// Formats the font code's messages once and raises them through the engine API.
#include "fonts/FontMessages.h"

#include <cstdarg>
#include <cstdlib>

#include "core/ApiTable.h"
#include "foundation/String.h"

namespace {

ZQI_FontMessageObserver g_observer = nullptr;

void Raise(FontMessageKind kind, int32_t level, const char* format, va_list args) {
    char buffer[ZQI_FORMAT_BUFFER_SIZE];
    char* text = ZQI_FormatToBuffer(buffer, format, args);
    if (g_observer != nullptr) {
        g_observer(kind, level, text);
    }
    switch (kind) {
        case FONT_MESSAGE_POPUP:
            ZQ_Popup(level, "%s", text);
            break;
        case FONT_MESSAGE_LOG:
            ZQ_Log(level, "%s", text);
            break;
        default:
            ZQ_Print("%s", text);
            break;
    }
    if (text != buffer) {
        free(text);
    }
}

}  // namespace

void ZQI_SetFontMessageObserver(ZQI_FontMessageObserver observer) {
    g_observer = observer;
}

void ZQI_FontPopup(int32_t level, const char* format, ...) {
    va_list args;
    va_start(args, format);
    Raise(FONT_MESSAGE_POPUP, level, format, args);
    va_end(args);
}

void ZQI_FontPrint(const char* format, ...) {
    va_list args;
    va_start(args, format);
    Raise(FONT_MESSAGE_PRINT, 0, format, args);
    va_end(args);
}

void ZQI_FontLog(int32_t level, const char* format, ...) {
    va_list args;
    va_start(args, format);
    Raise(FONT_MESSAGE_LOG, level, format, args);
    va_end(args);
}
