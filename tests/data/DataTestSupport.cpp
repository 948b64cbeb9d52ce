// Helpers of the data manager tests (see DataTestSupport.h).
#include "DataTestSupport.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#ifdef _WIN32
#include <process.h>
#define ZQ_TEST_PROCESS_ID _getpid()
#else
#include <unistd.h>
#define ZQ_TEST_PROCESS_ID getpid()
#endif

#include "core/ApiTable.h"
#include "core/NamedMutex.h"
#include "data/DataManager_local.h"

namespace {

std::vector<std::string> g_popups;
std::vector<std::string> g_prints;

void RecordMessage(int32_t level, const char* text) {
    (level > 0 ? g_popups : g_prints).push_back(text != nullptr ? text : "");
}

// One scratch folder per test process, so parallel test runs never share files.
std::filesystem::path ScratchFolder() {
    static std::filesystem::path folder = [] {
        std::filesystem::path path =
            std::filesystem::temp_directory_path() / ("zq_data_tests_" + std::to_string(ZQ_TEST_PROCESS_ID));
        std::filesystem::create_directories(path);
        return path;
    }();
    return folder;
}

// The engine as start-up leaves it for the data manager: the API record exists (the reader raises
// its parse messages only then) and so do the core mutexes, which make named mutexes shareable
// between threads.
class ApiEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        ZQI_BuildApiTables();
        ZQI_CreateCoreMutexes();
    }
    void TearDown() override {
        ZQI_DeleteCoreMutexes();
        std::error_code ignored;
        std::filesystem::remove_all(ScratchFolder(), ignored);
    }
};

const ::testing::Environment* const g_environment = ::testing::AddGlobalTestEnvironment(new ApiEnvironment());

}  // namespace

void DataManagerTest::SetUp() {
    ForgetMessages();
    ZQI_SetDataManagerMessageObserver(RecordMessage);
}

void DataManagerTest::TearDown() {
    ZQI_SetDataManagerMessageObserver(nullptr);
}

const std::vector<std::string>& DataManagerTest::Popups() const {
    return g_popups;
}

const std::vector<std::string>& DataManagerTest::Prints() const {
    return g_prints;
}

bool DataManagerTest::OnlyPopupContains(const std::string& part) const {
    return g_popups.size() == 1 && g_popups[0].find(part) != std::string::npos;
}

void DataManagerTest::ForgetMessages() {
    g_popups.clear();
    g_prints.clear();
}

std::string DataManagerTest::ScratchPath(const std::string& name) const {
    return (ScratchFolder() / name).string();
}

std::string DataManagerTest::WriteScratchFile(const std::string& name, const std::string& bytes) {
    std::string path = ScratchPath(name);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
}

std::string DataManagerTest::ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

bool LoadXMLText(DMDatabase& database, const std::string& text) {
    return database.LoadXMLFromMemory(text.data(), static_cast<int32_t>(text.size()));
}
