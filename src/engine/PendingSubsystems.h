// Stand-ins for the subsystems the lifecycle drives that are not part of the build yet: the
// sound-channel overlay. Each keeps the name its owner will give it; the
// owning subsystem replaces these declarations (and PendingSubsystems.cpp) when it is built. They
// do nothing.
#pragma once

#include <cstdint>

#include "zorqa.h"

// ---- Overlays ------------------------------------------------------------------------------------

void ZQI_DrawSoundChannels();
