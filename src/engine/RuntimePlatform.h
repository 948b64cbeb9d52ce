// What the lifecycle needs from the Windows platform layer and the renderer back end, as one
// record of functions. The platform layer installs its own before CorePreinitialize; tests
// install stand-ins. The lifecycle never links the platform layer itself, so the process entry
// can sit on top of it.
#pragma once

#include <cstdint>

#include "foundation/Array.h"

class InputImp;
class SoundImplementation;
struct RendererImplementation;
struct RendererPlatform;
struct Resolution;

struct RuntimePlatform {
    // Registers the class, creates and shows the game window; false when it cannot.
    bool (*CreateGameWindow)();
    // The game window's handle (HWND), null when there is none.
    void* (*GetGameWindow)();
    // Destroys the game window and clears its handle.
    void (*DestroyGameWindow)();
    // Tells the window procedure that the window is being destroyed to be created again.
    void (*SetWindowRecreating)(bool recreating);
    // Chooses and constructs the sound back end (XAudio2, else the in-house one).
    SoundImplementation* (*LoadSoundImplementation)();
    // Frees the program library and clears the core's program record.
    void (*UnloadProgramLibrary)();
    // The platform's commands behind the named extension calls; null when there is no answer.
    const char* (*CallPlatformCommand)(const char* command, const char* parameter);
    // Constructs the built-in gamepad back end (XInput); null when there is none.
    InputImp* (*CreateGamepadImplementation)();
};

// Calls into the renderer back end that tests replace to play a device that refuses modes.
struct RuntimeRendererCalls {
    bool (*Initialize)(RendererImplementation* renderer, const RendererPlatform& platform);
    void (*Release)(RendererImplementation* renderer);
    // Appends the display index's display sizes to out (the renderer's GetDisplayModes).
    void (*GetDisplayModes)(int32_t displayIndex, Array<Resolution>& out);
    // Resizes the swap chain to the pending parameters (quick re-initialisation); false when the
    // swap chain could not be resized.
    bool (*ResizeSwapChain)(RendererImplementation* renderer, int32_t displayIndex, int32_t width,
                            int32_t height, bool windowed);
    // Presents the frame.
    void (*Present)(RendererImplementation* renderer);
    // The desktop size of the display index's output; false when it is unknown.
    bool (*GetOutputDesktopSize)(RendererImplementation* renderer, int32_t displayIndex, int32_t* width,
                                 int32_t* height);
};

// The frame's clock: the system millisecond clock and the 1 ms sleep of the limiter.
struct RuntimeClock {
    uint32_t (*Milliseconds)();
    void (*Sleep)(uint32_t milliseconds);
};

// Installs the record (copied). Null, or a null member, keeps that member's default: no window
// (creation fails), no sound back end, unloading does nothing, no platform commands, no gamepad
// back end.
void ZQI_SetRuntimePlatform(const RuntimePlatform* platform);
const RuntimePlatform& ZQI_GetRuntimePlatform();

// Null, or a null member, restores the real Direct3D 11 call.
void ZQI_SetRuntimeRendererCalls(const RuntimeRendererCalls* calls);
const RuntimeRendererCalls& ZQI_GetRuntimeRendererCalls();

// Null, or a null member, restores timeGetTime and ZQ_Threading_Sleep.
void ZQI_SetRuntimeClock(const RuntimeClock* clock);
const RuntimeClock& ZQI_GetRuntimeClock();
