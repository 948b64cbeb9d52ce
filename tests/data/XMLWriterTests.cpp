// The XML writer's fixed layout, its round trip through the reader, the scrambled file form and
// the messages of SaveFile.
#include "DataTestSupport.h"

#include <cstring>
#include <fstream>
#include <sstream>

#include "FullDisk.h"
#include "data/ScrambledDatabase.h"
#include "foundation/ByteStream.h"

using data_xml_writer = DataManagerTest;

namespace {

std::string WrittenText(const DMDatabase& database) {
    ByteStream* stream = database.WriteXML();
    std::string text(reinterpret_cast<const char*>(stream->data), static_cast<size_t>(stream->size));
    delete stream;
    return text;
}

// Unscrambles a file image with the documented formula, independently of the engine's code.
std::string Unscramble(const std::string& image) {
    std::string text;
    for (size_t i = 22; i < image.size(); ++i) {
        size_t k = i - 22;
        text += static_cast<char>(static_cast<uint8_t>(image[i]) +
                                  static_cast<uint8_t>("PLUMB_WAXWING"[k % 13]) + k);
    }
    return text;
}

uint32_t LittleEndianAt(const std::string& bytes, size_t at) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) {
        value = (value << 8) | static_cast<uint8_t>(bytes[at + i]);
    }
    return value;
}

// A database with every kind of content that survives a round trip.
void FillSample(DMDatabase& database) {
    DMArray* levels = database.AddArray();
    levels->SetId("LEVELS");
    levels->SetValue("version", "2");
    DMNode* first = levels->AddNode();
    first->SetValue("id", "first");
    first->SetValue("time", "60");
    DMNode* wide = levels->AddNode();
    wide->SetValue("id", "wide");
    for (int i = 0; i < 6; ++i) {
        wide->SetValue(("k" + std::to_string(i)).c_str(), std::to_string(i * 7).c_str());
    }
    DMNode* texts = levels->AddNode();
    texts->SetValue("id", "texts");
    texts->SetValue("DATA", "Plain words, with 'apostrophes'");
    DMNode* code = database.AddArray()->AddNode();
    code->SetValue("id", "code");
    code->SetValue("CDATA", "if (a < b && c > d) \"quote\"");
}

}  // namespace

TEST_F(data_xml_writer, WritesTheFixedLayout) {
    DMDatabase database;
    DMArray* array = database.AddArray();
    array->SetId("A");
    array->SetValue("mode", "fast");
    DMNode* inline_ = array->AddNode();
    inline_->SetValue("id", "n");
    inline_->SetValue("DATA", "text");
    DMNode* wide = array->AddNode();
    for (int i = 1; i <= 6; ++i) {
        wide->SetValue(("k" + std::to_string(i)).c_str(), "v");
    }
    EXPECT_EQ(WrittenText(database),
              "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n<root>\n"
              "\n\t<array id=\"A\" mode=\"fast\">\n"
              "\t\t<node id=\"n\" >text</node>\n"
              "\t\t<node k1=\"v\"\n\t\t k2=\"v\"\n\t\t k3=\"v\"\n\t\t k4=\"v\"\n\t\t k5=\"v\"\n\t\t "
              "k6=\"v\"\n\t\t/>\n"
              "\n"
              "\t</array>\n</root>\n");
}

TEST_F(data_xml_writer, WritesCDataAndUnnamedArrays) {
    DMDatabase database;
    DMNode* node = database.AddArray()->AddNode();
    node->SetValue("CDATA", "a<b");
    node->AppendPair("DATA", "last");  // the last text pair is the text; the other an attribute
    node->AppendPair("CDATA", "x > y");
    std::string text = WrittenText(database);
    EXPECT_NE(text.find("\n\t<array>\n\t\t<node CDATA=\"a<b\" DATA=\"last\" ><![CDATA[x > y]]></node>\n"),
              std::string::npos)
        << text;
    DMDatabase back;
    ASSERT_TRUE(LoadXMLText(back, text));
    EXPECT_EQ(back.arrays[0]->id, nullptr);
    ASSERT_EQ(back.arrays[0]->nodes[0]->values.count, 3);
    EXPECT_STREQ(back.arrays[0]->nodes[0]->GetKeyByIndex(2), "CDATA");
    EXPECT_STREQ(back.arrays[0]->nodes[0]->values[2].value, "x > y");
}

