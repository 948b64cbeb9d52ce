// The native folder listing behind FindFiles: subfolders depth first, then the folder's own
// files wildcard by wildcard, each result once. The engine's own temporary files
// (EngineTemporaries.h) are never listed.
#pragma once

#include <cstdint>

#include "filesystem/VirtualPath.h"
#include "foundation/Array.h"
#include "foundation/String.h"

// Lists the native folder (ending in "/"): with recursive, first every subfolder (depth first),
// then the folder's own files wildcard by wildcard. Each result is prefix + relative name.
void ZQI_ListNativeFiles(SchemeId scheme, const char* prefix, const char* folder,
                         const Array<String>& wildcards, bool recursive, Array<String>& out);
// One pass over the folder: pass -1 visits the subfolders (listing each recursively), pass i
// adds the files matching wildcard i.
void ZQI_ListNativeDirectory(SchemeId scheme, const char* prefix, const char* folder,
                             const Array<String>& wildcards, int32_t pass, Array<String>& out);
// The native paths of the engine's temporary files in the folder (ending in "/") and every
// folder below it, which the listings above leave out.
void ZQI_ListNativeTemporaries(const char* folder, Array<String>& out);
