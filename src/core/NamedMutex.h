// Named mutexes: the lock record shared by the engine and the program, the twelve core mutexes
// addressed by CoreMutexId, and the mutexes the program makes through the threading sub-table.
// Every lock operation ignores a null mutex, so code that runs before the mutexes exist (or
// after they are deleted) runs unguarded instead of crashing.
#pragma once

#include <cstdint>

struct ZQI_SysCriticalSection;

// A lock with a name. The section is recursive: its holder may lock it again (each lock needs
// its unlock).
struct NamedMutex {
    char* name;                       // owned copy; null when made without a name
    ZQI_SysCriticalSection* section;  // owned
    uint8_t held;                     // 1 while some thread is inside; informational only
    uint8_t engineOwned;              // made by the engine for itself: never destroyed through the API
};

// The core mutexes in their creation order; each guards one family of shared engine state.
enum CoreMutexId : int32_t {
    CORE_MUTEX_PRINT = 0,           // "PRINT": logging, the console and the queued popups
    CORE_MUTEX_GET_MUTEX = 1,       // "GET_MUTEX": the list of mutexes made through the API
    CORE_MUTEX_CREATE_DIR = 2,      // "CREATE_DIR": created, never taken
    CORE_MUTEX_GET_PATH = 3,        // "GET_PATH": the file-system API's path ring
    CORE_MUTEX_GET_BITMAP = 4,      // "GET_BITMAP": the bitmap table
    CORE_MUTEX_GET_SOUND = 5,       // "GET_SOUND": the sound table
    CORE_MUTEX_GET_FONT = 6,        // "GET_FONT": the font table
    CORE_MUTEX_GET_SHADER = 7,      // "GET_SHADER": the shader table
    CORE_MUTEX_RESOURCE_QUEUE = 8,  // "RESOURCE_QUEUE": the event queue and the upload queues
    CORE_MUTEX_CORE_IMP = 9,        // "CORE_IMP": created, never taken
    CORE_MUTEX_CORE_VARIABLE = 10,  // "CORE_VARIABLE": the open-file list, buffer byte counters
    CORE_MUTEX_UNKNOWN = 11,        // "UNKNOWN": the search paths
    CORE_MUTEX_COUNT = 12
};

// A new mutex with a copy of name (null keeps the name null). Null when out of memory.
NamedMutex* ZQI_NewNamedMutex(const char* name);
// Deletes the section and frees the name and the record. The mutex must not be held. Null is
// ignored. Does not touch the API mutex list (see ZQ_Threading_DestroyMutex).
void ZQI_DeleteNamedMutex(NamedMutex* mutex);

// Start-up: creates the twelve core mutexes in index order. Ones that already exist are kept.
void ZQI_CreateCoreMutexes();
// Shutdown: deletes every mutex the program left in the API mutex list, then the twelve core
// mutexes; their pointers become null, so later lock calls do nothing.
void ZQI_DeleteCoreMutexes();
// The core mutex of that index; null before ZQI_CreateCoreMutexes or for a bad index.
NamedMutex* ZQI_GetCoreMutex(CoreMutexId id);
// The name of a core mutex ("PRINT" ... "UNKNOWN"); "UNKNOWN" for a bad index.
const char* ZQI_GetCoreMutexName(CoreMutexId id);
// ZQ_Threading_LockMutex / ZQ_Threading_UnlockMutex of a core mutex.
void ZQI_LockCoreMutex(CoreMutexId id);
void ZQI_UnlockCoreMutex(CoreMutexId id);

// Threading sub-table slots.
// Slot 2: the mutex of that name, shared by name: a non-empty name finds an existing mutex made
// here; an empty (or null) name always makes a new one. Null when out of memory.
NamedMutex* ZQ_Threading_CreateMutex(const char* name);
// Slot 7: removes the mutex from the API mutex list and deletes it, for every user of its name.
// The core mutexes and the engine's own named mutexes are refused with a logged error, because
// the engine keeps using them.
void ZQ_Threading_DestroyMutex(NamedMutex* mutex);
// The engine's own named mutexes ("ZQ_CONSOLE", "ShaderTranslator", "DATAMAN" and the like): made
// (or found) by name as ZQ_Threading_CreateMutex does, so a program may share them, but marked as
// the engine's, so that ZQ_Threading_DestroyMutex refuses them. Null when out of memory.
NamedMutex* ZQI_CreateEngineMutex(const char* name);
// Destroys an engine mutex, for the engine's own teardown. Null is ignored.
void ZQI_DestroyEngineMutex(NamedMutex* mutex);

// Slot 6: enters the section, then marks it held. Null is ignored.
void ZQ_Threading_LockMutex(NamedMutex* mutex);
// Slot 13: false for null or when another thread holds it; on success marks it held.
bool ZQ_Threading_TryLockMutex(NamedMutex* mutex);
// Slot 14: clears held, then leaves the section. Null is ignored.
void ZQ_Threading_UnlockMutex(NamedMutex* mutex);
