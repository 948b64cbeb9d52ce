// The search-path list that resolves plain paths: scheme folders ending in "/" (res, docs or ugc)
// in priority order, guarded by the core mutex "UNKNOWN" (the search-path lock).
#pragma once

#include <cstdint>

#include "foundation/Array.h"
#include "foundation/String.h"

// From this many entries on, each addition warns.
enum { ZQI_SEARCH_PATH_WARNING_COUNT = 128 };

// Takes and releases the search-path lock (recursive for its holder).
void ZQI_LockSearchPaths();
void ZQI_UnlockSearchPaths();
// The list itself; read or change it only while holding the lock.
Array<String>& ZQI_GetSearchPathList();
// Empties the list (shutdown; tests).
void ZQI_ClearSearchPaths();

// Receives "<scheme>://manifest-<package>.xml" for each package folder added as a search path.
// Installed by the manifest reader; until then package manifests are not offered.
typedef void (*ZQI_AddManifestFunction)(const char* path);
void ZQI_SetAddManifestFunction(ZQI_AddManifestFunction function);
