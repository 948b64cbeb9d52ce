// Placeholder for the console overlay's input handling until the overlay exists: it consumes
// nothing, so every event reaches the program. The console overlay replaces this file.
#include "core/ConsoleEvents.h"

int32_t ZQI_ConsoleHandleEvent(Console* console, const zq_event_t* event) {
    (void)console;
    (void)event;
    return 0;
}
