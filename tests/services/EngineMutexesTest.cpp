// The engine's own named mutexes are made through the threading sub-table, so a program can
// fetch them by name; destroying one there is refused, since the engine keeps locking it.
#include <string>

#include "ServicesTestSupport.h"
#include "core/NamedMutex.h"
#include "data/DataManager.h"
#include "services/LocalLeaderboards.h"
#include "services/SimulatedSocial.h"

TEST_F(ServicesTest, TheEnginesNamedMutexesCannotBeDestroyedByTheProgram) {
    LocalLeaderboardsImplementation leaderboards;
    SimulatedSocialImplementation social;
    social.Initialize();
    DataManager::CreateDatabase("user://engine-mutexes.xml");
    for (const char* name : {"DATAMAN", "PAKSystemOpenPAK", "LOCAL_LEADERBOARDS", "SocialImplementation"}) {
        NamedMutex* fetched = ZQ_Threading_CreateMutex(name);
        ASSERT_NE(nullptr, fetched) << name;
        ZQ_Threading_DestroyMutex(fetched);
        EXPECT_STREQ(name, fetched->name) << "destroyed";
        EXPECT_EQ(fetched, ZQ_Threading_CreateMutex(name)) << name;
        EXPECT_TRUE(ZQ_Threading_TryLockMutex(fetched)) << name;
        ZQ_Threading_UnlockMutex(fetched);
        EXPECT_TRUE(WasLogged(std::string("ZQ_Threading_DestroyMutex: '") + name +
                              "' is an engine mutex and is not destroyed."))
            << name;
    }
    DataManager::UnloadDatabaseByName("user://engine-mutexes.xml");
}
