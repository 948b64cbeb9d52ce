// Shared by the manifest reader's files only: the state of one reading of the manifest and the
// steps that other files carry out.
#pragma once

#include "core/Features.h"
#include "foundation/String.h"
#include "zorqa.h"

struct DMArray;
struct DMDatabase;
struct DMNode;

// One reading of the manifest, from the command line to the chosen variant.
struct ManifestReading {
    zq_program_t* record;  // the core's manifest record
    FeatureList features;  // destroyed with the reading
    DMNode* developer;     // the developer settings node; null when there is none
    String variantKey;     // "<platform>/<screen size>", emptied by force_variant

    ManifestReading() : record(nullptr), developer(nullptr) {}
};

// ---- Shared readers (Manifest.cpp) ----

// name, user_dir_name, developer and version of an "APPLICATION" or variant node.
void ZQI_ReadIdentityKeys(const DMNode* node, zq_program_t* record, bool isVariant);
// reference_resolution into the design width and height (both 0 for a missing part).
void ZQI_ReadReferenceResolution(const DMNode* node, zq_program_t* record);
// locale: a heap copy kept by the manifest reader, pointed at by the record.
void ZQI_SetManifestLocale(zq_program_t* record, const char* locale);
// Each item of a "manifest" value goes to ZQI_AddManifest as "res://<item>".
void ZQI_AddManifestItems(const char* list);

// ---- Developer settings (DeveloperSettings.cpp) ----

// The developer node: from "res://developer.xml" when it has one, else prog.xml's own.
DMNode* ZQI_ChooseDeveloperNode(const DMArray* progParameters);
// developer_mode: switches developer mode and the known-word check on or off.
void ZQI_ReadDeveloperMode(ManifestReading& reading);
// logging, logging_verbose_level, console, features, console_toggle_key, force_variant,
// force_resolution and force_windowed, in this order.
void ZQI_ReadDeveloperSettings(ManifestReading& reading);
// developer_packages (developer mode only).
void ZQI_ReadDeveloperPackages(const ManifestReading& reading);

// ---- Build variants (ManifestVariant.cpp) ----

// Checks the variants (developer mode), chooses the platform's one and reads it. False when
// the reading ends here: prog.xml has no "VARIANTS" array (so the developer packages are not
// read either), or none fits, after the popup and the exit hook (which ends the process in the
// product).
bool ZQI_ReadManifestVariant(ManifestReading& reading, const DMDatabase* prog);
