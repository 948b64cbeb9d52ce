// The named extension calls that answer questions about the engine and the machine: the
// language named on the command line, the renderer, the program and its features, the platform
// and the local date.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "core/ApiTable.h"
#include "core/CoreState.h"
#include "core/Features.h"
#include "core/Log.h"
#include "engine/ExtensionCall_local.h"
#include "engine/Lifecycle.h"
#include "engine/RuntimeState.h"
#include "foundation/EnumNames.h"
#include "foundation/String.h"
#include "graphics/d3d11/RendererImplementation.h"
#include "startup/Manifest.h"
#include "startup/ManifestState.h"

namespace {

// ---- Language ----

struct LanguageName {
    const char* name;
    const char* code;
};

// In this order: the first name found anywhere in the command line wins.
const LanguageName kLanguages[] = {
    {"Arabic", "ar"},  {"Bengali", "bn"},   {"Chinese", "zh"}, {"Czech", "cs"},      {"English", "en"},
    {"French", "fr"},  {"German", "de"},    {"Hindi", "hi"},   {"Italian", "it"},    {"Japanese", "ja"},
    {"Korean", "ko"},  {"Mandarin", "mdr"}, {"Polish", "pl"},  {"Portuguese", "pt"}, {"Punjabi", "pa"},
    {"Russian", "ru"}, {"Spanish", "es"},   {"Urdu", "ur"},
};

// ---- Renderer ----

const char* EyeModeName(int32_t eyeMode) {
    switch (eyeMode) {
        case 1:
            return "Left";
        case 2:
            return "Right";
        default:
            return "Mono";
    }
}

const char* MaximumTextureSizeText(uint32_t featureLevel) {
    switch (featureLevel) {
        case D3D_FEATURE_LEVEL_9_1:
        case D3D_FEATURE_LEVEL_9_2:
            return "2048";
        case D3D_FEATURE_LEVEL_9_3:
            return "4096";
        default:
            return "16384";
    }
}

// ---- Program ----

String g_featureText;

// The command line's words, then the manifest's and developer settings', then the variant's;
// empty lists are left out.
const char* JoinFeatureTexts() {
    const FeatureTextId order[] = {FEATURE_TEXT_COMMAND_LINE, FEATURE_TEXT_FIRST, FEATURE_TEXT_VARIANT};
    g_featureText = "";
    for (FeatureTextId id : order) {
        const char* text = ZQI_GetFeatureText(id);
        if (text == nullptr || text[0] == '\0') {
            continue;
        }
        if (!g_featureText.IsEmpty()) {
            g_featureText.Append(",");
        }
        g_featureText.Append(text);
    }
    return g_featureText.CStr();
}

// ---- Platform ----

char g_desktopWidth[16];
char g_desktopHeight[16];

// The developer setting that simulates a device: "<platform>/<screen size>", e.g. "IOS/SMALL".
const char* SimulatedDevice() {
    return g_runtime.settings.forcedVariant;
}

const char* PlatformIdName() {
    const char* device = SimulatedDevice();
    if (device == nullptr) {
        return ZQI_GetPlatformName(ZQI_GetSystemInfoRecord().platformId);
    }
    // Through the id and back, so a platform the engine does not know answers "UNKNOWN".
    String platform = String(device).Substring(0, static_cast<int32_t>(strcspn(device, "/")));
    return ZQI_GetPlatformName(ZQI_GetPlatformIdFromName(platform.CStr()));
}

const char* ScreenSizeName() {
    const char* device = SimulatedDevice();
    if (device == nullptr) {
        return ZQI_GetScreenSizeName(ZQI_GetSystemInfoRecord().screenSizeId);
    }
    const char* slash = strchr(device, '/');
    if (slash == nullptr) {
        return "LARGE";
    }
    // Through the id and back, as for the platform: a size the engine does not know is "SMALL".
    return ZQI_GetScreenSizeName(ZQI_GetScreenSizeIdFromName(slash + 1));
}

// ---- Dates ----

char g_dateText[32];
char g_timeStampText[32];

}  // namespace

ExtensionAnswer ZQI_HandleLanguageQuery(const char* function, const char*) {
    const char* commandLine = g_core.commandLine;
    if (!Is(function, "GetLanguage") || commandLine == nullptr || commandLine[0] == '\0') {
        return ExtensionGoesOn();
    }
    for (const LanguageName& language : kLanguages) {
        if (strstr(commandLine, language.name) != nullptr) {
            return ExtensionEnds(language.code);
        }
    }
    return ExtensionGoesOn();
}

