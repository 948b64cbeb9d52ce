// The program's manifest "res://prog.xml" and the developer settings "res://developer.xml": read
// once during pre-initialisation into the core's manifest record, the core's settings, the
// feature lists and the manifest reader's own record (startup/ManifestState.h).
#pragma once

#include "zorqa.h"

// Reads the command line's feature words, then the manifest and the developer settings, in the
// order that lets each later step see what the earlier ones decided. Without "res://prog.xml"
// an error popup is raised and the defaults stay. When no build variant fits the platform the
// process ends with -1 (through the exit hook, see ManifestState.h).
void LoadProgXml();

// The value of a key for the chosen variant, else from the "APPLICATION" node; null for a null
// key, a manifest without "VARIANTS", or a key found nowhere. Root slot GetParameter.
const char* ZQI_GetParameter(const char* key);

// The API table filler of the manifest reader: root slot GetParameter.
void ZQI_FillManifestSlots(zq_api_t* api);
// Fills the manifest reader's slots into a built engine API and registers their filler for every
// later build, and lets the file system offer package manifests to ZQI_AddManifest. LoadProgXml
// does this itself.
void ZQI_InstallManifestApi(zq_api_t* api);

// Shutdown (and tests): forgets everything the manifest reader kept; the databases stay with
// the data manager.
void ZQI_ReleaseManifest();
