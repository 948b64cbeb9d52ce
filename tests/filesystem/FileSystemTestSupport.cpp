// Shared set-up of the file-system tests (see the header).
#include "FileSystemTestSupport.h"

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>

#include "core/ApiTable.h"
#include "core/CoreState.h"
#include "core/NamedMutex.h"
#include "filesystem/FileSystemApi.h"
#include "filesystem/FileSystemTable.h"
#include "filesystem/SchemeRoots.h"
#include "filesystem/SearchPaths.h"

namespace fs = std::filesystem;

// ---- Messages ------------------------------------------------------------------------------------

namespace {

// Messages may come from several threads at once.
std::mutex g_captureLock;

std::string FormatV(const char* format, va_list args) {
    char buffer[8192];
    vsnprintf(buffer, sizeof(buffer), format, args);
    return buffer;
}

int32_t RecordPrint(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::lock_guard<std::mutex> guard(g_captureLock);
    Captured().prints.push_back(FormatV(format, args));
    va_end(args);
    return 0;
}

int32_t RecordLog(int32_t level, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::lock_guard<std::mutex> guard(g_captureLock);
    Captured().logs.push_back(std::to_string(level) + ":" + FormatV(format, args));
    va_end(args);
    return 0;
}

int32_t RecordPopup(int32_t level, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::lock_guard<std::mutex> guard(g_captureLock);
    Captured().popups.push_back(std::to_string(level) + ":" + FormatV(format, args));
    va_end(args);
    return 0;
}

bool AnyContains(const std::vector<std::string>& texts, const std::string& text) {
    for (const std::string& candidate : texts) {
        if (candidate.find(text) != std::string::npos) {
            return true;
        }
    }
    return false;
}

}  // namespace

CapturedMessages& Captured() {
    static CapturedMessages messages;
    return messages;
}

void InstallMessageCapture() {
    ZQI_CreateCoreMutexes();
    ZQI_BuildApiTables();
    zq_api_t* api = ZQI_GetApi();
    api->Print = RecordPrint;
    api->Log = RecordLog;
    api->Popup = RecordPopup;
    Captured() = CapturedMessages();
}

bool AnyPrintContains(const std::string& text) {
    return AnyContains(Captured().prints, text);
}
bool AnyLogContains(const std::string& text) {
    return AnyContains(Captured().logs, text);
}
bool AnyPopupContains(const std::string& text) {
    return AnyContains(Captured().popups, text);
}

// ---- Native files --------------------------------------------------------------------------------

TempFolder::TempFolder() {
    static std::atomic<int> counter(0);
    std::error_code error;
    fs::path base = fs::temp_directory_path(error);
    for (int attempt = 0; attempt < 1000; ++attempt) {
        fs::path candidate =
            base / ("zq-fs-test-" + std::to_string(rand()) + "-" + std::to_string(counter++));
        if (fs::create_directory(candidate, error)) {
            path_ = candidate.generic_string();
            return;
        }
    }
    ADD_FAILURE() << "could not create a temporary folder";
}

TempFolder::~TempFolder() {
    std::error_code error;
    if (!path_.empty()) {
        fs::remove_all(fs::path(path_), error);
    }
}

