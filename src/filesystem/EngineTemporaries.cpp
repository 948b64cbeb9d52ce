// Whether a file name is one of the engine's own temporary files.
#include "filesystem/EngineTemporaries.h"

#include <cstring>

namespace {

bool IsLeftSave(const char* name, size_t length) {
    const size_t suffixLength = sizeof(ZQI_SAVING_SUFFIX) - 1;
    return length > suffixLength && strcmp(name + length - suffixLength, ZQI_SAVING_SUFFIX) == 0;
}

// The unique part after the prefix is the downloader's own business: any text counts.
bool IsLeftDownload(const char* name) {
    const size_t prefixLength = sizeof(ZQI_DOWNLOAD_PREFIX) - 1;
    for (const char* found = strstr(name, ZQI_DOWNLOAD_PREFIX); found != nullptr;
         found = strstr(found + 1, ZQI_DOWNLOAD_PREFIX)) {
        if (found[prefixLength] != '\0') {
            return true;
        }
    }
    return false;
}

}  // namespace

bool ZQI_IsEngineTemporaryName(const char* name) {
    if (name == nullptr) {
        return false;
    }
    return IsLeftSave(name, strlen(name)) || IsLeftDownload(name);
}
