// The file systems' link to the core runtime: messages go through the engine API's own slots
// (so they count, filter and reach the log like every other message), flags come from CoreState.
#include "filesystem/FileSystemServices.h"

#include <cstdarg>
#include <cstdlib>

#include "core/ApiTable.h"
#include "core/CoreState.h"
#include "foundation/String.h"

namespace {

// Formats into a stack buffer (or a heap block for long texts) and hands the text on.
template <typename Deliver>
void FormatAndDeliver(const char* format, va_list args, Deliver deliver) {
    char buffer[ZQI_FORMAT_BUFFER_SIZE];
    char* text = ZQI_FormatToBuffer(buffer, format, args);
    deliver(text);
    if (text != buffer) {
        free(text);
    }
}

const zq_program_t* ProgramRecord() {
    return g_core.program != nullptr ? g_core.program : &g_core.programRecord;
}

}  // namespace

void ZQI_FileSystemPrint(const char* format, ...) {
    zq_api_t* api = ZQI_GetApi();
    if (api->Print == nullptr) {
        return;
    }
    va_list args;
    va_start(args, format);
    FormatAndDeliver(format, args, [api](const char* text) { api->Print("%s", text); });
    va_end(args);
}

void ZQI_FileSystemLog(int32_t level, const char* format, ...) {
    zq_api_t* api = ZQI_GetApi();
    if (api->Log == nullptr) {
        return;
    }
    va_list args;
    va_start(args, format);
    FormatAndDeliver(format, args, [api, level](const char* text) { api->Log(level, "%s", text); });
    va_end(args);
}

void ZQI_FileSystemPopup(int32_t level, const char* format, ...) {
    zq_api_t* api = ZQI_GetApi();
    if (api->Popup == nullptr) {
        return;
    }
    va_list args;
    va_start(args, format);
    FormatAndDeliver(format, args, [api, level](const char* text) { api->Popup(level, "%s", text); });
    va_end(args);
}

bool ZQI_FileSystemIsDeveloperMode() {
    return g_core.developerMode != 0;
}

bool ZQI_FileSystemIsCoreRunning() {
    return ZQI_GetApi()->Print != nullptr && g_core.coreRunning != 0;
}

bool ZQI_FileSystemIsQuitting() {
    return ZQI_IsQuitSignalled();
}

const char* ZQI_FileSystemProgramId() {
    return ProgramRecord()->id;
}

const char* ZQI_FileSystemProgramVersion() {
    return ProgramRecord()->version;
}
