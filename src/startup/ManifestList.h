// The list of loaded manifests (prog.xml's own "manifest" items and the manifests of package
// folders), newest first, whose first arrays resource lookups search by name; and the
// developer-mode check of one manifest array for duplicate ids and keys.
#pragma once

#include <cstdint>

struct DMArray;

// Adds the manifest file at path to the front of the list, once: a path already listed, or a
// file that does not exist, changes nothing. A database without arrays is not listed. Logs
// "Added manifest '%s'." at level 0 after each load.
void ZQI_AddManifest(const char* path);

// Number of listed manifests, and the first array of manifest i (0 = newest); null out of range.
int32_t ZQI_GetManifestArrayCount();
DMArray* ZQI_GetManifestArray(int32_t index);

// Developer mode only: a developer popup for every pair of nodes with the same id, then for
// every pair of keys with the same name within a node.
void ZQI_CheckDuplicateIds(const DMArray* array);
