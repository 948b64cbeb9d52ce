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

// The parsers take the header's bytes, NULs included.
int32_t Status(const std::string& header) {
    return ZQI_ParseHttpStatus(header.data(), header.size());
}

HttpField Field(const std::string& header, const char* name, String& value) {
    return ZQI_FindHttpHeaderValue(header.data(), header.size(), name, value);
}

HttpContentLength Length(const std::string& header, int64_t* length) {
    return ZQI_ParseHttpContentLength(header.data(), header.size(), length);
}

const std::string kNul(1, '\0');

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

// The status is the digits on the status line, ended by a blank or the line's end ("\r"s right
// before its "\n" included): a bare CR, a NUL or a fold before or inside it makes none.
TEST(HttpResponseTest, StatusCodes) {
    const struct {
        std::string header;
        int32_t status;
    } cases[] = {
        {"HTTP/1.0 200 OK\r\n", 200},
        {"junk HTTP/1.1 404 Not Found", 404},
        {"HTTP/1.0 302", 302},
        {"HTTP/1.0", 0},
        {"HTTP/1.0-abcdefghijklmnop 200", 0},
        {"200 OK", 0},
        {"HTTP/1.0 -200", 0},
        {"HTTP/1.0 99999999999", 9999999},
        {"HTTP/1.0 200\n", 200},
        {"HTTP/1.0 200\r", 200},
        {"HTTP/1.0 302\r\r\n", 302},
        {kNul + "HTTP/1.0 200 OK\r\n", 200},
        {"HTTP/1.0 200\r4 OK\r\n", 0},
        {"HTTP/1.0 200\r\rOK\r\n", 0},
        {"HTTP/1.0 200" + kNul + " OK\r\n", 0},
        {"HTTP/1.0\r\n 200 OK\r\n", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.status, Status(c.header)) << ::testing::PrintToString(c.header);
    }
    EXPECT_EQ(0, ZQI_ParseHttpStatus(nullptr, 0));
}

TEST(HttpResponseTest, LocationAndContentLength) {
    const std::string header = "HTTP/1.0 302 Found\r\nLocation: http://a/b\r\nContent-Length:  12\r\n\r\n";
    String value;
    ASSERT_EQ(HTTP_FIELD_FOUND, Field(header, "Location", value));
    EXPECT_STREQ("http://a/b", value.CStr());
    int64_t length = -1;
    ASSERT_EQ(HTTP_LENGTH_GIVEN, Length(header, &length));
    EXPECT_EQ(12, length);
    EXPECT_EQ(HTTP_LENGTH_ABSENT, Length("HTTP/1.0 200 OK\r\n\r\n", &length));
}

// A field counts only by its whole name at the start of a line after the status line, in any
// case, and only one plain number is a length ("X-Original-Content-Length: 4" once cut bodies).
// The number runs to the end of its line, folds included; a spelling that some reader would take
// for a Content-Length and another would not leaves the length unknown. A NUL elsewhere hides none.
TEST(HttpResponseTest, ContentLengthIsOnePlainNumberInItsOwnField) {
    const struct {
        std::string fields;
        HttpContentLength result;
        int64_t length;
    } cases[] = {
        {"X-Original-Content-Length: 4\r\n", HTTP_LENGTH_ABSENT, -1},
        {"Content-Length-Range: 4\r\n", HTTP_LENGTH_ABSENT, -1},
        {"X-Note: Content-Length: 4\r\n", HTTP_LENGTH_ABSENT, -1},
        {"content-LENGTH: \t 10 \t\r\n", HTTP_LENGTH_GIVEN, 10},
        {"Content-Length: 9223372036854775807\r\n", HTTP_LENGTH_GIVEN, INT64_MAX},
        {"Content-Length: 7\r\nX: y\r\ncontent-length: 7\r\n", HTTP_LENGTH_GIVEN, 7},
        {"Content-Length: 7\n", HTTP_LENGTH_GIVEN, 7},
        {"Content-Length: abc\r\n", HTTP_LENGTH_INVALID, -1},
        {"Content-Length:   \r\n", HTTP_LENGTH_INVALID, -1},
        {"Content-Length: 4x\r\n", HTTP_LENGTH_INVALID, -1},
        {"Content-Length: -4\r\n", HTTP_LENGTH_INVALID, -1},
        {"Content-Length: 9223372036854775808\r\n", HTTP_LENGTH_INVALID, -1},
        {"Content-Length: 7\r\nContent-Length: 4\r\n", HTTP_LENGTH_INVALID, -1},
        // A bare CR or a NUL: in the value, or in an earlier line where it may end that line.
        {"Content-Length: 4\r\r\n", HTTP_LENGTH_GIVEN, 4},
        {"Content-Length: 4\r10\r\n", HTTP_LENGTH_INVALID, -1},
        {"Content-Length: 4" + kNul + "0\r\n", HTTP_LENGTH_INVALID, -1},
        {"X-Note: a" + kNul + "b\r\nContent-Length: 10\r\n", HTTP_LENGTH_GIVEN, 10},
        {"X-Note: a\rb\r\nContent-Length: 10\r\n", HTTP_LENGTH_GIVEN, 10},
        {"X-Note: a\rContent-Length: 10\r\n", HTTP_LENGTH_INVALID, -1},
        // Folds: of the value, of an earlier field, and one that looks like a field.
        {"Content-Length: 1\r\n\t\r\n", HTTP_LENGTH_GIVEN, 1},
        {"Content-Length: 1\r\n 0\r\n", HTTP_LENGTH_INVALID, -1},
        {"X-Note: a\r\n b\r\nContent-Length: 10\r\n", HTTP_LENGTH_GIVEN, 10},
        {"X-Note: a\r\n\tContent-Length: 10\r\n", HTTP_LENGTH_INVALID, -1},
        // Blanks around the name.
        {"Content-Length : 10\r\n", HTTP_LENGTH_INVALID, -1},
        {" Content-Length: 10\r\n", HTTP_LENGTH_INVALID, -1},
    };
    for (const auto& c : cases) {
        const std::string header = "HTTP/1.0 200 OK\r\n" + c.fields + "\r\n";
        int64_t length = -1;
        EXPECT_EQ(c.result, Length(header, &length)) << ::testing::PrintToString(c.fields);
        EXPECT_EQ(c.length, length) << ::testing::PrintToString(c.fields);
    }
    int64_t length = -1;
    EXPECT_EQ(HTTP_LENGTH_INVALID, Length("HTTP/1.0 200 OK\rContent-Length: 4\r\n\r\n", &length))
        << "a bare CR in the status line";
}

