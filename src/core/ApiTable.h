// The engine API root record: building it and its sub-tables once at start-up, and the functions
// behind the root slots, which the engine calls directly as well. The record lives in static
// storage for the whole run; the program keeps a pointer to it.
#pragma once

#include <cstdint>

#include "foundation/Compiler.h"
#include "zorqa.h"

// The root record; all slots are null until ZQI_BuildApiTables has run.
zq_api_t* ZQI_GetApi();

// Zeroes the root record and fills it and every sub-table in slot order, then runs the
// registered fillers over it. The eight online-service sub-tables are left to the services
// subsystem's filler (their slots stay null until it has run). Nothing is allocated. Called once during
// start-up, before anything logs; calling it again rebuilds the same tables.
void ZQI_BuildApiTables();

// A subsystem built on top of the core (the core cannot call it) puts its own functions into the
// record through a filler, which overwrites the stand-ins of its slots.
typedef void (*ZQI_ApiTableFiller)(zq_api_t* api);
// One filler per subsystem above the core, with room to spare (the engine registers nine).
const int32_t ZQI_MAX_API_TABLE_FILLERS = 16;
// Adds a filler that every later ZQI_BuildApiTables runs, in registration order, after the
// stand-ins are in place; it is not run now (the caller fills the current record itself).
// Registering a filler that is already registered changes nothing and answers true. False, with
// a log line, for a null filler or when the list is full. Start-up, main thread.
bool ZQI_RegisterApiTableFiller(ZQI_ApiTableFiller fill);
// Takes a filler out again; false when it was not registered.
bool ZQI_UnregisterApiTableFiller(ZQI_ApiTableFiller fill);

// ---- Messages (ApiMessages.cpp) ----------------------------------------------------------------

// Slot 0: developer print, written at level 0 only with logging on, developer mode on and the
// log threshold at 0. Returns the length vsnprintf gives (the full length even when the text is
// cut to 4095 characters), -1 on a formatting error, 0 when nothing is written.
int32_t ZQ_Print(const char* format, ...) ZQ_PRINTF_LIKE(1, 2);
// Slot 1: as ZQ_Print at the given level, written when logging is on and level >= threshold.
int32_t ZQ_Log(int32_t level, const char* format, ...) ZQ_PRINTF_LIKE(2, 3);
// Slot 2: a popup. Below the threshold: 0. Outside developer mode it is only logged ("[POPUP]")
// and answers 4. In developer mode it is shown at once until the program's Init has run (0);
// later each distinct text is shown once (a repeat answers 1): on the main thread while the core
// runs it answers the message box's answer, otherwise it is queued for the main loop (4).
int32_t ZQ_Popup(int32_t level, const char* format, ...) ZQ_PRINTF_LIKE(2, 3);

// Shows the popups other threads queued, in order, with the platform's message box. Main loop.
void ZQI_ShowQueuedPopups();
// The number of popups waiting for the main loop.
int32_t ZQI_GetQueuedPopupCount();
// Shutdown: forgets the queued popups and the texts already shown.
void ZQI_ReleasePopupLists();
// While the calling thread holds something other instances of the game or other threads wait for
// (a folder's lock), a message box, which waits for the user, must not keep it: the popups it
// would show at once are kept, and shown in order when it lets go of its last hold (nested holds
// count). Its other popups (queued, logged, repeated) go as always; a kept one answers 4.
void ZQI_HoldPopups();
void ZQI_ReleaseHeldPopups();

// Sends the foundation's error reports (renderer, DXGI and XInput failures, byte-stream refusals,
// text conversion) through ZQ_Log and ZQ_Popup, deciding by ZQ_IsDeveloperMode, so they reach
// the log file, its counters and the developer's message boxes instead of the standard error
// stream. Start-up, before anything can report.
void ZQI_InstallErrorReportSink();

// ---- Clock and date (ApiClock.cpp) -------------------------------------------------------------

// Slot 4: milliseconds since start-up, wrapping modulo 2^32.
uint32_t ZQ_GetMilliseconds();
// Slot 5: nanoseconds since start-up.
int64_t ZQ_GetNanoseconds();
// Slot 6: seconds since 1970-01-01 UTC.
int64_t ZQ_GetCalendarTime();
// Slot 7: the local time of that instant, year to second; weekday and day of the year are 0.
zq_date_t ZQ_ConvertTimeToDate(uint32_t seconds);
// Slot 8: the current local time, every field.
zq_date_t ZQ_GetLocalDate();

// ---- Other root slots (ApiRootSlots.cpp) -------------------------------------------------------

// Slot 12: the first call logs the moment and sets the quit flag; every call sets the program
// record's quit-requested word.
void ZQ_SignalShutdown();
// Slot 13: the quit flag.
bool ZQ_IsShutdownSignalled();
// Slot 16: false when no program record is loaded, no renderer exists or a re-initialisation
// is already waiting.
bool ZQ_ReinitializeWithParameters(zq_parameters_t* parameters);
// Slot 18: frees the items (the first count of them), the item array and the record, each
// through ZQ_FreeMemory. Null is ignored.
void ZQ_FreeStringList(zq_string_list_t* list);
// Slots 26 and 27: the engine's general heap (plain allocation). Blocks the engine hands the
// program to release come back through ZQ_FreeMemory.
void* ZQ_AllocateMemory(uint32_t size);
void ZQ_FreeMemory(void* memory);
// Called with every non-null block ZQ_FreeMemory releases, just before it is freed, so a test
// can see what comes back in every build (null: none). Set while no other thread frees.
typedef void (*ZQI_HeapReleaseObserver)(void* block);
void ZQI_SetHeapReleaseObserver(ZQI_HeapReleaseObserver observe);
// Slot 30: 0 for ids outside 1..2047. Reading a keyboard id (up to 255) clears bit 1 (value 2)
// of its stored state; the value before clearing is returned.
int32_t ZQ_GetInputState(int32_t id);
// Slot 31: ids outside 1..2047 are ignored.
void ZQ_SetInputState(int32_t id, int32_t state);
// Slot 32: 0 for ids outside 1..2047.
float ZQ_GetInputValue(int32_t id);
// Slot 33: ids outside 1..2047 are ignored.
void ZQ_SetInputValue(int32_t id, float value);
// Slot 34: the system information text; never null.
const char* ZQ_GetSystemInfo();
// Slot 35: the developer-mode flag.
bool ZQ_IsDeveloperMode();

// The engine's own use of slot 17 (named extension calls): the slot's answer, or null while no
// extension-call handler is installed.
const char* ZQI_CallExtension(const char* function, const char* parameter);
