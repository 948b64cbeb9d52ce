// Named extension calls (root slot ExtensionCall): the program names a function and passes one
// parameter text; the engine answers with a text or null. The handlers are tried in a fixed
// order - in-app purchase, GameCenter, notifications and the extension modules (the services),
// the platform's commands, then the engine's own queries and developer commands - and the input
// back ends get what nobody answered. Main thread: results live in static buffers that the next
// call of the same kind overwrites.
#pragma once

#include <cstdint>

// The root slot. Null for a null function name and for any name nobody answers.
const char* ExtensionCall(const char* function, const char* parameter);

// Puts ExtensionCall into the engine API, now and at every later build of the tables; start-up
// does it right after the first build, before anything asks ("GetLanguage" for the locale).
void ZQI_InstallExtensionCall();
