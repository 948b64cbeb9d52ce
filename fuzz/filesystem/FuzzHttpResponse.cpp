// Fuzz target: an HTTP response header arriving byte by byte, then the status, the Location and
// the Content-Length taken from its bytes (a value found never holds a control byte or outer
// blanks, and is empty unless found; a length is never negative and is left alone unless given),
// and the host of the bytes read as a URL.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "filesystem/HttpClient.h"
#include "filesystem/HttpResponse.h"

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool IsControl(char c) {
    return (static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    HttpHeaderText header;
    for (size_t i = 0; i < size; ++i) {
        if (header.Append(static_cast<char>(data[i])) || header.IsFull()) {
            break;
        }
    }
    const char* text = header.Text();
    const size_t length = header.Length();
    int32_t status = ZQI_ParseHttpStatus(text, length);
    if (status < 0) {
        __builtin_trap();  // a status must never look like one of the client's error codes
    }
    String location;
    const HttpField field = ZQI_FindHttpHeaderValue(text, length, "Location", location);
    const std::string value = location.CStr();
    if (field != HTTP_FIELD_FOUND ? !value.empty()
                                  : (std::find_if(value.begin(), value.end(), IsControl) != value.end() ||
                                     (!value.empty() && (IsBlank(value.front()) || IsBlank(value.back()))))) {
        __builtin_trap();
    }
    int64_t contentLength = -1;
    if (ZQI_ParseHttpContentLength(text, length, &contentLength) == HTTP_LENGTH_GIVEN ? contentLength < 0
                                                                                      : contentLength != -1) {
        __builtin_trap();
    }
    std::string url(reinterpret_cast<const char*>(data), size);
    ZQI_GetURLHost(url.c_str());
    ZQI_GetURLHost(location.CStr());
    return 0;
}
