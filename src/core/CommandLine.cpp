// Command-line options of the engine: "--features" and "--launch-uri". Each value is the word
// after the option's first occurrence, up to the next blank, taken as it stands (no unquoting).
#include "core/CommandLine.h"

#include <cstdlib>
#include <cstring>

#include "core/CoreState.h"
#include "core/Log.h"
#include "foundation/TextUtils.h"

namespace {

char* g_commandLine = nullptr;  // heap copy kept for the whole run
String g_launchUri;             // empty when none was given

// The word after the first occurrence of option, or an empty string when the option is absent
// or is the last word. The field buffer is as long as the rest of the line, so no value is too
// long to be read.
String ReadOptionValue(const char* commandLine, const char* option) {
    String value;
    const char* start = strstr(commandLine, option);
    if (start == nullptr) {
        return value;
    }
    const size_t restLength = strlen(start) + 1;
    if (restLength > static_cast<size_t>(INT32_MAX)) {
        ZQI_LogFormat(LOG_LEVEL_ERROR, "ZQI_ParseCommandLine: command line too long");
        return value;
    }
    char* field = static_cast<char*>(malloc(restLength));
    if (field == nullptr) {
        ZQI_LogFormat(LOG_LEVEL_ERROR, "ZQI_ParseCommandLine: out of memory");
        return value;
    }
    value.Assign(ZQI_GetField(field, static_cast<int32_t>(restLength), start, " ", 1));
    free(field);
    return value;
}

bool ContainsOption(const char* commandLine, const char* option) {
    return strstr(commandLine, option) != nullptr;
}

}  // namespace

void ZQI_SetCommandLine(const char* commandLine) {
    char* copy = nullptr;
    if (commandLine != nullptr) {
        copy = ZQI_DuplicateString(commandLine);
        if (copy == nullptr) {
            ZQI_LogFormat(LOG_LEVEL_ERROR, "ZQI_SetCommandLine: out of memory");
            return;
        }
    }
    free(g_commandLine);
    g_commandLine = copy;
    g_core.commandLine = copy;  // the core hands this pointer to the program's parameters
}

const char* ZQI_GetCommandLine() {
    return g_commandLine;
}

void ZQI_ParseCommandLine(FeatureList* list) {
    if (list == nullptr) {
        ZQI_LogFormat(LOG_LEVEL_ERROR, "ZQI_ParseCommandLine: no feature list");
        return;
    }
    const char* commandLine = g_commandLine;
    if (commandLine == nullptr) {
        return;
    }
    if (ContainsOption(commandLine, "--features")) {
        const String words = ReadOptionValue(commandLine, "--features");
        ZQI_AddFeatures(list, words.CStr(), FEATURE_LEVEL_COMMAND_LINE);
        ZQI_SetFeatureText(FEATURE_TEXT_COMMAND_LINE, list->commandLine.CStr());
    }
    if (ContainsOption(commandLine, "--launch-uri")) {
        g_launchUri = ReadOptionValue(commandLine, "--launch-uri");
    }
}

const char* ZQI_GetLaunchUri() {
    return g_launchUri.CStr();
}

void ZQI_ReleaseCommandLine() {
    free(g_commandLine);
    g_commandLine = nullptr;
    g_core.commandLine = nullptr;
    g_launchUri.Assign(nullptr);
}
