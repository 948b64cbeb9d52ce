// The HTTP/1.0 client: building the request, one exchange over a socket (header read byte by
// byte, body read until the server closes or its Content-Length is in), redirects, and the two
// root slots built on them.
#include "filesystem/HttpClient.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/Buffer.h"
#include "filesystem/FileSystemServices.h"
#include "filesystem/HttpResponse.h"
#include "filesystem/NativeSocket.h"
#include "foundation/EnumNames.h"

namespace {

std::atomic<uint32_t> g_timeoutMilliseconds(30000);

const char kScheme[] = "http://";
const size_t kSchemeLength = sizeof(kScheme) - 1;
// Pieces the body is received in.
const int32_t kBodyPiece = 1023;
// Lines formatted into fixed buffers of this size ("Content-Length: ...", "Content-Type: ...").
const size_t kHeaderLineSize = 128;

#if defined(_WIN32)
const PlatformId kHostPlatform = PLATFORM_ID_WINDOWS;
#else
const PlatformId kHostPlatform = PLATFORM_ID_LINUX;
#endif

const char* MethodWord(HttpRequestType type) {
    switch (type) {
        case HTTP_REQUEST_POST:
            return "POST ";
        case HTTP_REQUEST_GET:
            return "GET ";
        case HTTP_REQUEST_HEAD:
            return "HEAD ";
        case HTTP_REQUEST_PUT:
            return "PUT ";
        case HTTP_REQUEST_DELETE:
            return "DELETE ";
        default:
            return nullptr;
    }
}

// The caller sets its state word to 1 from another thread to cancel.
bool IsCancelled(const uint32_t* state) {
    return (state != nullptr && *static_cast<const volatile uint32_t*>(state) == 1) ||
           ZQI_FileSystemIsQuitting();
}

void EmptyBuffer(zq_buffer_t* buffer) {
    if (buffer == nullptr) {
        return;
    }
    free(buffer->data);
    buffer->data = nullptr;
    buffer->size = 0;
    buffer->capacity = 0;
}

struct UrlParts {
    String hostPart;  // host[:port]
    String host;
    String path;   // without leading "/"
    int32_t port;  // -1 when the port text is not a number from 1 to 65535
};

bool SplitUrl(const char* url, UrlParts& parts) {
    const char* rest = url + kSchemeLength;
    if (strnlen(rest, ZQI_HTTP_MAX_URL_REST) >= ZQI_HTTP_MAX_URL_REST) {
        return false;
    }
    size_t hostLength = strcspn(rest, "/");
    parts.hostPart.Format("%.*s", static_cast<int>(hostLength), rest);
    const char* path = rest + hostLength;
    while (*path == '/') {
        ++path;
    }
    parts.path = path;
    const char* colon = strchr(parts.hostPart.CStr(), ':');
    parts.port = 80;
    if (colon == nullptr) {
        parts.host = parts.hostPart;
        return true;
    }
    parts.host.Format("%.*s", static_cast<int>(colon - parts.hostPart.CStr()), parts.hostPart.CStr());
    int32_t port = 0;
    const char* digit = colon + 1;
    for (; *digit >= '0' && *digit <= '9' && port <= 65535; ++digit) {
        port = port * 10 + (*digit - '0');
    }
    parts.port = (*digit == '\0' && digit != colon + 1 && port >= 1 && port <= 65535) ? port : -1;
    return true;
}

// The caller's header with the value of its "Host: " line replaced by the new host. Only that
// line changes: the old host may well occur elsewhere in the header (a path, an agent name).
String RetargetHostLine(const String& header, const String& newHost) {
    const char* text = header.CStr();
    const char* line = text;
    while (line != nullptr && *line != '\0') {
        if (strncmp(line, "Host: ", 6) == 0) {
            const char* valueStart = line + 6;
            const char* valueEnd = valueStart + strcspn(valueStart, "\r\n");
            String result = header.Substring(0, static_cast<int32_t>(valueStart - text));
            result.Append(newHost.CStr());
            result.Append(valueEnd);
            return result;
        }
        line = strchr(line, '\n');
        if (line != nullptr) {
            ++line;
        }
    }
    return header;
}

// A growing, NUL-terminated body: doubles while it is not larger than the text plus 1.
struct BodyBuffer {
    uint8_t* data = nullptr;
    uint32_t length = 0;
    uint32_t capacity = 0;

