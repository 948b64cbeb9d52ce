// The graphics sub-table's filler, in slot order. The font slots (GetFont, LoadFont, ReleaseFont,
// RefreshFont, SaveFont, GetFontGlyph, CanFontRenderText and the text measures) are the fonts
// subsystem's filler's; the reserved slots keep their place with fixed answers.
#include "graphics/GraphicsApi.h"

#include "core/ApiTable.h"
#include "graphics/BitmapData.h"
#include "graphics/BitmapOperations.h"
#include "graphics/BitmapTable.h"
#include "graphics/BufferObjects.h"
#include "graphics/Drawing.h"
#include "graphics/GraphicsResourceApi.h"
#include "graphics/RendererDevice.h"
#include "graphics/RendererState.h"
#include "graphics/ShaderManager.h"
#include "graphics/TextSettings.h"

namespace {

void* ReservedNull() {
    return nullptr;
}
void ReservedNothing() {}
bool ReservedFalse() {
    return false;
}
int32_t ReservedThree() {
    return 3;
}
float ReservedZero() {
    return 0.0f;
}

int32_t GetDisplayCount() {
    return ZQI_GetRendererDevice().GetDisplayCount();
}

const char* GetSupportedResolutions(int32_t display) {
    return ZQI_GetRendererDevice().GetSupportedResolutions(display);
}

}  // namespace

