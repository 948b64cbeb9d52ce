// The http:// file system: one download per URL kept in cache://, failures that leave no cache
// file, and the operations it does not have.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "ExclusiveFileHold.h"
#include "FileSystemTestSupport.h"
#include "FullDisk.h"
#include "StoreSteps.h"
#include "TestHttpServer.h"
#include "filesystem/FileSystemApi.h"
#include "filesystem/FileSystemTable.h"
#include "filesystem/HTTPSystem.h"
#include "filesystem/HttpClient.h"
#include "filesystem/WindowsPOSIXSystem.h"

#if defined(_WIN32)
#include "DiskCommits.h"
#endif

using namespace ZQFileSystem;

namespace {

class HTTPSystemTest : public FileSystemTest {
protected:
    void SetUp() override {
        FileSystemTest::SetUp();
        ZQI_SetHttpTimeout(5000);
    }
    void TearDown() override {
        ZQI_SetHttpTimeout(30000);
        FileSystemTest::TearDown();
    }

    System* Http() { return ZQI_GetFileSystem(SCHEME_HTTP); }
    std::string CacheFile(const std::string& url) {
        return NativePath(SCHEME_CACHE, HTTPSystem::MakeCacheName(url.c_str()).CStr());
    }
    // The names in the cache folder, temporaries included (listings hide those).
    std::vector<std::string> CacheFolderFiles() { return NativeFolderFiles(Root(SCHEME_CACHE)); }
    // Reads the file and closes it through the system of its scheme, as the API does.
    static std::string ReadAndClose(File* file) {
        std::string bytes(static_cast<size_t>(file->size), '\0');
        bytes.resize(static_cast<size_t>(file->Read(&bytes[0], bytes.size())));
        EXPECT_TRUE(ZQI_GetFileSystem(file->scheme)->CloseFile(file));
        return bytes;
    }
};

}  // namespace

TEST_F(HTTPSystemTest, CacheNamesKeepOnlySafeCharacters) {
    EXPECT_STREQ("http___host_8080_a_b.png_q_1_x-y",
                 HTTPSystem::MakeCacheName("http://host:8080/a/b.png?q=1&x-y").CStr());
}

TEST_F(HTTPSystemTest, DownloadsOnceAndThenReadsTheCache) {
    TestHttpServer server({{HttpAnswer("HTTP/1.0 200 OK", {"Content-Length: 7"}, "picture")}});
    std::string url = server.Url("/img/a.png");
    File* file = Http()->OpenFile(SCHEME_HTTP, url.c_str(), FILE_MODE_READ);
    ASSERT_NE(nullptr, file);
    EXPECT_EQ(SCHEME_CACHE, file->scheme) << "the cache file belongs to the native system";
    EXPECT_EQ("picture", ReadAndClose(file));
    EXPECT_EQ("picture", ReadNativeFile(CacheFile(url)));
    EXPECT_TRUE(AnyPrintContains("File System: downloading file '" + url + "'..."));
    EXPECT_TRUE(AnyPrintContains("File System: downloading file '" + url + "' completed (7 bytes)."));
    server.Stop();  // a second download would find nobody answering
    File* again = Http()->OpenFile(SCHEME_HTTP, url.c_str(), FILE_MODE_READ);
    ASSERT_NE(nullptr, again);
    EXPECT_EQ("picture", ReadAndClose(again));
    EXPECT_EQ(1u, server.Requests().size());
}

TEST_F(HTTPSystemTest, FailedDownloadsLeaveNoCacheFile) {
    TestHttpServer server({{HttpAnswer("HTTP/1.0 404 Not Found", {}, "missing")},
                           {HttpAnswer("HTTP/1.0 200 OK", {"Content-Length: 50"}, "cut")}});
    std::string missing = server.Url("/missing.png");
    EXPECT_EQ(nullptr, Http()->OpenFile(SCHEME_HTTP, missing.c_str(), FILE_MODE_READ));
    EXPECT_TRUE(AnyPrintContains("File System: failed to download file '" + missing + "' (status 404)."));
    EXPECT_FALSE(NativeFileExists(CacheFile(missing)));
    std::string cut = server.Url("/cut.png");
    EXPECT_EQ(nullptr, Http()->OpenFile(SCHEME_HTTP, cut.c_str(), FILE_MODE_READ));
    EXPECT_TRUE(AnyPrintContains("(status -8)."));
    EXPECT_FALSE(NativeFileExists(CacheFile(cut)));
}

