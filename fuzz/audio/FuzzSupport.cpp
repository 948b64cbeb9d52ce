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

// libvorbisfile 1.3.7 itself loses 8 bytes when some broken streams fail to open (a plain
// ov_open_callbacks, nothing else, shows it); that is not the engine's leak.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libvorbisfile.so\n";
}

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
