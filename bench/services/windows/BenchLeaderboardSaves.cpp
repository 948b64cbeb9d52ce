// Measures, under Wine: what one submission to the local leaderboards costs in the Windows build
// (a report, not a test). Ten categories are first filled to their cap of 100 scores (untimed),
// then each timed submission stores a score, drops the worst and saves the whole scrambled file,
// as outside developer mode. The files go to a folder of their own in the temporary folder.
// Prints the submissions made in all, so that a count of disk syncs taken around the run (see
// run-leaderboard-saves-bench.sh) can be divided by them.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

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

const int32_t kCategoryCount = 10;
const int32_t kCapacity = 100;

std::filesystem::path g_folder;
std::string g_categories[kCategoryCount];

uint32_t g_seed = 12345;
int32_t NextPoints() {
    g_seed = g_seed * 1103515245u + 12345u;
    return static_cast<int32_t>((g_seed >> 8) % 1000000);
}

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

bool StartEngine() {
    ZQI_BuildApiTables();
    ZQI_ConnectServiceTables();
    ZQI_CreateCoreMutexes();
    if (!ZQI_InitializeFileSystems()) {
        return false;
    }
    std::filesystem::create_directories(g_folder / "res" / "leaderboards");
    std::filesystem::create_directories(g_folder / "user");
    ZQI_SetSchemeRoot(SCHEME_RES, (g_folder / "res").generic_string().c_str());
    ZQI_SetSchemeRoot(SCHEME_USER, (g_folder / "user").generic_string().c_str());
    std::string categories = "<?xml version=\"1.0\"?>\n<root>\n<array id=\"CATEGORIES\">\n";
    for (int32_t i = 0; i < kCategoryCount; ++i) {
        g_categories[i] = "category_" + std::to_string(i);
        categories += "<node id=\"" + g_categories[i] + "\"/>\n";
    }
    categories += "</array>\n</root>\n";
    FILE* file = fopen((g_folder / "res" / "leaderboards" / "leaderboards.xml").string().c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    fwrite(categories.data(), 1, categories.size(), file);
    fclose(file);
    ZQ_FileSystem_AddSearchPath("res://", false);
    g_core.developerMode = 0;  // scrambled saves, as players have them
    ZQI_SetFeatureText(FEATURE_TEXT_COMMAND_LINE, "LEADERBOARDS");
    g_local = new LocalLeaderboardsImplementation();
    g_module.local = g_local;
    RegisterExtensionModule(&g_module);
    ResolveImplementations();
    return ZQI_GetLeaderboardsImplementation() == g_local;
}

void Submit(int64_t i) {
    LeaderboardScore score;
    memset(&score, 0, sizeof(score));
    score.points = NextPoints();
    score.dataLength = 4;
    memcpy(score.data, &i, 4);
    ZQ_Leaderboards_SubmitScore(0, &score, g_categories[i % kCategoryCount].c_str());
}

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace

int main(int argc, char** argv) {
    const int64_t saves = argc > 1 ? atoll(argv[1]) : 1500;
    g_folder = std::filesystem::temp_directory_path() / "zq_bench_leaderboard_saves";
    std::error_code ignored;
    std::filesystem::remove_all(g_folder, ignored);
    std::filesystem::create_directories(g_folder);
    if (saves <= 0 || !StartEngine()) {
        std::fprintf(stderr, "could not set up the benchmark in %s\n", g_folder.string().c_str());
        return 1;
    }
    int64_t i = 0;
    for (; i < kCategoryCount * kCapacity; ++i) {
        Submit(i);
    }
    LARGE_INTEGER start;
    LARGE_INTEGER end;
    QueryPerformanceCounter(&start);
    for (int64_t timed = 0; timed < saves; ++timed, ++i) {
        Submit(i);
    }
    QueryPerformanceCounter(&end);
    std::printf("submissions: %lld in all (%d untimed to fill the categories)\n", static_cast<long long>(i),
                kCategoryCount * kCapacity);
    std::printf("submission with its save: %.1f us (mean of %lld)\n", Seconds(start, end) * 1e6 / saves,
                static_cast<long long>(saves));
    ZQI_ProcessEventQueue();
    ZQI_ForgetExtensionModules();
    delete g_local;
    std::filesystem::remove_all(g_folder, ignored);
    return 0;
}
