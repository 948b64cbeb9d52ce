// Input handling of the developer console overlay: the dispatcher offers every event to the
// console while it is open, before the program sees it.
#pragma once

#include <cstdint>

#include "zorqa.h"

struct Console;

// 1 when the console consumed the event, 0 when the program should see it too; 0 for everything
// unless logging has started and developer mode is on. Characters, wheel and pointer records are
// consumed; key-down records only while ctrl is held. Called only while the console is open, on
// the main thread.
int32_t ZQI_ConsoleHandleEvent(Console* console, const zq_event_t* event);
