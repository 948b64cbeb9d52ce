// PAK archives: which archive a path belongs to, reading and refusing archives, opening and
// listing entries, and the schemes that never look into archives.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "FileSystemTestSupport.h"
#include "filesystem/FileSystemApi.h"
#include "filesystem/FileSystemTable.h"
#include "filesystem/MemoryFile.h"
#include "filesystem/PAKDirectory.h"
#include "filesystem/PAKSystem.h"
#include "filesystem/SchemeRoots.h"
#include "filesystem/Wildcard.h"

using namespace ZQFileSystem;

namespace {

class PAKSystemTest : public FileSystemTest {
protected:
    PAKSystem* Native() { return static_cast<PAKSystem*>(ZQI_GetFileSystem(SCHEME_RES)); }
    std::string Res(const std::string& relative) { return NativePath(SCHEME_RES, relative); }

    void WriteSpritesArchive() {
        WriteNativeFile(Res("sprites.pak"), BuildPAK({{"ui/Icon.png", "ICON-DATA", 1234, 7},
                                                      {"ui/inner/deep.png", "DEEP", 5, 0},
                                                      {"player.png", "PLAYER", 6, 0},
                                                      {"a/x.txt", "AX", 0, 0},
                                                      {"ab/y.txt", "ABY", 0, 0},
                                                      {"Player.PNG", "SECOND", 0, 0}}));
    }
};

std::string ReadWhole(File* file) {
    std::string bytes;
    char chunk[64];
    uint64_t got;
    while ((got = file->Read(chunk, sizeof(chunk))) > 0) {
        bytes.append(chunk, static_cast<size_t>(got));
    }
    return bytes;
}

std::vector<std::string> List(const char* path, const char* wildcards, bool recursive) {
    return TakeStringList(ZQ_FileSystem_FindFiles(path, wildcards, recursive));
}

std::vector<std::string> Sorted(std::vector<std::string> texts) {
    std::sort(texts.begin(), texts.end());
    return texts;
}

}  // namespace

TEST(PAKWildcardTest, StarsMatchAnyRun) {
    EXPECT_TRUE(ZQI_MatchWildcard("aXbYc", "a*b*c"));
    EXPECT_TRUE(ZQI_MatchWildcard("abc", "a*b*c"));
    EXPECT_FALSE(ZQI_MatchWildcard("abX", "a*b*c"));
    EXPECT_TRUE(ZQI_MatchWildcard("anything", "*"));
    EXPECT_TRUE(ZQI_MatchWildcard("", "**"));
    EXPECT_TRUE(ZQI_MatchWildcard("a.png.png", "*.png"));
    EXPECT_FALSE(ZQI_MatchWildcard("a.PNG", "*.png"));
    EXPECT_FALSE(ZQI_MatchWildcard("abc", "ab"));
    EXPECT_FALSE(ZQI_MatchWildcard(nullptr, "*"));
    std::string name(500, 'a');
    EXPECT_FALSE(ZQI_MatchWildcard(name.c_str(), "*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*b"));
}

TEST_F(PAKSystemTest, ArchiveNameIsTheFirstLevelFolder) {
    String name;
    Native()->GetPAKFileName(name, SCHEME_RES, Res("sprites/ui/icon.png").c_str());
    EXPECT_EQ(Res("sprites.pak"), name.CStr());
    Native()->GetPAKFileName(name, SCHEME_RES, Res("top.png").c_str());
    EXPECT_TRUE(name.IsEmpty()) << "files directly in the root are never in an archive";
    Native()->GetPAKFileName(name, SCHEME_RES, (temp_->Path() + "/elsewhere/a/b").c_str());
    EXPECT_TRUE(name.IsEmpty());
}

TEST_F(PAKSystemTest, EntriesAreFoundWithoutRegardToLetterCase) {
    WriteSpritesArchive();
    EXPECT_EQ("ICON-DATA", ReadThroughApi("res://sprites/ui/Icon.PNG"));
    EXPECT_EQ("ICON-DATA", ReadThroughApi("res://sprites/UI/icon.png"));
    EXPECT_EQ("PLAYER", ReadThroughApi("res://sprites/player.png"))
        << "the first of equal lowered names stays";
    EXPECT_TRUE(ZQ_FileSystem_FileExists("res://sprites/ui/inner/deep.png"));
    EXPECT_FALSE(ZQ_FileSystem_FileExists("res://sprites/ui/missing.png"));
    EXPECT_TRUE(AnyPrintContains("Opening PAK '" + Res("sprites.pak") + "'..."));
}

