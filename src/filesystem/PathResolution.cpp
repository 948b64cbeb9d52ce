// Resolving paths: plain paths through the search paths, and the ring of resolved-path buffers
// that font loading and generation use for paths they hand to other libraries.
#include <cstdio>
#include <cstring>

#include "core/NamedMutex.h"
#include "filesystem/FileSystemApi.h"
#include "filesystem/FileSystemTable.h"
#include "filesystem/SearchPaths.h"

namespace {

const int32_t kRingSize = 32;
const int32_t kRingBufferSize = 260;

char g_ring[kRingSize][kRingBufferSize];
int32_t g_ringIndex = 0;

// Copies text into the buffer; false (buffer untouched) when it does not fit whole, since a cut
// path would name another file than the one tested.
bool CopyWhole(char* buffer, const char* text) {
    size_t length = strlen(text);
    if (length >= static_cast<size_t>(kRingBufferSize)) {
        return false;
    }
    memcpy(buffer, text, length + 1);
    return true;
}

bool CanOpenForReading(const char* path) {
    zq_file_t* file = ZQ_FileSystem_OpenFile(path, "r");
    if (file == nullptr) {
        return false;
    }
    ZQ_FileSystem_CloseFile(file);
    return true;
}

// Whether the path can be created, asked of its own system, which leaves a file that is there
// untouched: a probe opening it "wb" would empty it (a save the program wrote and the save system
// holds until unmounting is reused by the next writing of its path), and the probe's deletion would
// remove it. The refusals of a writing through the API apply.
bool CanCreate(const char* path) {
    SchemeId scheme = ZQI_GetSchemeId(path);
    if (scheme == SCHEME_PLAIN || !ZQI_IsTableScheme(scheme) || !ZQI_IsPathValid(path, false, false) ||
        (scheme == SCHEME_RES && !ZQI_IsResourceWriteAllowed())) {
        return false;
    }
    ZQFileSystem::System* system = ZQI_GetFileSystem(scheme);
    if (system == nullptr) {
        return false;
    }
    String native;
    ConvertPathToNativePath(native, scheme, path);
    return system->CanWriteFile(scheme, native.CStr());
}

char* ResolveSchemePath(char* buffer, const char* path, bool noCreate) {
    if (!CopyWhole(buffer, path)) {
        return nullptr;
    }
    if (CanOpenForReading(buffer)) {
        return buffer;
    }
    return !noCreate && CanCreate(buffer) ? buffer : nullptr;
}

char* ResolvePlainPath(char* buffer, const char* path, bool noCreate) {
    char* result = nullptr;
    ZQI_LockSearchPaths();
    const Array<String>& entries = ZQI_GetSearchPathList();
    for (int32_t i = 0; i < entries.count && result == nullptr; ++i) {
        String candidate = String::FromFormat("%s%s", entries[i].CStr(), path);
        if (!CopyWhole(buffer, candidate.CStr())) {
            continue;
        }
        if (ZQ_FileSystem_FileExists(buffer) || (!noCreate && CanCreate(buffer))) {
            result = buffer;
        }
    }
    ZQI_UnlockSearchPaths();
    return result;
}

}  // namespace

void ZQI_ResolveSearchPath(String& nativePath, const char* plainPath, SchemeId& scheme) {
    nativePath = "";
    if (plainPath == nullptr) {
        return;
    }
    ZQI_LockSearchPaths();
    const Array<String>& entries = ZQI_GetSearchPathList();
    for (int32_t i = 0; i < entries.count; ++i) {
        scheme = ZQI_GetSchemeId(entries[i].CStr());
        ZQFileSystem::System* system = ZQI_GetFileSystem(scheme);
        if (system == nullptr) {
            continue;
        }
        String candidate;
        ConvertPathToNativePath(candidate, scheme, entries[i].CStr());
        candidate.Append(plainPath);
        if (system->FileExists(scheme, candidate.CStr())) {
            nativePath = candidate;
            break;
        }
    }
    ZQI_UnlockSearchPaths();
}

char* ZQI_ResolveFilePath(const char* path, bool noCreate) {
    if (path == nullptr) {
        return nullptr;
    }
    ZQI_LockCoreMutex(CORE_MUTEX_GET_PATH);
    g_ringIndex = (g_ringIndex + 1) % kRingSize;
    char* buffer = g_ring[g_ringIndex];
    buffer[0] = '\0';
    SchemeId scheme = ZQI_GetSchemeId(path);
    char* result = scheme <= SCHEME_TABLE_SIZE ? ResolveSchemePath(buffer, path, noCreate)
                                               : ResolvePlainPath(buffer, path, noCreate);
    ZQI_UnlockCoreMutex(CORE_MUTEX_GET_PATH);
    return result;
}
