// How the data manager reaches its files: through the file-system API, by virtual path or by a
// plain name along the search paths, byte for byte, closing every handle it opens, and refusing
// files that come out short or too large and saves that do not write every byte.
#include "DataTestSupport.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "core/ApiTable.h"
#include "core/CoreState.h"
#include "data/DataFileAccess.h"
#include "filesystem/FileSystemApi.h"
#include "filesystem/FileSystemTable.h"

namespace {

const char kTwoArrays[] =
    "<?xml version=\"1.0\"?>\n<root>\n<array id=\"A\"><node id=\"a1\" v=\"1\"/></array>\n"
    "<array id=\"B\"><node id=\"b1\"/></array>\n</root>\n";

// ---- A scripted file system: files that claim a size, give fewer bytes or take fewer ----

struct Script {
    uint64_t claimedSize = 0;  // the size a file reports at opening
    uint64_t readable = 0;     // bytes its reads give at most
    uint64_t room = 0;         // bytes its writes take at most
    int32_t opened = 0;
    int32_t closed = 0;
    int32_t reads = 0;
    uint64_t written = 0;
};

class ScriptedFile : public ZQFileSystem::File {
public:
    ScriptedFile(Script* script, SchemeId scheme, bool writable)
        : File(writable ? 0 : script->claimedSize, 0, scheme, writable), script_(script) {}

    uint64_t Tell() override { return position_; }
    void Seek(int64_t, int32_t) override {}

    uint64_t Read(void* buffer, uint64_t count) override {
        ++script_->reads;
        uint64_t step = std::min(count, script_->readable - std::min(script_->readable, position_));
        memset(buffer, 'x', static_cast<size_t>(step));
        position_ += step;
        return step;
    }

    uint64_t Write(const void*, uint64_t count) override {
        uint64_t step = std::min(count, script_->room - std::min(script_->room, script_->written));
        script_->written += step;
        return step;
    }

private:
    Script* script_;
    uint64_t position_ = 0;
};

class ScriptedSystem : public ZQFileSystem::System {
public:
    explicit ScriptedSystem(Script* script) : script_(script) {}

    ZQFileSystem::File* OpenFile(SchemeId scheme, const char*, ZQFileSystem::FileMode mode) override {
        ++script_->opened;
        return new ScriptedFile(script_, scheme, mode != ZQFileSystem::FILE_MODE_READ);
    }

    bool CloseFile(ZQFileSystem::File* file) override {
        ScriptedFile* own = dynamic_cast<ScriptedFile*>(file);
        if (own == nullptr) {
            return false;
        }
        ++script_->closed;
        delete own;
        return true;
    }

private:
    Script* script_;
};

// Serves cache:// with the scripted system for as long as it lives.
class ScopedCacheSystem {
public:
    explicit ScopedCacheSystem(Script* script) : system_(script), saved_(ZQI_GetFileSystem(SCHEME_CACHE)) {
        ZQI_SetFileSystem(SCHEME_CACHE, &system_);
    }
    ~ScopedCacheSystem() { ZQI_SetFileSystem(SCHEME_CACHE, saved_); }

private:
    ScriptedSystem system_;
    ZQFileSystem::System* saved_;
};

// ---- Engine log lines (the seam logs its own failures through the record's Log slot) ----

std::vector<std::string> g_logLines;

int32_t RecordLog(int32_t level, const char* format, ...) {
    char text[4096];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    g_logLines.push_back(std::to_string(level) + ":" + text);
    return 0;
}

class data_file_access : public DataManagerTest {
protected:
    void SetUp() override {
        DataManagerTest::SetUp();
        g_logLines.clear();
        savedLog_ = ZQI_GetApi()->Log;
        ZQI_GetApi()->Log = RecordLog;
    }
    void TearDown() override {
        ZQI_GetApi()->Log = savedLog_;
        g_core.coreRunning = 0;
        DataManagerTest::TearDown();
    }

