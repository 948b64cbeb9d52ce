// Helpers of the data manager tests (see DataTestSupport.h).
#include "DataTestSupport.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "EngineTestFiles.h"
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

// The engine as start-up leaves it for the data manager: the API record exists (the reader raises
// its parse messages only then), so do the core mutexes, which make named mutexes shareable
// between threads, and the file systems, with res://, user:// and cache:// in the scratch folder.
EngineTest::FileSystemsEnvironment* const g_environment = static_cast<EngineTest::FileSystemsEnvironment*>(
    ::testing::AddGlobalTestEnvironment(new EngineTest::FileSystemsEnvironment(
        "zq_data_tests", {{SCHEME_RES, "res"}, {SCHEME_USER, "user"}, {SCHEME_CACHE, "user/cache"}})));

}  // namespace

std::string NativeResFolder() {
    return g_environment->ScratchPath("res");
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
