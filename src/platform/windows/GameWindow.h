// The game window: its placement for a display mode, its creation and destruction, its window
// procedure (Windows messages become engine events) and the cursor clip. Main thread only.
#pragma once

#include <windows.h>

#include <cstdint>

// Outer rectangle and styles of the game window for a client size.
struct WindowPlacement {
    int32_t x;
    int32_t y;
    int32_t width;
    int32_t height;
    uint32_t style;
    uint32_t extendedStyle;
};

// Client size in, outer rectangle and styles out. A windowed window that would not fit inside
// the desktop loses its frame; a fullscreen one sits at 0, 0.
WindowPlacement GetWindowPlacementRect(int width, int height, bool windowed);

// Registers the window class, creates the window over the applied display parameters, registers
// keyboard raw input, shows and focuses it. True when the window exists afterwards (also when it
// existed already); false, with "! Zorqa FAILED to Create Window." printed, when it cannot be
// created.
bool CreateGameWindow();

// Destroys the game window (if any) and forgets its handle. The caller logs the moment.
void DestroyGameWindow();

// The game window's handle; null before creation and after destruction.
HWND ZQI_GetGameWindow();

// The window class's procedure.
LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Releases any cursor clip; with clip true, confines the cursor to the window's client area.
void ClipCursorToWindow(bool clip);

// True while the game window is active and not minimised; the main loop idles otherwise.
bool ZQI_IsGameWindowActive();

// Set by the core while it destroys the window to create it again: closing then posts no quit
// message, maximising switches no mode and unhandled messages answer -1.
void ZQI_SetGameWindowRecreating(bool recreating);
bool ZQI_IsGameWindowRecreating();

// True when keyboard raw input was registered for the window (the legacy key messages are then
// ignored).
bool ZQI_IsRawInputRegistered();

// Maps a client-area position to the program's own units (autoscaling, overlay zoom). The engine
// owns that state and installs its mapping at start-up; null (the default) leaves positions as
// they are.
typedef void (*PointerMapping)(int32_t* x, int32_t* y);
void ZQI_SetPointerMapping(PointerMapping mapping);

// Tells the engine's input back ends that the window became active or inactive. The engine owns
// the back ends and installs the hook at start-up; null (the default) tells nobody.
typedef void (*ActivationHook)(bool active);
void ZQI_SetActivationHook(ActivationHook hook);

// The "ClipCursor" setting: when set, the cursor stays confined to the window after a button is
// released (otherwise a release frees it). Off by default.
void ZQI_SetCursorKeptClipped(bool kept);
bool ZQI_IsCursorKeptClipped();

// The running total of all wheel deltas the window received.
int32_t ZQI_GetWheelTotal();
