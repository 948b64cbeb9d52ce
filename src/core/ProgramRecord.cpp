// The program interface record: the interface version rule, the identity checks of the manifest
// record, and the fallback record used while an incompatible program library ends the process.
#include "core/ProgramRecord.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/ApiTable.h"
#include "core/CoreState.h"
#include "core/Log.h"

namespace {

// The incompatible-library message is formatted into a buffer of this size.
const size_t kIncompatibleMessageSize = 512;

const char kDefaultDeveloperName[] = "Ostrel";
const char kDefaultUserDirName[] = "unknown";

zq_program_t* NoProgramLibrary() {
    ZQ_Log(LOG_LEVEL_ERROR, "LoadProgramImplementation: no program library loader is installed.");
    return nullptr;
}

void NoUnload() {}

void ExitWithCode(int32_t code) {
    exit(code);
}

const ZQI_ProgramLibraryHooks kDefaultHooks = {NoProgramLibrary, NoUnload, ExitWithCode};
ZQI_ProgramLibraryHooks g_hooks = kDefaultHooks;

zq_program_t g_fallbackRecord;

// ---- The fallback program's callbacks ----

bool FallbackInit() {
    return true;
}

void FallbackShutdown() {}

void FallbackUpdate(float) {}

int32_t FallbackHandleEvent(const zq_event_t*) {
    return 0;
}

// Length of a text in a fixed-size record field, which a program may fill without a NUL.
size_t FieldLength(const char* field, size_t fieldSize) {
    const void* end = memchr(field, '\0', fieldSize);
    return end != nullptr ? static_cast<size_t>(static_cast<const char*>(end) - field) : fieldSize;
}

// Copies a record field into a core field of capacity bytes, cut to fit, always terminated.
void CopyField(char* out, size_t capacity, const char* field, size_t fieldSize) {
    size_t length = FieldLength(field, fieldSize);
    if (length > capacity - 1) {
        length = capacity - 1;
    }
    memcpy(out, field, length);
    out[length] = '\0';
}

bool IsFolderNameCharacter(char c) {
    return c == '-' || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// The user folder name becomes part of a native path: only '-', letters and digits stay.
void RestrictToFolderCharacters(char* name) {
    for (char* c = name; *c != '\0'; ++c) {
        if (!IsFolderNameCharacter(*c)) {
            *c = '_';
        }
    }
}

// The developer name keeps its spelling (blanks, punctuation) except for what would make it more
// than one folder: separators and drive colons.
void ReplaceFolderSeparators(char* name) {
    for (char* c = name; *c != '\0'; ++c) {
        if (*c == '/' || *c == '\\' || *c == ':') {
            *c = '_';
        }
    }
}

void ReportMissingIdentityFields(const zq_program_t& program) {
    if (program.id[0] == '\0') {
        ZQ_Popup(LOG_LEVEL_WARNING, "Program doesn't have 'zq_program_t::id' set, set 'prog->id'");
    }
    if (program.title[0] == '\0') {
        ZQ_Popup(LOG_LEVEL_WARNING, "Program doesn't have 'zq_program_t::title' set, set 'prog->title'");
    }
    if (program.user_dir_name[0] == '\0') {
        ZQ_Popup(LOG_LEVEL_WARNING,
                 "Program doesn't have 'zq_program_t::user_dir_name' set, set "
                 "'prog->user_dir_name' or 'prog->title'");
    }
    if (program.version[0] == '\0') {
        ZQ_Popup(LOG_LEVEL_WARNING,
                 "Program doesn't have 'zq_program_t::version' set, set 'prog->version', e.g. "
                 "to \"1.0.0\"");
    }
    if (program.developer_name[0] == '\0') {
        ZQ_Popup(LOG_LEVEL_WARNING,
                 "Program doesn't have 'zq_program_t::developer_name' set, set "
                 "'prog->developer_name'");
    }
}

// The library is unusable: it goes, the fallback record takes its place, the user is told why,
// and the process ends (no window exists yet, so the popup is the only report besides the log).
void RefuseIncompatibleLibrary(uint32_t programVersion) {
    g_hooks.unloadLibrary();
    zq_program_t* fallback = ZQI_UseFallbackProgramRecord();
    char message[kIncompatibleMessageSize];
    ZQI_FormatIncompatibleProgramMessage(programVersion, message, sizeof(message));
    ZQ_Log(LOG_LEVEL_SYSTEM, "%s", message);
    if (g_core.popupMessage != nullptr) {
        g_core.popupMessage(LOG_LEVEL_ERROR, message);
    }
    fallback->parameters.developer = 0;
    g_hooks.exitProcess(0);
}

}  // namespace

void ZQI_SetProgramLibraryHooks(const ZQI_ProgramLibraryHooks* hooks) {
    g_hooks = kDefaultHooks;
    if (hooks == nullptr) {
        return;
    }
    if (hooks->loadLibrary != nullptr) {
        g_hooks.loadLibrary = hooks->loadLibrary;
    }
    if (hooks->unloadLibrary != nullptr) {
        g_hooks.unloadLibrary = hooks->unloadLibrary;
    }
    if (hooks->exitProcess != nullptr) {
        g_hooks.exitProcess = hooks->exitProcess;
    }
}

bool ZQI_IsProgramInterfaceVersionSupported(uint32_t version) {
    return ZQ_INTERFACE_VERSION_MAJOR(version) == ZQ_API_VERSION_MAJOR &&
           ZQ_INTERFACE_VERSION_MINOR(version) == ZQ_API_VERSION_MINOR;
}

void ZQI_FormatInterfaceVersion(uint32_t version, char* out, size_t size) {
    snprintf(out, size, "%d.%d.%d", static_cast<int>(ZQ_INTERFACE_VERSION_MAJOR(version)),
             static_cast<int>(ZQ_INTERFACE_VERSION_MINOR(version)),
             static_cast<int>(ZQ_INTERFACE_VERSION_PATCH(version)));
}

void ZQI_FormatIncompatibleProgramMessage(uint32_t programVersion, char* out, size_t size) {
    char required[32];
    char actual[32];
    ZQI_FormatInterfaceVersion(ZQ_INTERFACE_VERSION, required, sizeof(required));
    ZQI_FormatInterfaceVersion(programVersion, actual, sizeof(actual));
    snprintf(out, size,
             "Program library uses incompatible ZORQA interface (%s instead of %s). This program "
             "cannot run.\n\nUpdate the engine sources with the ZORQA update tool and rebuild "
             "the program binaries.",
             actual, required);
}

bool LoadProgramImplementation() {
    const zq_program_t& manifest = g_core.programRecord;
    ZQ_Log(LOG_LEVEL_SYSTEM, "Program '%.*s' version %.*s.",
           static_cast<int>(FieldLength(manifest.title, sizeof(manifest.title))), manifest.title,
           static_cast<int>(FieldLength(manifest.version, sizeof(manifest.version))), manifest.version);
    ZQ_Log(LOG_LEVEL_SYSTEM, "Loading program implementation...");
    g_core.program = g_hooks.loadLibrary();
    ZQ_Log(LOG_LEVEL_SYSTEM, "Validating program implementation...");
    zq_program_t* program = g_core.program;
    if (program == nullptr) {
        return false;
    }
    if (!ZQI_IsProgramInterfaceVersionSupported(program->interface_version)) {
        RefuseIncompatibleLibrary(program->interface_version);
        return false;  // reached only when the exit hook returns (tests)
    }
    program->api = ZQI_GetApi();
    program->parameters.command_line = g_core.commandLine;
    program->parameters.developer = g_core.developerMode;
    ZQ_Log(LOG_LEVEL_SYSTEM, "Program implementation validation OK.");
    return true;
}

zq_program_t* ZQI_UseFallbackProgramRecord() {
    memset(&g_fallbackRecord, 0, sizeof(g_fallbackRecord));
    g_fallbackRecord.interface_version = ZQ_INTERFACE_VERSION;
    g_fallbackRecord.parameters.windowed = 1;
    g_fallbackRecord.parameters.developer = 1;
    g_fallbackRecord.Init = FallbackInit;
    g_fallbackRecord.Shutdown = FallbackShutdown;
    g_fallbackRecord.Update = FallbackUpdate;
    g_fallbackRecord.Draw = ZQI_DrawFallbackProgram;
    g_fallbackRecord.HandleEvent = FallbackHandleEvent;
    g_core.program = &g_fallbackRecord;
    g_core.fallbackRecordInUse = 1;
    return &g_fallbackRecord;
}

void ZQI_CheckProgramFields() {
    const zq_program_t* program = g_core.program;
    if (program == nullptr) {
        ZQ_Log(LOG_LEVEL_ERROR, "ZQI_CheckProgramFields: no program record is in use.");
        return;
    }
    CopyField(g_core.developerName, sizeof(g_core.developerName), program->developer_name,
              sizeof(program->developer_name));
    CopyField(g_core.userDirName, sizeof(g_core.userDirName), program->user_dir_name,
              sizeof(program->user_dir_name));
    RestrictToFolderCharacters(g_core.userDirName);
    ReplaceFolderSeparators(g_core.developerName);
    if (g_core.developerName[0] == '\0') {
        CopyField(g_core.developerName, sizeof(g_core.developerName), kDefaultDeveloperName,
                  sizeof(kDefaultDeveloperName));
    }
    if (g_core.userDirName[0] == '\0') {
        CopyField(g_core.userDirName, sizeof(g_core.userDirName), kDefaultUserDirName,
                  sizeof(kDefaultUserDirName));
    }
    ReportMissingIdentityFields(*program);
}

void ZQI_DrawFallbackProgram(float) {
    zq_graphics_api_t* graphics = ZQI_GetApi()->graphics;
    // A build without the graphics subsystem has no drawing slots.
    if (graphics == nullptr || graphics->ClearScreen == nullptr) {
        return;
    }
    const float one = 1.0f;
    graphics->SetAlpha(&one);
    graphics->SetColor(&one, &one, &one);
    graphics->SetBlendMode(ZQ_BLEND_MODE_ALPHA);
    graphics->ClearScreen(0.0f, 1.0f, 0.0f);
}
