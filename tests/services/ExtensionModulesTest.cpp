// The module registry: priority order, gated resolution, start-up with the built-in modules and
// missing libraries, the notification commands and the modules' named calls.
#include "ServicesTestSupport.h"
#include "services/ServiceTables.h"

namespace {

class RecordingNotification final : public NotificationImplementation {
public:
    void Destroy(uint32_t) override {}
    ImplementationType GetType() override { return IMPLEMENTATION_NOTIFICATION; }
    const char* GetName() override { return "Recording"; }
    void RegisterForLocalNotifications() override { calls.push_back("Register"); }
    void RemoveAllLocalNotifications() override { calls.push_back("RemoveAll"); }
    void SetLocalNotification(const char* text0, const char* text1, const char* text2,
                              int32_t value) override {
        calls.push_back(Text(text0) + "|" + Text(text1) + "|" + Text(text2) + "|" + std::to_string(value));
    }
    static std::string Text(const char* text) {
        return text != nullptr ? "'" + std::string(text) + "'" : "null";
    }

    std::vector<std::string> calls;
};

using ExtensionModulesTest = ServicesTest;

TEST_F(ExtensionModulesTest, TheLatestModuleWinsAndGatesKeepTheirServicesUnresolved) {
    StubImplementation olderCloud(IMPLEMENTATION_CLOUD, "OlderCloud");
    StubImplementation olderBoards(IMPLEMENTATION_LEADERBOARDS, "OlderBoards");
    StubImplementation newerBoards(IMPLEMENTATION_LEADERBOARDS, "NewerBoards");
    StubImplementation newerAchievements(IMPLEMENTATION_ACHIEVEMENT, "NewerAchievements");
    StubImplementation olderPurchases(IMPLEMENTATION_IAP, "OlderPurchases");
    StubImplementation newerUgc(IMPLEMENTATION_UGC, "NewerUgc");
    StubImplementation mislabelled(IMPLEMENTATION_SOCIAL, "Mislabelled");  // offered as cloud: passed over
    TestModule older("Older");
    TestModule newer("Newer");
    older.offered[IMPLEMENTATION_CLOUD] = &olderCloud;
    older.offered[IMPLEMENTATION_LEADERBOARDS] = &olderBoards;
    older.offered[IMPLEMENTATION_IAP] = &olderPurchases;
    newer.offered[IMPLEMENTATION_LEADERBOARDS] = &newerBoards;
    newer.offered[IMPLEMENTATION_ACHIEVEMENT] = &newerAchievements;
    newer.offered[IMPLEMENTATION_UGC] = &newerUgc;
    newer.offered[IMPLEMENTATION_CLOUD] = &mislabelled;
    RegisterExtensionModule(&older);
    RegisterExtensionModule(&newer);
    ASSERT_EQ(ZQI_GetExtensionModules().count, 2);
    EXPECT_EQ(ZQI_GetExtensionModules()[0], &newer);

    struct Case {
        const char* features;
        std::vector<BaseImplementation*> resolved;  // in resolution order
    };
    const Case cases[] = {
        {nullptr, {&olderCloud, &newerUgc}},
        {"LEADERBOARDS", {&olderCloud, &newerBoards, &newerUgc}},
        {"ACHIEVEMENTS,IN_APP_PURCHASES", {&olderCloud, &newerAchievements, &olderPurchases, &newerUgc}},
        {"IN_APP_PURCHASES,LEADERBOARDS,ACHIEVEMENTS",
         {&olderCloud, &newerBoards, &newerAchievements, &olderPurchases, &newerUgc}},
    };
    for (const Case& c : cases) {
        SetFeatures(c.features);
        ResolveImplementations();
        const Array<BaseImplementation*>& list = ZQI_GetResolvedImplementationList();
        std::vector<BaseImplementation*> resolved(list.begin(), list.end());
        EXPECT_EQ(resolved, c.resolved) << (c.features != nullptr ? c.features : "no features");
        for (BaseImplementation* implementation : resolved) {
            EXPECT_EQ(ZQI_GetResolvedImplementation(implementation->GetType()), implementation);
        }
    }
    EXPECT_EQ(ZQI_GetResolvedImplementation(IMPLEMENTATION_SOCIAL), nullptr);
    EXPECT_EQ(CountLogged("[SYSTEM] Using Cloud implementation from module 'Older'"), 4);
    EXPECT_EQ(CountLogged("Using Leaderboards implementation from module 'Newer'"), 2);
    EXPECT_EQ(CountLogged("Using InAppPurchase implementation from module 'Older'"), 2);
    EXPECT_EQ(CountLogged("Using UGC implementation from module 'Newer'"), 4);
    EXPECT_TRUE(WasLogged("module 'Newer' answered a Social implementation when asked for Cloud; ignored."));
}

TEST_F(ExtensionModulesTest, StartUpWithBuiltInModulesAndFeatureWords) {
    struct Case {
        const char* features;
        const char* leaderboards;  // name of the resolved leaderboards implementation, or null
        bool purchases;
    };
    const Case cases[] = {
        {nullptr, nullptr, false},
        {"LOCAL_LEADERBOARDS", nullptr, false},  // made, but not resolved without LEADERBOARDS
        {"LOCAL_LEADERBOARDS,LEADERBOARDS", "LocalDatabase", false},
        {"SIMULATED_LEADERBOARDS,LOCAL_LEADERBOARDS,LEADERBOARDS", "Simulated", false},
        {"IN_APP_PURCHASES", nullptr, true},
    };
    WriteCategories("<node id=\"daily\"/>\n");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.features != nullptr ? c.features : "no features");
        SetFeatures(c.features);
        InitExtensionModules();
        const Array<ExtensionModule*>& modules = ZQI_GetExtensionModules();
        ASSERT_EQ(modules.count, 2);
        EXPECT_STREQ(modules[0]->GetName(), "Simulation");
        EXPECT_STREQ(modules[1]->GetName(), "Local Fallbacks");
        LeaderboardsImplementation* boards = ZQI_GetLeaderboardsImplementation();
        EXPECT_STREQ(boards != nullptr ? boards->GetName() : nullptr, c.leaderboards);
        EXPECT_EQ(ZQ_IAP_IsAvailable(), c.purchases);
        EXPECT_EQ(ZQI_GetResolvedImplementationList().count,
                  (c.leaderboards ? 1 : 0) + (c.purchases ? 1 : 0));
        // The fallback offers nothing: purchases go nowhere and show no progress.
        EXPECT_EQ(ZQ_IAP_PurchaseItem("gems"), c.purchases);
        EXPECT_FALSE(ZQ_IAP_ShowPurchaseProgress());
        ZQI_ShutdownExtensionModules();
        WaitForServiceThreads();
        EXPECT_EQ(ZQI_GetExtensionModules().count, 0);
        EXPECT_EQ(ZQI_GetLeaderboardsImplementation(), nullptr);
    }
    EXPECT_TRUE(WasLogged("Initializing IAP implementation 'Fallback'..."));
    EXPECT_TRUE(WasLogged("Initializing Leaderboards implementation 'Simulated'..."));
    EXPECT_EQ(CountLogged("Registering extension module 'Simulation'."), 5);
}