    static const std::vector<std::string>& LogLines() { return g_logLines; }

private:
    int32_t (*savedLog_)(int32_t, const char*, ...) = nullptr;
};

std::string ReadWhole(const char* path, bool* ok) {
    uint8_t* bytes = nullptr;
    int32_t size = -1;
    *ok = ZQI_DataManagerReadWholeFile(path, &bytes, &size);
    std::string text;
    if (*ok) {
        EXPECT_EQ(0, bytes[size]) << "the block ends with a NUL after the file";
        text.assign(reinterpret_cast<const char*>(bytes), static_cast<size_t>(size));
    } else {
        EXPECT_EQ(nullptr, bytes);
        EXPECT_EQ(0, size);
    }
    free(bytes);
    return text;
}

}  // namespace

// ---- Reading and writing whole files ----

TEST_F(data_file_access, WholeFilesAreReadByteForByte) {
    const std::string bytes("line\r\nwith\0nul\r\n", 16);
    std::string path = WriteScratchFile("binary.dat", bytes);
    bool ok = false;
    EXPECT_EQ(bytes, ReadWhole(path.c_str(), &ok));
    EXPECT_TRUE(ok);
}

TEST_F(data_file_access, AnEmptyFileReadsAsAnEmptyBlock) {
    std::string path = WriteScratchFile("empty.dat", "");
    bool ok = false;
    EXPECT_EQ("", ReadWhole(path.c_str(), &ok));
    EXPECT_TRUE(ok);
}

TEST_F(data_file_access, MissingAndUnnamedFilesAreNotRead) {
    bool ok = true;
    ReadWhole(ScratchPath("absent.dat").c_str(), &ok);
    EXPECT_FALSE(ok);
    ReadWhole("", &ok);
    EXPECT_FALSE(ok);
    ReadWhole(nullptr, &ok);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(LogLines().empty()) << "a missing file is the caller's to report";
}

TEST_F(data_file_access, WholeFilesAreWrittenByteForByteAndReplaceWhatWasThere) {
    const std::string bytes("a\r\nb\n\0c", 7);
    std::string path = WriteScratchFile("written.dat", "older and longer contents");
    EXPECT_EQ(DATA_FILE_WRITTEN, ZQI_DataManagerWriteWholeFile(path.c_str(), bytes.data(), 7));
    EXPECT_EQ(bytes, ReadFileBytes(path));
    EXPECT_EQ(DATA_FILE_WRITTEN, ZQI_DataManagerWriteWholeFile(path.c_str(), bytes.data(), 0));
    EXPECT_EQ("", ReadFileBytes(path));
}

TEST_F(data_file_access, WritingNeedsAPathThatCanBeCreated) {
    EXPECT_EQ(DATA_FILE_OPEN_FAILED, ZQI_DataManagerWriteWholeFile(nullptr, "x", 1));
    EXPECT_EQ(DATA_FILE_OPEN_FAILED, ZQI_DataManagerWriteWholeFile("", "x", 1));
    EXPECT_EQ(DATA_FILE_OPEN_FAILED, ZQI_DataManagerWriteWholeFile("never-made.xml", "x", 1));
    EXPECT_EQ(DATA_FILE_OPEN_FAILED, ZQI_DataManagerWriteWholeFile("res://no-such-folder/x.xml", "x", 1));
}

// ---- Databases by virtual path and along the search paths ----

TEST_F(data_file_access, ADatabaseSavedInMemoryReadsBackThroughTheFileSystem) {
    DMDatabase database;
    ASSERT_TRUE(LoadXMLText(database, kTwoArrays));
    ASSERT_TRUE(database.SaveFile("mem://scores.xml", true));
    EXPECT_TRUE(ZQ_FileSystem_FileExists("mem://scores.xml"));

    DMDatabase back;
    ASSERT_TRUE(back.LoadXMLFile("mem://scores.xml"));
    ASSERT_NE(back.GetArray("A"), nullptr);
    EXPECT_STREQ(back.GetArray("A")->nodes[0]->GetValue("v"), "1");
    EXPECT_NE(back.GetArray("B"), nullptr);
    EXPECT_TRUE(ZQ_FileSystem_DeleteFile("mem://scores.xml"));
}

