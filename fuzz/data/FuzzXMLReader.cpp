// Fuzz target: any bytes as an in-memory XML database. A document that loads is written back
// out, so the writer sees every shape the reader accepts; what the writer wrote must load again
// with the same records, and a second writing must change none. The writer may refuse a
// database whose escaped values no longer fit the reader's token, never a small one.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/ApiTable.h"
#include "data/DataManager.h"
#include "foundation/ByteStream.h"

namespace {

// Escaping may lengthen a value six times ('"' read from \" becomes "&quot;"), and a tag past
// the reader's 16383-character token is refused; documents up to this size cannot grow one so
// long, and every other refusal (too many attributes, a key that is no name) the reader already
// made, so their databases are always written.
const size_t kNeverRefusedLimit = 2048;

std::string& Put(std::string& out, const char* text) {
    return out += text == nullptr ? std::string("-") : '+' + std::string(text) + '\0';
}

bool IsText(const DMKeyValue& pair) {
    return strcmp(pair.key, "DATA") == 0 || strcmp(pair.key, "CDATA") == 0;
}

// The records of a database as one string, every pair in its order. Unless exact, a node's text
// (its last DATA or CDATA pair) is put last without its key: written as the node's content it
// comes back last, and a DATA text that would not read back as plain text comes back as CDATA.
// Written as an attribute in its place (a text holding "]]>" outside plain text), it is still the
// node's last DATA or CDATA pair when it comes back, so it is taken out the same way there.
std::string Records(const DMDatabase& database, bool exact) {
    std::string out;
    for (const DMArray* array : database.arrays) {
        Put(out += "\nA", array->id);
        for (const DMKeyValue& pair : array->attributes) {
            Put(Put(out, pair.key), pair.value);
        }
        for (const DMNode* node : array->nodes) {
            Put(out += "\nN", node->id);
            int32_t text = -1;
            for (int32_t i = 0; i < node->values.count && !exact; ++i) {
                text = IsText(node->values[i]) ? i : text;
            }
            for (int32_t i = 0; i < node->values.count; ++i) {
                if (i != text) {
                    Put(Put(out, node->values[i].key), node->values[i].value);
                }
            }
            if (text >= 0) {
                Put(out += "T", node->values[text].value);
            }
        }
    }
    return out;
}

// What the writer wrote of database, loaded into back: 1; refused: 0; not loaded: -1.
int ReadBackWritten(const DMDatabase& database, DMDatabase* back) {
    ByteStream* written = database.WriteXML();
    if (written == nullptr) {
        return 0;
    }
    bool loaded = back->LoadXMLFromMemory(*written);
    delete written;
    return loaded ? 1 : -1;
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
    DMDatabase back;
    int first = ReadBackWritten(database, &back);
    if (first == 0 && size > kNeverRefusedLimit) {
        return 0;  // refused: a value grew past the reader's token
    }
    DMDatabase again;
    if (first != 1 || ReadBackWritten(back, &again) != 1 ||
        Records(database, false) != Records(back, false) || Records(back, true) != Records(again, true)) {
        abort();  // the writer wrote what the reader refuses, refused a small database, or a record changed
    }
    return 0;
}
