// What a test and the other instances of the game it starts (the child programs under tests/*/progs)
// share when they save one file in rounds: the bytes an instance saves in a round, and the files
// through which the test starts a round and an instance reports it. Header only: the children link
// no test framework.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

namespace InstanceRounds {

// Different at every position and in every round, and of changing length, so that a file written
// in place both grows and shrinks and a mix of two saves is never taken for one.
inline std::string RoundBytes(char tag, int round) {
    static const size_t kSizes[] = {96 * 1024, 160 * 1024, 32 * 1024, 256 * 1024, 64 * 1024};
    const size_t size = kSizes[(round + (tag - 'A') * 2) % 5] + static_cast<size_t>(round);
    std::string bytes = std::string(1, tag) + "#" + std::to_string(round) + "|";
    while (bytes.size() < size) {
        bytes += std::to_string(bytes.size()) + tag;
    }
    bytes.resize(size);
    return bytes;
}

// Looks again at once rather than sleeping in between, so that both instances start their saves
// within a few microseconds of each other. False after a minute without the file.
inline bool WaitForFile(const std::string& path) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < limit) {
        if (FILE* file = fopen(path.c_str(), "rb")) {
            fclose(file);
            return true;
        }
        std::this_thread::yield();
    }
    return false;
}

// Written under another name and then renamed, so the test never reads half a report.
inline bool ReportByRename(const std::string& path, const std::string& text) {
    const std::string part = path + ".part";
    FILE* out = fopen(part.c_str(), "wb");
    const bool stored = out != nullptr && fwrite(text.data(), 1, text.size(), out) == text.size();
    return out != nullptr && fclose(out) == 0 && stored && rename(part.c_str(), path.c_str()) == 0;
}

}  // namespace InstanceRounds
