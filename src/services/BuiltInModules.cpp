// The built-in modules. Both hold four implementation slots (cloud, in-app purchase,
// leaderboards, social) and answer GetImplementation from them.
#include "services/BuiltInModules.h"

#include <cstring>
#include <new>

#include "services/InAppPurchaseFallback.h"
#include "services/LocalLeaderboards.h"
#include "services/SimulatedCloud.h"
#include "services/SimulatedLeaderboards.h"
#include "services/SimulatedSocial.h"

namespace {

enum Slot { SLOT_CLOUD = 0, SLOT_IAP = 1, SLOT_LEADERBOARDS = 2, SLOT_SOCIAL = 3, SLOT_COUNT = 4 };

bool IsFeatureEnabled(zq_api_t* api, const char* word) {
    return api != nullptr && api->IsFeatureEnabled != nullptr && api->IsFeatureEnabled(word);
}

class BuiltInModule : public ExtensionModule {
public:
    explicit BuiltInModule(const char* name) : name_(name) { memset(slots_, 0, sizeof(slots_)); }

    const char* GetName() override { return name_; }
    void Shutdown() override { ReleaseImplementations(); }
    void Update(float) override {}

    BaseImplementation* GetImplementation(ImplementationType type) override {
        switch (type) {
            case IMPLEMENTATION_CLOUD:
                return slots_[SLOT_CLOUD];
            case IMPLEMENTATION_LEADERBOARDS:
                return slots_[SLOT_LEADERBOARDS];
            case IMPLEMENTATION_IAP:
                return slots_[SLOT_IAP];
            case IMPLEMENTATION_SOCIAL:
                return slots_[SLOT_SOCIAL];
            default:
                return nullptr;
        }
    }

protected:
    // Also run by destruction, for a module destroyed without a shutdown.
    ~BuiltInModule() { ReleaseImplementations(); }

    void ReleaseImplementations() {
        for (BaseImplementation*& slot : slots_) {
            if (slot != nullptr) {
                slot->Destroy(ZQI_DESTROY_FREE_MEMORY);
                slot = nullptr;
            }
        }
    }

    const char* name_;
    BaseImplementation* slots_[SLOT_COUNT];
};

class ExtensionModuleLocalFallbacks final : public BuiltInModule {
public:
    ExtensionModuleLocalFallbacks() : BuiltInModule("Local Fallbacks") {}

    void Destroy(uint32_t flags) override { ZQI_DestroyEngineObject(this, flags); }

    bool Initialize(zq_api_t* api) override {
        if (IsFeatureEnabled(api, "IN_APP_PURCHASES")) {
            slots_[SLOT_IAP] = new (std::nothrow) InAppPurchaseImplementationFallback();
        }
        if (IsFeatureEnabled(api, "LOCAL_LEADERBOARDS")) {
            slots_[SLOT_LEADERBOARDS] = new (std::nothrow) LocalLeaderboardsImplementation();
        }
        return true;
    }
};

class ExtensionModuleSimulated final : public BuiltInModule {
public:
    ExtensionModuleSimulated() : BuiltInModule("Simulation"), simulatedLeaderboards_(false) {}

    void Destroy(uint32_t flags) override { ZQI_DestroyEngineObject(this, flags); }

    bool Initialize(zq_api_t* api) override {
        if (IsFeatureEnabled(api, "SIMULATED_CLOUD")) {
            slots_[SLOT_CLOUD] = new (std::nothrow) SimulatedCloudImplementation();
        }
        if (IsFeatureEnabled(api, "SIMULATED_LEADERBOARDS")) {
            slots_[SLOT_LEADERBOARDS] = new (std::nothrow) SimulatedLeaderboardsImplementation();
            simulatedLeaderboards_ = slots_[SLOT_LEADERBOARDS] != nullptr;
        }
        if (IsFeatureEnabled(api, "SIMULATED_SOCIAL")) {
            slots_[SLOT_SOCIAL] = new (std::nothrow) SimulatedSocialImplementation();
        }
        return true;
    }

    const char* Call(const char* command, const char*) override {
        if (simulatedLeaderboards_ && command != nullptr && strcmp(command, "GetPlayerOnlineID") == 0) {
            return "SimulatedPlayer";
        }
        return nullptr;
    }

private:
    bool simulatedLeaderboards_;
};

}  // namespace

ExtensionModule* ZQI_NewLocalFallbacksModule() {
    return new (std::nothrow) ExtensionModuleLocalFallbacks();
}

ExtensionModule* ZQI_NewSimulatedModule() {
    return new (std::nothrow) ExtensionModuleSimulated();
}
