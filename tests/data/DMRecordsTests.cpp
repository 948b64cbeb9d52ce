// Records: lookups by hash and text, the "id" rules of SetValue, ownership, and the choice of
// reader by file extension.
#include "DataTestSupport.h"

#include <cstdio>
#include <cstring>

#include "foundation/NameHash.h"

using data_records = DataManagerTest;

TEST_F(data_records, NodeLookupsAnswerNullOutsideTheirRange) {
    DMDatabase database;
    DMNode* node = database.AddArray()->AddNode();
    node->SetValue("colour", "red");
    EXPECT_STREQ(node->GetValue("colour"), "red");
    EXPECT_EQ(node->GetValue("size"), nullptr);
    EXPECT_EQ(node->GetValue(nullptr), nullptr);
    EXPECT_STREQ(node->GetKeyByIndex(0), "colour");
    EXPECT_EQ(node->GetKeyByIndex(1), nullptr);
    EXPECT_EQ(node->GetKeyByIndex(-1), nullptr);
    EXPECT_EQ(node->array->GetNodeByIndex(1), nullptr);
    EXPECT_EQ(node->array->GetNodeByIndex(-1), nullptr);
    EXPECT_EQ(node->array->GetNodeByIndex(0), node);
}

TEST_F(data_records, NodeSetValueOfIdAlsoSetsTheNodeId) {
    DMDatabase database;
    DMArray* array = database.AddArray();
    DMNode* node = array->AddNode();
    node->SetValue("id", "hero");
    EXPECT_STREQ(node->id, "hero");
    EXPECT_EQ(node->idHash, ZQI_HashName("hero"));
    EXPECT_EQ(array->GetNode("hero"), node);
    ASSERT_EQ(node->values.count, 1);
    EXPECT_STREQ(node->values[0].key, "id");
    EXPECT_STREQ(node->values[0].value, "hero");
    EXPECT_EQ(array->GetNode(nullptr), nullptr);
}

TEST_F(data_records, SetValueReplacesButANullValueKeepsTheOldOne) {
    DMDatabase database;
    DMNode* node = database.AddArray()->AddNode();
    node->SetValue("speed", "1");
    node->SetValue("speed", "2");
    EXPECT_STREQ(node->GetValue("speed"), "2");
    node->SetValue("speed", nullptr);
    EXPECT_STREQ(node->GetValue("speed"), "2");
    EXPECT_EQ(node->values.count, 1);
    node->SetValue("empty", nullptr);  // a new key with no value is still a pair
    ASSERT_EQ(node->values.count, 2);
    EXPECT_EQ(node->GetValue("empty"), nullptr);
    node->SetValue(nullptr, "ignored");
    EXPECT_EQ(node->values.count, 2);
}

TEST_F(data_records, ArraySetValueOfIdSetsTheIdAndStoresNoAttribute) {
    DMDatabase database;
    DMArray* array = database.AddArray();
    array->SetValue("id", "LEVELS");
    array->SetValue("version", "3");
    EXPECT_STREQ(array->id, "LEVELS");
    ASSERT_EQ(array->attributes.count, 1);
    EXPECT_STREQ(array->attributes[0].key, "version");
    EXPECT_EQ(database.GetArray("LEVELS"), array);
}

TEST_F(data_records, KeysSharingAHashAreToldApartByText) {
    // 'A' * 37 + 'b' == 'B' * 37 + '='
    ASSERT_EQ(ZQI_HashName("Ab"), ZQI_HashName("B="));
    DMDatabase database;
    DMArray* array = database.AddArray();
    DMNode* node = array->AddNode();
    node->SetValue("Ab", "first");
    node->SetValue("B=", "second");
    EXPECT_STREQ(node->GetValue("Ab"), "first");
    EXPECT_STREQ(node->GetValue("B="), "second");
    DMNode* other = array->AddNode();
    node->SetId("Ab");
    other->SetId("B=");
    EXPECT_EQ(array->GetNode("B="), other);
    EXPECT_EQ(array->GetNode("Ab"), node);
}

TEST_F(data_records, GetArrayComparesTextsAndSkipsArraysWithoutId) {
    DMDatabase database;
    DMArray* unnamed = database.AddArray();
    DMArray* named = database.AddArray();
    named->SetId("B=");
    EXPECT_EQ(database.GetArray("B="), named);
    EXPECT_EQ(database.GetArray("Ab"), nullptr);  // same hash, other text
    EXPECT_EQ(database.GetArray(nullptr), nullptr);
    EXPECT_EQ(unnamed->database, &database);
}

