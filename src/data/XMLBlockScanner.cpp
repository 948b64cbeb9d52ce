// XMLBlockReader's token scanner: turns the document into raw tokens (a tag, a text run or a
// CDATA text), skipping comments and whitespace between elements. Tokens are built in the
// reader's token buffer; nothing here knows elements or attributes.
//
// Most blocks of a database are plain: a tag of name="value" attributes, or a line of text. The
// direct reader takes those straight from the document into a block in one pass, and declines
// everything else (comments, CDATA, backslashes, NUL bytes, blanks around '=', anything the
// scanner would report or cut at the token limit), which then goes through the general scanner
// and ParseTag. Declining must leave the reader untouched, so nothing is written before a tag is
// known to be plain.
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "data/XMLBlockReader.h"
#include "data/XMLBlockReader_local.h"

namespace {

const char kCDataStart[] = "![CDATA[";
const int32_t kCDataStartLength = 8;

// Characters of a tag that no scanning rule looks at: stored as they come. The others are
// blanks, '<', '>', '=', the quote, '!' (CDATA) and '-' (comments).
struct PlainTagCharacters {
    bool plain[256];
    constexpr PlainTagCharacters() : plain() {
        for (int c = 0; c < 256; ++c) {
            plain[c] = c != ' ' && c != '\t' && c != '\n' && c != '\r' && c != '<' && c != '>' && c != '=' &&
                       c != '"' && c != '!' && c != '-';
        }
    }
};
constexpr PlainTagCharacters kPlainTagCharacters;

inline bool IsPlainTagCharacter(char c) {
    return kPlainTagCharacters.plain[static_cast<unsigned char>(c)];
}

// Character classes of the direct reader. A NUL is in none of them, so every loop stops at the
// NUL that ends the document.
enum : uint8_t {
    kBlankClass = 1,      // space, tab, LF, CR
    kNameClass = 2,       // element and attribute name characters: letters, digits, - . : _
    kNameStartClass = 4,  // first character of an attribute name: as above without digits
    kValueClass = 8,      // inside quotes, all but the quote, the backslash and '&'
    kTextClass = 16       // in a text run, all but '<', '>', the quote and '!'
};

struct DirectCharacterClasses {
    uint8_t bits[256];
    constexpr DirectCharacterClasses() : bits() {
        for (int c = 1; c < 256; ++c) {
            bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
            bool digit = c >= '0' && c <= '9';
            bool punctuation = c == '-' || c == '.' || c == ':' || c == '_';
            bool blank = c == ' ' || c == '\t' || c == '\n' || c == '\r';
            uint8_t b = 0;
            b |= blank ? kBlankClass : 0;
            b |= (letter || digit || punctuation) ? kNameClass : 0;
            b |= (letter || punctuation) ? kNameStartClass : 0;
            b |= (c != '"' && c != '\\' && c != '&') ? kValueClass : 0;
            b |= (c != '<' && c != '>' && c != '"' && c != '!') ? kTextClass : 0;
            bits[c] = b;
        }
    }
};
constexpr DirectCharacterClasses kDirectClasses;

inline bool IsIn(char c, uint8_t characterClass) {
    return (kDirectClasses.bits[static_cast<unsigned char>(c)] & characterClass) != 0;
}

// The first character from p on that ends a plain run of a quoted value: a quote, a backslash,
// '&' or a NUL. end is the NUL that ends the document; no read goes past it. Values make up most
// of a database, so where the processor has them, 16 characters are tested at once.
inline const char* SkipValueCharacters(const char* p, const char* end) {
#if defined(__SSE2__)
    const __m128i quote = _mm_set1_epi8('"');
    const __m128i backslash = _mm_set1_epi8('\\');
    const __m128i ampersand = _mm_set1_epi8('&');
    const __m128i nul = _mm_setzero_si128();
    while (end - p >= 15) {  // p[0 .. 15] lie within the document and its NUL
        __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        __m128i stops =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(chunk, quote), _mm_cmpeq_epi8(chunk, backslash)),
                         _mm_or_si128(_mm_cmpeq_epi8(chunk, ampersand), _mm_cmpeq_epi8(chunk, nul)));
        int mask = _mm_movemask_epi8(stops);
        if (mask != 0) {
            return p + __builtin_ctz(static_cast<unsigned>(mask));
        }
        p += 16;
    }
#else
    (void)end;
#endif
    while (IsIn(*p, kValueClass)) {
        ++p;
    }
    return p;
}

}  // namespace

