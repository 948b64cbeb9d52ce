// Module libraries through the dynamic linker: the host build's body, so the services' loading
// path runs in the sanitized tests too.
#include <dlfcn.h>

#include "platform/windows/ModuleLibrary.h"

void* ZQI_LoadModuleLibrary(const char* nativePath) {
    if (nativePath == nullptr || nativePath[0] == '\0') {
        return nullptr;
    }
    return dlopen(nativePath, RTLD_NOW | RTLD_LOCAL);
}

void* ZQI_FindModuleLibraryExport(void* library, const char* name) {
    if (library == nullptr || name == nullptr) {
        return nullptr;
    }
    return dlsym(library, name);
}

void ZQI_FreeModuleLibrary(void* library) {
    if (library != nullptr) {
        dlclose(library);
    }
}
