// The http:// file system: one download per URL kept in cache://, failures that leave no cache
// file, and the operations it does not have.
#include <gtest/gtest.h>

#include <string>

#include "FileSystemTestSupport.h"
#include "TestHttpServer.h"
#include "filesystem/FileSystemApi.h"
#include "filesystem/FileSystemTable.h"
#include "filesystem/HTTPSystem.h"
#include "filesystem/HttpClient.h"

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

TEST_F(HTTPSystemTest, ExistenceDownloadsAndOnlyReadingIsOffered) {
    TestHttpServer server({{HttpAnswer("HTTP/1.0 200 OK", {}, "data")}});
    std::string url = server.Url("/e.bin");
    EXPECT_EQ(nullptr, Http()->OpenFile(SCHEME_HTTP, url.c_str(), FILE_MODE_WRITE));
    EXPECT_TRUE(Http()->FileExists(SCHEME_HTTP, url.c_str()));
    EXPECT_EQ("data", ReadNativeFile(CacheFile(url)));
    EXPECT_FALSE(Http()->CloseFile(nullptr));
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
