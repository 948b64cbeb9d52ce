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

// A wildcard is "*" and path characters. It may name files of a folder below the listed one
// ("sub/*.png"), but never reach out of it with ".." and never make a path with an empty folder
// name (a leading "/" or "//"), which the listing would hand back as invalid paths.
bool IsValidWildcard(const char* field, size_t length) {
    if (length >= ZQI_MAX_VIRTUAL_PATH || (length > 0 && field[0] == '/')) {
        return false;
    }
    for (size_t i = 0; i < length; ++i) {
        char c = field[i];
        if (c != '*' && !ZQI_IsPathCharacter(c)) {
            return false;
        }
        const bool doubled = i + 1 < length && field[i + 1] == c;
        if (doubled && (c == '.' || c == '/')) {
            return false;
        }
    }
    return true;
}

bool Contains(const Array<String>& texts, const String& text) {
    for (const String& item : texts) {
        if (item.Equals(text.CStr())) {
            return true;
        }
    }
    return false;
}

// The folder part of a wildcard ("sub/" of "sub/*.png"; empty when it has none).
String WildcardFolder(const String& wildcard) {
    const char* slash = strrchr(wildcard.CStr(), '/');
    return slash != nullptr ? wildcard.Substring(0, static_cast<int32_t>(slash - wildcard.CStr()) + 1)
                            : String();
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
    // Wildcards that name a folder below this one list that folder with the rest of the
    // wildcard, so the systems only ever match names within the folder they list. Wildcards of
    // one folder are listed together, in the order their folders first appear.
    Array<String> folders;
    for (const String& wildcard : wildcards) {
        String wildcardFolder = WildcardFolder(wildcard);
        if (!Contains(folders, wildcardFolder)) {
            folders.Push(wildcardFolder);
        }
    }
    for (const String& subfolder : folders) {
        Array<String> names;
        for (const String& wildcard : wildcards) {
            String wildcardFolder = WildcardFolder(wildcard);
            if (wildcardFolder.Equals(subfolder.CStr()) && wildcard.Length() > wildcardFolder.Length()) {
                names.Push(String(wildcard.CStr() + wildcardFolder.Length()));
            }
        }
        if (names.count == 0) {
            continue;
        }
        String listedFolder = folder + subfolder.CStr();
        String listedNative = native;
        if (!subfolder.IsEmpty()) {
            listedNative.AppendFormat("/%.*s", subfolder.Length() - 1, subfolder.CStr());
        }
        system->FindFiles(scheme, listedFolder.CStr(), listedNative.CStr(), names, recursive, out);
    }
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
