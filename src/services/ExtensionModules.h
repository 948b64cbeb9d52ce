// The registry of extension modules and the implementation chosen for each service: start-up
// registers the built-in modules and the module libraries the feature words ask for, resolves
// one implementation per service type, and initialises them; the frame and shutdown drive them
// through the functions at the end. The lists and resolved pointers are written during
// start-up on the main thread only and read without locks afterwards.
#pragma once

#include <cstdint>

#include "foundation/Array.h"
#include "services/ExtensionModule.h"
#include "services/LeaderboardsImplementation.h"
#include "services/ServiceInterfaces.h"

// Start-up, once: registers "Local Fallbacks", the libraries of GALAXY, KARTRIDGE and STEAM,
// then "Simulation"; initialises every module; resolves the services; initialises the resolved
// implementations; with REGISTER_FOR_LOCAL_NOTIFICATIONS_ON_LAUNCH registers for local
// notifications.
void InitExtensionModules();
// Inserts the module at index 0 of the module list (the latest registered is asked first).
// Null is refused with a log line.
void RegisterExtensionModule(ExtensionModule* module);
// Loads "res://<fileName>" as a module library and registers its module; each failure is
// reported with popups and registers nothing.
void LoadExtensionModule(const char* fileName);
// Chooses, per service type, the first module's implementation in list order (gated types only
// with their feature word), and lists the resolved ones in resolution order.
void ResolveImplementations();
// Appends to the resolved list; null is ignored.
void AddImplementation(BaseImplementation* implementation);
// A named extension call that the core did not answer: "SetLocalNotification" and
// "RemoveAllLocalNotifications" reach the notification implementation; then every module is
// offered the call in list order, and the first non-null answer is returned. Any thread.
const char* CallNotificationCommand(const char* command, const char* parameters);

// ---- The lists ---------------------------------------------------------------------------------

// The registered modules, the latest registered first.
const Array<ExtensionModule*>& ZQI_GetExtensionModules();
// The resolved implementations in resolution order.
const Array<BaseImplementation*>& ZQI_GetResolvedImplementationList();
// The implementation resolved for a service type; null when none (or for an invalid type).
BaseImplementation* ZQI_GetResolvedImplementation(int32_t type);

inline CloudImplementation* ZQI_GetCloudImplementation() {
    return static_cast<CloudImplementation*>(ZQI_GetResolvedImplementation(IMPLEMENTATION_CLOUD));
}
inline LeaderboardsImplementation* ZQI_GetLeaderboardsImplementation() {
    return static_cast<LeaderboardsImplementation*>(
        ZQI_GetResolvedImplementation(IMPLEMENTATION_LEADERBOARDS));
}
inline AchievementsImplementation* ZQI_GetAchievementsImplementation() {
    return static_cast<AchievementsImplementation*>(
        ZQI_GetResolvedImplementation(IMPLEMENTATION_ACHIEVEMENT));
}
inline InAppPurchaseImplementation* ZQI_GetInAppPurchaseImplementation() {
    return static_cast<InAppPurchaseImplementation*>(ZQI_GetResolvedImplementation(IMPLEMENTATION_IAP));
}
inline SocialImplementation* ZQI_GetSocialImplementation() {
    return static_cast<SocialImplementation*>(ZQI_GetResolvedImplementation(IMPLEMENTATION_SOCIAL));
}
inline UGCImplementation* ZQI_GetUGCImplementation() {
    return static_cast<UGCImplementation*>(ZQI_GetResolvedImplementation(IMPLEMENTATION_UGC));
}
inline NotificationImplementation* ZQI_GetNotificationImplementation() {
    return static_cast<NotificationImplementation*>(
        ZQI_GetResolvedImplementation(IMPLEMENTATION_NOTIFICATION));
}
inline StatisticImplementation* ZQI_GetStatisticImplementation() {
    return static_cast<StatisticImplementation*>(ZQI_GetResolvedImplementation(IMPLEMENTATION_STATISTIC));
}

// ---- Frame and shutdown ------------------------------------------------------------------------

// Asks each module whether it pauses (until the first yes, which makes the step 0), then calls
// every module's Update with the step; returns the step the frame goes on with.
float ZQI_UpdateExtensionModules(float step);
// BaseImplementation::Update of every resolved implementation.
void ZQI_UpdateResolvedImplementations();
// Shuts down every resolved implementation, then every module, then destroys every module
// through its destructor slot. The module list, the resolved list and the resolved pointers are
// empty afterwards: the implementations went with their modules.
void ZQI_ShutdownExtensionModules();

// Empties the module list and the resolved implementations without shutting down or destroying
// anything: whoever registered the objects keeps them. For a fresh start (tests, a new
// start-up).
void ZQI_ForgetExtensionModules();
