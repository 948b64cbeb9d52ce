// The engine's memory estimates, published as entries 2000 to 2005 of the integer input-state
// table: total, system memory, GPU memory, image data, sound and vertex data, in bytes. The
// resource tables live in subsystems above the core, so each offers a source that adds its
// resources to the sums; "RefreshMemUsageEstimates" runs them all.
#pragma once

#include <cstdint>

#include "zorqa.h"

// Input-state ids of the estimates.
enum MemoryStatisticId : int32_t {
    MEMORY_STAT_TOTAL = 2000,   // system + GPU + sound + vertex data
    MEMORY_STAT_SYSTEM = 2001,  // system-memory copies of bitmap and font pixels
    MEMORY_STAT_GPU = 2002,     // textures of uploaded bitmaps and fonts
    MEMORY_STAT_IMAGE = 2003,   // image data of uploaded bitmaps and fonts
    MEMORY_STAT_SOUND = 2004,   // sound data, music left out
    MEMORY_STAT_VERTEX = 2005   // vertex and index buffer objects
};

// The sums, in 64 bits: a few large textures would overflow the 32-bit table entries.
struct MemoryEstimates {
    uint64_t systemBytes;
    uint64_t gpuBytes;
    uint64_t imageBytes;
    uint64_t soundBytes;
    uint64_t vertexBytes;
};

// What a bitmap or a font keeps, for the estimates.
struct ImageMemoryUse {
    int32_t width;  // the image
    int32_t height;
    bool hasSystemCopy;  // its pixels are kept in system memory
    bool uploaded;       // its texture is on the GPU
    int32_t textureWidth;
    int32_t textureHeight;
    int32_t frameCount;  // frames of a multi-frame bitmap; 1 otherwise
};

// Sounds larger than this are music, streamed rather than held, and not counted.
const uint64_t ZQI_LARGEST_COUNTED_SOUND = 4194304;

// What a bitmap of the bitmap table (or a font's atlas) keeps: its pixels when they are in memory,
// its texture once loaded on the GPU, and its frames.
ImageMemoryUse ZQI_DescribeBitmapMemory(const zq_bitmap_t& bitmap);
// Adds one bitmap or font: width x height x 4 to system memory when it keeps a copy; texture and
// image sizes x 4 (times the frames) to GPU memory and image data when uploaded.
void ZQI_CountImageMemory(MemoryEstimates* estimates, const ImageMemoryUse& image);
// Adds one sound's data size, unless it is larger than ZQI_LARGEST_COUNTED_SOUND.
void ZQI_CountSoundMemory(MemoryEstimates* estimates, uint64_t dataSize);

// A subsystem's contribution: adds its resources to the estimates.
typedef void (*ZQI_MemoryEstimateSource)(MemoryEstimates* estimates);
// A source for every resource table is plenty.
const int32_t ZQI_MAX_MEMORY_ESTIMATE_SOURCES = 8;
// Adds a source that every later refresh runs, in registration order. Registering a source
// again changes nothing and answers true; false, with a log line, for null or a full list.
bool ZQI_RegisterMemoryEstimateSource(ZQI_MemoryEstimateSource source);
// Takes a source out again; false when it was not registered.
bool ZQI_UnregisterMemoryEstimateSource(ZQI_MemoryEstimateSource source);

// "RefreshMemUsageEstimates": sums every source and publishes the six entries.
void ZQI_RefreshMemUsageEstimates();
// Writes the six entries from the sums, each capped at 2147483647 so that none turns negative.
void ZQI_PublishMemoryEstimates(const MemoryEstimates& estimates);
