// The in-app purchase implementation of "Local Fallbacks" (feature word IN_APP_PURCHASES): it
// says it is available and offers nothing, so a game's shop code runs without a store.
#pragma once

#include "services/ServiceInterfaces.h"

class InAppPurchaseImplementationFallback final : public InAppPurchaseImplementation {
public:
    void Destroy(uint32_t flags) override { ZQI_DestroyEngineObject(this, flags); }
    ImplementationType GetType() override { return IMPLEMENTATION_IAP; }
    const char* GetName() override { return "Fallback"; }
    void RequestItemData(const char*) override {}
    void PurchaseItem(const char*) override {}
    void RestorePurchases() override {}
    bool ShowPurchaseProgress() override { return false; }
};
