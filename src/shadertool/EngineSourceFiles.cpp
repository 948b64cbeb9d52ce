// The shader tool's file services over the engine's file-system API. Kept apart from the
// services themselves so that only a program that installs them links the file system.
#include <cstdlib>

#include "filesystem/FileSystemApi.h"
#include "shadertool/SourceFiles.h"

namespace ShaderTool {

namespace {

// Mode "r", the size from the open file, one read of that size: a shorter read fails.
SourceFileResult ReadThroughFileSystem(const char* path, String* text) {
    text->Assign(nullptr);
    zq_file_t* file = ZQ_FileSystem_OpenFile(path, "r");
    if (file == nullptr) {
        return SOURCE_FILE_NOT_FOUND;
    }
    const uint64_t size = file->size;
    char* block = size < static_cast<uint64_t>(INT32_MAX) ? static_cast<char*>(malloc(size + 1)) : nullptr;
    const uint64_t got = block != nullptr ? ZQ_FileSystem_ReadFile(block, size, file) : 0;
    ZQ_FileSystem_CloseFile(file);
    if (block == nullptr || got != size) {
        free(block);
        return SOURCE_FILE_SHORT_READ;
    }
    block[size] = '\0';
    text->Assign(block);
    free(block);
    return SOURCE_FILE_READ;
}

bool ModificationTimeThroughFileSystem(const char* path, int32_t* seconds) {
    zq_file_info_t info;
    if (!ZQ_FileSystem_GetFileInfo(path, &info)) {
        return false;
    }
    *seconds = static_cast<int32_t>(info.modification_time);
    return true;
}

}  // namespace

void UseEngineFileSystem() {
    const SourceFileServices services = {ReadThroughFileSystem, ModificationTimeThroughFileSystem};
    SetSourceFileServices(&services);
}

}  // namespace ShaderTool
