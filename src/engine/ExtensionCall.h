// Named extension calls (root slot ExtensionCall): the program names a function and passes one
// parameter text; the engine answers with a text or null. The handlers are tried in a fixed
// order - in-app purchase, GameCenter, notifications and the extension modules, the platform's
// commands, then the engine's own queries and developer commands - and the input back ends get
// what nobody answered. Main thread: results live in static buffers that the next call of the
// same kind overwrites.
#pragma once

#include <cstdint>

// Whether a service implementation exists and whether it reports itself available.
enum ServicePresence : int32_t { SERVICE_MISSING = 0, SERVICE_UNAVAILABLE = 1, SERVICE_AVAILABLE = 2 };

// Service kinds the calls ask about (the services' own numbering).
enum : int32_t {
    SERVICE_KIND_LEADERBOARDS = 2,
    SERVICE_KIND_ACHIEVEMENTS = 3,
    SERVICE_KIND_IAP = 4,
};

// What the calls reach in subsystems that register themselves with the engine: the online
// services and extension modules, the resource tables and the memory statistics. The start-up
// code that brings a subsystem up installs its members; a null member (the default) means the
// subsystem is not there and its calls give no answer.
struct ExtensionCallHooks {
    // Presence of the service of a kind. Default: every service is missing. The services' own
    // operations are reached through the engine API's sub-tables.
    ServicePresence (*findService)(int32_t kind);
    // "SetLocalNotification" and "RemoveAllLocalNotifications", then every registered module in
    // registration order; the first non-null answer. Default: the modules only.
    const char* (*callNotificationCommand)(const char* function, const char* parameter);
    // "RefreshMemUsageEstimates": recomputes the memory statistics (input states 2000-2005).
    void (*refreshMemoryEstimates)();
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
