// HTTP response header accumulation and parsing.
#include "filesystem/HttpResponse.h"

#include <cstdlib>
#include <cstring>

namespace {

const uint32_t kInitialHeaderCapacity = 512;
const int32_t kStatusSearchWindow = 16;
const int32_t kStatusMaxCharacters = 7;

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

int32_t ZQI_ParseHttpStatus(const char* header) {
    if (header == nullptr) {
        return 0;
    }
    const char* version = strstr(header, "HTTP/");
    if (version == nullptr) {
        return 0;
    }
    const char* blank = nullptr;
    for (int32_t i = 0; i < kStatusSearchWindow && version[i] != '\0'; ++i) {
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
    for (int32_t i = 1; i <= kStatusMaxCharacters && blank[i] >= '0' && blank[i] <= '9'; ++i) {
        status = status * 10 + (blank[i] - '0');
    }
    return status;
}

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

char LowerCase(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The start of the line after the one that line is in; null after the last line.
const char* NextLine(const char* line) {
    const char* end = strchr(line, '\n');
    return end != nullptr ? end + 1 : nullptr;
}

// The value of the field name when the line is that field (see ZQI_FindHttpHeaderValue): its
// start and length, blanks around it left out.
bool MatchField(const char* line, const char* name, const char** value, size_t* length) {
    size_t i = 0;
    for (; name[i] != '\0'; ++i) {
        if (LowerCase(line[i]) != LowerCase(name[i])) {
            return false;
        }
    }
    if (line[i] != ':') {
        return false;
    }
    const char* start = line + i + 1;
    while (IsBlank(*start)) {
        ++start;
    }
    size_t count = strcspn(start, "\r\n");
    while (count > 0 && IsBlank(start[count - 1])) {
        --count;
    }
    *value = start;
    *length = count;
    return true;
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

}  // namespace

bool ZQI_FindHttpHeaderValue(const char* header, const char* name, String& value) {
    value = "";
    if (header == nullptr || name == nullptr || name[0] == '\0') {
        return false;
    }
    // The first line is the status line, never a field.
    for (const char* line = NextLine(header); line != nullptr; line = NextLine(line)) {
        const char* start = nullptr;
        size_t length = 0;
        if (MatchField(line, name, &start, &length)) {
            value.Format("%.*s", static_cast<int>(length), start);
            return true;
        }
    }
    return false;
}

HttpContentLength ZQI_ParseHttpContentLength(const char* header, int64_t* length) {
    if (header == nullptr) {
        return HTTP_LENGTH_ABSENT;
    }
    bool found = false;
    int64_t agreed = 0;
    for (const char* line = NextLine(header); line != nullptr; line = NextLine(line)) {
        const char* start = nullptr;
        size_t count = 0;
        if (!MatchField(line, "Content-Length", &start, &count)) {
            continue;
        }
        int64_t number = 0;
        if (!ParsePlainNumber(start, count, &number) || (found && number != agreed)) {
            return HTTP_LENGTH_INVALID;
        }
        found = true;
        agreed = number;
    }
    if (!found) {
        return HTTP_LENGTH_ABSENT;
    }
    *length = agreed;
    return HTTP_LENGTH_GIVEN;
}

bool ZQI_IsHttpRedirect(int32_t status) {
    return status == 301 || status == 302 || status == 303 || status == 307;
}