// A store that fails (the disk is full: a small body at its flush, a large one at its write)
// leaves neither the cache file nor its temporary behind, and the next opening downloads again.
TEST_F(HTTPSystemTest, AFailedStoreLeavesNoTemporary) {
    for (const size_t size : {size_t(7), size_t(100000)}) {
        SCOPED_TRACE(std::to_string(size) + " bytes");
        const std::string body(size, 'f'),
            answer = HttpAnswer("HTTP/1.0 200 OK", {"Content-Length: " + std::to_string(size)}, body);
        TestHttpServer server({{answer}, {answer}});
        const std::string url = server.Url("/full" + std::to_string(size) + ".png");
        EngineTest::FullDiskSystem full(false, ".download-");  // where every store writes first
        HTTPSystem http(&full);
        EXPECT_EQ(nullptr, http.OpenFile(SCHEME_HTTP, url.c_str(), FILE_MODE_READ));
        EXPECT_EQ(1, full.failedOpenings);
        EXPECT_EQ(std::vector<std::string>{}, CacheFolderFiles());
        File* next = Http()->OpenFile(SCHEME_HTTP, url.c_str(), FILE_MODE_READ);
        EXPECT_TRUE(next != nullptr && ReadAndClose(next) == body);
        std::remove(CacheFile(url).c_str());
    }
}

// Each step of a store made to fail in turn: the opening fails (or gets the whole file another
// store put there meanwhile), and the next opening downloads again or reads a whole file. Under
// Windows the rename onto another store's file and the deletion of the temporary fail for real.
TEST_F(HTTPSystemTest, EachFailingStepOfAStoreLeavesNoCutCacheFile) {
    const std::string body = "picture", answer = HttpAnswer("HTTP/1.0 200 OK", {"Content-Length: 7"}, body);
    const struct {
        std::vector<StoreStep> failing;
        bool otherStoreFirst;  // another store's whole file takes the name just before the rename
        const char* opened;    // what the opening reads; null when it fails
        size_t temporariesLeft;
        const char* next;  // what the next opening reads
        size_t requests;
    } cases[] = {
        {{STORE_OPEN}, false, nullptr, 0, "picture", 2},
        {{STORE_WRITE}, false, nullptr, 0, "picture", 2},
        {{STORE_FLUSH}, false, nullptr, 0, "picture", 2},
        {{STORE_CLOSE}, false, nullptr, 0, "picture", 2},
        {{STORE_RENAME}, false, nullptr, 0, "picture", 2},
        {{STORE_RENAME}, true, "another", 0, "another", 1},
        {{STORE_FLUSH, STORE_DELETE}, false, nullptr, 1, "picture", 2},
    };
    int round = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("failing at ") + StoreStepName(c.failing.back()) +
                     (c.otherStoreFirst ? " after another store" : ""));
        TestHttpServer server({{answer}, {answer}});
        const std::string url = server.Url("/step" + std::to_string(round++) + ".bin");
#if defined(_WIN32)
        ExclusiveFileHold hold;
#endif
        StoreStepSystem cache([&](StoreStep step, const char* path) {
            if (step == STORE_RENAME && c.otherStoreFirst) {
                WriteNativeFile(path, "another");
            }
            const bool failing = std::find(c.failing.begin(), c.failing.end(), step) != c.failing.end();
#if defined(_WIN32)
            if (failing && (step == STORE_DELETE || (step == STORE_RENAME && c.otherStoreFirst))) {
                return !hold.Start(path, 150);
            }
#endif
            return !failing;
        });
        HTTPSystem http(&cache);
        File* file = http.OpenFile(SCHEME_HTTP, url.c_str(), FILE_MODE_READ);
        EXPECT_EQ(c.opened != nullptr ? c.opened : "<null>", file != nullptr ? ReadAndClose(file) : "<null>");
        const std::vector<std::string> files = CacheFolderFiles();
        EXPECT_EQ(c.temporariesLeft, std::count_if(files.begin(), files.end(), [](const std::string& name) {
                      return name.find("~.download-") != std::string::npos;
                  }));
        File* next = Http()->OpenFile(SCHEME_HTTP, url.c_str(), FILE_MODE_READ);
        EXPECT_EQ(c.next, next != nullptr ? ReadAndClose(next) : "<null>");
        server.Stop();
        EXPECT_EQ(c.requests, server.Requests().size());
    }
}

