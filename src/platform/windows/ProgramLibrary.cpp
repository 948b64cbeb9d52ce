// The program library loader: the two places prog.dll is looked for, the two entry points it may
// export, and what the user is told when neither works.
#include "platform/windows/ProgramLibrary.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "core/ApiTable.h"
#include "core/CoreState.h"
#include "core/Log.h"
#include "core/ProgramRecord.h"
#include "filesystem/VirtualPath.h"
#include "foundation/String.h"
#include "platform/windows/Popups.h"

namespace {

const char kResourceLibraryPath[] = "res://prog.dll";
const char kSearchedLibraryName[] = "prog.dll";
const int kMissingLibraryExitCode = 1;

const char kMissingLibraryText[] =
    "Could not locate Program library file. Please download and install the application again.";
const char kNoInterfaceText[] =
    "Program library file bad: Interface not found. Please download and install the application again.";
const char kNotCreatedText[] =
    "Program library file bad: Program couldn't be created. Please download and install the application "
    "again.";

HMODULE g_library = nullptr;
// The record handed to "ZQ_GetProgramInterface"; zero-filled before every load.
zq_program_t g_libraryRecord;

// GetProcAddress answers a generic function pointer; the export's real type is the interface's.
template <typename Function>
Function FindExport(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// A failure is logged at the given level: the resource folder's copy may legitimately be absent,
// the last place searched may not.
HMODULE LoadLibraryLogged(const char* path, int32_t failureLevel) {
    HMODULE module = LoadLibraryA(path);
    if (module == nullptr) {
        DWORD error = GetLastError();
        ZQ_Log(failureLevel, "%s error: %s (0x%08X, platform error %i) for '%s'.", "Program library",
               "LoadLibraryA", static_cast<unsigned>(HRESULT_FROM_WIN32(error)), static_cast<int>(error),
               path);
    }
    return module;
}

// The resource folder's copy, by its native path with Windows separators. An empty path (no
// resource root) is never handed to LoadLibraryA: it would not name prog.dll.
HMODULE LoadFromResourceFolder() {
    String path;
    ZQ_ConvertStaticPathToNativeOSPath(path, kResourceLibraryPath);
    if (path.IsEmpty()) {
        return nullptr;
    }
    for (char* c = path.data; *c != '\0'; ++c) {
        if (*c == '/') {
            *c = '\\';
        }
    }
    return LoadLibraryLogged(path.CStr(), LOG_LEVEL_INFO);
}

// The library's record, or null after the "couldn't be created" popup. Null also when the
// library has neither export; then it has been freed after the "not found" popup.
zq_program_t* ObtainProgramRecord(HMODULE module) {
    memset(&g_libraryRecord, 0, sizeof(g_libraryRecord));
    zq_get_program_interface_t getProgramInterface =
        FindExport<zq_get_program_interface_t>(module, "ZQ_GetProgramInterface");
    if (getProgramInterface != nullptr) {
        if (getProgramInterface(&g_libraryRecord, ZQ_INTERFACE_VERSION)) {
            return &g_libraryRecord;
        }
        PopupMessage(POPUP_LEVEL_ERROR, kNotCreatedText);
        return nullptr;
    }
    zq_get_interface_t getInterface = FindExport<zq_get_interface_t>(module, "ZQ_GetInterface");
    if (getInterface != nullptr) {
        zq_program_t* program = getInterface();
        if (program == nullptr) {
            PopupMessage(POPUP_LEVEL_ERROR, kNotCreatedText);
        }
        return program;
    }
    PopupMessage(POPUP_LEVEL_ERROR, kNoInterfaceText);
    FreeLibrary(module);
    g_library = nullptr;
    return nullptr;
}

void EndProcess(int32_t code) {
    exit(code);
}

}  // namespace

zq_program_t* LoadProgramLibrary() {
    HMODULE module = LoadFromResourceFolder();
    if (module == nullptr) {
        module = LoadLibraryLogged(kSearchedLibraryName, LOG_LEVEL_ERROR);
    }
    if (module == nullptr) {
        PopupMessage(POPUP_LEVEL_PLAIN, kMissingLibraryText);
        exit(kMissingLibraryExitCode);
    }
    g_library = module;
    return ObtainProgramRecord(module);
}

void UnloadProgramLibrary() {
    if (ZQI_GetApi()->Log != nullptr) {
        ZQ_Log(LOG_LEVEL_SYSTEM, "Unloading ProgImp Library.");
    }
    if (g_library != nullptr) {
        FreeLibrary(g_library);
    }
    g_core.program = nullptr;
    g_library = nullptr;
}

void ZQI_InstallProgramLibraryLoader() {
    ZQI_ProgramLibraryHooks hooks;
    hooks.loadLibrary = LoadProgramLibrary;
    hooks.unloadLibrary = UnloadProgramLibrary;
    hooks.exitProcess = EndProcess;
    ZQI_SetProgramLibraryHooks(&hooks);
}
