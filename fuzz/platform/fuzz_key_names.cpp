// Fuzz target for KeyCodeFromName: the name sits in a block of exactly its length, so a read
// past its end is caught; every answer must be 0 or a code in 1..2047, and a gamepad code must
// name back to exactly the text it came from.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/GamepadState.h"
#include "platform/KeyNames.h"

namespace {

const int32_t kLastGamepadCode = GAMEPAD_FIRST_CODE + GAMEPAD_COUNT * GAMEPAD_CODE_STRIDE - 1;

void CheckGamepadName(const char* name, int32_t code) {
    int32_t pad = (code - GAMEPAD_FIRST_CODE) / GAMEPAD_CODE_STRIDE;
    int32_t offset = (code - GAMEPAD_FIRST_CODE) % GAMEPAD_CODE_STRIDE;
    for (const GamepadControl& control : kGamepadControls) {
        if (control.offset == offset) {
            char expected[64];
            snprintf(expected, sizeof(expected), "GAMEPAD_%d_%s", static_cast<int>(pad), control.name);
            if (strcmp(expected, name) != 0) {
                abort();
            }
            return;
        }
    }
    abort();  // no control has that offset
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    char* name = static_cast<char*>(malloc(size + 1));
    if (name == nullptr) {
        return 0;
    }
    memcpy(name, data, size);
    name[size] = '\0';
    int32_t code = KeyCodeFromName(name);
    if (code < 0 || code > 2047) {
        abort();
    }
    if (code >= GAMEPAD_FIRST_CODE && code <= kLastGamepadCode) {
        CheckGamepadName(name, code);
    }
    free(name);
    return 0;
}
