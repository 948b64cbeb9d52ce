// Running the engine's start-up, frames and shutdown inside a test process with the real window,
// Direct3D 11 device and program library: what zorqa.exe's process entry hands the core, and the
// back buffer read back after whole frames.
#pragma once

#include <cstdint>
#include <vector>

struct RendererImplementation;

// Installs the platform layer's window, popup, program-library, sound-choice and named-command
// (clipboard) functions, and the command line "--features NO_POPUPS,LOGS_IN_WORKING_DIR".
void InstallInProcessPlatform();

// The swap chain's current back buffer, one B8G8R8A8 word per pixel, with its width; empty when
// it cannot be read.
std::vector<uint32_t> ReadBackBuffer(const RendererImplementation& renderer, uint32_t* width);
