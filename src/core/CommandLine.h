// The process command line: the copy the process entry keeps, and the two options the engine
// reads from it, "--features" (comma-separated feature words) and "--launch-uri" (one URI).
// The command line is not unquoted; a blank ends each value.
#pragma once

#include "core/Features.h"

// Keeps a heap copy of the process command line (null forgets it). The process entry calls this
// once, before start-up.
void ZQI_SetCommandLine(const char* commandLine);
// The kept command line, or null when there is none.
const char* ZQI_GetCommandLine();

// Reads "--features" into the list's command-line words and fixes the core's command-line
// feature text (also when it stays empty), and reads "--launch-uri" into the launch URI. Without
// a command line nothing happens.
void ZQI_ParseCommandLine(FeatureList* list);

// The URI given with "--launch-uri"; "" when none was given.
const char* ZQI_GetLaunchUri();

// Shutdown: frees the kept command line and the launch URI.
void ZQI_ReleaseCommandLine();
