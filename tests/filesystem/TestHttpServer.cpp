// The scripted loopback HTTP server of the client tests (Winsock or BSD sockets).
#include "TestHttpServer.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>

#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
namespace {
typedef SOCKET SocketHandle;
typedef int SocketLength;
const SocketHandle kNoSocket = INVALID_SOCKET;
void CloseSocket(SocketHandle socket) {
    closesocket(socket);
}
// Closing with a zero linger time resets the connection.
void ResetSocket(SocketHandle socket) {
    struct linger abort = {1, 0};
    setsockopt(socket, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort), sizeof(abort));
    closesocket(socket);
}
void SetReceiveTimeout(SocketHandle socket, int milliseconds) {
    DWORD timeout = static_cast<DWORD>(milliseconds);
    setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof(timeout));
}
const int kSendFlags = 0;
}  // namespace
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
namespace {
typedef int SocketHandle;
typedef socklen_t SocketLength;
const SocketHandle kNoSocket = -1;
void CloseSocket(SocketHandle socket) {
    close(socket);
}
// Closing with a zero linger time resets the connection.
void ResetSocket(SocketHandle socket) {
    struct linger abort = {1, 0};
    setsockopt(socket, SOL_SOCKET, SO_LINGER, &abort, sizeof(abort));
    close(socket);
}
void SetReceiveTimeout(SocketHandle socket, int milliseconds) {
    struct timeval timeout;
    timeout.tv_sec = milliseconds / 1000;
    timeout.tv_usec = (milliseconds % 1000) * 1000;
    setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
}
const int kSendFlags = MSG_NOSIGNAL;
}  // namespace
#endif

namespace {

// Bounds of every wait of the server.
const int kAcceptSeconds = 10;
const int kReceiveMilliseconds = 5000;
const int kSilentHoldSeconds = 20;

// True when a connection is waiting; false after the bound, or as soon as stop says so.
template <typename StopRequested>
bool WaitForConnection(SocketHandle listener, StopRequested stopRequested) {
    const int slicesPerSecond = 10;
    for (int slice = 0; slice < kAcceptSeconds * slicesPerSecond && !stopRequested(); ++slice) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(listener, &readable);
        struct timeval timeout = {0, 1000000 / slicesPerSecond};
        if (select(static_cast<int>(listener + 1), &readable, nullptr, nullptr, &timeout) > 0) {
            return true;
        }
    }
    return false;
}

// The request: the header up to its empty line, then as many body bytes as it announces.
std::string ReceiveRequest(SocketHandle connection) {
    std::string request;
    char chunk[1024];
    size_t headerEnd = std::string::npos;
    size_t wanted = 0;
    for (;;) {
        if (headerEnd == std::string::npos) {
            headerEnd = request.find("\r\n\r\n");
            if (headerEnd != std::string::npos) {
                size_t field = request.find("Content-Length: ");
                size_t length = field != std::string::npos && field < headerEnd
                                    ? static_cast<size_t>(atoi(request.c_str() + field + 16))
                                    : 0;
                wanted = headerEnd + 4 + length;
            }
        }
        if (headerEnd != std::string::npos && request.size() >= wanted) {
            return request;
        }
        int got = recv(connection, chunk, sizeof(chunk), 0);
        if (got <= 0) {
            return request;
        }
        request.append(chunk, static_cast<size_t>(got));
    }
}

void SendAll(SocketHandle connection, const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        int n = send(connection, bytes.data() + sent, static_cast<int>(bytes.size() - sent), kSendFlags);
        if (n <= 0) {
            return;
        }
        sent += static_cast<size_t>(n);
    }
}

}  // namespace

