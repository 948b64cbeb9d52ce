// The engine as the leaderboards benchmarks use it: the API tables, the file systems with res://
// and user:// in a folder of the benchmark's, a categories file of ten categories, and the local
// leaderboards as the resolved implementation, reached through the sub-table as a program would
// (scrambled saves, as outside developer mode). Shared by the host benchmark against SQLite and
// the Windows build's save benchmark.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

const int32_t kBenchCategoryCount = 10;
const int32_t kBenchCategoryCapacity = 100;

// False when the folder or the files cannot be set up, or the local leaderboards do not resolve.
bool StartLeaderboardsBenchEngine(const std::filesystem::path& folder);
void StopLeaderboardsBenchEngine();

// The category of submission i: the ten in turn.
const std::string& BenchCategory(int64_t i);
// Points from a fixed sequence, the same for every side of a comparison.
int32_t NextBenchPoints();
// Submission i: the next points and four data bytes, to its category.
void SubmitBenchScore(int64_t i);
