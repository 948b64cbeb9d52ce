// Reading an HTTP/1.0 response header as it arrives byte by byte, and what is taken from it: the
// status code, a field's value by name (the Location of a redirect, the Content-Type of an image)
// and the Content-Length. Works on untrusted bytes: every search stops at the text's end.
#pragma once

#include <cstdint>

#include "foundation/String.h"

// Longest response header the client accepts; an answer whose header runs longer fails.
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
// The value of the field name: a line after the status line that begins with the whole name
// (letters in any case) and a ":" right after it; the value is the rest of that line without
// the blanks (spaces, tabs) around it. The first such line counts. False, with value empty,
// when there is none: another field whose name merely contains name ("X-Original-Content-Length"
// for "Content-Length"), a continuation line, or a name with a blank before its ":" is not it.
bool ZQI_FindHttpHeaderValue(const char* header, const char* name, String& value);

// What the header says about the body's length.
enum HttpContentLength : int32_t {
    HTTP_LENGTH_ABSENT = 0,  // no Content-Length field: the body runs until the server closes
    HTTP_LENGTH_GIVEN = 1,   // one length, in *length
    HTTP_LENGTH_INVALID = 2  // a value that is not one plain decimal number (signs, lists, text,
                             // nothing, beyond INT64_MAX), or fields that disagree: the body's
                             // end is unknown, so no body can be taken for whole
};
// Every Content-Length field of the header (see ZQI_FindHttpHeaderValue); *length is set only
// for HTTP_LENGTH_GIVEN. Repeated fields with the same number count as one.
HttpContentLength ZQI_ParseHttpContentLength(const char* header, int64_t* length);
// True for the redirect statuses the client follows: 301, 302, 303 and 307.
bool ZQI_IsHttpRedirect(int32_t status);
