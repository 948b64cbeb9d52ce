// Helpers of the services tests (see ServicesTestSupport.h).
#include "ServicesTestSupport.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "EngineTestFiles.h"
#include "core/ApiTable.h"
#include "core/Console.h"
#include "core/CoreState.h"
#include "core/EventQueue.h"
#include "core/Features.h"
#include "core/Log.h"
#include "core/Sys.h"
#include "core/Threads.h"
#include "data/DataManager.h"
#include "filesystem/FileSystemApi.h"
#include "services/LeaderboardsTable.h"
#include "services/LocalLeaderboardsDatabase.h"
#include "services/ServiceTables.h"

namespace {

::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new EngineTest::FileSystemsEnvironment(
        "zq_services_tests", {{SCHEME_RES, "res"}, {SCHEME_USER, "user"}}));

std::vector<CapturedEvent> g_captured;
std::vector<std::string> g_popups;
zq_program_t g_program;

std::string CopyText(const char* text) {
    return text != nullptr ? text : "";
}

CapturedEvent::User CopyUser(const zq_social_user_t& user) {
    return {user.id != nullptr ? user.id : "(null)", user.name != nullptr ? user.name : "(null)", user.value};
}

int32_t CaptureEvent(const zq_event_t* event) {
    CapturedEvent captured;
    captured.type = event->type;
    captured.flag = event->bytes[4];
    if (event->type == ZQ_EVENT_LEADERBOARD_SCORES) {
        const auto& scores = event->leaderboard_scores;
        captured.error = CopyText(scores.error);
        captured.category = CopyText(scores.category);
        captured.total = scores.total;
        captured.filter = scores.filter;
        captured.firstRank = scores.first_rank;
        captured.count = scores.count;
        captured.scoresNull = scores.scores == nullptr;
        for (int32_t i = 0; scores.scores != nullptr && i < scores.count; ++i) {
            captured.scores.push_back(scores.scores[i]);
        }
    } else if (event->type == ZQ_EVENT_SOCIAL_LOGIN && event->social_login.user != nullptr) {
        captured.users.push_back(CopyUser(*event->social_login.user));
    } else if (event->type == ZQ_EVENT_SOCIAL_FRIENDS) {
        captured.count = event->social_friends.count;
        for (int32_t i = 0; i < event->social_friends.count; ++i) {
            captured.users.push_back(CopyUser(event->social_friends.users[i]));
        }
    }
    g_captured.push_back(captured);
    return 0;
}

int32_t RecordPopup(int32_t, const char* text) {
    g_popups.push_back(text != nullptr ? text : "");
    return 0;
}

void StartLogInMemory() {
    LogSettings settings;
    memset(&settings, 0, sizeof(settings));
    settings.loggingEnabled = true;
    settings.logToFile = false;
    settings.verboseThreshold = 0;
    settings.developerMode = true;
    settings.programId = "services";
    ZQI_StartLog(ZQI_GetConsole(), settings);
}

}  // namespace

void ServicesTest::SetUp() {
    // The answer threads register and unregister under the registry lock, as in the engine.
    ZQI_CreateThreadRegistryLock();
    ZQI_ConnectServiceTables();
    ZQI_ForgetExtensionModules();
    ResolveImplementations();  // nothing registered: every service without implementation
    g_core.developerMode = 1;
    g_core.consoleEnabled = 1;
    g_core.logVerboseLevel = 0;
    g_core.programInitCalled = 0;
    g_core.popupMessage = RecordPopup;
    memset(&g_program, 0, sizeof(g_program));
    g_program.HandleEvent = CaptureEvent;
    g_core.program = &g_program;
    g_core.coreRunning = 1;
    g_popups.clear();
    g_captured.clear();
    if (!ZQ_FileSystem_SearchPathExists("res://")) {
        ZQ_FileSystem_AddSearchPath("res://", false);
    }
    SetFeatures(nullptr);
    DataManager::UnloadDatabaseByName(ZQI_LEADERBOARD_CATEGORIES_FILE);
    StartLogInMemory();  // last: the tests read only what they caused
}

void ServicesTest::TearDown() {
    WaitForServiceThreads();
    DeliverEvents();
    ZQI_ForgetExtensionModules();
    ResolveImplementations();
    // The data manager keeps what was loaded for the run; each test starts from the files.
    DataManager::UnloadDatabaseByName(ZQI_LEADERBOARD_CATEGORIES_FILE);
    DataManager::UnloadDatabaseByName(ZQI_LOCAL_LEADERBOARDS_FILE);
    ZQI_StopLog(ZQI_GetConsole());
    g_core.popupMessage = nullptr;
    g_core.program = nullptr;
    g_core.coreRunning = 0;
    g_core.developerMode = 0;
    SetFeatures(nullptr);
}

void ServicesTest::SetFeatures(const char* words) {
    ZQI_SetFeatureText(FEATURE_TEXT_COMMAND_LINE, words);
}

std::vector<CapturedEvent> ServicesTest::DeliverEvents() {
    g_captured.clear();
    ZQI_ProcessEventQueue();
    return g_captured;
}

void ServicesTest::WaitForServiceThreads() {
    while (ZQI_GetLiveThreadCount() > 0) {
        ZQI_SysYield();
    }
}

std::vector<std::string> ServicesTest::LoggedLines() {
    std::vector<std::string> lines;
    const Console* console = ZQI_GetConsole();
    for (int32_t i = 0; i < console->lines.count; ++i) {
        const ConsoleLine& line = console->lines.data[i];
        if (line.lineNumber != 0 && line.text != nullptr) {
            lines.push_back(line.text);
        }
    }
    return lines;
}

int32_t ServicesTest::CountLogged(const std::string& text) {
    int32_t count = 0;
    for (const std::string& line : LoggedLines()) {
        count += line.find(text) != std::string::npos ? 1 : 0;
    }
    return count;
}

std::vector<std::string>& ServicesTest::Popups() {
    return g_popups;
}

std::string ServicesTest::NativePath(const std::string& virtualPath) {
    String native;
    ZQ_ConvertStaticPathToNativeOSPath(native, virtualPath.c_str());
    return native.CStr();
}

void ServicesTest::WriteFile(const std::string& virtualPath, const std::string& bytes) {
    std::filesystem::path native(NativePath(virtualPath));
    std::filesystem::create_directories(native.parent_path());
    std::ofstream out(native, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ServicesTest::ReadFile(const std::string& virtualPath) {
    std::ifstream in(NativePath(virtualPath), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void ServicesTest::RemoveFile(const std::string& virtualPath) {
    std::error_code ignored;
    std::filesystem::remove_all(NativePath(virtualPath), ignored);
}

void ServicesTest::WriteCategories(const std::string& nodes) {
    WriteFile("res://leaderboards/leaderboards.xml",
              "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n<root>\n<array id=\"CATEGORIES\">\n" + nodes +
                  "</array>\n</root>\n");
    DataManager::UnloadDatabaseByName(ZQI_LEADERBOARD_CATEGORIES_FILE);
}

LeaderboardScore MakeScore(int32_t points, const std::vector<uint8_t>& data) {
    LeaderboardScore score;
    memset(&score, 0, sizeof(score));
    score.points = points;
    score.dataLength = static_cast<int32_t>(data.size());
    if (!data.empty()) {
        memcpy(score.data, data.data(), data.size());
    }
    return score;
}

const char* TestModule::Call(const char* command, const char* parameters) {
    calls.push_back(std::string(command != nullptr ? command : "(null)") + "|" +
                    (parameters != nullptr ? parameters : "(null)"));
    return callAnswer;
}
