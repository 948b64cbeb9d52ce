// The database's pool and what it owns: every record, pair table and text a loader makes lies
// inside one of the pool's chunks, also where a record ends exactly at a chunk's end, so nothing
// of it is ever handed to free() (the host build's sanitizers watch every free; the Windows
// build relies on the ownership checks below).
#include "DataTestSupport.h"

#include <string>

using data_pool_ownership = DataManagerTest;

namespace {

const char kHead[] = "<?xml version=\"1.0\"?>\n<root><array id=\"A\">";
const char kTail[] = "</array></root>\n";
// Nodes with pairs: records of other sizes than the empty ones, which move where the run of
// empty nodes after them meets a chunk's end. Each is closed by its own closing tag (a closing
// tag without attributes right after a node only closes it).
const char* const kLeadingNodes[] = {
    "<node a=\"x\"/></node>",
    "<node a=\"x\"></node>",
    "<node a=\"&amp;\"></node>",
};
// A node without pairs: its record is the node alone, its pair table empty.
const char kEmptyNode[] = "<node/></node>";

std::string Repeat(const char* piece, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += piece;
    }
    return text;
}

// The node's record ends exactly where its chunk does: its first and last bytes are the pool's,
// the byte after it is not. The next record of the same chunk would start there (records are
// made one after another), so only the last record of a chunk answers true.
bool EndsAChunk(const DMTextPool& pool, const DMNode* node) {
    const char* bytes = reinterpret_cast<const char*>(node);
    return pool.Owns(bytes) && pool.Owns(bytes + sizeof(DMNode) - 1) && !pool.Owns(bytes + sizeof(DMNode));
}

// Where an empty node ends a chunk: after `leading` nodes of one kind and `empty` empty ones.
struct ChunkEnd {
    const char* kind = nullptr;
    int leading = -1;
    int empty = -1;
};

// Searches the kind and number of leading nodes, and the number of empty ones, for a file whose
// next empty node is the last record of its chunk. Record sizes and chunk sizes are the build's
// own, so the counts are found, not assumed; a node's place depends only on the nodes before it.
ChunkEnd FindChunkEnd() {
    for (const char* kind : kLeadingNodes) {
        for (int leading = 0; leading <= 8; ++leading) {
            DMDatabase probe;
            std::string text = kHead + Repeat(kind, leading) + Repeat(kEmptyNode, 3000) + kTail;
            if (!LoadXMLText(probe, text)) {
                return ChunkEnd();
            }
            const DMArray* array = probe.arrays[0];
            for (int32_t i = leading; i < array->nodes.count; ++i) {
                if (EndsAChunk(probe.textPool, array->nodes[i])) {
                    ChunkEnd found;
                    found.kind = kind;
                    found.leading = leading;
                    found.empty = i - leading;
                    return found;
                }
            }
        }
    }
    return ChunkEnd();
}

// The file with the node that ends a chunk written as target, then one more node.
std::string FileWithChunkEnd(const ChunkEnd& end, const char* target) {
    return kHead + Repeat(end.kind, end.leading) + Repeat(kEmptyNode, end.empty) + target +
           "<node b=\"y\"/>" + kTail;
}

// Every pair table, key, value and id of a loaded node is the pool's, or absent.
void ExpectEverythingPooled(const DMDatabase& database) {
    const DMTextPool& pool = database.textPool;
    for (const DMArray* array : database.arrays) {
        for (int32_t n = 0; n < array->nodes.count; ++n) {
            const DMNode* node = array->nodes[n];
            SCOPED_TRACE("node #" + std::to_string(n));
            EXPECT_TRUE(pool.Owns(node));
            EXPECT_TRUE(node->values.data == nullptr || pool.Owns(node->values.data))
                << "the pair table is neither the pool's nor absent: releasing it frees what malloc never "
                   "gave";
            EXPECT_TRUE(node->id == nullptr || pool.Owns(node->id));
            for (const DMKeyValue& pair : node->values) {
                EXPECT_TRUE(pool.Owns(pair.key)) << pair.key;
                EXPECT_TRUE(pair.value == nullptr || pool.Owns(pair.value)) << pair.key;
            }
        }
    }
}

}  // namespace

