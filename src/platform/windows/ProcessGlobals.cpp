// The process entry's instance handle.
#include "platform/windows/ProcessGlobals.h"

namespace {

HINSTANCE g_instance = nullptr;

}  // namespace

HINSTANCE ZQI_GetInstanceHandle() {
    if (g_instance == nullptr) {
        return GetModuleHandleA(nullptr);
    }
    return g_instance;
}

void ZQI_SetInstanceHandle(HINSTANCE instance) {
    g_instance = instance;
}
