// The resource tables' parts of the memory estimates, which the engine hands the core at start-up:
// the bitmaps, the fonts' glyph atlases, the sounds' data and the vertex and index buffer objects.
#include "engine/MemoryEstimateSources.h"

#include "audio/SoundResource.h"
#include "core/MemoryStatistics.h"
#include "fonts/FontTable.h"
#include "graphics/BitmapTable.h"
#include "graphics/BufferObjects.h"

void ZQI_RegisterMemoryEstimateSources() {
    ZQI_RegisterMemoryEstimateSource(ZQI_AddBitmapMemoryEstimates);
    ZQI_RegisterMemoryEstimateSource(ZQI_AddFontMemoryEstimates);
    ZQI_RegisterMemoryEstimateSource(ZQI_AddSoundMemoryEstimates);
    ZQI_RegisterMemoryEstimateSource(ZQI_AddBufferMemoryEstimates);
}
