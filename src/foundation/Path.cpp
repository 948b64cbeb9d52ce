// Path helpers (see Path.h).
#include "foundation/Path.h"

#include <cstdlib>
#include <cstring>

#include "foundation/Array.h"
#include "foundation/FoundationHooks.h"

String ZQI_GetPathDirectory(const char* path) {
    String result;
    const char* slash = path != nullptr ? strrchr(path, '/') : nullptr;
    if (slash == nullptr) {
        result.Assign("");
        return result;
    }
    result.Assign(path);
    result.data[slash - path] = '\0';
    result.length = static_cast<int32_t>(slash - path);
    return result;
}

String ZQI_FindFileInSearchPaths(const char* path) {
    String result;
    if (path != nullptr && strstr(path, "://") != nullptr) {
        result.Assign(path);
        return result;
    }
    result.Assign("");
    if (path == nullptr) {
        return result;
    }
    const ZQI_FileServiceHooks& hooks = ZQI_GetFileServiceHooks();
    Array<String> searchPaths;
    hooks.getSearchPaths(&searchPaths);
    for (const String& entry : searchPaths) {
        String candidate = String::FromFormat("%s%s", entry.CStr(), path);
        if (hooks.fileExists(candidate.CStr())) {
            result.Assign(candidate.data);
            break;
        }
    }
    return result;
}

String ZQI_CollapseParentDirectories(const char* path) {
    String result;
    result.Assign(path != nullptr ? path : "");
    for (;;) {
        char* text = result.data;
        char* parent = strstr(text, "/../");
        if (parent == nullptr) {
            break;
        }
        // The segment before "/../" starts after the previous '/', or at the start of the text.
        char* segment = parent;
        while (segment > text && segment[-1] != '/') {
            --segment;
        }
        char* rest = parent + 4;
        memmove(segment, rest, strlen(rest) + 1);
        result.length = static_cast<int32_t>(strlen(text));
    }
    return result;
}

int32_t ZQI_FilePrintf(zq_file_t* file, const char* format, ...) {
    char buffer[ZQI_FORMAT_BUFFER_SIZE];
    va_list args;
    va_start(args, format);
    char* text = ZQI_FormatToBuffer(buffer, format, args);
    va_end(args);
    uint64_t written = ZQI_GetFileServiceHooks().writeFile(text, strlen(text), file);
    if (text != buffer) {
        free(text);
    }
    return static_cast<int32_t>(written);
}