TestHttpServer::TestHttpServer(std::vector<ScriptedAnswer> answers)
    : answers_(std::move(answers)),
      listener_(static_cast<intptr_t>(kNoSocket)),
      port_(0),
      listening_(false),
      stopping_(false) {
#if defined(_WIN32)
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
#endif
    SocketHandle listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (listener == kNoSocket) {
        return;
    }
    struct sockaddr_in address;
    memset(&address, 0, sizeof(address));
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    SocketLength length = sizeof(address);
    if (bind(listener, reinterpret_cast<struct sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(listener, 8) != 0 ||
        getsockname(listener, reinterpret_cast<struct sockaddr*>(&address), &length) != 0) {
        CloseSocket(listener);
        return;
    }
    listener_ = static_cast<intptr_t>(listener);
    port_ = ntohs(address.sin_port);
    listening_ = true;
    thread_ = std::thread([this] { Serve(); });
}

TestHttpServer::~TestHttpServer() {
    Stop();
#if defined(_WIN32)
    WSACleanup();
#endif
}

std::string TestHttpServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<std::string> TestHttpServer::Requests() {
    std::lock_guard<std::mutex> guard(lock_);
    return requests_;
}

void TestHttpServer::Stop() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        stopping_ = true;
    }
    stopped_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
    if (listening_) {
        CloseSocket(static_cast<SocketHandle>(listener_));
        listening_ = false;
    }
}

void TestHttpServer::Serve() {
    SocketHandle listener = static_cast<SocketHandle>(listener_);
    SocketHandle waiting = kNoSocket;  // a withNext answer's connection, and its answer
    std::string waitingBytes;
    for (const ScriptedAnswer& answer : answers_) {
        auto stopRequested = [this] {
            std::lock_guard<std::mutex> guard(lock_);
            return stopping_;
        };
        if (!WaitForConnection(listener, stopRequested)) {
            return;
        }
        SocketHandle connection = accept(listener, nullptr, nullptr);
        if (connection == kNoSocket) {
            return;
        }
        SetReceiveTimeout(connection, kReceiveMilliseconds);
        std::string request = ReceiveRequest(connection);
        {
            std::lock_guard<std::mutex> guard(lock_);
            requests_.push_back(request);
        }
        if (answer.silent) {
            std::unique_lock<std::mutex> guard(lock_);
            stopped_.wait_for(guard, std::chrono::seconds(kSilentHoldSeconds), [this] { return stopping_; });
        } else {
            std::string bytes = answer.bytes;
            for (size_t at = bytes.find("{PORT}"); at != std::string::npos; at = bytes.find("{PORT}")) {
                bytes.replace(at, 6, std::to_string(port_));
            }
            if (answer.withNext) {
                waiting = connection;
                waitingBytes = bytes;
                continue;
            }
            size_t at = 0;  // with a waiting answer, both go out a piece of each in turn
            for (; waiting != kNoSocket && at < waitingBytes.size(); at += 4096) {
                SendAll(waiting, waitingBytes.substr(at, 4096));
                SendAll(connection, bytes.substr(std::min(at, bytes.size()), 4096));
            }
            if (waiting != kNoSocket) {
                CloseSocket(waiting);
                waiting = kNoSocket;
            }
            SendAll(connection, bytes.substr(std::min(at, bytes.size())));
            if (answer.reset) {
                ResetSocket(connection);
                std::lock_guard<std::mutex> guard(lock_);
                if (stopping_) {
                    return;
                }
                continue;
            }
            if (answer.hold) {
                std::unique_lock<std::mutex> guard(lock_);
                stopped_.wait_for(guard, std::chrono::seconds(kSilentHoldSeconds),
                                  [this] { return stopping_; });
            }
#if defined(_WIN32)
            shutdown(connection, SD_SEND);
#else
            shutdown(connection, SHUT_WR);
#endif
        }
        CloseSocket(connection);
        std::lock_guard<std::mutex> guard(lock_);
        if (stopping_) {
            return;
        }
    }
}

std::string HttpAnswer(const std::string& statusLine, const std::vector<std::string>& headers,
                       const std::string& body) {
    std::string answer = statusLine + "\r\n";
    for (const std::string& header : headers) {
        answer += header + "\r\n";
    }
    return answer + "\r\n" + body;
}
