// Fuzz target: any bytes as the local leaderboards database file (plain or scrambled), read as
// the engine reads it, then every category answered in two ranges, every stored score read,
// and one more score written into each category (which drops the worst past the cap).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/ApiTable.h"
#include "core/EventQueue.h"
#include "data/DataManager.h"
#include "data/XMLBlockReader.h"
#include "services/LocalLeaderboardsDatabase.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    ZQI_BuildApiTables();
    return 0;
}

namespace {

void AnswerEveryCategory(LocalLeaderboardsDatabase& local, DMDatabase& database) {
    for (int32_t i = 0; i < database.arrays.count; ++i) {
        const char* category = database.arrays[i]->id;
        local.Answer(1, 1000, 0, category);
        local.Answer(3, 5, 0, category);
        for (const DMNode* node : database.arrays[i]->nodes) {
            LeaderboardScore score;
            ZQI_ReadLocalScore(node, &score);
            if (score.dataLength < 0 || score.dataLength > static_cast<int32_t>(sizeof(score.data))) {
                abort();
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > INT32_MAX) {
        return 0;
    }
    uint8_t* image = static_cast<uint8_t*>(malloc(size + 1));
    memcpy(image, data, size);
    image[size] = 0;
    XMLBlockReader reader;
    DMDatabase database;
    if (!reader.OpenImage("user://leaderboards-db.xml", image, static_cast<int32_t>(size)) ||
        !database.ParseXML(reader)) {
        return 0;
    }
    LocalLeaderboardsDatabase local = {&database, nullptr, true, false};
    AnswerEveryCategory(local, database);
    for (int32_t i = 0; i < database.arrays.count; ++i) {
        LeaderboardScore score;
        memset(&score, 0, sizeof(score));
        score.points = static_cast<int32_t>(size);
        score.dataLength = 2;
        local.WriteScore(&score, database.arrays[i]->id);
    }
    ZQI_ReleaseEventQueue();  // frees the answers' payloads
    // The categories file the answers looked for (there is none): loaded anew for each input.
    DataManager::UnloadDatabaseByName("leaderboards/leaderboards.xml");
    return 0;
}
