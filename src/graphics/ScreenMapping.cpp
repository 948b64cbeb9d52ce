// The engine's screen mapping as the drawing layer reads it.
#include "graphics/ScreenMapping.h"

namespace {

ScreenMappingCalls g_calls;

}  // namespace

void ZQI_SetScreenMappingCalls(const ScreenMappingCalls* calls) {
    g_calls = calls != nullptr ? *calls : ScreenMappingCalls{};
}

ScreenMapping ZQI_GetScreenMapping() {
    if (g_calls.Get != nullptr) {
        return g_calls.Get();
    }
    ScreenMapping identity = {};
    identity.scaleX = identity.scaleY = identity.zoom = 1.0f;
    return identity;
}

void ZQI_LeaveBackBuffer() {
    if (g_calls.LeaveBackBuffer != nullptr) {
        g_calls.LeaveBackBuffer();
    }
}

void ZQI_ReturnToBackBuffer() {
    if (g_calls.ReturnToBackBuffer != nullptr) {
        g_calls.ReturnToBackBuffer();
    }
}