TEST_F(PAKSystemTest, ArchiveIsReadOnceAndKept) {
    WriteSpritesArchive();
    EXPECT_TRUE(ZQ_FileSystem_FileExists("res://sprites/player.png"));
    EXPECT_TRUE(ZQ_FileSystem_FileExists("res://sprites/a/x.txt"));
    int opened = 0;
    for (const std::string& line : Captured().prints) {
        opened += line.find("Opening PAK") != std::string::npos ? 1 : 0;
    }
    EXPECT_EQ(1, opened);
}

TEST_F(PAKSystemTest, EntryFileReadsOnlyItsOwnBytes) {
    WriteSpritesArchive();
    File* file = Native()->OpenFile(SCHEME_RES, Res("sprites/ui/icon.png").c_str(), FILE_MODE_READ);
    ASSERT_NE(nullptr, file);
    EXPECT_EQ(9u, file->size);
    EXPECT_EQ(FILE_FLAG_IN_PAK, file->flags);
    EXPECT_FALSE(file->writable);
    char bytes[64] = {0};
    EXPECT_EQ(9u, file->Read(bytes, sizeof(bytes))) << "a read stops at the end of the entry";
    EXPECT_STREQ("ICON-DATA", bytes);
    file->Seek(0, SEEK_ORIGIN_END);
    EXPECT_EQ(9u, file->Tell());
    file->Seek(4, SEEK_ORIGIN_START);
    file->Seek(1, SEEK_ORIGIN_CURRENT);
    EXPECT_EQ(5u, file->Tell());
    EXPECT_EQ("DATA", ReadWhole(file));
    uint32_t offset = 100;
    EXPECT_EQ(-1, file->GetNativeHandle(&offset));
    EXPECT_EQ(100u + 16u, offset) << "the entry's data starts right after the 16-byte header";
    EXPECT_TRUE(Native()->CloseFile(file));
}

TEST_F(PAKSystemTest, EntriesCanBeReadSideBySide) {
    WriteSpritesArchive();
    File* first = Native()->OpenFile(SCHEME_RES, Res("sprites/player.png").c_str(), FILE_MODE_READ);
    File* second = Native()->OpenFile(SCHEME_RES, Res("sprites/a/x.txt").c_str(), FILE_MODE_READ);
    ASSERT_NE(nullptr, first);
    ASSERT_NE(nullptr, second);
    char a[3] = {0};
    char b[3] = {0};
    first->Read(a, 2);
    second->Read(b, 2);
    EXPECT_STREQ("PL", a);
    EXPECT_STREQ("AX", b);
    EXPECT_EQ("AYER", ReadWhole(first));
    Native()->CloseFile(first);
    Native()->CloseFile(second);
}

TEST_F(PAKSystemTest, ArchiveFirstForReadingNativeForWriting) {
    WriteSpritesArchive();
    MakeNativeFolders(Res("sprites"));
    WriteNativeFile(Res("sprites/player.png"), "NATIVE");
    EXPECT_EQ("PLAYER", ReadThroughApi("res://sprites/player.png"));
    ASSERT_TRUE(WriteThroughApi("res://sprites/player.png", "WRITTEN", "a"));
    EXPECT_EQ("NATIVEWRITTEN", ReadNativeFile(Res("sprites/player.png")));
}

TEST_F(PAKSystemTest, EntryOnlyInAnArchiveHasNoFileInformation) {
    WriteSpritesArchive();
    EXPECT_TRUE(ZQ_FileSystem_FileExists("res://sprites/player.png"));
    zq_file_info_t info = {};
    EXPECT_FALSE(ZQ_FileSystem_GetFileInfo("res://sprites/player.png", &info));
    // The archive layer itself knows size and time.
    ASSERT_TRUE(Native()->PAKSystem::GetFileInfo(SCHEME_RES, Res("sprites/ui/icon.png").c_str(), &info));
    EXPECT_EQ(9u, info.size);
    EXPECT_EQ(1234u, info.modification_time);
}

