// Another instance of the game for TwoInstancesSavingUserFilesTest: arguments user folder,
// "leaderboards" or "cloud", tag, rounds, sync folder. Writes "ready-<tag>" there once it has read
// the file; saves round r (UserFileRounds.h) once "go-<r>" is there and writes "<tag>-<r>": "1" for
// success, "0" when an error or warning named the file. Exit code 0 when every round ran.
#include <cstdlib>
#include <cstring>
#include <string>

#include "InstanceRounds.h"
#include "UserFileRounds.h"
#include "core/ApiTable.h"
#include "core/Console.h"
#include "core/CoreState.h"
#include "core/Log.h"
#include "core/NamedMutex.h"
#include "data/DataManager.h"
#include "filesystem/FileSystemTable.h"
#include "filesystem/SchemeRoots.h"
#include "services/LeaderboardsTable.h"
#include "services/LocalLeaderboardsDatabase.h"
#include "services/ServiceTables.h"
#include "services/SimulatedCloud.h"

// Whether a line of level 1 or more (popups too) naming the file was logged after this line.
static bool LoggedAbout(const char* name, uint32_t after) {
    const Console* console = ZQI_GetConsole();
    bool logged = false;
    for (int32_t i = 0; i < console->lines.count; ++i) {
        const ConsoleLine& line = console->lines.data[i];
        logged |=
            line.lineNumber > after && line.level >= 1 && line.text != nullptr && strstr(line.text, name);
    }
    return logged;
}

int main(int argc, char** argv) {
    if (argc != 6) {
        return 2;
    }
    const std::string sync = argv[5], key(1, argv[3][0]);
    const bool leaderboards = strcmp(argv[2], "leaderboards") == 0;
    const int rounds = atoi(argv[4]);
    ZQI_BuildApiTables();
    ZQI_CreateCoreMutexes();
    ZQI_ConnectServiceTables();
    if (!ZQI_InitializeFileSystems()) {
        return 2;
    }
    ZQI_SetSchemeRoot(SCHEME_USER, argv[1]);
    g_core.consoleEnabled = 1;
    g_core.logVerboseLevel = 0;
    LogSettings settings = {};
    settings.loggingEnabled = true;
    settings.programId = "user_file_child";
    ZQI_StartLog(ZQI_GetConsole(), settings);
    const char* name = leaderboards ? "leaderboards-db.xml" : "simulated.cloud";
    LocalLeaderboardsDatabase local = {nullptr, nullptr, true, false};
    SimulatedCloudImplementation cloud;
    if (leaderboards) {
        local.mutex = ZQI_CreateEngineMutex("LOCAL_LEADERBOARDS");
        if ((local.database = ZQI_OpenLocalLeaderboardsDatabase()) == nullptr) {
            return 2;
        }
        for (int board = 0; board < UserFileRounds::kFillerBoards; ++board) {
            const std::string category = UserFileRounds::FillerBoard(key[0], board);
            for (int i = 0; i < UserFileRounds::kFillerScores; ++i) {
                LeaderboardScore score = {};
                score.points = UserFileRounds::FillerPoints(board, i);
                score.dataLength = UserFileRounds::kFillerDataBytes;
                local.WriteScore(&score, category.c_str());
            }
        }
        local.save = true;
    }
    if ((!leaderboards && !cloud.Initialize()) ||
        !InstanceRounds::ReportByRename(sync + "/ready-" + key, "")) {
        return 2;
    }
    for (int round = 0; round < rounds; ++round) {
        if (!InstanceRounds::WaitForFile(sync + "/go-" + std::to_string(round))) {
            return 3;
        }
        const uint32_t before = ZQI_GetConsole()->lineCounter;
        if (leaderboards) {
            LeaderboardScore score = {};
            score.points = round;
            local.WriteScore(&score, key.c_str());
        } else {
            const std::string blob = UserFileRounds::CloudBlob(key[0], round);
            cloud.Write(key.c_str(), blob.data(), static_cast<uint32_t>(blob.size()));
        }
        if (!InstanceRounds::ReportByRename(sync + "/" + key + "-" + std::to_string(round),
                                            LoggedAbout(name, before) ? "0" : "1")) {
            return 2;
        }
    }
    // Everything let go, so the leak check at exit finds nothing.
    DataManager::UnloadDatabaseByName(ZQI_LOCAL_LEADERBOARDS_FILE);
    DataManager::UnloadDatabaseByName(ZQI_LEADERBOARD_CATEGORIES_FILE);
    ZQI_StopLog(ZQI_GetConsole());
    ZQI_DestroyFileSystems();
    ZQI_ClearSchemeRoots();
    return 0;
}
