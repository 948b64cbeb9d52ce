// What the file systems need from the core runtime, in one place: the print, log and popup
// slots of the engine API, the core's flags (developer mode, running, quitting) and the
// program's identity. Everything else in src/filesystem reaches the core only through here.
#pragma once

#include <cstdint>

#include "foundation/Compiler.h"

// zq_api_t::Print of a formatted text (a developer progress line).
void ZQI_FileSystemPrint(const char* format, ...) ZQ_PRINTF_LIKE(1, 2);
// zq_api_t::Log of a formatted text at the level.
void ZQI_FileSystemLog(int32_t level, const char* format, ...) ZQ_PRINTF_LIKE(2, 3);
// zq_api_t::Popup of a formatted text at the level.
void ZQI_FileSystemPopup(int32_t level, const char* format, ...) ZQ_PRINTF_LIKE(2, 3);

// The core's developer-mode flag (decides whether "project://" is a scheme).
bool ZQI_FileSystemIsDeveloperMode();
// True once the engine API root record is built and the core counts as running; only then are
// the program's file handles tracked in the open-file list.
bool ZQI_FileSystemIsCoreRunning();
// The engine's quit flag: long network transfers stop when it is set.
bool ZQI_FileSystemIsQuitting();

// The program's id and version as the manifest gave them ("" when unknown).
const char* ZQI_FileSystemProgramId();
const char* ZQI_FileSystemProgramVersion();
