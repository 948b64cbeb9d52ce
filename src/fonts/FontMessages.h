// The font code's messages: each is formatted once, shown to an installed observer (tests read
// the exact texts there), then raised through the engine API as a popup, a developer print or a
// log line.
#pragma once

#include <cstdint>

#include "foundation/Compiler.h"

enum FontMessageKind : int32_t { FONT_MESSAGE_PRINT = 0, FONT_MESSAGE_LOG = 1, FONT_MESSAGE_POPUP = 2 };

typedef void (*ZQI_FontMessageObserver)(FontMessageKind kind, int32_t level, const char* text);
// One observer at a time; null removes it.
void ZQI_SetFontMessageObserver(ZQI_FontMessageObserver observer);

// ZQ_Popup at level (1 warning, 2 error).
void ZQI_FontPopup(int32_t level, const char* format, ...) ZQ_PRINTF_LIKE(2, 3);
// ZQ_Print: developer print.
void ZQI_FontPrint(const char* format, ...) ZQ_PRINTF_LIKE(1, 2);
// ZQ_Log at level.
void ZQI_FontLog(int32_t level, const char* format, ...) ZQ_PRINTF_LIKE(2, 3);
