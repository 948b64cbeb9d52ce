// The sound-channel list and the notch.
#include "engine/SoundChannelOverlay.h"

#include "audio/SoundChannel.h"
#include "audio/SoundResource.h"
#include "core/ApiTable.h"
#include "core/CoreState.h"
#include "core/Features.h"
#include "engine/OverlayDrawing.h"
#include "engine/RuntimeState.h"

namespace {

const int32_t kChannelsPerColumn = 25;
const float kColumnWidth = 200.0f;
const float kRowHeight = 22.5f;
const float kListScale = 0.75f;
// The notch: a share of the screen's long side, and its depth as a share of the short side.
const float kNotchLength = 0.5573f;
const float kNotchDepth = 0.0369f;

// Finished channels leave the table first, so the list shows what still plays. A removal moves
// another entry into the index, which is then looked at again.
void RemoveFinishedChannels() {
    SoundChannel* channels = ZQI_GetSoundChannels();
    const uint32_t now = ZQ_GetMilliseconds();
    for (int32_t i = 0; i < ZQI_GetSoundChannelCount();) {
        const int32_t before = ZQI_GetSoundChannelCount();
        RemoveChannelIfFinished(&channels[i], now);
        if (ZQI_GetSoundChannelCount() == before) {
            ++i;
        }
    }
}

void DrawChannelList() {
    RemoveFinishedChannels();
    ZQI_ResetOverlayTextState();
    zq_font_t* font = ZQI_GetOverlayFont();
    const int32_t count = ZQI_GetSoundChannelCount();
    ZQI_OverlayPrint(font, 50.0f, 10.0f, "%d / %d", count, static_cast<int32_t>(SOUND_CHANNEL_COUNT));
    ZQI_OverlayTextTransform(kListScale, kListScale);
    const SoundChannel* channels = ZQI_GetSoundChannels();
    for (int32_t i = 0; i < count; ++i) {
        const SoundResource* sound = channels[i].sound;
        const char* name = sound != nullptr && sound->name != nullptr ? sound->name : "-";
        const float x = static_cast<float>(i / kChannelsPerColumn) * kColumnWidth + 50.0f;
        const float y = static_cast<float>(i % kChannelsPerColumn) * kRowHeight + 50.0f;
        ZQI_OverlayPrint(font, x, y, "#%d - '%s'", static_cast<int32_t>(channels[i].id), name);
    }
    ZQI_OverlayTextTransform(1.0f, 1.0f);
}

// On the left edge of a landscape screen, on the top edge of a portrait one.
void DrawNotch() {
    const float w = static_cast<float>(g_runtime.displayWidth);
    const float h = static_cast<float>(g_runtime.displayHeight);
    ZQI_OverlayColor(0.0f, 0.0f, 0.0f);
    if (h < w) {
        ZQI_OverlayRectangle(0.0f, h / 2.0f - kNotchLength * h / 2.0f, kNotchDepth * w, kNotchLength * h);
    } else {
        ZQI_OverlayRectangle(w / 2.0f - kNotchLength * w / 2.0f, 0.0f, kNotchLength * w, kNotchDepth * h);
    }
    ZQI_OverlayColor(1.0f, 1.0f, 1.0f);
}

}  // namespace

void ZQI_DrawSoundChannels() {
    if (!g_core.developerMode) {
        return;
    }
    if (ZQI_IsFeatureEnabled("DRAW_SOUND_CHANNELS") && ZQI_GetSoundChannelCount() > 0) {
        DrawChannelList();
    }
    if (ZQI_IsFeatureEnabled("DRAW_NOTCH")) {
        DrawNotch();
    }
}
