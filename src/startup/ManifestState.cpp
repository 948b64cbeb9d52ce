// The manifest reader's run-wide record and its defaults.
#include "startup/ManifestState.h"

#include <cstdlib>

ManifestState g_manifest;

namespace {

void ReleaseTexts(ManifestState& state) {
    String* texts[] = {&state.variantId,         &state.forcedVariant,        &state.resolutions,
                       &state.controlInterfaces, &state.inputImplementations, &state.packages,
                       &state.addonPackages,     &state.musicPackage,         &state.soundFxPackage,
                       &state.developerPackages, &state.gfxPackages};
    for (String* text : texts) {
        text->Assign(nullptr);
    }
    free(state.locale);
    state.locale = nullptr;
}

}  // namespace

void ZQI_ResetManifestState() {
    ReleaseTexts(g_manifest);
    g_manifest.byteOrder = 1234;
    g_manifest.popupsOff = 0;
    g_manifest.resolutionForced = 0;
    g_manifest.forcedWidth = 0;
    g_manifest.forcedHeight = 0;
    g_manifest.manifests.Clear();
    g_manifest.manifestArrays.Clear();
}

void ZQI_SetManifestPlatform(PlatformId platform, ScreenSizeId screenSize) {
    g_manifest.platform = platform;
    g_manifest.screenSize = screenSize;
}

void ZQI_SetManifestHooks(const ManifestHooks* hooks) {
    g_manifest.hooks = hooks != nullptr ? *hooks : ManifestHooks();
}

bool ZQI_ArePopupsSwitchedOff() {
    return g_manifest.popupsOff != 0;
}
