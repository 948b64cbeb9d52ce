// Stand-ins for the subsystems the lifecycle drives that are not part of the build yet: the input
// back ends, the global font's glyph pages and the sound-channel overlay. Each keeps the name its
// owner will give it; the owning subsystem replaces these declarations (and PendingSubsystems.cpp)
// when it is built. They do nothing.
#pragma once

#include <cstdint>

#include "zorqa.h"

// ---- Input back ends (Windows platform layer) -------------------------------------------------

class InputImp {
public:
    virtual ~InputImp() {}
    virtual bool IsSupported() { return true; }
    virtual bool Initialize(void* platform) { return platform != nullptr; }
    virtual void Update() {}
    virtual void EndFrame() {}
};

// The built-in XInput gamepad back end; null while the gamepad code is not part of the build.
InputImp* ZQI_CreateXInputImplementation();

// ---- Fonts and overlays ------------------------------------------------------------------------

// Renderer start and stop: the global font's glyph pages to and from the GPU.
void ZQI_UploadGlobalFontPages();
void ZQI_FreeGlobalFontPages();

void ZQI_DrawSoundChannels();