TEST_F(PAKSystemTest, UserLogsAndSaveNeverLookIntoArchives) {
    std::string archive = BuildPAK({{"x.txt", "X", 0, 0}});
    for (SchemeId scheme : {SCHEME_USER, SCHEME_LOGS}) {
        WriteNativeFile(NativePath(scheme, "pack.pak"), archive);
        EXPECT_FALSE(Native()->FileExists(scheme, NativePath(scheme, "pack/x.txt").c_str())) << scheme;
        EXPECT_EQ(nullptr,
                  Native()->OpenFile(scheme, NativePath(scheme, "pack/x.txt").c_str(), FILE_MODE_READ));
    }
    WriteNativeFile(NativePath(SCHEME_UGC, "pack.pak"), archive);
    EXPECT_TRUE(Native()->FileExists(SCHEME_UGC, NativePath(SCHEME_UGC, "pack/x.txt").c_str()));
}

TEST_F(PAKSystemTest, ArchivesThemselvesAreNeverLookedInto) {
    WriteNativeFile(Res("data.pak"), BuildPAK({{"x", "X", 0, 0}}));
    WriteNativeFile(Res("big.obb"), "not an archive");
    EXPECT_TRUE(ZQ_FileSystem_FileExists("res://data.pak"));
    EXPECT_FALSE(Native()->PAKSystem::FileExists(SCHEME_RES, Res("data.pak").c_str()));
    EXPECT_EQ(nullptr, Native()->PAKSystem::OpenFile(SCHEME_RES, Res("big.obb").c_str(), FILE_MODE_READ));
    EXPECT_EQ("not an archive", ReadThroughApi("res://big.obb"));
}

TEST_F(PAKSystemTest, ArchiveWithAWrongTotalSizeIsRefused) {
    WriteNativeFile(Res("bad.pak"), BuildPAK({{"x.txt", "X", 0, 0}}, 1));
    EXPECT_FALSE(ZQ_FileSystem_FileExists("res://bad/x.txt"));
    EXPECT_TRUE(AnyLogContains("is not a readable PAK archive"));
    // Fixed on disk, the archive is read again on the next request.
    WriteNativeFile(Res("bad.pak"), BuildPAK({{"x.txt", "X", 0, 0}}));
    EXPECT_TRUE(ZQ_FileSystem_FileExists("res://bad/x.txt"));
}

TEST_F(PAKSystemTest, UnreadableArchiveIsReportedOnceButReadAgainEachTime) {
    WriteNativeFile(Res("bad.pak"), BuildPAK({{"x.txt", "X", 0, 0}}, 1));
    for (const char* path : {"res://bad/x.txt", "res://bad/y.txt", "res://bad/x.txt"}) {
        EXPECT_FALSE(ZQ_FileSystem_FileExists(path)) << path;
    }
    auto count = [](const std::vector<std::string>& lines, const std::string& text) {
        return std::count_if(lines.begin(), lines.end(),
                             [&](const std::string& line) { return line.find(text) != std::string::npos; });
    };
    EXPECT_EQ(1, count(Captured().logs, "is not a readable PAK archive"));
    EXPECT_EQ(3, count(Captured().prints, "Opening PAK '"));
}

TEST_F(PAKSystemTest, EntryReachingPastTheArchiveEndIsLeftOut) {
    // The first entry's size field lies behind the count and its name in the directory.
    const std::string name = "big.bin";
    std::string archive = BuildPAK({{name, "BIG", 0, 0}, {"small.txt", "S", 0, 0}});
    const size_t directory = static_cast<uint8_t>(archive[8]) | static_cast<uint8_t>(archive[9]) << 8;
    const size_t sizeField = directory + 4 + name.size() + 1 + 4;
    const uint32_t offset = 16;  // the data of the first entry follows the header
    struct Case {
        uint32_t size;
        bool kept;
    };
    const uint32_t toEnd = static_cast<uint32_t>(archive.size()) - offset;
    for (const Case& c :
         {Case{toEnd, true}, Case{toEnd + 1, false}, Case{0x7FFFFFFFu, false}, Case{0xFFFFFFFFu, false}}) {
        std::string patched = archive;
        for (int i = 0; i < 4; ++i) {
            patched[sizeField + i] = static_cast<char>((c.size >> (8 * i)) & 0xFF);
        }
        MemoryFile file(SCHEME_RES);
        file.SetData(patched.data(), patched.size(), true);
        PAKDirectory directory;
        ASSERT_TRUE(ZQI_ReadPAKDirectory(&file, directory)) << c.size;
        EXPECT_EQ(c.kept, directory.Find(String("big.bin")) != nullptr) << c.size;
        EXPECT_NE(nullptr, directory.Find(String("small.txt"))) << c.size;
    }
    EXPECT_TRUE(AnyLogContains("1:File System ReadPAK: PAK entry 'big.bin' lies outside the archive."));

    std::string lying = archive;
    lying[sizeField + 3] = 0x7F;  // about 2 GiB, which a reader would allocate before reading
    WriteNativeFile(Res("lying.pak"), lying);
    EXPECT_FALSE(ZQ_FileSystem_FileExists("res://lying/big.bin"));
    EXPECT_EQ(nullptr, ZQ_FileSystem_OpenFile("res://lying/big.bin", "r"));
    EXPECT_EQ("S", ReadThroughApi("res://lying/small.txt"));
}