    bool Append(const uint8_t* bytes, uint32_t count) {
        if (count > ZQI_HTTP_MAX_BODY - length) {
            return false;
        }
        uint64_t needed = static_cast<uint64_t>(length) + count + 1;
        if (capacity < needed) {
            uint64_t newCapacity = capacity == 0 ? 1024 : capacity;
            while (newCapacity < needed) {
                newCapacity *= 2;
            }
            uint8_t* grown = static_cast<uint8_t*>(realloc(data, static_cast<size_t>(newCapacity)));
            if (grown == nullptr) {
                return false;
            }
            data = grown;
            capacity = static_cast<uint32_t>(newCapacity > UINT32_MAX ? UINT32_MAX : newCapacity);
        }
        memcpy(data + length, bytes, count);
        length += count;
        data[length] = 0;
        return true;
    }
};

struct Exchange {
    HttpRequestType type;
    const char* url;
    String header;
    const void* body;
    uint32_t bodyLength;
    zq_buffer_t* headerOut;
    zq_buffer_t* bodyOut;
    uint32_t* state;
};

int32_t Transfer(const Exchange& exchange, int32_t redirectsLeft);

// Opens and connects the socket; null with the result code on failure.
ZQI_Socket* Connect(const UrlParts& parts, const uint32_t* state, int32_t& result) {
    if (!ZQI_SocketStartLibrary()) {
        result = HTTP_RESULT_NO_SOCKET;
        return nullptr;
    }
    uint8_t address[4];
    if (!ZQI_SocketResolve(parts.host.CStr(), address)) {
        ZQI_FileSystemLog(1, "Unable to locate host '%s'\n", parts.host.CStr());
        result = HTTP_RESULT_UNKNOWN_HOST;
        return nullptr;
    }
    if (IsCancelled(state)) {
        result = HTTP_RESULT_CANCELLED;
        return nullptr;
    }
    ZQI_Socket* socket = ZQI_SocketOpen();
    if (socket == nullptr) {
        result = HTTP_RESULT_NO_SOCKET;
        return nullptr;
    }
    ZQI_SocketSetTimeout(socket, ZQI_GetHttpTimeout());
    if (parts.port < 0 || !ZQI_SocketConnect(socket, address, static_cast<uint16_t>(parts.port))) {
        ZQI_FileSystemLog(1, "Connect to '%s' failed.\n", parts.host.CStr());
        ZQI_SocketClose(socket);
        result = HTTP_RESULT_CONNECT_FAILED;
        return nullptr;
    }
    return socket;
}

bool SendRequest(ZQI_Socket* socket, const Exchange& exchange, const char* method, const UrlParts& parts) {
    String requestLine = String::FromFormat("%s/%s HTTP/1.0\r\n", method, parts.path.CStr());
    bool sent = ZQI_SocketSendAll(socket, requestLine.CStr(), strlen(requestLine.CStr()));
    size_t headerLength = strlen(exchange.header.CStr());
    if (sent && headerLength != 0) {
        sent = ZQI_SocketSendAll(socket, exchange.header.CStr(), headerLength);
    }
    if (sent && exchange.body != nullptr && exchange.bodyLength != 0) {
        sent = ZQI_SocketSendAll(socket, exchange.body, exchange.bodyLength);
    }
    return sent;
}

// A stall past the time-out or a reset cuts the answer short: whatever arrived is not the
// answer the server meant, so it is never taken for a complete one.
int32_t ReportReceiveFailure(const Exchange& exchange) {
    ZQI_FileSystemLog(1, "HttpTransfer: receiving from '%s' failed (connection reset or timed out).",
                      exchange.url);
    return HTTP_RESULT_RECEIVE_FAILED;
}

// Reads the response header: 0 when it ended, HTTP_RESULT_HEADER_CLOSED when the connection
// closed before, HTTP_RESULT_RECEIVE_FAILED on a receive error or time-out, and also when the
// header has not ended within its limit: the rest of it would be taken for the body, and a
// field cut at the limit for a whole one.
int32_t ReceiveHeader(ZQI_Socket* socket, const Exchange& exchange, HttpHeaderText& header) {
    for (;;) {
        char byte;
        int32_t got = ZQI_SocketReceive(socket, &byte, 1);
        if (got == 0) {
            return HTTP_RESULT_HEADER_CLOSED;
        }
        if (got < 0) {
            return ReportReceiveFailure(exchange);
        }
        if (header.Append(byte)) {
            return 0;
        }
        if (header.IsFull()) {
            ZQI_FileSystemLog(1, "HttpTransfer: the header from '%s' has not ended within %u bytes.",
                              exchange.url, header.Length());
            return HTTP_RESULT_RECEIVE_FAILED;
        }
    }
}

// Reads the body until the server closes or, with a limit (the Content-Length, or -1 for none),
// until that many bytes are in: bytes after the announced length are not the body's. 0 when
// done; a negative result code when cancelled, cut off or too large.
int32_t ReceiveBody(ZQI_Socket* socket, const Exchange& exchange, int64_t limit, BodyBuffer& body) {
    uint8_t piece[kBodyPiece];
    for (;;) {
        if (limit >= 0 && body.length >= limit) {
            return 0;
        }
        if (IsCancelled(exchange.state)) {
            return HTTP_RESULT_CANCELLED;
        }
        int32_t wanted = kBodyPiece;
        if (limit >= 0 && limit - body.length < wanted) {
            wanted = static_cast<int32_t>(limit - body.length);
        }
        int32_t got = ZQI_SocketReceive(socket, piece, wanted);
        if (got == 0) {
            return 0;
        }
        if (got < 0) {
            return ReportReceiveFailure(exchange);
        }
        if (!body.Append(piece, static_cast<uint32_t>(got))) {
            ZQI_FileSystemLog(2, "HttpTransfer: the body from '%s' is larger than the client can hold.",
                              exchange.url);
            return HTTP_RESULT_LENGTH_MISMATCH;
        }
    }
}

// A body can be taken only where its end is known: a Content-Length that is no plain number
// (or two that disagree) leaves it unknown, so no length is made up for it; one beyond what
// the client can hold would only fail after the whole body has been waited for.
bool IsUsableLength(const Exchange& exchange, HttpContentLength announced, int64_t expected) {
    if (announced == HTTP_LENGTH_INVALID) {
        ZQI_FileSystemLog(1,
                          "HttpTransfer: the Content-Length of the answer from '%s' is not one plain number; "
                          "not taking the body.",
                          exchange.url);
        return false;
    }
    if (announced == HTTP_LENGTH_GIVEN && expected > static_cast<int64_t>(ZQI_HTTP_MAX_BODY)) {
        ZQI_FileSystemLog(2, "HttpTransfer: the body from '%s' is larger than the client can hold.",
                          exchange.url);
        return false;
    }
    return true;
}

void StoreHeader(zq_buffer_t* out, const HttpHeaderText& header) {
    uint32_t size = header.Length() + 1;
    out->data = static_cast<uint8_t*>(malloc(size));
    if (out->data == nullptr) {
        return;
    }
    memcpy(out->data, header.Text(), size);
    out->size = size;
    out->capacity = size;
}

// Follows a redirect that names its Location (within the redirect budget): true, with the next
// exchange's result in result. False when the response is to be handled like any other.
bool FollowRedirect(const Exchange& exchange, const HttpHeaderText& header, int32_t status,
                    int32_t redirectsLeft, ZQI_Socket* socket, int32_t& result) {
    ZQI_FileSystemLog(1, "HTTP forwarding header (status code %d) received.", status);
    String location;
    const HttpField field = ZQI_FindHttpHeaderValue(header.Text(), header.Length(), "Location", location);
    if (field == HTTP_FIELD_MALFORMED) {
        // The part before a bare CR or a NUL is not where the server sends the client.
        ZQI_FileSystemLog(
            1, "HttpTransfer: the Location of the answer from '%s' is not one URL; not forwarding.",
            exchange.url);
    }
    if (field != HTTP_FIELD_FOUND) {
        return false;
    }
    if (redirectsLeft <= 0) {
        ZQI_FileSystemLog(2, "HttpTransfer: too many redirects, not forwarding '%s' to '%s'.", exchange.url,
                          location.CStr());
        return false;
    }
    ZQI_FileSystemLog(1, "Forwarding to '%s'..", location.CStr());
    ZQI_SocketClose(socket);
    Exchange next = exchange;
    next.url = location.CStr();
    next.header = RetargetHostLine(exchange.header, ZQI_GetURLHost(location.CStr()));
    result = Transfer(next, redirectsLeft - 1);
    return true;
}

int32_t Transfer(const Exchange& exchange, int32_t redirectsLeft) {
    EmptyBuffer(exchange.headerOut);
    EmptyBuffer(exchange.bodyOut);
    const char* url = exchange.url;
    if (url == nullptr || strncmp(url, kScheme, kSchemeLength) != 0) {
        return HTTP_RESULT_BAD_URL;
    }
    UrlParts parts;
    if (!SplitUrl(url, parts)) {
        ZQI_FileSystemLog(2, "HttpTransfer: the URL is %d characters or longer after \"http://\".",
                          ZQI_HTTP_MAX_URL_REST);
        return HTTP_RESULT_BAD_URL;
    }
    const char* method = MethodWord(exchange.type);
    if (method == nullptr) {
        ZQI_FileSystemPopup(1, "Unknown http request type (#%d) for url '%s'", exchange.type, url);
        return HTTP_RESULT_UNKNOWN_TYPE;
    }
    if (IsCancelled(exchange.state)) {
        return HTTP_RESULT_CANCELLED;
    }
    int32_t result = 0;
    ZQI_Socket* socket = Connect(parts, exchange.state, result);
    if (socket == nullptr) {
        return result;
    }
    if (IsCancelled(exchange.state)) {
        ZQI_SocketClose(socket);
        return HTTP_RESULT_CANCELLED;
    }
    if (!SendRequest(socket, exchange, method, parts)) {
        ZQI_FileSystemLog(1, "HttpTransfer: sending the request to '%s' failed.", url);
    }
    if (IsCancelled(exchange.state)) {
        ZQI_SocketClose(socket);
        return HTTP_RESULT_CANCELLED;
    }
    HttpHeaderText header;
    const int32_t headerResult = ReceiveHeader(socket, exchange, header);
    if (headerResult == HTTP_RESULT_HEADER_CLOSED) {
        ZQI_FileSystemLog(1, "Zero length data packet received from '%s'. Closing connection.", url);
        ZQI_SocketClose(socket);
        return HTTP_RESULT_HEADER_CLOSED;
    }
    if (headerResult < 0) {
        ZQI_SocketClose(socket);
        return headerResult;
    }
    int32_t status = ZQI_ParseHttpStatus(header.Text(), header.Length());
    if (ZQI_IsHttpRedirect(status) &&
        FollowRedirect(exchange, header, status, redirectsLeft, socket, result)) {
        return result;
    }
    if (status != 200) {
        ZQI_FileSystemLog(1, "Non-OK HTTP header (status code %d):\n%s\n", status, header.Text());
    }
    if (exchange.headerOut != nullptr) {
        StoreHeader(exchange.headerOut, header);
    }
    int64_t expected = 0;
    const HttpContentLength announced = ZQI_ParseHttpContentLength(header.Text(), header.Length(), &expected);
    // A HEAD answer announces a body it never sends; it is read until the server closes.
    const bool hasLength = announced == HTTP_LENGTH_GIVEN && exchange.type != HTTP_REQUEST_HEAD;
    if (exchange.bodyOut != nullptr) {
        if (exchange.type != HTTP_REQUEST_HEAD && !IsUsableLength(exchange, announced, expected)) {
            ZQI_SocketClose(socket);
            return HTTP_RESULT_LENGTH_MISMATCH;
        }
        BodyBuffer body;
        const int64_t limit = hasLength ? expected : -1;
        int32_t bodyResult = ReceiveBody(socket, exchange, limit, body);
        exchange.bodyOut->data = body.data;
        exchange.bodyOut->size = body.length;
        exchange.bodyOut->capacity = body.length;
        if (bodyResult < 0) {
            ZQI_SocketClose(socket);
            return bodyResult;
        }
        // Only a body that was read can be compared.
        if (hasLength && expected != body.length) {
            ZQI_FileSystemPopup(
                1, "Content-Length in header (%d bytes) doesn't match received bytes (%d bytes).",
                expected > INT32_MAX ? INT32_MAX : static_cast<int32_t>(expected),
                static_cast<int32_t>(body.length));
            ZQI_SocketClose(socket);
            return HTTP_RESULT_LENGTH_MISMATCH;
        }
    }
    ZQI_SocketClose(socket);
    return status;
}

}  // namespace