TEST_F(data_records, DeleteNodeKeepsTheOthersInOrder) {
    DMDatabase database;
    DMArray* array = database.AddArray();
    for (const char* id : {"a", "b", "c"}) {
        array->AddNode()->SetId(id);
    }
    array->DeleteNode(1);
    ASSERT_EQ(array->nodes.count, 2);
    EXPECT_STREQ(array->nodes[0]->id, "a");
    EXPECT_STREQ(array->nodes[1]->id, "c");
    array->DeleteNode(7);  // out of range: nothing
    EXPECT_EQ(array->nodes.count, 2);
}

TEST_F(data_records, ClearLeavesNoStorage) {
    DMDatabase database("res://x.xml");
    database.AddArray()->AddNode()->SetValue("k", "v");
    database.Clear();
    EXPECT_EQ(database.name, nullptr);
    EXPECT_EQ(database.arrays.count, 0);
    EXPECT_EQ(database.arrays.data, nullptr);
    EXPECT_EQ(database.maxInlineValues, 5u);
}

TEST_F(data_records, LoadFilePicksTheReaderByExtensionInAnyCase) {
    std::string path = WriteScratchFile(
        "upper.XML", "<?xml version=\"1.0\"?><root><array id=\"A\"><node id=\"n\"/></array></root>");
    DMDatabase database;
    EXPECT_TRUE(database.LoadFile(path.c_str()));
    EXPECT_STREQ(database.name, path.c_str());
    ASSERT_NE(database.GetArray("A"), nullptr);
    std::string csv = WriteScratchFile("table.CsV", "a;b\n1;2\n");
    DMDatabase table;
    EXPECT_TRUE(table.LoadFile(csv.c_str()));
    EXPECT_EQ(table.arrays.count, 1);
    std::string dat = WriteScratchFile("save.dat", "<?xml?><root></root>");
    DMDatabase save;
    EXPECT_TRUE(save.LoadFile(dat.c_str()));
    EXPECT_TRUE(Popups().empty());
}

TEST_F(data_records, LoadFileRefusesOtherEndingsAndShortNames) {
    DMDatabase database;
    EXPECT_FALSE(database.LoadFile("notes.txt"));
    EXPECT_TRUE(
        OnlyPopupContains("Unknown database file type 'notes.txt'. Supported formats are: .csv .xml"));
    ForgetMessages();
    EXPECT_FALSE(database.LoadFile("a.x"));
    EXPECT_TRUE(Popups().empty());
    EXPECT_FALSE(database.LoadFile(nullptr));
}

TEST_F(data_records, SettingAnIdToItselfKeepsIt) {
    DMDatabase database;
    DMArray* array = database.AddArray();
    array->SetId("LEVELS");
    array->SetId(array->id);
    EXPECT_STREQ(array->id, "LEVELS");
    array->SetValue("id", array->id);
    EXPECT_STREQ(array->id, "LEVELS");
    DMNode* node = array->AddNode();
    node->SetId("hero");
    node->SetId(node->id);
    EXPECT_STREQ(node->id, "hero");
    node->SetValue("id", node->id);
    EXPECT_STREQ(node->id, "hero");
    EXPECT_STREQ(node->GetValue("id"), "hero");
    EXPECT_EQ(array->GetNode("hero"), node);
}

// Texts a loader made live in the database's pool: replacing, dropping or releasing them must
// never free them one by one (the sanitizers of the host build watch every free).
TEST_F(data_records, LoadedTextsCanBeReplacedAndReleased) {
    DMDatabase database;
    ASSERT_TRUE(LoadXMLText(database,
                            "<?xml?><root><array id=\"A\" mode=\"m\">"
                            "<node id=\"a\" v=\"1\"/><node id=\"b\" w=\"2\">text</node><node id=\"c\"/>"
                            "</array></root>"));
    DMArray* array = database.GetArray("A");
    ASSERT_NE(array, nullptr);
    DMNode* a = array->GetNode("a");
    DMNode* b = array->GetNode("b");
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_TRUE(database.textPool.Owns(a->id));
    EXPECT_TRUE(database.textPool.Owns(a->GetValue("v")));
    a->SetValue("id", "a2");  // the shared pooled id and pair value both replaced
    a->SetValue("v", "one");
    a->SetId(a->GetValue("id"));
    EXPECT_STREQ(a->id, "a2");
    EXPECT_FALSE(database.textPool.Owns(a->id));
    EXPECT_STREQ(a->GetValue("v"), "one");
    b->SetId(nullptr);
    b->SetValue("DATA", "other");
    EXPECT_STREQ(b->GetValue("DATA"), "other");
    array->SetValue("mode", "n");
    array->SetId("B");
    array->DeleteNode(2);
    EXPECT_EQ(array->nodes.count, 2);
    // A failed load into the same database drops only what it read, pooled texts included.
    EXPECT_FALSE(LoadXMLText(database, "<?xml?><root><array id=\"C\"><node id=\"x\" y=\"z\"/>"));
    ASSERT_EQ(database.arrays.count, 1);
    EXPECT_STREQ(database.arrays[0]->nodes[1]->GetValue("w"), "2");
    database.DeleteArrays();
    EXPECT_TRUE(LoadXMLText(database, "<?xml?><root><array id=\"D\"><node id=\"d\"/></array></root>"));
    EXPECT_NE(database.GetArray("D"), nullptr);
    database.Clear();
    EXPECT_EQ(database.arrays.count, 0);
}

