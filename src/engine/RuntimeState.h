// RuntimeState: the engine lifecycle's own run-wide record (display and autoscale bookkeeping,
// frame timing, the renderer's readiness, the back ends the frame drives and the start-up
// settings the manifest reader fills). The core's CoreState keeps what every subsystem shares.
#pragma once

#include <cstdint>

#include "foundation/Array.h"
#include "zorqa.h"

class SoundImplementation;
class InputImp;
struct NamedMutex;

enum { ZQI_MAX_INPUT_BACK_ENDS = 8 };

// Screen orientations: 1 and 2 portrait, 4 and 8 landscape.
enum : uint32_t {
    ORIENTATION_PORTRAIT = 1,
    ORIENTATION_PORTRAIT_UPSIDE_DOWN = 2,
    ORIENTATION_LANDSCAPE = 4,
    ORIENTATION_LANDSCAPE_FLIPPED = 8
};

// Settings from the manifest and the developer settings that the lifecycle reads. The manifest
// reader fills them during CorePreinitialize; texts are owned heap copies (or null).
struct RuntimeSettings {
    uint8_t bootWindowed;  // developer setting; 1 by default
    int32_t bootWidth;     // developer settings; 0 = not set
    int32_t bootHeight;
    uint8_t forceResolution;  // developer setting force_resolution
    int32_t forcedWidth;
    int32_t forcedHeight;
    uint8_t simulatedDevice;      // a simulated device accepts every resolution
    uint8_t allowAllResolutions;  // "Hacks" AllowAllResolutions
    char* forcedVariant;          // developer setting force_variant ("IOS/SMALL"), or null
    char* resolutionsText;        // comma-separated "WxH" entries, "*" = the display size
    // The display the text was built for. A manifest list counts as built for display 0, so it is
    // replaced only when another display is asked for.
    int32_t resolutionsDisplayIndex;
    char* inputLibraryNames[ZQI_MAX_INPUT_BACK_ENDS];  // manifest input_implementations
    char* locale;                                      // owned copy of the resolved locale text
};

struct RuntimeState {
    RuntimeSettings settings;

    // Display bookkeeping.
    int32_t displayWidth;  // the back buffer the frame renders to
    int32_t displayHeight;
    int32_t desktopWidth;
    int32_t desktopHeight;
    uint32_t nativeOrientation;  // ORIENTATION_PORTRAIT or ORIENTATION_LANDSCAPE

    // Autoscaling and overlay zoom.
    uint8_t autoscale;  // AUTOSCALE; cleared when no scaling is needed
    float scaleX;
    float scaleY;
    float inverseScaleX;
    float inverseScaleY;
    float offsetX;  // letterbox margins, always whole numbers
    float offsetY;
    float overlayZoom;
    float rememberedZoom;
    int32_t zoomOffsetX;
    int32_t zoomOffsetY;

    // Start-up results.
    uint8_t allowMultipleInstances;
    uint8_t foundOtherInstance;
    void* singleInstanceMutex;  // HANDLE of the system mutex named by the program id
    uint32_t verticalSync;      // 1, or 0 with DISABLE_VSYNC
    uint8_t hideCursor;
    uint8_t printReferenceCountChanges;
    uint8_t unlimitedMemory;
    uint32_t defaultBitmapCacheMode;
    uint32_t secondResourceSetting;

    // Renderer and window.
    uint8_t windowCreated;
    uint8_t rendererReady;
    uint8_t rendererInitialised;   // read by the graphics API
    int32_t rendererFailureCount;  // failures since the last first-try success, for the run
    uint8_t byteOrderSwap;         // 0: little-endian data files
    NamedMutex* shaderTranslatorMutex;

    // Feature switches read by the frame and the resource code.
    uint8_t referenceCounting;
    uint8_t showFps;
    uint8_t debugDrawTimeDeltaTest;
    uint8_t debugDrawBlackScreen;

    // Frame timing.
    uint32_t previousFrameTime;  // 0 = none yet
    uint32_t currentFrameTime;
    float dt;

    // Back ends driven by the frame.
    InputImp* inputs[ZQI_MAX_INPUT_BACK_ENDS];
    void* inputLibraries[ZQI_MAX_INPUT_BACK_ENDS];  // null for built-in back ends
    int32_t inputCount;
    InputImp* xinput;                  // the built-in gamepad back end, created once
    SoundImplementation* sound;        // the current back end (maybe the null one)
    SoundImplementation* loadedSound;  // the object LoadSoundImplementation made, owned

    // Overlay zoom render targets, created on the first zoomed frame.
    zq_bitmap_t* overlayZoomColor;
    zq_bitmap_t* overlayZoomDepth;

    // The time-step test overlay's state.
    double timeDeltaTestTimer;
    Array<float> timeDeltaHistory;
};

extern RuntimeState g_runtime;

// Back to the state before start-up: every field zero except the defaults (boot windowed 1,
// scales 1, overlay zoom 1, reference counting on). Owned texts
// are freed. Tests call it between cases.
void ZQI_ResetRuntimeState();
// Frees the owned texts of the settings (locale, resolutions, variant, input library names).
void ZQI_ReleaseRuntimeTexts();
// Replaces an owned text with a heap copy of text (null frees it).
void ZQI_SetOwnedText(char** slot, const char* text);
// Destroys the sound back end LoadSoundImplementation made and clears the pointer. The null back
// end is a static object that the loader may hand out too; it is never deleted.
void ZQI_DeleteLoadedSound();
