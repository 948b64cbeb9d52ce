// What the XML writer saves, the reader gives back byte for byte: values, ids and texts.
#include "DataTestSupport.h"

#include <cstring>
#include <string>
#include <vector>

#include "data/XMLBlockReader.h"
#include "foundation/ByteStream.h"

using data_xml_value_round_trip = DataManagerTest;

// Every byte 1-255 reads back in an array's id and attribute, a node's id and value, and a text.
// A text is written as plain text where the reader gives it back as such, else as CDATA
// (reported), and as an attribute of its key when it holds "]]>"; an empty node keeps its place,
// also right after a self-closing one.
TEST_F(data_xml_value_round_trip, ValuesIdsTextsAndEmptyNodesReadBack) {
    std::string every;
    for (int b = 1; b <= 255; ++b) {
        every += static_cast<char>(b);
    }
    const struct {
        std::string text;
        bool cdata;              // the pair is CDATA
        const char* readBackAs;  // "DATA" or "CDATA"
    } cases[] = {
        {"Plain 'words' & \\ back\tslash, say \"hi\" now", false, "DATA"},
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
        {"if (a < b) \"q\"", true, "CDATA"},
        {"a < b ]]> c", false, "DATA"},
        {"x]]>y", true, "CDATA"},
    };
    const int32_t count = static_cast<int32_t>(sizeof cases / sizeof cases[0]);
    DMDatabase database;
    DMArray* array = database.AddArray();
    array->SetId(every.c_str());
    array->SetValue("all", every.c_str());
    array->AddNode()->SetValue("id", every.c_str());
    array->nodes[0]->SetValue("all", every.c_str());
    size_t reports = 0;
    for (const auto& c : cases) {
        array->AddNode()->SetValue(c.cdata ? "CDATA" : "DATA", c.text.c_str());
        reports += !c.cdata && strcmp(c.readBackAs, "CDATA") == 0 ? 1 : 0;
    }
    array->AddNode()->SetValue("id", "last");  // self-closing
    array->AddNode();                          // written <node ></node>
    const std::string path = ScratchPath("every-byte.xml");
    for (bool scrambled : {false, true}) {
        ForgetMessages();
        ASSERT_TRUE(database.SaveFile(path.c_str(), scrambled));
        EXPECT_EQ(Popups().size(), reports) << ::testing::PrintToString(Popups());
        for (bool direct : {true, false}) {
            SCOPED_TRACE(std::string(scrambled ? "scrambled" : "plain") +
                         (direct ? ", direct" : ", scanned"));
            XMLBlockReader reader;
            reader.SetDirectReading(direct);
            DMDatabase back;
            ASSERT_TRUE(reader.Open(path.c_str()) && back.ParseXML(reader))
                << ::testing::PrintToString(Popups());
            const DMArray* got = back.GetArray(every.c_str());
            ASSERT_NE(got, nullptr);
            ASSERT_EQ(got->nodes.count, count + 3);
            EXPECT_STREQ(got->attributes[0].value, every.c_str());
            EXPECT_EQ(got->GetNode(every.c_str()), got->nodes[0]);
            EXPECT_STREQ(got->nodes[0]->GetValue("all"), every.c_str());
            for (int32_t i = 0; i < count; ++i) {
                SCOPED_TRACE("case #" + std::to_string(i));
                const DMNode* node = got->nodes[i + 1];
                ASSERT_EQ(node->values.count, 1);
                EXPECT_STREQ(node->values[0].key, cases[i].readBackAs);
                EXPECT_EQ(node->values[0].value, cases[i].text);
            }
            EXPECT_EQ(got->GetNode("last"), got->nodes[count + 1]);
            EXPECT_EQ(got->nodes[count + 2]->values.count, 0);
        }
    }
}

// The writer uses the reader's own escapes, so each value stays on its line; other values are
// written as they are, as before, and files written before read as they did.
TEST_F(data_xml_value_round_trip, QuotesAmpersandsBackslashesAndLineBreaksAreEscaped) {
    const char* const cases[][2] = {
        {"\"C:\\new\" &quot; \r\nline\\", "&quot;C:\\\\new&quot; &amp;quot; \\r\\nline\\\\"},
        {"<ok> it's\t100% \x80\xFF", "<ok> it's\t100% \x80\xFF"},
    };
    for (const auto& c : cases) {
        DMDatabase database;
        DMArray* array = database.AddArray();
        array->SetId(c[0]);
        array->AddNode()->SetValue("v", c[0]);
        ByteStream* stream = database.WriteXML();
        const std::string text(reinterpret_cast<const char*>(stream->data),
                               static_cast<size_t>(stream->size));
        delete stream;
        EXPECT_NE(text.find(std::string("<array id=\"") + c[1] + "\">"), std::string::npos) << text;
        EXPECT_NE(text.find(std::string(" v=\"") + c[1] + "\" "), std::string::npos) << text;
    }
    DMDatabase old;
    ASSERT_TRUE(LoadXMLText(old,
                            "<?xml?><root><array id=\"A\"><node v=\"tab\tcr\rlf\nend\" w=\"\\\"\"/>"
                            "</array></root>"));
    EXPECT_STREQ(old.arrays[0]->nodes[0]->GetValue("v"), "tab\tcr\rlf\nend");
    EXPECT_STREQ(old.arrays[0]->nodes[0]->GetValue("w"), "\"");
}

// The writer finds a character to escape at every place of values of 1 to 40 characters (short
// ones are read in overlapping pieces, long ones 16 bytes at a time).
TEST_F(data_xml_value_round_trip, EveryPlaceOfACharacterToEscapeIsFound) {
    DMDatabase database;
    DMArray* array = database.AddArray();
    std::vector<std::string> values;
    for (char c : {'"', '&', '\\', '\n', '\r'}) {
        for (size_t length = 1; length <= 40; ++length) {
            for (size_t at = 0; at < length; ++at) {
                values.push_back(std::string(length, 'x'));
                values.back()[at] = c;
                array->AddNode()->SetValue("v", values.back().c_str());
            }
        }
    }
    ByteStream* stream = database.WriteXML();
    ASSERT_NE(stream, nullptr);
    DMDatabase back;
    ASSERT_TRUE(back.LoadXMLFromMemory(*stream));
    delete stream;
    ASSERT_EQ(back.arrays[0]->nodes.count, static_cast<int32_t>(values.size()));
    for (size_t i = 0; i < values.size(); ++i) {
        ASSERT_EQ(back.arrays[0]->nodes[static_cast<int32_t>(i)]->GetValue("v"), values[i]) << i;
    }
}
