// FindFiles: wildcard lists, listing one scheme folder, and listing a plain path across every
// search path (each relative name once, in the order met).
#include <cstring>

#include "filesystem/FileSystemApi.h"
#include "filesystem/FileSystemServices.h"
#include "filesystem/FileSystemTable.h"
#include "filesystem/SearchPaths.h"

namespace {

// A field longer than this is not read further.
const size_t kMaxWildcardField = 1023;

bool IsListableScheme(SchemeId id) {
    return id == SCHEME_RES || id == SCHEME_CACHE || id == SCHEME_DOCS || id == SCHEME_PROJECT ||
           id == SCHEME_UGC;
}

// A wildcard names files of one folder: "*" and path characters, but no "/" and no "..", which
// would reach into other folders (also outside the scheme's root).
bool IsValidWildcard(const char* field, size_t length) {
    if (length >= ZQI_MAX_VIRTUAL_PATH) {
        return false;
    }
    for (size_t i = 0; i < length; ++i) {
        char c = field[i];
        if (c == '/' || (c != '*' && !ZQI_IsPathCharacter(c))) {
            return false;
        }
        if (c == '.' && i + 1 < length && field[i + 1] == '.') {
            return false;
        }
    }
    return true;
}

void ListPlainPath(const char* path, const Array<String>& wildcards, bool recursive, Array<String>& out) {
    ZQI_LockSearchPaths();
    const Array<String>& entries = ZQI_GetSearchPathList();
    for (int32_t i = 0; i < entries.count; ++i) {
        const char* entry = entries[i].CStr();
        SchemeId scheme = ZQI_GetSchemeId(entry);
        if (strcmp(entry, "res://") == 0 || !IsListableScheme(scheme) ||
            ZQI_GetFileSystem(scheme) == nullptr) {
            continue;
        }
        String native;
        ConvertPathToNativePath(native, scheme, entry);
        native.Append(path);
        ZQI_FindFilesInSystem(scheme, path, native.CStr(), wildcards, recursive, out);
    }
    ZQI_UnlockSearchPaths();
}

}  // namespace

bool ZQI_ParseWildcards(const char* text, Array<String>& out) {
    if (text == nullptr) {
        return false;
    }
    const char* field = text;
    for (;;) {
        size_t length = strcspn(field, ";");
        size_t kept = length < kMaxWildcardField ? length : kMaxWildcardField;
        if (!IsValidWildcard(field, kept)) {
            return false;
        }
        if (kept > 0) {
            out.Push(String::FromFormat("%.*s", static_cast<int>(kept), field));
        }
        if (field[length] == '\0') {
            return true;
        }
        field += length + 1;
    }
}

void ZQI_FindFilesInSystem(SchemeId scheme, const char* virtualFolder, const char* nativeFolder,
                           const Array<String>& wildcards, bool recursive, Array<String>& out) {
    ZQFileSystem::System* system = ZQI_GetFileSystem(scheme);
    if (system == nullptr) {
        return;
    }
    String folder(virtualFolder);
    int32_t length = folder.Length();
    if (length > 0 && folder.CStr()[length - 1] != '/') {
        folder.Append("/");
    }
    String native(nativeFolder);
    length = native.Length();
    if (length > 0 && native.CStr()[length - 1] == '/') {
        native = native.Substring(0, length - 1);
    }
    system->FindFiles(scheme, folder.CStr(), native.CStr(), wildcards, recursive, out);
}

void ZQI_FindFiles(const char* path, const Array<String>& wildcards, bool recursive, Array<String>& out) {
    SchemeId scheme = ZQI_GetSchemeId(path);
    if (scheme == SCHEME_PLAIN) {
        ListPlainPath(path, wildcards, recursive, out);
    } else if (IsListableScheme(scheme)) {
        String native;
        ConvertPathToNativePath(native, scheme, path);
        ZQI_FindFilesInSystem(scheme, path, native.CStr(), wildcards, recursive, out);
    }
}

zq_string_list_t* ZQ_FileSystem_FindFiles(const char* path, const char* wildcards, bool recursive) {
    Array<String> found;
    if (path == nullptr) {
        return ZQI_NewStringList(found);
    }
    if (path[0] != '\0' && !ZQI_IsPathValid(path, false, true)) {
        ZQI_FileSystemPopup(1, "File System %s: path '%s' is invalid, see IsPathValid() for more info.",
                            "FindFiles", path);
        return ZQI_NewStringList(found);
    }
    if (wildcards == nullptr) {
        return ZQI_NewStringList(found);
    }
    SchemeId scheme = ZQI_GetSchemeId(path);
    if (scheme != SCHEME_PLAIN && !IsListableScheme(scheme)) {
        ZQI_FileSystemPopup(
            1,
            "File System FindFiles: path prefix is invalid in path '%s', see FindFiles() for more "
            "info.",
            path);
        return ZQI_NewStringList(found);
    }
    Array<String> patterns;
    if (!ZQI_ParseWildcards(wildcards, patterns)) {
        ZQI_FileSystemPopup(
            1, "File System FindFiles: wildcards (%s) are invalid, see FindFiles() for more info.",
            wildcards);
        return ZQI_NewStringList(found);
    }
    ZQI_FindFiles(path, patterns, recursive, found);
    return ZQI_NewStringList(found);
}
