// Build variants: the "VARIANTS" array of prog.xml holds one node per platform (optionally per
// platform and screen size). Checks them in developer mode, chooses the one for this platform
// and reads its keys, which override the application's and name the packages.
#include <cstdlib>
#include <cstring>

#include "core/ApiTable.h"
#include "core/CoreState.h"
#include "core/Features.h"
#include "data/DataManager.h"
#include "filesystem/FileSystemApi.h"
#include "foundation/EnumNames.h"
#include "startup/ManifestMessages.h"
#include "startup/ManifestState.h"
#include "startup/ManifestValues.h"
#include "startup/Manifest_local.h"

namespace {

const char kIosSmallPortrait[] =
    "1242x2688,1125x2436,1242x2208,1125x2001,828x1792,750x1334,640x1136,640x960,320x480";
const char kIosSmallLandscape[] =
    "2688x1242,2436x1125,2208x1242,2001x1125,1792x828,1334x750,1136x640,960x640,480x320";
const char kIosLargePortrait[] = "2048x2732,1668x2388,1668x2224,1536x2048,768x1024";
const char kIosLargeLandscape[] = "2732x2048,2388x1668,2224x1668,2048x1536,1024x768";

// ---- Developer-mode checks of every variant ----

void CheckDuplicateVariants(const DMArray* variants) {
    for (int32_t i = 0; i < variants->nodes.count; ++i) {
        for (int32_t j = 0; j < variants->nodes.count; ++j) {
            const char* a = variants->nodes[i]->id;
            const char* b = variants->nodes[j]->id;
            if (i != j && a != nullptr && b != nullptr && strcmp(a, b) == 0) {
                ZQI_ManifestDeveloperPopup(
                    1, "There are multiple VARIANTS with id '%s' in prog.xml. There can be only one.", a);
            }
        }
    }
}

void CheckDeprecatedVariantContents(const DMNode* node) {
    static const char* const kDeprecatedKeys[] = {"program_library", "music_format", "sound_fx_format"};
    if (node->id != nullptr && strcmp(node->id, "METRO") == 0) {
        ZQI_ManifestPopup(1, "Deprecated variant id METRO found in prog.xml. Replace it with WINDOWS_RT.");
    }
    for (const DMKeyValue& pair : node->values) {
        for (const char* deprecated : kDeprecatedKeys) {
            if (pair.key != nullptr && strcmp(pair.key, deprecated) == 0) {
                ZQI_ManifestPopup(1, "Deprecated parm '%s' in prog.xml. Remove it.", deprecated);
            }
        }
    }
}

void CheckVariants(const DMArray* variants) {
    CheckDuplicateVariants(variants);
    for (const DMNode* node : variants->nodes) {
        CheckDeprecatedVariantContents(node);
    }
}

// ---- Choosing ----

const DMNode* ChooseVariant(const ManifestReading& reading, const DMArray* variants) {
    const DMNode* node = nullptr;
    if (!reading.variantKey.IsEmpty()) {
        node = variants->GetNode(reading.variantKey.CStr());
    }
    if (node == nullptr) {
        const char* id = g_manifest.forcedVariant.IsEmpty() ? ZQI_GetPlatformName(g_manifest.platform)
                                                            : g_manifest.forcedVariant.CStr();
        node = variants->GetNode(id);
    }
    return node;
}

void ExitForMissingVariant() {
    ZQI_ManifestDeveloperPopup(2,
                               "No build variant found for current platform id '%s'.\n\nUse force_variant "
                               "to use another platform for development purposes.",
                               ZQI_GetPlatformName(g_manifest.platform));
    if (g_manifest.hooks.exitProcess != nullptr) {
        g_manifest.hooks.exitProcess(-1);
    } else {
        exit(-1);
    }
}

// ---- Reading ----

void ReadInputImplementations(const ManifestReading& reading, const DMNode* node) {
    const char* libraries = node->GetValue("input_implementations");
    const bool developerSettings = g_core.developerMode && reading.developer != nullptr;
    if (developerSettings) {
        if (const char* own = reading.developer->GetValue("input_implementations")) {
            libraries = own;
        }
        if (reading.developer->GetValue("input_implementation") != nullptr) {
            ZQI_ManifestDeveloperPopup(1,
                                       "In developer.xml parameter input_implementation is not in use: use "
                                       "input_implementations instead (note the s).");
        }
    }
    if (libraries != nullptr) {
        g_manifest.inputImplementations = ZQI_AddLibrarySuffixes(libraries);
    }
    if (node->GetValue("input_implementation") != nullptr) {
        ZQI_ManifestDeveloperPopup(1,
                                   "In prog.xml parameter input_implementation is not in use: use "
                                   "input_implementations instead (note the s).");
    }
}

void ReadVariantLocale(const DMNode* node, zq_program_t* record) {
    const char* locale = node->GetValue("locale");
    if (locale == nullptr) {
        return;
    }
    ZQI_SetManifestLocale(record, locale);
    if (strcmp(locale, "auto") != 0) {
        return;
    }
    zq_api_t* api = ZQI_GetApi();
    const char* language =
        api->ExtensionCall != nullptr ? api->ExtensionCall("GetLanguage", nullptr) : nullptr;
    if (language != nullptr) {
        ZQI_SetManifestLocale(record, ZQI_LowerCaseText(language).CStr());
    }
}

// Identity, back ends, design size, locale and control interfaces, in the manifest's key order;
// the renderer's object is made right after the renderer key has been looked at.
void ReadVariantBasics(const ManifestReading& reading, const DMNode* node) {
    zq_program_t* record = reading.record;
    ZQI_ReadIdentityKeys(node, record, true);
    if (node->GetValue("renderer_implementation") != nullptr) {
        ZQI_ManifestDeveloperPopup(2,
                                   "Deprecated 'renderer_implementation' definition in prog.xml. Remove it.");
    }
    if (g_manifest.hooks.createRenderer != nullptr) {
        g_manifest.hooks.createRenderer();
    }
    ReadInputImplementations(reading, node);
    if (node->GetValue("reference_resolution") != nullptr) {
        ZQI_ReadReferenceResolution(node, record);
    }
    ReadVariantLocale(node, record);
    if (const char* interfaces = node->GetValue("control_interfaces")) {
        g_manifest.controlInterfaces.Assign(interfaces);
    }
}

// "*" on iOS stands for the device family's list, portrait or landscape by the design size.
const char* IosResolutions(const zq_program_t* record) {
    const bool portrait = record->parameters.design_height > record->parameters.design_width;
    if (g_manifest.screenSize == SCREEN_SIZE_LARGE) {
        return portrait ? kIosLargePortrait : kIosLargeLandscape;
    }
    if (g_manifest.screenSize == SCREEN_SIZE_MEDIUM) {
        return "*";
    }
    return portrait ? kIosSmallPortrait : kIosSmallLandscape;
}

void ReadResolutions(const ManifestReading& reading, const DMNode* node) {
    if (g_manifest.resolutionForced) {
        return;
    }
    const char* resolutions = node->GetValue("resolutions");
    if (resolutions == nullptr) {
        resolutions = "*";
    }
    if (g_manifest.platform == PLATFORM_ID_IOS) {
        if (strcmp(resolutions, "*") != 0) {
            ZQI_ManifestPopup(1,
                              "Replace prog.xml VARIANT IOS/* resolutions parameter with \"*\" or remove "
                              "completely.");
        } else {
            resolutions = IosResolutions(reading.record);
        }
    }
    g_manifest.resolutions.Assign(resolutions);
    if (!g_manifest.forcedVariant.IsEmpty()) {
        reading.record->parameters.windowed = 1;
    }
    ZQI_ManifestPrint("Supported resolutions: '%s'.", resolutions);
}

void ReadVariantFeatures(ManifestReading& reading, const DMNode* node) {
    const char* words = node->GetValue("features");
    if (words == nullptr) {
        return;
    }
    ZQI_AddFeatures(&reading.features, words, FEATURE_LEVEL_VARIANT);
    ZQI_SetFeatureText(FEATURE_TEXT_VARIANT, reading.features.variant.CStr());
}

// The music or sound-effect package. The platform's standard package is used when its archive
// exists; a deprecated format key still names a package, after a popup that says how to fix it.
struct SoundPackageKind {
    const char* key;       // "music_format" or "sound_fx_format"
    const char* prefix;    // "data-music-" or "data-sfx-"
    const char* standard;  // the platform's format
    String* package;       // where the package name goes
};

void ReadSoundPackage(const SoundPackageKind& kind, const DMNode* node) {
    const char* format = node->GetValue(kind.key);
    kind.package->Assign(nullptr);
    if (format == nullptr) {
        const String name = String::FromFormat("%s%s", kind.prefix, kind.standard);
        const String archive = String::FromFormat("res://%s.pak", name.CStr());
        if (ZQ_FileSystem_FileExists(archive.CStr())) {
            kind.package->Assign(name.CStr());
        }
        return;
    }
    const char* variant = g_manifest.variantId.CStr();
    if (strcmp(format, kind.standard) == 0) {
        ZQI_ManifestPopup(1, "prog.xml:%s defines deprecated '%s' parameter '%s'. Just remove it.", variant,
                          kind.key, format);
    } else {
        ZQI_ManifestPopup(1,
                          "prog.xml:%s defines deprecated '%s' parameter '%s' but the value differs from "
                          "platform standard ('%s'). To fix the issue:\n1) Remove '%s' from prog.xml for "
                          "this variant, and\n2) Add %s%s to addon_packages.",
                          variant, kind.key, format, kind.standard, kind.key, kind.prefix, format);
    }
    const char* name = strstr(format, "@open:") != nullptr ? format + 6 : format;
    kind.package->Format("%s%s", kind.prefix, name);
}

void ReadVariantPackages(const DMNode* node) {
    if (const char* packages = node->GetValue("packages")) {
        g_manifest.packages.Assign(packages);
    }
    if (const char* addons = node->GetValue("addon_packages")) {
        g_manifest.addonPackages.Assign(addons);
    }
    if (const char* graphics = node->GetValue("gfx_packages")) {
        g_manifest.gfxPackages.Assign(graphics);
    }
    if (node->GetValue("sound_implementation") != nullptr) {
        ZQI_ManifestPopup(1, "Deprecated 'sound_implementation' definition in prog.xml. Remove it.");
    }
    ZQI_AddManifestItems(node->GetValue("manifest"));
}

void ReadVariant(ManifestReading& reading, const DMNode* node) {
    g_manifest.variantId.Assign(node->id);
    ReadVariantBasics(reading, node);
    ReadResolutions(reading, node);
    ReadVariantFeatures(reading, node);
    const SoundPackageKind music = {"music_format", "data-music-",
                                    ZQI_GetPlatformMusicFormat(g_manifest.platform),
                                    &g_manifest.musicPackage};
    const SoundPackageKind effects = {"sound_fx_format", "data-sfx-",
                                      ZQI_GetPlatformSoundFxFormat(g_manifest.platform),
                                      &g_manifest.soundFxPackage};
    ReadSoundPackage(music, node);
    ReadSoundPackage(effects, node);
    ReadVariantPackages(node);
}

}  // namespace

bool ZQI_ReadManifestVariant(ManifestReading& reading, const DMDatabase* prog) {
    const DMArray* variants = prog->GetArray("VARIANTS");
    if (variants == nullptr) {
        return false;
    }
    if (g_core.developerMode) {
        CheckVariants(variants);
    }
    const DMNode* node = ChooseVariant(reading, variants);
    if (node == nullptr) {
        ExitForMissingVariant();
        return false;
    }
    ReadVariant(reading, node);
    return true;
}
