// Module libraries through the Windows loader.
#include <windows.h>

#include "platform/windows/ModuleLibrary.h"

void* ZQI_LoadModuleLibrary(const char* nativePath) {
    if (nativePath == nullptr || nativePath[0] == '\0') {
        return nullptr;
    }
    return reinterpret_cast<void*>(LoadLibraryA(nativePath));
}

void* ZQI_FindModuleLibraryExport(void* library, const char* name) {
    if (library == nullptr || name == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void ZQI_FreeModuleLibrary(void* library) {
    if (library != nullptr) {
        FreeLibrary(static_cast<HMODULE>(library));
    }
}
