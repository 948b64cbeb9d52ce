// Resolution selection over the resolutions text, and the device check behind it.
#include "engine/ResolutionSelection.h"

#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/ApiTable.h"
#include "core/CoreState.h"
#include "core/Features.h"
#include "core/Log.h"
#include "engine/RuntimePlatform.h"
#include "engine/RuntimeState.h"
#include "foundation/EnumNames.h"
#include "foundation/String.h"
#include "graphics/d3d11/RendererImplementation.h"

namespace {

const Resolution kCommonSizes[] = {
    {640, 480},   {800, 600},   {960, 600},   {1024, 576},  {1024, 600},  {1024, 768},  {1152, 864},
    {1280, 720},  {1280, 768},  {1280, 800},  {1280, 960},  {1280, 1024}, {1360, 768},  {1366, 768},
    {1400, 1050}, {1440, 900},  {1600, 900},  {1600, 1024}, {1600, 1200}, {1680, 1050}, {1768, 992},
    {1856, 1392}, {1920, 1080}, {1920, 1200}, {1920, 1440}, {2560, 1440}};

const int32_t kBestAspectEntries = 64;
const int32_t kAnyResolutionEntries = 32;
const int32_t kMaxEntryLength = 512;
const float kAspectTolerance = 0.03f;
// A window must leave room for its frame and the task bar.
const int32_t kWindowMarginWidth = 50;
const int32_t kWindowMarginHeight = 70;

// One entry of the resolutions text.
struct Entry {
    int32_t width;
    int32_t height;
    bool display;  // "*": the display size
};

// Reads entry index of the comma-separated text. False past the end, or for an entry of 512
// characters or more (which ends the walk).
bool ReadEntry(const char* text, int32_t index, Entry* entry) {
    const char* start = text;
    for (int32_t i = 0; i < index; ++i) {
        start = strchr(start, ',');
        if (start == nullptr) {
            return false;
        }
        ++start;
    }
    size_t length = strcspn(start, ",");
    if (length == 0 && *start == '\0') {
        return false;
    }
    if (length >= static_cast<size_t>(kMaxEntryLength)) {
        return false;
    }
    char piece[kMaxEntryLength];
    memcpy(piece, start, length);
    piece[length] = '\0';
    entry->display = piece[0] == '*';
    entry->width = 0;
    entry->height = 0;
    if (entry->display) {
        entry->width = g_runtime.displayWidth;
        entry->height = g_runtime.displayHeight;
        return true;
    }
    entry->width = atoi(piece);
    const char* x = strchr(piece, 'x');
    entry->height = x != nullptr ? atoi(x + 1) : 0;
    return true;
}

bool ContainsSize(const Array<Resolution>& list, int32_t width, int32_t height) {
    for (const Resolution& entry : list) {
        if (entry.width == width && entry.height == height) {
            return true;
        }
    }
    return false;
}

void SetPendingSize(int32_t width, int32_t height) {
    g_core.pendingParameters.width = width;
    g_core.pendingParameters.height = height;
}

// The size "*" stands for when the display size is not known yet.
void GetFallbackSize(int32_t* width, int32_t* height) {
    *width = 0;
    *height = 0;
    if (g_runtime.settings.forcedVariant != nullptr) {
        ZQI_GetTypicalVariantSize(g_runtime.settings.forcedVariant, width, height);
    }
    if (*width <= 0 || *height <= 0) {
        const zq_parameters_t* program = g_core.program != nullptr ? &g_core.program->parameters : nullptr;
        *width = program != nullptr ? program->design_width : 0;
        *height = program != nullptr ? program->design_height : 0;
    }
    ZQ_Print("Device screen size not set. Using typical fallback resolution %dx%d.", *width, *height);
}

bool SelectClosestAspect(const char* text, int32_t displayIndex, bool windowed) {
    const int32_t desktopWidth = g_runtime.desktopWidth;
    const int32_t desktopHeight = g_runtime.desktopHeight;
    const float desktopAspect = static_cast<float>(desktopWidth) / static_cast<float>(desktopHeight);
    bool found = false;
    Entry best = {0, 0, false};
    float bestAspect = 0.0f;
    for (int32_t i = 0; i < kBestAspectEntries; ++i) {
        Entry entry;
        if (!ReadEntry(text, i, &entry)) {
            break;
        }
        // In 64 bits: a large entry's area does not fit in 32, and a wrapped one would skip it.
        const int64_t area = static_cast<int64_t>(entry.width) * entry.height;
        if (area <= 0 || entry.width > desktopWidth || entry.height > desktopHeight) {
            continue;
        }
        float aspect = static_cast<float>(entry.width) / static_cast<float>(entry.height);
        if (found && !(std::fabs(aspect - desktopAspect) < std::fabs(bestAspect - desktopAspect) &&
                       std::fabs(bestAspect - aspect) > kAspectTolerance)) {
            continue;
        }
        if (ZQI_IsResolutionSupported(displayIndex, entry.width, entry.height, windowed)) {
            best = entry;
            bestAspect = aspect;
            found = true;
        }
    }
    if (!found) {
        return false;
    }
    ZQ_Print("Closest supported aspect ratio is %dx%d (aspect %.2f vs desktop %.2f)", best.width, best.height,
             bestAspect, desktopAspect);
    SetPendingSize(best.width, best.height);
    return true;
}

bool SelectAnyResolution(const char* text, int32_t displayIndex, bool windowed, bool forcing,
                         Entry* smallest) {
    ZQ_Print("Trying to find any resolution.");
    int64_t smallestArea = 0;
    for (int32_t i = 0; i < kAnyResolutionEntries; ++i) {
        Entry entry;
        if (!ReadEntry(text, i, &entry)) {
            break;
        }
        if (entry.display && (entry.width == 0 || entry.height == 0)) {
            GetFallbackSize(&entry.width, &entry.height);
        }
        int64_t area = static_cast<int64_t>(entry.width) * entry.height;
        if (area <= 0) {
            continue;
        }
        if (smallestArea == 0 || area < smallestArea) {
            smallestArea = area;
            *smallest = entry;
        }
        if (forcing || ZQI_IsResolutionSupported(displayIndex, entry.width, entry.height, windowed)) {
            ZQ_Print("Selected resolution %dx%d.", entry.width, entry.height);
            SetPendingSize(entry.width, entry.height);
            return true;
        }
    }
    return false;
}

}  // namespace

