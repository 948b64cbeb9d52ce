// The local leaderboards against SQLite, in the same run: 100,000 submissions over 10
// categories that are each at their cap of 100 scores, then 100,000 requests of 10 scores.
// The engine goes through the leaderboards sub-table as a program would (scrambled saves, as
// outside developer mode); SQLite does the same work: a transaction per submission (insert,
// count, delete the worst past 100) with an index on (category, points), WAL and
// synchronous=OFF (the engine's saves do not sync either), and per request the same ordered
// LIMIT/OFFSET query and the count. Prints the time per operation of both and their ratios.
// Files go to the temporary folder (TMPDIR): a disk file system, or tmpfs, whose target differs.
#include <benchmark/benchmark.h>
#include <linux/magic.h>
#include <sqlite3.h>
#include <sys/vfs.h>

#include <cstdio>
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
const int64_t kOperations = 100000;
const int32_t kRequestedScores = 10;

std::filesystem::path g_folder;
std::string g_categories[kCategoryCount];

// Points and ranks from a fixed sequence, the same for both sides.
uint32_t g_seed = 12345;
int32_t NextPoints() {
    g_seed = g_seed * 1103515245u + 12345u;
    return static_cast<int32_t>((g_seed >> 8) % 1000000);
}

// ---- The engine ----

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

void EngineSubmit(int64_t i) {
    LeaderboardScore score;
    memset(&score, 0, sizeof(score));
    score.points = NextPoints();
    score.dataLength = 4;
    memcpy(score.data, &i, 4);
    ZQ_Leaderboards_SubmitScore(0, &score, g_categories[i % kCategoryCount].c_str());
}

void EngineRequest(int64_t i) {
    int32_t first = 1 + static_cast<int32_t>(NextPoints() % (kCapacity - kRequestedScores + 1));
    ZQ_Leaderboards_RequestScores(first, kRequestedScores, 0, g_categories[i % kCategoryCount].c_str());
    if (i % 1000 == 999) {
        ZQI_ProcessEventQueue();  // a frame delivers and frees the answers
    }
}

// ---- SQLite ----

sqlite3* g_sqlite = nullptr;
sqlite3_stmt* g_begin = nullptr;
sqlite3_stmt* g_insert = nullptr;
sqlite3_stmt* g_count = nullptr;
sqlite3_stmt* g_deleteWorst = nullptr;
sqlite3_stmt* g_commit = nullptr;
sqlite3_stmt* g_select = nullptr;

bool Prepare(const char* sql, sqlite3_stmt** statement) {
    return sqlite3_prepare_v2(g_sqlite, sql, -1, statement, nullptr) == SQLITE_OK;
}

bool StartSqlite() {
    std::string path = (g_folder / "scores.sqlite").string();
    if (sqlite3_open(path.c_str(), &g_sqlite) != SQLITE_OK) {
        return false;
    }
    const char* setup =
        "PRAGMA journal_mode=WAL; PRAGMA synchronous=OFF;"
        "CREATE TABLE scores (id INTEGER PRIMARY KEY, category TEXT NOT NULL, points INTEGER NOT NULL,"
        " player TEXT NOT NULL, data BLOB);"
        "CREATE INDEX scores_by_points ON scores (category, points);";
    return sqlite3_exec(g_sqlite, setup, nullptr, nullptr, nullptr) == SQLITE_OK &&
           Prepare("BEGIN", &g_begin) &&
           Prepare("INSERT INTO scores (category, points, player, data) VALUES (?, ?, ?, ?)", &g_insert) &&
           Prepare("SELECT COUNT(*) FROM scores WHERE category = ?", &g_count) &&
           Prepare(
               "DELETE FROM scores WHERE id = (SELECT id FROM scores WHERE category = ? "
               "ORDER BY points ASC, id DESC LIMIT 1)",
               &g_deleteWorst) &&
           Prepare("COMMIT", &g_commit) &&
           Prepare(
               "SELECT points, player, data FROM scores WHERE category = ? "
               "ORDER BY points DESC, id ASC LIMIT ? OFFSET ?",
               &g_select);
}

void Step(sqlite3_stmt* statement) {
    while (sqlite3_step(statement) == SQLITE_ROW) {
    }
    sqlite3_reset(statement);
}

int64_t CountScores(const std::string& category) {
    sqlite3_bind_text(g_count, 1, category.c_str(), -1, SQLITE_STATIC);
    int64_t count = sqlite3_step(g_count) == SQLITE_ROW ? sqlite3_column_int64(g_count, 0) : 0;
    sqlite3_reset(g_count);
    return count;
}

