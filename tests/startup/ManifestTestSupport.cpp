// Shared set-up of the manifest and package tests (see the header).
#include "ManifestTestSupport.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "core/ApiTable.h"
#include "core/CommandLine.h"
#include "core/CoreState.h"
#include "core/Features.h"
#include "core/NamedMutex.h"
#include "data/DataManager.h"
#include "filesystem/FileSystemApi.h"
#include "filesystem/FileSystemTable.h"
#include "filesystem/SchemeRoots.h"
#include "filesystem/SearchPaths.h"
#include "startup/Manifest.h"
#include "startup/ManifestState.h"

namespace fs = std::filesystem;

namespace {

std::vector<RecordedMessage> g_developerPopups;
std::vector<RecordedMessage> g_popups;
std::vector<std::string> g_prints;
std::vector<RecordedMessage> g_logs;
std::vector<int32_t> g_exitCodes;

std::string FormatV(const char* format, va_list args) {
    char buffer[8192];
    vsnprintf(buffer, sizeof(buffer), format, args);
    return buffer;
}

int32_t RecordPrint(const char* format, ...) {
    va_list args;
    va_start(args, format);
    g_prints.push_back(FormatV(format, args));
    va_end(args);
    return 0;
}

int32_t RecordLog(int32_t level, const char* format, ...) {
    va_list args;
    va_start(args, format);
    g_logs.push_back({level, FormatV(format, args)});
    va_end(args);
    return 0;
}

int32_t RecordDeveloperPopup(int32_t level, const char* format, ...) {
    va_list args;
    va_start(args, format);
    g_developerPopups.push_back({level, FormatV(format, args)});
    va_end(args);
    return 0;
}

int32_t RecordPopup(int32_t level, const char* text) {
    g_popups.push_back({level, text});
    return 1;
}

void RecordExit(int32_t code) {
    g_exitCodes.push_back(code);
}

// Databases a test may have registered; unloaded so the next test reads its own files.
const char* const kDatabaseNames[] = {"res://prog.xml",   "res://developer.xml",         "res://extra.xml",
                                      "res://second.xml", "res://manifest-packs-hd.xml", "res://empty.xml"};

std::string NewTempFolder() {
    static std::atomic<int> counter(0);
    std::error_code error;
    const fs::path base = fs::temp_directory_path(error);
    for (int attempt = 0; attempt < 1000; ++attempt) {
        fs::path candidate =
            base / ("zq-startup-test-" + std::to_string(rand()) + "-" + std::to_string(counter++));
        if (fs::create_directory(candidate, error)) {
            return candidate.generic_string();
        }
    }
    ADD_FAILURE() << "could not create a temporary folder";
    return std::string();
}

void ResetEngineState() {
    ZQI_SetCoreDefaults();
    memset(&g_core.programRecord, 0, sizeof(g_core.programRecord));
    g_core.program = nullptr;
    g_core.developerMode = 0;
    g_core.popupMessage = RecordPopup;
    ZQI_ReleaseManifest();
    ZQI_SetManifestPlatform(PLATFORM_ID_WINDOWS, SCREEN_SIZE_LARGE);
    ZQI_ReleaseFeatureTexts();
    ZQI_ReleaseCommandLine();
    ManifestHooks hooks = {};
    hooks.exitProcess = RecordExit;
    ZQI_SetManifestHooks(&hooks);
}

}  // namespace

// ---- Manifest documents ----

std::string XmlNode(const std::string& id, const Keys& keys) {
    std::string text = "<node id=\"" + id + "\"";
    for (const auto& key : keys) {
        text += " " + key.first + "=\"" + key.second + "\"";
    }
    return text + "/>\n";
}

std::string XmlArray(const std::string& id, const std::string& nodes) {
    return "<array id=\"" + id + "\">\n" + nodes + "</array>\n";
}

