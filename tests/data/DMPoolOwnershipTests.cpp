// The database's pool frees only what it allocated: a loaded node's storage is never handed to
// free() (the host build's sanitizers watch every free; the Windows build relies on Owns).
#include "DataTestSupport.h"

#include <string>

using data_pool_ownership = DataManagerTest;

// An empty pair table at the end of a record that ends its chunk had the chunk's end as address,
// which the pool does not own, so releasing the node or giving it a pair freed it.
TEST_F(data_pool_ownership, AnEmptyNodeThatEndsAChunkIsReleasedByThePool) {
    auto repeat = [](const char* piece, int count) {
        std::string text;
        while (count-- > 0) {
            text += piece;
        }
        return text;
    };
    // Record and chunk sizes are the build's own: leading nodes of other record sizes are tried
    // until an empty node's record ends a chunk. (A closing tag right after a node only closes it.)
    for (const char* leading :
         {"<node a=\"x\"/></node>", "<node a=\"x\"></node>", "<node a=\"&amp;\"></node>"}) {
        for (int count = 0; count <= 8; ++count) {
            DMDatabase database;
            ASSERT_TRUE(LoadXMLText(database, "<?xml?><root><array id=\"A\">" + repeat(leading, count) +
                                                  repeat("<node/></node>", 3000) + "</array></root>"));
            for (DMNode* node : database.arrays[0]->nodes) {
                const char* end = reinterpret_cast<const char*>(node) + sizeof(DMNode);
                if (node->values.count == 0 && database.textPool.Owns(end - 1) &&
                    !database.textPool.Owns(end)) {
                    EXPECT_EQ(node->values.data, nullptr);
                    node->SetValue("k", "v");
                    EXPECT_STREQ(node->GetValue("k"), "v");
                    return;  // the database is released with the node
                }
            }
        }
    }
    FAIL() << "no layout put an empty node's record at a chunk's end: the test has lost its point";
}
