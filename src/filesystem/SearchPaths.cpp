// The search-path list and the four API slots that manage it: add (moving an entry that is
// already listed), remove, test and copy out.
#include "filesystem/SearchPaths.h"

#include <cstdlib>
#include <cstring>

#include "core/NamedMutex.h"
#include "filesystem/FileSystemApi.h"
#include "filesystem/FileSystemServices.h"
#include "filesystem/VirtualPath.h"
#include "foundation/TextUtils.h"

namespace {

Array<String> g_searchPaths;
ZQI_AddManifestFunction g_addManifest = nullptr;

String WithTrailingSlash(const char* path) {
    String text(path);
    if (!ZQI_EndsWith(path, "/")) {
        text.Append("/");
    }
    return text;
}

bool IsSearchPathScheme(SchemeId id) {
    return id == SCHEME_RES || id == SCHEME_DOCS || id == SCHEME_UGC;
}

// A package folder's manifest: res://packages/hd/ offers res://manifest-packages-hd.xml.
void OfferPackageManifest(const String& path) {
    const char* text = path.CStr();
    if (ZQI_EndsWith(text, "://") || g_addManifest == nullptr) {
        return;
    }
    const char* rest = strstr(text, "://") + 3;
    String prefix = path.Substring(0, static_cast<int32_t>(rest - text));
    String package = String::FromFormat("%.*s", static_cast<int>(strlen(rest) - 1), rest);
    for (char* c = package.data; c != nullptr && *c != '\0'; ++c) {
        if (*c == '/') {
            *c = '-';
        }
    }
    String manifest = String::FromFormat("%smanifest-%s.xml", prefix.CStr(), package.CStr());
    g_addManifest(manifest.CStr());
}

zq_string_list_t* NewStringList(const Array<String>& texts) {
    zq_string_list_t* list = static_cast<zq_string_list_t*>(calloc(1, sizeof(zq_string_list_t)));
    if (list == nullptr || texts.count == 0) {
        return list;
    }
    list->items = static_cast<char**>(calloc(static_cast<size_t>(texts.count), sizeof(char*)));
    if (list->items == nullptr) {
        return list;
    }
    for (const String& text : texts) {
        list->items[list->count++] = ZQI_DuplicateString(text.CStr());
    }
    return list;
}

}  // namespace

void ZQI_LockSearchPaths() {
    ZQI_LockCoreMutex(CORE_MUTEX_UNKNOWN);
}

void ZQI_UnlockSearchPaths() {
    ZQI_UnlockCoreMutex(CORE_MUTEX_UNKNOWN);
}

Array<String>& ZQI_GetSearchPathList() {
    return g_searchPaths;
}

void ZQI_ClearSearchPaths() {
    ZQI_LockSearchPaths();
    g_searchPaths.Clear();
    ZQI_UnlockSearchPaths();
}

void ZQI_SetAddManifestFunction(ZQI_AddManifestFunction function) {
    g_addManifest = function;
}

zq_string_list_t* ZQI_NewStringList(const Array<String>& texts) {
    return NewStringList(texts);
}

void ZQ_FileSystem_AddSearchPath(const char* path, bool first) {
    if (path == nullptr) {
        return;
    }
    if (!ZQI_IsPathValid(path, true, true)) {
        ZQI_FileSystemPopup(1, "File System %s: path '%s' is invalid, see IsPathValid() for more info.",
                            "AddSearchPath", path);
        return;
    }
    if (!IsSearchPathScheme(ZQI_GetSchemeId(path))) {
        ZQI_FileSystemPopup(
            1,
            "File System AddSearchPath: path prefix is invalid in path '%s', see AddSearchPath() "
            "for more info.",
            path);
        return;
    }
    String entry = WithTrailingSlash(path);
    ZQI_FileSystemPrint("Adding search path '%s'...", entry.CStr());
    ZQI_LockSearchPaths();
    int32_t existing = g_searchPaths.IndexOf(entry);
    if (existing >= 0) {
        g_searchPaths.RemoveAt(existing);
    }
    g_searchPaths.Push(entry);
    if (first) {
        // Moves the new last entry to the front, keeping the others in order.
        for (int32_t i = g_searchPaths.count - 1; i > 0; --i) {
            String swap = g_searchPaths[i];
            g_searchPaths[i] = g_searchPaths[i - 1];
            g_searchPaths[i - 1] = swap;
        }
    }
    if (g_searchPaths.count >= ZQI_SEARCH_PATH_WARNING_COUNT) {
        ZQI_FileSystemPopup(1, "File System AddSearchPath: search path array contains %i paths.",
                            g_searchPaths.count);
    }
    for (int32_t i = 0; i < g_searchPaths.count; ++i) {
        ZQI_FileSystemPrint("Search path priority #%i: '%s'.", i + 1, g_searchPaths[i].CStr());
    }
    ZQI_UnlockSearchPaths();
    OfferPackageManifest(entry);
}

void ZQ_FileSystem_RemoveSearchPath(const char* path) {
    if (path == nullptr) {
        return;
    }
    String entry = WithTrailingSlash(path);
    ZQI_LockSearchPaths();
    int32_t index = g_searchPaths.IndexOf(entry);
    if (index >= 0) {
        g_searchPaths.RemoveAt(index);
    }
    ZQI_UnlockSearchPaths();
    if (index < 0) {
        ZQI_FileSystemPopup(1, "File System RemoveSearchPath: path '%s' was not found in search paths.",
                            entry.CStr());
    } else {
        ZQI_FileSystemPrint("Removed search path #%i: '%s'.", index + 1, entry.CStr());
    }
}

bool ZQ_FileSystem_SearchPathExists(const char* path) {
    if (path == nullptr) {
        return false;
    }
    String entry = WithTrailingSlash(path);
    ZQI_LockSearchPaths();
    bool found = g_searchPaths.IndexOf(entry) >= 0;
    ZQI_UnlockSearchPaths();
    return found;
}

zq_string_list_t* ZQ_FileSystem_GetSearchPaths() {
    ZQI_LockSearchPaths();
    zq_string_list_t* list = NewStringList(g_searchPaths);
    ZQI_UnlockSearchPaths();
    return list;
}