// A loader's nodes and their pair tables live in the database's pool as well: a node that gains
// more pairs than its table holds, a node deleted alone, a failed load and the database's own
// release must each leave the pooled storage to the pool (the sanitizers watch every free).
TEST_F(data_records, LoadedNodesLiveInThePoolAndSurviveEveryChange) {
    DMDatabase database;
    ASSERT_TRUE(
        LoadXMLText(database,
                    "<?xml?><root><array id=\"A\">"
                    "<node id=\"a\"/><node id=\"b\" p=\"1\" q=\"2\">text</node><node id=\"c\" r=\"3\"/>"
                    "<node id=\"d\"/>after</node></array></root>"));
    DMArray* array = database.GetArray("A");
    ASSERT_NE(array, nullptr);
    ASSERT_EQ(array->nodes.count, 4);
    DMNode* a = array->nodes[0];
    DMNode* b = array->nodes[1];
    // A self-closing node has no room kept for text; text after it moves its table to the heap.
    EXPECT_STREQ(array->nodes[3]->GetValue("DATA"), "after");
    EXPECT_FALSE(database.textPool.Owns(array->nodes[3]->values.data));
    array->DeleteNode(3);
    EXPECT_TRUE(database.textPool.Owns(a));
    EXPECT_TRUE(database.textPool.Owns(b->values.data));
    // Forty more pairs than the table was made for: the table moves to the heap, pairs intact.
    char key[8];
    char value[8];
    for (int i = 0; i < 40; ++i) {
        snprintf(key, sizeof key, "k%d", i);
        snprintf(value, sizeof value, "%d", i * 3);
        a->SetValue(key, value);
    }
    ASSERT_EQ(a->values.count, 41);
    EXPECT_FALSE(database.textPool.Owns(a->values.data));
    EXPECT_STREQ(a->GetKeyByIndex(0), "id");
    EXPECT_STREQ(a->GetValue("id"), "a");
    EXPECT_STREQ(a->GetValue("k0"), "0");
    EXPECT_STREQ(a->GetValue("k39"), "117");
    // The text pair used the room kept for it; a further pair grows the table.
    EXPECT_STREQ(b->GetValue("DATA"), "text");
    b->SetValue("s", "4");
    EXPECT_STREQ(b->GetValue("q"), "2");
    EXPECT_STREQ(b->GetValue("s"), "4");
    array->DeleteNode(1);
    ASSERT_EQ(array->nodes.count, 2);
    EXPECT_STREQ(array->nodes[1]->GetValue("r"), "3");
    DMNode* added = array->AddNode();  // made by a caller: on the heap, as before
    ASSERT_NE(added, nullptr);
    EXPECT_FALSE(database.textPool.Owns(added));
    added->SetValue("t", "5");
    array->DeleteNode(0);
    EXPECT_STREQ(array->nodes[0]->GetValue("id"), "c");
    // A failed load drops only its own nodes, whose storage came after the others'.
    EXPECT_FALSE(LoadXMLText(database, "<?xml?><root><array id=\"C\"><node id=\"x\" y=\"z\"/><node"));
    ASSERT_EQ(database.arrays.count, 1);
    EXPECT_STREQ(database.arrays[0]->nodes[0]->GetValue("r"), "3");
    EXPECT_STREQ(database.arrays[0]->nodes[1]->GetValue("t"), "5");
    database.DeleteArrays();
    ASSERT_TRUE(
        LoadXMLText(database, "<?xml?><root><array id=\"D\"><node id=\"d\" e=\"f\"/></array></root>"));
    EXPECT_STREQ(database.GetArray("D")->GetNode("d")->GetValue("e"), "f");
}

// A record taken from the pool is aligned for any record, also when the room left in the chunk
// holds the record but not the padding before it.
TEST_F(data_records, PoolRecordsAreAlignedWhereverTheTextsEnded) {
    const size_t alignment = alignof(std::max_align_t);
    for (size_t left = 0; left < 3 * alignment; ++left) {
        DMTextPool pool;
        char* first = pool.Allocate(1);  // the first chunk: 16 KB
        ASSERT_NE(first, nullptr);
        ASSERT_NE(pool.Allocate(16 * 1024 - 1 - 48 - left), nullptr);  // 48 + left bytes remain
        ASSERT_NE(pool.Allocate(1), nullptr);                          // the cursor off alignment
        void* record = pool.AllocateRecord(40);
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(record) % alignment, 0u) << left;
        EXPECT_TRUE(pool.Owns(record));
    }
}
