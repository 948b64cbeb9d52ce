// The engine lifecycle: the two start-up stages, one frame, and shutdown, as the process entry
// calls them; plus the renderer start and stop and the display re-initialisation they share.
#pragma once

#include <cstdint>

// Start-up, first stage: API, defaults, locks, file systems, manifest, log, program library,
// single instance, renderer object, extension modules, locale, display parameters, packages.
// False when the file systems fail or no program library could be loaded.
bool CorePreinitialize();
// Start-up, second stage: autoscaling, window, renderer, input, sound, global font; the core
// runs afterwards. False only when the window or the renderer cannot be brought up.
bool CoreInitialize();
// One pass of the engine's work on the main thread.
void RunFrame();
// Tears down what start-up built; nothing happens when the engine API was never built.
void CoreShutdown();

// Creates the renderer back end's object once (no device yet). Always true.
bool ZQI_LoadRendererImplementation();
// (Re)starts the renderer with the pending display parameters, rolling back through the
// previous parameters; on success every live GPU resource is created again.
bool ZQI_InitializeRenderer();
// Frees every GPU resource and releases the device; the renderer object stays.
void ZQI_ShutdownRenderer();
// Applies the pending display parameters (called by the frame when the apply flag is set).
void ZQI_ApplyPendingReInit();
// Changes the display mode to the pending parameters: swap-chain resize, else a new window and
// renderer.
void ZQI_QuickReinitialize();
// Settles the start-up display parameters with the program.
void ZQI_CheckResolution();
// Fills the system information record.
void CollectSystemInfo();
// Rebuilds the system information text (root slot GetSystemInfo) from the record and the
// displays' current modes.
void ZQI_BuildSystemInfoText();
// Appends the display list to the system information text.
void ZQI_AppendDisplayInfo();
// Tells every input back end that the game window became active or inactive; the window
// procedure's activation hook.
void ZQI_SetInputBackEndsActive(bool active);
// The time-step test overlay (developer).
void ZQI_DrawTimeDeltaTest(float step);

// The system information CollectSystemInfo gathers.
struct SystemInfo {
    int32_t platformId;
    int32_t screenSizeId;
    char deviceName[32];
    char os[64];
    char uniqueId[64];
    char cpu[64];
    char gpu[128];
    uint64_t memoryBytes;  // 0 when unknown
};
SystemInfo& ZQI_GetSystemInfoRecord();
