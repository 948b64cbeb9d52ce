// How the manifest reader reports: developer popups through the engine API's popup slot (shown
// in developer mode only), popups through the platform's message box (shown in every mode
// unless popups are off), and developer prints and log lines through the API's slots.
#pragma once

#include <cstdint>

#include "foundation/Compiler.h"

// zq_api_t::Popup of a formatted text.
void ZQI_ManifestDeveloperPopup(int32_t level, const char* format, ...) ZQ_PRINTF_LIKE(2, 3);
// PopupMessage of a formatted text: answers 4 without showing anything while popups are off;
// without a message box (host builds) the text is logged as "[POPUP] ...".
int32_t ZQI_ManifestPopup(int32_t level, const char* format, ...) ZQ_PRINTF_LIKE(2, 3);
// zq_api_t::Print of a formatted text.
void ZQI_ManifestPrint(const char* format, ...) ZQ_PRINTF_LIKE(1, 2);
// zq_api_t::Log of a formatted text.
void ZQI_ManifestLog(int32_t level, const char* format, ...) ZQ_PRINTF_LIKE(2, 3);
