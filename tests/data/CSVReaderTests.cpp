// The CSV reader: header keys, field rules (CR ignored, empty fields, cut fields), nodes that
// take exactly one field per key, and the ends of files.
#include "DataTestSupport.h"

#include <cstdlib>
#include <cstring>

#include "data/CSVReader.h"

using data_csv = DataManagerTest;

namespace {

// Loads text as a CSV file and returns the single array (null when the load failed).
DMArray* LoadCSV(DMDatabase& database, const std::string& text) {
    uint8_t* image = static_cast<uint8_t*>(malloc(text.size() + 1));
    memcpy(image, text.data(), text.size());
    CSVReader reader;
    if (!reader.OpenImage(image, static_cast<int32_t>(text.size())) || !database.ParseCSV(reader)) {
        return nullptr;
    }
    return database.arrays.count == 1 ? database.arrays[0] : nullptr;
}

}  // namespace

TEST_F(data_csv, HeaderNamesTheKeysAndCarriageReturnsVanish) {
    std::string path = WriteScratchFile("table.csv", "name;score;level\r\nann;10;3\r\nbob;7;1\r\n");
    DMDatabase database;
    ASSERT_TRUE(database.LoadFile(path.c_str()));
    ASSERT_EQ(database.arrays.count, 1);
    DMArray* array = database.arrays[0];
    EXPECT_EQ(array->id, nullptr);
    ASSERT_EQ(array->nodes.count, 2);
    for (DMNode* node : array->nodes) {
        EXPECT_EQ(node->id, nullptr);
        ASSERT_EQ(node->values.count, 3);
        EXPECT_STREQ(node->GetKeyByIndex(2), "level");
    }
    EXPECT_STREQ(array->nodes[0]->GetValue("name"), "ann");
    EXPECT_STREQ(array->nodes[1]->GetValue("level"), "1");
    ASSERT_EQ(Prints().size(), 1u);
    EXPECT_EQ(Prints()[0], "1 CSV Arrays loaded with total 2 nodes.");
}

TEST_F(data_csv, EmptyFieldIsEmptyNotNull) {
    DMDatabase database;
    DMArray* array = LoadCSV(database, "a;b;c\n1;;3\n");
    ASSERT_NE(array, nullptr);
    EXPECT_STREQ(array->nodes[0]->GetValue("b"), "");
}

TEST_F(data_csv, LastFieldWithoutLineFeedIsKeptEvenWhenShort) {
    DMDatabase database;
    DMArray* array = LoadCSV(database, "a;b\n1;7");
    ASSERT_NE(array, nullptr);
    ASSERT_EQ(array->nodes.count, 1);
    EXPECT_STREQ(array->nodes[0]->GetValue("b"), "7");
    DMDatabase two;
    array = LoadCSV(two, "a;b\n1;77");
    EXPECT_STREQ(array->nodes[0]->GetValue("b"), "77");
    DMDatabase trailing;
    array = LoadCSV(trailing, "a;b\n1;");  // nothing after the last separator
    EXPECT_EQ(array->nodes[0]->GetValue("b"), nullptr);
}

TEST_F(data_csv, BlankLastLineMakesOneMoreMostlyEmptyNode) {
    DMDatabase database;
    DMArray* array = LoadCSV(database, "a;b;c\n1;2;3\n\n");
    ASSERT_NE(array, nullptr);
    ASSERT_EQ(array->nodes.count, 2);
    EXPECT_STREQ(array->nodes[1]->GetValue("a"), "");
    EXPECT_EQ(array->nodes[1]->GetValue("b"), nullptr);
    EXPECT_EQ(array->nodes[1]->GetValue("c"), nullptr);
}

TEST_F(data_csv, ShortLineBorrowsFromTheNextOne) {
    DMDatabase database;
    DMArray* array = LoadCSV(database, "a;b;c\n1;2\n4;5;6\n");
    ASSERT_NE(array, nullptr);
    ASSERT_EQ(array->nodes.count, 2);
    EXPECT_STREQ(array->nodes[0]->GetValue("c"), "4");
    EXPECT_STREQ(array->nodes[1]->GetValue("a"), "5");
    EXPECT_STREQ(array->nodes[1]->GetValue("b"), "6");
    EXPECT_EQ(array->nodes[1]->GetValue("c"), nullptr);
}

TEST_F(data_csv, HeaderOnlyFilesMakeNoNodes) {
    const char* cases[] = {"", "a;b;c", "a;b;cc", "abc", "a;b;c\n"};
    for (const char* text : cases) {
        DMDatabase database;
        DMArray* array = LoadCSV(database, text);
        ASSERT_NE(array, nullptr) << text;
        EXPECT_EQ(array->nodes.count, 0) << text;
    }
}

TEST_F(data_csv, OverlongFieldsAreCut) {
    std::string key(600, 'k');
    std::string value(5000, 'v');
    DMDatabase database;
    DMArray* array = LoadCSV(database, key + ";b\n" + value + ";x\n");
    ASSERT_NE(array, nullptr);
    DMNode* node = array->nodes[0];
    EXPECT_EQ(std::string(node->GetKeyByIndex(0)), key.substr(0, CSV_HEADER_FIELD_MAX));
    EXPECT_EQ(std::string(node->values[0].value), value.substr(0, CSV_DATA_FIELD_MAX));
    EXPECT_STREQ(node->GetValue("b"), "x");
}

TEST_F(data_csv, MissingFileIsReported) {
    std::string path = ScratchPath("absent.csv");
    DMDatabase database;
    EXPECT_FALSE(database.LoadFile(path.c_str()));
    EXPECT_TRUE(OnlyPopupContains("CSV Array File '" + path + "' not found!"));
    EXPECT_EQ(database.arrays.count, 0);
}