// A CDATA section starting at the '!' at index at: its text (up to "]]>") is the token, left in
// the document with a NUL written over the first ']'.
bool XMLBlockReader::ScanCData(int64_t at) {
    int64_t end = Find(at + kCDataStartLength, documentSize_, "]]>");
    if (end < 0) {
        position_ = at;
        ReportError("'![CDATA[' does not end with ']]>' pattern.", '!');
        return false;
    }
    document_[end] = '\0';
    cdata_ = document_ + at + kCDataStartLength;
    position_ = end + 3;
    return true;
}

// Called with the token ending in "<!--" and position_ on the character after it: skips the
// comment up to and behind "-->" and removes "<!--" from the token.
//
// The comment is read as if character by character: whichever comes first, "-->" or "<!-",
// decides, and only a comment that meets neither runs to the end of the document. So an
// unended comment holding "<!-" is a nested comment, as is "<!-->" inside one.
bool XMLBlockReader::SkipComment() {
    int64_t end = Find(position_, documentSize_, "-->");
    int64_t nestedLimit = end >= 0 ? end + 2 : documentSize_;  // "<!-" starting before end
    int64_t nested = Find(position_, nestedLimit, "<!-");
    if (nested >= 0) {
        position_ = nested;
        ReportError("New comment block start within a comment block.", '<');
        return false;
    }
    if (end < 0) {
        ReportError("Comment block not ended properly.", document_[position_]);
        return false;
    }
    tokenLength_ -= 4;
    position_ = end + 3;
    return true;
}

// Stores one character of a quoted run. A full token drops characters inside a tag; a text run
// that does not fit is an error.
bool XMLBlockReader::StoreQuoted(char c, bool inTag) {
    if (tokenLength_ < XML_TOKEN_MAX_CHARACTERS) {
        StoreCharacter(c);
        return true;
    }
    if (inTag) {
        return true;
    }
    ReportError("buffer overrun", c);
    return false;
}

// Called behind an opening quote: stores the quoted run up to and with its closing quote (one
// not escaped by a single backslash), which must be followed by '>', '?', '/' or a blank.
// Nothing inside quotes is special. A document that ends inside the quotes leaves position_ at
// the end.
bool XMLBlockReader::ScanQuoted(bool inTag) {
    const char* end = document_ + documentSize_;
    const char* p = document_ + position_;
    for (;;) {
        // Values are short: a plain loop beats a library call per run. The document ends with a
        // NUL, so only a NUL needs the bounds test. Locals, because stores through a char pointer
        // would otherwise force the members to be reloaded for every character.
        char* token = token_;
        int32_t length = tokenLength_;
        char c = *p;
        while (c != '"' && c != '\0') {
            if (length < XML_TOKEN_MAX_CHARACTERS) {
                token[length++] = c;
            } else if (!inTag) {
                tokenLength_ = length;
                position_ = p - document_;
                ReportError("buffer overrun", c);
                return false;
            }
            c = *++p;
        }
        tokenLength_ = length;
        position_ = p - document_;
        if (p >= end) {
            return true;
        }
        if (c == '\0') {  // a NUL byte inside the document is kept like any other
            if (!StoreQuoted(c, inTag)) {
                return false;
            }
            ++p;
            continue;
        }
        bool closes = XMLQuoteCloses(token_, tokenLength_);
        if (!StoreQuoted('"', inTag)) {
            return false;
        }
        ++p;
        if (closes) {
            char after = *p;  // the document ends with a NUL
            position_ = p - document_;
            if (after != '>' && after != '?' && after != '/' && !IsXMLBlank(after)) {
                ReportError("Unexpected character after value definition.", after);
                return false;
            }
            return true;
        }
    }
}

// Inside a tag, for the character c at position_: collapses blanks, drops a blank before '=',
// refuses '<' or '>' right after '<', and ends the token at '>' (turning " />" into "/>").
// Returns TOKEN_TAG when the token is complete, TOKEN_NONE on an error, TOKEN_TEXT to go on.
XMLBlockReader::TokenKind XMLBlockReader::ScanTagCharacter(char c) {
    if (c == '\t' || c == '\n' || c == '\r') {
        c = ' ';
    }
    char last = LastStored();
    if (c == ' ') {
        if (last != ' ' && last != '<' && last != '=' && tokenLength_ < XML_TOKEN_MAX_CHARACTERS) {
            StoreCharacter(c);
        }
        ++position_;
        return TOKEN_TEXT;
    }
    if (last == '<' && c == '<') {
        ReportError("not expecting another '<'", c);
        return TOKEN_NONE;
    }
    if (last == '<' && c == '>') {
        ReportError("not expecting '<' yet", c);
        return TOKEN_NONE;
    }
    ++position_;
    if (c == '>') {
        if (last == '/' && tokenLength_ >= 2 && token_[tokenLength_ - 2] == ' ') {
            token_[tokenLength_ - 2] = '/';
            tokenLength_ -= 1;
            StoreCharacter('>');
        } else if (last == ' ') {
            token_[tokenLength_ - 1] = '>';
        } else {
            StoreCharacter('>');
        }
        token_[tokenLength_] = '\0';
        return TOKEN_TAG;
    }
    if (c == '=' && last == ' ') {
        --tokenLength_;
    }
    if (tokenLength_ < XML_TOKEN_MAX_CHARACTERS) {
        StoreCharacter(c);
    }
    return TOKEN_TEXT;
}

