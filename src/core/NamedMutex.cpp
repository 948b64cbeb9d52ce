// Named mutexes: creation and deletion, the twelve core mutexes, the program's mutexes shared by
// name under "GET_MUTEX", and the lock slots of the threading sub-table.
#include "core/NamedMutex.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "core/ApiTable.h"
#include "core/Console.h"
#include "core/Log.h"
#include "core/Sys.h"
#include "core/Threads.h"
#include "foundation/Array.h"
#include "foundation/String.h"

namespace {

const char* const kCoreMutexNames[CORE_MUTEX_COUNT] = {
    "PRINT",    "GET_MUTEX",  "CREATE_DIR",     "GET_PATH", "GET_BITMAP",    "GET_SOUND",
    "GET_FONT", "GET_SHADER", "RESOURCE_QUEUE", "CORE_IMP", "CORE_VARIABLE", "UNKNOWN"};

// Plain pointers, so nothing here is destroyed at process exit while other threads still lock.
NamedMutex* g_coreMutexes[CORE_MUTEX_COUNT];

// Every mutex made through ZQ_Threading_CreateMutex, in creation order, under "GET_MUTEX".
// Built in static storage on first use and never destroyed, for the same reason.
Array<NamedMutex*>& ApiMutexList() {
    alignas(Array<NamedMutex*>) static unsigned char storage[sizeof(Array<NamedMutex*>)];
    static Array<NamedMutex*>* list = new (storage) Array<NamedMutex*>();
    return *list;
}

// The core mutexes, the thread registry lock and the named mutexes the engine made for itself
// belong to the engine for the whole run.
bool IsEngineMutex(const NamedMutex* mutex) {
    if (mutex == ZQI_GetThreadRegistryLock() || mutex->engineOwned) {
        return true;
    }
    for (NamedMutex* core : g_coreMutexes) {
        if (core != nullptr && core == mutex) {
            return true;
        }
    }
    return false;
}

NamedMutex* FindApiMutex(const char* name) {
    Array<NamedMutex*>& list = ApiMutexList();
    for (int32_t i = 0; i < list.count; ++i) {
        if (list[i]->name != nullptr && strcmp(list[i]->name, name) == 0) {
            return list[i];
        }
    }
    return nullptr;
}

}  // namespace

NamedMutex* ZQI_NewNamedMutex(const char* name) {
    NamedMutex* mutex = static_cast<NamedMutex*>(calloc(1, sizeof(NamedMutex)));
    if (mutex == nullptr) {
        ZQI_LogFormat(LOG_LEVEL_ERROR, "ZQI_NewNamedMutex: out of memory for mutex '%s'.",
                      name != nullptr ? name : "");
        return nullptr;
    }
    if (name != nullptr) {
        mutex->name = ZQI_DuplicateString(name);
    }
    mutex->section = ZQI_SysNewCriticalSection();
    if (mutex->section == nullptr || (name != nullptr && mutex->name == nullptr)) {
        ZQI_LogFormat(LOG_LEVEL_ERROR, "ZQI_NewNamedMutex: out of memory for mutex '%s'.",
                      name != nullptr ? name : "");
        ZQI_SysDeleteCriticalSection(mutex->section);
        free(mutex->name);
        free(mutex);
        return nullptr;
    }
    return mutex;
}

void ZQI_DeleteNamedMutex(NamedMutex* mutex) {
    if (mutex == nullptr) {
        return;
    }
    ZQI_SysDeleteCriticalSection(mutex->section);
    free(mutex->name);
    free(mutex);
}

void ZQI_CreateCoreMutexes() {
    for (int32_t i = 0; i < CORE_MUTEX_COUNT; ++i) {
        if (g_coreMutexes[i] == nullptr) {
            g_coreMutexes[i] = ZQI_NewNamedMutex(kCoreMutexNames[i]);
        }
    }
}

void ZQI_DeleteCoreMutexes() {
    Array<NamedMutex*>& list = ApiMutexList();
    Console* console = ZQI_GetConsole();
    for (int32_t i = 0; i < list.count; ++i) {
        if (list[i] == console->mutex) {
            console->mutex = nullptr;  // a line logged later runs unguarded rather than on freed memory
        }
        ZQI_DeleteNamedMutex(list[i]);
    }
    list.Clear();
    for (NamedMutex*& mutex : g_coreMutexes) {
        NamedMutex* doomed = mutex;
        mutex = nullptr;  // unguarded from here on rather than locking freed memory
        ZQI_DeleteNamedMutex(doomed);
    }
}