void ZQI_InstallGraphicsApi(zq_api_t* api) {
    zq_graphics_api_t* table = api != nullptr ? api->graphics : nullptr;
    if (table == nullptr) {
        return;
    }
    table->Reserved0 = ReservedNull;
    table->Reserved1 = ReservedNothing;
    table->Reserved2 = ReservedNothing;
    table->Reserved3 = ReservedNothing;
    table->Reserved4 = ReservedFalse;
    table->ClearDepth = ZQ_Graphics_ClearDepth;
    table->ClearScreen = ZQ_Graphics_ClearScreen;
    table->ClearScreenRGBA = ZQ_Graphics_ClearScreenRGBA;
    table->Reserved8 = ReservedNull;
    table->CreateBitmap = ZQ_Graphics_CreateBitmap;
    table->CopyBitmapRenderTargetDataToPixels = ZQ_Graphics_CopyBitmapRenderTargetDataToPixels;
    table->CreateIndexBuffer = ZQ_Graphics_CreateIndexBuffer;
    table->CreateVertexBuffer = ZQ_Graphics_CreateVertexBuffer;
    table->DisableScissor = ZQ_Graphics_DisableScissor;
    table->DrawBitmap = ZQ_Graphics_DrawBitmap;
    table->DrawBitmapFromVertices = ZQ_Graphics_DrawBitmapFromVertices;
    table->DrawBitmapLine = ZQ_Graphics_DrawBitmapLine;
    table->DrawBitmapRotated = ZQ_Graphics_DrawBitmapRotated;
    table->DrawLine = ZQ_Graphics_DrawLine;
    table->DrawLineFromVertices = ZQ_Graphics_DrawLineFromVertices;
    table->DrawRectangle = ZQ_Graphics_DrawRectangle;
    table->DrawSubBitmap = ZQ_Graphics_DrawSubBitmap;
    table->DrawText = ZQ_Graphics_DrawText;
    table->DrawTriangles = ZQ_Graphics_DrawTriangles;
    table->DrawTrianglesFromBuffers = ZQ_Graphics_DrawTrianglesFromBuffers;
    table->DrawTrianglesFromVertexFormat = ZQ_Graphics_DrawTrianglesFromVertexFormat;
    table->DrawTrianglesInstanced = ZQ_Graphics_DrawTrianglesInstanced;
    table->DrawTrianglesRange = ZQ_Graphics_DrawTrianglesRange;
    table->Reserved28 = ReservedNothing;
    table->Reserved29 = ReservedNothing;
    table->Reserved30 = ReservedNothing;
    table->FreeIndexBuffer = ZQ_Graphics_FreeIndexBuffer;
    table->FreeVertexBuffer = ZQ_Graphics_FreeVertexBuffer;
    table->GetAlpha = ZQ_Graphics_GetAlpha;
    table->GetBitmap = ZQ_Graphics_GetBitmap;
    table->GetBitmapFromHandle = ZQ_Graphics_GetBitmapFromHandle;
    table->GetBitmapWithCacheMode = ZQ_Graphics_GetBitmapWithCacheMode;
    table->GetBlendMode = ZQ_Graphics_GetBlendMode;
    table->GetColor = ZQ_Graphics_GetColor;
    table->GetDepth = ZQ_Graphics_GetDepth;
    table->GetDisplayCount = GetDisplayCount;
    table->Reserved41 = ReservedThree;
    table->GetMaximumTextureSize = ZQ_Graphics_GetMaximumTextureSize;
    table->GetNumBitmaps = ZQ_Graphics_GetNumBitmaps;
    table->GetTextureFilter = ZQ_Graphics_GetTextureFilter;
    table->GetRenderFlag = ZQ_Graphics_GetRenderFlag;
    table->Reserved47 = ReservedZero;
    table->GetRenderState = ZQ_Graphics_GetRenderState;
    table->GetShader = ZQ_Graphics_GetShader;
    table->GetShaderConstant = ZQ_Graphics_GetShaderConstant;
    table->GetShaderConstantIndex = ZQ_Graphics_GetShaderConstantIndex;
    table->GetShaderPixelConstant = ZQ_Graphics_GetShaderPixelConstant;
    table->GetShaderPixelConstantIndex = ZQ_Graphics_GetShaderPixelConstantIndex;
    table->GetShaderTags = ZQ_Graphics_GetShaderTags;
    table->GetShaderUserValue = ZQ_Graphics_GetShaderUserValue;
    table->GetShaderVertexConstant = ZQ_Graphics_GetShaderVertexConstant;
    table->GetShaderVertexConstantIndex = ZQ_Graphics_GetShaderVertexConstantIndex;
    table->GetSupportedResolutions = GetSupportedResolutions;
    table->GetTextAlignment = ZQ_Graphics_GetTextAlignment;
    table->GetTextureIndex = ZQ_Graphics_GetTextureIndex;
    table->GetViewportSize = ZQ_Graphics_GetViewportSize;
    table->GetViewPosition = ZQ_Graphics_GetViewPosition;
    table->IncreaseBitmapReferenceCount = ZQ_Graphics_IncreaseBitmapReferenceCount;
    table->Reserved67 = ReservedFalse;
    table->IsShaderLoaded = ZQ_Graphics_IsShaderLoaded;
    table->IsTextureFormatSupported = ZQ_Graphics_IsTextureFormatSupported;
    table->LoadBitmap = ZQ_Graphics_LoadBitmap;
    table->LockIndexBuffer = ZQ_Graphics_LockIndexBuffer;
    table->LockVertexBuffer = ZQ_Graphics_LockVertexBuffer;
    table->PeekProjectionTransform = ZQ_Graphics_PeekProjectionTransform;
    table->PeekRenderTarget = ZQ_Graphics_PeekRenderTarget;
    table->PeekViewTransform = ZQ_Graphics_PeekViewTransform;
    table->PeekWorldTransform = ZQ_Graphics_PeekWorldTransform;
    table->PopProjectionTransform = ZQ_Graphics_PopProjectionTransform;
    table->PopRenderTargets = ZQ_Graphics_PopRenderTargets;
    table->PopScissorRectangle = ZQ_Graphics_PopScissorRectangle;
    table->PopShader = ZQ_Graphics_PopShader;
    table->PopViewTransform = ZQ_Graphics_PopViewTransform;
    table->PopWorldTransform = ZQ_Graphics_PopWorldTransform;
    table->PushProjectionTransform = ZQ_Graphics_PushProjectionTransform;
    table->PushRenderTarget = ZQ_Graphics_PushRenderTarget;
    table->PushRenderTargets = ZQ_Graphics_PushRenderTargets;
    table->PushRenderTargetWithDepth = ZQ_Graphics_PushRenderTargetWithDepth;
    table->PushScissorRectangle = ZQ_Graphics_PushScissorRectangle;
    table->PushShader = ZQ_Graphics_PushShader;
    table->PushViewTransform = ZQ_Graphics_PushViewTransform;
    table->PushWorldTransform = ZQ_Graphics_PushWorldTransform;
    table->RefreshBitmap = ZQ_Graphics_RefreshBitmap;
    table->ReleaseBitmap = ZQ_Graphics_ReleaseBitmap;
    table->ReloadShader = ZQ_Graphics_ReloadShader;
    table->RemoveBitmapHandle = ZQ_Graphics_RemoveBitmapHandle;
    table->ResizeBitmap = ZQ_Graphics_ResizeBitmap;
    table->SaveBitmap = ZQ_Graphics_SaveBitmap;
    table->Reserved101 = ReservedNothing;
    table->SetAlpha = ZQ_Graphics_SetAlpha;
    table->SetBitmapCacheMode = ZQ_Graphics_SetBitmapCacheMode;
    table->SetBitmapFrame = ZQ_Graphics_SetBitmapFrame;
    table->SetBlendMode = ZQ_Graphics_SetBlendMode;
    table->SetColor = ZQ_Graphics_SetColor;
    table->SetColorRGBA = ZQ_Graphics_SetColorRGBA;
    table->SetDepth = ZQ_Graphics_SetDepth;
    table->SetDepthParameters = ZQ_Graphics_SetDepthParameters;
    table->SetFontShader = ZQ_Graphics_SetFontShader;
    table->Reserved111 = ReservedNothing;
    table->SetTextureFilter = ZQ_Graphics_SetTextureFilter;
    table->SetVSync = ZQ_Graphics_SetVSync;
    table->Reserved114 = ReservedFalse;
    table->SetRenderFlag = ZQ_Graphics_SetRenderFlag;
    table->Reserved116 = ReservedNothing;
    table->SetRenderState = ZQ_Graphics_SetRenderState;
    table->SetBitmapSourceRectangle = ZQ_Graphics_SetBitmapSourceRectangle;
    table->SetScissorRectangle = ZQ_Graphics_SetScissorRectangle;
    table->SetShader = ZQ_Graphics_SetShader;
    table->SetShaderConstant = ZQ_Graphics_SetShaderConstant;
    table->SetShaderPixelConstant = ZQ_Graphics_SetShaderPixelConstant;
    table->SetShaderVertexConstant = ZQ_Graphics_SetShaderVertexConstant;
    table->SetTextureStageAddressMode = ZQ_Graphics_SetTextureStageAddressMode;
    table->SetTextureStageFilter = ZQ_Graphics_SetTextureStageFilter;
    table->SetTextAlignment = ZQ_Graphics_SetTextAlignment;
    table->SetTextCharacterSpacing = ZQ_Graphics_SetTextCharacterSpacing;
    table->SetTextMaxWidth = ZQ_Graphics_SetTextMaxWidth;
    table->SetTextJustify = ZQ_Graphics_SetTextJustify;
    table->SetTextTransform = ZQ_Graphics_SetTextTransform;
    table->SetTextLineSpacing = ZQ_Graphics_SetTextLineSpacing;
    table->SetTextMarkupDisabled = ZQ_Graphics_SetTextMarkupDisabled;
    table->SetTexture = ZQ_Graphics_SetTexture;
    table->ShaderHasTag = ZQ_Graphics_ShaderHasTag;
    table->FlushBatch = ZQ_Graphics_FlushBatch;
    table->UnlockIndexBuffer = ZQ_Graphics_UnlockIndexBuffer;
    table->UnlockVertexBuffer = ZQ_Graphics_UnlockVertexBuffer;
}

void ZQI_BuildGraphicsApiTable() {
    ZQI_RegisterApiTableFiller(ZQI_InstallGraphicsApi);
    ZQI_InstallGraphicsApi(ZQI_GetApi());
}
