// Threads made through the threading sub-table, their engine ids and the thread registry under
// the "ZQT_TIM" lock, plus the sleep and yield slots.
#include "core/Threads.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "core/ApiTable.h"
#include "core/Log.h"
#include "core/NamedMutex.h"
#include "core/Sys.h"
#include "foundation/Array.h"
#include "foundation/String.h"

namespace {

// What a new API thread needs; owned by that thread and freed when its function has returned.
struct ThreadStart {
    void (*function)(void*);
    char* name;  // moves into the thread's record on the new thread
    void* argument;
    uint32_t id;
};

// Everything below is guarded by the registry lock (unguarded while it does not exist yet).
NamedMutex* g_registryLock = nullptr;
uint32_t g_nextThreadId = ZQI_THREAD_ID_FIRST_API;
int32_t g_liveThreadCount = 0;

// Built in static storage on first use and never destroyed, so detached threads still ending at process exit
// never touch a destroyed array.
Array<ThreadRecord*>& Registry() {
    alignas(Array<ThreadRecord*>) static unsigned char storage[sizeof(Array<ThreadRecord*>)];
    static Array<ThreadRecord*>* registry = [] {
        Array<ThreadRecord*>* array = new (storage) Array<ThreadRecord*>();
        array->shrinkOnRemove = true;
        return array;
    }();
    return *registry;
}

// The record of id, made and registered when there is none; the caller holds the registry lock.
// Null only when out of memory.
ThreadRecord* FindOrAddRecord(uint32_t id) {
    Array<ThreadRecord*>& registry = Registry();
    for (int32_t i = 0; i < registry.count; ++i) {
        if (registry[i]->id == id) {
            return registry[i];
        }
    }
    ThreadRecord* record = static_cast<ThreadRecord*>(calloc(1, sizeof(ThreadRecord)));
    if (record == nullptr) {
        return nullptr;
    }
    record->id = id;
    registry.Push(record);
    return record;
}

void FreeRecord(ThreadRecord* record) {
    if (record != nullptr) {
        free(record->name);
        free(record);
    }
}

// Takes the next id: 2, 3, ... and back to 2 once the counter reaches the largest value.
uint32_t TakeThreadId() {
    uint32_t id = g_nextThreadId == UINT32_MAX ? ZQI_THREAD_ID_FIRST_API : g_nextThreadId;
    g_nextThreadId = id + 1;
    return id;
}

// Runs on the thread when its function has returned: unregisters and uncounts it.
void EndThread() {
    ZQ_Threading_LockMutex(g_registryLock);
    int32_t liveCount = --g_liveThreadCount;
    ThreadRecord* record = FindOrAddRecord(ZQI_SysGetEngineThreadId());
    Registry().Remove(record);
    ZQ_Threading_UnlockMutex(g_registryLock);
    FreeRecord(record);
    // Logged after the registry lock is released: logging takes "PRINT", and a thread holding
    // "PRINT" may be asking for its record.
    if (liveCount < 0) {
        ZQ_Log(LOG_LEVEL_WARNING, "Thread ref counter reporting %d", liveCount);
    }
}

// The start routine of every API thread.
void ThreadEntry(void* parameter) {
    ThreadStart* start = static_cast<ThreadStart*>(parameter);
    ZQI_SysSetEngineThreadId(start->id);
    ZQ_Threading_LockMutex(g_registryLock);
    ThreadRecord* record = FindOrAddRecord(start->id);
    if (record != nullptr) {
        free(record->name);
        record->name = start->name;
        start->name = nullptr;
        record->handle = ZQI_SysGetCurrentThreadHandle();
    }
    ZQ_Threading_UnlockMutex(g_registryLock);
    start->function(start->argument);
    EndThread();
    free(start->name);
    free(start);
}

}  // namespace

void ZQI_InitializeMainThread() {
    ZQI_SysSetEngineThreadId(ZQI_THREAD_ID_MAIN);
}

bool ZQI_CreateThreadRegistryLock() {
    if (g_registryLock == nullptr) {
        g_registryLock = ZQI_NewNamedMutex("ZQT_TIM");
    }
    return g_registryLock != nullptr;
}

void ZQI_DeleteThreadRegistry() {
    NamedMutex* lock = g_registryLock;
    ZQ_Threading_LockMutex(lock);
    Array<ThreadRecord*>& registry = Registry();
    for (int32_t i = 0; i < registry.count; ++i) {
        FreeRecord(registry[i]);
    }
    registry.Clear();
    g_registryLock = nullptr;
    ZQ_Threading_UnlockMutex(lock);
    ZQI_DeleteNamedMutex(lock);
}

NamedMutex* ZQI_GetThreadRegistryLock() {
    return g_registryLock;
}

