// Fuzz target: an HTTP response header arriving byte by byte, then the status, the Location and
// the Content-Length taken from it, and the host of the bytes read as a URL.
#include <cstddef>
#include <cstdint>
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
    ZQI_FindHttpHeaderValue(header.Text(), "Location: ", location);
    int64_t length = 0;
    if (ZQI_ParseHttpContentLength(header.Text(), &length) && length < 0) {
        __builtin_trap();
    }
    std::string url(reinterpret_cast<const char*>(data), size);
    ZQI_GetURLHost(url.c_str());
    ZQI_GetURLHost(location.CStr());
    return 0;
}