TEST_F(data_file_access, PlainNamesAreFoundAlongTheSearchPaths) {
    WriteScratchFile("packs/hd/levels.xml", kTwoArrays);
    WriteScratchFile("packs/hd/table.csv", "a;b\n1;2\n");
    DMDatabase before;
    EXPECT_FALSE(before.LoadFile("levels.xml")) << "no search path holds it yet";

    ZQ_FileSystem_AddSearchPath("res://packs/hd/", false);
    DMDatabase levels;
    EXPECT_TRUE(levels.LoadFile("levels.xml"));
    EXPECT_NE(levels.GetArray("B"), nullptr);
    DMDatabase table;
    EXPECT_TRUE(table.LoadFile("table.csv"));
    ASSERT_EQ(table.arrays.count, 1);
    EXPECT_STREQ(table.arrays[0]->nodes[0]->GetValue("b"), "2");
    ZQ_FileSystem_RemoveSearchPath("res://packs/hd/");
}

TEST_F(data_file_access, LoadsAndSavesCloseEveryHandleTheyOpen) {
    g_core.coreRunning = 1;  // the open-file list counts the handles of a running engine
    std::string xml = WriteScratchFile("closed.xml", kTwoArrays);
    std::string csv = WriteScratchFile("closed.csv", "a;b\n1;2\n");
    std::string broken = WriteScratchFile("broken.xml", "not a document");
    ASSERT_EQ(0, ZQI_GetOpenFileCount());

    DMDatabase database;
    EXPECT_TRUE(database.LoadFile(xml.c_str()));
    EXPECT_EQ(0, ZQI_GetOpenFileCount());
    EXPECT_TRUE(database.SaveFile(ScratchPath("saved.xml").c_str(), true));
    EXPECT_EQ(0, ZQI_GetOpenFileCount());
    DMDatabase table;
    EXPECT_TRUE(table.LoadFile(csv.c_str()));
    EXPECT_EQ(0, ZQI_GetOpenFileCount());
    DMDatabase rejected;
    EXPECT_FALSE(rejected.LoadFile(broken.c_str()));
    EXPECT_EQ(0, ZQI_GetOpenFileCount());
}

// ---- Files that do not behave ----

TEST_F(data_file_access, AFileThatGivesFewerBytesThanItsSizeIsNotRead) {
    Script script;
    script.claimedSize = 100;
    script.readable = 40;
    ScopedCacheSystem cache(&script);
    DMDatabase database;
    EXPECT_FALSE(database.LoadXMLFile("cache://short.xml"));
    EXPECT_TRUE(OnlyPopupContains("XML database file 'cache://short.xml' not found!"));
    EXPECT_EQ(1, script.closed);
    ASSERT_EQ(LogLines().size(), 1u);
    EXPECT_EQ(LogLines()[0], "2:ZQI_DataManagerReadWholeFile: read 40 of 100 bytes of 'cache://short.xml'.");
}

TEST_F(data_file_access, AFileTooLargeForA32BitSizeIsRefusedBeforeReading) {
    Script script;
    script.claimedSize = 0x80000000ull;
    script.readable = script.claimedSize;
    ScopedCacheSystem cache(&script);
    bool ok = true;
    ReadWhole("cache://huge.xml", &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(0, script.reads);
    EXPECT_EQ(1, script.closed);
    ASSERT_EQ(LogLines().size(), 1u);
    EXPECT_EQ(LogLines()[0],
              "2:ZQI_DataManagerReadWholeFile: 'cache://huge.xml' is too large (2147483648 bytes).");
}

TEST_F(data_file_access, ASaveThatDoesNotWriteEveryByteIsReported) {
    Script script;
    script.room = 10;  // like a disk that fills up during the save
    ScopedCacheSystem cache(&script);
    DMDatabase database;
    ASSERT_TRUE(LoadXMLText(database, kTwoArrays));
    EXPECT_FALSE(database.SaveFile("cache://scores.xml", false));
    EXPECT_TRUE(OnlyPopupContains("DMDatabase::SaveFile: could not write all of 'cache://scores.xml'."));
    EXPECT_EQ(10u, script.written);
    EXPECT_EQ(1, script.opened);
    EXPECT_EQ(1, script.closed);
}
