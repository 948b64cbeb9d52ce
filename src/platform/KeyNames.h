// Key names: the texts settings use for keys, mouse buttons, sensors and gamepad controls
// ("SPACE", "LEFT_SHIFT", "MOUSE_BUTTON_LEFT", "GAMEPAD_1_BUTTON_Y") and their codes in the
// engine's one key-code space (1..2047, 0 = no key).
#pragma once

#include <cstdint>

// The key code of a name, compared exactly (case-sensitive); 0 for null or an unknown name.
// One-character names: a digit is its character code, a letter of either case the upper-case
// letter's code.
int32_t KeyCodeFromName(const char* name);
