// The engine of the leaderboards benchmarks (see LeaderboardsBenchEngine.h).
#include "LeaderboardsBenchEngine.h"

#include <cstdio>
#include <cstring>

#include "core/ApiTable.h"
#include "core/CoreState.h"
#include "core/EventQueue.h"
#include "core/Features.h"
#include "core/NamedMutex.h"
#include "filesystem/FileSystemApi.h"
#include "filesystem/FileSystemTable.h"
#include "filesystem/SchemeRoots.h"
#include "services/ExtensionModules.h"
#include "services/LeaderboardsTable.h"
#include "services/LocalLeaderboards.h"
#include "services/ServiceTables.h"

namespace {

std::string g_categories[kBenchCategoryCount];
uint32_t g_seed = 12345;

class BenchModule final : public ExtensionModule {
public:
    BaseImplementation* local = nullptr;
    void Destroy(uint32_t) override {}
    const char* GetName() override { return "Bench"; }
    bool Initialize(zq_api_t*) override { return true; }
    void Shutdown() override {}
    void Update(float) override {}
    BaseImplementation* GetImplementation(ImplementationType type) override {
        return type == IMPLEMENTATION_LEADERBOARDS ? local : nullptr;
    }
};

LocalLeaderboardsImplementation* g_local = nullptr;
BenchModule g_module;

bool WriteCategories(const std::filesystem::path& path) {
    std::string categories = "<?xml version=\"1.0\"?>\n<root>\n<array id=\"CATEGORIES\">\n";
    for (int32_t i = 0; i < kBenchCategoryCount; ++i) {
        g_categories[i] = "category_" + std::to_string(i);
        categories += "<node id=\"" + g_categories[i] + "\"/>\n";
    }
    categories += "</array>\n</root>\n";
    FILE* file = fopen(path.string().c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    fwrite(categories.data(), 1, categories.size(), file);
    return fclose(file) == 0;
}

}  // namespace

bool StartLeaderboardsBenchEngine(const std::filesystem::path& folder) {
    ZQI_BuildApiTables();
    ZQI_ConnectServiceTables();
    ZQI_CreateCoreMutexes();
    if (!ZQI_InitializeFileSystems()) {
        return false;
    }
    std::error_code error;
    std::filesystem::create_directories(folder / "res" / "leaderboards", error);
    std::filesystem::create_directories(folder / "user", error);
    ZQI_SetSchemeRoot(SCHEME_RES, (folder / "res").generic_string().c_str());
    ZQI_SetSchemeRoot(SCHEME_USER, (folder / "user").generic_string().c_str());
    if (!WriteCategories(folder / "res" / "leaderboards" / "leaderboards.xml")) {
        return false;
    }
    ZQ_FileSystem_AddSearchPath("res://", false);
    g_core.developerMode = 0;  // scrambled saves, as players have them
    ZQI_SetFeatureText(FEATURE_TEXT_COMMAND_LINE, "LEADERBOARDS");
    g_local = new LocalLeaderboardsImplementation();
    g_module.local = g_local;
    RegisterExtensionModule(&g_module);
    ResolveImplementations();
    return ZQI_GetLeaderboardsImplementation() == g_local;
}

void StopLeaderboardsBenchEngine() {
    ZQI_ProcessEventQueue();
    ZQI_ForgetExtensionModules();
    delete g_local;
    g_local = nullptr;
}

const std::string& BenchCategory(int64_t i) {
    return g_categories[i % kBenchCategoryCount];
}

int32_t NextBenchPoints() {
    g_seed = g_seed * 1103515245u + 12345u;
    return static_cast<int32_t>((g_seed >> 8) % 1000000);
}

void SubmitBenchScore(int64_t i) {
    LeaderboardScore score;
    memset(&score, 0, sizeof(score));
    score.points = NextBenchPoints();
    score.dataLength = 4;
    memcpy(score.data, &i, 4);
    ZQ_Leaderboards_SubmitScore(0, &score, BenchCategory(i).c_str());
}
