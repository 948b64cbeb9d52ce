// Scratch folders and the engine's real file systems for tests that read and write through the
// file-system API: one scratch folder per test process (parallel runs never share files), the
// platform's user folders kept inside it, and a global environment that starts the engine as
// start-up leaves it for file access (API tables, core mutexes, file systems with chosen roots).
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "filesystem/VirtualPath.h"

namespace EngineTest {

// "<temp>/<name>_<process id>", made on first use ("/" separators).
std::string ProcessScratchFolder(const char* name);

// Host build: points the platform's user folders (HOME, XDG_DATA_HOME) into a folder for as long
// as it lives, and restores them afterwards. Nothing on Windows, where the tests use the real ones.
class ScopedUserFolders {
public:
    explicit ScopedUserFolders(const std::string& folder);
    ~ScopedUserFolders();
    ScopedUserFolders(const ScopedUserFolders&) = delete;
    ScopedUserFolders& operator=(const ScopedUserFolders&) = delete;

private:
    std::string savedHome_;
    std::string savedDataHome_;
    bool hadHome_;
    bool hadDataHome_;
};

// A scheme root below the scratch folder.
struct ScratchRoot {
    SchemeId scheme;
    const char* relativeFolder;
};

// Builds the API tables, makes the core mutexes and starts the file systems with the given roots
// below the process's scratch folder; tears all of it down and removes the folder at the end.
class FileSystemsEnvironment : public ::testing::Environment {
public:
    FileSystemsEnvironment(const char* scratchName, std::initializer_list<ScratchRoot> roots);
    ~FileSystemsEnvironment() override;

    void SetUp() override;
    void TearDown() override;

    const std::string& ScratchFolder() const { return scratch_; }
    // The native folder of a path below the scratch folder ("/" separators).
    std::string ScratchPath(const char* relative) const;

private:
    std::string scratch_;
    ScratchRoot roots_[8];
    int rootCount_;
    ScopedUserFolders* userFolders_;
};

}  // namespace EngineTest
