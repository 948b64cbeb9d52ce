// The registry: one database per file name, loaded once, unloaded on request, and safe when
// several threads ask for the same file at once.
#include "DataTestSupport.h"

#include "core/Sys.h"

using data_registry = DataManagerTest;

namespace {

const char kTwoArrays[] =
    "<?xml version=\"1.0\"?>\n<root>\n<array id=\"A\"><node id=\"a\"/></array>\n"
    "<array id=\"B\"><node id=\"b\"/></array>\n</root>\n";

}  // namespace

TEST_F(data_registry, SameNameGivesTheSameDatabaseLoadedOnce) {
    std::string path = WriteScratchFile("once.xml", kTwoArrays);
    DMDatabase* first = DataManager::GetDatabase(path.c_str());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->arrays.count, 2);
    // Changing the file does not matter: the registered database is not read again.
    WriteScratchFile("once.xml", "<?xml?><root></root>");
    DMDatabase* second = DataManager::GetDatabase(path.c_str());
    EXPECT_EQ(second, first);
    EXPECT_EQ(second->arrays.count, 2);
    DataManager::UnloadDatabaseByName(path.c_str());
    DMDatabase* reloaded = DataManager::GetDatabase(path.c_str());
    ASSERT_NE(reloaded, nullptr);
    EXPECT_EQ(reloaded->arrays.count, 0);
    DataManager::UnloadDatabase(reloaded);
}

TEST_F(data_registry, MissingFileGivesARegisteredEmptyDatabase) {
    std::string path = ScratchPath("missing.xml");
    DMDatabase* database = DataManager::GetDatabase(path.c_str());
    ASSERT_NE(database, nullptr);
    EXPECT_EQ(database->arrays.count, 0);
    EXPECT_TRUE(OnlyPopupContains("XML database file '" + path + "' not found!"));
    ForgetMessages();
    EXPECT_EQ(DataManager::GetDatabase(path.c_str()), database);
    EXPECT_TRUE(Popups().empty());  // registered: not read again
    DataManager::UnloadDatabaseByName(path.c_str());
}

TEST_F(data_registry, CreateDatabaseRegistersWithoutReading) {
    std::string path = WriteScratchFile("created.xml", kTwoArrays);
    DMDatabase* created = DataManager::CreateDatabase(path.c_str());
    ASSERT_NE(created, nullptr);
    EXPECT_EQ(created->arrays.count, 0);
    EXPECT_EQ(DataManager::GetDatabase(path.c_str()), created);
    EXPECT_EQ(created->arrays.count, 0);
    EXPECT_EQ(DataManager::CreateDatabase(path.c_str()), created);
    DataManager::UnloadDatabase(created);
}

TEST_F(data_registry, UnloadingWhatIsNotRegisteredDoesNothing) {
    DMDatabase* kept = DataManager::CreateDatabase("user://kept.xml");
    DMDatabase stranger("user://kept.xml");
    DataManager::UnloadDatabase(&stranger);
    DataManager::UnloadDatabase(nullptr);
    DataManager::UnloadDatabaseByName("user://other.xml");
    DataManager::UnloadDatabaseByName(nullptr);
    EXPECT_EQ(DataManager::CreateDatabase("user://kept.xml"), kept);
    DataManager::UnloadDatabaseByName("user://kept.xml");
    EXPECT_NE(DataManager::CreateDatabase("user://kept.xml"), nullptr);
    DataManager::UnloadDatabaseByName("user://kept.xml");
}

TEST_F(data_registry, NullNameIsRefused) {
    EXPECT_EQ(DataManager::GetDatabase(nullptr), nullptr);
    EXPECT_EQ(DataManager::CreateDatabase(nullptr), nullptr);
    EXPECT_EQ(Popups().size(), 2u);
}

namespace {

struct ConcurrentRequest {
    const char* path;
    DMDatabase* result;
    int32_t arraysSeen;
};

void RequestDatabase(void* argument) {
    ConcurrentRequest* request = static_cast<ConcurrentRequest*>(argument);
    request->result = DataManager::GetDatabase(request->path);
    request->arraysSeen = request->result != nullptr ? request->result->arrays.count : -1;
}

}  // namespace

TEST_F(data_registry, ThreadsAskingTogetherGetOneFullyLoadedDatabase) {
    // Big enough that a load takes a while, so a second caller is likely to arrive meanwhile.
    std::string text = "<?xml version=\"1.0\"?>\n<root>\n";
    const int32_t kArrays = 400;
    for (int32_t i = 0; i < kArrays; ++i) {
        text += "<array id=\"a" + std::to_string(i) + "\">";
        for (int32_t j = 0; j < 20; ++j) {
            text += "<node id=\"n" + std::to_string(j) + "\" value=\"" + std::to_string(i * j) + "\"/>";
        }
        text += "</array>\n";
    }
    text += "</root>\n";
    std::string path = WriteScratchFile("shared.xml", text);
    const int kThreads = 4;
    ConcurrentRequest requests[kThreads];
    ZQI_SysThread* threads[kThreads];
    for (int i = 0; i < kThreads; ++i) {
        requests[i] = {path.c_str(), nullptr, 0};
        threads[i] = ZQI_SysCreateThread(RequestDatabase, &requests[i]);
        ASSERT_NE(threads[i], nullptr);
    }
    for (int i = 0; i < kThreads; ++i) {
        ZQI_SysJoinThread(threads[i]);
    }
    for (int i = 0; i < kThreads; ++i) {
        EXPECT_EQ(requests[i].result, requests[0].result);
        EXPECT_EQ(requests[i].arraysSeen, kArrays);
    }
    DataManager::UnloadDatabase(requests[0].result);
}