ExtensionAnswer ZQI_HandleRendererQuery(const char* function, const char* parameter) {
    if (!Is(function, "Renderer")) {
        return ExtensionGoesOn();
    }
    const RendererImplementation* renderer = g_core.renderer;
    if (renderer == nullptr) {
        return ExtensionEnds(nullptr);
    }
    if (Is(parameter, "SupportedResolutions")) {
        return ExtensionEnds(ZQI_GetSupportedResolutionsText(0));
    }
    if (Is(parameter, "EyeMode")) {
        return ExtensionEnds(EyeModeName(0));  // the Direct3D 11 back end renders one view
    }
    if (Is(parameter, "MaximumTextureSize")) {
        return ExtensionEnds(MaximumTextureSizeText(renderer->featureLevel));
    }
    return ExtensionGoesOn();
}

ExtensionAnswer ZQI_HandleProgramQuery(const char* function, const char* parameter) {
    if (Is(function, "GetProductValue")) {
        return ExtensionEnds(ZQI_GetParameter(parameter));
    }
    if (!Is(function, "ProgramInfo")) {
        return ExtensionGoesOn();
    }
    if (Is(parameter, "ProgramId")) {
        return ExtensionEnds(g_core.program != nullptr ? g_core.program->id : "null");
    }
    if (Is(parameter, "Features")) {
        return ExtensionEnds(JoinFeatureTexts());
    }
    if (Is(parameter, "ControlInterfaces")) {
        return ExtensionEnds(g_manifest.controlInterfaces.CStr());
    }
    return ExtensionGoesOn();
}

ExtensionAnswer ZQI_HandlePlatformQuery(const char* function, const char* parameter) {
    if (!Is(function, "PlatformInfo") || parameter == nullptr) {
        return ExtensionGoesOn();
    }
    const SystemInfo& info = ZQI_GetSystemInfoRecord();
    struct TextQuery {
        const char* name;
        const char* text;
    };
    const TextQuery texts[] = {{"DeviceModel", info.deviceName},
                               {"OS", info.os},
                               {"UniqueId", info.uniqueId},
                               {"GPUDesc", info.gpu},
                               {"CPUDesc", info.cpu}};
    for (const TextQuery& query : texts) {
        if (Is(parameter, query.name)) {
            return ExtensionEnds(query.text);
        }
    }
    if (Is(parameter, "DesktopWidth")) {
        snprintf(g_desktopWidth, sizeof(g_desktopWidth), "%d", g_runtime.desktopWidth);
        return ExtensionEnds(g_desktopWidth);
    }
    if (Is(parameter, "DesktopHeight")) {
        snprintf(g_desktopHeight, sizeof(g_desktopHeight), "%d", g_runtime.desktopHeight);
        return ExtensionEnds(g_desktopHeight);
    }
    // Kept for old programs: a warning, and no answer.
    const TextQuery removed[] = {{"OSMajor", "PlatformInfo.OSMajor is removed."},
                                 {"OSMinor", "PlatformInfo.OSMinor is removed."},
                                 {"ZorqaImp", "PlatformInfo.ZorqaImp is removed."}};
    for (const TextQuery& query : removed) {
        if (Is(parameter, query.name)) {
            ZQ_Popup(LOG_LEVEL_WARNING, "%s", query.text);
            return ExtensionGoesOn();
        }
    }
    if (Is(parameter, "PlatformId")) {
        return ExtensionEnds(PlatformIdName());
    }
    if (Is(parameter, "ScreenSizeId")) {
        return ExtensionEnds(ScreenSizeName());
    }
    return ExtensionGoesOn();
}

ExtensionAnswer ZQI_HandleDateQuery(const char* function, const char*) {
    const bool date = Is(function, "GetDate");
    if (!date && !Is(function, "GetTimeStamp")) {
        return ExtensionGoesOn();
    }
    zq_date_t now = ZQ_GetLocalDate();
    if (date) {
        snprintf(g_dateText, sizeof(g_dateText), "%d-%.2d-%.2d", now.year, now.month, now.day);
        return ExtensionEnds(g_dateText);
    }
    snprintf(g_timeStampText, sizeof(g_timeStampText), "%d-%.2d-%.2d:%.2d-%.2d", now.year, now.month, now.day,
             now.hour, now.minute);
    return ExtensionEnds(g_timeStampText);
}
