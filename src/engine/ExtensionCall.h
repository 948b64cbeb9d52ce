// Named extension calls (root slot ExtensionCall): the program names a function and passes one
// parameter text; the engine answers with a text or null. The handlers are tried in a fixed
// order - in-app purchase, GameCenter, notifications and the extension modules (the services),
// the platform's commands, then the engine's own queries and developer commands - and the input
// back ends get what nobody answered. Main thread: results live in static buffers that the next
// call of the same kind overwrites.
#pragma once

#include <cstdint>

// What the calls reach in subsystems that are not built yet: the resource tables. The start-up
// code that brings them up installs the members; a null member (the default) means the tables
// are not there and the call does nothing.
struct ExtensionCallHooks {
    // "Cache" "ReloadResources": reloads the bitmaps, fonts and sounds whose files changed.
    void (*reloadChangedResources)();
    // "ListResourceUsage": logs the bitmaps, sounds and fonts and the largest of them.
    void (*listResourceUsage)();
};

// Installs the hooks (copied); null, or a null member, restores that member's default.
void ZQI_SetExtensionCallHooks(const ExtensionCallHooks* hooks);

// The root slot. Null for a null function name and for any name nobody answers.
const char* ExtensionCall(const char* function, const char* parameter);

// Puts ExtensionCall into the engine API, now and at every later build of the tables; start-up
// does it right after the first build, before anything asks ("GetLanguage" for the locale).
void ZQI_InstallExtensionCall();
