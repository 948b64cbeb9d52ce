// The service sub-tables as the program reaches them through the API record: every slot
// filled, the fixed answers without implementations, and the conditions on forwarding.
#include <cstring>

#include "ServicesTestSupport.h"
#include "core/ApiTable.h"

namespace {

template <typename Table>
int32_t CountNullSlots(const Table* table) {
    int32_t nulls = 0;
    for (size_t i = 0; i < sizeof(Table) / sizeof(void*); ++i) {
        void* slot = nullptr;
        memcpy(&slot, reinterpret_cast<const char*>(table) + i * sizeof(void*), sizeof(slot));
        nulls += slot == nullptr ? 1 : 0;
    }
    return nulls;
}

class RecordingPurchases final : public InAppPurchaseImplementation {
public:
    void Destroy(uint32_t) override {}
    ImplementationType GetType() override { return IMPLEMENTATION_IAP; }
    const char* GetName() override { return "Purchases"; }
    bool IsAvailable() override { return available; }
    void RequestItemData(const char*) override { ++calls; }
    void PurchaseItem(const char*) override { ++calls; }
    void RestorePurchases() override { ++calls; }
    bool ShowPurchaseProgress() override { return ++calls > 0; }

    bool available = false;
    int calls = 0;
};

class UnavailableCloud final : public CloudImplementation {
public:
    void Destroy(uint32_t) override {}
    ImplementationType GetType() override { return IMPLEMENTATION_CLOUD; }
    const char* GetName() override { return "Cloud"; }
    bool IsAvailable() override { return false; }
    void Write(const char*, const void*, uint32_t) override {}
    zq_buffer_t* Read(const char*) override { return nullptr; }
    void Delete(const char*) override {}
};

class RecordingSocial final : public SocialImplementation {
public:
    void Destroy(uint32_t) override {}
    ImplementationType GetType() override { return IMPLEMENTATION_SOCIAL; }
    const char* GetName() override { return "Social"; }
    void Login() override {}
    void Logout() override {}
    int32_t GetLoginState() override { return 0; }
    void SetLocalUserValue(uint32_t) override {}
    void RequestFriends() override {}
    zq_bitmap_t* GetProfilePicture(const char* id, int32_t size) override {
        pictures.push_back(std::string(id) + "@" + std::to_string(size));
        return nullptr;
    }

    std::vector<std::string> pictures;
};

using ServiceTablesTest = ServicesTest;

TEST_F(ServiceTablesTest, EverySlotIsFilled) {
    zq_api_t* api = ZQI_GetApi();
    EXPECT_EQ(0, CountNullSlots(api->achievements));
    EXPECT_EQ(0, CountNullSlots(api->cloud));
    EXPECT_EQ(0, CountNullSlots(api->iap));
    EXPECT_EQ(0, CountNullSlots(api->leaderboards));
    EXPECT_EQ(0, CountNullSlots(api->notification));
    EXPECT_EQ(0, CountNullSlots(api->social));
    EXPECT_EQ(0, CountNullSlots(api->statistic));
    EXPECT_EQ(0, CountNullSlots(api->ugc));
}

TEST_F(ServiceTablesTest, WithoutImplementationsEveryEntryGivesItsFixedAnswerSilently) {
    zq_api_t* api = ZQI_GetApi();
    EXPECT_FALSE(api->ugc->IsAvailable());
    EXPECT_TRUE(api->ugc->Operation8());  // the one entry that answers true
    EXPECT_EQ(0, api->ugc->Operation13(nullptr));
    EXPECT_EQ(30, api->leaderboards->Operation17());
    EXPECT_EQ(nullptr, api->leaderboards->GetPlayerName(0));
    EXPECT_FALSE(api->leaderboards->RequestScores(1, 10, 0, "daily"));
    EXPECT_FALSE(api->leaderboards->RequestScoresAroundUserRank(0, 10, "daily"));
    EXPECT_EQ(0, api->leaderboards->GetLoginState(0));
    EXPECT_FALSE(api->cloud->IsAvailable());
    EXPECT_EQ(nullptr, api->cloud->Read("save"));
    EXPECT_FALSE(api->iap->IsAvailable());
    EXPECT_FALSE(api->iap->PurchaseItem("gems"));
    EXPECT_FALSE(api->iap->ShowPurchaseProgress());
    EXPECT_FALSE(api->notification->IsAvailable());
    EXPECT_FALSE(api->social->IsAvailable());
    EXPECT_EQ(nullptr, api->social->GetProfilePicture("42", 64));
    EXPECT_FALSE(api->achievements->CanShowAchievements());
    EXPECT_EQ(0, api->achievements->Operation12("x"));
    api->statistic->Operation7(1, 2, nullptr, nullptr);
    EXPECT_TRUE(LoggedLines().empty()) << LoggedLines()[0];
    EXPECT_TRUE(Popups().empty());
}

// Purchases need an implementation that says it is available, the cloud only a resolved one,
// and pictures an id and at least four pixels.
TEST_F(ServiceTablesTest, ForwardingConditions) {
    RecordingPurchases purchases;
    UnavailableCloud cloud;
    RecordingSocial social;
    TestModule module("Store");
    module.offered[IMPLEMENTATION_IAP] = &purchases;
    module.offered[IMPLEMENTATION_CLOUD] = &cloud;
    module.offered[IMPLEMENTATION_SOCIAL] = &social;
    RegisterExtensionModule(&module);
    SetFeatures("IN_APP_PURCHASES");
    ResolveImplementations();
    zq_api_t* api = ZQI_GetApi();
    EXPECT_TRUE(api->cloud->IsAvailable());  // its own IsAvailable is not asked
    EXPECT_FALSE(api->iap->IsAvailable());
    EXPECT_FALSE(api->iap->PurchaseItem("gems"));
    EXPECT_EQ(purchases.calls, 0);
    purchases.available = true;
    EXPECT_TRUE(api->iap->PurchaseItem("gems"));
    EXPECT_TRUE(api->iap->ShowPurchaseProgress());
    EXPECT_EQ(purchases.calls, 2);
    api->social->GetProfilePicture("7", 3);
    api->social->GetProfilePicture(nullptr, 64);
    api->social->GetProfilePicture("7", 4);
    EXPECT_EQ(social.pictures, std::vector<std::string>{"7@4"});
}

}  // namespace
