// Scratch folders and the engine's file systems for tests (see EngineTestFiles.h).
#include "EngineTestFiles.h"

#include <cstdlib>
#include <filesystem>

#ifdef _WIN32
#include <process.h>
#define ZQ_TEST_PROCESS_ID _getpid()
#else
#include <unistd.h>
#define ZQ_TEST_PROCESS_ID getpid()
#endif

#include "core/ApiTable.h"
#include "core/NamedMutex.h"
#include "filesystem/FileSystemTable.h"
#include "filesystem/SchemeRoots.h"
#include "filesystem/SearchPaths.h"

namespace fs = std::filesystem;

namespace EngineTest {

std::string ProcessScratchFolder(const char* name) {
    fs::path folder = fs::temp_directory_path() / (std::string(name) + "_" + std::to_string(ZQ_TEST_PROCESS_ID));
    fs::create_directories(folder);
    return folder.generic_string();
}

ScopedUserFolders::ScopedUserFolders(const std::string& folder) : hadHome_(false), hadDataHome_(false) {
#if !defined(_WIN32)
    const char* home = getenv("HOME");
    const char* dataHome = getenv("XDG_DATA_HOME");
    hadHome_ = home != nullptr;
    hadDataHome_ = dataHome != nullptr;
    savedHome_ = home != nullptr ? home : "";
    savedDataHome_ = dataHome != nullptr ? dataHome : "";
    setenv("HOME", (folder + "/home").c_str(), 1);
    setenv("XDG_DATA_HOME", (folder + "/appdata").c_str(), 1);
#else
    (void)folder;
#endif
}

ScopedUserFolders::~ScopedUserFolders() {
#if !defined(_WIN32)
    if (hadHome_) {
        setenv("HOME", savedHome_.c_str(), 1);
    } else {
        unsetenv("HOME");
    }
    if (hadDataHome_) {
        setenv("XDG_DATA_HOME", savedDataHome_.c_str(), 1);
    } else {
        unsetenv("XDG_DATA_HOME");
    }
#endif
}

FileSystemsEnvironment::FileSystemsEnvironment(const char* scratchName, std::initializer_list<ScratchRoot> roots)
    : scratch_(ProcessScratchFolder(scratchName)), roots_(), rootCount_(0), userFolders_(nullptr) {
    for (const ScratchRoot& root : roots) {
        if (rootCount_ < static_cast<int>(sizeof(roots_) / sizeof(roots_[0]))) {
            roots_[rootCount_++] = root;
        }
    }
}

FileSystemsEnvironment::~FileSystemsEnvironment() { delete userFolders_; }

std::string FileSystemsEnvironment::ScratchPath(const char* relative) const {
    return (fs::path(scratch_) / relative).generic_string();
}

void FileSystemsEnvironment::SetUp() {
    ZQI_BuildApiTables();
    ZQI_CreateCoreMutexes();
    userFolders_ = new ScopedUserFolders(scratch_);
    ASSERT_TRUE(ZQI_InitializeFileSystems());
    for (int i = 0; i < rootCount_; ++i) {
        const std::string folder = ScratchPath(roots_[i].relativeFolder);
        fs::create_directories(fs::path(folder));
        ZQI_SetSchemeRoot(roots_[i].scheme, folder.c_str());
    }
}

void FileSystemsEnvironment::TearDown() {
    ZQI_DestroyFileSystems();
    ZQI_ClearSearchPaths();
    ZQI_ClearSchemeRoots();
    delete userFolders_;
    userFolders_ = nullptr;
    ZQI_DeleteCoreMutexes();
    std::error_code ignored;
    fs::remove_all(fs::path(scratch_), ignored);
}

}  // namespace EngineTest
