// The keyboard half of the window procedure: raw keyboard input (with the left and right
// modifier keys told apart and the Alt+Enter fullscreen switch), the legacy key messages when raw
// input is not registered, releasing keys when the window loses the focus, and the suspension of
// input while a modal dialog owns the keyboard. Main thread only.
#pragma once

#include <windows.h>

#include <cstdint>

// Raw keyboard packets and the Alt+Enter chord.
struct RawInputReader {
    uint8_t* buffer;  // grows to the largest packet read so far
    uint32_t capacity;
    uint32_t chordBits;  // RAW_CHORD_ALT: left Alt held; RAW_CHORD_ENTER: Enter held
};
enum : uint32_t { RAW_CHORD_ALT = 1, RAW_CHORD_ENTER = 2 };

// The window procedure's one reader.
RawInputReader* ZQI_GetRawInputReader();

// WM_INPUT, WM_KEYDOWN, WM_KEYUP, WM_CHAR, WM_SYSKEYDOWN and WM_SYSKEYUP. True when the window
// procedure should answer 0; false sends the message to DefWindowProcA (Alt+F4, Alt+Space and
// Alt+Tab must still reach it). The window procedure passes every WM_INPUT on to DefWindowProcA
// after this has read it.
bool HandleKeyboardMessage(UINT message, WPARAM wParam, LPARAM lParam);

// Reads one raw-input packet and posts its key events. A packet that cannot be read is logged
// and dropped; while input is suspended every packet is dropped unread.
void ReadRawKeyboardInput(RawInputReader* reader, HRAWINPUT handle);

// Tracks left Alt and Enter; when Alt is held and Enter goes down the display switches between
// windowed and fullscreen. True when the key event is swallowed (the chord's Enter presses and
// the Enter release that ends it).
bool HandleAltEnterChord(RawInputReader* reader, int32_t virtualKey, bool down);

// Forgets a half-made chord; the window procedure calls it whenever the window is inactive.
void ZQI_ResetAltEnterChord();

// Input state 0 for key codes 0..254, then ReleaseGamepadKeys.
void ReleaseAllKeys();
// Input state 0 and value 0 for every control of the four gamepads.
void ReleaseGamepadKeys();

// While suspended the keyboard handler drops raw packets: a modal dialog has the keys, but the
// game window keeps receiving WM_INPUT for them.
void ZQI_SuspendInput();
// Clears the key states 0..255 and the pointer buttons, so keys pressed while suspended do not
// stick, then resumes input.
void ZQI_ResumeInput();
bool ZQI_IsInputSuspended();

// Frees the reader's packet buffer (tests and shutdown).
void ZQI_ReleaseRawInputReader();
