// How the program's units reach the back buffer: autoscaling (scale and letterbox offsets), the
// developer overlay zoom and the screen orientation. The engine owns them and installs the calls
// at start-up; the scissor rectangle of the back buffer is mapped with them, and the overlay zoom
// applies to the back buffer only, so drawing into a render target sets it aside.
#pragma once

#include <cstdint>

struct ScreenMapping {
    uint8_t autoscale;  // program units are design units, scaled and offset
    float scaleX;
    float scaleY;
    float offsetX;
    float offsetY;
    float zoom;  // overlay zoom about the screen centre; 1 = none
    int32_t zoomOffsetX;
    int32_t zoomOffsetY;
    uint8_t orientationSwapped;  // the display's native orientation is not the program's
};

struct ScreenMappingCalls {
    ScreenMapping (*Get)();
    // Drawing leaves the back buffer for a render target: the zoom is remembered and becomes 1.
    void (*LeaveBackBuffer)();
    // Drawing returns to the back buffer: the remembered zoom comes back.
    void (*ReturnToBackBuffer)();
};

// Installs a copy; null (or a null member) means: no autoscaling, no zoom, nothing to remember.
void ZQI_SetScreenMappingCalls(const ScreenMappingCalls* calls);
ScreenMapping ZQI_GetScreenMapping();
void ZQI_LeaveBackBuffer();
void ZQI_ReturnToBackBuffer();
