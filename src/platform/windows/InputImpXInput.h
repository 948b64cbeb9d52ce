// The XInput gamepad back end: up to four pads polled once per frame (a missing pad once a
// second), their controls turned into key events and values of the engine's gamepad codes, and
// the program's two motor values per pad sent as rumble. Main thread only.
#pragma once

#include <windows.h>
#include <xinput.h>

#include <cstdint>

#include "platform/InputImp.h"

// XInput's two entry points. The back end calls them through these process-wide addresses,
// which Initialize fills from the library and Shutdown clears; tests put their own in between.
typedef DWORD(WINAPI* XInputGetStateFunction)(DWORD pad, XINPUT_STATE* state);
typedef DWORD(WINAPI* XInputSetStateFunction)(DWORD pad, XINPUT_VIBRATION* vibration);
void ZQI_SetXInputFunctions(XInputGetStateFunction getState, XInputSetStateFunction setState);
void ZQI_GetXInputFunctions(XInputGetStateFunction* getState, XInputSetStateFunction* setState);

class InputImpXInput : public InputImp {
public:
    InputImpXInput();
    ~InputImpXInput() override;

    bool IsSupported() override;
    const char* GetName() override;
    // Loads "XInput1_4.dll", else "xinput1_3.dll", and both entry points; a missing library or
    // entry point is reported once (0x50000 / 0x50001) and leaves the back end inactive.
    bool Initialize(void* platform) override;
    void Shutdown() override;
    // Inactive: every pad key is released and the motors stop.
    void SetActive(bool active) override;
    void Update() override;
    void EndFrame() override;
    const char* Call(const char* command, const char* parameters) override;

    // Posts the key events and stores the values of one connected pad's reading.
    void TranslatePadState(const XINPUT_STATE& state, int32_t pad);
    // Sends the pad's two motor values as motor speeds while either is non-zero, and the zero
    // pair once when both have dropped to zero.
    void ApplyPadVibration(int32_t pad);

private:
    struct PadRecord {
        XINPUT_STATE state;
        DWORD lastResult;   // of the last XInputGetState; 0 = connected
        uint32_t nextPoll;  // clock time at which a missing pad is asked again
        uint8_t motorsOn;   // the last speeds sent were not both zero
    };

    void StopMotors();
    void SendMotorSpeeds(int32_t pad, uint16_t left, uint16_t right);

    PadRecord pads_[4];
    void* platform_;
    HMODULE library_;  // never freed: see Shutdown
    uint8_t active_;
};

// The built-in back end, for the engine's start-up (through the platform record).
InputImp* ZQI_CreateXInputImplementation();