String ZQI_GetURLHost(const char* url) {
    if (url == nullptr) {
        return String();
    }
    // Stepping over what strnlen measured (rather than the constant) keeps GCC from warning about
    // an offset past "" when a caller's text is inlined as the empty literal.
    const size_t schemeLength = strnlen(url, kSchemeLength);
    if (schemeLength < kSchemeLength) {
        return String();
    }
    const char* rest = url + schemeLength;
    size_t length = strcspn(rest, "/:");
    return String::FromFormat("%.*s", static_cast<int>(length), rest);
}

int32_t HttpTransfer(HttpRequestType type, const char* url, const char* header, uint32_t headerLength,
                     const void* body, uint32_t bodyLength, zq_buffer_t* headerOut, zq_buffer_t* bodyOut,
                     uint32_t* state) {
    Exchange exchange;
    exchange.type = type;
    exchange.url = url;
    if (header != nullptr && headerLength != 0) {
        exchange.header.Format("%.*s", static_cast<int>(strnlen(header, headerLength)), header);
    }
    exchange.body = body;
    exchange.bodyLength = body != nullptr ? bodyLength : 0;
    exchange.headerOut = headerOut;
    exchange.bodyOut = bodyOut;
    exchange.state = state;
    return Transfer(exchange, ZQI_HTTP_MAX_REDIRECTS);
}

