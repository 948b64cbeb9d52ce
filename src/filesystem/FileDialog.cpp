// The native file dialog slot: builds the filter list and the initial folder, and turns the
// chosen native file back into a virtual path.
#include <cstring>

#include "filesystem/FileSystemApi.h"
#include "filesystem/FileSystemServices.h"
#include "filesystem/NativePlatform.h"

namespace {

const int32_t kDialogBufferSize = 512;

char g_dialogPath[kDialogBufferSize];
void* g_dialogOwner = nullptr;

// Appends text and its NUL to the filter list.
void AppendFilterText(int32_t& length, char* out, int32_t outSize, const char* text) {
    size_t textLength = strlen(text);
    if (length + static_cast<int32_t>(textLength) + 2 > outSize) {
        return;
    }
    memcpy(out + length, text, textLength + 1);
    length += static_cast<int32_t>(textLength) + 1;
    out[length] = '\0';
}

}  // namespace

void ZQI_SetFileDialogOwner(void* window) {
    g_dialogOwner = window;
}

char* ZQI_ShowNativeFileDialog(const char* initialNativeFolder, const char* filter, bool save) {
    // Pairs of (description, pattern), ending with an empty text: the caller's filter, then all.
    char filterPairs[2 * kDialogBufferSize + 16];
    int32_t length = 0;
    filterPairs[0] = '\0';
    if (filter != nullptr && filter[0] != '\0' && strlen(filter) < static_cast<size_t>(kDialogBufferSize)) {
        AppendFilterText(length, filterPairs, static_cast<int32_t>(sizeof(filterPairs)), filter);
        AppendFilterText(length, filterPairs, static_cast<int32_t>(sizeof(filterPairs)), filter);
    }
    AppendFilterText(length, filterPairs, static_cast<int32_t>(sizeof(filterPairs)), "*.*");
    AppendFilterText(length, filterPairs, static_cast<int32_t>(sizeof(filterPairs)), "*.*");

    g_dialogPath[0] = '\0';
    if (initialNativeFolder != nullptr &&
        strlen(initialNativeFolder) < static_cast<size_t>(kDialogBufferSize)) {
        strcpy(g_dialogPath, initialNativeFolder);
        for (char* c = g_dialogPath; *c != '\0'; ++c) {
            if (*c == '/') {
                *c = '\\';
            }
        }
    }
    if (!ZQI_NativeShowFileDialog(g_dialogOwner, filterPairs, g_dialogPath, kDialogBufferSize, save)) {
        return nullptr;
    }
    String virtualPath;
    ZQI_ConvertNativePathToPath(virtualPath, g_dialogPath);
    if (virtualPath.Length() >= kDialogBufferSize) {
        virtualPath = "";
    }
    strcpy(g_dialogPath, virtualPath.CStr());
    return g_dialogPath;
}

const char* ZQ_FileSystem_ShowNativeFileSelectDialog(const char* initialFolder, const char* filter,
                                                     bool save) {
    String native;
    if (initialFolder != nullptr && initialFolder[0] != '\0') {
        if (!ZQI_IsPathValid(initialFolder, true, false)) {
            ZQI_FileSystemPopup(1, "File System %s: path '%s' is invalid, see IsPathValid() for more info.",
                                "ShowNativeFileSelectDialog", initialFolder);
            return nullptr;
        }
        ConvertPathToNativePath(native, ZQI_GetSchemeId(initialFolder), initialFolder);
    }
    return ZQI_ShowNativeFileDialog(native.IsEmpty() ? nullptr : native.CStr(),
                                    filter != nullptr && filter[0] != '\0' ? filter : nullptr, save);
}
