// The module list and the resolved implementations: registration, loading module libraries,
// resolution in priority order, start-up initialisation, and the per-frame and shutdown loops.
#include "services/ExtensionModules.h"

#include <cstdio>
#include <cstring>

#include "core/ApiTable.h"
#include "core/Features.h"
#include "core/Log.h"
#include "filesystem/VirtualPath.h"
#include "platform/windows/ModuleLibrary.h"
#include "services/BuiltInModules.h"

namespace {

// The latest registered module first: that order is the priority of resolution and the order
// of every loop over the modules.
Array<ExtensionModule*> g_modules;
// Resolved implementations in resolution order, and the one per service type.
Array<BaseImplementation*> g_resolved;
BaseImplementation* g_resolvedByType[IMPLEMENTATION_TYPE_COUNT];

const int32_t kSupportedModuleInterfaceVersion = 1;
const int32_t kModulePathSize = 512;

// A service type, the feature word that must be on before any module is asked (or none), and
// the name the success message gives it.
struct ResolutionStep {
    ImplementationType type;
    const char* gate;
    const char* label;
};

const ResolutionStep kResolutionOrder[] = {
    {IMPLEMENTATION_CLOUD, nullptr, "Cloud"},
    {IMPLEMENTATION_LEADERBOARDS, "LEADERBOARDS", "Leaderboards"},
    {IMPLEMENTATION_ACHIEVEMENT, "ACHIEVEMENTS", "Achievements"},
    {IMPLEMENTATION_STATISTIC, nullptr, "Statistic"},
    {IMPLEMENTATION_IAP, "IN_APP_PURCHASES", "InAppPurchase"},
    {IMPLEMENTATION_SOCIAL, nullptr, "Social"},
    {IMPLEMENTATION_UGC, nullptr, "UGC"},
    {IMPLEMENTATION_NOTIFICATION, nullptr, "Notification"},
};

// Store modules by feature word, in the order they are loaded.
struct StoreModule {
    const char* feature;
    const char* fileName;
};

const StoreModule kStoreModules[] = {
    {"GALAXY", "module-galaxy.dll"},
    {"KARTRIDGE", "module-kartridge.dll"},
    {"STEAM", "module-steam.dll"},
};

// Names from module libraries may be null; messages print them as empty.
const char* OrEmpty(const char* text) {
    return text != nullptr ? text : "";
}

void ReportModuleInterfaceFailure(const char* fileName) {
    ZQ_Popup(LOG_LEVEL_WARNING, "Unable to load module '%s' interface.", fileName);
}

void InitializeModules() {
    for (ExtensionModule* module : g_modules) {
        const char* name = OrEmpty(module->GetName());
        ZQ_Log(LOG_LEVEL_SYSTEM, "Initializing extension module '%s'...", name);
        if (!module->Initialize(ZQI_GetApi())) {
            ZQ_Popup(LOG_LEVEL_WARNING, "Failed to initialize extension '%s'", name);
        }
    }
}

void InitializeResolvedImplementations() {
    ZQ_Log(LOG_LEVEL_SYSTEM, "Initializing resolved implementations inside extensions modules...");
    for (BaseImplementation* implementation : g_resolved) {
        ZQ_Log(LOG_LEVEL_SYSTEM, "Initializing %s implementation '%s'...",
               ZQI_GetImplementationTypeName(implementation->GetType()), OrEmpty(implementation->GetName()));
        implementation->Initialize();
    }
}

// The first module's answer for the type. An answer of another type would have the program's
// calls land in the wrong slots, so it is reported and passed over.
BaseImplementation* FindImplementation(ImplementationType type, ExtensionModule** from) {
    for (ExtensionModule* module : g_modules) {
        BaseImplementation* implementation = module->GetImplementation(type);
        if (implementation == nullptr) {
            continue;
        }
        int32_t answered = implementation->GetType();
        if (answered != type) {
            ZQ_Log(LOG_LEVEL_ERROR,
                   "ResolveImplementations: module '%s' answered a %s implementation when asked for %s; "
                   "ignored.",
                   OrEmpty(module->GetName()), ZQI_GetImplementationTypeName(answered),
                   ZQI_GetImplementationTypeName(type));
            continue;
        }
        *from = module;
        return implementation;
    }
    return nullptr;
}

}  // namespace

void InitExtensionModules() {
    RegisterExtensionModule(ZQI_NewLocalFallbacksModule());
    for (const StoreModule& store : kStoreModules) {
        if (ZQI_IsFeatureEnabled(store.feature)) {
            LoadExtensionModule(store.fileName);
        }
    }
    RegisterExtensionModule(ZQI_NewSimulatedModule());
    InitializeModules();
    ResolveImplementations();
    InitializeResolvedImplementations();
    NotificationImplementation* notification = ZQI_GetNotificationImplementation();
    if (notification != nullptr && ZQI_IsFeatureEnabled("REGISTER_FOR_LOCAL_NOTIFICATIONS_ON_LAUNCH")) {
        notification->RegisterForLocalNotifications();
    }
}