int32_t HttpRequest(HttpRequestType type, const char* url, const char* contentType, const void* body,
                    uint32_t bodyLength, zq_buffer_t* headerOut, zq_buffer_t* bodyOut, uint32_t* state) {
    if (body == nullptr) {
        bodyLength = 0;
    }
    String header("Accept: */*\r\n");
    header.AppendFormat("User-Agent: Mozilla/5.0 (%s/%s; %s)\r\n", ZQI_FileSystemProgramId(),
                        ZQI_FileSystemProgramVersion(), ZQI_GetPlatformName(kHostPlatform));
    char line[kHeaderLineSize];
    snprintf(line, sizeof(line), "Content-Length: %u\r\n", bodyLength);
    header.Append(line);
    header.Append("Accept-Language: en-us\r\n");
    header.AppendFormat("Host: %s\r\n", ZQI_GetURLHost(url).CStr());
    // A long content type is cut, but the line keeps its end so the header stays well formed.
    const char* mimeType = contentType != nullptr ? contentType : "application/octet-stream";
    int typeRoom = static_cast<int>(kHeaderLineSize - 1 - strlen("Content-Type: \r\n"));
    snprintf(line, sizeof(line), "Content-Type: %.*s\r\n", typeRoom, mimeType);
    header.Append(line);
    if (IsCancelled(state)) {
        return HTTP_RESULT_CANCELLED;
    }
    header.Append("\r\n");
    return HttpTransfer(type, url, header.CStr(), static_cast<uint32_t>(strlen(header.CStr())), body,
                        bodyLength, headerOut, bodyOut, state);
}