// A key the reader reads back but which does not start with a letter is reported and written; one
// the reader would not read back refuses the whole text.
TEST_F(data_xml_writer, ReportsKeysNotStartingWithALetterButWritesThem) {
    DMDatabase database;
    DMArray* array = database.AddArray();
    array->SetId("A");
    DMNode* node = array->AddNode();
    node->SetId("n");
    node->SetValue("_9lives", "x");
    std::string text = WrittenText(database);
    EXPECT_TRUE(
        OnlyPopupContains("DMDatabase: invalid value key '_9lives' in node 'n' of array 'A'. Key names need "
                          "to start with a-z or A-Z."));
    EXPECT_NE(text.find("_9lives=\"x\""), std::string::npos);
    ForgetMessages();
    node->SetValue("9lives", "x");
    EXPECT_EQ(database.WriteXML(), nullptr);
    ASSERT_EQ(Popups().size(), 1u);
    EXPECT_EQ(
        Popups()[0],
        "DMDatabase::WriteXML: 'null' is not written: the key '9lives' of node 'n' of array 'A' would not "
        "read back (a key starts with a letter, '_', ':', '-' or '.' and goes on with those or digits).");
}

TEST_F(data_xml_writer, RoundTripKeepsEverything) {
    DMDatabase database;
    FillSample(database);
    DMDatabase back;
    ASSERT_TRUE(LoadXMLText(back, WrittenText(database)));
    EXPECT_TRUE(Popups().empty());
    ASSERT_EQ(back.arrays.count, database.arrays.count);
    for (int32_t a = 0; a < database.arrays.count; ++a) {
        const DMArray* want = database.arrays[a];
        const DMArray* got = back.arrays[a];
        EXPECT_STREQ(got->id, want->id);
        ASSERT_EQ(got->attributes.count, want->attributes.count);
        for (int32_t i = 0; i < want->attributes.count; ++i) {
            EXPECT_STREQ(got->attributes[i].key, want->attributes[i].key);
            EXPECT_STREQ(got->attributes[i].value, want->attributes[i].value);
        }
        ASSERT_EQ(got->nodes.count, want->nodes.count);
        for (int32_t n = 0; n < want->nodes.count; ++n) {
            const DMNode* wantNode = want->nodes[n];
            const DMNode* gotNode = got->nodes[n];
            EXPECT_STREQ(gotNode->id, wantNode->id);
            ASSERT_EQ(gotNode->values.count, wantNode->values.count);
            for (int32_t i = 0; i < wantNode->values.count; ++i) {
                EXPECT_STREQ(gotNode->GetValue(wantNode->values[i].key), wantNode->values[i].value);
            }
        }
    }
}

TEST_F(data_xml_writer, ScrambledFileHasItsHeaderAndReadsBack) {
    DMDatabase database;
    FillSample(database);
    std::string path = ScratchPath("scores.xml");
    ASSERT_TRUE(database.SaveFile(path.c_str(), true));
    std::string image = ReadFileBytes(path);
    ASSERT_GT(image.size(), 22u);
    EXPECT_EQ(image.compare(0, 14, std::string("PLUMB_WAXWING\0", 14)), 0);
    EXPECT_EQ(LittleEndianAt(image, 14), image.size() - 22);
    uint32_t checksum = 0;
    for (size_t i = 22; i < image.size(); ++i) {
        checksum += static_cast<uint32_t>(static_cast<int8_t>(image[i])) * static_cast<uint32_t>(i - 22);
    }
    EXPECT_EQ(LittleEndianAt(image, 18), checksum);
    EXPECT_EQ(Unscramble(image), WrittenText(database));

    DMDatabase back;
    ASSERT_TRUE(back.LoadXMLFile(path.c_str()));
    EXPECT_EQ(WrittenText(back), WrittenText(database));
}

TEST_F(data_xml_writer, DamagedScrambledFileIsNotFound) {
    DMDatabase database;
    FillSample(database);
    std::string path = ScratchPath("damaged.xml");
    ASSERT_TRUE(database.SaveFile(path.c_str(), true));
    std::string image = ReadFileBytes(path);

    std::string changed = image;
    changed[22 + 40] ^= 0x10;
    WriteScratchFile("damaged.xml", changed);
    DMDatabase back;
    EXPECT_FALSE(back.LoadXMLFile(path.c_str()));
    EXPECT_TRUE(OnlyPopupContains("XML database file '" + path + "' not found!"));

    ForgetMessages();
    WriteScratchFile("damaged.xml", image + "x");  // size no longer 22 + L
    EXPECT_FALSE(back.LoadXMLFile(path.c_str()));
    EXPECT_TRUE(OnlyPopupContains("not found!"));

    // The first payload byte has weight 0 in the checksum, so changing it passes the check.
    uint8_t* text = nullptr;
    int32_t length = 0;
    changed = image;
    changed[22] ^= 0x01;
    EXPECT_TRUE(ZQI_UnscrambleDatabaseImage(reinterpret_cast<const uint8_t*>(changed.data()),
                                            static_cast<int64_t>(changed.size()), &text, &length));
    free(text);
}

TEST_F(data_xml_writer, PlainSaveWritesTheText) {
    DMDatabase database;
    FillSample(database);
    std::string path = ScratchPath("plain.xml");
    ASSERT_TRUE(database.SaveFile(path.c_str(), false));
    EXPECT_EQ(ReadFileBytes(path), WrittenText(database));
}

