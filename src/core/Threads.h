// Threads made through the threading sub-table: engine thread ids, the thread registry with its
// names (which the log prints on each line), the live-thread count that shutdown waits on, and
// the sleep and yield slots. Mutexes, the renderer lock and the worker pool live elsewhere.
#pragma once

#include <cstdint>

struct NamedMutex;

// Engine thread ids: 0 for threads not made through the API, 1 for the main thread, 2 and up
// for API threads.
enum : uint32_t { ZQI_THREAD_ID_OTHER = 0, ZQI_THREAD_ID_MAIN = 1, ZQI_THREAD_ID_FIRST_API = 2 };

// One registered thread. API threads own theirs and remove it when their function returns;
// every other thread shares the record of its id (0, or 1 on the main thread), made on first use.
struct ThreadRecord {
    char* name;    // owned; null for threads not started through the API
    void* handle;  // the thread's own handle as it names itself
    uint32_t id;   // engine thread id
};

// Start-up, first of all: marks the calling thread as the main thread (id 1).
void ZQI_InitializeMainThread();
// Start-up: creates the registry lock "ZQT_TIM" (kept when it exists already). False when out
// of memory.
bool ZQI_CreateThreadRegistryLock();
// Shutdown, last of all: frees the registry's records and deletes the registry lock.
void ZQI_DeleteThreadRegistry();
// The registry lock; null before start-up and after shutdown.
NamedMutex* ZQI_GetThreadRegistryLock();

// Threading sub-table slots.
// Slot 0: starts function(argument) on a new thread named name; returns its engine id, or 0
// when refused (flags other than 0, a null function, or the system could not start it).
uint32_t ZQ_Threading_CreateThread(const char* name, void (*function)(void*), void* argument, uint32_t flags);
// Slot 1: the calling thread's engine id.
uint32_t ZQ_Threading_GetThreadId();
// Slot 4: true on the main thread.
bool ZQ_Threading_IsMainThread();
// Slot 9.
void ZQ_Threading_Sleep(uint32_t milliseconds);
// Slot 10: returns once the high-resolution clock has passed now + nanoseconds (the deadline
// saturates at the largest value); 0 or less returns at once.
void ZQ_Threading_SleepNanoseconds(int64_t nanoseconds);
// Slot 16: nonzero when another thread was run.
int32_t ZQ_Threading_YieldThread();

// The calling thread's record; made (without a name) and registered when it has none.
ThreadRecord* ZQI_GetCurrentThreadRecord();
// Copies the calling thread's name into out (size bytes, cut to fit). False, with out = "",
// when its record has no name (the main thread and threads not made through the API).
bool ZQI_CopyCurrentThreadName(char* out, int32_t size);

// The number of API threads started and not yet ended.
int32_t ZQI_GetLiveThreadCount();
// The number of records in the registry.
int32_t ZQI_GetRegisteredThreadCount();
// Calls visit for every registered record in order, holding the registry lock. visit must not
// log or print: writers hold "PRINT" while they look up their thread's name under that lock, so
// copy what is needed and print after the visit.
void ZQI_VisitRegisteredThreads(void (*visit)(int32_t index, const ThreadRecord* record, void* context),
                                void* context);
