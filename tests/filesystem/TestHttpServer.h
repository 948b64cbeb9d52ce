// A tiny scripted HTTP server for the client tests: it listens on 127.0.0.1 (an ephemeral port),
// takes one connection per scripted answer, records each request and sends the answer's bytes
// as they are (well formed or not), or nothing at all. Every wait is bounded, so a failing test
// cannot hang the suite.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct ScriptedAnswer {
    std::string bytes;      // sent once the request has arrived ("{PORT}" becomes the server's port),
                            // then the connection closes
    bool silent = false;    // send nothing; hold the connection until the server stops
    bool hold = false;      // after sending, hold the connection open (and silent) until the server stops
    bool reset = false;     // after sending, reset the connection instead of closing it
    bool withNext = false;  // sent with the next (plain) answer, once its connection came, a few
                            // kilobytes of each in turn, so both arrive together
};

class TestHttpServer {
public:
    explicit TestHttpServer(std::vector<ScriptedAnswer> answers);
    ~TestHttpServer();

    bool IsListening() const { return listening_; }
    uint16_t Port() const { return port_; }
    // "http://127.0.0.1:<port>" followed by path.
    std::string Url(const std::string& path) const;
    // The requests received so far (header and body), in order.
    std::vector<std::string> Requests();
    // Releases silent connections and ends the server thread.
    void Stop();

private:
    void Serve();

    std::vector<ScriptedAnswer> answers_;
    intptr_t listener_;
    uint16_t port_;
    bool listening_;
    std::thread thread_;
    std::mutex lock_;
    std::condition_variable stopped_;
    bool stopping_;
    std::vector<std::string> requests_;
};

// Formats a complete answer: status line, the header lines, an empty line and the body.
std::string HttpAnswer(const std::string& statusLine, const std::vector<std::string>& headers,
                       const std::string& body);
