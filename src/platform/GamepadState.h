// Gamepads in the engine's key-code space and the arithmetic that turns a pad reading into
// control values and pressed states: trigger scaling, the radial stick dead zone and the motor
// speeds. Portable: the XInput back end feeds it readings, the key-name table reads its controls.
#pragma once

#include <cstdint>

enum : int32_t {
    GAMEPAD_COUNT = 4,
    GAMEPAD_FIRST_CODE = 800,  // pad n's codes are 800 + 64n + offset
    GAMEPAD_CODE_STRIDE = 64,
    GAMEPAD_LAST_CONTROL_OFFSET = 63
};

// Offsets of a pad's codes from its base.
enum GamepadOffset : int32_t {
    PAD_CONNECTED = 0,
    PAD_LEFT_TRIGGER = 1,
    PAD_RIGHT_TRIGGER = 2,
    PAD_LEFT_THUMB_X = 4,
    PAD_LEFT_THUMB_Y = 5,
    PAD_RIGHT_THUMB_X = 6,
    PAD_RIGHT_THUMB_Y = 7,
    PAD_DPAD_UP = 10,
    PAD_DPAD_DOWN = 11,
    PAD_DPAD_LEFT = 12,
    PAD_DPAD_RIGHT = 13,
    PAD_BUTTON_START = 20,
    PAD_BUTTON_BACK = 21,
    PAD_BUTTON_LEFT_THUMB = 22,
    PAD_BUTTON_RIGHT_THUMB = 23,
    PAD_BUTTON_LEFT_SHOULDER = 24,
    PAD_BUTTON_RIGHT_SHOULDER = 25,
    PAD_BUTTON_A = 26,
    PAD_BUTTON_B = 27,
    PAD_BUTTON_X = 28,
    PAD_BUTTON_Y = 29,
    PAD_LEFT_MOTOR = 40,  // written by the program, 0..1
    PAD_RIGHT_MOTOR = 41
};

// A named control: its offset and, for buttons, its bit in the reading's button word (0 for the
// triggers and the stick axes).
struct GamepadControl {
    const char* name;
    int32_t offset;
    uint16_t buttonBit;
};

// The twenty controls in key-name order ("LEFT_TRIGGER" ... "BUTTON_Y").
enum { GAMEPAD_CONTROL_COUNT = 20 };
extern const GamepadControl kGamepadControls[GAMEPAD_CONTROL_COUNT];

// The key code of a pad's control.
inline int32_t ZQI_GetGamepadCode(int32_t pad, int32_t offset) {
    return GAMEPAD_FIRST_CODE + GAMEPAD_CODE_STRIDE * pad + offset;
}

// One pad reading, as the pad reports it (XInput's gamepad record).
struct GamepadReading {
    uint16_t buttons;
    uint8_t leftTrigger;
    uint8_t rightTrigger;
    int16_t leftX;
    int16_t leftY;  // up is positive here; the engine's y axis points down
    int16_t rightX;
    int16_t rightY;
};

// What a reading says about one control.
struct GamepadControlState {
    int32_t offset;
    float value;    // triggers 0..1, stick axes -1..1; 0 for buttons
    bool hasValue;  // triggers and stick axes publish their value, buttons only their state
    bool pressed;
};

// Every control of the reading, in kGamepadControls order: triggers are byte / 255 and pressed
// above 0.2; sticks go through the radial dead zone and are pressed above 0.4 either way;
// buttons are pressed when their bit is set.
void ZQI_ReadGamepadControls(const GamepadReading& reading, GamepadControlState out[GAMEPAD_CONTROL_COUNT]);

// The radial dead zone of a stick in -1..1 units: inside radius 0.2 both axes are 0; outside,
// the length is capped at 1 and rescaled so the output runs from 0 at the edge to 1.
void ZQI_ApplyStickDeadZone(float* x, float* y);

// A motor value 0..1 as a motor speed 0..65535 (clamped, truncated; NaN counts as 0).
uint16_t ZQI_GetMotorSpeed(float value);
