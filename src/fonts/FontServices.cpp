// The installed graphics hooks of the font code.
#include "fonts/FontServices.h"

namespace {

FontGraphicsHooks g_hooks = {};

}  // namespace

void ZQI_SetFontGraphicsHooks(const FontGraphicsHooks* hooks) {
    g_hooks = hooks != nullptr ? *hooks : FontGraphicsHooks{};
}

const FontGraphicsHooks& ZQI_GetFontGraphicsHooks() {
    return g_hooks;
}

FontRuntimeSettings& ZQI_GetFontRuntimeSettings() {
    static FontRuntimeSettings settings = {0, 4, 1, 1};
    return settings;
}
