// Loading a database from XML: the file and in-memory entries, and DMDatabase::ParseXML, which
// checks the root/array/node shape block by block and builds the records.
#include <cstring>

#include "data/DMRecords.h"
#include "data/DataManager_local.h"
#include "data/XMLBlockReader.h"
#include "foundation/ByteStream.h"

namespace {

// Every block is tested against these names, so the test is spelt out rather than a call.
template <size_t N>
bool IsElement(const XMLBlock* block, const char (&name)[N]) {
    const char* text = block->name;
    if (text == nullptr) {
        return false;
    }
    for (size_t i = 0; i < N; ++i) {  // with the NUL, and no further than text's own NUL
        if (text[i] != name[i]) {
            return false;
        }
    }
    return true;
}

// Attribute i of the block is named "id".
bool IsIdAttribute(const XMLBlock* block, int32_t i) {
    const char* name = block->attributeNames[i];
    return block->attributeNameLengths[i] == 2 && name[0] == 'i' && name[1] == 'd';
}

// State of one parse: the reader, the file name for messages and the running node count.
struct XMLParse {
    XMLBlockReader& reader;
    const char* file;
    int32_t nodeCount;
    bool documentPooled;  // the database's pool holds the reader's document
};

// A failure that the reader has already reported is not reported again by the parse.
bool ReaderFailed(const XMLParse& parse) {
    return !parse.reader.IsOk();
}

// An opening "array" block: a new array of the database with the block's id and attributes.
DMArray* MakeArray(DMDatabase* database, const XMLBlock* block) {
    DMArray* array = database->AddArray();
    if (array == nullptr) {
        return nullptr;
    }
    for (int32_t i = 0; i < block->attributeCount; ++i) {
        if (strcmp(block->attributeNames[i], "id") == 0) {
            array->SetId(block->attributeValues[i]);
        } else {
            array->SetValue(block->attributeNames[i], block->attributeValues[i]);
        }
    }
    return array;
}

// A "node" block: a new node of the array holding every attribute, "id" included, as a pair;
// its id is the value of the last "id" attribute (null without one).
// An opening tag's node gets room for one more pair, its text; a self-closing one seldom has
// text after it, and then its pair table moves to the heap.
DMNode* MakeNode(DMArray* array, const XMLBlock* block, bool documentPooled) {
    DMLoadedPairs pairs;
    pairs.keys = block->attributeNames;
    pairs.keyLengths = block->attributeNameLengths;
    pairs.values = block->attributeValues;
    pairs.valueLengths = block->attributeValueLengths;
    pairs.pairCount = block->attributeCount;
    pairs.text = block->attributeText;
    pairs.textLength = block->attributeTextLength;
    pairs.textPooled = documentPooled;
    DMNode* node = array->AddLoadedNode(pairs, block->closing ? 0 : 1);
    if (node == nullptr) {
        return nullptr;
    }
    int32_t id = -1;  // the last "id" pair
    for (int32_t i = 0; i < block->attributeCount; ++i) {
        if (IsIdAttribute(block, i)) {
            id = i;
        }
    }
    if (id >= 0) {
        node->SetLoadedId(node->values[id].value, static_cast<size_t>(block->attributeValueLengths[id]));
    }
    return node;
}

// The text of a node, stored as the pair "DATA" or "CDATA".
void AppendText(DMNode* node, const XMLBlock* block) {
    node->AppendLoadedPair(block->attributeNames[0], block->attributeNameLengths[0],
                           block->attributeValues[0], block->attributeValueLengths[0]);
}

// Array level: reads the nodes of array up to its closing tag.
bool ParseArrayContents(XMLParse& parse, DMArray* array) {
    XMLBlockReader& reader = parse.reader;
    const XMLBlock* carried = nullptr;  // a block read after a node that belongs to the next pass
    for (;;) {
        const XMLBlock* block = carried != nullptr ? carried : reader.ReadBlock();
        carried = nullptr;
        if (block == nullptr) {
            if (!ReaderFailed(parse)) {
                ZQI_DataManagerPopup("DataManager: File '%s' ends unexpectedly. Not loaded.", parse.file);
            }
            return false;
        }
        if (IsElement(block, "array")) {
            if (block->closing) {
                return true;
            }
            ZQI_DataManagerPopup(
                "DataManager: File '%s' has enclosing arrays which is not supported. Not loaded.",
                parse.file);
            return false;
        }
        if (!IsElement(block, "node")) {
            ZQI_DataManagerPopup(
                "DataManager: in '%s' is expecting to find two types of elements inside root: 'array' and "
                "'node'. '%s' is not one of them.",
                parse.file, ZQI_DataManagerOrNull(block->name));
            return false;
        }
        DMNode* node = MakeNode(array, block, parse.documentPooled);
        if (node == nullptr) {
            ZQI_DataManagerPopup("DataManager: out of memory while reading '%s'. Not loaded.", parse.file);
            return false;
        }
        ++parse.nodeCount;
        bool selfClosing = block->closing;
        const XMLBlock* next = reader.ReadBlock();
        if (next == nullptr) {
            if (!ReaderFailed(parse)) {
                ZQI_DataManagerPopup("DataManager: error parsing file '%s' after node #%d with id '%s'.",
                                     parse.file, parse.nodeCount, ZQI_DataManagerOrNull(node->id));
            }
            return false;
        }
        if (next->name == nullptr) {
            // The node's text; the block after it is the node's closing tag.
            AppendText(node, next);
            reader.ReadBlock();
            continue;
        }
        bool closesNode = IsElement(next, "node") && next->closing;
        if (!selfClosing && !closesNode) {
            ZQI_DataManagerPopup(
                "DataManager: error parsing file '%s' after node #%d with id '%s'. Basic root/array/node "
                "structure violated.",
                parse.file, parse.nodeCount, ZQI_DataManagerOrNull(node->id));
            return false;
        }
        if (!(closesNode && next->attributeCount == 0)) {
            carried = next;
        }
    }
}

// Root level: arrays up to the closing root tag, which must be the last block.
bool ParseRootContents(XMLParse& parse, DMDatabase* database) {
    XMLBlockReader& reader = parse.reader;
    for (;;) {
        const XMLBlock* block = reader.ReadBlock();
        if (block == nullptr) {
            if (!ReaderFailed(parse)) {
                ZQI_DataManagerPopup(
                    "DataManager: XML database needs to end with root block closing. '%s' is invalid.",
                    parse.file);
            }
            return false;
        }
        if (IsElement(block, "root") && block->closing) {
            if (reader.ReadBlock() != nullptr) {
                ZQI_DataManagerPopup("DataManager: No blocks can exist after </root>. '%s' is invalid.",
                                     parse.file);
                return false;
            }
            // The database is whole: a fault in what trails the closing root (an unended comment,
            // say) has been reported by the reader and costs no data.
            return true;
        }
        if (!IsElement(block, "array")) {
            ZQI_DataManagerPopup(
                "DataManager: root/array/node structure violated. '%s' is not 'array'. '%s' is invalid.",
                ZQI_DataManagerOrNull(block->name), parse.file);
            return false;
        }
        if (block->closing) {
            continue;  // an empty array makes no array
        }
        DMArray* array = MakeArray(database, block);
        if (array == nullptr) {
            ZQI_DataManagerPopup("DataManager: out of memory while reading '%s'. Not loaded.", parse.file);
            return false;
        }
        if (!ParseArrayContents(parse, array)) {
            return false;
        }
    }
}

}  // namespace

