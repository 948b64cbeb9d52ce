// Sending the recorded pipeline state (graphics/RendererState.h) to the device, one function per
// group, in the order the renderer's ApplyState calls them: address modes, filters, blend, render
// states. Each marks its group applied. Render thread only.
#pragma once

#include "graphics/RendererState.h"
#include "graphics/d3d11/RendererImplementation.h"

// Every stage's sampler for its address modes with the filters last sent for that stage.
void ZQI_SendAddressModes(RendererImplementation* renderer, HighLevelRendererState* state);
// Every stage's sampler for its filters (passed as min, mag, mip) with the address modes last sent.
void ZQI_SendFilters(RendererImplementation* renderer, HighLevelRendererState* state);
// The blend state [blend mode][colour write]; blend mode 0 has none, so the bound one stays.
void ZQI_SendBlendState(RendererImplementation* renderer, HighLevelRendererState* state);
// The render states whose sent word is 0, in id order, stopping at the first such id above 4; then
// every id counts as sent. Colour write binds its blend state at once, cull mode its rasterizer
// state; the depth settings mark the depth state for rebuilding at the next geometry bind.
void ZQI_SendRenderStates(RendererImplementation* renderer, HighLevelRendererState* state);
