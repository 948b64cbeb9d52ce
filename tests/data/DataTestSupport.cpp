// Helpers of the data manager tests (see DataTestSupport.h).
#include "DataTestSupport.h"

#include <cstdio>
#include <cstdlib>
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
#include "filesystem/FileSystemTable.h"
#include "filesystem/SchemeRoots.h"
#include "filesystem/SearchPaths.h"

namespace {

const char kResPrefix[] = "res://";

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

std::string ScratchFolderPath(const char* relative) {
    return (ScratchFolder() / relative).generic_string();
}

// Host build: the file systems look up (and make) the platform's user folders when they start;
// they are kept inside the scratch folder and the variables restored afterwards.
class ScratchUserFolders {
public:
    void Enter() {
#if !defined(_WIN32)
        Save("HOME", &home_);
        Save("XDG_DATA_HOME", &dataHome_);
        setenv("HOME", ScratchFolderPath("home").c_str(), 1);
        setenv("XDG_DATA_HOME", ScratchFolderPath("appdata").c_str(), 1);
#endif
    }
    void Leave() {
#if !defined(_WIN32)
        Restore("HOME", home_);
        Restore("XDG_DATA_HOME", dataHome_);
#endif
    }

private:
    struct Saved {
        bool present = false;
        std::string value;
    };
    Saved home_;
    Saved dataHome_;

#if !defined(_WIN32)
    static void Save(const char* name, Saved* saved) {
        const char* value = getenv(name);
        saved->present = value != nullptr;
        saved->value = value != nullptr ? value : "";
    }
    static void Restore(const char* name, const Saved& saved) {
        if (saved.present) {
            setenv(name, saved.value.c_str(), 1);
        } else {
            unsetenv(name);
        }
    }
#endif
};

// The engine as start-up leaves it for the data manager: the API record exists (the reader raises
// its parse messages only then), so do the core mutexes, which make named mutexes shareable
// between threads, and the file systems, with res://, user:// and cache:// in the scratch folder.
class ApiEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        ZQI_BuildApiTables();
        ZQI_CreateCoreMutexes();
        userFolders_.Enter();
        ASSERT_TRUE(ZQI_InitializeFileSystems());
        SetRoot(SCHEME_RES, "res");
        SetRoot(SCHEME_USER, "user");
        SetRoot(SCHEME_CACHE, "user/cache");
    }
    void TearDown() override {
        ZQI_DestroyFileSystems();
        ZQI_ClearSearchPaths();
        ZQI_ClearSchemeRoots();
        userFolders_.Leave();
        ZQI_DeleteCoreMutexes();
        std::error_code ignored;
        std::filesystem::remove_all(ScratchFolder(), ignored);
    }

private:
    ScratchUserFolders userFolders_;

    static void SetRoot(SchemeId scheme, const char* relative) {
        const std::string folder = ScratchFolderPath(relative);
        std::filesystem::create_directories(std::filesystem::path(folder));
        ZQI_SetSchemeRoot(scheme, folder.c_str());
    }
};

const ::testing::Environment* const g_environment = ::testing::AddGlobalTestEnvironment(new ApiEnvironment());

}  // namespace

std::string NativeResFolder() {
    return ScratchFolderPath("res");
}

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
    return kResPrefix + name;
}

std::string DataManagerTest::WriteScratchFile(const std::string& name, const std::string& bytes) {
    const std::filesystem::path native = std::filesystem::path(NativeResFolder()) / name;
    std::filesystem::create_directories(native.parent_path());
    std::ofstream out(native, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return ScratchPath(name);
}

std::string DataManagerTest::ReadFileBytes(const std::string& path) {
    const size_t prefix = sizeof(kResPrefix) - 1;
    if (path.compare(0, prefix, kResPrefix) != 0) {
        ADD_FAILURE() << "not a scratch file: " << path;
        return std::string();
    }
    std::ifstream in(std::filesystem::path(NativeResFolder()) / path.substr(prefix), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

bool LoadXMLText(DMDatabase& database, const std::string& text) {
    return database.LoadXMLFromMemory(text.data(), static_cast<int32_t>(text.size()));
}
