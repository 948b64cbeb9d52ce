// The file system as the program and the rest of the engine see it: the 21 slots of the engine
// API's file-system sub-table and the engine-internal operations behind them. Any thread may
// call them; one open handle belongs to one thread at a time.
#pragma once

#include <cstdint>

#include "filesystem/FileSystem.h"
#include "zorqa.h"

// The program's file handle.
struct zq_file_t {
    char* path;     // own heap copy of the virtual path as passed to OpenFile
    uint64_t size;  // the file's size at opening
    ZQFileSystem::File* file;
};

// ---- Sub-table slots, in slot order ---------------------------------------------------------------

void ZQ_FileSystem_AddSearchPath(const char* path, bool first);
void ZQ_FileSystem_CloseFile(zq_file_t* file);
bool ZQ_FileSystem_CreateDirectory(const char* path);
bool ZQ_FileSystem_DeleteDirectory(const char* path, bool withFiles);
bool ZQ_FileSystem_DeleteFile(const char* path);
zq_string_list_t* ZQ_FileSystem_FindFiles(const char* path, const char* wildcards, bool recursive);
bool ZQ_FileSystem_FileExists(const char* path);
void ZQ_FileSystem_FlushFile(zq_file_t* file);
bool ZQ_FileSystem_GetFileInfo(const char* path, zq_file_info_t* info);
uint64_t ZQ_FileSystem_GetFilePosition(zq_file_t* file);
zq_string_list_t* ZQ_FileSystem_GetSearchPaths();
bool ZQ_FileSystem_IsPathValid(const char* path);
bool ZQ_FileSystem_Mount(const char* name, uint32_t storage);
zq_file_t* ZQ_FileSystem_OpenFile(const char* path, const char* mode);
uint64_t ZQ_FileSystem_ReadFile(void* buffer, uint64_t size, zq_file_t* file);
void ZQ_FileSystem_RemoveSearchPath(const char* path);
bool ZQ_FileSystem_SearchPathExists(const char* path);
void ZQ_FileSystem_SeekFile(zq_file_t* file, int64_t offset, int32_t origin);
const char* ZQ_FileSystem_ShowNativeFileSelectDialog(const char* initialFolder, const char* filter,
                                                     bool save);
void ZQ_FileSystem_Unmount(const char* name);
uint64_t ZQ_FileSystem_WriteFile(const void* buffer, uint64_t size, zq_file_t* file);

// Fills the 21 slots in order.
void ZQI_FillFileSystemTable(zq_filesystem_api_t* table);
// Puts the file system into a built engine API: its sub-table and the two HTTP root slots. The
// core's table builder leaves stand-ins there, since it is built without the file systems.
void ZQI_InstallFileSystemApi(zq_api_t* api);

// ---- Engine-internal operations -------------------------------------------------------------------

// ZQ_FileSystem_CloseFile and ZQ_FileSystem_FlushFile with their outcome: false when data written
// to the file could not be stored (or the handle is null). Every save checks them: writes only
// fill a buffer, so a full disk shows first when that buffer is flushed.
bool ZQI_CloseFile(zq_file_t* file);
bool ZQI_FlushFile(zq_file_t* file);
// ZQI_CloseFile without the log line about a failed close: for the log's own file, whose failure
// cannot be written to the log (logging it would write, and close, the log file again).
bool ZQI_CloseFileQuietly(zq_file_t* file);
// Opens a path (plain paths through the search paths) without the open-file list.
zq_file_t* ZQI_OpenFile(const char* path, ZQFileSystem::FileMode mode);
// The first search path whose system holds the plain path: its native path and scheme. Empty
// (scheme left at the last entry tried, or SCHEME_PLAIN) when none does.
void ZQI_ResolveSearchPath(String& nativePath, const char* plainPath, SchemeId& scheme);
// Creates a folder (engine use: start-up's user folders). No popup for invalid paths.
bool ZQI_CreateDirectory(const char* path);
// Moves the file at sourcePath onto targetPath in one step, replacing a file there. Both paths
// need the same scheme, served by a system that can replace (the native ones). False, with
// both files as they were, otherwise or when the system refuses. No popup.
bool ZQI_ReplaceFile(const char* sourcePath, const char* targetPath);
// Puts a completely written temporary file in the target's place in one step, for writers that
// must never leave a cut file behind. The old target is gone afterwards, or, where the platform
// can exchange two files in one step, it becomes the temporary file, which the writer's next
// save overwrites instead of making a new file. As ZQI_ReplaceFile otherwise.
bool ZQI_CommitTemporaryFile(const char* temporaryPath, const char* targetPath);
// Moves the file at sourcePath onto targetPath, where no file is yet, in one step: false, with
// both as they were, when a file is there (however shortly before it came) or the system refuses.
// Both paths need the same scheme, served by a native system. No popup.
bool ZQI_MoveFileToFreePath(const char* sourcePath, const char* targetPath);
// Splits "*.png;*.jpg" into its wildcards; false for a wildcard of 512 characters or more, one
// with characters other than "*" and the path characters, or one holding "..", "//" or a
// leading "/". A wildcard may name a folder below the listed one: "sub/*.png".
bool ZQI_ParseWildcards(const char* text, Array<String>& out);
// The listing behind FindFiles (unique texts in the order met).
void ZQI_FindFiles(const char* path, const Array<String>& wildcards, bool recursive, Array<String>& out);
// One scheme's folder; a wildcard's folder part ("sub/" of "sub/*.png") is listed as that folder
// below this one, so its results read "<virtualFolder>/sub/<name>".
void ZQI_FindFilesInSystem(SchemeId scheme, const char* virtualFolder, const char* nativeFolder,
                           const Array<String>& wildcards, bool recursive, Array<String>& out);
// A path that exists, or (unless noCreate) that can be created, in one of 32 buffers of 260
// bytes used in turn; null when neither. Valid until 32 further calls.
char* ZQI_ResolveFilePath(const char* path, bool noCreate);
// The system's open or save dialog; the chosen file as a virtual path ("" when it lies under no
// root), null on cancel.
char* ZQI_ShowNativeFileDialog(const char* initialNativeFolder, const char* filter, bool save);
// The window file dialogs belong to (set by the platform layer once the window exists).
void ZQI_SetFileDialogOwner(void* window);

// A new list (malloc, as ZQ_FreeStringList expects) holding a copy of every text.
zq_string_list_t* ZQI_NewStringList(const Array<String>& texts);

// ---- Open-file list ------------------------------------------------------------------------------

// Handles the program holds open (tracked ones only).
int32_t ZQI_GetOpenFileCount();
// Shutdown: "%d files left open.." and "File '%s' left open." per handle, under "CORE_VARIABLE".
void ZQI_LogFilesLeftOpen();
