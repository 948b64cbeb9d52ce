// Parsing of response headers: where the header ends, the status, the fields by name and the
// Content-Length.
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
    ASSERT_TRUE(ZQI_FindHttpHeaderValue(header, "Location", value));
    EXPECT_STREQ("http://a/b", value.CStr());
    int64_t length = -1;
    ASSERT_EQ(HTTP_LENGTH_GIVEN, ZQI_ParseHttpContentLength(header, &length));
    EXPECT_EQ(12, length);
    EXPECT_EQ(HTTP_LENGTH_ABSENT, ZQI_ParseHttpContentLength("HTTP/1.0 200 OK\r\n\r\n", &length));
}

// A field counts only by its whole name at the start of a line after the status line, in any
// case, and only one plain number is a length ("X-Original-Content-Length: 4" once cut bodies).
TEST(HttpResponseTest, ContentLengthIsOnePlainNumberInItsOwnField) {
    const struct {
        const char* fields;
        HttpContentLength result;
        int64_t length;
    } cases[] = {
        {"X-Original-Content-Length: 4\r\n", HTTP_LENGTH_ABSENT, -1},
        {"Content-Length-Range: 4\r\n", HTTP_LENGTH_ABSENT, -1},
        {"X-Note: Content-Length: 4\r\n", HTTP_LENGTH_ABSENT, -1},
        {"content-LENGTH: \t 10 \t\r\n", HTTP_LENGTH_GIVEN, 10},
        {"Content-Length: 9223372036854775807\r\n", HTTP_LENGTH_GIVEN, INT64_MAX},
        {"Content-Length: 7\r\nX: y\r\ncontent-length: 7\r\n", HTTP_LENGTH_GIVEN, 7},
        {"Content-Length: abc\r\n", HTTP_LENGTH_INVALID, -1},
        {"Content-Length:   \r\n", HTTP_LENGTH_INVALID, -1},
        {"Content-Length: 4x\r\n", HTTP_LENGTH_INVALID, -1},
        {"Content-Length: -4\r\n", HTTP_LENGTH_INVALID, -1},
        {"Content-Length: 9223372036854775808\r\n", HTTP_LENGTH_INVALID, -1},
        {"Content-Length: 7\r\nContent-Length: 4\r\n", HTTP_LENGTH_INVALID, -1},
    };
    for (const auto& c : cases) {
        const std::string header = std::string("HTTP/1.0 200 OK\r\n") + c.fields + "\r\n";
        int64_t length = -1;
        EXPECT_EQ(c.result, ZQI_ParseHttpContentLength(header.c_str(), &length)) << c.fields;
        EXPECT_EQ(c.length, length) << c.fields;
    }
    String value;
    EXPECT_FALSE(ZQI_FindHttpHeaderValue("HTTP/1.0 200 OK Location: x\r\n\r\n", "Location", value));
    ASSERT_TRUE(
        ZQI_FindHttpHeaderValue("HTTP/1.0 302 Found\nX-Location: a\nlocation:b \t\n\n", "Location", value));
    EXPECT_STREQ("b", value.CStr());
}

TEST(HttpResponseTest, RedirectStatuses) {
    for (int32_t status : {301, 302, 303, 307}) {
        EXPECT_TRUE(ZQI_IsHttpRedirect(status)) << status;
    }
    for (int32_t status : {200, 300, 304, 308}) {
        EXPECT_FALSE(ZQI_IsHttpRedirect(status)) << status;
    }
}
