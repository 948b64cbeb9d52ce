// HTTP response header accumulation and parsing.
#include "filesystem/HttpResponse.h"

#include <cstdlib>
#include <cstring>

#include "filesystem/FileSystemServices.h"

namespace {

const uint32_t kInitialHeaderCapacity = 512;
const int32_t kStatusSearchWindow = 16;
const int32_t kStatusMaxCharacters = 7;
const char kContentLength[] = "Content-Length";

}  // namespace

HttpHeaderText::HttpHeaderText() : text_(nullptr), length_(0), capacity_(0), lineLength_(0), full_(false) {}

HttpHeaderText::~HttpHeaderText() {
    free(text_);
}

bool HttpHeaderText::Append(char byte) {
    if (full_) {
        return false;
    }
    if (capacity_ <= length_ + 2) {
        uint32_t newCapacity = capacity_ == 0 ? kInitialHeaderCapacity : capacity_ * 2;
        if (newCapacity > ZQI_HTTP_MAX_HEADER + 2u) {
            full_ = true;
            return false;
        }
        char* grown = static_cast<char*>(realloc(text_, newCapacity));
        if (grown == nullptr) {
            full_ = true;
            return false;
        }
        text_ = grown;
        capacity_ = newCapacity;
    }
    text_[length_++] = byte;
    text_[length_] = '\0';
    if (byte == '\n') {
        bool emptyLine = lineLength_ == 0;
        lineLength_ = 0;
        return emptyLine;
    }
    if (byte != '\r') {
        ++lineLength_;
    }
    return false;
}

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Bytes that no status and no field value holds: the C0 controls other than the tab, and DEL.
bool IsControl(char c) {
    const unsigned char byte = static_cast<unsigned char>(c);
    return (byte < 0x20 && c != '\t') || byte == 0x7F;
}

char LowerCase(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Where the "\r"s from c on end (c itself when there is none).
const char* SkipCarriageReturns(const char* c, const char* textEnd) {
    while (c < textEnd && *c == '\r') {
        ++c;
    }
    return c;
}

// True where a line ends at c: its "\n", or "\r"s right before it (or before the text's end, where
// a header cut short stops). The header reader counts no "\r" in a line, so the lines of a server
// that writes them through a text-mode stream ("\r\r\n") end here as well.
bool IsLineEnd(const char* c, const char* textEnd) {
    const char* after = SkipCarriageReturns(c, textEnd);
    return after == textEnd || *after == '\n';
}

// One line of the header's bytes.
struct Line {
    const char* start;
    const char* end;   // where its content ends: at its line end, or at the text's end
    const char* next;  // the next line's start; null after the last line
};

Line LineAt(const char* start, const char* textEnd) {
    Line line;
    line.start = start;
    const char* newline = static_cast<const char*>(memchr(start, '\n', static_cast<size_t>(textEnd - start)));
    line.end = newline != nullptr ? newline : textEnd;
    line.next = newline != nullptr ? newline + 1 : nullptr;
    while (line.end > start && line.end[-1] == '\r') {
        --line.end;
    }
    return line;
}

// The bytes at text (up to end) begin with name, letters in any case; *after is where it ends.
bool StartsWithName(const char* text, const char* end, const char* name, const char** after) {
    for (; *name != '\0'; ++name, ++text) {
        if (text == end || LowerCase(*text) != LowerCase(*name)) {
            return false;
        }
    }
    *after = text;
    return true;
}

// The part of a value from start to stop without the blanks around it; false when it holds a
// control byte (a bare CR, a NUL): a reader stopping at that byte would take another value.
bool TrimValuePart(const char** start, const char** stop) {
    while (*start < *stop && IsBlank(**start)) {
        ++*start;
    }
    while (*stop > *start && IsBlank((*stop)[-1])) {
        --*stop;
    }
    for (const char* c = *start; c < *stop; ++c) {
        if (IsControl(*c)) {
            return false;
        }
    }
    return true;
}

// True when the line at start goes on with the value before it (it begins with a blank).
bool IsFoldedLine(const char* start, const char* textEnd) {
    return start != nullptr && start < textEnd && IsBlank(*start);
}

// A field's value: from valueStart (after its ":") to the end of its line, without the blanks
// around it. HTTP/1.0 lets a value go on in the lines after it that begin with a blank; each such
// fold reads as one blank, and a folded line of blanks only adds nothing. False, with value empty,
// when it holds a control byte (see TrimValuePart).
bool TakeValue(const Line& line, const char* valueStart, const char* textEnd, String& value) {
    value = "";
    const char* spanEnd = line.end;
    for (Line part = line; IsFoldedLine(part.next, textEnd);) {
        part = LineAt(part.next, textEnd);
        spanEnd = part.end;
    }
    char* joined = static_cast<char*>(malloc(static_cast<size_t>(spanEnd - valueStart) + 1));
    if (joined == nullptr) {
        ZQI_FileSystemLog(2, "TakeValue: out of memory.");
        return false;
    }
    size_t length = 0;
    bool clean = true;
    Line part = line;
    for (const char* start = valueStart;; start = part.start) {
        const char* stop = part.end;
        if (!TrimValuePart(&start, &stop)) {
            clean = false;
            break;
        }
        if (start < stop) {
            if (length > 0) {
                joined[length++] = ' ';
            }
            memcpy(joined + length, start, static_cast<size_t>(stop - start));
            length += static_cast<size_t>(stop - start);
        }
        if (!IsFoldedLine(part.next, textEnd)) {
            break;
        }
        part = LineAt(part.next, textEnd);
    }
    if (clean) {
        value.Format("%.*s", static_cast<int>(length), joined);
    }
    free(joined);
    return clean;
}

// The value of one Content-Length field as a number: decimal digits only, at least one, no
// more than INT64_MAX; false otherwise.
bool ParsePlainNumber(const char* text, size_t length, int64_t* number) {
    if (length == 0) {
        return false;
    }
    int64_t value = 0;
    for (size_t i = 0; i < length; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
        const int64_t digit = text[i] - '0';
        if (value > (INT64_MAX - digit) / 10) {
            return false;
        }
        value = value * 10 + digit;
    }
    *number = value;
    return true;
}

// The ":" after the name Content-Length at text and any blanks: a field to a reader that starts
// one there. Null when the bytes there are no such name.
const char* ContentLengthColon(const char* text, const char* textEnd) {
    const char* colon = nullptr;
    if (!StartsWithName(text, textEnd, kContentLength, &colon)) {
        return nullptr;
    }
    while (colon < textEnd && IsBlank(*colon)) {
        ++colon;
    }
    return colon < textEnd && *colon == ':' ? colon : nullptr;
}

const char* FindBytes(const char* text, const char* textEnd, const char* wanted) {
    const size_t length = strlen(wanted);
    for (const char* c = text; static_cast<size_t>(textEnd - c) >= length; ++c) {
        if (memcmp(c, wanted, length) == 0) {
            return c;
        }
    }
    return nullptr;
}

}  // namespace

