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
        const char* value = location.CStr();
        const size_t length = strlen(value);
        // A value is one line without the blanks around it.
        if (strpbrk(value, "\r\n") != nullptr ||
            (length > 0 && (value[0] == ' ' || value[0] == '\t' || value[length - 1] == ' ' ||
                            value[length - 1] == '\t'))) {
            __builtin_trap();
        }
    }
    int64_t length = -1;
    const HttpContentLength announced = ZQI_ParseHttpContentLength(header.Text(), &length);
    if ((announced == HTTP_LENGTH_GIVEN && length < 0) || (announced != HTTP_LENGTH_GIVEN && length != -1)) {
        __builtin_trap();
    }
    std::string url(reinterpret_cast<const char*>(data), size);
    ZQI_GetURLHost(url.c_str());
    ZQI_GetURLHost(location.CStr());
    return 0;
}
