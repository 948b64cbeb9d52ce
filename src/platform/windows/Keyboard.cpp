// Keyboard messages and raw keyboard input become key and character events; the Alt+Enter
// chord switches the display mode; released keys and suspended input keep the key states honest.
#include "platform/windows/Keyboard.h"

#include <cstdlib>

#include "core/ApiTable.h"
#include "core/CoreState.h"
#include "core/EventQueue.h"
#include "core/Log.h"
#include "platform/GamepadState.h"
#include "platform/windows/GameWindow.h"
#include "platform/windows/GameWindow_local.h"

namespace {

RawInputReader g_reader;
bool g_inputSuspended = false;

const int32_t kStatePressed = 3;
const int32_t kLastKeyCode = 254;

// Virtual keys the raw-input path treats specially.
const int32_t kKeyEnter = VK_RETURN;           // 13
const int32_t kKeyShift = VK_SHIFT;            // 16
const int32_t kKeyControl = VK_CONTROL;        // 17
const int32_t kKeyAlt = VK_MENU;               // 18
const int32_t kKeyLeftControl = VK_LCONTROL;   // 162
const int32_t kKeyRightControl = VK_RCONTROL;  // 163
const int32_t kKeyLeftAlt = VK_LMENU;          // 164
const int32_t kKeyRightAlt = VK_RMENU;         // 165
const USHORT kNoKey = 255;                     // keyboards send it for keys without a virtual key

void PostKeyEvent(bool down, int32_t key) {
    zq_event_t event;
    ZQ_InitializeEvent(&event, down ? ZQ_EVENT_KEY_DOWN : ZQ_EVENT_KEY_UP);
    event.key.input_id = key;
    ZQI_PostWindowEvent(&event);
}

// The program's parameters with the windowed flag inverted, handed to the re-initialisation.
void ToggleWindowed() {
    zq_program_t* program = g_core.program;
    zq_api_t* api = ZQI_GetApi();
    if (program == nullptr || api->ReinitializeWithParameters == nullptr) {
        return;
    }
    zq_parameters_t parameters = program->parameters;
    parameters.windowed = parameters.windowed ? 0 : 1;
    api->ReinitializeWithParameters(&parameters);
}

// Enter, Alt, digits and letters with Alt held belong to the program; everything else with Alt
// (Alt+F4, Alt+Space, Alt+Tab) is the system's.
bool IsProgramSystemKey(WPARAM key) {
    return key == kKeyEnter || key == kKeyAlt || (key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z');
}

bool EnsureCapacity(RawInputReader* reader, uint32_t size) {
    if (size <= reader->capacity) {
        return true;
    }
    uint8_t* grown = static_cast<uint8_t*>(realloc(reader->buffer, size));
    if (grown == nullptr) {
        return false;
    }
    reader->buffer = grown;
    reader->capacity = size;
    return true;
}

// The packet behind the handle in the reader's buffer; null (logged) when it cannot be read.
const RAWINPUT* ReadPacket(RawInputReader* reader, HRAWINPUT handle) {
    const UINT headerSize = sizeof(RAWINPUTHEADER);
    UINT size = 0;
    // A handle the system does not know (a posted WM_INPUT, a stale packet) answers -1: nothing
    // may be sized from it.
    if (GetRawInputData(handle, RID_INPUT, nullptr, &size, headerSize) == static_cast<UINT>(-1) ||
        size < headerSize || !EnsureCapacity(reader, size)) {
        ZQ_Log(LOG_LEVEL_ERROR, "Failed to get Raw Input data.");
        return nullptr;
    }
    UINT read = GetRawInputData(handle, RID_INPUT, reader->buffer, &size, headerSize);
    if (read != size) {
        ZQ_Log(LOG_LEVEL_ERROR, "Failed to get Raw Input data.");
        return nullptr;
    }
    return reinterpret_cast<const RAWINPUT*>(reader->buffer);
}

// Turns a keyboard packet into the key it names and, for the modifiers, the generic key that
// follows it. False when the packet posts nothing.
bool ResolveRawKey(RawInputReader* reader, const RAWKEYBOARD& keyboard, int32_t* key, int32_t* generic) {
    const bool down = (keyboard.Flags & RI_KEY_BREAK) == 0;
    const bool extended = (keyboard.Flags & RI_KEY_E0) != 0;
    *key = keyboard.VKey;
    *generic = 0;
    switch (keyboard.VKey) {
        case kKeyShift:
            *key = static_cast<int32_t>(MapVirtualKeyA(keyboard.MakeCode, MAPVK_VSC_TO_VK_EX));
            *generic = kKeyShift;
            return true;
        case kKeyControl: {
            // AltGr sends a fake left Control whose scan code maps to Alt.
            UINT mapped = MapVirtualKeyA(keyboard.MakeCode, MAPVK_VSC_TO_VK_EX);
            if (mapped == static_cast<UINT>(kKeyAlt) || mapped == static_cast<UINT>(kKeyLeftAlt) ||
                mapped == static_cast<UINT>(kKeyRightAlt)) {
                return false;
            }
            *key = extended ? kKeyRightControl : kKeyLeftControl;
            *generic = kKeyControl;
            return true;
        }
        case kKeyAlt:
            *key = extended ? kKeyRightAlt : kKeyLeftAlt;
            *generic = kKeyAlt;
            return extended || !HandleAltEnterChord(reader, kKeyAlt, down);
        case kKeyEnter:
            return !HandleAltEnterChord(reader, kKeyEnter, down);
        case kNoKey:
            return false;
        default:
            return true;
    }
}

bool HandleLegacySystemKey(UINT message, WPARAM key) {
    const bool down = message == WM_SYSKEYDOWN;
    if (key == static_cast<WPARAM>(kKeyEnter)) {
        if (down) {
            ToggleWindowed();
        } else {
            ZQ_SetInputState(kKeyEnter, 0);
        }
        return true;
    }
    ZQ_SetInputState(static_cast<int32_t>(key), down ? kStatePressed : 0);
    PostKeyEvent(down, static_cast<int32_t>(key));
    return IsProgramSystemKey(key);
}

}  // namespace

RawInputReader* ZQI_GetRawInputReader() {
    return &g_reader;
}

bool HandleKeyboardMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CHAR) {
        zq_event_t event;
        ZQ_InitializeEvent(&event, ZQ_EVENT_CHARACTER);
        event.character.character = static_cast<uint8_t>(wParam & 0xFF);
        ZQI_DispatchEvent(&event);
        return true;
    }
    if (message == WM_INPUT) {
        ReadRawKeyboardInput(&g_reader, reinterpret_cast<HRAWINPUT>(lParam));
        return true;
    }
    const bool systemKey = message == WM_SYSKEYDOWN || message == WM_SYSKEYUP;
    if (ZQI_IsRawInputRegistered()) {
        // Raw input already posted these keys.
        return systemKey ? IsProgramSystemKey(wParam) : true;
    }
    if (systemKey) {
        return HandleLegacySystemKey(message, wParam);
    }
    PostKeyEvent(message == WM_KEYDOWN, static_cast<int32_t>(wParam));
    return true;
}

