// Default hooks and their installation (see FoundationHooks.h).
#include "foundation/FoundationHooks.h"

#include <cstdio>

namespace {

const char* LevelName(int32_t level) {
    switch (level) {
        case 0:
            return "INFO";
        case 1:
            return "WARNING";
        case 2:
            return "ERROR";
        case 3:
            return "SYSTEM";
        default:
            return "UNKNOWN";
    }
}

void DefaultLog(int32_t level, const char* text) {
    fprintf(stderr, "[%s] %s\n", LevelName(level), text != nullptr ? text : "");
}

void DefaultPopup(int32_t level, const char* text) {
    fprintf(stderr, "[POPUP] [%s] %s\n", LevelName(level), text != nullptr ? text : "");
}

bool DefaultIsDeveloperMode() {
    return false;
}

void DefaultGetSearchPaths(Array<String>*) {}

bool DefaultFileExists(const char*) {
    return false;
}

uint64_t DefaultWriteFile(const void*, uint64_t, zq_file_t*) {
    return 0;
}

const ZQI_ErrorReportSink kDefaultSink = {DefaultLog, DefaultPopup, DefaultIsDeveloperMode};
const ZQI_FileServiceHooks kDefaultFileHooks = {DefaultGetSearchPaths, DefaultFileExists, DefaultWriteFile};

ZQI_ErrorReportSink g_sink = kDefaultSink;
ZQI_FileServiceHooks g_fileHooks = kDefaultFileHooks;

}  // namespace

void ZQI_SetErrorReportSink(const ZQI_ErrorReportSink* sink) {
    g_sink = kDefaultSink;
    if (sink == nullptr) {
        return;
    }
    if (sink->log != nullptr) g_sink.log = sink->log;
    if (sink->popup != nullptr) g_sink.popup = sink->popup;
    if (sink->isDeveloperMode != nullptr) g_sink.isDeveloperMode = sink->isDeveloperMode;
}

void ZQI_SetFileServiceHooks(const ZQI_FileServiceHooks* hooks) {
    g_fileHooks = kDefaultFileHooks;
    if (hooks == nullptr) {
        return;
    }
    if (hooks->getSearchPaths != nullptr) g_fileHooks.getSearchPaths = hooks->getSearchPaths;
    if (hooks->fileExists != nullptr) g_fileHooks.fileExists = hooks->fileExists;
    if (hooks->writeFile != nullptr) g_fileHooks.writeFile = hooks->writeFile;
}

const ZQI_ErrorReportSink& ZQI_GetErrorReportSink() {
    return g_sink;
}

const ZQI_FileServiceHooks& ZQI_GetFileServiceHooks() {
    return g_fileHooks;
}
