// The XML reader: the accepted document shape, attribute decoding, text and CDATA contents,
// comments, and the positioned messages for every kind of bad input.
#include "DataTestSupport.h"

#include "data/XMLBlockReader.h"

using data_xml_reader = DataManagerTest;

namespace {

std::string Document(const std::string& body) {
    return "<?xml version=\"1.0\"?>\n<root>\n" + body + "</root>\n";
}

}  // namespace

TEST_F(data_xml_reader, ReadsArraysAttributesNodesAndTexts) {
    DMDatabase database;
    ASSERT_TRUE(
        LoadXMLText(database, Document("\t<array id=\"LEVELS\" version=\"2\" mode=\"fast\">\n"
                                       "\t\t<node id=\"one\" name=\"First\" time=\"60\"/>\n"
                                       "\t\t<node id=\"two\">plain text</node>\n"
                                       "\t\t<node id=\"three\"><![CDATA[<b>bold</b> & more]]></node>\n"
                                       "\t</array>\n"
                                       "\t<array><node/></array>\n")));
    EXPECT_TRUE(Popups().empty());
    ASSERT_EQ(database.arrays.count, 2);
    DMArray* levels = database.arrays[0];
    EXPECT_STREQ(levels->id, "LEVELS");
    ASSERT_EQ(levels->attributes.count, 2);
    EXPECT_STREQ(levels->attributes[0].key, "version");
    EXPECT_STREQ(levels->attributes[1].value, "fast");
    ASSERT_EQ(levels->nodes.count, 3);
    DMNode* one = levels->GetNode("one");
    ASSERT_NE(one, nullptr);
    ASSERT_EQ(one->values.count, 3);
    EXPECT_STREQ(one->GetKeyByIndex(0), "id");  // the id stays one of the pairs
    EXPECT_STREQ(one->GetValue("time"), "60");
    EXPECT_STREQ(levels->GetNode("two")->GetValue("DATA"), "plain text");
    EXPECT_STREQ(levels->GetNode("three")->GetValue("CDATA"), "<b>bold</b> & more");
    EXPECT_EQ(database.arrays[1]->id, nullptr);
    EXPECT_EQ(database.arrays[1]->nodes[0]->values.count, 0);
}

TEST_F(data_xml_reader, AcceptsByteOrderMarkBlankLinesAndPrologWithoutEncoding) {
    std::string text =
        "\xEF\xBB\xBF\r\n\r\n  <?xml version=\"1.0\"?>\r\n<root>\r\n<array id=\"A\">\r\n"
        "<node id=\"n\"/>\r\n</array>\r\n</root>\r\n";
    XMLBlockReader reader;
    ASSERT_TRUE(reader.SetDocument("bom.xml", reinterpret_cast<const uint8_t*>(text.data()),
                                   static_cast<int32_t>(text.size())));
    ASSERT_TRUE(reader.ReadDocumentStart());
    EXPECT_EQ(reader.Encoding(), nullptr);
    DMDatabase database;
    EXPECT_TRUE(database.ParseXML(reader));
    ASSERT_EQ(database.arrays.count, 1);
    EXPECT_EQ(database.arrays[0]->nodes.count, 1);
}

TEST_F(data_xml_reader, KeepsThePrologEncoding) {
    std::string text = "<?xml version=\"1.0\" encoding = \"iso-8859-1\" ?><root></root>";
    XMLBlockReader reader;
    ASSERT_TRUE(reader.SetDocument("enc.xml", reinterpret_cast<const uint8_t*>(text.data()),
                                   static_cast<int32_t>(text.size())));
    ASSERT_TRUE(reader.ReadDocumentStart());
    EXPECT_STREQ(reader.Encoding(), "iso-8859-1");
}

