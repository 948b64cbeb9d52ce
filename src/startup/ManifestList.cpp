// The manifest list and the duplicate check of manifest arrays (see the header).
#include "startup/ManifestList.h"

#include <cstring>

#include "core/CoreState.h"
#include "data/DataManager.h"
#include "filesystem/FileSystemApi.h"
#include "startup/ManifestMessages.h"
#include "startup/ManifestState.h"

namespace {

bool IsListed(const char* path) {
    for (DMDatabase* database : g_manifest.manifests) {
        if (database->name != nullptr && strcmp(database->name, path) == 0) {
            return true;
        }
    }
    return false;
}

// Array has no insertion in the middle: push, then move the new element to the front.
template <typename T>
void PushFront(Array<T>& array, T element) {
    array.Push(element);
    for (int32_t i = array.count - 1; i > 0; --i) {
        array.data[i] = array.data[i - 1];
    }
    array.data[0] = element;
}

bool SameText(const char* a, const char* b) {
    return a != nullptr && b != nullptr && strcmp(a, b) == 0;
}

void CheckDuplicateNodes(const DMArray* array) {
    const char* arrayId = array->id != nullptr ? array->id : "null";
    for (int32_t i = 0; i < array->nodes.count; ++i) {
        for (int32_t j = i + 1; j < array->nodes.count; ++j) {
            if (SameText(array->nodes[i]->id, array->nodes[j]->id)) {
                ZQI_ManifestDeveloperPopup(1, "Array '%s' contains two nodes with id '%s'.", arrayId,
                                           array->nodes[i]->id);
            }
        }
    }
}

void CheckDuplicateKeys(const DMNode* node) {
    const char* nodeId = node->id != nullptr ? node->id : "null";
    for (int32_t i = 0; i < node->values.count; ++i) {
        for (int32_t j = i + 1; j < node->values.count; ++j) {
            if (SameText(node->values[i].key, node->values[j].key)) {
                ZQI_ManifestDeveloperPopup(1, "Node '%s' contains duplicate parameters with id '%s'.", nodeId,
                                           node->values[i].key);
            }
        }
    }
}

}  // namespace

void ZQI_AddManifest(const char* path) {
    if (path == nullptr || IsListed(path) || !ZQ_FileSystem_FileExists(path)) {
        return;
    }
    DMDatabase* database = DataManager::GetDatabase(path);
    if (database != nullptr && database->arrays.count > 0) {
        PushFront(g_manifest.manifests, database);
        PushFront(g_manifest.manifestArrays, database->arrays[0]);
    }
    ZQI_ManifestLog(0, "Added manifest '%s'.", path);
}

int32_t ZQI_GetManifestArrayCount() {
    return g_manifest.manifestArrays.count;
}

DMArray* ZQI_GetManifestArray(int32_t index) {
    if (index < 0 || index >= g_manifest.manifestArrays.count) {
        return nullptr;
    }
    return g_manifest.manifestArrays[index];
}

void ZQI_CheckDuplicateIds(const DMArray* array) {
    if (!g_core.developerMode || array == nullptr) {
        return;
    }
    CheckDuplicateNodes(array);
    for (const DMNode* node : array->nodes) {
        CheckDuplicateKeys(node);
    }
}
