// Reading "res://prog.xml": the order of the whole reading, the "APPLICATION" node, and the
// single-key lookups the program makes later through GetParameter.
#include "startup/Manifest.h"

#include <cstdlib>
#include <cstring>

#include "core/ApiTable.h"
#include "core/CommandLine.h"
#include "core/CoreState.h"
#include "core/Features.h"
#include "data/DataManager.h"
#include "filesystem/FileSystemApi.h"
#include "filesystem/SearchPaths.h"
#include "foundation/EnumNames.h"
#include "foundation/StringTokenizer.h"
#include "startup/ManifestList.h"
#include "startup/ManifestMessages.h"
#include "startup/ManifestState.h"
#include "startup/ManifestValues.h"
#include "startup/Manifest_local.h"
#include "startup/ResourcePackages.h"

namespace {

const char kProgXmlPath[] = "res://prog.xml";

// Set once LoadProgXml has found the manifest, so GetParameter never makes the data manager
// look for a file that is not there.
bool g_progXmlFound = false;

void ReadFrameTime(const DMNode* node, zq_program_t* record) {
    const char* value = node->GetValue("fps_limit");
    if (value == nullptr) {
        return;
    }
    if (!ZQI_ComputeFrameTime(value, &record->parameters.frame_time)) {
        ZQI_ManifestLog(2, "LoadProgXml: fps_limit '%s' gives no frame time; the frame rate is not limited.",
                        value);
    }
}

// Step 5: every key of "APPLICATION" but its feature words, which wait for developer mode.
void ReadApplicationNode(const DMNode* node, zq_program_t* record) {
    if (const char* id = node->GetValue("program_id")) {
        ZQI_CopyManifestText(record->id, sizeof(record->id), id);
    }
    ZQI_ReadIdentityKeys(node, record, false);
    if (const char* locale = node->GetValue("locale")) {
        ZQI_SetManifestLocale(record, locale);
    }
    ReadFrameTime(node, record);
    if (const char* interfaces = node->GetValue("control_interfaces")) {
        g_manifest.controlInterfaces.Assign(interfaces);
    }
    if (node->GetValue("reference_resolution") != nullptr) {
        ZQI_ReadReferenceResolution(node, record);
    }
    if (const char* packages = node->GetValue("packages")) {
        g_manifest.packages.Assign(packages);
    }
    ZQI_AddManifestItems(node->GetValue("manifest"));
}

// Steps 5 to 9: the "PARAMETERS" array with the application and developer settings. The first
// feature list is fixed at the end whatever was found.
void ReadParameters(ManifestReading& reading, const DMDatabase* prog) {
    const DMArray* parameters = prog->GetArray("PARAMETERS");
    if (parameters != nullptr) {
        const DMNode* application = parameters->GetNode("APPLICATION");
        if (application != nullptr) {
            ReadApplicationNode(application, reading.record);
        }
        reading.developer = ZQI_ChooseDeveloperNode(parameters);
        if (reading.developer != nullptr) {
            ZQI_ReadDeveloperMode(reading);
        }
        if (application != nullptr) {
            ZQI_AddFeatures(&reading.features, application->GetValue("features"), FEATURE_LEVEL_APPLICATION);
        }
        if (reading.developer != nullptr) {
            ZQI_ReadDeveloperSettings(reading);
        }
    }
    ZQI_SetFeatureText(FEATURE_TEXT_FIRST, reading.features.first.CStr());
}

const DMNode* FindApplicationNode(const DMDatabase* prog) {
    const DMArray* parameters = prog->GetArray("PARAMETERS");
    return parameters != nullptr ? parameters->GetNode("APPLICATION") : nullptr;
}

}  // namespace

void ZQI_ReadIdentityKeys(const DMNode* node, zq_program_t* record, bool isVariant) {
    const char* name = node->GetValue("name");
    const char* userDirName = node->GetValue("user_dir_name");
    if (name != nullptr) {
        ZQI_CopyManifestText(record->title, sizeof(record->title), name);
    }
    if (userDirName != nullptr) {
        ZQI_CopyManifestText(record->user_dir_name, sizeof(record->user_dir_name), userDirName);
    } else if (!isVariant || name != nullptr) {
        // The folder name follows the title unless the manifest names a folder of its own.
        ZQI_CopyManifestText(record->user_dir_name, sizeof(record->user_dir_name), record->title);
    }
    if (const char* developer = node->GetValue("developer")) {
        ZQI_CopyManifestText(record->developer_name, sizeof(record->developer_name), developer);
    }
    if (const char* version = node->GetValue("version")) {
        ZQI_CopyManifestText(record->version, sizeof(record->version), version);
    }
}