// The pool takes the reader's document in: the texts of plain tags are then used where they lie
// in it instead of being copied, and a failed parse frees it with the rest.
bool DMDatabase::ParseXML(XMLBlockReader& reader) {
    XMLParse parse = {reader, reader.FileName(), 0, false};
    int32_t arraysBefore = arrays.count;
    DMTextPool::Mark poolBefore = textPool.GetMark();
    size_t documentBytes = 0;
    char* document = reader.OwnedDocument(&documentBytes);
    if (document != nullptr && textPool.Adopt(document, documentBytes)) {
        reader.DisownDocument();
        parse.documentPooled = true;
    }
    bool parsed = false;
    const XMLBlock* first = reader.ReadBlock();
    if (first == nullptr || !IsElement(first, "root") || first->closing) {
        if (first != nullptr || !ReaderFailed(parse)) {
            ZQI_DataManagerPopup(
                "DataManager: XML database needs to be contained within 'root' block (not expecting '%s'). "
                "'%s' is "
                "invalid.",
                first != nullptr ? ZQI_DataManagerOrNull(first->name) : "null", parse.file);
        }
    } else {
        parsed = ParseRootContents(parse, this);
    }
    if (!parsed) {
        // Only what this parse added goes: arrays the database held before stay.
        while (arrays.count > arraysBefore) {
            arrays.DeleteAt(arrays.count - 1);
        }
        textPool.Rewind(poolBefore);  // the texts of those arrays
    }
    return parsed;
}

bool DMDatabase::LoadXMLFile(const char* fileName) {
    XMLBlockReader reader;
    if (!reader.Open(fileName)) {
        ZQI_DataManagerPopup("XML database file '%s' not found!", ZQI_DataManagerOrNull(fileName));
        return false;
    }
    return ParseXML(reader);
}

bool DMDatabase::LoadXMLFromMemory(const char* text, int32_t length) {
    XMLBlockReader reader;
    if (text == nullptr || length < 4 ||
        !reader.SetDocument("FromMem", reinterpret_cast<const uint8_t*>(text), length) ||
        !reader.ReadDocumentStart()) {
        ZQI_DataManagerPopup("XML database file loaded from memory is invalid!");
        return false;
    }
    return ParseXML(reader);
}

bool DMDatabase::LoadXMLFromMemory(const ByteStream& stream) {
    return LoadXMLFromMemory(reinterpret_cast<const char*>(stream.data), stream.size);
}
