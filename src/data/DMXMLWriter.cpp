// Writing a database as XML text in the fixed layout the reader expects, and saving it to a
// file, plain or scrambled. Every value is written so that the reader gives it back byte for
// byte (a player's name may hold quotes, a path backslashes); a node's text is written as plain
// text where the reader takes it back as such, else in a CDATA section; every other pair, ids and
// texts beside the node's text included, as an attribute of its own key.
//
// What the reader cannot take back is never written: a tag longer than the reader's token, an
// element of more attributes than it holds, or a key it does not read as a name. Such a database
// is refused whole, before its file is opened, so a save either writes what the next load gives
// back or leaves the file as it was.
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "data/DMRecords.h"
#include "data/DataFileAccess.h"
#include "data/DataManager_local.h"
#include "data/ScrambledDatabase.h"
#include "data/XMLBlockReader.h"
#include "data/XMLBlockReader_local.h"
#include "foundation/ByteStream.h"
#include "foundation/String.h"

namespace {

// A save writes every pair of the database: the pair's code goes into its node's loop, where a
// call of its own would save and restore half a dozen registers for every pair.
#if defined(__GNUC__)
#define DM_PAIR_INLINE inline __attribute__((always_inline))
#else
#define DM_PAIR_INLINE inline
#endif

// First capacity of the writer's stream; it grows by the stream's own rule.
const int32_t kInitialCapacity = 16384;
// The longest tag the reader takes whole: its token, from the '<' up to the '>' (not counted),
// each run of blanks outside quotes stored as one space.
const int64_t kLongestTag = XML_TOKEN_MAX_CHARACTERS;
// The most attributes the reader takes on one element (reaching XML_MAX_ATTRIBUTES is an error).
const int32_t kMostAttributes = XML_MAX_ATTRIBUTES - 1;
// An id or key in a refusal is shown up to this many characters: it may be the long text itself.
const int kShownCharacters = 64;

// How the reader takes a key back, by its characters: a name starts with a letter, '_', ':', '-'
// or '.', and goes on with those or digits. Keys that do not start with a letter, or that hold a
// ':', are reported (they always were), but they read back.
// KEY_TOO_LONG: longer than any tag, so not checked character by character (it may be gigabytes).
// The two refused forms come first: one test tells them from the written ones.
enum KeyForm { KEY_REFUSED, KEY_TOO_LONG, KEY_REPORTED, KEY_PLAIN };

// A key as last checked at one pair position of a node.
struct CheckedKey {
    const char* text;  // null: none yet
    uint32_t hash;
    KeyForm form;
    size_t length;
};

// Pair positions whose last checked key is kept.
const int32_t kCheckedKeyPositions = 8;

// One writing of a database: the stream, where its messages go, and why it was refused.
struct Writer {
    ByteStream* out;
    const DMDatabase* database;
    // Messages about how the database is written (keys reported, texts in CDATA), raised only
    // once it is known to be written: a save holds them until its file is open.
    Array<String>* notes;
    String refusal;  // what the reader could not take back; empty while everything can be
    // The nodes of an array mostly hold the same keys in the same order: a key equal to the one
    // checked last at its position needs no checking again.
    CheckedKey checked[kCheckedKeyPositions];
};

void Note(Writer& writer, const char* format, ...) ZQ_PRINTF_LIKE(2, 3);
void Note(Writer& writer, const char* format, ...) {
    String text;
    va_list args;
    va_start(args, format);
    text.FormatV(format, args);
    va_end(args);
    writer.notes->Push(text);
}

// Records why the database cannot be written (the first reason only); returns false, so that the
// writing stops.
bool Refuse(Writer& writer, const char* format, ...) ZQ_PRINTF_LIKE(2, 3);
bool Refuse(Writer& writer, const char* format, ...) {
    if (writer.refusal.IsEmpty()) {
        va_list args;
        va_start(args, format);
        writer.refusal.FormatV(format, args);
        va_end(args);
    }
    return false;
}

// A text for a refusal message: "null", the text, or its first characters and "...".
String Shown(const char* text) {
    if (text == nullptr) {
        return String("null");
    }
    size_t length = strlen(text);
    if (length <= static_cast<size_t>(kShownCharacters)) {
        return String(text);
    }
    return String::FromFormat("%.*s... (%llu characters)", kShownCharacters, text,
                              static_cast<unsigned long long>(length));
}

// Appends n bytes. A save writes every text of the database piece by piece, so the bytes are
// copied here while they fit; only growing goes through the stream's own Write, which keeps its
// growth rule and reports its failures. Returns false when the stream cannot grow, also for a
// text longer than any stream holds, whose length Write would get cut to 32 bits (a text of 4 GiB
// and 5 bytes would be written as its first 5).
inline bool PutBytes(ByteStream* out, const char* bytes, size_t n) {
    if (static_cast<int64_t>(out->size) + static_cast<int64_t>(n) <= static_cast<int64_t>(out->capacity)) {
        memcpy(out->data + out->size, bytes, n);
        out->size += static_cast<int32_t>(n);
        return true;
    }
    return n <= static_cast<size_t>(INT32_MAX) && out->Write(bytes, static_cast<int32_t>(n));
}

// Appends text (null counts as ""). Inlined, the length of a literal is known when compiling.
inline bool Put(ByteStream* out, const char* text) {
    return text == nullptr || PutBytes(out, text, strlen(text));
}

// The characters of a value that the reader would not give back as they stand. The reader ends a
// value at a quote, decodes backslash escapes and then "&quot;" and "&amp;"; line breaks would
// read back as they are (files are written and read in binary mode) but are escaped so that each
// value stays on its line, whatever a text editor or a line-ending conversion later does to the
// file.
const char kValueStops[] = "\"&\\\n\r";

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

// Characters a value takes in the file: one, or its escape's.
int64_t EncodedValueLength(const char* text) {
    int64_t length = 0;
    for (const char* p = text; *p != '\0'; ++p) {
        length +=
            strchr(kValueStops, *p) != nullptr ? static_cast<int64_t>(strlen(EncodedValueCharacter(*p))) : 1;
    }
    return length;
}

// Appends a value (null counts as "") so that the reader gives it back byte for byte: the runs
// between the characters to escape are copied whole, each of those characters is written as its
// escape. Other characters, bytes above 127 included, are written as they are.
bool PutEscapedValue(ByteStream* out, const char* text) {
    if (text == nullptr) {
        return true;
    }
    for (;;) {
        size_t run = strcspn(text, kValueStops);
        if (!PutBytes(out, text, run)) {
            return false;  // the stream could not grow
        }
        text += run;
        if (*text == '\0') {
            return true;
        }
        if (!Put(out, EncodedValueCharacter(*text))) {
            return false;
        }
        ++text;
    }
}

enum : uint8_t {
    kKeyCharacter = 1,  // letters, digits, '_', '-', '.'
    kColon = 2,
    kLetter = 4,
    kNameStart = 8  // letters, '_', ':', '-', '.'
};

struct KeyCharacterClasses {
    uint8_t bits[256];
    constexpr KeyCharacterClasses() : bits() {
        for (int c = 1; c < 256; ++c) {
            bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
            bool digit = c >= '0' && c <= '9';
            bool punctuation = c == '_' || c == '-' || c == '.';
            uint8_t b = 0;
            b |= (letter || digit || punctuation) ? kKeyCharacter : 0;
            b |= c == ':' ? kColon : 0;
            b |= letter ? kLetter : 0;
            b |= (letter || punctuation || c == ':') ? kNameStart : 0;
            bits[c] = b;
        }
    }
};
constexpr KeyCharacterClasses kKeyClasses;

// Results of scanning a text's bytes.
enum : int { kHasOther = 1, kHasColon = 2 };

// Values are mostly a few characters long, and a save scans every one of them for the characters
// to escape: their bytes are tested 16 at a time where the processor has it. A text shorter than
// 16 bytes is read as two overlapping pieces (of 8, 4 or single bytes), so no byte outside it is
// read, and a byte read twice changes no test.
#if defined(__SSE2__)
// A vector holding every byte of text[0 .. n), 1 <= n < 16, each one or more times.
inline __m128i LoadShortText(const char* text, size_t n) {
    if (n >= 8) {
        uint64_t first;
        uint64_t last;
        memcpy(&first, text, 8);
        memcpy(&last, text + n - 8, 8);
        return _mm_set_epi64x(static_cast<long long>(last), static_cast<long long>(first));
    }
    if (n >= 4) {
        uint32_t first;
        uint32_t last;
        memcpy(&first, text, 4);
        memcpy(&last, text + n - 4, 4);
        return _mm_set_epi32(static_cast<int>(last), static_cast<int>(first), static_cast<int>(last),
                             static_cast<int>(first));
    }
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(text);
    uint32_t word = bytes[0] | (static_cast<uint32_t>(bytes[n / 2]) << 8) |
                    (static_cast<uint32_t>(bytes[n - 1]) << 16) | (static_cast<uint32_t>(bytes[0]) << 24);
    return _mm_set1_epi32(static_cast<int>(word));
}

// The results of test over vectors that together hold every byte of text[0 .. n), n >= 1.
template <typename Test>
inline int TestText(const char* text, size_t n, Test test) {
    if (n < 16) {
        return test(LoadShortText(text, n));
    }
    int found = 0;
    size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        found |= test(_mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i)));
    }
    if (i < n) {
        found |= test(_mm_loadu_si128(reinterpret_cast<const __m128i*>(text + n - 16)));
    }
    return found;
}

