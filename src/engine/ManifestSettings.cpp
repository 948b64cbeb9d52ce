// Hands the manifest reader the system it reads for, and copies what it read into the
// lifecycle's own settings, which resolution selection, the renderer start and the input
// start-up read for the whole run.
#include "engine/ManifestSettings.h"

#include "engine/Lifecycle.h"
#include "engine/RuntimeState.h"
#include "foundation/StringTokenizer.h"
#include "platform/KeyNames.h"
#include "startup/ManifestState.h"

namespace {

// The manifest reader creates the renderer's object between two variant keys; the object has
// no device yet, so making it this early costs nothing.
void CreateRendererObject() {
    ZQI_LoadRendererImplementation();
}

// The manifest reader's "console_toggle_key" names a key; unknown names give 0 (no key).
uint32_t KeyCodeOfName(const char* name) {
    return static_cast<uint32_t>(KeyCodeFromName(name));
}

// An empty text means "not given" to the manifest reader and null to the lifecycle.
void CopyText(char** slot, const String& text) {
    ZQI_SetOwnedText(slot, text.IsEmpty() ? nullptr : text.CStr());
}

void CopyInputLibraryNames(const String& list) {
    for (char*& name : g_runtime.settings.inputLibraryNames) {
        ZQI_SetOwnedText(&name, nullptr);
    }
    if (list.IsEmpty()) {
        return;
    }
    StringTokenizer tokenizer(list.CStr(), ',');
    int32_t count = 0;
    while (const char* item = tokenizer.Next()) {
        if (count == ZQI_MAX_INPUT_BACK_ENDS) {
            break;
        }
        if (item[0] != '\0') {
            ZQI_SetOwnedText(&g_runtime.settings.inputLibraryNames[count++], item);
        }
    }
}

}  // namespace

void ZQI_PrepareManifestReading() {
    const SystemInfo& info = ZQI_GetSystemInfoRecord();
    ZQI_SetManifestPlatform(static_cast<PlatformId>(info.platformId),
                            static_cast<ScreenSizeId>(info.screenSizeId));
    // Exiting is the C library's exit().
    ManifestHooks hooks = {};
    hooks.keyCodeFromName = KeyCodeOfName;
    hooks.createRenderer = CreateRendererObject;
    ZQI_SetManifestHooks(&hooks);
}

void ZQI_TakeManifestSettings() {
    RuntimeSettings& settings = g_runtime.settings;
    settings.forceResolution = g_manifest.resolutionForced;
    settings.forcedWidth = g_manifest.forcedWidth;
    settings.forcedHeight = g_manifest.forcedHeight;
    CopyText(&settings.forcedVariant, g_manifest.forcedVariant);
    CopyText(&settings.resolutionsText, g_manifest.resolutions);
    // The manifest's list describes the program, not one display; it counts as built for
    // display 0.
    settings.resolutionsDisplayIndex = 0;
    CopyInputLibraryNames(g_manifest.inputImplementations);
    if (g_manifest.locale != nullptr) {
        ZQI_SetOwnedText(&settings.locale, g_manifest.locale);
    }
}
