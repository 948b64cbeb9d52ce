// Winsock for the HTTP client in the product: the library is started once per process
// (version 1.1, which has everything a blocking HTTP/1.0 exchange needs).
#include <winsock2.h>
#include <windows.h>

#include <cstring>
#include <mutex>
#include <new>

#include "filesystem/NativeSocket.h"

struct ZQI_Socket {
    SOCKET handle;
};

bool ZQI_SocketStartLibrary() {
    static std::once_flag started;
    static bool usable = false;
    std::call_once(started, [] {
        WSADATA data;
        usable = WSAStartup(MAKEWORD(1, 1), &data) == 0;
    });
    return usable;
}

bool ZQI_SocketResolve(const char* host, uint8_t address[4]) {
    if (host == nullptr || host[0] == '\0') {
        return false;
    }
    // gethostbyname keeps its answer per thread in Winsock, so concurrent requests are safe.
    const struct hostent* entry = gethostbyname(host);
    if (entry == nullptr || entry->h_addrtype != AF_INET || entry->h_length != 4 ||
        entry->h_addr_list[0] == nullptr) {
        return false;
    }
    memcpy(address, entry->h_addr_list[0], 4);
    return true;
}

ZQI_Socket* ZQI_SocketOpen() {
    SOCKET handle = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (handle == INVALID_SOCKET) {
        return nullptr;
    }
    ZQI_Socket* result = new (std::nothrow) ZQI_Socket{handle};
    if (result == nullptr) {
        closesocket(handle);
    }
    return result;
}

bool ZQI_SocketConnect(ZQI_Socket* socket, const uint8_t address[4], uint16_t port) {
    struct sockaddr_in target;
    memset(&target, 0, sizeof(target));
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    memcpy(&target.sin_addr.s_addr, address, 4);
    return connect(socket->handle, reinterpret_cast<const struct sockaddr*>(&target), sizeof(target)) == 0;
}

void ZQI_SocketSetTimeout(ZQI_Socket* socket, uint32_t milliseconds) {
    DWORD timeout = milliseconds;
    setsockopt(socket->handle, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout),
               sizeof(timeout));
    setsockopt(socket->handle, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout),
               sizeof(timeout));
}

bool ZQI_SocketSendAll(ZQI_Socket* socket, const void* data, size_t length) {
    const char* bytes = static_cast<const char*>(data);
    while (length > 0) {
        int chunk = length > 0x40000000u ? 0x40000000 : static_cast<int>(length);
        int sent = send(socket->handle, bytes, chunk, 0);
        if (sent <= 0) {
            return false;
        }
        bytes += sent;
        length -= static_cast<size_t>(sent);
    }
    return true;
}

int32_t ZQI_SocketReceive(ZQI_Socket* socket, void* buffer, int32_t length) {
    int got = recv(socket->handle, static_cast<char*>(buffer), length, 0);
    return got == SOCKET_ERROR ? -1 : got;
}

void ZQI_SocketClose(ZQI_Socket* socket) {
    if (socket == nullptr) {
        return;
    }
    closesocket(socket->handle);
    delete socket;
}
