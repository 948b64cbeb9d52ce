// The system information text that root slot GetSystemInfo answers and start-up logs: CPU, GPU,
// memory, operating system and the displays with their current modes. Built from what the
// platform layer found, so the wording and order live in one portable place.
#pragma once

#include <cstdint>

#include "foundation/String.h"

// One display's current mode.
struct DisplayModeInfo {
    uint32_t width;
    uint32_t height;
    uint32_t refreshRate;  // Hz
    bool primary;
};

// "CPU: %s", "\nGPU: %s", "\nMemory: %llu GB" (rounded up to whole gigabytes) and "\nOS: %s";
// empty texts and a total of 0 show as "Unknown". Replaces what out held.
void ZQI_FormatSystemInfoText(String* out, const char* cpu, const char* gpu, uint64_t memoryBytes,
                              const char* os);
// Appends "\nDisplays: " and "%ux%u@%u" per display, joined by ",", the first primary display
// first and the others in their order; "Unknown" when there are none.
void ZQI_AppendDisplayList(String* out, const DisplayModeInfo* displays, int32_t count);
