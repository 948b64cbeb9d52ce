// Shared set-up of the services tests: the engine as start-up leaves it for the services (API
// tables with the service sub-tables, core mutexes, file systems with res:// and user:// in a
// scratch folder, res:// on the search paths, the log running in memory in developer mode),
// feature words per test, popups recorded, and the events the services post captured with
// copies of their payloads while the event queue frees the originals.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "services/ExtensionModules.h"
#include "zorqa.h"

// An event as the program saw it, its heap payload copied out.
struct CapturedEvent {
    uint32_t type = 0;
    uint8_t flag = 0;  // byte 4: scores (1) or error (0); logged in for 37
    std::string error;
    std::string category;
    int32_t total = 0;
    int32_t filter = 0;
    int32_t firstRank = 0;
    int32_t count = 0;
    bool scoresNull = true;
    std::vector<LeaderboardScore> scores;
    struct User {
        std::string id;
        std::string name;
        uint32_t value;
    };
    std::vector<User> users;  // 37: the local user; 38: the friends list
};

class ServicesTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The command line's feature words ("A,B"), as "--features" would give them.
    static void SetFeatures(const char* words);
    // Delivers the queued events to the capturing program and returns what it saw (the queue
    // frees the payloads as it does in the engine).
    static std::vector<CapturedEvent> DeliverEvents();
    // Waits until every thread made through the threading API has ended.
    static void WaitForServiceThreads();

    static std::vector<std::string> LoggedLines();
    static int32_t CountLogged(const std::string& text);
    static bool WasLogged(const std::string& text) { return CountLogged(text) > 0; }
    static std::vector<std::string>& Popups();

    // Files below the scratch roots, read and written natively; ReadFile gives "" when missing.
    static std::string NativePath(const std::string& virtualPath);
    static void WriteFile(const std::string& virtualPath, const std::string& bytes);
    static std::string ReadFile(const std::string& virtualPath);
    static void RemoveFile(const std::string& virtualPath);
    // Writes res://leaderboards/leaderboards.xml with these category nodes ("<node .../>" lines)
    // and makes the next use read it again.
    static void WriteCategories(const std::string& nodes);
};

// A zeroed score with these points (and data bytes).
LeaderboardScore MakeScore(int32_t points, const std::vector<uint8_t>& data = {});

// An implementation of any type that does nothing else: for resolution, never for forwarding.
class StubImplementation final : public BaseImplementation {
public:
    StubImplementation(ImplementationType type, const char* name) : type_(type), name_(name) {}
    void Destroy(uint32_t) override {}
    ImplementationType GetType() override { return type_; }
    const char* GetName() override { return name_; }

private:
    ImplementationType type_;
    const char* name_;
};

// A module owned by the test (its destructor slot does nothing) that offers what it is given.
class TestModule final : public ExtensionModule {
public:
    explicit TestModule(const char* name) : name_(name) {}
    void Destroy(uint32_t) override {}
    const char* GetName() override { return name_; }
    bool Initialize(zq_api_t*) override { return true; }
    void Shutdown() override {}
    void Update(float) override {}
    const char* Call(const char* command, const char* parameters) override;
    BaseImplementation* GetImplementation(ImplementationType type) override {
        return type > 0 && type < IMPLEMENTATION_TYPE_COUNT ? offered[type] : nullptr;
    }

    BaseImplementation* offered[IMPLEMENTATION_TYPE_COUNT] = {};
    const char* callAnswer = nullptr;
    std::vector<std::string> calls;  // "command|parameters" per Call

private:
    const char* name_;
};
