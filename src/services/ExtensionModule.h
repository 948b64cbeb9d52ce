// The two binary interfaces shared with module libraries built outside the engine: an extension
// module (ExtensionModule) and the service implementation it offers (BaseImplementation, the
// base of every service interface). Both are tables of function pointers that a library may
// write in C: the first slot is ONE deleting destructor, called with the object and 1, and the
// operations follow in the order below. Nothing here may be reordered or inserted.
//
// No virtual destructor is declared on purpose: g++ gives one two vtable entries (complete and
// deleting), which would shift every later slot against a C table. Objects are destroyed through
// Destroy, never with delete.
#pragma once

#include <cstdint>

#include "zorqa.h"

// The service an implementation provides. The values cross the module boundary.
enum ImplementationType : int32_t {
    IMPLEMENTATION_NULL = 0,
    IMPLEMENTATION_CLOUD = 1,
    IMPLEMENTATION_LEADERBOARDS = 2,
    IMPLEMENTATION_ACHIEVEMENT = 3,
    IMPLEMENTATION_IAP = 4,
    IMPLEMENTATION_SOCIAL = 5,
    IMPLEMENTATION_UGC = 6,
    IMPLEMENTATION_NOTIFICATION = 7,
    IMPLEMENTATION_STATISTIC = 8,
    IMPLEMENTATION_TYPE_COUNT = 9  // not a type: one past the last
};

// "Null", "Cloud", "Leaderboards", "Achievement", "IAP", "Social", "UGC", "Notification",
// "Statistic"; "Unknown" for any other value. Used in log lines.
const char* ZQI_GetImplementationTypeName(int32_t type);

// Flag of Destroy: release the object's memory after destroying it.
enum : uint32_t { ZQI_DESTROY_FREE_MEMORY = 1 };

class BaseImplementation {
public:
    // Slot 0: destroys the object, and frees its memory when flags has ZQI_DESTROY_FREE_MEMORY
    // (the engine always passes 1).
    virtual void Destroy(uint32_t flags) = 0;
    virtual ImplementationType GetType() = 0;
    // "LocalDatabase", "Fallback", "Simulated", or what a module library gives.
    virtual const char* GetName() = 0;
    // Runs once, after resolution, for resolved implementations only; the answer is not used.
    virtual bool Initialize() { return true; }
    virtual void Shutdown() {}
    // Once per frame, for resolved implementations.
    virtual void Update() {}
    virtual bool IsAvailable() { return true; }
    // The service interfaces (ServiceInterfaces.h, LeaderboardsImplementation.h) add their
    // operations after these seven.

protected:
    ~BaseImplementation() = default;
};

class ExtensionModule {
public:
    // Slot 0: as BaseImplementation::Destroy.
    virtual void Destroy(uint32_t flags) = 0;
    // Must be 1 for a module library to be registered.
    virtual int32_t GetInterfaceVersion() { return 1; }
    virtual const char* GetName() = 0;
    // Receives the engine API root record; false is reported with a popup, and the module stays.
    virtual bool Initialize(zq_api_t* api) = 0;
    virtual void Shutdown() = 0;
    // Asked once per frame in list order; the first true makes the frame's time step 0.
    virtual bool IsPausing() { return false; }
    virtual void Update(float step) = 0;
    // A named extension call nobody else answered; null when the module does not know it.
    virtual const char* Call(const char* command, const char* parameters) {
        (void)command;
        (void)parameters;
        return nullptr;
    }
    // The module's implementation of a service, or null. It must be of that type.
    virtual BaseImplementation* GetImplementation(ImplementationType type) = 0;

protected:
    ~ExtensionModule() = default;
};

// The export a module library provides: returns its module, or null.
typedef ExtensionModule* (*ZQI_GetExtensionModuleInterfaceFunction)();
#define ZQI_EXTENSION_MODULE_EXPORT "ZQ_GetExtensionModuleInterface"

// Destroy for an engine-made object of final class T, made with new.
template <typename T>
void ZQI_DestroyEngineObject(T* object, uint32_t flags) {
    if ((flags & ZQI_DESTROY_FREE_MEMORY) != 0) {
        delete object;
    } else {
        object->~T();
    }
}