void RegisterExtensionModule(ExtensionModule* module) {
    if (module == nullptr) {
        ZQ_Log(LOG_LEVEL_ERROR, "RegisterExtensionModule: no module given.");
        return;
    }
    ZQ_Print("Registering extension module '%s'.", OrEmpty(module->GetName()));
    int32_t countBefore = g_modules.count;
    g_modules.Push(module);
    if (g_modules.count == countBefore) {
        ZQ_Log(LOG_LEVEL_ERROR, "RegisterExtensionModule: out of memory; module '%s' not registered.",
               OrEmpty(module->GetName()));
        return;
    }
    for (int32_t i = g_modules.count - 1; i > 0; --i) {
        g_modules[i] = g_modules[i - 1];
    }
    g_modules[0] = module;
}

void LoadExtensionModule(const char* fileName) {
    if (fileName == nullptr || fileName[0] == '\0') {
        ZQ_Log(LOG_LEVEL_ERROR, "LoadExtensionModule: no file name given.");
        return;
    }
    ZQ_Print("Registering module from file '%s'", fileName);
    char path[kModulePathSize];
    snprintf(path, sizeof(path), "res://%s", fileName);
    String nativePath;
    ZQ_ConvertStaticPathToNativeOSPath(nativePath, path);
    void* library = ZQI_LoadModuleLibrary(nativePath.CStr());
    if (library == nullptr) {
        ZQ_Popup(LOG_LEVEL_WARNING, "Unable to load module '%s'.", fileName);
        ReportModuleInterfaceFailure(fileName);
        return;
    }
    ZQI_GetExtensionModuleInterfaceFunction getInterface =
        reinterpret_cast<ZQI_GetExtensionModuleInterfaceFunction>(
            ZQI_FindModuleLibraryExport(library, ZQI_EXTENSION_MODULE_EXPORT));
    if (getInterface == nullptr) {
        ZQ_Popup(LOG_LEVEL_WARNING, "Unable to get module '%s' interface '%s'.", fileName,
                 ZQI_EXTENSION_MODULE_EXPORT);
        ReportModuleInterfaceFailure(fileName);
        ZQI_FreeModuleLibrary(library);
        return;
    }
    ExtensionModule* module = getInterface();
    if (module == nullptr) {
        ZQ_Popup(LOG_LEVEL_WARNING, "Call to module '%s' interface '%s' returned null.", fileName,
                 ZQI_EXTENSION_MODULE_EXPORT);
        ReportModuleInterfaceFailure(fileName);
        ZQI_FreeModuleLibrary(library);
        return;
    }
    // The library stays loaded from here on, also after a mismatch: its object still exists.
    int32_t version = module->GetInterfaceVersion();
    if (version != kSupportedModuleInterfaceVersion) {
        ZQ_Popup(LOG_LEVEL_WARNING, "Module '%s' interface version mismatch. (%d != %d)", fileName, version,
                 kSupportedModuleInterfaceVersion);
        return;
    }
    RegisterExtensionModule(module);
}

void ResolveImplementations() {
    ZQ_Log(LOG_LEVEL_SYSTEM, "Resolving implementations inside extensions modules...");
    g_resolved.Clear();
    memset(g_resolvedByType, 0, sizeof(g_resolvedByType));
    for (const ResolutionStep& step : kResolutionOrder) {
        BaseImplementation* implementation = nullptr;
        ExtensionModule* from = nullptr;
        if (step.gate == nullptr || ZQI_IsFeatureEnabled(step.gate)) {
            implementation = FindImplementation(step.type, &from);
        }
        if (implementation != nullptr) {
            const char* moduleName = OrEmpty(from->GetName());
            if (step.type == IMPLEMENTATION_CLOUD) {
                ZQ_Log(LOG_LEVEL_SYSTEM, "Using %s implementation from module '%s'", step.label, moduleName);
            } else {
                ZQ_Print("Using %s implementation from module '%s'", step.label, moduleName);
            }
        }
        g_resolvedByType[step.type] = implementation;
        AddImplementation(implementation);
    }
}

void AddImplementation(BaseImplementation* implementation) {
    if (implementation != nullptr) {
        g_resolved.Push(implementation);
    }
}

const Array<ExtensionModule*>& ZQI_GetExtensionModules() {
    return g_modules;
}

const Array<BaseImplementation*>& ZQI_GetResolvedImplementationList() {
    return g_resolved;
}

BaseImplementation* ZQI_GetResolvedImplementation(int32_t type) {
    if (type <= IMPLEMENTATION_NULL || type >= IMPLEMENTATION_TYPE_COUNT) {
        return nullptr;
    }
    return g_resolvedByType[type];
}

float ZQI_UpdateExtensionModules(float step) {
    for (ExtensionModule* module : g_modules) {
        if (module->IsPausing()) {
            step = 0.0f;
            break;
        }
    }
    for (ExtensionModule* module : g_modules) {
        module->Update(step);
    }
    return step;
}

void ZQI_UpdateResolvedImplementations() {
    for (BaseImplementation* implementation : g_resolved) {
        implementation->Update();
    }
}

void ZQI_ShutdownExtensionModules() {
    for (BaseImplementation* implementation : g_resolved) {
        implementation->Shutdown();
    }
    for (ExtensionModule* module : g_modules) {
        module->Shutdown();
    }
    for (ExtensionModule* module : g_modules) {
        module->Destroy(ZQI_DESTROY_FREE_MEMORY);
    }
    // The modules took their implementations with them; nothing may reach them any more.
    ZQI_ForgetExtensionModules();
}

void ZQI_ForgetExtensionModules() {
    g_modules.Clear();
    g_resolved.Clear();
    memset(g_resolvedByType, 0, sizeof(g_resolvedByType));
}