TEST_F(ExtensionModulesTest, SetLocalNotificationCutsItsParametersIntoFields) {
    RecordingNotification notification;
    TestModule module("Notifier");
    module.offered[IMPLEMENTATION_NOTIFICATION] = &notification;
    RegisterExtensionModule(&module);
    ResolveImplementations();
    struct Case {
        const char* parameters;
        const char* expected;
    };
    const std::string longField(1024, 'x');
    const std::string longParameters = "a;" + longField + ";c;1";
    const Case cases[] = {
        {"title;body;sound;60", "'title'|'body'|'sound'|60"},
        {"title;body;sound", "'title'|'body'|'sound'|5"},  // no fourth field: 5
        {"title;", "'title'|''|''|0"},                     // ends after a ';': the rest is empty
        {"title;body;", "'title'|'body'|''|0"},
        {"title;body", "'title'|'body'|null|5"},
        {"title", "'title'|null|null|5"},
        {"", "''|null|null|5"},
        {";;;", "''|''|''|0"},
        {"a;b;c;7;extra", "'a'|'b'|'c'|7"},
        {"a;b;c;x", "'a'|'b'|'c'|0"},
        {nullptr, "null|null|null|5"},
        {longParameters.c_str(), "'a'|null|'c'|1"},  // 1024 characters are too many
    };
    for (const Case& c : cases) {
        notification.calls.clear();
        CallNotificationCommand("SetLocalNotification", c.parameters);
        EXPECT_EQ(notification.calls, std::vector<std::string>{c.expected})
            << (c.parameters ? c.parameters : "null");
    }
    // The modules are offered every command too, after the notification implementation.
    EXPECT_EQ(module.calls.size(), sizeof(cases) / sizeof(cases[0]));
    EXPECT_EQ(module.calls[0], "SetLocalNotification|title;body;sound;60");
    notification.calls.clear();
    module.callAnswer = "DONE";
    EXPECT_STREQ(CallNotificationCommand("RemoveAllLocalNotifications", nullptr), "DONE");
    EXPECT_EQ(notification.calls, std::vector<std::string>{"RemoveAll"});
    EXPECT_TRUE(ZQ_Notification_IsAvailable());
}

TEST_F(ExtensionModulesTest, NamedCallsReachTheModulesInOrder) {
    TestModule older("Older");
    TestModule newer("Newer");
    older.callAnswer = "older";
    RegisterExtensionModule(&older);
    RegisterExtensionModule(&newer);
    EXPECT_STREQ(CallNotificationCommand("GetPlayerOnlineID", ""), "older");
    newer.callAnswer = "newer";
    EXPECT_STREQ(CallNotificationCommand("GetPlayerOnlineID", ""), "newer");
    EXPECT_EQ(older.calls.size(), 1u);  // the first answer ends the offering
    ZQI_ForgetExtensionModules();

    // The simulation answers for its player only while its leaderboards exist.
    SetFeatures("SIMULATED_LEADERBOARDS");
    InitExtensionModules();
    EXPECT_STREQ(CallNotificationCommand("GetPlayerOnlineID", nullptr), "SimulatedPlayer");
    EXPECT_EQ(CallNotificationCommand(nullptr, nullptr), nullptr);
    ZQI_ShutdownExtensionModules();
    SetFeatures(nullptr);
    InitExtensionModules();
    EXPECT_EQ(CallNotificationCommand("GetPlayerOnlineID", nullptr), nullptr);
    ZQI_ShutdownExtensionModules();
}

}  // namespace