TEST_F(PAKSystemTest, RefusedArchiveLeavesNativeFilesReachable) {
    std::string archive = BuildPAK({{"x.txt", "X", 0, 0}});
    archive[3] = 'X';  // wrong magic
    WriteNativeFile(Res("mixed.pak"), archive);
    WriteNativeFile(Res("mixed/x.txt"), "NATIVE");
    EXPECT_EQ("NATIVE", ReadThroughApi("res://mixed/x.txt"));
}

TEST_F(PAKSystemTest, NameLimitIs510Characters) {
    std::string longest(510, 'n');
    WriteNativeFile(Res("names.pak"), BuildPAK({{longest, "OK", 0, 0}}));
    EXPECT_TRUE(Native()->FileExists(SCHEME_RES, Res("names/" + longest).c_str()));
    std::string tooLong(511, 'n');
    WriteNativeFile(Res("long.pak"), BuildPAK({{tooLong, "NO", 0, 0}}));
    EXPECT_FALSE(Native()->FileExists(SCHEME_RES, Res("long/" + tooLong).c_str()));
    EXPECT_TRUE(AnyLogContains("1:File System ReadPAK: PAK has a file with too long name."));
}

TEST_F(PAKSystemTest, DirectoryReaderRefusesTruncatedArchives) {
    std::string archive = BuildPAK({{"a.txt", "A", 0, 0}, {"b.txt", "B", 0, 0}});
    for (size_t cut = 0; cut < archive.size(); ++cut) {
        MemoryFile file(SCHEME_RES);
        std::string part = archive.substr(0, cut);
        file.SetData(part.data(), part.size(), true);
        // The stored total size no longer matches; also patch it so the directory walk is tested.
        if (cut >= 16) {
            uint8_t* data = file.GetData();
            data[12] = static_cast<uint8_t>(cut & 0xFF);
            data[13] = static_cast<uint8_t>((cut >> 8) & 0xFF);
            data[14] = data[15] = 0;
        }
        PAKDirectory directory;
        EXPECT_FALSE(ZQI_ReadPAKDirectory(&file, directory)) << "cut at " << cut;
        EXPECT_TRUE(directory.entries.empty());
    }
    MemoryFile whole(SCHEME_RES);
    whole.SetData(archive.data(), archive.size(), true);
    PAKDirectory directory;
    ASSERT_TRUE(ZQI_ReadPAKDirectory(&whole, directory));
    EXPECT_EQ(2u, directory.entries.size());
}

TEST_F(PAKSystemTest, NegativeEntryCountMeansNoEntries) {
    std::string archive = BuildPAK({});
    archive[16] = archive[17] = archive[18] = archive[19] = static_cast<char>(0xFF);
    MemoryFile file(SCHEME_RES);
    file.SetData(archive.data(), archive.size(), true);
    PAKDirectory directory;
    EXPECT_TRUE(ZQI_ReadPAKDirectory(&file, directory));
    EXPECT_TRUE(directory.entries.empty());
}

TEST_F(PAKSystemTest, ListingKeepsTheStoredLetterCase) {
    WriteSpritesArchive();
    EXPECT_EQ(std::vector<std::string>({"res://sprites/ui/Icon.png"}),
              List("res://sprites/ui", "*.png", false));
    EXPECT_EQ(Sorted({"res://sprites/ui/Icon.png", "res://sprites/ui/inner/deep.png"}),
              Sorted(List("res://sprites/ui/", "*", true)));
}

TEST_F(PAKSystemTest, FlatListingOfTheArchiveFolderSkipsDeeperEntries) {
    WriteSpritesArchive();
    EXPECT_EQ(std::vector<std::string>({"res://sprites/player.png"}), List("res://sprites", "*", false));
    std::vector<std::string> all = List("res://sprites", "*.*", true);
    EXPECT_EQ(5u, all.size());
}

