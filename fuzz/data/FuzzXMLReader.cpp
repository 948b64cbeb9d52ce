// Fuzz target: any bytes as an in-memory XML database. A document that loads is written back
// out, so the writer sees every shape the reader accepts; what the writer wrote must load again
// with the same records, and a second writing must change none.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/ApiTable.h"
#include "data/DataManager.h"
#include "foundation/ByteStream.h"

namespace {

// Escaping may lengthen a value five times ('&' becomes "&amp;"), and a tag past the reader's
// 16383-character token cannot be read whole; documents up to this size cannot grow one so long.
const size_t kRoundTripLimit = 3072;

std::string& Put(std::string& out, const char* text) {
    return out += text == nullptr ? std::string("-") : '+' + std::string(text) + '\0';
}

// The records of a database as one string. Unless exact, a node's text is only its last DATA or
// CDATA pair, put last without its key (a text that would not read back as plain text comes back
// as CDATA), and none when it holds "]]>", which cannot be written.
std::string Records(const DMDatabase& database, bool exact) {
    std::string out;
    for (const DMArray* array : database.arrays) {
        Put(out += "\nA", array->id);
        for (const DMKeyValue& pair : array->attributes) {
            Put(Put(out, pair.key), pair.value);
        }
        for (const DMNode* node : array->nodes) {
            Put(out += "\nN", node->id);
            const DMKeyValue* text = nullptr;
            for (const DMKeyValue& pair : node->values) {
                bool isText = !exact && (strcmp(pair.key, "DATA") == 0 || strcmp(pair.key, "CDATA") == 0);
                text = isText ? &pair : text;
                if (!isText) {
                    Put(Put(out, pair.key), pair.value);
                }
            }
            if (text != nullptr && strstr(text->value, "]]>") == nullptr) {
                Put(out += "T", text->value);
            }
        }
    }
    return out;
}

bool ReadBackWritten(const DMDatabase& database, DMDatabase* back) {
    ByteStream* written = database.WriteXML();
    bool loaded = written != nullptr && back->LoadXMLFromMemory(*written);
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
    if (!ReadBackWritten(database, &back) || !ReadBackWritten(back, &again) ||
        Records(database, false) != Records(back, false) || Records(back, true) != Records(again, true)) {
        abort();  // the writer wrote what the reader refuses, or a record changed on the way
    }
    return 0;
}
