// What the XML writer saves, the reader gives back byte for byte: every byte value 1-255 in
// values, ids and attributes, through plain and scrambled files and both of the reader's ways of
// reading a tag; texts of nodes too, as plain text where the reader takes them back as such,
// else as CDATA.
#include "DataTestSupport.h"

#include <string>
#include <vector>

#include "data/XMLBlockReader.h"
#include "foundation/ByteStream.h"

using data_xml_value_round_trip = DataManagerTest;

namespace {

std::string EveryByte() {
    std::string bytes;
    for (int b = 1; b <= 255; ++b) {
        bytes += static_cast<char>(b);
    }
    return bytes;
}

// Texts that sit on the edges of the reader's escapes and entities.
const char* const kAwkwardValues[] = {
    "\"",         "\\",     "\\\"",       "\\\\\"",  "a\\",        "\\\\",     "\\n",
    "\\x",        "&",      "&quot;",     "&amp;",   "&amp;quot;", "&&quot;;", "\"&\"",
    "\r\n",       "\n\n\r", "\t \t",      " lead",   "trail ",     "",         "<b>",
    "x![CDATA[y", "]]>",    "<!-- c -->", "a=\"b\"", "/>",         "?>",       "\xC3\xA9\xFF\x80",
};

std::string WrittenText(const DMDatabase& database) {
    ByteStream* stream = database.WriteXML();
    std::string text(reinterpret_cast<const char*>(stream->data), static_cast<size_t>(stream->size));
    delete stream;
    return text;
}

// A database holding every byte and the awkward texts as values, node ids, an array id and
// array attributes.
void FillWithEveryByte(DMDatabase& database) {
    const std::string every = EveryByte();
    DMArray* named = database.AddArray();
    named->SetId(every.c_str());
    named->SetValue("all", every.c_str());
    named->SetValue("quote", "say \"hi\"");
    DMNode* all = named->AddNode();
    all->SetValue("id", every.c_str());
    all->SetValue("all", every.c_str());
    DMArray* single = database.AddArray();
    single->SetId("single");
    for (int b = 1; b <= 255; ++b) {
        // Each byte alone, between letters, and last before the closing quote; a node of three
        // pairs is written on one line, every sixth one pair per line.
        DMNode* node = single->AddNode();
        const std::string byte(1, static_cast<char>(b));
        node->SetValue("id", ("b" + std::to_string(b)).c_str());
        node->SetValue("alone", byte.c_str());
        node->SetValue("inside", ("x" + byte + "y").c_str());
        node->SetValue("last", ("z" + byte).c_str());
        if (b % 6 == 0) {
            for (int k = 0; k < 4; ++k) {
                node->SetValue(("more" + std::to_string(k)).c_str(), (byte + byte).c_str());
            }
        }
    }
    DMNode* awkward = single->AddNode();
    int k = 0;
    for (const char* value : kAwkwardValues) {
        awkward->SetValue(("v" + std::to_string(k++)).c_str(), value);
    }
}

// Every array and node of got has the ids, keys and values of want, byte for byte.
void ExpectSameRecords(const DMDatabase& want, const DMDatabase& got) {
    ASSERT_EQ(got.arrays.count, want.arrays.count);
    for (int32_t a = 0; a < want.arrays.count; ++a) {
        const DMArray* wantArray = want.arrays[a];
        const DMArray* gotArray = got.arrays[a];
        EXPECT_STREQ(gotArray->id, wantArray->id) << "array #" << a;
        ASSERT_EQ(gotArray->attributes.count, wantArray->attributes.count);
        for (int32_t i = 0; i < wantArray->attributes.count; ++i) {
            EXPECT_STREQ(gotArray->attributes[i].key, wantArray->attributes[i].key);
            EXPECT_STREQ(gotArray->attributes[i].value, wantArray->attributes[i].value)
                << "attribute " << wantArray->attributes[i].key;
        }
        ASSERT_EQ(gotArray->nodes.count, wantArray->nodes.count);
        for (int32_t n = 0; n < wantArray->nodes.count; ++n) {
            const DMNode* wantNode = wantArray->nodes[n];
            const DMNode* gotNode = gotArray->nodes[n];
            EXPECT_STREQ(gotNode->id, wantNode->id) << "node #" << n;
            ASSERT_EQ(gotNode->values.count, wantNode->values.count) << "node #" << n;
            for (int32_t i = 0; i < wantNode->values.count; ++i) {
                EXPECT_STREQ(gotNode->values[i].key, wantNode->values[i].key);
                EXPECT_STREQ(gotNode->values[i].value, wantNode->values[i].value)
                    << "node #" << n << " key " << wantNode->values[i].key;
            }
        }
    }
}

// Loads a saved file with the reader's direct reading of plain tags on or off.
bool LoadWithReader(DMDatabase& database, const std::string& path, bool directReading) {
    XMLBlockReader reader;
    reader.SetDirectReading(directReading);
    return reader.Open(path.c_str()) && database.ParseXML(reader);
}

// The value of the node's text pair of the given key; the node must have exactly one pair.
std::string OnlyText(const DMNode* node, const char* key) {
    if (node->values.count != 1 || node->GetValue(key) == nullptr) {
        ADD_FAILURE() << "expected one pair " << key << ", got " << node->values.count << " pairs, first "
                      << (node->values.count > 0 ? node->values[0].key : "none");
        return std::string();
    }
    return node->GetValue(key);
}

}  // namespace

