// Shared start of the audio fuzz targets.
#include "FuzzSupport.h"

#include "core/ApiTable.h"
#include "core/CoreState.h"
#include "core/NamedMutex.h"
#include "filesystem/FileSystemApi.h"
#include "filesystem/FileSystemTable.h"
#include "filesystem/MemorySystem.h"

namespace {

bool StartOnce() {
    ZQI_BuildApiTables();
    ZQI_CreateCoreMutexes();
    g_core.logVerboseLevel = 4;  // above every level a reader uses
    ZQI_SetFileSystem(SCHEME_MEM, new ZQFileSystem::MemorySystem());
    return true;
}

}  // namespace

void FuzzWriteMemoryFile(const char* path, const uint8_t* data, size_t size) {
    static const bool started = StartOnce();
    (void)started;
    zq_file_t* file = ZQ_FileSystem_OpenFile(path, "w");
    if (file == nullptr) {
        __builtin_trap();  // the memory system always takes a new file
    }
    ZQ_FileSystem_WriteFile(data, size, file);
    ZQ_FileSystem_CloseFile(file);
}
