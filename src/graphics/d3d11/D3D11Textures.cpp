// Textures of bitmaps on the device: format support, render targets (colour and depth, 2D and
// cube), textures from packed pixels with their mip chains, freeing, and reading a render target
// back into pixels.
#include <cstdlib>
#include <cstring>

#include "core/ApiTable.h"
#include "core/Log.h"
#include "foundation/ComPointer.h"
#include "graphics/BitmapPacker.h"
#include "graphics/BitmapTable.h"
#include "graphics/ImageLoader.h"
#include "graphics/d3d11/RendererImplementation.h"
#include "graphics/d3d11/RendererTexture.h"

namespace {

const DXGI_FORMAT kLoadedImageFormat = DXGI_FORMAT_R8G8B8A8_UNORM;
const UINT kCubeFaces = 6;

DXGI_FORMAT ToDXGIFormat(uint32_t format) {
    switch (format) {
        case ZQ_TEXTURE_FORMAT_D16_FLOAT:
            return DXGI_FORMAT_D16_UNORM;
        case ZQ_TEXTURE_FORMAT_D24_FLOAT:
            return DXGI_FORMAT_D24_UNORM_S8_UINT;
        case ZQ_TEXTURE_FORMAT_D32_FLOAT:
            return DXGI_FORMAT_D32_FLOAT;
        case ZQ_TEXTURE_FORMAT_R16_FLOAT:
            return DXGI_FORMAT_R16_FLOAT;
        case ZQ_TEXTURE_FORMAT_R16G16B16A16_FLOAT:
            return DXGI_FORMAT_R16G16B16A16_FLOAT;
        case ZQ_TEXTURE_FORMAT_R32_FLOAT:
            return DXGI_FORMAT_R32_FLOAT;
        case ZQ_TEXTURE_FORMAT_RGBA8:
            return DXGI_FORMAT_B8G8R8A8_UNORM;
        case ZQ_TEXTURE_FORMAT_RGBX8:
            return DXGI_FORMAT_B8G8R8X8_UNORM;
        default:
            return DXGI_FORMAT_UNKNOWN;
    }
}

bool IsDepthFormat(uint32_t format) {
    return format >= ZQ_TEXTURE_FORMAT_D16_FLOAT && format <= ZQ_TEXTURE_FORMAT_D32_FLOAT;
}

UINT NextPowerOfTwo(UINT value) {
    UINT result = 1;
    while (result < value && result < (1u << 30)) {
        result <<= 1;
    }
    return result;
}

const char* NameOf(const zq_bitmap_t* bitmap) {
    return bitmap->name != nullptr ? bitmap->name : "";
}

RendererTexture* NewTextureRecord() {
    return static_cast<RendererTexture*>(calloc(1, sizeof(RendererTexture)));
}

// A depth target's view; its record holds no shader view.
bool CreateDepthView(ID3D11Device* device, RendererTexture* record, DXGI_FORMAT format,
                     const zq_bitmap_t* bitmap) {
    D3D11_DEPTH_STENCIL_VIEW_DESC view = {};
    view.Format = format;
    view.ViewDimension = D3D11_DSV_DIMENSION_TEXTURE2D;
    view.Texture2D.MipSlice = 0;
    if (FAILED(device->CreateDepthStencilView(record->texture, &view, &record->depthView))) {
        ZQ_Popup(2, "D3D11 renderer failed to create depth stencil view '%s'.", NameOf(bitmap));
        return false;
    }
    record->mipsFresh = 1;
    record->hasMips = 0;
    return true;
}

// One render-target view per face, then the shader view of the whole texture.
bool CreateColorViews(ID3D11Device* device, RendererTexture* record, DXGI_FORMAT format, bool cube,
                      UINT mipLevels, const zq_bitmap_t* bitmap) {
    const UINT faces = cube ? kCubeFaces : 1;
    for (UINT face = 0; face < faces; ++face) {
        D3D11_RENDER_TARGET_VIEW_DESC view = {};
        view.Format = format;
        if (cube) {
            view.ViewDimension = D3D11_RTV_DIMENSION_TEXTURE2DARRAY;
            view.Texture2DArray.MipSlice = 0;
            view.Texture2DArray.FirstArraySlice = face;
            view.Texture2DArray.ArraySize = 1;
        } else {
            view.ViewDimension = D3D11_RTV_DIMENSION_TEXTURE2D;
            view.Texture2D.MipSlice = 0;
        }
        if (FAILED(device->CreateRenderTargetView(record->texture, &view, &record->targetViews[face]))) {
            ZQ_Popup(2, "D3D11 renderer failed to create render target view '%s'", NameOf(bitmap));
            return false;
        }
    }
    D3D11_SHADER_RESOURCE_VIEW_DESC view = {};
    view.Format = format;
    if (cube) {
        view.ViewDimension = D3D11_SRV_DIMENSION_TEXTURECUBE;
        view.TextureCube.MostDetailedMip = 0;
        view.TextureCube.MipLevels = mipLevels;
    } else {
        view.ViewDimension = D3D11_SRV_DIMENSION_TEXTURE2D;
        view.Texture2D.MostDetailedMip = 0;
        view.Texture2D.MipLevels = mipLevels;
    }
    if (FAILED(device->CreateShaderResourceView(record->texture, &view, &record->view))) {
        ZQ_Popup(2, "D3D11 renderer failed to create render target shader resource view '%s'.",
                 NameOf(bitmap));
        return false;
    }
    record->mipsFresh = 1;
    record->hasMips = 0;
    return true;
}

void ReportTextureFailure(ID3D11Device* device, HRESULT result, const zq_bitmap_t* bitmap) {
    ZQ_Popup(2, "D3D11 renderer failed to create texture '%s'.", NameOf(bitmap));
    if (result == E_OUTOFMEMORY) {
        // The back end keeps no count of its texture memory.
        ZQ_Log(1, "Out of memory (total %zu MB)", static_cast<size_t>(0));
    } else if (result == DXGI_ERROR_DEVICE_REMOVED) {
        ZQ_Log(2, "D3D11 renderer: device removed for reason '%d'",
               static_cast<int>(device->GetDeviceRemovedReason()));
    }
}

void SwapRedAndBlue(uint8_t* row, int32_t width, bool opaque) {
    for (int32_t x = 0; x < width; ++x, row += 4) {
        uint8_t blue = row[0];
        row[0] = row[2];
        row[2] = blue;
        if (opaque) {
            row[3] = 255;
        }
    }
}

}  // namespace

