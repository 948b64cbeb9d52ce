// The bitmap-table and render-state slots of the graphics sub-table.
#include "graphics/GraphicsResourceApi.h"

#include "core/ApiTable.h"
#include "graphics/BitmapTable.h"
#include "graphics/RendererBackEnd.h"
#include "graphics/RendererState.h"

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

void ZQI_InstallGraphicsResourceApi(zq_api_t* api) {
    if (api == nullptr || api->graphics == nullptr) {
        return;
    }
    zq_graphics_api_t* table = api->graphics;
    table->GetBitmap = ZQ_Graphics_GetBitmap;
    table->GetBitmapWithCacheMode = ZQ_Graphics_GetBitmapWithCacheMode;
    table->LoadBitmap = ZQ_Graphics_LoadBitmap;
    table->SetBitmapCacheMode = ZQ_Graphics_SetBitmapCacheMode;
    table->GetNumBitmaps = ZQ_Graphics_GetNumBitmaps;
    table->IsTextureFormatSupported = ZQ_Graphics_IsTextureFormatSupported;
    table->SetRenderFlag = ZQ_Graphics_SetRenderFlag;
    table->SetRenderState = ZQ_Graphics_SetRenderState;
    table->GetRenderFlag = ZQ_Graphics_GetRenderFlag;
    table->GetRenderState = ZQ_Graphics_GetRenderState;
    table->SetBlendMode = ZQ_Graphics_SetBlendMode;
    table->GetBlendMode = ZQ_Graphics_GetBlendMode;
    table->SetTextureStageAddressMode = ZQ_Graphics_SetTextureStageAddressMode;
    table->SetTextureStageFilter = ZQ_Graphics_SetTextureStageFilter;
    table->SetTextureFilter = ZQ_Graphics_SetTextureFilter;
    table->GetTextureFilter = ZQ_Graphics_GetTextureFilter;
    table->SetTexture = ZQ_Graphics_SetTexture;
}

void ZQI_ConnectGraphicsResourceApi() {
    ZQI_RegisterApiTableFiller(ZQI_InstallGraphicsResourceApi);
    ZQI_InstallGraphicsResourceApi(ZQI_GetApi());
}
