/* A stand-in for XInput1_4.dll, for running zorqa.exe with a gamepad: pad 0 is connected with
 * button A held, the other pads are missing; rumble is accepted and ignored. */
#include <windows.h>

#define STUB_BUTTON_A 0x1000
#define STUB_DEVICE_NOT_CONNECTED 1167

typedef struct StubGamepad {
    WORD buttons;
    BYTE leftTrigger;
    BYTE rightTrigger;
    SHORT leftX;
    SHORT leftY;
    SHORT rightX;
    SHORT rightY;
} StubGamepad;

typedef struct StubState {
    DWORD packetNumber;
    StubGamepad gamepad;
} StubState;

__declspec(dllexport) DWORD WINAPI XInputGetState(DWORD pad, StubState* state) {
    if (pad != 0 || state == NULL) {
        return STUB_DEVICE_NOT_CONNECTED;
    }
    ZeroMemory(state, sizeof(*state));
    state->packetNumber = 1;
    state->gamepad.buttons = STUB_BUTTON_A;
    return ERROR_SUCCESS;
}

__declspec(dllexport) DWORD WINAPI XInputSetState(DWORD pad, void* vibration) {
    (void)vibration;
    return pad == 0 ? ERROR_SUCCESS : STUB_DEVICE_NOT_CONNECTED;
}