bool RendererImplementation::IsBitmapFormatSupported(const zq_bitmap_desc_t& desc) {
    if (device == nullptr) {
        return false;
    }
    UINT support = 0;
    if (FAILED(device->CheckFormatSupport(ToDXGIFormat(desc.format), &support))) {
        return false;
    }
    UINT needed = 0;
    if (desc.mip_levels != 1) {
        needed |= D3D11_FORMAT_SUPPORT_MIP;
    }
    if (IsDepthFormat(desc.format)) {
        needed |= D3D11_FORMAT_SUPPORT_DEPTH_STENCIL;
    } else {
        needed |= D3D11_FORMAT_SUPPORT_SHADER_SAMPLE;
        if (desc.render_target) {
            needed |= D3D11_FORMAT_SUPPORT_RENDER_TARGET;
        }
    }
    switch (desc.type) {
        case ZQ_TEXTURE_TYPE_2D:
            needed |= D3D11_FORMAT_SUPPORT_TEXTURE2D;
            break;
        case ZQ_TEXTURE_TYPE_3D:
            needed |= D3D11_FORMAT_SUPPORT_TEXTURE3D;
            break;
        case ZQ_TEXTURE_TYPE_CUBE:
            needed |= D3D11_FORMAT_SUPPORT_TEXTURECUBE;
            break;
        default:
            return false;
    }
    return (support & needed) == needed;
}

