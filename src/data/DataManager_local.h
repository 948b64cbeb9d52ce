// Helpers shared by the data manager's own files (records, readers, writer); not for other
// subsystems, which include data/DataManager.h.
#pragma once

#include <cstdint>

#include "foundation/Compiler.h"

// Heap copy (malloc) of text, or null for null; null also when out of memory.
char* ZQI_DataManagerCopyText(const char* text);
// A printable stand-in for a text that may be null: "null" for null.
inline const char* ZQI_DataManagerOrNull(const char* text) {
    return text != nullptr ? text : "null";
}

// The data manager's messages: a level-1 (warning) popup request, and a developer print.
void ZQI_DataManagerPopup(const char* format, ...) ZQ_PRINTF_LIKE(1, 2);
void ZQI_DataManagerPrint(const char* format, ...) ZQ_PRINTF_LIKE(1, 2);
// Whether the XML reader's own messages (prolog and parse errors) are raised: only once the
// engine API record is set up. The load still fails, and its caller's message still comes.
bool ZQI_DataManagerCanReportParseErrors();

// Tests watch the messages here: every popup (level 1) and print (level 0) text is also handed
// to the observer. Null removes it. Not for engine code.
typedef void (*ZQI_DataManagerMessageObserver)(int32_t level, const char* text);
void ZQI_SetDataManagerMessageObserver(ZQI_DataManagerMessageObserver observer);