void WriteNativeFile(const std::string& path, const std::string& bytes) {
    std::error_code error;
    fs::create_directories(fs::path(path).parent_path(), error);
    std::ofstream file(fs::path(path), std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadNativeFile(const std::string& path) {
    std::ifstream file(fs::path(path), std::ios::binary);
    std::ostringstream contents;
    contents << file.rdbuf();
    return contents.str();
}

bool NativeFileExists(const std::string& path) {
    std::error_code error;
    return fs::is_regular_file(fs::path(path), error);
}

std::vector<std::string> NativeFolderFiles(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator entry(fs::path(folder), error), end; !error && entry != end;
         entry.increment(error)) {
        if (entry->is_regular_file(error)) {
            names.push_back(entry->path().filename().string());
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool NativeFolderExists(const std::string& path) {
    std::error_code error;
    return fs::is_directory(fs::path(path), error);
}

void MakeNativeFolders(const std::string& path) {
    std::error_code error;
    fs::create_directories(fs::path(path), error);
}

// ---- PAK archives --------------------------------------------------------------------------------

namespace {

void PutU32(std::string& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

void SetU32(std::string& out, size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

}  // namespace

std::string BuildPAK(const std::vector<PAKEntryContent>& entries, int32_t totalSizeDelta) {
    std::string archive("PAK\0V11\0", 8);
    PutU32(archive, 0);  // directory offset, set below
    PutU32(archive, 0);  // total size, set below
    std::vector<uint32_t> offsets;
    for (const PAKEntryContent& entry : entries) {
        offsets.push_back(static_cast<uint32_t>(archive.size()));
        archive += entry.data;
    }
    uint32_t directoryOffset = static_cast<uint32_t>(archive.size());
    PutU32(archive, static_cast<uint32_t>(entries.size()));
    for (size_t i = 0; i < entries.size(); ++i) {
        archive += entries[i].name;
        archive.push_back('\0');
        PutU32(archive, offsets[i]);
        PutU32(archive, static_cast<uint32_t>(entries[i].data.size()));
        PutU32(archive, entries[i].time);
        PutU32(archive, entries[i].fourthWord);
    }
    SetU32(archive, 8, directoryOffset);
    SetU32(archive, 12, static_cast<uint32_t>(static_cast<int64_t>(archive.size()) + totalSizeDelta));
    return archive;
}

// ---- Engine API helpers --------------------------------------------------------------------------

std::vector<std::string> TakeStringList(zq_string_list_t* list) {
    std::vector<std::string> items;
    if (list == nullptr) {
        return items;
    }
    for (int32_t i = 0; i < list->count; ++i) {
        items.push_back(list->items[i] != nullptr ? list->items[i] : "");
    }
    ZQ_FreeStringList(list);
    return items;
}

std::string ReadThroughApi(const char* path) {
    zq_file_t* file = ZQ_FileSystem_OpenFile(path, "r");
    if (file == nullptr) {
        return "";
    }
    std::string bytes;
    char chunk[4096];
    uint64_t got;
    while ((got = ZQ_FileSystem_ReadFile(chunk, sizeof(chunk), file)) > 0) {
        bytes.append(chunk, static_cast<size_t>(got));
    }
    ZQ_FileSystem_CloseFile(file);
    return bytes;
}

bool WriteThroughApi(const char* path, const std::string& bytes, const char* mode) {
    zq_file_t* file = ZQ_FileSystem_OpenFile(path, mode);
    if (file == nullptr) {
        return false;
    }
    uint64_t written = ZQ_FileSystem_WriteFile(bytes.data(), bytes.size(), file);
    ZQ_FileSystem_CloseFile(file);
    return written == bytes.size();
}

// ---- Fixture -------------------------------------------------------------------------------------

void FileSystemTest::SetUp() {
    temp_.reset(new TempFolder());
    InstallMessageCapture();
    // The platform's user folders are looked up (and made) at initialisation: keep them here.
    userFolders_.reset(new ScopedUserFolders(temp_->Path()));
    ASSERT_TRUE(ZQI_InitializeFileSystems());
    const std::string user = temp_->Join("user");
    ZQI_SetSchemeRoot(SCHEME_RES, temp_->Join("res").c_str());
    ZQI_SetSchemeRoot(SCHEME_PROJECT, temp_->Join("res").c_str());
    ZQI_SetSchemeRoot(SCHEME_DOCS, temp_->Join("docs").c_str());
    ZQI_SetSchemeRoot(SCHEME_UGC, temp_->Join("ugc").c_str());
    ZQI_SetSchemeRoot(SCHEME_USER, user.c_str());
    ZQI_SetSchemeRoot(SCHEME_CACHE, (user + "/cache").c_str());
    ZQI_SetSchemeRoot(SCHEME_LOGS, (user + "/logs").c_str());
    ZQI_SetSchemeRoot(SCHEME_SAVE, (user + "/save").c_str());
    for (const char* folder : {"res", "docs", "ugc", "user/cache", "user/logs"}) {
        MakeNativeFolders(temp_->Join(folder));
    }
    Captured() = CapturedMessages();
}

void FileSystemTest::TearDown() {
    g_core.coreRunning = 0;
    g_core.developerMode = 0;
    ZQI_DestroyFileSystems();
    ZQI_ClearSearchPaths();
    ZQI_ClearSchemeRoots();
    userFolders_.reset();
    temp_.reset();
}

std::string FileSystemTest::Root(SchemeId scheme) const {
    return ZQI_GetSchemeRoot(scheme).CStr();
}

std::string FileSystemTest::NativePath(SchemeId scheme, const std::string& relative) const {
    return Root(scheme) + "/" + relative;
}
