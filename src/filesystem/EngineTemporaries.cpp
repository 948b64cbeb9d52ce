// Whether a file name is one of the engine's own temporary files.
#include "filesystem/EngineTemporaries.h"

#include <cstring>

namespace {

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

// The name ends in the suffix, with text before it.
bool EndsAfterText(const char* name, const char* suffix) {
    const size_t suffixLength = strlen(suffix);
    const size_t length = name != nullptr ? strlen(name) : 0;
    return length > suffixLength && strcmp(name + length - suffixLength, suffix) == 0;
}

}  // namespace

bool ZQI_IsEngineTemporaryName(const char* name) {
    if (name == nullptr) {
        return false;
    }
    return ZQI_IsSavingName(name) || ZQI_IsSavedName(name) || IsLeftDownload(name);
}

bool ZQI_IsSavingName(const char* name) {
    return EndsAfterText(name, ZQI_SAVING_SUFFIX);
}

bool ZQI_IsSavedName(const char* name) {
    return EndsAfterText(name, ZQI_SAVED_SUFFIX);
}
