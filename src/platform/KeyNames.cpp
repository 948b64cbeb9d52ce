// The key-name table and the gamepad names "GAMEPAD_<pad>_<control>".
#include "platform/KeyNames.h"

#include <cstring>

#include "platform/GamepadState.h"

namespace {

struct KeyName {
    const char* name;
    int32_t code;
};

const KeyName kKeyNames[] = {
    {"BACK", 8},
    {"BACKSPACE", 8},
    {"TAB", 9},
    {"CLEAR", 12},
    {"RETURN", 13},
    {"SHIFT", 16},
    {"CONTROL", 17},
    {"ALT", 18},
    {"ESCAPE", 27},
    {"SPACE", 32},
    {"PAGEUP", 33},
    {"PAGEDOWN", 34},
    {"END", 35},
    {"HOME", 36},
    {"LEFT", 37},
    {"UP", 38},
    {"RIGHT", 39},
    {"DOWN", 40},
    {"SELECT", 41},
    {"INSERT", 45},
    {"DELETE", 46},
    {"HELP", 47},
    {"NUMPAD0", 96},
    {"NUMPAD1", 97},
    {"NUMPAD2", 98},
    {"NUMPAD3", 99},
    {"NUMPAD4", 100},
    {"NUMPAD5", 101},
    {"NUMPAD6", 102},
    {"NUMPAD7", 103},
    {"NUMPAD8", 104},
    {"NUMPAD9", 105},
    {"MULTIPLY", 106},
    {"ADD", 107},
    {"SEPARATOR", 108},
    {"SUBTRACT", 109},
    {"DECIMAL", 110},
    {"DIVIDE", 111},
    {"MENU", 300},
    {"LEFT_SHIFT", 160},
    {"RIGHT_SHIFT", 161},
    {"LEFT_CONTROL", 162},
    {"RIGHT_CONTROL", 163},
    {"LEFT_ALT", 164},
    {"RIGHT_ALT", 165},
    {"MOUSE_X", 504},
    {"MOUSE_Y", 505},
    {"MOUSE_Z", 506},
    {"MOUSE_WHEEL", 507},
    {"MOUSE_BUTTON_0", 510},
    {"MOUSE_BUTTON_LEFT", 510},
    {"MOUSE_BUTTON_1", 511},
    {"MOUSE_BUTTON_RIGHT", 511},
    {"MOUSE_BUTTON_2", 512},
    {"MOUSE_BUTTON_3", 513},
    {"MOUSE_BUTTON_4", 514},
    {"MOUSE_BUTTON_5", 515},
    {"MOUSE_BUTTON_6", 516},
    {"MOUSE_BUTTON_7", 517},
    {"ACCELEROMETER_X", 1610},
    {"ACCELEROMETER_Y", 1611},
    {"ACCELEROMETER_Z", 1612},
    {"VOLUME_UP", 1632},
    {"VOLUME_DOWN", 1633},
};

const char kGamepadPrefix[] = "GAMEPAD_";
const size_t kGamepadPrefixLength = sizeof(kGamepadPrefix) - 1;
// The control name starts at the eleventh character: the pad number is one digit.
const size_t kGamepadControlStart = kGamepadPrefixLength + 2;
const size_t kLongestPadNumber = 126;

int32_t OneCharacterCode(char c) {
    if (c >= '0' && c <= '9') {
        return c;
    }
    if (c >= 'A' && c <= 'Z') {
        return c;
    }
    if (c >= 'a' && c <= 'z') {
        return c - 'a' + 'A';
    }
    return 0;
}

// The pad number between the prefix and the next '_' (or the end): decimal digits only, so a
// name like "GAMEPAD_x_BUTTON_A" names no pad. -1 when it is not a number.
int32_t ParsePadNumber(const char* text) {
    size_t length = strcspn(text, "_");
    if (length == 0 || length > kLongestPadNumber) {
        return -1;
    }
    int32_t number = 0;
    for (size_t i = 0; i < length; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return -1;
        }
        if (number <= GAMEPAD_COUNT) {  // stays small: anything above 3 is refused anyway
            number = number * 10 + (text[i] - '0');
        }
    }
    return number;
}

int32_t GamepadCodeFromName(const char* name) {
    int32_t pad = ParsePadNumber(name + kGamepadPrefixLength);
    if (pad < 0 || pad >= GAMEPAD_COUNT) {
        return 0;
    }
    // Names such as "GAMEPAD_1" end before the control would start.
    if (strnlen(name, kGamepadControlStart) < kGamepadControlStart) {
        return 0;
    }
    const char* control = name + kGamepadControlStart;
    for (const GamepadControl& entry : kGamepadControls) {
        if (strcmp(control, entry.name) == 0) {
            return ZQI_GetGamepadCode(pad, entry.offset);
        }
    }
    return 0;
}

}  // namespace

int32_t KeyCodeFromName(const char* name) {
    if (name == nullptr || name[0] == '\0') {
        return 0;
    }
    if (name[1] == '\0') {
        return OneCharacterCode(name[0]);
    }
    for (const KeyName& entry : kKeyNames) {
        if (strcmp(name, entry.name) == 0) {
            return entry.code;
        }
    }
    if (strncmp(name, kGamepadPrefix, kGamepadPrefixLength) == 0) {
        return GamepadCodeFromName(name);
    }
    return 0;
}