void ReadRawKeyboardInput(RawInputReader* reader, HRAWINPUT handle) {
    if (!ZQI_IsRawInputRegistered() || g_inputSuspended) {
        return;
    }
    const RAWINPUT* packet = ReadPacket(reader, handle);
    if (packet == nullptr || packet->header.dwType != RIM_TYPEKEYBOARD) {
        return;
    }
    const RAWKEYBOARD& keyboard = packet->data.keyboard;
    int32_t key = 0;
    int32_t generic = 0;
    if (!ResolveRawKey(reader, keyboard, &key, &generic)) {
        return;
    }
    const bool down = (keyboard.Flags & RI_KEY_BREAK) == 0;
    PostKeyEvent(down, key);
    if (generic != 0) {
        PostKeyEvent(down, generic);
    }
}

bool HandleAltEnterChord(RawInputReader* reader, int32_t virtualKey, bool down) {
    const uint32_t bit = virtualKey == kKeyEnter ? RAW_CHORD_ENTER : RAW_CHORD_ALT;
    if (!down) {
        bool swallowed = bit == RAW_CHORD_ENTER && (reader->chordBits & RAW_CHORD_ALT) != 0;
        reader->chordBits &= ~bit;
        return swallowed;
    }
    // Alt counts only when it comes first: Enter then Alt is no chord.
    if (bit == RAW_CHORD_ENTER || (reader->chordBits & RAW_CHORD_ENTER) == 0) {
        reader->chordBits |= bit;
    }
    if (reader->chordBits != (RAW_CHORD_ALT | RAW_CHORD_ENTER)) {
        return false;
    }
    // The bits stay set: every further Enter (or repeat) while Alt is held switches again.
    ToggleWindowed();
    return true;
}

void ZQI_ResetAltEnterChord() {
    g_reader.chordBits = 0;
}

void ReleaseAllKeys() {
    for (int32_t code = 0; code <= kLastKeyCode; ++code) {
        ZQ_SetInputState(code, 0);
    }
    ReleaseGamepadKeys();
}

void ReleaseGamepadKeys() {
    for (int32_t pad = 0; pad < GAMEPAD_COUNT; ++pad) {
        for (int32_t offset = 1; offset <= GAMEPAD_LAST_CONTROL_OFFSET; ++offset) {
            int32_t code = ZQI_GetGamepadCode(pad, offset);
            ZQ_SetInputState(code, 0);
            ZQ_SetInputValue(code, 0.0f);
        }
    }
}

void ZQI_SuspendInput() {
    g_inputSuspended = true;
}

void ZQI_ResumeInput() {
    ZQI_ReleaseKeyAndButtonStates();
    g_inputSuspended = false;
}

bool ZQI_IsInputSuspended() {
    return g_inputSuspended;
}

void ZQI_ReleaseRawInputReader() {
    free(g_reader.buffer);
    g_reader.buffer = nullptr;
    g_reader.capacity = 0;
    g_reader.chordBits = 0;
}