std::string XmlDocument(const std::string& arrays) {
    return "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n<root>\n" + arrays + "</root>\n";
}

std::string ManifestWith(const std::string& parameterNodes, const std::string& variantNodes) {
    return XmlDocument(XmlArray("PARAMETERS", parameterNodes) + XmlArray("VARIANTS", variantNodes));
}

// ---- Fixture ----

void StartupTest::SetUp() {
    tempFolder_ = NewTempFolder();
    resFolder_ = tempFolder_ + "/res";
    ZQI_CreateCoreMutexes();
    ZQI_BuildApiTables();
#if !defined(_WIN32)
    // The platform's user folders are looked up (and made) at initialisation: keep them here.
    setenv("HOME", (tempFolder_ + "/home").c_str(), 1);
    setenv("XDG_DATA_HOME", (tempFolder_ + "/appdata").c_str(), 1);
#endif
    ASSERT_TRUE(ZQI_InitializeFileSystems());
    fs::create_directories(fs::path(resFolder_));
    ZQI_SetSchemeRoot(SCHEME_RES, resFolder_.c_str());
    zq_api_t* api = ZQI_GetApi();
    api->Print = RecordPrint;
    api->Log = RecordLog;
    api->Popup = RecordDeveloperPopup;
    ResetEngineState();
    ForgetMessages();
    g_exitCodes.clear();
}

void StartupTest::TearDown() {
    for (const char* name : kDatabaseNames) {
        DataManager::UnloadDatabaseByName(name);
    }
    ResetEngineState();
    g_core.popupMessage = nullptr;
    ZQI_SetManifestHooks(nullptr);
    ZQI_DestroyFileSystems();
    ZQI_ClearSearchPaths();
    ZQI_ClearSchemeRoots();
    std::error_code error;
    fs::remove_all(fs::path(tempFolder_), error);
}

void StartupTest::WriteResFile(const std::string& relative, const std::string& bytes) {
    const fs::path path = fs::path(resFolder_) / relative;
    fs::create_directories(path.parent_path());
    {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    // The registry keeps a database once read; a rewritten file is read again on the next request.
    DataManager::UnloadDatabaseByName(("res://" + relative).c_str());
}

void StartupTest::MakeResFolder(const std::string& relative) {
    fs::create_directories(fs::path(resFolder_) / relative);
}

const std::vector<RecordedMessage>& StartupTest::DeveloperPopups() const {
    return g_developerPopups;
}
const std::vector<RecordedMessage>& StartupTest::Popups() const {
    return g_popups;
}
const std::vector<std::string>& StartupTest::Prints() const {
    return g_prints;
}
const std::vector<RecordedMessage>& StartupTest::Logs() const {
    return g_logs;
}
const std::vector<int32_t>& StartupTest::ExitCodes() const {
    return g_exitCodes;
}

void StartupTest::ForgetMessages() {
    g_developerPopups.clear();
    g_popups.clear();
    g_prints.clear();
    g_logs.clear();
}

int32_t StartupTest::CountText(const std::vector<RecordedMessage>& messages, const std::string& text) {
    int32_t count = 0;
    for (const RecordedMessage& message : messages) {
        count += message.text == text ? 1 : 0;
    }
    return count;
}

int32_t StartupTest::CountText(const std::vector<std::string>& messages, const std::string& text) {
    int32_t count = 0;
    for (const std::string& message : messages) {
        count += message == text ? 1 : 0;
    }
    return count;
}

std::vector<std::string> StartupTest::SearchPaths() {
    std::vector<std::string> paths;
    zq_string_list_t* list = ZQ_FileSystem_GetSearchPaths();
    if (list == nullptr) {
        return paths;
    }
    for (int32_t i = 0; i < list->count; ++i) {
        paths.push_back(list->items[i]);
    }
    ZQ_FreeStringList(list);
    return paths;
}

zq_program_t& StartupTest::Record() {
    return g_core.programRecord;
}