XMLBlockReader::TokenKind XMLBlockReader::ScanTag() {
    tokenLength_ = 0;
    bool inTag = false;
    bool textHasContent = false;  // the text run holds more than whitespace
    while (position_ < documentSize_) {
        char c = document_[position_];
        if (c == '!' && documentSize_ - position_ >= kCDataStartLength &&
            memcmp(document_ + position_, kCDataStart, kCDataStartLength) == 0) {
            return ScanCData(position_) ? TOKEN_CDATA : TOKEN_NONE;
        }
        if (inTag) {
            if (LastStored() == '-' && tokenLength_ >= 4 &&
                memcmp(token_ + tokenLength_ - 4, "<!--", 4) == 0) {
                if (!SkipComment()) {
                    return TOKEN_NONE;
                }
                // A comment that opened the tag leaves no tag behind: scanning goes on as
                // between elements.
                inTag = tokenLength_ > 0;
                continue;
            }
            if (IsPlainTagCharacter(c)) {
                // Names and the like: the whole run at once, dropping what does not fit.
                const char* p = document_ + position_;
                const char* end = document_ + documentSize_;
                char* token = token_;
                int32_t length = tokenLength_;
                do {
                    if (length < XML_TOKEN_MAX_CHARACTERS) {
                        token[length++] = *p;
                    }
                    ++p;
                } while (p < end && IsPlainTagCharacter(*p));
                tokenLength_ = length;
                position_ = p - document_;
                continue;
            }
            if (c == '"') {
                ++position_;
                if (!StoreQuoted(c, true) || !ScanQuoted(true)) {
                    return TOKEN_NONE;
                }
                continue;
            }
            TokenKind kind = ScanTagCharacter(c);
            if (kind != TOKEN_TEXT) {
                return kind;
            }
            continue;
        }
        // Between elements.
        if (c == '<') {
            if (textHasContent) {
                token_[tokenLength_] = '\0';
                return TOKEN_TEXT;  // the '<' starts the next token
            }
            tokenLength_ = 0;  // whitespace between elements is never a block
            StoreCharacter('<');
            inTag = true;
            ++position_;
            continue;
        }
        if (c == '>') {
            ReportError("not expecting '>'", c);
            return TOKEN_NONE;
        }
        if (tokenLength_ >= XML_TOKEN_MAX_CHARACTERS) {
            ReportError("buffer overrun", c);
            return TOKEN_NONE;
        }
        StoreCharacter(c);
        ++position_;
        if (c == '"') {
            textHasContent = true;
            if (!ScanQuoted(false)) {
                return TOKEN_NONE;
            }
        } else if (!IsXMLBlank(c)) {
            textHasContent = true;
        }
    }
    return TOKEN_NONE;  // whatever was collected at the end of the document is dropped
}

bool XMLBlockReader::ReadDirectBlock() {
    const char* start = document_ + position_;
    const char* p = start;
    while (IsIn(*p, kBlankClass)) {
        ++p;
    }
    if (p - start >= XML_TOKEN_MAX_CHARACTERS) {
        return false;  // the scanner reports the overrun
    }
    if (*p == '<') {
        return ReadDirectTag(p);
    }
    return ReadDirectText(start, p);
}

// The scanner's test for a CDATA section at p.
bool XMLBlockReader::StartsCData(const char* p) const {
    return documentSize_ - (p - document_) >= kCDataStartLength &&
           memcmp(p, kCDataStart, kCDataStartLength) == 0;
}

// A text run from start (blanks included) up to the next '<'; text is its first other
// character.
bool XMLBlockReader::ReadDirectText(const char* start, const char* text) {
    const char* p = text;
    for (;;) {
        while (IsIn(*p, kTextClass)) {
            ++p;
        }
        if (*p != '!' || StartsCData(p)) {
            break;
        }
        ++p;  // a '!' that opens no CDATA section is text like any other
    }
    // A quote (a quoted run may hold '<'), '>', CDATA, a NUL or the end: the scanner's rules.
    int64_t length = p - start;
    if (*p != '<' || length >= XML_TOKEN_MAX_CHARACTERS) {
        return false;
    }
    memcpy(token_, start, static_cast<size_t>(length));
    token_[length] = '\0';
    tokenLength_ = static_cast<int32_t>(length);
    position_ = p - document_;
    SetTextBlock("DATA", token_, tokenLength_);
    return true;
}

