// XInput pads: library loading, polling with a once-a-second retry for missing pads, key events
// from the pad arithmetic, and rumble.
#include "platform/windows/InputImpXInput.h"

#include <cstring>

#include "core/ApiTable.h"
#include "core/EventQueue.h"
#include "foundation/ErrorCode.h"
#include "platform/GamepadState.h"
#include "platform/windows/Keyboard.h"

namespace {

XInputGetStateFunction g_getState = nullptr;
XInputSetStateFunction g_setState = nullptr;

const uint32_t kMissingPadRetryMilliseconds = 1000;
const char* const kLibraryNames[] = {"XInput1_4.dll", "xinput1_3.dll"};

// True once the clock has reached the time; the millisecond clock wraps after 49 days.
bool HasReached(uint32_t now, uint32_t time) {
    return static_cast<int32_t>(now - time) >= 0;
}

void PostKeyEvent(uint32_t type, int32_t code) {
    zq_event_t event;
    ZQ_InitializeEvent(&event, type);
    event.key.input_id = code;
    ZQI_PostEvent(&event);
}

GamepadReading ReadingOf(const XINPUT_GAMEPAD& pad) {
    GamepadReading reading;
    reading.buttons = pad.wButtons;
    reading.leftTrigger = pad.bLeftTrigger;
    reading.rightTrigger = pad.bRightTrigger;
    reading.leftX = pad.sThumbLX;
    reading.leftY = pad.sThumbLY;
    reading.rightX = pad.sThumbRX;
    reading.rightY = pad.sThumbRY;
    return reading;
}

}  // namespace

void ZQI_SetXInputFunctions(XInputGetStateFunction getState, XInputSetStateFunction setState) {
    g_getState = getState;
    g_setState = setState;
}

void ZQI_GetXInputFunctions(XInputGetStateFunction* getState, XInputSetStateFunction* setState) {
    *getState = g_getState;
    *setState = g_setState;
}

InputImpXInput::InputImpXInput() : platform_(nullptr), library_(nullptr), active_(0) {
    memset(pads_, 0, sizeof(pads_));
}

InputImpXInput::~InputImpXInput() {}

bool InputImpXInput::IsSupported() {
    return true;
}

const char* InputImpXInput::GetName() {
    return "XInput";
}

bool InputImpXInput::Initialize(void* platform) {
    memset(pads_, 0, sizeof(pads_));
    platform_ = platform;
    for (const char* name : kLibraryNames) {
        library_ = LoadLibraryA(name);
        if (library_ != nullptr) {
            break;
        }
    }
    if (library_ == nullptr) {
        ZQI_ReportPlatformError(ERRCODE_XINPUT_LOAD_LIBRARY, 0, "");
        return false;
    }
    XInputGetStateFunction getState = reinterpret_cast<XInputGetStateFunction>(
        reinterpret_cast<void*>(GetProcAddress(library_, "XInputGetState")));
    XInputSetStateFunction setState = reinterpret_cast<XInputSetStateFunction>(
        reinterpret_cast<void*>(GetProcAddress(library_, "XInputSetState")));
    if (getState == nullptr || setState == nullptr) {
        ZQI_ReportPlatformError(ERRCODE_XINPUT_LOAD_FUNCTIONS, 0, "");
        return false;
    }
    ZQI_SetXInputFunctions(getState, setState);
    active_ = 1;
    return true;
}

void InputImpXInput::Shutdown() {
    ReleaseGamepadKeys();
    StopMotors();
    active_ = 0;
    ZQI_SetXInputFunctions(nullptr, nullptr);
    // The library stays loaded until the process ends. Wine 8's XInput reads its pads on a thread
    // of its own, started by the first XInputGetState, and unloading the library does not always
    // stop that thread first: under load the process then faults executing the unloaded code and
    // hangs in the debugger at exit. A later Initialize loads it again (only its count grows).
    library_ = nullptr;
}

void InputImpXInput::SetActive(bool active) {
    if (!active) {
        ReleaseGamepadKeys();
        StopMotors();
    }
    active_ = active ? 1 : 0;
}

void InputImpXInput::Update() {
    if (!active_ || g_getState == nullptr || g_setState == nullptr) {
        return;
    }
    const uint32_t now = ZQI_GetApi()->GetMilliseconds();
    for (int32_t pad = 0; pad < GAMEPAD_COUNT; ++pad) {
        PadRecord& record = pads_[pad];
        if (record.lastResult != ERROR_SUCCESS && !HasReached(now, record.nextPoll)) {
            continue;
        }
        record.lastResult = g_getState(static_cast<DWORD>(pad), &record.state);
        const bool connected = record.lastResult == ERROR_SUCCESS && record.state.dwPacketNumber != 0;
        ZQ_SetInputState(ZQI_GetGamepadCode(pad, PAD_CONNECTED), connected ? 1 : 0);
        if (!connected) {
            record.nextPoll = now + kMissingPadRetryMilliseconds;
            continue;
        }
        TranslatePadState(record.state, pad);
        ApplyPadVibration(pad);
    }
}

void InputImpXInput::EndFrame() {}

const char* InputImpXInput::Call(const char*, const char*) {
    return nullptr;
}

void InputImpXInput::TranslatePadState(const XINPUT_STATE& state, int32_t pad) {
    GamepadControlState controls[GAMEPAD_CONTROL_COUNT];
    ZQI_ReadGamepadControls(ReadingOf(state.Gamepad), controls);
    for (const GamepadControlState& control : controls) {
        const int32_t code = ZQI_GetGamepadCode(pad, control.offset);
        if (control.hasValue) {
            ZQ_SetInputValue(code, control.value);
        }
        // The dispatch of these events keeps the key's state, so a key is posted once per change.
        const bool down = ZQ_GetInputState(code) != 0;
        if (control.pressed && !down) {
            PostKeyEvent(ZQ_EVENT_KEY_DOWN, code);
        } else if (!control.pressed && down) {
            PostKeyEvent(ZQ_EVENT_KEY_UP, code);
        }
    }
}

void InputImpXInput::ApplyPadVibration(int32_t pad) {
    const uint16_t left = ZQI_GetMotorSpeed(ZQ_GetInputValue(ZQI_GetGamepadCode(pad, PAD_LEFT_MOTOR)));
    const uint16_t right = ZQI_GetMotorSpeed(ZQ_GetInputValue(ZQI_GetGamepadCode(pad, PAD_RIGHT_MOTOR)));
    if (left != 0 || right != 0 || pads_[pad].motorsOn) {
        SendMotorSpeeds(pad, left, right);
    }
}

void InputImpXInput::StopMotors() {
    if (g_setState == nullptr) {
        return;
    }
    for (int32_t pad = 0; pad < GAMEPAD_COUNT; ++pad) {
        SendMotorSpeeds(pad, 0, 0);
    }
}

void InputImpXInput::SendMotorSpeeds(int32_t pad, uint16_t left, uint16_t right) {
    XINPUT_VIBRATION vibration;
    vibration.wLeftMotorSpeed = left;
    vibration.wRightMotorSpeed = right;
    g_setState(static_cast<DWORD>(pad), &vibration);
    pads_[pad].motorsOn = left != 0 || right != 0 ? 1 : 0;
}

InputImp* ZQI_CreateXInputImplementation() {
    return new InputImpXInput();
}
