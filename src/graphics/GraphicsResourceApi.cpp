// The bitmap-table slots of the graphics sub-table.
#include "graphics/GraphicsResourceApi.h"

#include "graphics/BitmapTable.h"
#include "graphics/RendererBackEnd.h"

zq_bitmap_t* ZQ_Graphics_GetBitmap(const char* name) {
    return ZQI_GetOrLoadBitmap(name, ZQI_DEFAULT_BITMAP_CACHE_MODE, true);
}

zq_bitmap_t* ZQ_Graphics_GetBitmapWithCacheMode(const char* name, int32_t cacheMode) {
    return ZQI_GetOrLoadBitmap(name, cacheMode, true);
}

zq_bitmap_t* ZQ_Graphics_LoadBitmap(const char* name, int32_t cacheMode) {
    return ZQI_GetOrLoadBitmap(name, cacheMode, false);
}

int32_t ZQ_Graphics_GetNumBitmaps() {
    return ZQI_GetBitmapUsedCount();
}

bool ZQ_Graphics_IsTextureFormatSupported(const zq_bitmap_desc_t* desc) {
    const ZQI_RendererBackEndCalls* backEnd = ZQI_GetRendererBackEnd();
    return desc != nullptr && backEnd != nullptr && backEnd->IsBitmapFormatSupported(desc);
}