TEST_F(PAKSystemTest, ListingAFolderNeverShowsItsSiblingsWithALongerName) {
    WriteSpritesArchive();
    EXPECT_EQ(std::vector<std::string>({"res://sprites/a/x.txt"}), List("res://sprites/a", "*", true));
}

TEST_F(PAKSystemTest, ListingWithAPatternAndAsAPlainPath) {
    WriteSpritesArchive();
    EXPECT_EQ(std::vector<std::string>({"res://sprites/player.png"}),
              List("res://sprites", "pl*r.p*", false));
    ZQ_FileSystem_AddSearchPath("res://", false);
    ZQ_FileSystem_AddSearchPath("docs://", false);
    MakeNativeFolders(NativePath(SCHEME_DOCS, "sprites"));
    WriteNativeFile(NativePath(SCHEME_DOCS, "sprites/player.png"), "DOCS");
    WriteNativeFile(NativePath(SCHEME_DOCS, "sprites/extra.png"), "DOCS");
    // "res://" alone is skipped by plain listings; docs still lists its folder.
    EXPECT_EQ(Sorted({"sprites/extra.png", "sprites/player.png"}), Sorted(List("sprites", "*.png", false)));
}

TEST_F(PAKSystemTest, WildcardsNamingAFolderListThatFolderOfTheArchive) {
    WriteSpritesArchive();
    EXPECT_EQ(std::vector<std::string>({"res://sprites/ui/Icon.png"}),
              List("res://sprites", "ui/*.png", false));
    EXPECT_EQ(Sorted({"res://sprites/ui/Icon.png", "res://sprites/ui/inner/deep.png"}),
              Sorted(List("res://sprites", "ui/*.png", true)));
    EXPECT_EQ(std::vector<std::string>({"res://sprites/a/x.txt"}), List("res://sprites", "a/*", true))
        << "a/ never lists ab/";
}

TEST_F(PAKSystemTest, ConcurrentFirstUseKeepsOneRecord) {
    WriteSpritesArchive();
    std::vector<std::thread> threads;
    std::vector<int> results(8, 0);
    for (int i = 0; i < 8; ++i) {
        threads.emplace_back([this, i, &results] {
            File* file = Native()->OpenFile(SCHEME_RES, Res("sprites/player.png").c_str(), FILE_MODE_READ);
            if (file != nullptr) {
                results[i] = ReadWhole(file) == "PLAYER" ? 1 : 0;
                Native()->CloseFile(file);
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (int result : results) {
        EXPECT_EQ(1, result);
    }
}

TEST_F(PAKSystemTest, ExtensionPatternWithAFurtherStarStillMatches) {
    WriteSpritesArchive();
    // "*.p*g" does not end the name literally, so it is matched as a pattern like any other.
    EXPECT_EQ(std::vector<std::string>({"res://sprites/player.png"}), List("res://sprites", "*.p*g", false));
    EXPECT_EQ(std::vector<std::string>({"res://sprites/ui/Icon.png"}), List("res://sprites/ui", "*.*g", false));
}

TEST_F(PAKSystemTest, SeekingBeforeAnEntryNeverReadsTheBytesInFrontOfIt) {
    WriteSpritesArchive();
    // player.png follows ui/Icon.png and ui/inner/deep.png in the archive's data.
    File* file = Native()->OpenFile(SCHEME_RES, Res("sprites/player.png").c_str(), FILE_MODE_READ);
    ASSERT_NE(nullptr, file);
    char two[2];
    ASSERT_EQ(2u, file->Read(two, 2));
    file->Seek(-3, SEEK_ORIGIN_START);
    EXPECT_EQ(2u, file->Tell()) << "a position before the entry is refused, as the C runtime does";
    EXPECT_EQ("AYER", ReadWhole(file));
    file->Seek(-20, SEEK_ORIGIN_CURRENT);
    EXPECT_EQ(6u, file->Tell());
    file->Seek(-7, SEEK_ORIGIN_END);
    EXPECT_EQ(6u, file->Tell());
    EXPECT_EQ("", ReadWhole(file));
    file->Seek(-6, SEEK_ORIGIN_END);
    EXPECT_EQ("PLAYER", ReadWhole(file));
    file->Seek(INT64_MAX, SEEK_ORIGIN_END);
    EXPECT_EQ(6u, file->Tell()) << "a position beyond any file is refused too";
    EXPECT_TRUE(Native()->CloseFile(file));
}
