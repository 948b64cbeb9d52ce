// How the shader tool reads its input files (included sources, and later the Shader XML's
// source files): whole-file reads and modification times through replaceable services, so the
// tool depends on no file system below it. Engine start-up installs services backed by the
// file-system API; until then no file can be opened.
#pragma once

#include <cstdint>

#include "foundation/String.h"

namespace ShaderTool {

enum SourceFileResult : int32_t {
    SOURCE_FILE_READ = 0,        // the whole file is in the text
    SOURCE_FILE_NOT_FOUND = 1,   // the file could not be opened
    SOURCE_FILE_SHORT_READ = 2,  // opened, but fewer bytes than its size could be read
};

struct SourceFileServices {
    // Opens path for reading (mode "r"), takes its size from the open file, reads it with one
    // read of that size and closes it. On success text holds the file's bytes.
    SourceFileResult (*readFile)(const char* path, String* text);
    // The file's modification time in seconds; false when the file's information is unavailable.
    bool (*getModificationTime)(const char* path, int32_t* seconds);
};

// Installs the services (copied). Null, or a null member, restores that default.
void SetSourceFileServices(const SourceFileServices* services);
const SourceFileServices& GetSourceFileServices();

// Installs services over the engine's file-system API (ZQ_FileSystem_OpenFile and friends), so
// paths are virtual paths or plain paths along the search paths. Called by the shader tool's
// owner at start-up; linking it needs the file-system library.
void UseEngineFileSystem();

// Convenience wrappers over the installed services.
SourceFileResult ReadSourceFile(const char* path, String* text);
bool GetSourceFileTime(const char* path, int32_t* seconds);

}  // namespace ShaderTool