TEST_F(data_xml_value_round_trip, EveryByteOfAValueReadsBackFromPlainAndScrambledFiles) {
    DMDatabase database;
    FillWithEveryByte(database);
    const std::string path = ScratchPath("every-byte.xml");
    for (bool scrambled : {false, true}) {
        ASSERT_TRUE(database.SaveFile(path.c_str(), scrambled));
        for (bool direct : {true, false}) {
            SCOPED_TRACE(std::string(scrambled ? "scrambled" : "plain") +
                         (direct ? ", direct" : ", scanned"));
            DMDatabase back;
            ASSERT_TRUE(LoadWithReader(back, path, direct)) << ::testing::PrintToString(Popups());
            ExpectSameRecords(database, back);
            EXPECT_EQ(back.GetArray(EveryByte().c_str()), back.arrays[0]);
            EXPECT_NE(back.arrays[0]->GetNode(EveryByte().c_str()), nullptr);
        }
        // Saving what was read gives the same file.
        DMDatabase back;
        ASSERT_TRUE(back.LoadXMLFile(path.c_str()));
        EXPECT_EQ(WrittenText(back), WrittenText(database));
    }
    EXPECT_TRUE(Popups().empty()) << ::testing::PrintToString(Popups());
}

// The forms the writer uses are the reader's own: entities for the quote and the ampersand,
// backslash escapes for the backslash and line breaks, so each value stays on its line. Values
// without those characters are written as they are, as before.
TEST_F(data_xml_value_round_trip, QuotesAmpersandsBackslashesAndLineBreaksAreEscaped) {
    DMDatabase database;
    DMArray* array = database.AddArray();
    array->SetId("a\"&\\b");
    DMNode* node = array->AddNode();
    node->SetValue("v", "\"C:\\new\" & \r\nnext\tline");
    node->SetValue("plain", "<ok> it's ~ 100% \x80\xFF");
    std::string text = WrittenText(database);
    EXPECT_NE(text.find("<array id=\"a&quot;&amp;\\\\b\">"), std::string::npos) << text;
    EXPECT_NE(text.find(" v=\"&quot;C:\\\\new&quot; &amp; \\r\\nnext\tline\" "), std::string::npos) << text;
    EXPECT_NE(text.find(" plain=\"<ok> it's ~ 100% \x80\xFF\" "), std::string::npos) << text;
    // A file written before, with the value unescaped where that was possible, reads as it did.
    DMDatabase old;
    ASSERT_TRUE(LoadXMLText(old,
                            "<?xml?><root><array id=\"A\"><node v=\"tab\tcr\rlf\nend\" w=\"\\\"\"/>"
                            "</array></root>"));
    EXPECT_STREQ(old.arrays[0]->nodes[0]->GetValue("v"), "tab\tcr\rlf\nend");
    EXPECT_STREQ(old.arrays[0]->nodes[0]->GetValue("w"), "\"");
}

