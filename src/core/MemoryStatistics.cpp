// Memory estimates: the counting rules, the sources of the resource tables and the published
// input-state entries.
#include "core/MemoryStatistics.h"

#include <cstring>

#include "core/CoreState.h"
#include "core/Log.h"
#include "foundation/FunctionList.h"

namespace {

const uint64_t kBytesPerPixel = 4;
const uint64_t kLargestEntry = 2147483647;

FunctionList<ZQI_MemoryEstimateSource, ZQI_MAX_MEMORY_ESTIMATE_SOURCES> g_sources;

uint64_t PixelBytes(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0) {
        return 0;
    }
    return static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * kBytesPerPixel;
}

int32_t Saturated(uint64_t bytes) {
    return static_cast<int32_t>(bytes > kLargestEntry ? kLargestEntry : bytes);
}

}  // namespace

ImageMemoryUse ZQI_DescribeBitmapMemory(const zq_bitmap_t& bitmap) {
    ImageMemoryUse image;
    // The memory is the pixels' own size; a manifest entry may draw them larger or smaller.
    image.width = bitmap.pixel_width;
    image.height = bitmap.pixel_height;
    image.hasSystemCopy = bitmap.pixels != nullptr;
    image.uploaded = bitmap.gpu.loaded != 0;
    image.textureWidth = bitmap.gpu.texture_width;
    image.textureHeight = bitmap.gpu.texture_height;
    image.frameCount = bitmap.frame_count;
    return image;
}

void ZQI_CountImageMemory(MemoryEstimates* estimates, const ImageMemoryUse& image) {
    if (image.hasSystemCopy) {
        estimates->systemBytes += PixelBytes(image.width, image.height);
    }
    if (image.uploaded) {
        const uint64_t frames = image.frameCount > 1 ? static_cast<uint64_t>(image.frameCount) : 1;
        estimates->gpuBytes += PixelBytes(image.textureWidth, image.textureHeight) * frames;
        estimates->imageBytes += PixelBytes(image.width, image.height) * frames;
    }
}

void ZQI_CountSoundMemory(MemoryEstimates* estimates, uint64_t dataSize) {
    if (dataSize <= ZQI_LARGEST_COUNTED_SOUND) {
        estimates->soundBytes += dataSize;
    }
}

bool ZQI_RegisterMemoryEstimateSource(ZQI_MemoryEstimateSource source) {
    if (source == nullptr) {
        ZQI_LogFormat(LOG_LEVEL_ERROR, "ZQI_RegisterMemoryEstimateSource: no source.");
        return false;
    }
    if (!g_sources.Add(source)) {
        ZQI_LogFormat(LOG_LEVEL_ERROR, "ZQI_RegisterMemoryEstimateSource: all %d places are taken.",
                      ZQI_MAX_MEMORY_ESTIMATE_SOURCES);
        return false;
    }
    return true;
}

bool ZQI_UnregisterMemoryEstimateSource(ZQI_MemoryEstimateSource source) {
    return g_sources.Remove(source);
}

void ZQI_RefreshMemUsageEstimates() {
    MemoryEstimates estimates;
    memset(&estimates, 0, sizeof(estimates));
    for (int32_t i = 0; i < g_sources.count; ++i) {
        g_sources.items[i](&estimates);
    }
    ZQI_PublishMemoryEstimates(estimates);
}

void ZQI_PublishMemoryEstimates(const MemoryEstimates& estimates) {
    const uint64_t total =
        estimates.systemBytes + estimates.gpuBytes + estimates.soundBytes + estimates.vertexBytes;
    g_core.inputStates[MEMORY_STAT_TOTAL] = Saturated(total);
    g_core.inputStates[MEMORY_STAT_SYSTEM] = Saturated(estimates.systemBytes);
    g_core.inputStates[MEMORY_STAT_GPU] = Saturated(estimates.gpuBytes);
    g_core.inputStates[MEMORY_STAT_IMAGE] = Saturated(estimates.imageBytes);
    g_core.inputStates[MEMORY_STAT_SOUND] = Saturated(estimates.soundBytes);
    g_core.inputStates[MEMORY_STAT_VERTEX] = Saturated(estimates.vertexBytes);
}
