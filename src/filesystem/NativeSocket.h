// The TCP sockets under the HTTP client, kept thin: Winsock in the product
// (NativeSocketWin32.cpp), BSD sockets in the host build (NativeSocketPosix.cpp). IPv4 only.
#pragma once

#include <cstddef>
#include <cstdint>

struct ZQI_Socket;

// Starts the socket library once per process (Winsock 1.1); later calls answer the first
// result. Any thread.
bool ZQI_SocketStartLibrary();
// The first IPv4 address of a host name or dotted address; false when it cannot be resolved.
bool ZQI_SocketResolve(const char* host, uint8_t address[4]);
// A new IPv4 stream socket; null when the system refuses.
ZQI_Socket* ZQI_SocketOpen();
// Connects to the address and port; false on failure.
bool ZQI_SocketConnect(ZQI_Socket* socket, const uint8_t address[4], uint16_t port);
// Every later send and receive gives up (as an error) after this many milliseconds without
// progress.
void ZQI_SocketSetTimeout(ZQI_Socket* socket, uint32_t milliseconds);
// Sends every byte, in as many system calls as it takes; false on an error or timeout.
bool ZQI_SocketSendAll(ZQI_Socket* socket, const void* data, size_t length);
// Receives up to length bytes: the count, 0 when the peer closed the connection, negative on an
// error or timeout.
int32_t ZQI_SocketReceive(ZQI_Socket* socket, void* buffer, int32_t length);
// Closes and frees the socket; null is ignored.
void ZQI_SocketClose(ZQI_Socket* socket);