void ZQI_GetTypicalVariantSize(const char* variant, int32_t* width, int32_t* height) {
    char platform[64] = "";
    const char* slash = strchr(variant, '/');
    size_t length = slash != nullptr ? static_cast<size_t>(slash - variant) : strlen(variant);
    if (length >= sizeof(platform)) {
        length = sizeof(platform) - 1;
    }
    memcpy(platform, variant, length);
    platform[length] = '\0';
    bool small = slash != nullptr && ZQI_GetScreenSizeIdFromName(slash + 1) == SCREEN_SIZE_SMALL;

    int32_t w = 800;
    int32_t h = 600;
    switch (ZQI_GetPlatformIdFromName(platform)) {
        case PLATFORM_ID_WINDOWS:
        case PLATFORM_ID_MAC:
        case PLATFORM_ID_LINUX:
        case PLATFORM_ID_WINDOWS_RT:
        case PLATFORM_ID_TIZEN:
        case PLATFORM_ID_SWITCH:
        case PLATFORM_ID_WINDOWS_GAME_CORE:
            w = 1280;
            h = 720;
            break;
        case PLATFORM_ID_IOS:
            w = small ? 960 : 1024;
            h = small ? 640 : 768;
            break;
        case PLATFORM_ID_ANDROID:
            w = 854;
            h = 480;
            break;
        case PLATFORM_ID_WEBOS:
            w = small ? 480 : 1024;
            h = small ? 320 : 768;
            break;
        case PLATFORM_ID_QNX:
            w = 1024;
            h = 600;
            break;
        case PLATFORM_ID_PS3:
        case PLATFORM_ID_PS4:
        case PLATFORM_ID_XBOX_ONE:
        case PLATFORM_ID_APPLE_TV:
        case PLATFORM_ID_ANDROID_TV:
        case PLATFORM_ID_XBOX_ONE_GAME_CORE:
        case PLATFORM_ID_XBOX_SERIES_X:
        case PLATFORM_ID_PS5:
            w = 1920;
            h = 1080;
            break;
        case PLATFORM_ID_PS_VITA:
            w = 960;
            h = 544;
            break;
        case PLATFORM_ID_WINDOWS_PHONE:
            w = 800;
            h = 480;
            break;
        case PLATFORM_ID_FLASH:
            w = 550;
            h = 400;
            break;
        default:
            break;
    }
    *width = w;
    *height = h;
}