bool RendererImplementation::CreateRenderTarget(zq_bitmap_t* bitmap) {
    if (device == nullptr || bitmap == nullptr) {
        return false;
    }
    const bool cube = bitmap->type == ZQ_TEXTURE_TYPE_CUBE;
    if (bitmap->type != ZQ_TEXTURE_TYPE_2D && !cube) {
        ZQ_Log(LOG_LEVEL_ERROR, "CreateRenderTarget: '%s' is neither a 2D nor a cube texture.", NameOf(bitmap));
        return false;
    }
    const int32_t imageWidth = bitmap->pixel_width > 0 ? bitmap->pixel_width : bitmap->width;
    const int32_t imageHeight = bitmap->pixel_height > 0 ? bitmap->pixel_height : bitmap->height;
    if (imageWidth < 1 || imageHeight < 1) {
        ZQ_Log(LOG_LEVEL_ERROR, "CreateRenderTarget: '%s' has no size.", NameOf(bitmap));
        return false;
    }
    UINT width = static_cast<UINT>(imageWidth);
    UINT height = static_cast<UINT>(imageHeight);
    if (!cube && (capabilities & RENDERER_CAPS_NON_POWER_OF_TWO) == 0) {
        width = NextPowerOfTwo(width);
        height = NextPowerOfTwo(height);
    }
    const bool depth = IsDepthFormat(bitmap->format);
    const DXGI_FORMAT format = ToDXGIFormat(bitmap->format);
    D3D11_TEXTURE2D_DESC desc = {};
    desc.Width = width;
    desc.Height = height;
    desc.MipLevels = 1;
    desc.ArraySize = cube ? kCubeFaces : 1;
    desc.Format = format;
    desc.SampleDesc.Count = 1;
    desc.Usage = D3D11_USAGE_DEFAULT;
    desc.BindFlags =
        depth ? D3D11_BIND_DEPTH_STENCIL : (D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_RENDER_TARGET);
    desc.MiscFlags = cube ? D3D11_RESOURCE_MISC_TEXTURECUBE : 0;
    RendererTexture* record = NewTextureRecord();
    if (record == nullptr || FAILED(device->CreateTexture2D(&desc, nullptr, &record->texture))) {
        ZQ_Log(LOG_LEVEL_ERROR, "CreateRenderTarget: the device made no %ux%u texture for '%s'.", width,
               height, NameOf(bitmap));
        free(record);
        return false;
    }
    const bool viewsMade = depth ? CreateDepthView(device, record, format, bitmap)
                                 : CreateColorViews(device, record, format, cube, desc.MipLevels, bitmap);
    if (!viewsMade) {
        FreeTexture(record);
        return false;
    }
    bitmap->gpu.texture = record;
    bitmap->flags |= BITMAP_FLAG_RENDER_TARGET;
    bitmap->gpu.texture_width = static_cast<int32_t>(width);
    bitmap->gpu.texture_height = static_cast<int32_t>(height);
    bitmap->gpu.loaded = 1;
    bitmap->gpu.texture_left = 0.0f;
    bitmap->gpu.texture_top = 0.0f;
    bitmap->gpu.texture_right = float(imageWidth) / float(width);
    bitmap->gpu.texture_bottom = float(imageHeight) / float(height);
    return true;
}

bool RendererImplementation::CreateTexture(zq_bitmap_t* bitmap, BitmapPacker* packer) {
    if (device == nullptr || bitmap == nullptr || packer == nullptr || bitmap->type != ZQ_TEXTURE_TYPE_2D) {
        return false;
    }
    if (!BitmapTexturePacker(packer)) {
        return false;
    }
    const UINT levels = bitmap->mip_levels > 0 ? bitmap->mip_levels : 1;
    D3D11_TEXTURE2D_DESC desc = {};
    desc.Width = static_cast<UINT>(packer->textureWidth);
    desc.Height = static_cast<UINT>(packer->textureHeight);
    desc.MipLevels = levels;
    desc.ArraySize = 1;
    desc.Format = kLoadedImageFormat;
    desc.SampleDesc.Count = 1;
    D3D11_SUBRESOURCE_DATA initial = {packer->pixels, static_cast<UINT>(packer->pitch), 0};
    if (levels == 1) {
        desc.Usage = D3D11_USAGE_IMMUTABLE;
        desc.BindFlags = D3D11_BIND_SHADER_RESOURCE;
    } else {
        // The chain is generated from level 0, which needs a render-target texture.
        desc.Usage = D3D11_USAGE_DEFAULT;
        desc.BindFlags = D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_RENDER_TARGET;
        desc.MiscFlags = D3D11_RESOURCE_MISC_GENERATE_MIPS;
    }
    RendererTexture* record = NewTextureRecord();
    HRESULT result = record == nullptr
                         ? E_OUTOFMEMORY
                         : device->CreateTexture2D(&desc, levels == 1 ? &initial : nullptr, &record->texture);
    if (FAILED(result)) {
        free(record);
        ReportTextureFailure(device, result, bitmap);
        return false;
    }
    if (levels > 1) {
        context->UpdateSubresource(record->texture, 0, nullptr, packer->pixels,
                                   static_cast<UINT>(packer->pitch), 0);
    }
    D3D11_SHADER_RESOURCE_VIEW_DESC view = {};
    view.Format = kLoadedImageFormat;
    view.ViewDimension = D3D11_SRV_DIMENSION_TEXTURE2D;
    view.Texture2D.MostDetailedMip = 0;
    view.Texture2D.MipLevels = static_cast<UINT>(-1);
    result = device->CreateShaderResourceView(record->texture, &view, &record->view);
    if (FAILED(result)) {
        ZQ_Popup(2, "D3D11 renderer failed to create shader resource view for texture '%s' (result 0x%x).",
                 NameOf(bitmap), static_cast<unsigned>(result));
        FreeTexture(record);
        return false;
    }
    if (levels > 1) {
        context->GenerateMips(record->view);
    }
    record->mipsFresh = 1;
    record->hasMips = levels != 1 ? 1 : 0;
    bitmap->flags &= static_cast<uint8_t>(~BITMAP_FLAG_RENDER_TARGET);
    bitmap->gpu.texture = record;
    bitmap->gpu.loaded = 1;
    return true;
}

