// The resource tables' parts of the memory estimates: each source walks one table under its lock
// and counts what every resource keeps. The fonts count their glyph atlases.
#include "engine/MemoryEstimateSources.h"

#include "core/MemoryStatistics.h"
#include "core/NamedMutex.h"
#include "fonts/FontTable.h"

namespace {

void AddFontMemory(MemoryEstimates* estimates) {
    ZQI_LockCoreMutex(CORE_MUTEX_GET_FONT);
    const int32_t used = ZQI_GetFontUsedCount();
    for (int32_t i = 0; i < used; ++i) {
        const zq_font_t* font = ZQI_GetFontSlot(i);
        if (font != nullptr && font->name != nullptr) {
            ZQI_CountImageMemory(estimates, ZQI_DescribeBitmapMemory(font->atlas));
        }
    }
    ZQI_UnlockCoreMutex(CORE_MUTEX_GET_FONT);
}

}  // namespace

void ZQI_RegisterMemoryEstimateSources() {
    ZQI_RegisterMemoryEstimateSource(AddFontMemory);
}