int32_t ZQ_SendHttpRequest(uint32_t type, const char* url, const char* contentType, const void* body,
                           uint32_t bodyLength, zq_buffer_t** response, uint32_t* state) {
    zq_buffer_t* bodyOut = nullptr;
    if (response != nullptr) {
        bodyOut = ZQ_CreateBuffer(0);
        *response = bodyOut;
    }
    return HttpRequest(static_cast<HttpRequestType>(type), url, contentType, body, bodyLength, nullptr,
                       bodyOut, state);
}

int32_t ZQ_SendRawHttpRequest(uint32_t type, const char* url, const char* header, uint32_t headerLength,
                              const void* body, uint32_t bodyLength, zq_buffer_t** headerOut,
                              zq_buffer_t** bodyOut, uint32_t* state) {
    zq_buffer_t* headerBuffer = nullptr;
    zq_buffer_t* bodyBuffer = nullptr;
    if (headerOut != nullptr) {
        headerBuffer = ZQ_CreateBuffer(0);
        *headerOut = headerBuffer;
    }
    if (bodyOut != nullptr) {
        bodyBuffer = ZQ_CreateBuffer(0);
        *bodyOut = bodyBuffer;
    }
    return HttpTransfer(static_cast<HttpRequestType>(type), url, header, headerLength, body, bodyLength,
                        headerBuffer, bodyBuffer, state);
}

void ZQI_SetHttpTimeout(uint32_t milliseconds) {
    g_timeoutMilliseconds.store(milliseconds);
}

uint32_t ZQI_GetHttpTimeout() {
    return g_timeoutMilliseconds.load();
}