void RendererImplementation::FreeTexture(RendererTexture* texture) {
    if (texture == nullptr) {
        return;
    }
    ZQI_ReleaseComPointer(&texture->depthView);
    for (ID3D11RenderTargetView*& view : texture->targetViews) {
        ZQI_ReleaseComPointer(&view);
    }
    ZQI_ReleaseComPointer(&texture->view);
    ZQI_ReleaseComPointer(&texture->texture);
    free(texture);
}

bool RendererImplementation::ReadRenderTargetPixels(zq_bitmap_t* bitmap) {
    if (device == nullptr || bitmap == nullptr || bitmap->gpu.texture == nullptr ||
        bitmap->gpu.texture->texture == nullptr) {
        return false;
    }
    D3D11_TEXTURE2D_DESC desc;
    bitmap->gpu.texture->texture->GetDesc(&desc);
    desc.Usage = D3D11_USAGE_STAGING;
    desc.BindFlags = 0;
    desc.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
    desc.MiscFlags = 0;
    ID3D11Texture2D* staging = nullptr;
    if (FAILED(device->CreateTexture2D(&desc, nullptr, &staging))) {
        ZQ_Log(LOG_LEVEL_ERROR, "ReadRenderTargetPixels: no staging texture for '%s'.", NameOf(bitmap));
        return false;
    }
    context->CopyResource(staging, bitmap->gpu.texture->texture);
    D3D11_MAPPED_SUBRESOURCE mapped;
    if (FAILED(context->Map(staging, 0, D3D11_MAP_READ, 0, &mapped))) {
        ZQ_Log(LOG_LEVEL_ERROR, "ReadRenderTargetPixels: the staging copy of '%s' could not be mapped.",
               NameOf(bitmap));
        staging->Release();
        return false;
    }
    // The image is the top-left part of a texture that may have been rounded up.
    int32_t width = bitmap->pixel_width > 0 ? bitmap->pixel_width : bitmap->width;
    int32_t height = bitmap->pixel_height > 0 ? bitmap->pixel_height : bitmap->height;
    width = width < int32_t(desc.Width) ? width : int32_t(desc.Width);
    height = height < int32_t(desc.Height) ? height : int32_t(desc.Height);
    ImageLoaderImp* loader = ZQI_GetImageLoader();
    if (bitmap->pixels != nullptr) {
        loader->FreeImagePixels(bitmap);
    }
    bool read = loader->AllocateImagePixels(bitmap, width, height);
    const bool opaque = bitmap->format == ZQ_TEXTURE_FORMAT_RGBX8;
    for (int32_t y = 0; read && y < height; ++y) {
        uint8_t* row = bitmap->pixels + int64_t(y) * width * 4;
        memcpy(row, static_cast<const uint8_t*>(mapped.pData) + int64_t(y) * mapped.RowPitch,
               size_t(width) * 4);
        SwapRedAndBlue(row, width, opaque);
    }
    context->Unmap(staging, 0);
    staging->Release();
    return read;
}