void ZQI_ReadReferenceResolution(const DMNode* node, zq_program_t* record) {
    ZQI_ParseManifestSize(node->GetValue("reference_resolution"), &record->parameters.design_width,
                          &record->parameters.design_height);
}

void ZQI_SetManifestLocale(zq_program_t* record, const char* locale) {
    char* copy = ZQI_DuplicateString(locale);
    if (copy == nullptr) {
        ZQI_ManifestLog(2, "LoadProgXml: out of memory for the locale '%s'.", locale);
        return;
    }
    free(g_manifest.locale);
    g_manifest.locale = copy;
    record->parameters.locale = copy;
}

void ZQI_AddManifestItems(const char* list) {
    if (list == nullptr) {
        return;
    }
    StringTokenizer tokenizer(list, ',');
    while (const char* item = tokenizer.Next()) {
        if (item[0] != '\0') {
            const String path = String::FromFormat("res://%s", item);
            ZQI_AddManifest(path.CStr());
        }
    }
}

void LoadProgXml() {
    ZQI_InstallManifestApi(ZQI_GetApi());
    ManifestReading reading;
    reading.record = &g_core.programRecord;

    ZQI_ParseCommandLine(&reading.features);
    if (ZQI_IsFeatureEnabled("NO_POPUPS")) {
        g_manifest.popupsOff = 1;
    }
    g_manifest.byteOrder = 1234;

    g_progXmlFound = ZQ_FileSystem_FileExists(kProgXmlPath);
    if (!g_progXmlFound) {
        ZQI_ManifestPopup(2, "Cannot find prog.xml. It should be located in res://.");
        return;
    }
    const DMDatabase* prog = DataManager::GetDatabase(kProgXmlPath);
    if (prog == nullptr || prog->arrays.count == 0) {
        // A document that does not parse has been reported by the data manager; an empty one
        // has not, so say why nothing of the manifest applies.
        ZQI_ManifestLog(2, "LoadProgXml: '%s' holds no arrays; the defaults stay.", kProgXmlPath);
        return;
    }
    reading.variantKey.Format("%s/%s", ZQI_GetPlatformName(g_manifest.platform),
                              ZQI_GetScreenSizeName(g_manifest.screenSize));

    ReadParameters(reading, prog);
    if (!ZQI_ReadManifestVariant(reading, prog)) {
        return;
    }
    ZQI_ReadDeveloperPackages(reading);
}

const char* ZQI_GetParameter(const char* key) {
    if (key == nullptr || !g_progXmlFound) {
        return nullptr;
    }
    const DMDatabase* prog = DataManager::GetDatabase(kProgXmlPath);
    const DMArray* variants = prog != nullptr ? prog->GetArray("VARIANTS") : nullptr;
    if (variants == nullptr) {
        return nullptr;
    }
    const DMNode* variant = variants->GetNode(g_manifest.variantId.CStr());
    if (variant != nullptr) {
        if (const char* value = variant->GetValue(key)) {
            return value;
        }
    } else {
        ZQI_ManifestDeveloperPopup(2, "Missing platform variant '%s' in '%s'.", g_manifest.variantId.CStr(),
                                   kProgXmlPath);
    }
    const DMNode* application = FindApplicationNode(prog);
    return application != nullptr ? application->GetValue(key) : nullptr;
}

void ZQI_FillManifestSlots(zq_api_t* api) {
    if (api != nullptr) {
        api->GetParameter = ZQI_GetParameter;
    }
}

void ZQI_InstallManifestApi(zq_api_t* api) {
    // Registered as well, so that any later build of the tables keeps the slot.
    ZQI_RegisterApiTableFiller(ZQI_FillManifestSlots);
    ZQI_FillManifestSlots(api);
    ZQI_SetAddManifestFunction(ZQI_AddManifest);
}

void ZQI_ReleaseManifest() {
    g_progXmlFound = false;
    if (g_core.programRecord.parameters.locale == g_manifest.locale) {
        g_core.programRecord.parameters.locale = nullptr;  // about to be freed
    }
    ZQI_ResetManifestState();
}
