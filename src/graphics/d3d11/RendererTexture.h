// RendererTexture: the back end's record of one bitmap on the GPU, owned by the bitmap's record
// (zq_bitmap_gpu_data_t::texture). Render-target binding reads its views; nothing here creates
// or frees one.
#pragma once

#include <d3d11.h>

#include <cstdint>

enum { RENDERER_TEXTURE_FACES = 6 };

struct RendererTexture {
    ID3D11Texture2D* texture;
    ID3D11ShaderResourceView* view;  // null for depth targets
    // Face 0 for 2D targets, faces 0..5 for cube targets.
    ID3D11RenderTargetView* targetViews[RENDERER_TEXTURE_FACES];
    ID3D11DepthStencilView* depthView;  // depth targets only
    uint8_t mipsFresh;                  // 1 while the mip chain matches level 0
    uint8_t hasMips;
};