// A process killed right before each step of its store leaves at most a temporary, which no
// opening reads: the next opening downloads again, or, once renamed, reads the whole file.
TEST_F(HTTPSystemTest, AProcessEndedAtAnyStepOfItsStoreLeavesNoCutCacheFile) {
    std::string body(100000, '\0');  // more than a C stream buffers
    for (size_t i = 0; i < body.size(); ++i) {
        body[i] = static_cast<char>('a' + (i * 13) % 26);
    }
    const std::string answer =
        HttpAnswer("HTTP/1.0 200 OK", {"Content-Length: " + std::to_string(body.size())}, body);
    for (StoreStep step : {STORE_WRITE, STORE_FLUSH, STORE_CLOSE, STORE_RENAME, STORE_READ}) {
        SCOPED_TRACE(std::string("ended before the ") + StoreStepName(step));
        TestHttpServer server({{answer}, {answer}});
        const std::string url = server.Url(std::string("/ended-") + StoreStepName(step) + ".bin");
        const bool stored = step == STORE_READ;
        ChildProcess child;
        ASSERT_TRUE(child.Start("http_fetch_child",
                                {Root(SCHEME_CACHE), url, temp_->Join("child.out"), std::to_string(step)}));
        EXPECT_EQ(3, child.Wait(60000)) << "the child did not end itself at the step";
        File* next = Http()->OpenFile(SCHEME_HTTP, url.c_str(), FILE_MODE_READ);
        EXPECT_TRUE(next != nullptr && ReadAndClose(next) == body) << "the next opening read no whole file";
        server.Stop();
        EXPECT_EQ(stored ? 1u : 2u, server.Requests().size());
    }
}

#if defined(_WIN32)
// Streams do not commit when they close: without a commit of its own the rename could reach the
// disk before the data, and after a power cut a cut cache file would be served as whole.
TEST_F(HTTPSystemTest, ADownloadReachesTheDiskOnceBeforeItTakesTheCacheFilesName) {
    TestHttpServer server({{HttpAnswer("HTTP/1.0 200 OK", {"Content-Length: 7"}, "picture")}});
    const std::string url = server.Url("/committed.png");
    EngineTest::ScopedDiskCommitCounter commits;
    ASSERT_GT(commits.RedirectedEntries(), 0);
    std::vector<int> commitsAtRename;
    StoreStepSystem cache([&](StoreStep step, const char*) {
        if (step == STORE_RENAME) {
            commitsAtRename.push_back(commits.Count());
        }
        return true;
    });
    HTTPSystem http(&cache);
    File* file = http.OpenFile(SCHEME_HTTP, url.c_str(), FILE_MODE_READ);
    ASSERT_NE(nullptr, file);
    EXPECT_EQ("picture", ReadAndClose(file));
    EXPECT_EQ(std::vector<int>{1}, commitsAtRename);
    EXPECT_EQ(1, commits.Count());
}
#endif

// A cache name as long as a file name can be (255; on Windows also within a 259-character path)
// is stored: the temporary's name is never longer than the cache file's.
TEST_F(HTTPSystemTest, CacheFilesWithTheLongestNamesAreStored) {
    size_t longest = 255;
#if defined(_WIN32)
    longest = std::min<size_t>(longest, 259 - (Root(SCHEME_CACHE).size() + 1));
#endif
    TestHttpServer server({{HttpAnswer("HTTP/1.0 200 OK", {"Content-Length: 4"}, "long")}});
    std::string url = server.Url("/");
    url += std::string(longest - url.size(), 'n');
    ASSERT_EQ(longest, HTTPSystem::MakeCacheName(url.c_str()).Length());
    File* file = Http()->OpenFile(SCHEME_HTTP, url.c_str(), FILE_MODE_READ);
    ASSERT_NE(nullptr, file);
    EXPECT_EQ("long", ReadAndClose(file));
    EXPECT_EQ(1u, CacheFolderFiles().size()) << "only the cache file stays";
}