// A tag from its '<': '<', an optional '/', a name, then blank-separated name="value" pairs and
// '>' or "/>". The pairs are recorded first and cut out of the document (a NUL over the '=' and
// over the closing quote) only once the whole tag is known to be plain. Nothing else of the
// document changes: messages count its LFs and quote it from the character before the position.
bool XMLBlockReader::ReadDirectTag(const char* open) {
    const char* documentEnd = document_ + documentSize_;
    char* p = document_ + (open - document_) + 1;
    bool closing = *p == '/';
    if (closing) {
        ++p;
    }
    char* name = p;
    while (IsIn(*p, kNameClass)) {
        ++p;
    }
    char* nameEnd = p;
    if (nameEnd == name) {
        return false;
    }
    int32_t count = 0;
    bool entities = false;
    const char* firstKey = nullptr;
    const char* lastValueEnd = nullptr;  // the closing quote of the last value
    for (;;) {
        if (IsIn(*p, kBlankClass)) {
            do {
                ++p;
            } while (IsIn(*p, kBlankClass));
        } else if (*p != '>' && *p != '/') {
            return false;  // after the name or a value, a blank must come before a pair
        }
        if (*p == '>') {
            break;
        }
        if (*p == '/') {
            if (p[1] != '>') {
                return false;
            }
            closing = true;
            ++p;
            break;
        }
        if (!IsIn(*p, kNameStartClass) || count >= XML_MAX_ATTRIBUTES - 1) {
            return false;
        }
        char* key = p;
        do {
            ++p;
        } while (IsIn(*p, kNameClass));
        if (p[0] != '=' || p[1] != '"') {
            return false;
        }
        int32_t keyLength = static_cast<int32_t>(p - key);
        char* value = p + 2;
        p = value;
        for (;;) {
            p = const_cast<char*>(SkipValueCharacters(p, documentEnd));
            if (*p != '&') {
                break;
            }
            entities = true;
            ++p;
        }
        if (*p != '"') {
            return false;  // a backslash or a NUL
        }
        block_.attributeNames[count] = key;
        block_.attributeNameLengths[count] = keyLength;
        block_.attributeValues[count] = value;
        block_.attributeValueLengths[count] = static_cast<int32_t>(p - value);
        if (count == 0) {
            firstKey = key;
        }
        lastValueEnd = p;
        ++count;
        ++p;
    }
    // p is on the '>'. A tag the token buffer could not hold whole is cut by the scanner.
    if (p + 1 - open >= XML_TOKEN_MAX_CHARACTERS) {
        return false;
    }
    CutDirectTag(name, nameEnd, count, entities);
    block_.closing = closing;
    block_.attributeCount = count;
    if (count > 0) {
        // From the first name to the NUL over the last closing quote.
        block_.attributeText = firstKey;
        block_.attributeTextLength = static_cast<int32_t>(lastValueEnd + 1 - firstKey);
    } else {
        block_.attributeText = nullptr;
        block_.attributeTextLength = 0;
    }
    position_ = p + 1 - document_;
    return true;
}

// Ends the recorded name and texts of a plain tag with NULs and decodes the entities. The name
// and the values holding entities go to the token buffer (the tag is shorter than it, so they
// fit): the character after the name may be the '>' (quoted by a later message) or an LF
// (counted for the line of a later message), and decoding in place would shift the document's
// bytes, LFs included. Only the '=' and the closing quotes of the document are overwritten.
void XMLBlockReader::CutDirectTag(const char* name, const char* nameEnd, int32_t count, bool entities) {
    char* room = token_;
    size_t nameLength = static_cast<size_t>(nameEnd - name);
    memcpy(room, name, nameLength);
    room[nameLength] = '\0';
    block_.name = room;
    room += nameLength + 1;
    for (int32_t i = 0; i < count; ++i) {
        char* key = const_cast<char*>(block_.attributeNames[i]);
        char* value = const_cast<char*>(block_.attributeValues[i]);
        size_t valueLength = static_cast<size_t>(block_.attributeValueLengths[i]);
        key[block_.attributeNameLengths[i]] = '\0';
        value[valueLength] = '\0';
        if (entities && memchr(value, '&', valueLength) != nullptr) {
            memcpy(room, value, valueLength + 1);
            DecodeEntities(room);
            block_.attributeValues[i] = room;
            block_.attributeValueLengths[i] = static_cast<int32_t>(strlen(room));
            room += valueLength + 1;
        }
    }
}