NamedMutex* ZQI_GetCoreMutex(CoreMutexId id) {
    if (id < 0 || id >= CORE_MUTEX_COUNT) {
        return nullptr;
    }
    return g_coreMutexes[id];
}

const char* ZQI_GetCoreMutexName(CoreMutexId id) {
    if (id < 0 || id >= CORE_MUTEX_COUNT) {
        return kCoreMutexNames[CORE_MUTEX_UNKNOWN];
    }
    return kCoreMutexNames[id];
}

void ZQI_LockCoreMutex(CoreMutexId id) {
    ZQ_Threading_LockMutex(ZQI_GetCoreMutex(id));
}

void ZQI_UnlockCoreMutex(CoreMutexId id) {
    ZQ_Threading_UnlockMutex(ZQI_GetCoreMutex(id));
}

NamedMutex* ZQ_Threading_CreateMutex(const char* name) {
    if (name == nullptr) {
        name = "";
    }
    ZQI_LockCoreMutex(CORE_MUTEX_GET_MUTEX);
    if (name[0] != '\0') {
        NamedMutex* existing = FindApiMutex(name);
        if (existing != nullptr) {
            ZQI_UnlockCoreMutex(CORE_MUTEX_GET_MUTEX);
            return existing;
        }
    }
    NamedMutex* mutex = ZQI_NewNamedMutex(name);
    if (mutex != nullptr) {
        ApiMutexList().Push(mutex);
    }
    ZQI_UnlockCoreMutex(CORE_MUTEX_GET_MUTEX);
    // Printed after releasing "GET_MUTEX": printing takes "PRINT", and a thread holding "PRINT"
    // may be creating a mutex.
    if (mutex != nullptr) {
        ZQ_Print("Created Mutex '%s'..", name);
    }
    return mutex;
}

NamedMutex* ZQI_CreateEngineMutex(const char* name) {
    NamedMutex* mutex = ZQ_Threading_CreateMutex(name);
    if (mutex != nullptr) {
        mutex->engineOwned = 1;
    }
    return mutex;
}

void ZQI_DestroyEngineMutex(NamedMutex* mutex) {
    if (mutex == nullptr) {
        return;
    }
    ZQI_LockCoreMutex(CORE_MUTEX_GET_MUTEX);
    ApiMutexList().Remove(mutex);
    ZQI_UnlockCoreMutex(CORE_MUTEX_GET_MUTEX);
    ZQI_DeleteNamedMutex(mutex);
}

void ZQ_Threading_DestroyMutex(NamedMutex* mutex) {
    if (mutex == nullptr) {
        return;
    }
    // The engine keeps using its own mutexes until shutdown deletes them: destroying one here
    // would leave every later lock of it on freed memory.
    if (IsEngineMutex(mutex)) {
        ZQI_LogFormat(LOG_LEVEL_ERROR,
                      "ZQ_Threading_DestroyMutex: '%s' is an engine mutex and is not destroyed.",
                      mutex->name != nullptr ? mutex->name : "");
        return;
    }
    ZQI_LockCoreMutex(CORE_MUTEX_GET_MUTEX);
    ApiMutexList().Remove(mutex);
    ZQI_UnlockCoreMutex(CORE_MUTEX_GET_MUTEX);
    ZQI_DeleteNamedMutex(mutex);
}

void ZQ_Threading_LockMutex(NamedMutex* mutex) {
    if (mutex == nullptr) {
        return;
    }
    ZQI_SysEnterCriticalSection(mutex->section);
    mutex->held = 1;
}

bool ZQ_Threading_TryLockMutex(NamedMutex* mutex) {
    if (mutex == nullptr || !ZQI_SysTryEnterCriticalSection(mutex->section)) {
        return false;
    }
    mutex->held = 1;
    return true;
}

void ZQ_Threading_UnlockMutex(NamedMutex* mutex) {
    if (mutex == nullptr) {
        return;
    }
    mutex->held = 0;
    ZQI_SysLeaveCriticalSection(mutex->section);
}
