// BSD sockets for the HTTP client in the host build.
#include <arpa/inet.h>
#include <errno.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstring>
#include <new>

#include "filesystem/NativeSocket.h"

struct ZQI_Socket {
    int descriptor;
};

bool ZQI_SocketStartLibrary() {
    return true;
}

bool ZQI_SocketResolve(const char* host, uint8_t address[4]) {
    struct addrinfo hints;
    memset(&hints, 0, sizeof(hints));
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    struct addrinfo* found = nullptr;
    if (host == nullptr || host[0] == '\0' || getaddrinfo(host, nullptr, &hints, &found) != 0 ||
        found == nullptr) {
        return false;
    }
    const struct sockaddr_in* ipv4 = reinterpret_cast<const struct sockaddr_in*>(found->ai_addr);
    memcpy(address, &ipv4->sin_addr.s_addr, 4);
    freeaddrinfo(found);
    return true;
}

ZQI_Socket* ZQI_SocketOpen() {
    int descriptor = socket(AF_INET, SOCK_STREAM, 0);
    if (descriptor < 0) {
        return nullptr;
    }
    ZQI_Socket* result = new (std::nothrow) ZQI_Socket{descriptor};
    if (result == nullptr) {
        close(descriptor);
    }
    return result;
}

bool ZQI_SocketConnect(ZQI_Socket* socket, const uint8_t address[4], uint16_t port) {
    struct sockaddr_in target;
    memset(&target, 0, sizeof(target));
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    memcpy(&target.sin_addr.s_addr, address, 4);
    return connect(socket->descriptor, reinterpret_cast<const struct sockaddr*>(&target), sizeof(target)) ==
           0;
}

void ZQI_SocketSetTimeout(ZQI_Socket* socket, uint32_t milliseconds) {
    struct timeval timeout;
    timeout.tv_sec = static_cast<time_t>(milliseconds / 1000);
    timeout.tv_usec = static_cast<suseconds_t>((milliseconds % 1000) * 1000);
    setsockopt(socket->descriptor, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
    setsockopt(socket->descriptor, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof(timeout));
}

bool ZQI_SocketSendAll(ZQI_Socket* socket, const void* data, size_t length) {
    const char* bytes = static_cast<const char*>(data);
    while (length > 0) {
        // MSG_NOSIGNAL: a peer that went away gives an error here, not a SIGPIPE for the process.
        ssize_t sent = send(socket->descriptor, bytes, length, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent <= 0) {
            return false;
        }
        bytes += sent;
        length -= static_cast<size_t>(sent);
    }
    return true;
}

int32_t ZQI_SocketReceive(ZQI_Socket* socket, void* buffer, int32_t length) {
    for (;;) {
        ssize_t got = recv(socket->descriptor, buffer, static_cast<size_t>(length), 0);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        return static_cast<int32_t>(got);
    }
}

void ZQI_SocketClose(ZQI_Socket* socket) {
    if (socket == nullptr) {
        return;
    }
    close(socket->descriptor);
    delete socket;
}