void BuildDisplayModeList(int32_t displayIndex) {
    Array<Resolution> modes;
    ZQI_GetRuntimeRendererCalls().GetDisplayModes(displayIndex, modes);
    for (const Resolution& size : kCommonSizes) {
        if (!ContainsSize(modes, size.width, size.height)) {
            modes.Push(size);
        }
    }
    if (modes.count > 0) {
        qsort(modes.data, static_cast<size_t>(modes.count), sizeof(Resolution), ZQI_CompareSizeDescending);
    }
    String text;
    for (int32_t i = 0; i < modes.count; ++i) {
        text.AppendFormat("%s%ix%i", i == 0 ? "" : ",", modes[i].width, modes[i].height);
    }
    ZQI_SetOwnedText(&g_runtime.settings.resolutionsText, text.CStr());
    g_runtime.settings.resolutionsDisplayIndex = displayIndex;
}

bool ZQI_IsResolutionSupported(int32_t displayIndex, int32_t width, int32_t height, bool windowed) {
    const RuntimeSettings& settings = g_runtime.settings;
    if (width == 0 || height == 0) {
        return false;
    }
    if (settings.simulatedDevice) {
        return true;
    }
    if (settings.forceResolution && settings.forcedWidth == width && settings.forcedHeight == height) {
        return true;
    }
    const int32_t desktopWidth = g_runtime.desktopWidth;
    const int32_t desktopHeight = g_runtime.desktopHeight;
    if (windowed && desktopWidth > 0 && desktopHeight > 0) {
        if (ZQI_IsFeatureEnabled("FREE_RESOLUTION") && width == desktopWidth && height == desktopHeight) {
            return true;
        }
        return width <= desktopWidth - kWindowMarginWidth && height <= desktopHeight - kWindowMarginHeight;
    }
    if (width == desktopWidth && height == desktopHeight) {
        return true;
    }
    Array<Resolution> modes;
    ZQI_GetRuntimeRendererCalls().GetDisplayModes(displayIndex, modes);
    if (!ContainsSize(modes, width, height)) {
        return false;
    }
    ZQ_Log(LOG_LEVEL_SYSTEM, "Requested resolution %dx%d (windowed=%d) is supported.", width, height,
           windowed ? 1 : 0);
    return true;
}

bool ZQI_SelectOptimalResolution(int32_t displayIndex, bool windowed, bool forcing) {
    if (displayIndex != g_runtime.settings.resolutionsDisplayIndex) {
        BuildDisplayModeList(displayIndex);
    }
    const char* text = g_runtime.settings.resolutionsText;
    // A forced resolution is what suppresses the manifest's list, so it must not need one.
    if (text == nullptr && !g_runtime.settings.forceResolution) {
        return false;
    }
    ZQ_Print("Selecting optimal resolution for %s%s.", windowed ? "windowed" : "fullscreen",
             forcing ? " (forcing)" : "");
    ZQ_Print("Desktop size %dx%d.", g_runtime.desktopWidth, g_runtime.desktopHeight);
    const RuntimeSettings& settings = g_runtime.settings;
    if (settings.forcedVariant != nullptr) {
        forcing = true;
    }
    g_core.pendingParameters.windowed = windowed ? 1 : 0;
    if (settings.forceResolution) {
        ZQ_Print("Selected %dx%d. (forced)", settings.forcedWidth, settings.forcedHeight);
        SetPendingSize(settings.forcedWidth, settings.forcedHeight);
        return true;
    }
    const bool desktopKnown = g_runtime.desktopWidth > 0 && g_runtime.desktopHeight > 0;
    if (!forcing && desktopKnown && SelectClosestAspect(text, displayIndex, windowed)) {
        return true;
    }
    Entry smallest = {0, 0, false};
    if (SelectAnyResolution(text, displayIndex, windowed, forcing, &smallest)) {
        return true;
    }
    if (!windowed && desktopKnown &&
        ZQI_IsResolutionSupported(displayIndex, g_runtime.desktopWidth, g_runtime.desktopHeight, false)) {
        ZQ_Print("Selecting desktop resolution for fullscreen.");
        SetPendingSize(g_runtime.desktopWidth, g_runtime.desktopHeight);
        return true;
    }
    ZQ_Print("Trying to select the smallest possible resolution.");
    // Without any usable entry there is no smallest one to fall back to.
    if (windowed && desktopKnown && smallest.width > 0 && smallest.height > 0) {
        SetPendingSize(smallest.width, smallest.height);
        return true;
    }
    ZQ_Log(LOG_LEVEL_WARNING, "No resolution found in ZQI_SelectOptimalResolution!");
    return false;
}
