// State shared by the game window's creation and its window procedure; nothing outside the
// window's own files may reach in.
#pragma once

#include <windows.h>

#include <cstdint>

#include "foundation/String.h"
#include "zorqa.h"

enum { GAME_WINDOW_DROP_BUFFER_SIZE = 512 };

struct GameWindowState {
    HWND window;
    uint8_t rawInput;                               // keyboard raw input registered
    uint8_t active;                                 // active and not minimised
    uint8_t recreating;                             // the core is destroying the window to create it again
    uint8_t creating;                               // CreateGameWindow is bringing up a window
    uint8_t keepClipped;                            // "ClipCursor": released buttons keep the clip
    char dropBuffer[GAME_WINDOW_DROP_BUFFER_SIZE];  // path of the last dropped file
    RECT savedRect;                                 // outer rectangle right after a fullscreen creation
    // Position of pointer 0 as last posted, as integers and as floats.
    int32_t pointerX;
    int32_t pointerY;
    float pointerXf;
    float pointerYf;
    int32_t wheelTotal;
};

extern GameWindowState g_gameWindow;

// Window input events are queued once initialisation has finished, dispatched at once before.
void ZQI_PostWindowEvent(zq_event_t* event);
