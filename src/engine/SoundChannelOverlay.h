// Developer overlays drawn inside the program's picture, before the letterbox bars: the list of
// playing sound channels (DRAW_SOUND_CHANNELS) and a phone's camera notch (DRAW_NOTCH), to see
// what the notch would cover.
#pragma once

// Once per frame, before the debug overlay; developer mode only.
void ZQI_DrawSoundChannels();
