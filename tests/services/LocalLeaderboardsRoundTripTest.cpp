// The local leaderboards file keeps every byte of what it stores across a restart: a category
// named with every byte value 1-255, and players' texts of a stored file (quotes, backslashes,
// ampersands, line breaks and bytes above 127 among them) that a later save writes back. A text
// the writer spoilt would get the whole board set aside at the next start.
#include <string>
#include <vector>

#include "ServicesTestSupport.h"
#include "core/ApiTable.h"
#include "core/CoreState.h"
#include "data/DataManager.h"
#include "services/LocalLeaderboards.h"

namespace {

const char kDatabase[] = "user://leaderboards-db.xml";
const char kUnreadable[] = "user://leaderboards-db.xml.bad";
const char kTemporary[] = "user://leaderboards-db.xml.tmp";

std::string EveryByte() {
    std::string bytes;
    for (int b = 1; b <= 255; ++b) {
        bytes += static_cast<char>(b);
    }
    return bytes;
}

// A text as an attribute value in the reader's own terms, made here rather than by the writer:
// entities for the quote and the ampersand, backslash escapes for the backslash, LF and CR.
std::string AttributeValue(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '"':
                out += "&quot;";
                break;
            case '&':
                out += "&amp;";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
                break;
        }
    }
    return out;
}

class LocalLeaderboardsRoundTripTest : public ServicesTest {
protected:
    void SetUp() override {
        ServicesTest::SetUp();
        for (const char* path : {kDatabase, kUnreadable, kTemporary}) {
            RemoveFile(path);
        }
        WriteCategories("<node id=\"daily\"/>\n");
        SetFeatures("LEADERBOARDS");
    }

    void TearDown() override {
        Stop();
        ServicesTest::TearDown();
    }

    // A start of the engine: the database is read from the file anew.
    void Start() {
        local_ = new LocalLeaderboardsImplementation();
        module_.offered[IMPLEMENTATION_LEADERBOARDS] = local_;
        RegisterExtensionModule(&module_);
        ResolveImplementations();
    }

    void Stop() {
        ZQI_ForgetExtensionModules();
        delete local_;
        local_ = nullptr;
        DataManager::UnloadDatabaseByName(kDatabase);
    }

    void Submit(const char* category, int32_t points, const std::vector<uint8_t>& data = {}) {
        LeaderboardScore score = MakeScore(points, data);
        table_->SubmitScore(0, &score, category);
    }

    CapturedEvent Request(const char* category) {
        EXPECT_TRUE(table_->RequestScores(1, 100, 0, category));
        std::vector<CapturedEvent> events = DeliverEvents();
        EXPECT_EQ(events.size(), 1u);
        return events.empty() ? CapturedEvent() : events[0];
    }

    zq_leaderboards_api_t* table_ = ZQI_GetApi()->leaderboards;
    LocalLeaderboardsImplementation* local_ = nullptr;
    TestModule module_{"Local"};
};

TEST_F(LocalLeaderboardsRoundTripTest, ACategoryNamedWithEveryByteKeepsItsScoresAcrossARestart) {
    const std::string category = EveryByte();
    for (int developer : {1, 0}) {  // plain, then scrambled
        SCOPED_TRACE(developer ? "plain file" : "scrambled file");
        RemoveFile(kDatabase);
        g_core.developerMode = developer;
        Start();
        Submit(category.c_str(), 42, {7, 34, 92});
        Submit("daily", 5);
        Stop();
        Start();
        EXPECT_FALSE(WasLogged("is unreadable"));
        CapturedEvent event = Request(category.c_str());
        EXPECT_EQ(event.category, category);
        EXPECT_EQ(event.total, 1);
        ASSERT_EQ(event.scores.size(), 1u);
        EXPECT_EQ(event.scores[0].points, 42);
        EXPECT_EQ(std::vector<uint8_t>(event.scores[0].data, event.scores[0].data + 3),
                  (std::vector<uint8_t>{7, 34, 92}));
        EXPECT_EQ(Request("daily").total, 1);
        Stop();
    }
}

// Players' texts of every byte value, in pieces that fit the score record's player field, stored
// in a file the engine did not write; a new score saves the file, and a restart reads them all.
TEST_F(LocalLeaderboardsRoundTripTest, StoredPlayersOfEveryByteSurviveASaveAndARestart) {
    const std::string every = EveryByte();
    std::vector<std::string> players;
    for (size_t at = 0; at < every.size(); at += 51) {
        players.push_back(every.substr(at, 51));
    }
    players.push_back("Jo \"Ace\" O'Neil & C:\\new");
    for (int developer : {1, 0}) {
        SCOPED_TRACE(developer ? "plain file" : "scrambled file");
        std::string file =
            "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n<root>\n\t<array id=\"daily\">\n";
        for (size_t i = 0; i < players.size(); ++i) {
            file += "\t\t<node player=\"" + AttributeValue(players[i]) + "\" points=\"" +
                    std::to_string(100 - i) + "\" />\n";
        }
        file += "\t</array>\n</root>\n";
        WriteFile(kDatabase, file);
        g_core.developerMode = developer;
        Start();
        Submit("daily", 1);  // saves the whole file
        Stop();
        Start();
        EXPECT_FALSE(WasLogged("is unreadable"));
        CapturedEvent event = Request("daily");
        ASSERT_EQ(event.scores.size(), players.size() + 1);
        for (size_t i = 0; i < players.size(); ++i) {
            EXPECT_EQ(std::string(event.scores[i].player), players[i]) << "player #" << i;
            EXPECT_EQ(event.scores[i].points, static_cast<int32_t>(100 - i));
        }
        EXPECT_EQ(event.scores.back().points, 1);
        Stop();
    }
}

}  // namespace
