// Loading module libraries (the storefront extension modules): a library by its native path,
// an export by name, and unloading. ModuleLibraryWin32.cpp holds the product's bodies (the
// Windows loader); ModuleLibraryPosix.cpp the host build's (the dynamic linker), for tests.
#pragma once

// The loaded library, or null when it cannot be loaded.
void* ZQI_LoadModuleLibrary(const char* nativePath);
// The address of an exported function, or null.
void* ZQI_FindModuleLibraryExport(void* library, const char* name);
// Unloads a library from ZQI_LoadModuleLibrary; null is ignored.
void ZQI_FreeModuleLibrary(void* library);
