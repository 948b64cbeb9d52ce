// Fuzz target: any bytes as an in-memory XML database. A document that loads is written back
// out, so the writer sees every shape the reader accepts; what the writer wrote must load again,
// and once more after a second writing with the same records, so nothing it writes is lost or
// spoilt on reading: every array, attribute, node and pair comes back as it was, the node's last
// text under DATA or CDATA (a text that would not read back as plain text is written as CDATA),
// or not at all when it holds "]]>"; a second writing changes nothing more.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/ApiTable.h"
#include "data/DataManager.h"
#include "foundation/ByteStream.h"

namespace {

// The writer may lengthen a value up to five times (a lone '&' becomes "&amp;"), and a tag
// longer than the reader's 16383-character token cannot be read whole. Documents up to this
// size cannot hold a tag that grows past it, so their round trip is checked.
const size_t kRoundTripLimit = 3072;

bool SameText(const char* a, const char* b) {
    return a == nullptr ? b == nullptr : b != nullptr && strcmp(a, b) == 0;
}

bool SamePairs(const Array<DMKeyValue>& a, const Array<DMKeyValue>& b) {
    if (a.count != b.count) {
        return false;
    }
    for (int32_t i = 0; i < a.count; ++i) {
        if (!SameText(a[i].key, b[i].key) || !SameText(a[i].value, b[i].value)) {
            return false;
        }
    }
    return true;
}

bool SameNode(const DMNode* a, const DMNode* b) {
    return SameText(a->id, b->id) && SamePairs(a->values, b->values);
}

bool IsTextKey(const char* key) {
    return SameText(key, "DATA") || SameText(key, "CDATA");
}

// The pairs of a node that are written as attributes, in order.
std::vector<const DMKeyValue*> AttributePairs(const DMNode* node) {
    std::vector<const DMKeyValue*> pairs;
    for (const DMKeyValue& pair : node->values) {
        if (!IsTextKey(pair.key)) {
            pairs.push_back(&pair);
        }
    }
    return pairs;
}

// The node's last text pair, or null.
const DMKeyValue* TextPair(const DMNode* node) {
    const DMKeyValue* text = nullptr;
    for (const DMKeyValue& pair : node->values) {
        text = IsTextKey(pair.key) ? &pair : text;
    }
    return text;
}

// A node read back holds the written node's attribute pairs as they were, and its text (the
// last text pair) under DATA or CDATA, or no text when it held "]]>".
bool SameNodeAsWritten(const DMNode* written, const DMNode* read) {
    std::vector<const DMKeyValue*> want = AttributePairs(written);
    std::vector<const DMKeyValue*> got = AttributePairs(read);
    if (want.size() != got.size() || !SameText(written->id, read->id)) {
        return false;
    }
    for (size_t i = 0; i < want.size(); ++i) {
        if (!SameText(want[i]->key, got[i]->key) || !SameText(want[i]->value, got[i]->value)) {
            return false;
        }
    }
    const DMKeyValue* text = TextPair(written);
    const DMKeyValue* readText = TextPair(read);
    if (text == nullptr || readText == nullptr) {
        return readText == nullptr && (text == nullptr || strstr(text->value, "]]>") != nullptr);
    }
    return SameText(text->value, readText->value);
}

// The same arrays with the same attributes, and their nodes alike by sameNode.
bool SameDatabases(const DMDatabase& a, const DMDatabase& b, bool (*sameNode)(const DMNode*, const DMNode*)) {
    if (a.arrays.count != b.arrays.count) {
        return false;
    }
    for (int32_t i = 0; i < a.arrays.count; ++i) {
        const DMArray* x = a.arrays[i];
        const DMArray* y = b.arrays[i];
        if (!SameText(x->id, y->id) || !SamePairs(x->attributes, y->attributes) ||
            x->nodes.count != y->nodes.count) {
            return false;
        }
        for (int32_t n = 0; n < x->nodes.count; ++n) {
            if (!sameNode(x->nodes[n], y->nodes[n])) {
                return false;
            }
        }
    }
    return true;
}

// The database read back from what database writes; false when the reader refuses it.
bool ReadBackWritten(const DMDatabase& database, DMDatabase* back) {
    ByteStream* written = database.WriteXML();
    if (written == nullptr) {
        return true;  // out of memory: nothing to check
    }
    bool loaded = back->LoadXMLFromMemory(*written);
    delete written;
    return loaded;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    ZQI_BuildApiTables();  // the reader formats its positioned messages only with the API set up
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > INT32_MAX) {
        return 0;
    }
    DMDatabase database;
    if (!database.LoadXMLFromMemory(reinterpret_cast<const char*>(data), static_cast<int32_t>(size))) {
        return 0;
    }
    if (size > kRoundTripLimit) {
        delete database.WriteXML();
        return 0;
    }
    DMDatabase back;
    DMDatabase again;
    if (!ReadBackWritten(database, &back) || !ReadBackWritten(back, &again)) {
        abort();  // the writer wrote what the reader refuses
    }
    if (!SameDatabases(database, back, SameNodeAsWritten) || !SameDatabases(back, again, SameNode)) {
        abort();  // something changed on the way through the file
    }
    return 0;
}
