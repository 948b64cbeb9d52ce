// Fuzz target: the XML reader's two ways of reading a block must agree. The same bytes are read
// with the direct reading of plain tags and texts and with the general scanner alone; the blocks,
// the messages and the loaded databases must be the same. The loaded database (whose texts live
// in its text pool) is then changed through the setters side by side with a copy made through
// the setters alone (whose texts are heap blocks): both must end up alike, and the sanitizers
// watch every text that is replaced or released.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/ApiTable.h"
#include "data/DataManager.h"
#include "data/DataManager_local.h"
#include "data/XMLBlockReader.h"
#include "foundation/ByteStream.h"

namespace {

std::string g_messages;

void Observe(int32_t level, const char* text) {
    g_messages += std::to_string(level) + ":" + text + "\n";
}

void Fail(const char* what) {
    fprintf(stderr, "fuzz_dm_xml_paths: %s differ\n", what);
    abort();
}

void PutText(std::string& out, const char* text) {
    out += text != nullptr ? "\"" + std::string(text) + "\"" : std::string("null");
    out += '\n';
}

void PutPairs(std::string& out, const Array<DMKeyValue>& pairs) {
    for (const DMKeyValue& pair : pairs) {
        out += std::to_string(pair.keyHash) + " ";
        PutText(out, pair.key);
        PutText(out, pair.value);
    }
}

std::string Describe(const DMDatabase& database) {
    std::string out;
    for (const DMArray* array : database.arrays) {
        out += "array " + std::to_string(array->idHash) + " ";
        PutText(out, array->id);
        PutPairs(out, array->attributes);
        for (const DMNode* node : array->nodes) {
            out += "node " + std::to_string(node->idHash) + " ";
            PutText(out, node->id);
            PutPairs(out, node->values);
        }
    }
    return out;
}

std::string DescribeBlocks(XMLBlockReader& reader) {
    std::string out;
    while (const XMLBlock* block = reader.ReadBlock()) {
        out += block->closing ? "block/ " : "block ";
        PutText(out, block->name);
        for (int32_t i = 0; i < block->attributeCount; ++i) {
            out += std::to_string(block->attributeNameLengths[i]) + " " +
                   std::to_string(block->attributeValueLengths[i]) + " ";
            PutText(out, block->attributeNames[i]);
            PutText(out, block->attributeValues[i]);
        }
    }
    out += reader.IsOk() ? "end\n" : "stopped\n";
    return out;
}

// Everything one reading gives: the messages, then the blocks or the database.
std::string ReadBlocks(const uint8_t* data, size_t size, bool direct) {
    g_messages.clear();
    XMLBlockReader reader;
    reader.SetDirectReading(direct);
    std::string out = "no start\n";
    if (reader.SetDocument("FromMem", data, static_cast<int32_t>(size)) && reader.ReadDocumentStart()) {
        out = DescribeBlocks(reader);
    }
    return g_messages + out;
}

std::string Load(DMDatabase& database, const uint8_t* data, size_t size, bool direct) {
    g_messages.clear();
    XMLBlockReader reader;
    reader.SetDirectReading(direct);
    std::string out = "no start\n";
    if (reader.SetDocument("FromMem", data, static_cast<int32_t>(size)) && reader.ReadDocumentStart()) {
        out = database.ParseXML(reader) ? "loaded\n" : "rejected\n";
    }
    return g_messages + out + Describe(database);
}

// A copy of source made through the setters alone (heap texts, no pool).
void CopyThroughSetters(const DMDatabase& source, DMDatabase& copy) {
    for (const DMArray* array : source.arrays) {
        DMArray* target = copy.AddArray();
        target->SetId(array->id);
        for (const DMKeyValue& pair : array->attributes) {
            target->SetValue(pair.key, pair.value);
        }
        for (const DMNode* node : array->nodes) {
            DMNode* made = target->AddNode();
            made->SetId(node->id);
            for (const DMKeyValue& pair : node->values) {
                made->AppendPair(pair.key, pair.value);
            }
        }
    }
}

// Replaces, drops and re-reads texts of every kind; choice picks the mix.
void Change(DMDatabase& database, uint8_t choice) {
    for (DMArray* array : database.arrays) {
        if ((choice & 1) != 0) {
            array->SetId("renamed");
        }
        if (array->attributes.count > 0) {
            array->SetValue(array->attributes[0].key, "changed");
        }
        for (int32_t i = 0; i < array->nodes.count; ++i) {
            DMNode* node = array->nodes[i];
            int32_t last = node->values.count - 1;
            switch ((choice + i) % 4) {
                case 0:
                    node->SetValue("id", "new id");
                    break;
                case 1:
                    if (last >= 0) {
                        node->SetValue(node->values[last].key, "changed");
                    }
                    break;
                case 2:
                    node->SetId(nullptr);
                    node->SetValue("added", nullptr);
                    break;
                default:
                    node->SetId(node->GetValue("id"));
                    node->SetValue("id", node->id);  // the id handed back to itself
                    break;
            }
        }
        if (array->nodes.count > 1 && (choice & 2) != 0) {
            array->DeleteNode(0);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    ZQI_BuildApiTables();  // the reader formats its positioned messages only with the API set up
    ZQI_SetDataManagerMessageObserver(Observe);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > INT32_MAX) {
        return 0;
    }
    if (ReadBlocks(data, size, true) != ReadBlocks(data, size, false)) {
        Fail("blocks");
    }
    DMDatabase direct;
    DMDatabase general;
    if (Load(direct, data, size, true) != Load(general, data, size, false)) {
        Fail("databases");
    }
    DMDatabase copy;
    CopyThroughSetters(direct, copy);
    uint8_t choice = size > 0 ? data[size - 1] : 0;
    Change(direct, choice);
    Change(copy, choice);
    if (Describe(direct) != Describe(copy)) {
        Fail("changed databases");
    }
    delete direct.WriteXML();
    return 0;
}
