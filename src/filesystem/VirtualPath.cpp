// Virtual paths: scheme numbers, path checks, normalisation and the virtual <-> native
// conversions over the live root table.
#include "filesystem/VirtualPath.h"

#include <cstring>

#include "filesystem/FileSystemServices.h"
#include "filesystem/SchemeRoots.h"
#include "foundation/TextUtils.h"

namespace {

struct SchemePrefix {
    const char* prefix;
    SchemeId id;
};

// Compared in this order; the first prefix a path begins with gives its scheme.
const SchemePrefix kSchemePrefixes[] = {
    {"cache://", SCHEME_CACHE}, {"docs://", SCHEME_DOCS}, {"http://", SCHEME_HTTP},
    {"logs://", SCHEME_LOGS},   {"mem://", SCHEME_MEM},   {"project://", SCHEME_PROJECT},
    {"res://", SCHEME_RES},     {"save://", SCHEME_SAVE}, {"user://", SCHEME_USER},
    {"ugc://", SCHEME_UGC},
};

const char* const kSchemeNames[SCHEME_TABLE_SIZE] = {"res", "cache", "docs", "http", "logs",
                                                     "mem", "",      "save", "user", "ugc"};

// The text after the first "://", or the whole text when it has none.
const char* RestOfPath(const char* path) {
    const char* separator = strstr(path, "://");
    return separator != nullptr ? separator + 3 : path;
}

bool RestHasOnlyPathCharacters(const char* rest) {
    for (const char* c = rest; *c != '\0'; ++c) {
        if (!ZQI_IsPathCharacter(*c)) {
            return false;
        }
    }
    return true;
}

}  // namespace

SchemeId ZQI_GetSchemeId(const char* path) {
    if (path == nullptr || strstr(path, "://") == nullptr) {
        return SCHEME_PLAIN;
    }
    for (const SchemePrefix& scheme : kSchemePrefixes) {
        if (ZQI_StartsWith(path, scheme.prefix)) {
            if (scheme.id == SCHEME_PROJECT && !ZQI_FileSystemIsDeveloperMode()) {
                return SCHEME_UNKNOWN;
            }
            return scheme.id;
        }
    }
    return SCHEME_UNKNOWN;
}

const char* ZQI_GetSchemeName(SchemeId id) {
    return ZQI_IsTableScheme(id) ? kSchemeNames[id] : "";
}

bool ZQI_IsPathCharacter(char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
        return true;
    }
    return c != '\0' && strchr(" ()-./@_", c) != nullptr;
}

bool ZQI_IsPathValid(const char* path, bool requireScheme, bool allowEmpty) {
    if (path == nullptr) {
        return false;
    }
    SchemeId id = ZQI_GetSchemeId(path);
    if (id == SCHEME_UNKNOWN || (requireScheme && id == SCHEME_PLAIN)) {
        return false;
    }
    if (strnlen(path, ZQI_MAX_VIRTUAL_PATH) >= ZQI_MAX_VIRTUAL_PATH) {
        return false;
    }
    const char* rest = RestOfPath(path);
    if (rest[0] == '/') {
        return false;
    }
    if (rest[0] == '\0' && !(allowEmpty && id != SCHEME_PLAIN)) {
        return false;
    }
    if (strstr(rest, "..") != nullptr || strstr(rest, "//") != nullptr) {
        return false;
    }
    return RestHasOnlyPathCharacters(rest);
}

void ZQI_NormalizePath(String& text) {
    if (text.data == nullptr) {
        return;
    }
    // One pass, writing the result over the text. The kept part never holds a "/..": each one is
    // cut out as soon as its last character arrives, which is always the leftmost one left, so
    // the result is that of removing the first "/.." again and again. The component before it
    // is found by walking back over characters that the cut removes, so the walks add up to at
    // most the length of the text.
    char* path = text.data;
    int32_t kept = 0;
    for (int32_t read = 0; path[read] != '\0'; ++read) {
        path[kept++] = path[read] == '\\' ? '/' : path[read];
        if (kept >= 3 && path[kept - 3] == '/' && path[kept - 2] == '.' && path[kept - 1] == '.') {
            int32_t start = kept - 3;
            while (start > 0 && path[start - 1] != '/') {
                --start;
            }
            kept = start > 0 ? start - 1 : 0;  // from the previous "/", or the start of the text
        }
    }
    path[kept] = '\0';
    text.Assign(path);  // the length field and storage follow the shorter text
}

void ConvertPathToNativePath(String& out, SchemeId id, const char* path) {
    out = "";
    const char* separator = path != nullptr ? strstr(path, "://") : nullptr;
    if (separator == nullptr || !ZQI_IsTableScheme(id)) {
        ZQI_FileSystemLog(2, "ConvertPathToNativePath: '%s' is not a path with a known scheme.",
                          path != nullptr ? path : "(null)");
        return;
    }
    const String& root = ZQI_GetSchemeRoot(id);
    out = root;
    if (!root.IsEmpty() && root.CStr()[root.Length() - 1] != '/') {
        out.Append("/");
    }
    out.Append(separator + 3);
    if (id == SCHEME_HTTP && out.Length() > ZQI_MAX_NATIVE_PATH) {
        ZQI_FileSystemPopup(1,
                            "File System ConvertPathToNativePath: local native path '%s' of path '%s' is "
                            "too long (max %i characters).",
                            out.CStr(), path, ZQI_MAX_NATIVE_PATH);
    }
}

void ZQ_ConvertStaticPathToNativeOSPath(String& out, const char* path) {
    out = "";
    SchemeId id = ZQI_GetSchemeId(path);
    if (!ZQI_IsTableScheme(id)) {
        return;
    }
    const char* rest = RestOfPath(path);
    if (id == SCHEME_HTTP) {
        // The root "http://" plus another "/" would give "http:///host"; the URL is the path.
        out = path;
        if (out.Length() > ZQI_MAX_NATIVE_PATH) {
            ZQI_FileSystemPopup(1,
                                "ZQ_ConvertStaticPathToNativeOSPath: local native path '%s' of path '%s' "
                                "is too long (max %i characters).",
                                out.CStr(), path, ZQI_MAX_NATIVE_PATH);
        }
        return;
    }
    const String& root = ZQI_GetSchemeRoot(id);
    if (root.IsEmpty()) {
        // Without a root folder the result would be "/<rest>", the top of the drive.
        return;
    }
    out = root;
    out.Append("/");
    out.Append(rest);
}

void ZQI_ConvertNativePathToPath(String& out, const char* nativePath) {
    out = "";
    if (nativePath == nullptr) {
        return;
    }
    String path(nativePath);
    ZQI_NormalizePath(path);
    for (SchemeId id = 0; id < SCHEME_TABLE_SIZE; ++id) {
        const String& root = ZQI_GetSchemeRoot(id);
        int32_t rootLength = root.Length();
        if (rootLength == 0 || strncmp(path.CStr(), root.CStr(), static_cast<size_t>(rootLength)) != 0) {
            continue;
        }
        // The root must end at a folder boundary: "C:/Game" does not contain "C:/GameSaves/x".
        const char* rest = path.CStr() + rootLength;
        bool rootEndsWithSeparator = root.CStr()[rootLength - 1] == '/';
        if (rest[0] != '\0' && rest[0] != '/' && !rootEndsWithSeparator) {
            continue;
        }
        if (rest[0] == '/') {
            ++rest;
        }
        out.Format("%s://%s", ZQI_GetSchemeName(id), rest);
        return;
    }
}