TEST_F(data_xml_reader, DecodesSpacingEntitiesAndEscapes) {
    DMDatabase database;
    ASSERT_TRUE(LoadXMLText(database, Document("<array id = \"A\">\n"
                                               "<node id  =  \"spaced\"\n  say=\"&quot;hi&quot; &amp; bye\" "
                                               "twice=\"&amp;quot;\" esc=\"a\\xb\\tc\\\"d\\\\\" />\n"
                                               "</array>\n")));
    DMArray* array = database.GetArray("A");
    ASSERT_NE(array, nullptr);
    DMNode* node = array->GetNode("spaced");
    ASSERT_NE(node, nullptr);
    EXPECT_STREQ(node->GetValue("say"), "\"hi\" & bye");
    EXPECT_STREQ(node->GetValue("twice"), "&quot;");
    EXPECT_STREQ(node->GetValue("esc"), "ab\tc\"d\\");
}

TEST_F(data_xml_reader, SkipsCommentsAndWhitespaceBetweenElements) {
    DMDatabase database;
    ASSERT_TRUE(LoadXMLText(database, Document("<!-- levels -->\n<array id=\"A\">\n"
                                               "  <!-- first -->  \n<node id=\"a\"/>\n"
                                               "<!--\"quoted\" comment--><node id=\"b\"/>\n"
                                               "</array>\n<array id=\"empty\"/>\n")));
    EXPECT_TRUE(Popups().empty());
    ASSERT_EQ(database.arrays.count, 1);  // a self-closing array makes no array
    EXPECT_EQ(database.arrays[0]->nodes.count, 2);
}

TEST_F(data_xml_reader, QuotedValueMayContainTheCDataOpener) {
    DMDatabase database;
    ASSERT_TRUE(LoadXMLText(database, Document("<array id=\"A\"><node id=\"a\" v=\"x![CDATA[y\"/></array>")));
    EXPECT_STREQ(database.arrays[0]->nodes[0]->GetValue("v"), "x![CDATA[y");
}

TEST_F(data_xml_reader, CDataIsNotLimitedToTheTokenBuffer) {
    std::string big(40000, 'x');
    DMDatabase database;
    ASSERT_TRUE(LoadXMLText(database, Document("<array><node><![CDATA[" + big + "]]></node></array>")));
    EXPECT_EQ(std::string(database.arrays[0]->nodes[0]->GetValue("CDATA")), big);
}

TEST_F(data_xml_reader, ParseErrorsNameTheLineAndTheText) {
    DMDatabase database;
    EXPECT_FALSE(
        LoadXMLText(database, "<?xml?>\n<root>\n<array id=\"A\">\n<node id=\"a\" b>\n</array></root>"));
    ASSERT_EQ(Popups().size(), 1u);
    EXPECT_EQ(
        Popups()[0].find("Parsing error (Reading next block (case #1)) around line 4 in XML 'FromMem'."), 0u)
        << Popups()[0];
    EXPECT_EQ(database.arrays.count, 0);
}

TEST_F(data_xml_reader, ValueWithoutQuotesRaisesBothMessages) {
    DMDatabase database;
    EXPECT_FALSE(LoadXMLText(database, Document("<array id=A></array>")));
    ASSERT_EQ(Popups().size(), 2u);
    EXPECT_EQ(Popups()[0].find("Expecting \" character to start value definition"), 0u);
    EXPECT_NE(Popups()[1].find("Reading next block (case #2)"), std::string::npos);
}

