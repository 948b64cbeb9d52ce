// Writing a database as XML text in the fixed layout the reader expects, and saving it to a
// file, plain or scrambled. Every value is written so that the reader gives it back byte for
// byte (a player's name may hold quotes, a path backslashes); a node's text is written as plain
// text where the reader takes it back as such, else in a CDATA section.
#include <cstdlib>
#include <cstring>
#include <new>

#include "data/DMRecords.h"
#include "data/DataFileAccess.h"
#include "data/DataManager_local.h"
#include "data/ScrambledDatabase.h"
#include "data/XMLBlockReader.h"
#include "data/XMLBlockReader_local.h"
#include "foundation/ByteStream.h"

namespace {

// First capacity of the writer's stream; it grows by the stream's own rule.
const int32_t kInitialCapacity = 16384;

// Appends n bytes. A save writes every text of the database piece by piece, so the bytes are
// copied here while they fit; only growing goes through the stream's own Write, which keeps its
// growth rule and reports its failures. Returns false when the stream cannot grow.
inline bool PutBytes(ByteStream* out, const char* bytes, size_t n) {
    if (n == 0) {
        return true;
    }
    if (static_cast<int64_t>(out->size) + static_cast<int64_t>(n) <= static_cast<int64_t>(out->capacity)) {
        memcpy(out->data + out->size, bytes, n);
        out->size += static_cast<int32_t>(n);
        return true;
    }
    return out->Write(bytes, static_cast<int32_t>(n));
}

// Appends text (null counts as ""). Inlined, the length of a literal is known when compiling.
inline bool Put(ByteStream* out, const char* text) {
    return text == nullptr || PutBytes(out, text, strlen(text));
}

// Appends a stored text (null counts as ""). Keys and values are mostly a few characters long:
// copying up to the NUL while it fits costs less than measuring and then copying them.
bool PutStored(ByteStream* out, const char* text) {
    if (text == nullptr) {
        return true;
    }
    uint8_t* to = out->data + out->size;
    uint8_t* limit = out->data + out->capacity;
    const char* from = text;
    while (*from != '\0' && to < limit) {
        *to++ = static_cast<uint8_t>(*from++);
    }
    out->size = static_cast<int32_t>(to - out->data);
    return *from == '\0' || Put(out, from);  // the rest, once the stream has grown
}

// The characters of a value that the reader would not give back as they stand, and the NUL
// that ends the value. The reader ends a value at a quote, decodes backslash escapes and then
// "&quot;" and "&amp;"; line breaks would read back as they are (files are written and read in
// binary mode) but are escaped so that each value stays on its line, whatever a text editor or
// a line-ending conversion later does to the file.
struct ValueStops {
    bool stop[256];
    constexpr ValueStops() : stop() {
        stop[0] = true;
        stop[static_cast<unsigned char>('"')] = true;
        stop[static_cast<unsigned char>('&')] = true;
        stop[static_cast<unsigned char>('\\')] = true;
        stop[static_cast<unsigned char>('\n')] = true;
        stop[static_cast<unsigned char>('\r')] = true;
    }
};
constexpr ValueStops kValueStops;

inline bool StopsValue(char c) {
    return kValueStops.stop[static_cast<unsigned char>(c)];
}

// What the reader decodes back into c: the entities for the quote and the ampersand (decoded
// after the escapes, so they meet no backslash of their own), escapes for the rest.
const char* EncodedValueCharacter(char c) {
    switch (c) {
        case '"':
            return "&quot;";
        case '&':
            return "&amp;";
        case '\\':
            return "\\\\";
        case '\n':
            return "\\n";
        default:
            return "\\r";
    }
}

// Appends a value (null counts as "") so that the reader gives it back byte for byte. Other
// characters, bytes above 127 included, are written as they are, so a value without the
// characters above comes out as it always did. Copied while it fits, as PutStored does.
bool PutValue(ByteStream* out, const char* text) {
    if (text == nullptr) {
        return true;
    }
    const char* from = text;
    for (;;) {
        uint8_t* to = out->data + out->size;
        uint8_t* limit = out->data + out->capacity;
        while (to < limit && !StopsValue(*from)) {
            *to++ = static_cast<uint8_t>(*from++);
        }
        out->size = static_cast<int32_t>(to - out->data);
        if (*from == '\0') {
            return true;
        }
        bool ok = StopsValue(*from) ? Put(out, EncodedValueCharacter(*from)) : PutBytes(out, from, 1);
        if (!ok) {
            return false;  // the stream could not grow
        }
        ++from;
    }
}

// Writing a node reads its record, its pair table and its texts, which lie apart on the heap;
// asking for the records of the nodes a little ahead hides most of the waiting for memory.
void PrefetchAhead(const DMArray* array, int32_t i) {
#if defined(__GNUC__)
    const Array<DMNode*>& nodes = array->nodes;
    if (i + 4 < nodes.count) {
        __builtin_prefetch(nodes[i + 4]);
    }
    if (i + 2 < nodes.count) {
        __builtin_prefetch(nodes[i + 2]->values.data);
    }
    if (i + 1 < nodes.count) {
        const Array<DMKeyValue>& pairs = nodes[i + 1]->values;
        for (int32_t k = 0; k < pairs.count; ++k) {
            __builtin_prefetch(pairs[k].key);
            __builtin_prefetch(pairs[k].value);
        }
    }
#else
    (void)array;
    (void)i;
#endif
}

// key="value"
bool PutPair(ByteStream* out, const DMKeyValue& pair) {
    return PutStored(out, pair.key) && Put(out, "=\"") && PutValue(out, pair.value) && Put(out, "\"");
}

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// A key the reader accepts back: a letter, then letters, digits, '_', '-' or '.'.
bool IsValidKey(const char* key) {
    if (key == nullptr || !IsLetter(key[0])) {
        return false;
    }
    for (const char* p = key + 1; *p != '\0'; ++p) {
        if (!IsLetter(*p) && !(*p >= '0' && *p <= '9') && *p != '_' && *p != '-' && *p != '.') {
            return false;
        }
    }
    return true;
}

// The first letter decides most keys at once: saves write every pair of every node.
bool IsTextKey(const char* key) {
    return key != nullptr &&
           ((key[0] == 'D' && strcmp(key, "DATA") == 0) || (key[0] == 'C' && strcmp(key, "CDATA") == 0));
}

// True when the reader, meeting text between a node's opening tag and its "</node>", gives it
// back as one text run equal to it: not blanks alone (which are no text), at most one token
// long, without '<' or '>' or a CDATA opener outside quotes, and every quote closed, by the
// reader's rule, before a character the reader accepts after a closing quote. Scanned as the
// reader scans it; the text's bytes are taken as they are (no escapes or entities in text).
bool ReadsBackAsPlainText(const char* text) {
    static const char kCDataOpener[] = "![CDATA[";
    bool content = false;
    bool quoted = false;
    int32_t length = 0;
    for (const char* p = text; *p != '\0'; ++p, ++length) {
        if (length >= XML_TOKEN_MAX_CHARACTERS) {
            return false;
        }
        char c = *p;
        if (quoted) {
            if (c == '"' && XMLQuoteCloses(text, length)) {
                quoted = false;
                char after = p[1] != '\0' ? p[1] : '<';  // the closing tag's
                if (after != '>' && after != '?' && after != '/' && !IsXMLBlank(after)) {
                    return false;
                }
            }
            continue;
        }
        if (c == '<' || c == '>' || (c == '!' && strncmp(p, kCDataOpener, sizeof kCDataOpener - 1) == 0)) {
            return false;
        }
        quoted = c == '"';
        content = content || !IsXMLBlank(c);
    }
    return content && !quoted;
}

enum TextForm { TEXT_PLAIN, TEXT_CDATA, TEXT_LEFT_OUT };

// How a node's text is written so that it reads back: a DATA text as plain text when it reads
// back as such, else, like a CDATA text, in a CDATA section, which gives back every byte but
// "]]>". A DATA text in CDATA reads back under the key "CDATA"; a text neither form holds is
// left out rather than spoil the rest of the file. Both are reported.
TextForm ChooseTextForm(const char* text, bool cdata, const DMNode* node, const DMArray* array) {
    const char* value = text != nullptr ? text : "";
    if (!cdata && ReadsBackAsPlainText(value)) {
        return TEXT_PLAIN;
    }
    if (strstr(value, "]]>") != nullptr) {
        ZQI_DataManagerPopup(
            "DMDatabase: the text of node '%s' of array '%s' holds ']]>' and cannot be written; "
            "it is left out.",
            ZQI_DataManagerOrNull(node->id), ZQI_DataManagerOrNull(array->id));
        return TEXT_LEFT_OUT;
    }
    if (!cdata) {
        ZQI_DataManagerPopup(
            "DMDatabase: the text of node '%s' of array '%s' would not read back as plain text; "
            "it is written as CDATA.",
            ZQI_DataManagerOrNull(node->id), ZQI_DataManagerOrNull(array->id));
    }
    return TEXT_CDATA;
}

// One node: its pairs as attributes (on one line, or one per line when there are more than
// maxInline), then its DATA or CDATA text as content, or "/>" (a closing tag for a node that
// has neither).
bool PutNode(ByteStream* out, const DMNode* node, const DMArray* array, uint32_t maxInline) {
    int32_t pairCount = node->values.count;
    bool onePerLine = static_cast<uint32_t>(pairCount) > maxInline;
    const DMKeyValue* text = nullptr;  // the last DATA or CDATA pair
    bool cdata = false;
    int32_t attributes = 0;
    bool ok = Put(out, "\t\t<node ");
    for (int32_t i = 0; i < pairCount && ok; ++i) {
        const DMKeyValue& pair = node->values[i];
        if (IsTextKey(pair.key)) {
            text = &pair;
            cdata = cdata || strcmp(pair.key, "CDATA") == 0;
            continue;
        }
        if (!IsValidKey(pair.key)) {
            ZQI_DataManagerPopup(
                "DMDatabase: invalid value key '%s' in node '%s' of array '%s'. Key names need to start with "
                "a-z "
                "or A-Z.",
                ZQI_DataManagerOrNull(pair.key), ZQI_DataManagerOrNull(node->id),
                ZQI_DataManagerOrNull(array->id));
        }
        ok = PutPair(out, pair);
        ++attributes;
        if (!onePerLine) {
            ok = ok && Put(out, " ");
        } else {
            ok = ok && (i + 1 < pairCount ? Put(out, "\n\t\t ") : Put(out, "\n\t\t"));
        }
    }
    if (!ok) {
        return false;
    }
    TextForm form = text != nullptr ? ChooseTextForm(text->value, cdata, node, array) : TEXT_LEFT_OUT;
    if (form != TEXT_LEFT_OUT) {
        bool inCData = form == TEXT_CDATA;
        ok = Put(out, ">") && (!inCData || Put(out, "<![CDATA[")) && Put(out, text->value) &&
             (!inCData || Put(out, "]]>")) && Put(out, "</node>\n");
    } else if (attributes > 0) {
        ok = Put(out, "/>\n");
    } else {
        // Right after a self-closing node, the reader takes a self-closing node without
        // attributes for that node's closing tag, and the empty node would be lost.
        ok = Put(out, "></node>\n");
    }
    return ok && (!onePerLine || Put(out, "\n"));
}

// One array: its opening tag with the id and attributes, its nodes, its closing tag. An array
// without id is written without the id attribute, so it reads back without one.
bool PutArray(ByteStream* out, const DMArray* array, uint32_t maxInline) {
    bool ok = Put(out, "\n\t<array");
    if (ok && array->id != nullptr) {
        ok = Put(out, " id=\"") && PutValue(out, array->id) && Put(out, "\"");
    }
    for (int32_t i = 0; i < array->attributes.count && ok; ++i) {
        ok = Put(out, " ") && PutPair(out, array->attributes[i]);
    }
    ok = ok && Put(out, ">\n");
    for (int32_t i = 0; i < array->nodes.count && ok; ++i) {
        PrefetchAhead(array, i);
        ok = PutNode(out, array->nodes[i], array, maxInline);
    }
    return ok && Put(out, "\t</array>\n");
}

// The XML text of database in a new stream, after head bytes left for the caller (not set);
// null (reported) when out of memory.
ByteStream* WriteXMLAfter(const DMDatabase& database, int32_t head) {
    ByteStream* out = new (std::nothrow) ByteStream();
    if (out == nullptr) {
        return nullptr;
    }
    out->data = static_cast<uint8_t*>(malloc(static_cast<size_t>(kInitialCapacity + head)));
    out->capacity = out->data != nullptr ? kInitialCapacity + head : 0;
    out->size = out->data != nullptr ? head : 0;
    bool ok = out->size == head && Put(out, "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n") &&
              Put(out, "<root>\n");
    for (int32_t i = 0; i < database.arrays.count && ok; ++i) {
        ok = PutArray(out, database.arrays[i], database.maxInlineValues);
    }
    ok = ok && Put(out, "</root>\n");
    if (!ok) {
        ZQI_DataManagerPopup("DMDatabase::WriteXML: out of memory while writing '%s'.",
                             ZQI_DataManagerOrNull(database.name));
        delete out;
        return nullptr;
    }
    return out;
}

}  // namespace

