// The resource tables' parts of the memory estimates, which the engine hands the core at start-up:
// the bitmaps, the fonts' glyph atlases and the sounds' data.
#include "engine/MemoryEstimateSources.h"

#include "audio/SoundResource.h"
#include "core/MemoryStatistics.h"
#include "fonts/FontTable.h"
#include "graphics/BitmapTable.h"

void ZQI_RegisterMemoryEstimateSources() {
    ZQI_RegisterMemoryEstimateSource(ZQI_AddBitmapMemoryEstimates);
    ZQI_RegisterMemoryEstimateSource(ZQI_AddFontMemoryEstimates);
    ZQI_RegisterMemoryEstimateSource(ZQI_AddSoundMemoryEstimates);
}
