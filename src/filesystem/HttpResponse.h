// Reading an HTTP/1.0 response header as it arrives byte by byte, and the three things the client
// takes from it: the status code, the Location of a redirect and the Content-Length. Works on
// untrusted bytes: every search stops at the text's end.
#pragma once

#include <cstdint>

#include "foundation/String.h"

// Longest response header the client accepts; a longer one ends the header reading.
enum { ZQI_HTTP_MAX_HEADER = 65536 };

// The header text as it grows: a buffer of 512 bytes first, doubling whenever it is not larger
// than the text plus 2; always NUL-terminated.
class HttpHeaderText {
public:
    HttpHeaderText();
    ~HttpHeaderText();

    // Appends one received byte. Returns true once an empty line has ended the header ("\r\n"
    // or a bare "\n"; "\r" does not count towards a line's length). False as well when the
    // header has reached its limit or memory ran out (see IsFull).
    bool Append(char byte);
    // True when the header cannot take another byte.
    bool IsFull() const { return full_; }
    const char* Text() const { return text_ != nullptr ? text_ : ""; }
    uint32_t Length() const { return length_; }

    HttpHeaderText(const HttpHeaderText&) = delete;
    HttpHeaderText& operator=(const HttpHeaderText&) = delete;

private:
    char* text_;
    uint32_t length_;
    uint32_t capacity_;
    uint32_t lineLength_;
    bool full_;
};

// The status: after "HTTP/", skip to just after the first blank within the next 16 characters;
// the digits that follow (at most 7 characters up to a blank or the end) form the number. 0
// without "HTTP/", without that blank, or without digits.
int32_t ZQI_ParseHttpStatus(const char* header);
// The text after name up to the end of its line (the first "\r" or "\n"); false when the header
// does not contain name. Case-sensitive, as the engine has always matched header names.
bool ZQI_FindHttpHeaderValue(const char* header, const char* name, String& value);
// The number after "Content-Length:" (blanks skipped, digits only, saturating at INT64_MAX);
// 0 when no digits follow. False when the header has no such line.
bool ZQI_ParseHttpContentLength(const char* header, int64_t* length);
// True for the redirect statuses the client follows: 301, 302, 303 and 307.
bool ZQI_IsHttpRedirect(int32_t status);
