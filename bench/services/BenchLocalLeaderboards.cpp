// The local leaderboards against SQLite, in the same run: 100,000 submissions over 10
// categories that are each at their cap of 100 scores, then 100,000 requests of 10 scores.
// The engine goes through the leaderboards sub-table as a program would (scrambled saves, as
// outside developer mode); SQLite does the same work: a transaction per submission (insert,
// count, delete the worst past 100) with an index on (category, points), WAL and
// synchronous=OFF (the engine's saves do not sync either), and per request the same ordered
// LIMIT/OFFSET query and the count. Prints the time per operation of both and their ratios.
// Files go to the temporary folder (TMPDIR): a disk file system, or tmpfs, whose target differs.
// ZQ_BENCH_OPERATIONS sets a smaller count, for runs under an instruction counter such as
// callgrind (--benchmark_filter=Engine leaves SQLite out).
#include <benchmark/benchmark.h>
#include <linux/magic.h>
#include <sqlite3.h>
#include <sys/vfs.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "LeaderboardsBenchEngine.h"
#include "core/EventQueue.h"
#include "services/LeaderboardsTable.h"

namespace {

const int64_t kDefaultOperations = 100000;
const int32_t kRequestedScores = 10;

std::filesystem::path g_folder;

// ---- The engine ----

void EngineSubmit(int64_t i) {
    SubmitBenchScore(i);
}

void EngineRequest(int64_t i) {
    int32_t first =
        1 + static_cast<int32_t>(NextBenchPoints() % (kBenchCategoryCapacity - kRequestedScores + 1));
    ZQ_Leaderboards_RequestScores(first, kRequestedScores, 0, BenchCategory(i).c_str());
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
    const std::string& category = BenchCategory(i);
    Step(g_begin);
    sqlite3_bind_text(g_insert, 1, category.c_str(), -1, SQLITE_STATIC);
    sqlite3_bind_int(g_insert, 2, NextBenchPoints());
    sqlite3_bind_text(g_insert, 3, "2024-05-01 10:30", -1, SQLITE_STATIC);
    sqlite3_bind_blob(g_insert, 4, &i, 4, SQLITE_STATIC);
    Step(g_insert);
    if (CountScores(category) > kBenchCategoryCapacity) {
        sqlite3_bind_text(g_deleteWorst, 1, category.c_str(), -1, SQLITE_STATIC);
        Step(g_deleteWorst);
    }
    Step(g_commit);
}

void SqliteRequest(int64_t i) {
    const std::string& category = BenchCategory(i);
    int32_t first =
        1 + static_cast<int32_t>(NextBenchPoints() % (kBenchCategoryCapacity - kRequestedScores + 1));
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
    for (int64_t i = 0; i < kBenchCategoryCount * kBenchCategoryCapacity; ++i) {
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

// The operations of each benchmark: ZQ_BENCH_OPERATIONS when it is a positive count.
int64_t OperationCount() {
    const char* text = std::getenv("ZQ_BENCH_OPERATIONS");
    long long count = text != nullptr ? std::atoll(text) : 0;
    return count > 0 ? count : kDefaultOperations;
}

void RegisterBenchmarks() {
    const int64_t operations = OperationCount();
    benchmark::RegisterBenchmark("BM_EngineSubmit", BM_EngineSubmit)
        ->Iterations(operations)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("BM_SqliteSubmit", BM_SqliteSubmit)
        ->Iterations(operations)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("BM_EngineRequest", BM_EngineRequest)
        ->Iterations(operations)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("BM_SqliteRequest", BM_SqliteRequest)
        ->Iterations(operations)
        ->Unit(benchmark::kMicrosecond);
}

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
    RegisterBenchmarks();
    benchmark::Initialize(&argc, argv);
    g_folder = std::filesystem::temp_directory_path() / "zq_bench_services";
    std::error_code ignored;
    std::filesystem::remove_all(g_folder, ignored);
    std::filesystem::create_directories(g_folder);
    if (!StartLeaderboardsBenchEngine(g_folder) || !StartSqlite()) {
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
    StopLeaderboardsBenchEngine();
    sqlite3_close_v2(g_sqlite);
    std::filesystem::remove_all(g_folder, ignored);
    return 0;
}
