// Parsing of response headers: where the header ends, the status, Location and Content-Length.
#include <gtest/gtest.h>

#include <string>

#include "filesystem/HttpResponse.h"

namespace {

// Feeds bytes until the header reports its end; returns how many bytes it took (or all).
size_t Feed(HttpHeaderText& header, const std::string& bytes) {
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (header.Append(bytes[i])) {
            return i + 1;
        }
    }
    return bytes.size();
}

}  // namespace

TEST(HttpResponseTest, HeaderEndsAtTheFirstEmptyLine) {
    HttpHeaderText crlf;
    EXPECT_EQ(19u, Feed(crlf, "HTTP/1.0 200 OK\r\n\r\nbody"));
    EXPECT_STREQ("HTTP/1.0 200 OK\r\n\r\n", crlf.Text());
    HttpHeaderText bare;
    EXPECT_EQ(17u, Feed(bare, "HTTP/1.0 200 OK\n\nbody"));
    HttpHeaderText mixed;
    EXPECT_EQ(19u, Feed(mixed, "HTTP/1.0 200 OK\n\r\r\nbody")) << "\\r alone does not make a line";
}

TEST(HttpResponseTest, HeaderStopsGrowingAtItsLimit) {
    HttpHeaderText header;
    std::string endless(ZQI_HTTP_MAX_HEADER * 2, 'h');
    Feed(header, endless);
    EXPECT_TRUE(header.IsFull());
    EXPECT_LT(header.Length(), static_cast<uint32_t>(ZQI_HTTP_MAX_HEADER));
    EXPECT_FALSE(header.Append('\n'));
}

TEST(HttpResponseTest, StatusCodes) {
    EXPECT_EQ(200, ZQI_ParseHttpStatus("HTTP/1.0 200 OK\r\n"));
    EXPECT_EQ(404, ZQI_ParseHttpStatus("junk HTTP/1.1 404 Not Found"));
    EXPECT_EQ(302, ZQI_ParseHttpStatus("HTTP/1.0 302"));
    EXPECT_EQ(0, ZQI_ParseHttpStatus("HTTP/1.0"));
    EXPECT_EQ(0, ZQI_ParseHttpStatus("HTTP/1.0-abcdefghijklmnop 200"));
    EXPECT_EQ(0, ZQI_ParseHttpStatus("200 OK"));
    EXPECT_EQ(0, ZQI_ParseHttpStatus("HTTP/1.0 -200"));
    EXPECT_EQ(9999999, ZQI_ParseHttpStatus("HTTP/1.0 99999999999"));
    EXPECT_EQ(0, ZQI_ParseHttpStatus(nullptr));
}

TEST(HttpResponseTest, LocationAndContentLength) {
    const char* header = "HTTP/1.0 302 Found\r\nLocation: http://a/b\r\nContent-Length:  12\r\n\r\n";
    String value;
    ASSERT_TRUE(ZQI_FindHttpHeaderValue(header, "Location: ", value));
    EXPECT_STREQ("http://a/b", value.CStr());
    int64_t length = -1;
    ASSERT_TRUE(ZQI_ParseHttpContentLength(header, &length));
    EXPECT_EQ(12, length);
    EXPECT_FALSE(ZQI_ParseHttpContentLength("HTTP/1.0 200 OK\r\n\r\n", &length));
    ASSERT_TRUE(ZQI_ParseHttpContentLength("Content-Length: abc\r\n", &length));
    EXPECT_EQ(0, length);
    ASSERT_TRUE(ZQI_ParseHttpContentLength("Content-Length: 99999999999999999999999999", &length));
    EXPECT_EQ(INT64_MAX, length);
    EXPECT_FALSE(ZQI_FindHttpHeaderValue(header, "location: ", value)) << "names match case-sensitively";
}

TEST(HttpResponseTest, RedirectStatuses) {
    for (int32_t status : {301, 302, 303, 307}) {
        EXPECT_TRUE(ZQI_IsHttpRedirect(status)) << status;
    }
    for (int32_t status : {200, 300, 304, 308}) {
        EXPECT_FALSE(ZQI_IsHttpRedirect(status)) << status;
    }
}
