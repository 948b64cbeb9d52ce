// Path helpers over "/"-separated virtual paths, and printf to an open file.
// Search paths and file access go through the file-service hooks (FoundationHooks.h).
#pragma once

#include <cstdint>

#include "foundation/Compiler.h"
#include "foundation/String.h"

struct zq_file_t;

// The text before the last '/', without it; "" when there is no '/' (or for null).
String ZQI_GetPathDirectory(const char* path);
// A path containing "://" unchanged; otherwise the first search path + path ("%s%s") that the
// file system reports as existing; "" when none does.
String ZQI_FindFileInSearchPaths(const char* path);
// Removes "segment/../" pairs one at a time, rescanning from the start, until none is left;
// a leading "../" stays.
String ZQI_CollapseParentDirectories(const char* path);
// Formats (ZQI_FormatToBuffer) and writes the characters without the NUL to file
// (ZQ_FileSystem_WriteFile); returns that call's result.
int32_t ZQI_FilePrintf(zq_file_t* file, const char* format, ...) ZQ_PRINTF_LIKE(2, 3);