TEST_F(data_xml_reader, ScannerErrorsAreReportedOnce) {
    const char* cases[][2] = {
        {"<array id=\"A\">\n<!-- a <!- b -->\n</array>", "New comment block start within a comment block."},
        {"<array id=\"A\">\n<!-- a <!- b never ends\n</array>",
         "New comment block start within a comment block."},
        {"<array id=\"A\">\n<!-- a <!--></array>", "New comment block start within a comment block."},
        {"<array id=\"A\">\n<!-- never ends\n</array>", "Comment block not ended properly."},
        {"<array id=\"A\">\n<![CDATA[ never ends\n</array>", "'![CDATA[' does not end with ']]>' pattern."},
        {"<array id=\"A\"x=\"1\"></array>", "Unexpected character after value definition."},
        {"<array id=\"A\">></array>", "not expecting '>'"},
        {"<<array id=\"A\"></array>", "not expecting another '<'"},
        {"<>", "not expecting '<' yet"},
    };
    for (const auto& test : cases) {
        ForgetMessages();
        DMDatabase database;
        EXPECT_FALSE(LoadXMLText(database, Document(test[0]))) << test[0];
        EXPECT_TRUE(OnlyPopupContains(std::string("Parsing error (") + test[1])) << test[0];
        EXPECT_EQ(database.arrays.count, 0);
    }
}

TEST_F(data_xml_reader, FaultAfterTheClosingRootIsReportedAndKeepsTheDatabase) {
    const char* trailers[] = {"<!-- never ends", "<!-- a <!- b -->", "<![CDATA[ never ends", ">"};
    for (const char* trailer : trailers) {
        ForgetMessages();
        DMDatabase database;
        EXPECT_TRUE(LoadXMLText(database, Document("<array id=\"A\"><node id=\"n\"/></array>\n") + trailer))
            << trailer;
        ASSERT_EQ(database.arrays.count, 1) << trailer;
        EXPECT_EQ(database.arrays[0]->nodes.count, 1) << trailer;
        EXPECT_TRUE(OnlyPopupContains("Parsing error (")) << trailer;
    }
}

TEST_F(data_xml_reader, ShapeErrorsHaveTheirOwnMessages) {
    const char* cases[][2] = {
        {"<?xml?><array/>", "needs to be contained within 'root' block (not expecting 'array')"},
        {"<?xml?>", "needs to be contained within 'root' block (not expecting 'null')"},
        {"<?xml?><root>", "needs to end with root block closing. 'FromMem' is invalid."},
        {"<?xml?><root><array id=\"A\"/></root><array/>", "No blocks can exist after </root>."},
        {"<?xml?><root>text</root>", "root/array/node structure violated. 'null' is not 'array'."},
        {"<?xml?><root><array>text</array></root>", "'array' and 'node'. 'null' is not one of them."},
        {"<?xml?><root><array><item/></array></root>", "'array' and 'node'. 'item' is not one of them."},
        {"<?xml?><root><array><array>", "has enclosing arrays which is not supported."},
        {"<?xml?><root><array>", "File 'FromMem' ends unexpectedly."},
        {"<?xml?><root><array><node id=\"n\"/>", "after node #1 with id 'n'."},
        {"<?xml?><root><array><node/><node>", "after node #2 with id 'null'."},
        {"<?xml?><root><array><node id=\"n\"></array></root>", "Basic root/array/node structure violated."},
    };
    for (const auto& test : cases) {
        ForgetMessages();
        DMDatabase database;
        EXPECT_FALSE(LoadXMLText(database, test[0])) << test[0];
        EXPECT_TRUE(OnlyPopupContains(test[1]))
            << test[0] << " gave " << (Popups().empty() ? "" : Popups()[0]);
    }
}

TEST_F(data_xml_reader, PrologProblems) {
    DMDatabase database;
    EXPECT_FALSE(LoadXMLText(database, "  x<?xml?><root></root>"));
    ASSERT_EQ(Popups().size(), 2u);
    EXPECT_EQ(Popups()[0],
              "First non-whitespace char in XML document needs to be '<'. First char in 'FromMem' is "
              "#120 'x'.");
    EXPECT_EQ(Popups()[1], "XML database file loaded from memory is invalid!");
    ForgetMessages();
    EXPECT_FALSE(LoadXMLText(database, "<root></root>"));
    ASSERT_EQ(Popups().size(), 2u);
    EXPECT_EQ(Popups()[0],
              "XML document needs to start with line like <?xml versions=... ?>. File 'FromMem' doesn't.");
    ForgetMessages();
    EXPECT_FALSE(LoadXMLText(database, "<?>"));
    EXPECT_TRUE(OnlyPopupContains("XML database file loaded from memory is invalid!"));
}