uint32_t ZQ_Threading_CreateThread(const char* name, void (*function)(void*), void* argument,
                                   uint32_t flags) {
    if (name == nullptr && ZQ_IsDeveloperMode()) {
        ZQ_Popup(LOG_LEVEL_WARNING, "ZQ_Threading_CreateThread: creating a thread with null name.");
    }
    if (flags != 0) {
        ZQ_Popup(LOG_LEVEL_WARNING,
                 "ZQ_Threading_CreateThread: 'flags' must be set to zero - reserved for future use.");
        return 0;
    }
    if (function == nullptr) {
        ZQI_LogFormat(LOG_LEVEL_ERROR, "ZQ_Threading_CreateThread: thread '%s' has no function.",
                      name != nullptr ? name : "");
        return 0;
    }
    ThreadStart* start = static_cast<ThreadStart*>(calloc(1, sizeof(ThreadStart)));
    char* nameCopy = ZQI_DuplicateString(name);
    if (start == nullptr || nameCopy == nullptr) {
        ZQI_LogFormat(LOG_LEVEL_ERROR, "ZQ_Threading_CreateThread: out of memory for thread '%s'.",
                      name != nullptr ? name : "");
        free(start);
        free(nameCopy);
        return 0;
    }
    start->function = function;
    start->name = nameCopy;
    start->argument = argument;

    // Counted before it starts, so shutdown, which waits for the count to reach 0, cannot miss a
    // thread that has been created but has not run yet.
    ZQ_Threading_LockMutex(g_registryLock);
    start->id = TakeThreadId();
    ++g_liveThreadCount;
    ZQ_Threading_UnlockMutex(g_registryLock);

    uint32_t id = start->id;
    ZQI_SysThread* thread = ZQI_SysCreateThread(ThreadEntry, start);
    if (thread == nullptr) {
        ZQ_Threading_LockMutex(g_registryLock);
        --g_liveThreadCount;
        ZQ_Threading_UnlockMutex(g_registryLock);
        ZQI_LogFormat(LOG_LEVEL_ERROR, "ZQ_Threading_CreateThread: the system could not start thread '%s'.",
                      nameCopy);
        free(nameCopy);
        free(start);
        return 0;
    }
    ZQI_SysDetachThread(thread);  // the engine never joins its API threads
    return id;
}

uint32_t ZQ_Threading_GetThreadId() {
    return ZQI_SysGetEngineThreadId();
}

bool ZQ_Threading_IsMainThread() {
    return ZQI_SysGetEngineThreadId() == ZQI_THREAD_ID_MAIN;
}

void ZQ_Threading_Sleep(uint32_t milliseconds) {
    ZQI_SysSleep(milliseconds);
}

void ZQ_Threading_SleepNanoseconds(int64_t nanoseconds) {
    if (nanoseconds <= 0) {
        return;
    }
    int64_t now = ZQI_SysNanoseconds();
    int64_t deadline = nanoseconds > INT64_MAX - now ? INT64_MAX : now + nanoseconds;
    // Millisecond sleeps while at least 2 ms remain (a sleep may overshoot by about 1 ms), then
    // the rest by giving the time slice away, which meets sub-millisecond deadlines.
    const int64_t kNanosecondsPerMillisecond = 1000000;
    for (;;) {
        int64_t remaining = deadline - ZQI_SysNanoseconds();
        if (remaining <= 0) {
            return;
        }
        if (remaining >= 2 * kNanosecondsPerMillisecond) {
            int64_t milliseconds = remaining / kNanosecondsPerMillisecond - 1;
            ZQI_SysSleep(static_cast<uint32_t>(milliseconds > 1000 ? 1000 : milliseconds));
        } else {
            ZQI_SysYield();
        }
    }
}

int32_t ZQ_Threading_YieldThread() {
    return ZQI_SysYield();
}

ThreadRecord* ZQI_GetCurrentThreadRecord() {
    ZQ_Threading_LockMutex(g_registryLock);
    ThreadRecord* record = FindOrAddRecord(ZQI_SysGetEngineThreadId());
    ZQ_Threading_UnlockMutex(g_registryLock);
    return record;
}

bool ZQI_CopyCurrentThreadName(char* out, int32_t size) {
    if (out == nullptr || size < 1) {
        return false;
    }
    out[0] = '\0';
    bool hasName = false;
    ZQ_Threading_LockMutex(g_registryLock);
    ThreadRecord* record = FindOrAddRecord(ZQI_SysGetEngineThreadId());
    if (record != nullptr && record->name != nullptr) {
        strncpy(out, record->name, static_cast<size_t>(size) - 1);
        out[size - 1] = '\0';
        hasName = true;
    }
    ZQ_Threading_UnlockMutex(g_registryLock);
    return hasName;
}

int32_t ZQI_GetLiveThreadCount() {
    ZQ_Threading_LockMutex(g_registryLock);
    int32_t count = g_liveThreadCount;
    ZQ_Threading_UnlockMutex(g_registryLock);
    return count;
}

int32_t ZQI_GetRegisteredThreadCount() {
    ZQ_Threading_LockMutex(g_registryLock);
    int32_t count = Registry().count;
    ZQ_Threading_UnlockMutex(g_registryLock);
    return count;
}

void ZQI_VisitRegisteredThreads(void (*visit)(int32_t index, const ThreadRecord* record, void* context),
                                void* context) {
    if (visit == nullptr) {
        return;
    }
    ZQ_Threading_LockMutex(g_registryLock);
    Array<ThreadRecord*>& registry = Registry();
    for (int32_t i = 0; i < registry.count; ++i) {
        visit(i, registry[i], context);
    }
    ZQ_Threading_UnlockMutex(g_registryLock);
}
