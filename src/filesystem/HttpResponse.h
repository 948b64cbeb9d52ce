// Reading an HTTP/1.0 response header as it arrives byte by byte, and what is taken from it: the
// status code, a field's value by name (the Location of a redirect, the Content-Type of an image)
// and the Content-Length. Works on untrusted bytes: every search stops at the text's end.
#pragma once

#include <cstddef>
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

// The parsers below read the header's bytes as the server sent them, length given: a NUL is a
// byte like any other and hides nothing after it. A line ends at its "\n"; the "\r"s right before
// it belong to the ending (as the header reader counts none, "\r\r\n" ends a line too); a "\r"
// anywhere else (a bare CR) is part of the line.

// The status: after "HTTP/", skip to just after the first blank within the next 16 bytes of its
// line; the digits that follow (at most 7) form the number. 0 without "HTTP/", without that
// blank, without digits, or when a control byte other than the line's end (a bare CR, a NUL)
// follows the digits.
int32_t ZQI_ParseHttpStatus(const char* header, size_t length);

// What the header holds of a field.
enum HttpField : int32_t {
    HTTP_FIELD_ABSENT = 0,
    HTTP_FIELD_FOUND = 1,     // one value, in value
    HTTP_FIELD_MALFORMED = 2  // the field is there, but its value holds a control byte (a bare CR,
                              // a NUL): no one value the server sent, and a reader that stopped
                              // at that byte would take another
};
// The value of the field name: a line after the status line that begins with the whole name
// (letters in any case) and a ":" right after it; the value is the rest of that line without
// the blanks (spaces, tabs) around it. HTTP/1.0 lets a value go on in the lines after it that
// begin with a blank: each such fold reads as one blank. The first such field counts. Another
// field whose name merely contains name ("X-Original-Content-Length" for "Content-Length"), a
// folded line, or a name with a blank before its ":" is not it. value is empty unless the result
// is HTTP_FIELD_FOUND.
HttpField ZQI_FindHttpHeaderValue(const char* header, size_t length, const char* name, String& value);

// What the header says about the body's length.
enum HttpContentLength : int32_t {
    HTTP_LENGTH_ABSENT = 0,  // no Content-Length field: the body runs until the server closes
    HTTP_LENGTH_GIVEN = 1,   // one length, in *out
    HTTP_LENGTH_INVALID = 2  // a value that is not one plain decimal number up to the end of its
                             // line (signs, lists, text, nothing, control bytes, a second number
                             // in a folded line, beyond INT64_MAX), fields that disagree, or a
                             // Content-Length that some reader would see and another would not:
                             // the body's end is unknown, so no body can be taken for whole
};
// Every Content-Length field of the header (see ZQI_FindHttpHeaderValue); *out is set only
// for HTTP_LENGTH_GIVEN. Repeated fields with the same number count as one. The name anywhere
// a reader could take for the start of a field, without being the start of one, makes the
// length invalid: after a bare CR, after blanks at a line's start, or with blanks before its ":".
HttpContentLength ZQI_ParseHttpContentLength(const char* header, size_t length, int64_t* out);
// True for the redirect statuses the client follows: 301, 302, 303 and 307.
bool ZQI_IsHttpRedirect(int32_t status);