ByteStream* DMDatabase::WriteXML() const {
    return WriteXMLAfter(*this, 0);
}

namespace {

void ReportUnopenable(const char* fileName) {
    if (strncmp(fileName, "res://", 6) == 0 || strncmp(fileName, "user://", 7) == 0) {
        ZQI_DataManagerPopup("Unable to open file '%s' for writing.", fileName);
    } else {
        ZQI_DataManagerPopup(
            "Unable to open file '%s' for writing. The filename needs to be absolute file system target "
            "such as "
            "res://data/file.xml.",
            fileName);
    }
}

// The bytes to store in one stream: the plain text, or the scrambled image, made in place behind
// room left for its header. Null (reported) when out of memory.
ByteStream* FileBytes(const DMDatabase& database, bool scrambled) {
    ByteStream* bytes = WriteXMLAfter(database, scrambled ? SCRAMBLED_HEADER_SIZE : 0);
    if (bytes != nullptr && scrambled) {
        ZQI_ScrambleDatabaseImageInPlace(bytes->data, bytes->size - SCRAMBLED_HEADER_SIZE);
    }
    return bytes;
}

}  // namespace

namespace {

// Opens the file ("wb", or for rewriting), makes the file image and writes it. A file that
// cannot be opened is reported alone, before the text is made (and before any key of it is
// reported). Both ways of saving report under SaveFile's name: for the user they are one save.
bool SaveImage(const DMDatabase& database, const char* fileName, bool scrambled, bool rewrite) {
    if (fileName == nullptr) {
        ZQI_DataManagerPopup("DMDatabase::SaveFile: no file name given.");
        return false;
    }
    zq_file_t* file = rewrite ? ZQI_DataManagerOpenForRewrite(fileName) : ZQI_DataManagerCreateFile(fileName);
    if (file == nullptr) {
        ReportUnopenable(fileName);
        return false;
    }
    ByteStream* bytes = FileBytes(database, scrambled);
    if (bytes == nullptr) {
        ZQI_DataManagerWriteAndClose(file, nullptr, 0);
        return false;
    }
    bool written = ZQI_DataManagerWriteAndClose(file, bytes->data, bytes->size);
    delete bytes;
    if (!written) {
        // A short write (or old bytes left behind a rewrite) would leave a spoilt database
        // behind while the caller believes it saved.
        ZQI_DataManagerPopup("DMDatabase::SaveFile: could not write all of '%s'.", fileName);
        return false;
    }
    return true;
}

}  // namespace

bool DMDatabase::SaveFile(const char* fileName, bool scrambled) const {
    return SaveImage(*this, fileName, scrambled, false);
}

bool DMDatabase::RewriteFile(const char* fileName, bool scrambled) const {
    return SaveImage(*this, fileName, scrambled, true);
}
