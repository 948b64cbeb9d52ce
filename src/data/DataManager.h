// The data manager: the process-wide registry of loaded databases, so every caller asking for
// the same file gets the same database. The registry is guarded by the named lock "DATAMAN";
// the databases themselves are not (see DMRecords.h).
#pragma once

#include "data/DMRecords.h"

namespace DataManager {

// The registered database of that file name, else a new one, registered and then loaded with
// DMDatabase::LoadFile outside the lock. A failed load leaves it registered and without arrays
// (the reader has reported why). A caller that finds the database still being loaded by another
// thread waits for that load. Null only for a null name or when out of memory.
DMDatabase* GetDatabase(const char* fileName);
// The registered database of that name, else a new empty one, registered but not loaded.
DMDatabase* CreateDatabase(const char* fileName);
// Removes the database of that name from the registry and destroys it; nothing when none.
void UnloadDatabaseByName(const char* fileName);
// Removes that database from the registry and destroys it; nothing when it is not registered.
void UnloadDatabase(DMDatabase* database);

}  // namespace DataManager
