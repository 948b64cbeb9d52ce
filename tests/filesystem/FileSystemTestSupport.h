// Shared set-up of the file-system tests: messages captured from the engine API's print, log and
// popup slots, temporary native folders, a writer of PAK archives (the engine itself writes
// none), and a fixture with the real file systems over temporary scheme roots.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "EngineTestFiles.h"
#include "filesystem/FileSystem.h"
#include "filesystem/VirtualPath.h"

// ---- Messages ------------------------------------------------------------------------------------

struct CapturedMessages {
    std::vector<std::string> prints;
    std::vector<std::string> logs;    // "<level>:<text>"
    std::vector<std::string> popups;  // "<level>:<text>"
};

CapturedMessages& Captured();
// Builds the engine API tables and points Print, Log and Popup at recorders; clears the record.
void InstallMessageCapture();
bool AnyPrintContains(const std::string& text);
bool AnyLogContains(const std::string& text);
bool AnyPopupContains(const std::string& text);

// ---- Native files --------------------------------------------------------------------------------

// A new, empty folder under the system's temporary folder; removed with its contents.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    // The folder with "/" separators and no trailing "/".
    const std::string& Path() const { return path_; }
    std::string Join(const std::string& relative) const { return path_ + "/" + relative; }

private:
    std::string path_;
};

// Writes the file, making its folders first.
void WriteNativeFile(const std::string& path, const std::string& bytes);
// The file's bytes; "" when it cannot be read.
std::string ReadNativeFile(const std::string& path);
bool NativeFileExists(const std::string& path);
bool NativeFolderExists(const std::string& path);
// The names of the files in the folder as the disk has them (nothing hidden), sorted.
std::vector<std::string> NativeFolderFiles(const std::string& folder);
void MakeNativeFolders(const std::string& path);

using EngineTest::ScopedUserFolders;

// ---- PAK archives --------------------------------------------------------------------------------

struct PAKEntryContent {
    std::string name;
    std::string data;
    uint32_t time = 0;
    uint32_t fourthWord = 0;
};

// The archive bytes: magic, directory offset, total size, the entries' data, then the directory.
// totalSizeDelta is added to the stored total size (to make lying archives).
std::string BuildPAK(const std::vector<PAKEntryContent>& entries, int32_t totalSizeDelta = 0);

// ---- Engine API helpers --------------------------------------------------------------------------

// The list's items as texts, and the list released.
std::vector<std::string> TakeStringList(zq_string_list_t* list);
// Reads a whole file through the API; "" when it cannot be opened.
std::string ReadThroughApi(const char* path);
// Writes a whole file through the API with the mode ("w" or "a"); false when it cannot be opened.
bool WriteThroughApi(const char* path, const std::string& bytes, const char* mode = "w");

// ---- Fixture -------------------------------------------------------------------------------------

// The real file systems (ZQI_InitializeFileSystems), then every folder scheme rooted in a
// temporary folder: res, project -> <tmp>/res; docs -> <tmp>/docs; ugc -> <tmp>/ugc; user ->
// <tmp>/user with cache, logs and save below it. The folders exist; the search paths are empty.
class FileSystemTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The native root of a scheme.
    std::string Root(SchemeId scheme) const;
    // "<root of scheme>/<relative>".
    std::string NativePath(SchemeId scheme, const std::string& relative) const;

    std::unique_ptr<TempFolder> temp_;
    std::unique_ptr<ScopedUserFolders> userFolders_;
};
