// The installed graphics hooks of the font code and the per-thread text settings fallback.
#include "fonts/FontServices.h"

namespace {

FontGraphicsHooks g_hooks = {};

thread_local ThreadTextSettings t_settings = ZQI_DefaultTextSettings();

}  // namespace

ThreadTextSettings ZQI_DefaultTextSettings() {
    ThreadTextSettings settings = {};
    settings.maxLineWidth = ZQI_TEXT_NO_WIDTH_LIMIT;
    settings.scaleX = 1.0f;
    settings.scaleY = 1.0f;
    return settings;
}

void ZQI_SetFontGraphicsHooks(const FontGraphicsHooks* hooks) {
    g_hooks = hooks != nullptr ? *hooks : FontGraphicsHooks{};
}

const FontGraphicsHooks& ZQI_GetFontGraphicsHooks() {
    return g_hooks;
}

ThreadTextSettings* ZQI_GetThreadTextSettings() {
    if (g_hooks.textSettings != nullptr) {
        return g_hooks.textSettings();
    }
    return &t_settings;
}

FontRuntimeSettings& ZQI_GetFontRuntimeSettings() {
    static FontRuntimeSettings settings = {0, 4, 1, 1};
    return settings;
}
