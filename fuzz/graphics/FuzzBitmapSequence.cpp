// Fuzz target: any bytes as a bitmap-sequence file in mem://, read through the file-system API.
// Every frame read must point at the atlas, which must hold the pixels of its size.
#include <cstddef>
#include <cstdint>

#include "core/ApiTable.h"
#include "filesystem/FileSystemApi.h"
#include "filesystem/FileSystemTable.h"
#include "filesystem/MemorySystem.h"
#include "graphics/BitmapData.h"
#include "graphics/BitmapSequence.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    ZQI_BuildApiTables();
    ZQI_SetFileSystem(SCHEME_MEM, new ZQFileSystem::MemorySystem());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zq_file_t* file = ZQ_FileSystem_OpenFile("mem://fuzz.bms", "wb");
    if (file == nullptr) {
        return 0;
    }
    ZQ_FileSystem_WriteFile(data, size, file);
    ZQ_FileSystem_CloseFile(file);
    zq_bitmap_t bitmap = {};
    if (ZQI_LoadBitmapSequence(&bitmap, "mem://fuzz.bms")) {
        const zq_bitmap_t* atlas = bitmap.atlas;
        if (atlas == nullptr || atlas->pixels == nullptr || bitmap.frame_count < 1) {
            __builtin_trap();
        }
        for (int32_t i = 0; i < bitmap.frame_count; ++i) {
            if (bitmap.frames[i].atlas != atlas) {
                __builtin_trap();
            }
        }
        volatile uint8_t last = atlas->pixels[int64_t(atlas->width) * atlas->height * 4 - 1];
        (void)last;
    }
    FreeBitmapFrames(&bitmap);
    return 0;
}
