// The data manager's registry of databases under the named lock "DATAMAN". The lock guards
// the registry only; loading and destroying happen outside it.
#include "data/DataManager.h"

#include <cstring>
#include <new>

#include "core/NamedMutex.h"
#include "core/Threads.h"
#include "data/DataManager_local.h"
#include "foundation/NameHash.h"

namespace {

// Registered databases in creation order.
Array<DMDatabase*> g_databases;
// Registered databases whose first load is still running on some thread.
Array<DMDatabase*> g_loading;

// The lock is looked up by name on every use, so it exists from the first call on, whenever
// that happens during start-up.
NamedMutex* LockRegistry() {
    NamedMutex* mutex = ZQI_CreateEngineMutex("DATAMAN");
    ZQ_Threading_LockMutex(mutex);
    return mutex;
}

void UnlockRegistry(NamedMutex* mutex) {
    ZQ_Threading_UnlockMutex(mutex);
}

bool Contains(const Array<DMDatabase*>& list, const DMDatabase* database) {
    for (int32_t i = 0; i < list.count; ++i) {
        if (list[i] == database) {
            return true;
        }
    }
    return false;
}

// Index of the registered database of that name (hash, then text); -1 when none. Under the lock.
int32_t FindByName(const char* fileName) {
    uint32_t hash = ZQI_HashName(fileName);
    for (int32_t i = 0; i < g_databases.count; ++i) {
        const DMDatabase* database = g_databases[i];
        if (database->nameHash == hash && database->name != nullptr &&
            strcmp(database->name, fileName) == 0) {
            return i;
        }
    }
    return -1;
}

int32_t FindByPointer(const DMDatabase* database) {
    for (int32_t i = 0; i < g_databases.count; ++i) {
        if (g_databases[i] == database) {
            return i;
        }
    }
    return -1;
}

// Under the lock: a new database of that name appended to the registry (and, when it is about
// to be loaded, to the loading list); null when out of memory.
DMDatabase* RegisterNew(const char* fileName, bool loading) {
    DMDatabase* database = new (std::nothrow) DMDatabase(fileName);
    if (database == nullptr || database->name == nullptr) {
        delete database;
        return nullptr;
    }
    int32_t before = g_databases.count;
    g_databases.Push(database);
    if (g_databases.count == before) {
        delete database;
        return nullptr;
    }
    if (loading) {
        g_loading.Push(database);
    }
    return database;
}

// Finds or makes the database of that name. *created tells whether this call made it (and must
// load it). A database another thread is still loading is waited for, so nobody reads one that
// is half built.
DMDatabase* FindOrRegister(const char* fileName, bool willLoad, bool* created) {
    *created = false;
    for (;;) {
        NamedMutex* mutex = LockRegistry();
        int32_t index = FindByName(fileName);
        if (index < 0) {
            DMDatabase* database = RegisterNew(fileName, willLoad);
            *created = database != nullptr;
            UnlockRegistry(mutex);
            return database;
        }
        DMDatabase* database = g_databases[index];
        bool loading = Contains(g_loading, database);
        UnlockRegistry(mutex);
        if (!loading) {
            return database;
        }
        ZQ_Threading_Sleep(1);
    }
}

// Removes the registry entry at index (under the lock) once no load of it is running; returns
// the removed database, or null when it went away meanwhile.
DMDatabase* RemoveWhenLoaded(const char* fileName, const DMDatabase* pointer) {
    for (;;) {
        NamedMutex* mutex = LockRegistry();
        int32_t index = fileName != nullptr ? FindByName(fileName) : FindByPointer(pointer);
        if (index < 0) {
            UnlockRegistry(mutex);
            return nullptr;
        }
        DMDatabase* database = g_databases[index];
        if (!Contains(g_loading, database)) {
            g_databases.RemoveAt(index);
            UnlockRegistry(mutex);
            return database;
        }
        UnlockRegistry(mutex);
        ZQ_Threading_Sleep(1);
    }
}

}  // namespace

namespace DataManager {

DMDatabase* GetDatabase(const char* fileName) {
    if (fileName == nullptr) {
        ZQI_DataManagerPopup("DataManager::GetDatabase: no file name given.");
        return nullptr;
    }
    bool created = false;
    DMDatabase* database = FindOrRegister(fileName, true, &created);
    if (!created) {
        return database;
    }
    database->LoadFile(fileName);
    NamedMutex* mutex = LockRegistry();
    g_loading.Remove(database);
    UnlockRegistry(mutex);
    return database;
}

DMDatabase* CreateDatabase(const char* fileName) {
    if (fileName == nullptr) {
        ZQI_DataManagerPopup("DataManager::CreateDatabase: no file name given.");
        return nullptr;
    }
    bool created = false;
    return FindOrRegister(fileName, false, &created);
}

void UnloadDatabaseByName(const char* fileName) {
    if (fileName == nullptr) {
        return;
    }
    delete RemoveWhenLoaded(fileName, nullptr);
}

void UnloadDatabase(DMDatabase* database) {
    if (database == nullptr) {
        return;
    }
    delete RemoveWhenLoaded(nullptr, database);
}

}  // namespace DataManager