// A self-closing node without pairs whose record is the last of a chunk: loading, releasing,
// deleting it, giving it a value or a text must leave the pool's storage to the pool.
TEST_F(data_pool_ownership, AnEmptyNodeThatEndsAChunkIsReleasedByThePool) {
    const ChunkEnd end = FindChunkEnd();
    ASSERT_GE(end.leading, 0)
        << "no file shape put a record's end at a chunk's end: the test has lost its point";
    const int32_t target = end.leading + end.empty;
    {
        SCOPED_TRACE("loaded and released with the database");
        DMDatabase database;
        ASSERT_TRUE(LoadXMLText(database, FileWithChunkEnd(end, kEmptyNode)));
        DMArray* array = database.arrays[0];
        ASSERT_TRUE(EndsAChunk(database.textPool, array->nodes[target]));
        EXPECT_EQ(array->nodes[target]->values.count, 0);
        ExpectEverythingPooled(database);
    }
    {
        SCOPED_TRACE("deleted alone");
        DMDatabase database;
        ASSERT_TRUE(LoadXMLText(database, FileWithChunkEnd(end, kEmptyNode)));
        DMArray* array = database.arrays[0];
        ASSERT_TRUE(EndsAChunk(database.textPool, array->nodes[target]));
        array->DeleteNode(target);
        EXPECT_STREQ(array->nodes[target]->GetValue("b"), "y");
    }
    {
        SCOPED_TRACE("given values");
        DMDatabase database;
        ASSERT_TRUE(LoadXMLText(database, FileWithChunkEnd(end, kEmptyNode)));
        DMNode* node = database.arrays[0]->nodes[target];
        ASSERT_TRUE(EndsAChunk(database.textPool, node));
        node->SetValue("k", "v");
        node->SetValue("id", "named");
        EXPECT_STREQ(node->GetValue("k"), "v");
        EXPECT_EQ(database.arrays[0]->GetNode("named"), node);
    }
    {
        SCOPED_TRACE("followed by a text");
        DMDatabase database;
        ASSERT_TRUE(LoadXMLText(database, FileWithChunkEnd(end, "<node/>after</node>")));
        DMNode* node = database.arrays[0]->nodes[target];
        ASSERT_TRUE(EndsAChunk(database.textPool, node));
        EXPECT_STREQ(node->GetValue("DATA"), "after");
        EXPECT_EQ(node->values.count, 1);
    }
    EXPECT_TRUE(Popups().empty());
}

// Every kind of loaded text (plain, decoded, with escapes, CDATA, text runs, empty values) lies
// inside the pool, wherever in a chunk it ended; the records around chunk ends are crossed many
// times by the longer file.
TEST_F(data_pool_ownership, EveryLoadedRecordAndTextIsInsideThePool) {
    const char* const shapes[] = {
        "<node/>",
        "<node id=\"n\" v=\"\"/>",
        "<node a=\"&quot;q&amp;\" b=\"\\\\x\">t</node>",
        "<node><![CDATA[c<d]]></node>",
        "<node e = \"spaced\" />",
        "<node>words</node>",
    };
    std::string nodes;
    int32_t count = 0;
    for (int i = 0; i < 1500; ++i) {
        nodes += shapes[i % 6];
        ++count;
        // Now and then a node of another length shifts the rest, never right before "<node/>",
        // which would only close it.
        if (i % 7 == 0 && i % 6 != 5) {
            nodes += "<node t=\"" + std::string(static_cast<size_t>(i % 41), 'w') + "\"/>";
            ++count;
        }
    }
    DMDatabase database;
    ASSERT_TRUE(LoadXMLText(database, kHead + nodes + kTail));
    ASSERT_EQ(database.arrays[0]->nodes.count, count);
    ExpectEverythingPooled(database);
    int32_t decoded = 0;
    for (const DMNode* node : database.arrays[0]->nodes) {
        const char* a = node->GetValue("a");
        if (a != nullptr) {
            EXPECT_STREQ(a, "\"q&");
            EXPECT_STREQ(node->GetValue("b"), "\\x");
            ++decoded;
        }
    }
    EXPECT_EQ(decoded, 250);
}