TEST_F(data_xml_reader, FailureKeepsArraysTheDatabaseHadBefore) {
    DMDatabase database;
    database.AddArray()->SetId("KEPT");
    EXPECT_FALSE(LoadXMLText(database, Document("<array id=\"A\"><node/></array><array id=\"B\"><node>")));
    ASSERT_EQ(database.arrays.count, 1);
    EXPECT_STREQ(database.arrays[0]->id, "KEPT");
}

TEST_F(data_xml_reader, TooManyAttributesIsAnError) {
    std::string node = "<node";
    for (int i = 0; i < XML_MAX_ATTRIBUTES; ++i) {
        node += " k" + std::to_string(i) + "=\"v\"";
    }
    node += "/>";
    DMDatabase database;
    EXPECT_FALSE(LoadXMLText(database, Document("<array>" + node + "</array>")));
    EXPECT_TRUE(OnlyPopupContains("Too many blocks (512 limit) in object 'node' in xml 'FromMem'."));
}

TEST_F(data_xml_reader, OverlongTextRunIsAnError) {
    DMDatabase database;
    std::string text(XML_TOKEN_MAX_CHARACTERS + 1, 't');
    EXPECT_FALSE(LoadXMLText(database, Document("<array><node>" + text + "</node></array>")));
    EXPECT_TRUE(OnlyPopupContains("Parsing error (buffer overrun)"));
    ForgetMessages();
    text.pop_back();
    EXPECT_TRUE(LoadXMLText(database, Document("<array><node>" + text + "</node></array>")));
}

TEST_F(data_xml_reader, MissingFileIsReportedAsNotFound) {
    DMDatabase database;
    std::string path = ScratchPath("absent.xml");
    EXPECT_FALSE(database.LoadXMLFile(path.c_str()));
    EXPECT_TRUE(OnlyPopupContains("XML database file '" + path + "' not found!"));
}

// The database takes the reader's document in and points into it: the texts outlive the reader,
// the document goes with the database (or with a failed parse), and the reader frees it never.
TEST_F(data_xml_reader, TheDocumentGoesWithTheDatabaseNotTheReader) {
    std::string good = "<?xml?><root><array id=\"A\"><node id=\"n\" k=\"v\"/></array></root>";
    std::string bad = "<?xml?><root><array id=\"B\"><node id=\"m\" k=\"w\"/>";
    DMDatabase database;
    for (bool parses : {true, false}) {
        const std::string& text = parses ? good : bad;
        XMLBlockReader reader;
        ASSERT_TRUE(reader.SetDocument("doc.xml", reinterpret_cast<const uint8_t*>(text.data()),
                                       static_cast<int32_t>(text.size())));
        ASSERT_TRUE(reader.ReadDocumentStart());
        EXPECT_EQ(database.ParseXML(reader), parses);
        size_t bytes = 1;
        EXPECT_EQ(reader.OwnedDocument(&bytes), nullptr);  // handed over, also by the failed parse
        EXPECT_EQ(bytes, 0u);
    }
    ASSERT_EQ(database.arrays.count, 1);
    EXPECT_STREQ(database.arrays[0]->GetNode("n")->GetValue("k"), "v");
    XMLBlockReader later;  // a reader that outlives the database keeps its own document
    ASSERT_TRUE(later.SetDocument("later.xml", reinterpret_cast<const uint8_t*>(good.data()),
                                  static_cast<int32_t>(good.size())));
    {
        DMDatabase other;
        EXPECT_TRUE(later.ReadDocumentStart());
    }
    size_t bytes = 0;
    EXPECT_NE(later.OwnedDocument(&bytes), nullptr);
    EXPECT_EQ(bytes, good.size() + 1);
}
