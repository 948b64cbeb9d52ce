// The developer settings: the "DEVELOPER" node of "res://developer.xml" (or of prog.xml when
// developer.xml has none), which switches developer mode, logging and the console, and forces
// a variant, a resolution or windowed mode on a developer's machine.
#include <cstring>

#include "core/CoreState.h"
#include "core/Features.h"
#include "data/DataManager.h"
#include "filesystem/FileSystemApi.h"
#include "startup/ManifestState.h"
#include "startup/ManifestValues.h"
#include "startup/Manifest_local.h"

namespace {

const char kDeveloperXmlPath[] = "res://developer.xml";

const DMNode* DeveloperNodeOfDeveloperXml() {
    // Asked only when the file exists, so a machine without one gets no "not found" popup.
    if (!ZQ_FileSystem_FileExists(kDeveloperXmlPath)) {
        return nullptr;
    }
    const DMDatabase* settings = DataManager::GetDatabase(kDeveloperXmlPath);
    const DMArray* parameters = settings != nullptr ? settings->GetArray("PARAMETERS") : nullptr;
    return parameters != nullptr ? parameters->GetNode("DEVELOPER") : nullptr;
}

void ReadConsoleToggleKey(const DMNode* node) {
    const char* name = node->GetValue("console_toggle_key");
    if (name == nullptr) {
        return;
    }
    // A name no key has gives 0: then no key or character opens the console.
    const ManifestHooks& hooks = g_manifest.hooks;
    g_core.consoleToggleKey = hooks.keyCodeFromName != nullptr ? hooks.keyCodeFromName(name) : 0;
}

void ReadForcedVariant(ManifestReading& reading) {
    const char* variant = reading.developer->GetValue("force_variant");
    if (variant == nullptr) {
        return;
    }
    g_manifest.forcedVariant.Assign(variant);
    reading.variantKey.Assign(nullptr);
    reading.record->parameters.windowed = 1;
}

void ReadForcedResolution(ManifestReading& reading) {
    const char* size = reading.developer->GetValue("force_resolution");
    if (size == nullptr) {
        return;
    }
    int32_t width = 0;
    int32_t height = 0;
    ZQI_ParseManifestSize(size, &width, &height);
    reading.record->parameters.width = width;
    reading.record->parameters.height = height;
    g_manifest.forcedWidth = width;
    g_manifest.forcedHeight = height;
    g_manifest.resolutionForced = 1;
    reading.record->parameters.windowed = 1;
}

}  // namespace

DMNode* ZQI_ChooseDeveloperNode(const DMArray* progParameters) {
    const DMNode* node = DeveloperNodeOfDeveloperXml();
    if (node == nullptr && progParameters != nullptr) {
        node = progParameters->GetNode("DEVELOPER");
    }
    return const_cast<DMNode*>(node);
}

void ZQI_ReadDeveloperMode(ManifestReading& reading) {
    const char* value = reading.developer->GetValue("developer_mode");
    if (value == nullptr) {
        return;
    }
    g_core.developerMode = ZQI_IsManifestFlagOn(value) ? 1 : 0;
    if (g_core.developerMode) {
        ZQI_AddFeatures(&reading.features, "DEVELOPER_MODE", FEATURE_LEVEL_DEVELOPER);
        reading.features.checkKnownWords = 1;
    }
}

void ZQI_ReadDeveloperSettings(ManifestReading& reading) {
    const DMNode* node = reading.developer;
    if (const char* logging = node->GetValue("logging")) {
        g_core.logging = ZQI_IsManifestFlagOn(logging) ? 1 : 0;
    }
    if (const char* level = node->GetValue("logging_verbose_level")) {
        g_core.logVerboseLevel = ZQI_ParseLogLevelName(level);
    }
    if (const char* console = node->GetValue("console")) {
        g_core.consoleEnabled = ZQI_IsManifestFlagOn(console) ? 1 : 0;
    }
    ZQI_AddFeatures(&reading.features, node->GetValue("features"), FEATURE_LEVEL_DEVELOPER);
    ReadConsoleToggleKey(node);
    ReadForcedVariant(reading);
    ReadForcedResolution(reading);
    const char* windowed = node->GetValue("force_windowed");
    if (windowed != nullptr && strcmp(windowed, "1") == 0) {
        reading.record->parameters.windowed = 1;
    }
}

void ZQI_ReadDeveloperPackages(const ManifestReading& reading) {
    if (!g_core.developerMode || reading.developer == nullptr) {
        return;
    }
    if (const char* packages = reading.developer->GetValue("developer_packages")) {
        g_manifest.developerPackages.Assign(packages);
    }
}