int32_t ZQI_ParseHttpStatus(const char* header, size_t length) {
    if (header == nullptr) {
        return 0;
    }
    const char* textEnd = header + length;
    const char* version = FindBytes(header, textEnd, "HTTP/");
    if (version == nullptr) {
        return 0;
    }
    // The blank is looked for on the status line only: a control byte (its end, a NUL) stops it.
    const char* blank = nullptr;
    for (int32_t i = 0; i < kStatusSearchWindow && version + i < textEnd && !IsControl(version[i]); ++i) {
        if (version[i] == ' ') {
            blank = version + i;
            break;
        }
    }
    if (blank == nullptr) {
        return 0;
    }
    // Digits only: a sign would turn a malformed line into one of the client's own error codes.
    int32_t status = 0;
    const char* digit = blank + 1;
    for (int32_t i = 0; i < kStatusMaxCharacters && digit < textEnd && *digit >= '0' && *digit <= '9';
         ++i, ++digit) {
        status = status * 10 + (*digit - '0');
    }
    // Digits cut short by a bare CR or a NUL are not a status the server sent.
    if (digit < textEnd && IsControl(*digit) && !IsLineEnd(digit, textEnd)) {
        return 0;
    }
    return status;
}

HttpField ZQI_FindHttpHeaderValue(const char* header, size_t length, const char* name, String& value) {
    value = "";
    if (header == nullptr || name == nullptr || name[0] == '\0') {
        return HTTP_FIELD_ABSENT;
    }
    const char* textEnd = header + length;
    // The first line is the status line, never a field.
    for (const char* start = LineAt(header, textEnd).next; start != nullptr;) {
        const Line line = LineAt(start, textEnd);
        start = line.next;
        const char* after = nullptr;
        if (!StartsWithName(line.start, line.end, name, &after) || after == line.end || *after != ':') {
            continue;
        }
        return TakeValue(line, after + 1, textEnd, value) ? HTTP_FIELD_FOUND : HTTP_FIELD_MALFORMED;
    }
    return HTTP_FIELD_ABSENT;
}

HttpContentLength ZQI_ParseHttpContentLength(const char* header, size_t length, int64_t* out) {
    if (header == nullptr) {
        return HTTP_LENGTH_ABSENT;
    }
    const char* textEnd = header + length;
    bool found = false;
    int64_t agreed = 0;
    for (const char* start = LineAt(header, textEnd).next; start != nullptr;) {
        const Line line = LineAt(start, textEnd);
        start = line.next;
        const char* name = line.start;
        while (name < line.end && IsBlank(*name)) {
            ++name;
        }
        const char* colon = ContentLengthColon(name, line.end);
        if (colon == nullptr) {
            continue;
        }
        if (name != line.start || colon != name + strlen(kContentLength)) {
            return HTTP_LENGTH_INVALID;  // blanks before the name or its ":"
        }
        String text;
        int64_t number = 0;
        if (!TakeValue(line, colon + 1, textEnd, text) ||
            !ParsePlainNumber(text.CStr(), static_cast<size_t>(text.Length()), &number) ||
            (found && number != agreed)) {
            return HTTP_LENGTH_INVALID;
        }
        found = true;
        agreed = number;
    }
    // A reader that ends lines at a bare CR would find a field right after it. A run of "\r"s is
    // passed in one step, so the search stays linear.
    for (const char* c = header; c < textEnd;) {
        if (*c != '\r') {
            ++c;
            continue;
        }
        const char* name = SkipCarriageReturns(c, textEnd);
        c = name;
        if (name == textEnd || *name == '\n') {
            continue;  // the line's end
        }
        while (name < textEnd && IsBlank(*name)) {
            ++name;
        }
        if (ContentLengthColon(name, textEnd) != nullptr) {
            return HTTP_LENGTH_INVALID;
        }
    }
    if (!found) {
        return HTTP_LENGTH_ABSENT;
    }
    *out = agreed;
    return HTTP_LENGTH_GIVEN;
}

bool ZQI_IsHttpRedirect(int32_t status) {
    return status == 301 || status == 302 || status == 303 || status == 307;
}
