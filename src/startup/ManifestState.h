// What the manifest reader keeps for the whole run besides the core's own record: the platform
// it reads for, the chosen variant, the forced developer settings, the supported resolutions,
// the package lists and the list of loaded manifests. Filled once during pre-initialisation.
#pragma once

#include <cstdint>

#include "foundation/Array.h"
#include "foundation/EnumNames.h"
#include "foundation/String.h"

struct DMArray;
struct DMDatabase;

// What the manifest reader needs from layers built after it (the platform layer, the renderer).
// Any member may be null: no key names are known, no renderer object is made, and exiting
// calls exit().
struct ManifestHooks {
    uint32_t (*keyCodeFromName)(const char* name);  // KeyCodeFromName: 0 for unknown names
    void (*createRenderer)(void);                   // makes the renderer back end's object
    void (*exitProcess)(int32_t code);              // never returns in the product
};

struct ManifestState {
    // The system the manifest is read for (from the system information).
    PlatformId platform = PLATFORM_ID_WINDOWS;
    ScreenSizeId screenSize = SCREEN_SIZE_LARGE;
    int32_t byteOrder = 1234;  // 1234 little-endian, 4321 big-endian

    uint8_t popupsOff = 0;  // NO_POPUPS was on when the manifest reading began

    String variantId;              // id of the chosen variant node ("" before one is chosen)
    String forcedVariant;          // developer setting force_variant ("" when none)
    uint8_t resolutionForced = 0;  // developer setting force_resolution was given
    int32_t forcedWidth = 0;
    int32_t forcedHeight = 0;
    String resolutions;           // supported-resolutions list of the chosen variant
    char* locale = nullptr;       // heap copy; the record's locale points at it
    String controlInterfaces;     // for the named extension call "ControlInterfaces"
    String inputImplementations;  // input back-end libraries, each ending in ".dll"

    // Package lists (comma-separated entries, optionally conditional).
    String packages;
    String addonPackages;
    String musicPackage;
    String soundFxPackage;
    String developerPackages;
    String gfxPackages;

    // Loaded manifests and their first arrays, newest first.
    Array<DMDatabase*> manifests;
    Array<DMArray*> manifestArrays;

    ManifestHooks hooks = {};
};

extern ManifestState g_manifest;

// Forgets everything read (texts released, manifest list emptied; the databases stay with the
// data manager). The platform and the hooks stay: they describe the machine, not the manifest.
void ZQI_ResetManifestState();

// The system the manifest is read for (Windows on a large screen until start-up passes the
// system information's ids).
void ZQI_SetManifestPlatform(PlatformId platform, ScreenSizeId screenSize);
// Installs the hooks (copied); null forgets them.
void ZQI_SetManifestHooks(const ManifestHooks* hooks);

// True when NO_POPUPS was on when the manifest reading began (popups stay off for the run).
bool ZQI_ArePopupsSwitchedOff();