// A download that stalls after its status line is not a file: nothing is cached, and the next
// opening downloads again.
TEST_F(HTTPSystemTest, ACutDownloadIsNeverCached) {
    ZQI_SetHttpTimeout(300);
    ScriptedAnswer stalled{"HTTP/1.0 200 OK\r\n"};
    stalled.hold = true;
    TestHttpServer cut({stalled});
    std::string url = cut.Url("/cut.png");
    EXPECT_EQ(nullptr, Http()->OpenFile(SCHEME_HTTP, url.c_str(), FILE_MODE_READ));
    cut.Stop();
    EXPECT_EQ(std::vector<std::string>{}, CacheFolderFiles())
        << "a cut or temporary file was left in the cache";
}

// Both openings get the whole file, however their downloads and readings interleave.
TEST_F(HTTPSystemTest, TwoThreadsOpeningOnePathBothGetTheWholeFile) {
    std::string body(4 << 20, '\0');
    for (size_t i = 0; i < body.size(); ++i) {
        body[i] = static_cast<char>('a' + (i * 7) % 26);
    }
    const std::string answer =
        HttpAnswer("HTTP/1.0 200 OK", {"Content-Length: " + std::to_string(body.size())}, body);
    for (int round = 0; round < 3; ++round) {
        TestHttpServer server({{answer}, {answer}});
        std::string url = server.Url("/big" + std::to_string(round) + ".bin");
        std::string got[2];
        std::thread other([&] {
            File* file = Http()->OpenFile(SCHEME_HTTP, url.c_str(), FILE_MODE_READ);
            got[1] = file != nullptr ? ReadAndClose(file) : "<null>";
        });
        File* file = Http()->OpenFile(SCHEME_HTTP, url.c_str(), FILE_MODE_READ);
        got[0] = file != nullptr ? ReadAndClose(file) : "<null>";
        other.join();
        server.Stop();
        for (const std::string& bytes : got) {
            EXPECT_EQ(body.size(), bytes.size()) << "round " << round;
            EXPECT_TRUE(bytes == body) << "round " << round;
        }
        EXPECT_EQ(body.size(), ReadNativeFile(CacheFile(url)).size());
    }
    std::vector<std::string> cached = CacheFolderFiles();
    EXPECT_EQ(3u, cached.size()) << "only the complete cache files stay";
}

// Engine instances share the cache folder: two processes opening one URL at once both get the
// whole file, and only the cache file stays.
TEST_F(HTTPSystemTest, TwoProcessesOpeningOneUrlBothGetTheWholeFile) {
    std::string body(2 << 20, '\0');
    for (size_t i = 0; i < body.size(); ++i) {
        body[i] = static_cast<char>('A' + (i * 11) % 26);
    }
    ScriptedAnswer answer{
        HttpAnswer("HTTP/1.0 200 OK", {"Content-Length: " + std::to_string(body.size())}, body)};
    int round = 0;
    for (; round < 30 && !HasFailure(); ++round) {
        ScriptedAnswer first = answer;
        first.withNext = true;  // both bodies arrive together, so both stores happen at once
        TestHttpServer server({first, answer});
        const std::string url = server.Url("/shared" + std::to_string(round) + ".bin");
        ChildProcess children[2];
        const std::string outputs[2] = {temp_->Join("child0.out"), temp_->Join("child1.out")};
        for (int i = 0; i < 2; ++i) {
            ASSERT_TRUE(children[i].Start("http_fetch_child", {Root(SCHEME_CACHE), url, outputs[i]}));
        }
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(0, children[i].Wait(60000)) << "round " << round << ": an opening failed";
            EXPECT_TRUE(ReadNativeFile(outputs[i]) == body) << "round " << round << ": a cut file was read";
        }
    }
    EXPECT_EQ(static_cast<size_t>(round), CacheFolderFiles().size()) << "only the complete cache files stay";
}

