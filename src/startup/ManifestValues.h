// How the manifest's texts are read as values: flags, log level names, "width x height" sizes,
// the frame-rate limit, identity texts for fixed-size record fields and library lists.
#pragma once

#include <cstddef>
#include <cstdint>

#include "foundation/String.h"

// True when the value begins with "1" or "t"; false for anything else, null included.
bool ZQI_IsManifestFlagOn(const char* value);

// The first of "INFO", "WARNING", "ERROR", "SYSTEM" found in the value gives 0 to 3; none (or
// null) gives 0.
int32_t ZQI_ParseLogLevelName(const char* value);

// "<width>x<height>": both parts read as decimal integers, a missing part giving 0.
void ZQI_ParseManifestSize(const char* value, int32_t* width, int32_t* height);

// Frame time in ms for an fps_limit text: (int)(1000 / (limit + 2)) computed in float. False
// (with frameTime untouched) when that is no finite time of 0 ms or more, e.g. for -2.
bool ZQI_ComputeFrameTime(const char* fpsLimit, uint32_t* frameTime);

// Copies value into a record field of fieldSize bytes, cut to fit and always terminated.
void ZQI_CopyManifestText(char* field, size_t fieldSize, const char* value);

// The comma-separated library list with ".dll" appended to every item that does not contain it;
// empty items are dropped.
String ZQI_AddLibrarySuffixes(const char* list);

// ASCII lower-case copy of text.
String ZQI_LowerCaseText(const char* text);