// A node's text is written as plain text when the reader gives it back as that text; otherwise
// as a CDATA section, which gives back every byte (under "CDATA"); a text neither can hold is
// left out, with a message, rather than spoil the file.
TEST_F(data_xml_value_round_trip, TextsAreWrittenSoThatTheyReadBack) {
    struct Case {
        std::string text;
        bool cdata;              // the pair is CDATA
        const char* readBackAs;  // "DATA", "CDATA" or nullptr (left out)
    };
    const std::string every = EveryByte();
    const std::vector<Case> cases = {
        {"Plain words, with 'apostrophes' & \\ back\tslash", false, "DATA"},
        {"say \"hi\" now", false, "DATA"},              // a quoted run the reader closes
        {"\r\nlines\r\n and \xE9\xFF", false, "DATA"},  // blanks around the text are kept
        {std::string(16383, 'x'), false, "DATA"},       // the longest text run
        {std::string(16384, 'x'), false, "CDATA"},
        {every, false, "CDATA"},
        {"a < b", false, "CDATA"},
        {"a > b", false, "CDATA"},
        {"one \" quote", false, "CDATA"},
        {"\"quoted\"", false, "CDATA"},  // the reader wants a blank or '>' after a closing quote
        {"x![CDATA[y", false, "CDATA"},
        {" \t\r\n", false, "CDATA"},  // blanks alone are no text to the reader
        {"", false, "CDATA"},
        {"a < b ]]> c", false, nullptr},
        {"if (a < b) \"q\"", true, "CDATA"},
        {"", true, "CDATA"},
        {"x]]>y", true, nullptr},
    };
    DMDatabase database;
    DMArray* array = database.AddArray();
    array->SetId("texts");
    for (const Case& c : cases) {
        DMNode* node = array->AddNode();
        node->SetValue(c.cdata ? "CDATA" : "DATA", c.text.c_str());
    }
    DMNode* last = array->AddNode();
    last->SetValue("id", "last");
    const std::string path = ScratchPath("texts.xml");
    ASSERT_TRUE(database.SaveFile(path.c_str(), false));
    // Each text written in CDATA in place of DATA, and each left out, is reported once.
    int32_t reported = 0;
    for (const Case& c : cases) {
        reported += c.readBackAs == nullptr || (!c.cdata && std::string(c.readBackAs) == "CDATA") ? 1 : 0;
    }
    EXPECT_EQ(static_cast<int32_t>(Popups().size()), reported) << ::testing::PrintToString(Popups());
    for (bool direct : {true, false}) {
        SCOPED_TRACE(direct ? "direct" : "scanned");
        DMDatabase back;
        ASSERT_TRUE(LoadWithReader(back, path, direct)) << ::testing::PrintToString(Popups());
        const DMArray* got = back.GetArray("texts");
        ASSERT_NE(got, nullptr);
        ASSERT_EQ(got->nodes.count, static_cast<int32_t>(cases.size()) + 1);
        for (size_t i = 0; i < cases.size(); ++i) {
            const Case& c = cases[i];
            SCOPED_TRACE("case #" + std::to_string(i));
            if (c.readBackAs == nullptr) {
                EXPECT_EQ(got->nodes[static_cast<int32_t>(i)]->values.count, 0);
            } else {
                EXPECT_EQ(OnlyText(got->nodes[static_cast<int32_t>(i)], c.readBackAs), c.text);
            }
        }
        EXPECT_NE(got->GetNode("last"), nullptr);
    }
}

TEST_F(data_xml_value_round_trip, ReportsTextsWrittenAsCDataOrLeftOut) {
    DMDatabase database;
    DMArray* array = database.AddArray();
    array->SetId("A");
    DMNode* node = array->AddNode();
    node->SetValue("id", "n");
    node->SetValue("DATA", "a<b");
    DMNode* other = array->AddNode();
    other->SetValue("id", "m");
    other->SetValue("CDATA", "]]>");
    WrittenText(database);
    EXPECT_EQ(Popups(),
              (std::vector<std::string>{
                  "DMDatabase: the text of node 'n' of array 'A' would not read back as plain text; it is "
                  "written as CDATA.",
                  "DMDatabase: the text of node 'm' of array 'A' holds ']]>' and cannot be written; it is "
                  "left out."}));
}

// A node without pairs keeps its place among the others, also right after a self-closing node
// and after another empty one.
TEST_F(data_xml_value_round_trip, EmptyNodesReadBackInTheirPlaces) {
    DMDatabase database;
    DMArray* array = database.AddArray();
    array->SetId("A");
    array->AddNode()->SetValue("k", "first");
    array->AddNode();
    array->AddNode();
    array->AddNode()->SetValue("k", "fourth");
    array->AddNode();
    array->AddNode()->SetValue("DATA", "text");
    DMDatabase back;
    ASSERT_TRUE(LoadXMLText(back, WrittenText(database)));
    const DMArray* got = back.GetArray("A");
    ASSERT_NE(got, nullptr);
    ASSERT_EQ(got->nodes.count, 6);
    EXPECT_STREQ(got->nodes[0]->GetValue("k"), "first");
    EXPECT_EQ(got->nodes[1]->values.count, 0);
    EXPECT_EQ(got->nodes[2]->values.count, 0);
    EXPECT_STREQ(got->nodes[3]->GetValue("k"), "fourth");
    EXPECT_EQ(got->nodes[4]->values.count, 0);
    EXPECT_STREQ(got->nodes[5]->GetValue("DATA"), "text");
}
