// Fuzz target: an HTTP response header arriving byte by byte, then the status, the Location and
// the Content-Length taken from it (a value never holds a line end or outer blanks; a length is
// never negative and is left alone unless given), and the host of the bytes read as a URL.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "filesystem/HttpClient.h"
#include "filesystem/HttpResponse.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    HttpHeaderText header;
    for (size_t i = 0; i < size; ++i) {
        if (header.Append(static_cast<char>(data[i])) || header.IsFull()) {
            break;
        }
    }
    int32_t status = ZQI_ParseHttpStatus(header.Text());
    if (status < 0) {
        __builtin_trap();  // a status must never look like one of the client's error codes
    }
    String location;
    if (ZQI_FindHttpHeaderValue(header.Text(), "Location", location)) {
        const std::string value = location.CStr();
        if (value.find_first_of("\r\n") != std::string::npos ||
            (!value.empty() && (strchr(" \t", value.front()) || strchr(" \t", value.back())))) {
            __builtin_trap();
        }
    }
    int64_t length = -1;
    if (ZQI_ParseHttpContentLength(header.Text(), &length) == HTTP_LENGTH_GIVEN ? length < 0 : length != -1) {
        __builtin_trap();
    }
    std::string url(reinterpret_cast<const char*>(data), size);
    ZQI_GetURLHost(url.c_str());
    ZQI_GetURLHost(location.CStr());
    return 0;
}
