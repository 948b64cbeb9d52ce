// Process-wide values the process entry records for the rest of the platform layer: the
// instance handle of the executable (window class, icons, dialog resources).
#pragma once

#include <windows.h>

// The executable's instance handle as WinMain received it; the module handle of the running
// executable until WinMain has stored it (tests never run WinMain).
HINSTANCE ZQI_GetInstanceHandle();
void ZQI_SetInstanceHandle(HINSTANCE instance);
