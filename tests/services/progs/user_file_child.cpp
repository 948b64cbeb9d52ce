// Another instance of the game for the tests of two instances saving one user file: in each round
// it saves the local leaderboards or the simulated cloud once, as UserFileRounds.h says.
// Arguments: user folder, "leaderboards" or "cloud", tag (one letter), rounds, sync folder. It
// writes "ready-<tag>" there once it has read the file, saves round r once "go-<r>" is there, and
// writes "<tag>-<r>": "1" when the save answered success, "0" when an error or warning named the
// file. Exit code 0 when every round ran.
#include <cstdio>
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

namespace {

// Whether a line of level 1 or more naming the file was logged since the line counter had this
// value (popups too, outside developer mode).
bool LoggedAbout(const char* name, uint32_t after) {
    const Console* console = ZQI_GetConsole();
    for (int32_t i = 0; i < console->lines.count; ++i) {
        const ConsoleLine& line = console->lines.data[i];
        if (line.lineNumber > after && line.level >= 1 && line.text != nullptr && strstr(line.text, name)) {
            return true;
        }
    }
    return false;
}

LeaderboardScore Score(int32_t points, int32_t dataBytes) {
    LeaderboardScore score;
    memset(&score, 0, sizeof(score));
    score.points = points;
    score.dataLength = dataBytes;
    for (int32_t i = 0; i < dataBytes; ++i) {
        score.data[i] = static_cast<uint8_t>(points + i * 7);
    }
    return score;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        return 2;
    }
    const std::string kind = argv[2], sync = argv[5];
    const char tag = argv[3][0];
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
    LogSettings settings;
    memset(&settings, 0, sizeof(settings));
    settings.loggingEnabled = true;
    settings.programId = "user_file_child";
    ZQI_StartLog(ZQI_GetConsole(), settings);

    const bool leaderboards = kind == "leaderboards";
    const char* name = leaderboards ? "leaderboards-db.xml" : "simulated.cloud";
    LocalLeaderboardsDatabase local = {nullptr, nullptr, true, false};
    SimulatedCloudImplementation cloud;
    if (leaderboards) {
        local.database = ZQI_OpenLocalLeaderboardsDatabase();
        local.mutex = ZQI_CreateEngineMutex("LOCAL_LEADERBOARDS");
        if (local.database == nullptr) {
            return 2;
        }
        for (int board = 0; board < UserFileRounds::kFillerBoards; ++board) {
            const std::string category = UserFileRounds::FillerBoard(tag, board);
            for (int i = 0; i < UserFileRounds::kFillerScores; ++i) {
                LeaderboardScore score =
                    Score(UserFileRounds::FillerPoints(board, i), UserFileRounds::kFillerDataBytes);
                local.WriteScore(&score, category.c_str());
            }
        }
        local.save = true;
    } else if (!cloud.Initialize()) {
        return 2;
    }
    if (!InstanceRounds::ReportByRename(sync + "/ready-" + std::string(1, tag), "")) {
        return 2;
    }
    const std::string key(1, tag);
    for (int round = 0; round < rounds; ++round) {
        const std::string blob = UserFileRounds::CloudBlob(tag, round);
        if (!InstanceRounds::WaitForFile(sync + "/go-" + std::to_string(round))) {
            return 3;
        }
        const uint32_t before = ZQI_GetConsole()->lineCounter;
        if (leaderboards) {
            LeaderboardScore score = Score(round, 0);
            local.WriteScore(&score, key.c_str());
        } else {
            cloud.Write(key.c_str(), blob.data(), static_cast<uint32_t>(blob.size()));
        }
        const bool failed = LoggedAbout(name, before);
        if (!InstanceRounds::ReportByRename(sync + "/" + key + "-" + std::to_string(round),
                                            failed ? "0" : "1")) {
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