// A value runs to the end of its line and on through its folded lines, each fold read as one
// blank; one holding a control byte is no value the server sent.
TEST(HttpResponseTest, FieldsAreFoundByTheirWholeNameAndReadToTheEndOfTheirLine) {
    const struct {
        const char* name;
        std::string fields;
        HttpField result;
        const char* value;
    } cases[] = {
        {"Location", "X-Location: a\nlocation:b \t\n", HTTP_FIELD_FOUND, "b"},
        {"Location", "Location: http://a/b \r\r\r\n", HTTP_FIELD_FOUND, "http://a/b"},
        {"Location", "X-Note: a" + kNul + "b\r\nLocation: http://a/b\r\n", HTTP_FIELD_FOUND, "http://a/b"},
        {"Location", "Location : http://a/b\r\n", HTTP_FIELD_ABSENT, ""},
        {"Location", "X-Note: a\rLocation: http://a/b\r\n", HTTP_FIELD_ABSENT, ""},
        {"Location", "Location: http://a/b\rc\r\n", HTTP_FIELD_MALFORMED, ""},
        {"Location", "Location: http://a/b" + kNul + "c\r\n", HTTP_FIELD_MALFORMED, ""},
        {"Location", "Location: http://a/b\x7f\r\n", HTTP_FIELD_MALFORMED, ""},
        {"Location", "Location: http://a/b\r\nLocation: http://c/d\r\n", HTTP_FIELD_FOUND, "http://a/b"},
        {"Location", "Location: http://a/b\r\n c\r\n", HTTP_FIELD_FOUND, "http://a/b c"},
        {"Content-Type", "Content-Type: image/png;\n\t \n \t q=1 \t\nX: y\n", HTTP_FIELD_FOUND,
         "image/png; q=1"},
        {"Content-Type", "Content-Type:\r\n image/png\r\n", HTTP_FIELD_FOUND, "image/png"},
        {"Content-Type", "Content-Type: image/png\r\n b\rc\r\n", HTTP_FIELD_MALFORMED, ""},
    };
    for (const auto& c : cases) {
        String value("stale");
        EXPECT_EQ(c.result, Field("HTTP/1.0 302 Found\r\n" + c.fields + "\r\n", c.name, value))
            << ::testing::PrintToString(c.fields);
        EXPECT_STREQ(c.value, value.CStr()) << ::testing::PrintToString(c.fields);
    }
    String value;
    EXPECT_EQ(HTTP_FIELD_ABSENT, Field("HTTP/1.0 200 OK Location: x\r\n\r\n", "Location", value));
    EXPECT_EQ(HTTP_FIELD_ABSENT, ZQI_FindHttpHeaderValue(nullptr, 0, "Location", value));
}

TEST(HttpResponseTest, RedirectStatuses) {
    for (int32_t status : {301, 302, 303, 307}) {
        EXPECT_TRUE(ZQI_IsHttpRedirect(status)) << status;
    }
    for (int32_t status : {200, 300, 304, 308}) {
        EXPECT_FALSE(ZQI_IsHttpRedirect(status)) << status;
    }
}
