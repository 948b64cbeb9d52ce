// The installed renderer back-end calls.
#include "graphics/RendererBackEnd.h"

#include "core/CoreState.h"

namespace {

ZQI_RendererBackEndCalls g_calls;
bool g_installed;

}  // namespace

void ZQI_SetRendererBackEnd(const ZQI_RendererBackEndCalls* calls) {
    g_installed = calls != nullptr;
    g_calls = calls != nullptr ? *calls : ZQI_RendererBackEndCalls();
}

const ZQI_RendererBackEndCalls* ZQI_GetRendererBackEnd() {
    return g_installed && g_core.renderer != nullptr ? &g_calls : nullptr;
}

bool ZQI_IsRendererReady() {
    const ZQI_RendererBackEndCalls* calls = ZQI_GetRendererBackEnd();
    return calls != nullptr && calls->IsReady != nullptr && calls->IsReady();
}
