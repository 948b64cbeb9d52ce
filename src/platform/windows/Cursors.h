// The mouse cursor table and the root API's cursor and pointer-position slots (9 to 11).
// Main thread only; the table is written once at start and read afterwards.
#pragma once

#include <cstdint>

#include "zorqa.h"

// Fills the table with the thirteen named system cursors ("ARROW", "FINGER_POINT" ...).
void BuildCursorTable();
// Frees the entries' name texts and empties the table.
void FreeCursorTable();
// HIDE_CURSOR: every cursor request hides the cursor.
void ZQI_SetCursorHidden(bool hidden);

// Slot 9: the named cursor; null or "NULL" hide it; an unknown name shows "ARROW".
void ZQ_SetMouseCursor(const char* name);
// Slot 10: pointer 0's position relative to the window's outer top-left corner; (0, 0) for any
// other pointer, or when there is no window.
zq_float2_t ZQ_GetMousePosition(int32_t pointer);
// Slot 11: moves pointer 0 to the window's outer top-left corner plus (x, y), each rounded half
// away from zero; other pointers, and positions that are not finite, are ignored.
void ZQ_SetMousePosition(int32_t pointer, float x, float y);

// Puts slots 9 to 11 into the engine API, now and at every later build of the tables.
void ZQI_InstallPointerApi();
