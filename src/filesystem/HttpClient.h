// The engine's small blocking HTTP/1.0 client: one request per connection, the body read until
// the server closes it or its Content-Length has arrived, redirects followed. A receive that
// fails or times out fails the exchange. No TLS, keep-alive or chunked transfer. Any thread;
// each request has its own socket and buffers.
#pragma once

#include <cstdint>

#include "foundation/String.h"
#include "zorqa.h"

typedef int32_t HttpRequestType;
enum : HttpRequestType {
    HTTP_REQUEST_POST = 1,
    HTTP_REQUEST_GET = 2,
    HTTP_REQUEST_HEAD = 3,
    HTTP_REQUEST_PUT = 4,
    HTTP_REQUEST_DELETE = 5
};

// Results below zero; zero and above are the status code received (0: no readable status line).
enum : int32_t {
    HTTP_RESULT_BAD_URL = -1,  // null, not "http://", or too long
    HTTP_RESULT_NO_SOCKET = -2,
    HTTP_RESULT_CANCELLED = -4,  // the state word is 1, or the engine is quitting
    HTTP_RESULT_UNKNOWN_HOST = -5,
    HTTP_RESULT_CONNECT_FAILED = -6,
    HTTP_RESULT_UNKNOWN_TYPE = -7,
    HTTP_RESULT_LENGTH_MISMATCH = -8,  // the body's length differs from Content-Length
    HTTP_RESULT_HEADER_CLOSED = -9,    // the connection closed while the header was read
    HTTP_RESULT_RECEIVE_FAILED = -10   // a receive failed or timed out before the answer ended
};

// The host and path of a URL are copied into buffers of this size.
enum { ZQI_HTTP_MAX_URL_REST = 2048 };
// Redirects followed in one exchange before the redirect itself is answered.
enum { ZQI_HTTP_MAX_REDIRECTS = 16 };
// Largest body the client keeps; the buffers count bytes in 32 bits.
enum : uint32_t { ZQI_HTTP_MAX_BODY = 0x7FFFFFFFu };

// Builds the request header (Accept, User-Agent, Content-Length, Accept-Language, Host,
// Content-Type) and runs HttpTransfer. contentType null means "application/octet-stream".
int32_t HttpRequest(HttpRequestType type, const char* url, const char* contentType, const void* body,
                    uint32_t bodyLength, zq_buffer_t* headerOut, zq_buffer_t* bodyOut, uint32_t* state);
// One exchange with a caller-made header (ending with its empty line), following redirects.
// Both out buffers (each optional) are emptied first; the header buffer receives the response
// header with a NUL, the body buffer the body.
int32_t HttpTransfer(HttpRequestType type, const char* url, const char* header, uint32_t headerLength,
                     const void* body, uint32_t bodyLength, zq_buffer_t* headerOut, zq_buffer_t* bodyOut,
                     uint32_t* state);
// The host of an "http://" URL: the text after "http://" up to the first "/", then up to ":".
String ZQI_GetURLHost(const char* url);

// Root slot SendHttpRequest: a new empty buffer through response (when not null) receives the
// body of HttpRequest.
int32_t ZQ_SendHttpRequest(uint32_t type, const char* url, const char* contentType, const void* body,
                           uint32_t bodyLength, zq_buffer_t** response, uint32_t* state);
// Root slot SendRawHttpRequest: new empty buffers through the out pointers (each when not null)
// receive HttpTransfer's header and body.
int32_t ZQ_SendRawHttpRequest(uint32_t type, const char* url, const char* header, uint32_t headerLength,
                              const void* body, uint32_t bodyLength, zq_buffer_t** headerOut,
                              zq_buffer_t** bodyOut, uint32_t* state);

// How long a send or receive may wait without progress before the exchange gives up; a server
// that never answers would otherwise hold the calling thread for ever. Default 30000 ms.
void ZQI_SetHttpTimeout(uint32_t milliseconds);
uint32_t ZQI_GetHttpTimeout();