#if defined(_WIN32)
// Right after each store's rename, another instance of the engine replaces the cache file too.
class ReplacedAgainSystem : public WindowsPOSIXSystem {
public:
    ReplacedAgainSystem() : WindowsPOSIXSystem(false) {}
    bool ReplaceFile(SchemeId scheme, const char* source, const char* target, bool exchange) override {
        const bool replaced = WindowsPOSIXSystem::ReplaceFile(scheme, source, target, exchange);
        holds += replaced && hold.Start(target, 150) ? 1 : 0;
        return replaced;
    }
    ExclusiveFileHold hold;
    int holds = 0;
};

// Windows lets nobody open a cache file for the moment another instance replaces it; the file is
// whole all the same, so the opening waits for it, right after this download's store and when the
// file was there already.
TEST_F(HTTPSystemTest, ACacheFileBeingReplacedIsOpenedOnceItCanBe) {
    TestHttpServer server({{HttpAnswer("HTTP/1.0 200 OK", {"Content-Length: 5"}, "whole")}});
    const std::string url = server.Url("/replaced.bin");
    {
        ReplacedAgainSystem cache;
        HTTPSystem http(&cache);
        File* file = http.OpenFile(SCHEME_HTTP, url.c_str(), FILE_MODE_READ);
        EXPECT_EQ(1, cache.holds);
        ASSERT_NE(nullptr, file) << "the opening right after the store failed";
        EXPECT_EQ("whole", ReadAndClose(file));
    }
    ExclusiveFileHold hold;
    ASSERT_TRUE(hold.Start(CacheFile(url), 150));
    File* again = Http()->OpenFile(SCHEME_HTTP, url.c_str(), FILE_MODE_READ);
    ASSERT_NE(nullptr, again) << "the opening of the cached copy failed";
    EXPECT_EQ("whole", ReadAndClose(again));
}
#endif

TEST_F(HTTPSystemTest, ExistenceDownloadsAndOnlyReadingIsOffered) {
    TestHttpServer server({{HttpAnswer("HTTP/1.0 200 OK", {}, "data")}});
    std::string url = server.Url("/e.bin");
    EXPECT_EQ(nullptr, Http()->OpenFile(SCHEME_HTTP, url.c_str(), FILE_MODE_WRITE));
    EXPECT_TRUE(Http()->FileExists(SCHEME_HTTP, url.c_str()));
    EXPECT_EQ("data", ReadNativeFile(CacheFile(url)));
    EXPECT_FALSE(Http()->CloseFile(nullptr));
}

// Resolving a URL for writing (a font generated when its file cannot be fetched) asks this; a
// fetch would only repeat the one that just failed.
TEST_F(HTTPSystemTest, NoUrlCanBeWrittenAndAskingFetchesNothing) {
    TestHttpServer server({{HttpAnswer("HTTP/1.0 200 OK", {}, "data")}});
    std::string url = server.Url("/w.mft");
    EXPECT_FALSE(Http()->CanWriteFile(SCHEME_HTTP, url.c_str()));
    server.Stop();
    EXPECT_TRUE(server.Requests().empty());
}

TEST_F(HTTPSystemTest, ThroughTheApiWithAPathThatPassesTheChecks) {
    // Without a port the URL passes the path checks; the cache already holds the file, so the
    // API reads it without any network.
    std::string url = "http://cdn.example/sprites/a.png";
    WriteNativeFile(CacheFile(url), "cached");
    EXPECT_TRUE(ZQ_FileSystem_FileExists(url.c_str()));
    EXPECT_EQ("cached", ReadThroughApi(url.c_str()));
    EXPECT_EQ(0, ZQI_GetOpenFileCount());
}

TEST_F(HTTPSystemTest, ListingAndInformationAreNotImplemented) {
    zq_file_info_t info = {};
    EXPECT_FALSE(Http()->GetFileInfo(SCHEME_HTTP, "http://h/x", &info));
    EXPECT_TRUE(
        AnyPopupContains("1:File System: GetFileInfo() is not implemented for files in 'http://' on HTTP."));
    Array<String> wildcards;
    Array<String> out;
    Http()->FindFiles(SCHEME_HTTP, "http://h/", "http://h", wildcards, false, out);
    EXPECT_TRUE(
        AnyPopupContains("1:File System: FindFiles() is not implemented for files in 'http://' on HTTP."));
}