// True when the value holds a character to escape, or is longer than any tag: such a value is
// not scanned here (it may be gigabytes long) but goes the general way, which fails where no
// stream holds it; the tag check refuses it in any case.
inline bool HasValueStop(const char* value, size_t n) {
    if (n > static_cast<size_t>(kLongestTag)) {
        return true;
    }
    return n > 0 &&
           TestText(value, n, [](__m128i v) {
               __m128i stops = _mm_or_si128(
                   _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('"')), _mm_cmpeq_epi8(v, _mm_set1_epi8('&'))),
                   _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\\')),
                                             _mm_cmpeq_epi8(v, _mm_set1_epi8('\n'))),
                                _mm_cmpeq_epi8(v, _mm_set1_epi8('\r'))));
               return _mm_movemask_epi8(stops);
           }) != 0;
}
#else
inline bool HasValueStop(const char* value, size_t n) {
    return n > static_cast<size_t>(kLongestTag) || strcspn(value, kValueStops) < n;
}
#endif

// kHasOther: a byte other than letters, digits, '_', '-', '.' and ':'; kHasColon: a ':'. Keys
// are seldom checked (see CheckKey): a byte at a time.
inline int ScanKeyBytes(const char* key, size_t n) {
    int found = 0;
    for (size_t i = 0; i < n; ++i) {
        uint8_t bits = kKeyClasses.bits[static_cast<unsigned char>(key[i])];
        found |= (bits & (kKeyCharacter | kColon)) == 0 ? kHasOther : 0;
        found |= (bits & kColon) != 0 ? kHasColon : 0;
    }
    return found;
}

