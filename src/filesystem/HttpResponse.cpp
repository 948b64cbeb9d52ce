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

bool ZQI_FindHttpHeaderValue(const char* header, const char* name, String& value) {
    value = "";
    if (header == nullptr || name == nullptr || name[0] == '\0') {
        return false;
    }
    const char* found = strstr(header, name);
    if (found == nullptr) {
        return false;
    }
    const char* start = found + strlen(name);
    size_t length = strcspn(start, "\r\n");
    value.Format("%.*s", static_cast<int>(length), start);
    return true;
}

bool ZQI_ParseHttpContentLength(const char* header, int64_t* length) {
    String value;
    if (!ZQI_FindHttpHeaderValue(header, "Content-Length:", value)) {
        return false;
    }
    const char* c = value.CStr();
    while (*c == ' ' || *c == '\t') {
        ++c;
    }
    int64_t number = 0;
    for (; *c >= '0' && *c <= '9'; ++c) {
        int64_t digit = *c - '0';
        number = number > (INT64_MAX - digit) / 10 ? INT64_MAX : number * 10 + digit;
    }
    *length = number;
    return true;
}

bool ZQI_IsHttpRedirect(int32_t status) {
    return status == 301 || status == 302 || status == 303 || status == 307;
}
