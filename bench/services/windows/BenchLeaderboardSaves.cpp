// Measures, under Wine: what one submission to the local leaderboards costs in the Windows build
// (a report, not a test). Ten categories are first filled to their cap of 100 scores (untimed),
// then each timed submission stores a score, drops the worst and saves the whole scrambled file,
// as outside developer mode. The files go to a folder of their own in the temporary folder.
// Prints the submissions made in all, so that a count of disk syncs taken around the run (see
// run-leaderboard-saves-bench.sh) can be divided by them.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "LeaderboardsBenchEngine.h"

namespace {

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace

int main(int argc, char** argv) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / "zq_bench_leaderboard_saves";
    const int64_t saves = argc > 1 ? atoll(argv[1]) : 1500;
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    std::filesystem::create_directories(folder);
    if (saves <= 0 || !StartLeaderboardsBenchEngine(folder)) {
        std::fprintf(stderr, "could not set up the benchmark in %s\n", folder.string().c_str());
        return 1;
    }
    int64_t i = 0;
    for (; i < kBenchCategoryCount * kBenchCategoryCapacity; ++i) {
        SubmitBenchScore(i);
    }
    LARGE_INTEGER start;
    LARGE_INTEGER end;
    QueryPerformanceCounter(&start);
    for (int64_t timed = 0; timed < saves; ++timed, ++i) {
        SubmitBenchScore(i);
    }
    QueryPerformanceCounter(&end);
    std::printf("submissions: %lld in all (%d untimed to fill the categories)\n", static_cast<long long>(i),
                kBenchCategoryCount * kBenchCategoryCapacity);
    std::printf("submission with its save: %.1f us (mean of %lld)\n", Seconds(start, end) * 1e6 / saves,
                static_cast<long long>(saves));
    StopLeaderboardsBenchEngine();
    std::filesystem::remove_all(folder, ignored);
    return 0;
}
