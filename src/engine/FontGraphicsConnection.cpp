// The graphics services the fonts reach through their hooks.
#include "engine/FontGraphicsConnection.h"

#include "data/DMRecords.h"
#include "fonts/Font.h"
#include "fonts/FontLoading.h"
#include "fonts/FontServices.h"
#include "graphics/AtlasPacking.h"
#include "graphics/BitmapLoading.h"
#include "graphics/BitmapUpload.h"
#include "graphics/Drawing.h"
#include "graphics/GraphicsResourceApi.h"
#include "graphics/ImageLoader.h"
#include "graphics/PixelTools.h"
#include "graphics/RendererState.h"
#include "graphics/ShaderManager.h"
#include "graphics/d3d11/D3D11BackEndCalls.h"

namespace {

bool CreateImageResized(zq_bitmap_t* target, const zq_bitmap_t* source, int32_t width, int32_t height) {
    // The resize bleeds the source's transparent pixels first: the fonts hand over their own copy.
    return ZQI_CreateImageResized(target, const_cast<zq_bitmap_t*>(source), width, height);
}

bool LoadImage(const char* path, zq_bitmap_t* out) {
    return ZQI_GetImageLoader()->LoadImage(out, path);
}

const char* FindManifestValue(const char* name, const char* key) {
    const DMNode* entry = FindManifestEntry(name);
    return entry != nullptr ? entry->GetValue(key) : nullptr;
}

void GetCurrentColor(float colour[4]) {
    for (int32_t i = 0; i < 3; ++i) {
        colour[i] = g_rendererState.color[i];
    }
    colour[3] = g_rendererState.alpha;
}

}  // namespace

void ZQI_ConnectFontsToGraphics() {
    FontGraphicsHooks hooks = ZQI_GetFontGraphicsHooks();
    hooks.bleedTransparentPixels = BleedTransparentPixels;
    hooks.createImageResized = CreateImageResized;
    hooks.loadImage = LoadImage;
    hooks.packBitmaps = ZQI_PackBitmaps;
    hooks.getMaximumTextureSize = ZQI_GetMaximumTextureSize;
    hooks.uploadBitmap = UploadBitmapToRenderer;
    hooks.freeBitmapGpuData = FreeBitmapGPUData;
    hooks.regainRenderer = RegainRendererImplementation;
    hooks.findManifestValue = FindManifestValue;
    hooks.getBitmap = ZQ_Graphics_GetBitmap;
    hooks.getShader = ZQ_Graphics_GetShader;
    hooks.getCurrentColor = GetCurrentColor;
    hooks.pixelOrderBlueFirst = 0;  // loaded textures keep the pixels' R, G, B, A order
    ZQI_SetFontGraphicsHooks(&hooks);
    ZQI_SetFontAtlasQueueStep(ZQI_FONTS_ProcessUploadQueue);
}