TEST_F(data_xml_writer, SaveFileReportsAFileThatCannotBeOpened) {
    DMDatabase database;
    // A plain path names only files that already exist along the search paths: it can never
    // create one, which is what the longer message explains.
    EXPECT_FALSE(database.SaveFile("no-such-folder/x.xml", false));
    EXPECT_TRUE(
        OnlyPopupContains("Unable to open file 'no-such-folder/x.xml' for writing. The filename needs to be "
                          "absolute file system target such as res://data/file.xml."));
    ForgetMessages();
    EXPECT_FALSE(database.SaveFile("user://no-such-folder/x.xml", false));
    ASSERT_EQ(Popups().size(), 1u);
    EXPECT_EQ(Popups()[0], "Unable to open file 'user://no-such-folder/x.xml' for writing.");
}

// The text fits in the C runtime's buffer, so only the flush at closing finds the disk full.
TEST_F(data_xml_writer, SaveFileOntoAFullDiskIsNotReportedAsSaved) {
    EngineTest::ScopedFullDisk full(SCHEME_RES, "full.xml");
    DMDatabase database;
    FillSample(database);
    for (bool scrambled : {false, true}) {
        ForgetMessages();
        EXPECT_FALSE(database.SaveFile(ScratchPath("full.xml").c_str(), scrambled)) << scrambled;
        ASSERT_EQ(Popups().size(), 1u) << scrambled;
        EXPECT_EQ(Popups()[0],
                  "DMDatabase::SaveFile: could not write all of '" + ScratchPath("full.xml") + "'.");
    }
    EXPECT_EQ(full.System().failedOpenings, 2);
}

TEST_F(data_xml_writer, AFileThatCannotBeOpenedIsReportedBeforeAnyKey) {
    DMDatabase database;
    DMArray* array = database.AddArray();
    array->SetId("A");
    array->AddNode()->SetValue("_9lives", "x");
    EXPECT_FALSE(database.SaveFile("user://no-such-folder/x.xml", false));
    ASSERT_EQ(Popups().size(), 1u) << Popups()[0];
    EXPECT_EQ(Popups()[0], "Unable to open file 'user://no-such-folder/x.xml' for writing.");
    ForgetMessages();
    std::string path = ScratchPath("keys.xml");  // once open, the key is reported and written
    EXPECT_TRUE(database.SaveFile(path.c_str(), false));
    EXPECT_TRUE(OnlyPopupContains("DMDatabase: invalid value key '_9lives'"));
    EXPECT_NE(ReadFileBytes(path).find("_9lives=\"x\""), std::string::npos);
}

TEST_F(data_xml_writer, ReadsAScrambledFileMadeByAnotherTool) {
    // files/scrambled.leaderboards.xml was scrambled by a separate script from the file format
    // description, so this checks the reader against the format rather than against our writer.
    std::ifstream source(ZQ_TEST_SOURCE_DIR "/files/scrambled.leaderboards.xml", std::ios::binary);
    std::ostringstream image;
    image << source.rdbuf();
    ASSERT_FALSE(image.str().empty());
    std::string path = WriteScratchFile("scrambled.leaderboards.xml", image.str());
    DMDatabase database;
    ASSERT_TRUE(database.LoadXMLFile(path.c_str()));
    DMArray* classic = database.GetArray("Classic");
    ASSERT_NE(classic, nullptr);
    ASSERT_EQ(classic->nodes.count, 1);
    EXPECT_STREQ(classic->nodes[0]->GetValue("points"), "1200");
    EXPECT_STREQ(classic->nodes[0]->GetValue("data"), "1 2 3");
}

// Rewriting a file (the temporary file of a save that replaces the stored one) leaves exactly
// what SaveFile would, whatever the file held before, plain or scrambled.
TEST_F(data_xml_writer, RewriteFileLeavesExactlyWhatSaveFileWrites) {
    DMDatabase database;
    FillSample(database);
    std::string saved = ScratchPath("saved.xml");
    std::string rewritten = ScratchPath("rewritten.xml");
    for (bool scrambled : {false, true}) {
        for (const std::string& before : {std::string(), std::string(5000, 'x'), std::string("<?xml")}) {
            ASSERT_TRUE(database.SaveFile(saved.c_str(), scrambled));
            if (!before.empty()) {
                WriteScratchFile("rewritten.xml", before);
            }
            ASSERT_TRUE(database.RewriteFile(rewritten.c_str(), scrambled));
            EXPECT_EQ(ReadFileBytes(rewritten), ReadFileBytes(saved)) << scrambled << " " << before.size();
        }
    }
    DMDatabase back;
    ASSERT_TRUE(back.LoadXMLFile(rewritten.c_str()));
    EXPECT_EQ(WrittenText(back), WrittenText(database));
    EXPECT_FALSE(database.RewriteFile("user://no-such-folder/x.xml", true));
    EXPECT_TRUE(OnlyPopupContains("Unable to open file 'user://no-such-folder/x.xml' for writing."));
}