void SqliteSubmit(int64_t i) {
    const std::string& category = g_categories[i % kCategoryCount];
    Step(g_begin);
    sqlite3_bind_text(g_insert, 1, category.c_str(), -1, SQLITE_STATIC);
    sqlite3_bind_int(g_insert, 2, NextPoints());
    sqlite3_bind_text(g_insert, 3, "2024-05-01 10:30", -1, SQLITE_STATIC);
    sqlite3_bind_blob(g_insert, 4, &i, 4, SQLITE_STATIC);
    Step(g_insert);
    if (CountScores(category) > kCapacity) {
        sqlite3_bind_text(g_deleteWorst, 1, category.c_str(), -1, SQLITE_STATIC);
        Step(g_deleteWorst);
    }
    Step(g_commit);
}

void SqliteRequest(int64_t i) {
    const std::string& category = g_categories[i % kCategoryCount];
    int32_t first = 1 + static_cast<int32_t>(NextPoints() % (kCapacity - kRequestedScores + 1));
    sqlite3_bind_text(g_select, 1, category.c_str(), -1, SQLITE_STATIC);
    sqlite3_bind_int(g_select, 2, kRequestedScores);
    sqlite3_bind_int(g_select, 3, first - 1);
    int32_t rows = 0;
    while (sqlite3_step(g_select) == SQLITE_ROW) {
        benchmark::DoNotOptimize(sqlite3_column_int(g_select, 0));
        benchmark::DoNotOptimize(sqlite3_column_text(g_select, 1));
        benchmark::DoNotOptimize(sqlite3_column_blob(g_select, 2));
        ++rows;
    }
    sqlite3_reset(g_select);
    benchmark::DoNotOptimize(rows + CountScores(category));
}

// ---- The runs: each side fills its categories to the cap first, untimed ----

template <void (*Submit)(int64_t)>
void FillToCapacity() {
    for (int64_t i = 0; i < kCategoryCount * kCapacity; ++i) {
        Submit(i);
    }
}

template <void (*Operation)(int64_t)>
void Run(benchmark::State& state) {
    int64_t i = 0;
    for (auto _ : state) {
        Operation(i++);
    }
}

void BM_EngineSubmit(benchmark::State& state) {
    FillToCapacity<EngineSubmit>();
    Run<EngineSubmit>(state);
}
void BM_SqliteSubmit(benchmark::State& state) {
    FillToCapacity<SqliteSubmit>();
    Run<SqliteSubmit>(state);
}
void BM_EngineRequest(benchmark::State& state) {
    Run<EngineRequest>(state);
}
void BM_SqliteRequest(benchmark::State& state) {
    Run<SqliteRequest>(state);
}

BENCHMARK(BM_EngineSubmit)->Iterations(kOperations)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SqliteSubmit)->Iterations(kOperations)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EngineRequest)->Iterations(kOperations)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SqliteRequest)->Iterations(kOperations)->Unit(benchmark::kMicrosecond);

// Notes each benchmark's real time per operation for the summary.
class TimeReporter : public benchmark::ConsoleReporter {
public:
    double microseconds[4] = {0, 0, 0, 0};  // engine submit, SQLite submit, engine request, SQLite request

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        static const char* const kNames[4] = {"BM_EngineSubmit", "BM_SqliteSubmit", "BM_EngineRequest",
                                              "BM_SqliteRequest"};
        for (const Run& run : runs) {
            for (int i = 0; i < 4; ++i) {
                if (run.benchmark_name().rfind(kNames[i], 0) == 0 && !run.error_occurred) {
                    microseconds[i] = run.GetAdjustedRealTime();
                }
            }
        }
    }
};

// True when folder lies on tmpfs (set TMPDIR to a tmpfs folder to run there).
bool IsMemoryFileSystem(const std::filesystem::path& folder) {
    struct statfs info;
    return statfs(folder.string().c_str(), &info) == 0 && info.f_type == TMPFS_MAGIC;
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    g_folder = std::filesystem::temp_directory_path() / "zq_bench_services";
    std::error_code ignored;
    std::filesystem::remove_all(g_folder, ignored);
    std::filesystem::create_directories(g_folder);
    if (!StartEngine() || !StartSqlite()) {
        std::fprintf(stderr, "could not set up the benchmark in %s\n", g_folder.string().c_str());
        return 1;
    }
    TimeReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double* t = reporter.microseconds;
    // Saving costs a disk file system far more than a memory one, for both sides alike.
    bool memoryFileSystem = IsMemoryFileSystem(g_folder);
    std::printf("submission: engine %.1f us, SQLite %.1f us, ratio %.2f (target: at most %d on %s)\n", t[0],
                t[1], t[1] > 0 ? t[0] / t[1] : 0.0, memoryFileSystem ? 10 : 20,
                memoryFileSystem ? "tmpfs" : "a disk file system");
    std::printf("request:    engine %.1f us, SQLite %.1f us, ratio %.2f (target: at most 1.5)\n", t[2], t[3],
                t[3] > 0 ? t[2] / t[3] : 0.0);
    ZQI_ProcessEventQueue();
    ZQI_ForgetExtensionModules();
    delete g_local;
    sqlite3_close_v2(g_sqlite);
    std::filesystem::remove_all(g_folder, ignored);
    return 0;
}