// How the reader takes back a key of n characters.
inline KeyForm ClassifyKey(const char* key, size_t n) {
    if (n == 0) {
        return KEY_REFUSED;
    }
    uint8_t first = kKeyClasses.bits[static_cast<unsigned char>(key[0])];
    int found = ScanKeyBytes(key, n);
    if ((first & kNameStart) == 0 || (found & kHasOther) != 0) {
        return KEY_REFUSED;
    }
    return (first & kLetter) != 0 && (found & kHasColon) == 0 ? KEY_PLAIN : KEY_REPORTED;
}

// Copies n bytes to room known to hold them: short texts as two overlapping pieces.
inline void CopyText(uint8_t* to, const char* from, size_t n) {
    if (n >= 16) {
        memcpy(to, from, n);
    } else if (n >= 8) {
        uint64_t first;
        uint64_t last;
        memcpy(&first, from, 8);
        memcpy(&last, from + n - 8, 8);
        memcpy(to, &first, 8);
        memcpy(to + n - 8, &last, 8);
    } else if (n >= 4) {
        uint32_t first;
        uint32_t last;
        memcpy(&first, from, 4);
        memcpy(&last, from + n - 4, 4);
        memcpy(to, &first, 4);
        memcpy(to + n - 4, &last, 4);
    } else if (n > 0) {
        to[0] = static_cast<uint8_t>(from[0]);
        to[n / 2] = static_cast<uint8_t>(from[n / 2]);
        to[n - 1] = static_cast<uint8_t>(from[n - 1]);
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

// The first letter decides most keys at once: saves write every pair of every node.
bool IsTextKey(const char* key) {
    return key != nullptr &&
           ((key[0] == 'D' && strcmp(key, "DATA") == 0) || (key[0] == 'C' && strcmp(key, "CDATA") == 0));
}

bool IsIdKey(const char* key) {
    return key != nullptr && key[0] == 'i' && key[1] == 'd' && key[2] == '\0';
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

enum TextForm { TEXT_PLAIN, TEXT_CDATA, TEXT_ATTRIBUTE };

// How the node's text (its last DATA or CDATA pair) is written: a DATA text as plain text when it
// reads back as such, else in a CDATA section, which gives back every byte but "]]>" (a DATA
// text there reads back under the key "CDATA", which is reported). A text holding "]]>" is
// written as an attribute of its key, like the node's other texts.
TextForm ChooseTextForm(const DMKeyValue& text) {
    const char* value = text.value != nullptr ? text.value : "";
    if (text.key[0] == 'D' && ReadsBackAsPlainText(value)) {
        return TEXT_PLAIN;
    }
    return strstr(value, "]]>") == nullptr ? TEXT_CDATA : TEXT_ATTRIBUTE;
}

// A key the reader would not read back as it is: the save is refused.
#if defined(__GNUC__)
__attribute__((noinline, cold))
#endif
bool RefuseKey(Writer& writer, const char* key, const DMNode* node, const DMArray* array) {
    static const char kRule[] =
        "a key starts with a letter, '_', ':', '-' or '.' and goes on with those or digits";
    if (node != nullptr) {
        return Refuse(writer, "the key '%s' of node '%s' of array '%s' would not read back (%s)",
                      Shown(key).CStr(), Shown(node->id).CStr(), Shown(array->id).CStr(), kRule);
    }
    return Refuse(writer, "the attribute key '%s' of array '%s' would not read back (%s)", Shown(key).CStr(),
                  Shown(array->id).CStr(), kRule);
}

// A key longer than any tag the reader takes: the save is refused before the key is scanned or
// copied (it may be gigabytes long).
#if defined(__GNUC__)
__attribute__((noinline, cold))
#endif
bool RefuseLongKey(Writer& writer, size_t length, const DMNode* node, const DMArray* array) {
    if (node != nullptr) {
        return Refuse(
            writer,
            "node '%s' of array '%s' holds a key of %llu characters, and the reader takes tags of %lld",
            Shown(node->id).CStr(), Shown(array->id).CStr(), static_cast<unsigned long long>(length),
            static_cast<long long>(kLongestTag));
    }
    return Refuse(writer,
                  "array '%s' holds an attribute key of %llu characters, and the reader takes tags of %lld",
                  Shown(array->id).CStr(), static_cast<unsigned long long>(length),
                  static_cast<long long>(kLongestTag));
}

// The key's length and form: as checked last at this pair position when it is the same key, else
// checked now (and kept for the next node).
inline KeyForm CheckKey(Writer& writer, const DMKeyValue& pair, int32_t position, size_t* length) {
    const char* key = pair.key;
    CheckedKey& last = writer.checked[position % kCheckedKeyPositions];
    if (last.text != nullptr && key != nullptr && last.hash == pair.keyHash && strcmp(last.text, key) == 0) {
        *length = last.length;
        return last.form;
    }
    *length = key != nullptr ? strlen(key) : 0;
    if (*length > static_cast<size_t>(kLongestTag)) {
        return KEY_TOO_LONG;
    }
    KeyForm form = ClassifyKey(key, *length);
    if (form != KEY_REFUSED) {
        last.text = key;
        last.hash = pair.keyHash;
        last.form = form;
        last.length = *length;
    }
    return form;
}

// key="value", the pair at position of a node (or of array when node is null), and after it
// separator (none for NUL). False when the key would not read back (the database is then
// refused) or the stream could not grow. *reported: the key reads back but does not start with a
// letter.
DM_PAIR_INLINE bool PutPair(Writer& writer, const DMKeyValue& pair, int32_t position, char separator,
                            const DMNode* node, const DMArray* array, bool* reported) {
    ByteStream* out = writer.out;
    size_t keyLength = 0;
    KeyForm form = CheckKey(writer, pair, position, &keyLength);
    if (form <= KEY_TOO_LONG) {
        return form == KEY_REFUSED ? RefuseKey(writer, pair.key, node, array)
                                   : RefuseLongKey(writer, keyLength, node, array);
    }
    *reported = form == KEY_REPORTED;
    const char* key = pair.key;
    const char* value = pair.value != nullptr ? pair.value : "";
    size_t valueLength = strlen(value);
    bool escaped = HasValueStop(value, valueLength);
    // Most pairs: the whole pair at once where the stream has room, without escapes.
    size_t pairLength = keyLength + valueLength + (separator != '\0' ? 4 : 3);
    if (!escaped && pairLength <= static_cast<size_t>(out->capacity - out->size)) {
        uint8_t* to = out->data + out->size;
        CopyText(to, key, keyLength);
        to += keyLength;
        to[0] = '=';
        to[1] = '"';
        CopyText(to + 2, value, valueLength);
        to += 2 + valueLength;
        to[0] = '"';
        if (separator != '\0') {
            to[1] = static_cast<uint8_t>(separator);
        }
        out->size += static_cast<int32_t>(pairLength);
        return true;
    }
    const char tail[3] = {'"', separator, '\0'};
    return PutBytes(out, key, keyLength) && Put(out, "=\"") &&
           (escaped ? PutEscapedValue(out, value) : PutBytes(out, value, valueLength)) && Put(out, tail);
}

// One node: its pairs as attributes (on one line, or one per line when there are more than
// maxInline), its id as a last "id" attribute when no "id" pair gives it back, then its text as
// content, or "/>" (a closing tag for a node that has neither text nor attributes, or whose tag
// has no room left for the "/").
bool PutNode(Writer& writer, const DMNode* node, const DMArray* array) {
    ByteStream* out = writer.out;
    const int32_t pairCount = node->values.count;
    const DMKeyValue* pairs = node->values.data;
    int32_t text = -1;    // the last DATA or CDATA pair
    int32_t lastId = -1;  // the last "id" pair
    for (int32_t i = 0; i < pairCount; ++i) {
        const char* key = pairs[i].key;
        if (IsTextKey(key)) {
            text = i;
        } else if (IsIdKey(key)) {
            lastId = i;
        }
    }
    TextForm form = text >= 0 ? ChooseTextForm(pairs[text]) : TEXT_ATTRIBUTE;
    if (form == TEXT_ATTRIBUTE) {
        text = -1;
    }
    // The reader makes the value of the last "id" attribute the node's id.
    const char* lastIdValue = lastId >= 0 && pairs[lastId].value != nullptr ? pairs[lastId].value : "";
    const bool writeId = node->id != nullptr && (lastId < 0 || strcmp(lastIdValue, node->id) != 0);
    const int32_t attributes = pairCount - (text >= 0 ? 1 : 0) + (writeId ? 1 : 0);
    if (attributes > kMostAttributes) {
        return Refuse(writer,
                      "node '%s' of array '%s' would be written with %d attributes, and the reader takes %d",
                      Shown(node->id).CStr(), Shown(array->id).CStr(), attributes, kMostAttributes);
    }
    const bool onePerLine = static_cast<uint32_t>(pairCount) > writer.database->maxInlineValues;
    const int32_t listed = pairCount + (writeId ? 1 : 0);  // the separators go by this list
    bool ok = Put(out, "\t\t");
    const int32_t tagStart = out->size;
    int64_t foldedBlanks = 0;  // blanks written that the reader folds away
    ok = ok && Put(out, "<node ");
    for (int32_t i = 0; i < listed && ok; ++i) {
        if (i == text) {
            continue;
        }
        // After each attribute a blank: one per line, the line break and the next line's tabs.
        const char* lineBreak = !onePerLine ? "" : i + 1 < listed ? "\n\t\t " : "\n\t\t";
        if (i < pairCount) {
            bool reported = false;
            if (!PutPair(writer, pairs[i], i, onePerLine ? '\n' : ' ', node, array, &reported)) {
                return false;
            }
            if (reported) {
                Note(writer,
                     "DMDatabase: invalid value key '%s' in node '%s' of array '%s'. Key names need to start "
                     "with "
                     "a-z or A-Z.",
                     pairs[i].key, ZQI_DataManagerOrNull(node->id), ZQI_DataManagerOrNull(array->id));
            }
            ok = !onePerLine || Put(out, lineBreak + 1);
        } else {
            ok = Put(out, "id=\"") && PutEscapedValue(out, node->id) && Put(out, "\"") &&
                 Put(out, onePerLine ? lineBreak : " ");
        }
        if (onePerLine) {
            foldedBlanks += i + 1 < listed ? 3 : 2;
        }
    }
    if (!ok) {
        return false;
    }
    // The reader stores "<node", a blank, and each attribute with the blank after it. Before '>'
    // that last blank may be dropped; before "/>" it stays and the '/' is stored as well.
    const int64_t stored = static_cast<int64_t>(out->size - tagStart) - foldedBlanks;
    if (stored - 1 > kLongestTag) {
        return Refuse(
            writer,
            "node '%s' of array '%s' would be written as a tag of %lld characters, and the reader takes "
            "%lld",
            Shown(node->id).CStr(), Shown(array->id).CStr(), static_cast<long long>(stored - 1),
            static_cast<long long>(kLongestTag));
    }
    if (text >= 0) {
        const DMKeyValue& pair = pairs[text];
        bool inCData = form == TEXT_CDATA;
        ok = Put(out, ">") && (!inCData || Put(out, "<![CDATA[")) && Put(out, pair.value) &&
             (!inCData || Put(out, "]]>")) && Put(out, "</node>\n");
        if (inCData && pair.key[0] == 'D') {
            Note(writer,
                 "DMDatabase: the text of node '%s' of array '%s' would not read back as plain text; it is "
                 "written "
                 "as CDATA.",
                 ZQI_DataManagerOrNull(node->id), ZQI_DataManagerOrNull(array->id));
        }
    } else if (attributes > 0 && stored + 1 <= kLongestTag) {
        ok = Put(out, "/>\n");
    } else {
        // Right after a self-closing node, the reader takes a self-closing node without
        // attributes for that node's closing tag, and the empty node would be lost.
        ok = Put(out, "></node>\n");
    }
    return ok && (!onePerLine || Put(out, "\n"));
}

// True when an attribute before attribute i of array has its key (texts compared: a pushed pair's
// hash may not be its key's). Arrays are few and their attributes short lists.
bool RepeatsAttributeKey(const DMArray* array, int32_t i) {
    for (int32_t j = 0; j < i; ++j) {
        if (strcmp(array->attributes[j].key, array->attributes[i].key) == 0) {
            return true;
        }
    }
    return false;
}

// One array: its opening tag with the id and attributes, its nodes, its closing tag. An array
// without id is written without the id attribute, so it reads back without one. The reader sets
// attributes as DMArray::SetValue does: one named "id" would read back as the array's id, and a
// key held twice (only a push makes either) once, so both are refused.
bool PutArray(Writer& writer, const DMArray* array) {
    ByteStream* out = writer.out;
    const int32_t attributes = array->attributes.count + (array->id != nullptr ? 1 : 0);
    if (attributes > kMostAttributes) {
        return Refuse(writer, "array '%s' would be written with %d attributes, and the reader takes %d",
                      Shown(array->id).CStr(), attributes, kMostAttributes);
    }
    bool ok = Put(out, "\n\t");
    const int32_t tagStart = out->size;
    ok = ok && Put(out, "<array");
    if (ok && array->id != nullptr) {
        ok = Put(out, " id=\"") && PutEscapedValue(out, array->id) && Put(out, "\"");
    }
    for (int32_t i = 0; i < array->attributes.count && ok; ++i) {
        const DMKeyValue& pair = array->attributes[i];
        if (IsIdKey(pair.key)) {
            return Refuse(writer, "array '%s' holds an attribute named 'id', which would read back as its id",
                          Shown(array->id).CStr());
        }
        bool reported = false;
        ok = Put(out, " ") && PutPair(writer, pair, i, '\0', nullptr, array, &reported);
        if (ok && RepeatsAttributeKey(array, i)) {  // the keys so far passed PutPair: none is null
            return Refuse(writer, "array '%s' holds the attribute key '%s' twice, which would read back once",
                          Shown(array->id).CStr(), Shown(pair.key).CStr());
        }
    }
    if (!ok) {
        return false;
    }
    // The reader stores the tag as written, up to the '>'.
    const int64_t stored = out->size - tagStart;
    if (stored > kLongestTag) {
        return Refuse(
            writer, "array '%s' would be written as a tag of %lld characters, and the reader takes %lld",
            Shown(array->id).CStr(), static_cast<long long>(stored), static_cast<long long>(kLongestTag));
    }
    ok = Put(out, ">\n");
    for (int32_t i = 0; i < array->nodes.count && ok; ++i) {
        PrefetchAhead(array, i);
        ok = PutNode(writer, array->nodes[i], array);
    }
    return ok && Put(out, "\t</array>\n");
}

// The XML text of database in a new stream, after head bytes left for the caller (not set), and
// the messages about how it is written in *notes. Null when the reader could not take the
// database back (*refusal says why) or memory runs out (*refusal empty).
ByteStream* WriteXMLAfter(const DMDatabase& database, int32_t head, Array<String>* notes, String* refusal) {
    ByteStream* out = new (std::nothrow) ByteStream();
    if (out == nullptr) {
        return nullptr;
    }
    out->data = static_cast<uint8_t*>(malloc(static_cast<size_t>(kInitialCapacity + head)));
    out->capacity = out->data != nullptr ? kInitialCapacity + head : 0;
    out->size = out->data != nullptr ? head : 0;
    Writer writer = {out, &database, notes, String(), {}};
    bool ok = out->size == head && Put(out, "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n") &&
              Put(out, "<root>\n");
    for (int32_t i = 0; i < database.arrays.count && ok; ++i) {
        ok = PutArray(writer, database.arrays[i]);
    }
    ok = ok && Put(out, "</root>\n");
    if (!ok) {
        *refusal = writer.refusal;
        delete out;
        return nullptr;
    }
    return out;
}

void RaiseNotes(const Array<String>& notes) {
    for (int32_t i = 0; i < notes.count; ++i) {
        ZQI_DataManagerPopup("%s", notes[i].CStr());
    }
}

}  // namespace

ByteStream* DMDatabase::WriteXML() const {
    Array<String> notes;
    String refusal;
    ByteStream* text = WriteXMLAfter(*this, 0, &notes, &refusal);
    if (text == nullptr) {
        if (!refusal.IsEmpty()) {
            ZQI_DataManagerPopup("DMDatabase::WriteXML: '%s' is not written: %s.",
                                 ZQI_DataManagerOrNull(name), refusal.CStr());
        } else {
            ZQI_DataManagerPopup("DMDatabase::WriteXML: out of memory while writing '%s'.",
                                 ZQI_DataManagerOrNull(name));
        }
        return nullptr;
    }
    RaiseNotes(notes);
    return text;
}

bool DMDatabase::CanSaveArrayId(const char* id) {
    // <array id="...">: the tag stores "<array id=\"", the id as written and the closing quote.
    return id == nullptr || 12 + EncodedValueLength(id) <= kLongestTag;
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
// room left for its header. Null (reported) when the database would not read back or memory
// runs out.
ByteStream* FileBytes(const DMDatabase& database, const char* fileName, bool scrambled,
                      Array<String>* notes) {
    String refusal;
    ByteStream* bytes = WriteXMLAfter(database, scrambled ? SCRAMBLED_HEADER_SIZE : 0, notes, &refusal);
    if (bytes == nullptr) {
        if (!refusal.IsEmpty()) {
            ZQI_DataManagerPopup("DMDatabase::SaveFile: '%s' is not saved, and the file stays as it was: %s.",
                                 fileName, refusal.CStr());
        } else {
            ZQI_DataManagerPopup("DMDatabase::WriteXML: out of memory while writing '%s'.",
                                 ZQI_DataManagerOrNull(database.name));
        }
        return nullptr;
    }
    if (scrambled) {
        ZQI_ScrambleDatabaseImageInPlace(bytes->data, bytes->size - SCRAMBLED_HEADER_SIZE);
    }
    return bytes;
}

// Makes the file image, then opens the file ("wb", or for rewriting) and writes it. A database
// the reader would not take back is refused before the file is opened, so the file stays as it
// was; the messages about how the text is written come only once the file is open, so a file that
// cannot be opened is reported alone. Both ways of saving report under SaveFile's name: for the
// user they are one save.
bool SaveImage(const DMDatabase& database, const char* fileName, bool scrambled, bool rewrite) {
    if (fileName == nullptr) {
        ZQI_DataManagerPopup("DMDatabase::SaveFile: no file name given.");
        return false;
    }
    Array<String> notes;
    ByteStream* bytes = FileBytes(database, fileName, scrambled, &notes);
    if (bytes == nullptr) {
        return false;
    }
    zq_file_t* file = rewrite ? ZQI_DataManagerOpenForRewrite(fileName) : ZQI_DataManagerCreateFile(fileName);
    if (file == nullptr) {
        ReportUnopenable(fileName);
        delete bytes;
        return false;
    }
    RaiseNotes(notes);
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
