// The scheme roots: a staging table that initialisation fills and the live table that every
// conversion reads. Roots are written only during start-up, before other threads use files.
#include "filesystem/SchemeRoots.h"

#include <cstdio>
#include <cstring>

#include "filesystem/NativePlatform.h"

namespace {

String g_stagingRoots[SCHEME_TABLE_SIZE];
String g_liveRoots[SCHEME_TABLE_SIZE];

// The engine's own header inside a source checkout; its presence beside the resource folder
// makes the checkout the project root.
const char kProjectMarker[] = "/src/include/zorqa.h";

bool IsRegularFile(const char* path) {
    ZQI_NativeFileStatus status;
    return ZQI_NativeStat(path, &status) && status.isRegularFile;
}

bool CanOpenForReading(const char* path) {
    FILE* file = fopen(path, "rb");
    if (file == nullptr) {
        return false;
    }
    fclose(file);
    return true;
}

// "name.exe" -> "name"; other names stay (host executables have no extension).
String ExecutableBaseName(const char* fileName) {
    String base(fileName);
    int32_t length = base.Length();
    if (length >= 4) {
        const char* extension = base.CStr() + length - 4;
        if (extension[0] == '.' && (extension[1] | 0x20) == 'e' && (extension[2] | 0x20) == 'x' &&
            (extension[3] | 0x20) == 'e') {
            return base.Substring(0, length - 4);
        }
    }
    return base;
}

}  // namespace

const String& ZQI_GetSchemeRoot(SchemeId id) {
    static const String kEmpty;
    return ZQI_IsTableScheme(id) ? g_liveRoots[id] : kEmpty;
}

void ZQI_SetSchemeRoot(SchemeId id, const char* nativeFolder) {
    if (ZQI_IsTableScheme(id)) {
        g_liveRoots[id] = nativeFolder;
    }
}

void ZQI_ClearSchemeRoots() {
    for (String& root : g_liveRoots) {
        root = "";
    }
}

void ZQI_GetShellFolderPath(String& out, int32_t folderId) {
    ZQI_NativeGetShellFolder(out, folderId);
    ZQI_NormalizePath(out);
}

void ZQI_GetResourceDirectoryOfExecutable(String& out, const char* executablePath) {
    String path(executablePath);
    ZQI_NormalizePath(path);
    const char* lastSeparator = strrchr(path.CStr(), '/');
    if (lastSeparator == nullptr) {
        out = "";
        return;
    }
    int32_t folderLength = static_cast<int32_t>(lastSeparator - path.CStr());
    String folder = path.Substring(0, folderLength);
    String candidate =
        String::FromFormat("%s/%s_Data", folder.CStr(), ExecutableBaseName(lastSeparator + 1).CStr());
    String manifest = String::FromFormat("%s/prog.xml", candidate.CStr());
    out = CanOpenForReading(manifest.CStr()) ? candidate : folder;
}

void ZQI_GetResourceDirectory(String& out) {
    String executable;
    ZQI_NativeGetExecutablePath(executable);
    ZQI_GetResourceDirectoryOfExecutable(out, executable.CStr());
}

bool ZQI_InitializeNativeRoots() {
    ZQI_GetShellFolderPath(g_stagingRoots[SCHEME_DOCS], ZQI_SHELL_FOLDER_DOCUMENTS);
    ZQI_GetResourceDirectory(g_stagingRoots[SCHEME_RES]);
    const String& res = g_stagingRoots[SCHEME_RES];
    String parent = String::FromFormat("%s/..", res.CStr());
    String marker = String::FromFormat("%s%s", parent.CStr(), kProjectMarker);
    g_stagingRoots[SCHEME_PROJECT] = IsRegularFile(marker.CStr()) ? parent : res;
    ZQI_GetShellFolderPath(g_stagingRoots[SCHEME_USER], ZQI_SHELL_FOLDER_APP_DATA);
    return !g_stagingRoots[SCHEME_USER].IsEmpty();
}

bool ZQI_InitializeBasePaths() {
    for (String& root : g_stagingRoots) {
        root = "";
    }
    bool found = ZQI_InitializeNativeRoots();
    if (g_stagingRoots[SCHEME_HTTP].IsEmpty()) {
        g_stagingRoots[SCHEME_HTTP] = "http://";
    }
    for (SchemeId id = 0; id < SCHEME_TABLE_SIZE; ++id) {
        g_liveRoots[id] = g_stagingRoots[id];
    }
    return found;
}
