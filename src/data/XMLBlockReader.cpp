// XMLBlockReader: opening documents (plain or scrambled), the prolog, positioned error messages,
// and the decoding of scanned tokens into blocks. The token scanner itself is in
// XMLBlockScanner.cpp; the root/array/node shape is checked by DMDatabase::ParseXML.
#include "data/XMLBlockReader.h"

#include <cstdlib>
#include <cstring>

#include "data/DataFileAccess.h"
#include "data/DataManager_local.h"
#include "data/ScrambledDatabase.h"
#include "data/XMLBlockReader_local.h"

namespace {

// Longest encoding text taken from the prolog.
const int64_t kMaxEncodingCharacters = 512;
// Characters of the document quoted in a parse message.
const int kErrorExcerptCharacters = 254;

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsAttributeNameCharacter(char c, bool first) {
    return IsLetter(c) || (!first && IsDigit(c)) || c == '-' || c == '.' || c == ':' || c == '_';
}

// A NUL would end the formatted message early, so it is shown as '?'.
char Printable(char c) {
    return c != '\0' ? c : '?';
}

// Replaces every occurrence of pattern in text (NUL-terminated) by the character c, left to
// right, in place.
void ReplaceEntity(char* text, const char* pattern, char c) {
    size_t patternLength = strlen(pattern);
    char* match = strstr(text, pattern);
    if (match == nullptr) {
        return;
    }
    char* write = match;
    const char* read = match;
    while (*read != '\0') {
        if (strncmp(read, pattern, patternLength) == 0) {
            *write++ = c;
            read += patternLength;
        } else {
            *write++ = *read++;
        }
    }
    *write = '\0';
}

// Decodes the backslash escapes of a value in place: backslash and n, r or t give LF, CR or
// tab; backslash and a quote or a backslash give that character; a backslash before anything
// else is dropped together with that character.
void DecodeEscapes(char* value) {
    char* write = value;
    for (const char* read = value; *read != '\0'; ++read) {
        if (*read != '\\') {
            *write++ = *read;
            continue;
        }
        char next = read[1];
        if (next == '\0') {
            break;
        }
        ++read;
        switch (next) {
            case 'n':
                *write++ = '\n';
                break;
            case 'r':
                *write++ = '\r';
                break;
            case 't':
                *write++ = '\t';
                break;
            case '"':
                *write++ = '"';
                break;
            case '\\':
                *write++ = '\\';
                break;
            default:
                break;
        }
    }
    *write = '\0';
}

}  // namespace

XMLBlockReader::XMLBlockReader()
    : fileName_(nullptr),
      encoding_(nullptr),
      document_(nullptr),
      documentSize_(0),
      position_(0),
      token_(nullptr),
      tokenLength_(0),
      cdata_(nullptr),
      ok_(false),
      directReading_(true),
      ownsDocument_(false) {
    // Room for the longest token, the '>' that ends a tag and the NUL.
    token_ = static_cast<char*>(malloc(XML_TOKEN_MAX_CHARACTERS + 3));
    memset(&block_, 0, sizeof block_);
}

XMLBlockReader::~XMLBlockReader() {
    Release();
    free(token_);
}

void XMLBlockReader::Release() {
    free(fileName_);
    free(encoding_);
    if (ownsDocument_) {
        free(document_);
    }
    ownsDocument_ = false;
    fileName_ = nullptr;
    encoding_ = nullptr;
    document_ = nullptr;
    documentSize_ = 0;
    position_ = 0;
    ok_ = false;
}

bool XMLBlockReader::Open(const char* fileName) {
    Release();
    if (fileName == nullptr || fileName[0] == '\0') {
        return false;
    }
    uint8_t* image = nullptr;
    int32_t size = 0;
    if (!ZQI_DataManagerReadWholeFile(fileName, &image, &size)) {
        return false;
    }
    return OpenImage(fileName, image, size);
}

bool XMLBlockReader::OpenImage(const char* fileName, uint8_t* image, int32_t size) {
    Release();
    if (fileName == nullptr || fileName[0] == '\0' || image == nullptr || token_ == nullptr) {
        free(image);
        return false;
    }
    fileName_ = ZQI_DataManagerCopyText(fileName);
    document_ = reinterpret_cast<char*>(image);
    ownsDocument_ = true;
    documentSize_ = size;
    ok_ = true;
    if (ZQI_IsScrambledDatabaseImage(image, size) && !Unscramble()) {
        Release();
        return false;
    }
    position_ = 0;
    return ReadDocumentStart();
}

bool XMLBlockReader::Unscramble() {
    uint8_t* text = nullptr;
    int32_t length = 0;
    if (!ZQI_UnscrambleDatabaseImage(reinterpret_cast<const uint8_t*>(document_), documentSize_, &text,
                                     &length)) {
        return false;
    }
    free(document_);
    document_ = reinterpret_cast<char*>(text);
    documentSize_ = length;
    return true;
}

bool XMLBlockReader::SetDocument(const char* fileName, const uint8_t* bytes, int32_t size) {
    Release();
    if (bytes == nullptr || size < 0 || token_ == nullptr) {
        return false;
    }
    document_ = static_cast<char*>(malloc(static_cast<size_t>(size) + 1));
    if (document_ == nullptr) {
        return false;
    }
    ownsDocument_ = true;
    memcpy(document_, bytes, static_cast<size_t>(size));
    document_[size] = '\0';
    documentSize_ = size;
    fileName_ = ZQI_DataManagerCopyText(fileName);
    ok_ = true;
    return true;
}

char* XMLBlockReader::OwnedDocument(size_t* bytes) const {
    *bytes = ownsDocument_ && document_ != nullptr ? static_cast<size_t>(documentSize_) + 1 : 0;
    return ownsDocument_ ? document_ : nullptr;
}

int64_t XMLBlockReader::Find(int64_t from, int64_t limit, const char* pattern) const {
    int64_t patternLength = static_cast<int64_t>(strlen(pattern));
    if (limit > documentSize_) {
        limit = documentSize_;
    }
    while (from >= 0 && from + patternLength <= limit) {
        const void* hit = memchr(document_ + from, pattern[0], static_cast<size_t>(limit - from));
        if (hit == nullptr) {
            return -1;
        }
        int64_t at = static_cast<const char*>(hit) - document_;
        if (at + patternLength > limit) {
            return -1;
        }
        if (memcmp(document_ + at, pattern, static_cast<size_t>(patternLength)) == 0) {
            return at;
        }
        from = at + 1;
    }
    return -1;
}

bool XMLBlockReader::ReadDocumentStart() {
    if (document_ == nullptr) {
        return false;
    }
    int64_t p = position_;
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(document_);
    if (documentSize_ - p >= 3 && bytes[p] == 0xEF && bytes[p + 1] == 0xBB && bytes[p + 2] == 0xBF) {
        p += 3;
    }
    while (p < documentSize_ && IsXMLBlank(document_[p])) {
        ++p;
    }
    bool report = ZQI_DataManagerCanReportParseErrors();
    if (p < documentSize_ && document_[p] != '<') {
        if (report) {
            ZQI_DataManagerPopup(
                "First non-whitespace char in XML document needs to be '<'. First char in '%s' is "
                "#%d '%c'.",
                FileName(), bytes[p], Printable(document_[p]));
        }
        return false;
    }
    int64_t prologEnd = p < documentSize_ ? Find(p + 2, documentSize_, "?>") : -1;
    if (prologEnd < 0) {
        if (report) {
            ZQI_DataManagerPopup(
                "XML document needs to start with line like <?xml versions=... ?>. File '%s' doesn't.",
                FileName());
        }
        return false;
    }
    ReadEncoding(p, prologEnd);
    position_ = prologEnd + 2;
    return true;
}

// The encoding is the text after the prolog's first "encoding" and its '=', up to the end of
// the prolog (at most 512 characters), without whitespace and without surrounding quotes.
void XMLBlockReader::ReadEncoding(int64_t prologStart, int64_t prologEnd) {
    int64_t keyword = Find(prologStart, prologEnd, "encoding");
    if (keyword < 0) {
        return;
    }
    int64_t equals = keyword + 8;
    while (equals < prologEnd && document_[equals] != '=') {
        ++equals;
    }
    if (equals >= prologEnd) {
        return;
    }
    char text[kMaxEncodingCharacters + 1];
    int32_t length = 0;
    for (int64_t p = equals + 1; p < prologEnd && p <= equals + kMaxEncodingCharacters; ++p) {
        if (!IsXMLBlank(document_[p])) {
            text[length++] = document_[p];
        }
    }
    text[length] = '\0';
    int32_t start = 0;
    while (start < length && text[start] == '"') {
        ++start;
    }
    while (length > start && text[length - 1] == '"') {
        text[--length] = '\0';
    }
    if (length > start) {
        free(encoding_);
        encoding_ = ZQI_DataManagerCopyText(text + start);
    }
}

void XMLBlockReader::ReportError(const char* reason, char offending) {
    if (ZQI_DataManagerCanReportParseErrors()) {
        int64_t at = position_ < documentSize_ ? position_ : documentSize_;
        int32_t line = 1;
        for (const char* p = document_; p != nullptr && p < document_ + at;) {
            p = static_cast<const char*>(memchr(p, '\n', static_cast<size_t>(document_ + at - p)));
            if (p != nullptr) {
                ++line;
                ++p;
            }
        }
        int64_t excerptStart = at > 0 ? at - 1 : 0;
        int64_t excerptLength = documentSize_ - excerptStart;
        if (excerptLength > kErrorExcerptCharacters) {
            excerptLength = kErrorExcerptCharacters;
        }
        ZQI_DataManagerPopup(
            "Parsing error (%s) around line %d in XML '%s'. Unexpected character '%c' (%x) at:\n'%.*s'",
            reason, line, FileName(), Printable(offending), static_cast<unsigned char>(offending),
            static_cast<int>(excerptLength), document_ != nullptr ? document_ + excerptStart : "");
    }
    position_ = documentSize_;
    ok_ = false;
}

const XMLBlock* XMLBlockReader::ReadBlock() {
    if (!ok_ || position_ >= documentSize_) {
        return nullptr;
    }
    if (directReading_ && ReadDirectBlock()) {
        return &block_;
    }
    TokenKind kind = ScanTag();
    if (kind == TOKEN_NONE) {
        return nullptr;
    }
    if (kind == TOKEN_CDATA) {
        SetTextBlock("CDATA", cdata_, static_cast<int32_t>(strlen(cdata_)));
        return &block_;
    }
    if (kind == TOKEN_TEXT || token_[1] == '!') {
        // strlen, not tokenLength_: a NUL byte of the document ends the text like any C string.
        SetTextBlock("DATA", token_, static_cast<int32_t>(strlen(token_)));
        return &block_;
    }
    block_.closing = false;
    return ParseTag() ? &block_ : nullptr;
}

void XMLBlockReader::SetTextBlock(const char* key, const char* text, int32_t length) {
    block_.attributeText = nullptr;
    block_.attributeTextLength = 0;
    block_.name = nullptr;
    block_.closing = false;
    block_.attributeCount = 1;
    block_.attributeNames[0] = key;
    block_.attributeNameLengths[0] = static_cast<int32_t>(strlen(key));
    block_.attributeValues[0] = text;
    block_.attributeValueLengths[0] = length;
}

// A tag token: '<', an optional '/', the element name up to a space or '>', then attributes.
bool XMLBlockReader::ParseTag() {
    block_.attributeCount = 0;
    block_.attributeText = nullptr;  // texts are copied one by one
    block_.attributeTextLength = 0;
    char* name = token_ + 1;
    if (*name == '/') {
        block_.closing = true;
        ++name;
    }
    char* end = name;
    while (*end != '\0' && *end != ' ' && *end != '>') {
        ++end;
    }
    char terminator = *end;
    if (terminator == '>' && end > name && end[-1] == '/') {
        block_.closing = true;
        end[-1] = '\0';
    }
    *end = '\0';
    block_.name = name;
    if (terminator != ' ') {
        return true;
    }
    return ParseAttributes(end + 1);
}

// Attributes name="value" after the element name, up to "/>", '>' or the end of the token.
bool XMLBlockReader::ParseAttributes(char* cursor) {
    for (;;) {
        while (*cursor == ' ') {
            ++cursor;
        }
        if (*cursor == '\0' || *cursor == '>') {
            return true;
        }
        if (cursor[0] == '/' && cursor[1] == '>') {
            block_.closing = true;
            return true;
        }
        // The name runs to the next '=' and holds only name characters.
        char* equals = cursor;
        while (IsAttributeNameCharacter(*equals, equals == cursor)) {
            ++equals;
        }
        if (*equals != '=' || equals == cursor) {
            ReportError("Reading next block (case #1)", *cursor);
            return false;
        }
        if (equals[1] != '"') {
            if (ZQI_DataManagerCanReportParseErrors()) {
                ZQI_DataManagerPopup(
                    "Expecting \" character to start value definition (all values must be defined "
                    "name=\"value\" with quotes).");
            }
            ReportError("Reading next block (case #2)", equals[1]);
            return false;
        }
        char* value = equals + 2;
        char* tokenEnd = token_ + tokenLength_;
        char* close = value;
        bool escaped = false;  // holds a backslash escape or an entity to decode
        for (; close < tokenEnd; ++close) {
            char c = *close;
            if (c == '"' && XMLQuoteCloses(value - 1, static_cast<int32_t>(close - value) + 1)) {
                break;
            }
            escaped = escaped || c == '\\' || c == '&';
        }
        if (close >= tokenEnd) {
            // Only a tag cut at the token limit ends inside a value.
            ReportError("Reading next block (case #3)", *value);
            return false;
        }
        *equals = '\0';
        *close = '\0';
        if (close[1] == '/') {
            block_.closing = true;
        }
        if (escaped) {
            DecodeEscapes(value);
            DecodeEntities(value);
        }
        block_.attributeNames[block_.attributeCount] = cursor;
        block_.attributeValues[block_.attributeCount] = value;
        block_.attributeNameLengths[block_.attributeCount] = static_cast<int32_t>(equals - cursor);
        block_.attributeValueLengths[block_.attributeCount] = static_cast<int32_t>(strlen(value));
        if (++block_.attributeCount >= XML_MAX_ATTRIBUTES) {
            if (ZQI_DataManagerCanReportParseErrors()) {
                ZQI_DataManagerPopup("Too many blocks (%d limit) in object '%s' in xml '%s'.",
                                     XML_MAX_ATTRIBUTES, block_.name, FileName());
            }
            position_ = documentSize_;
            ok_ = false;
            return false;
        }
        cursor = close + 1;
    }
}

// "&quot;" first, then "&amp;", so "&amp;quot;" reads "&quot;".
void XMLBlockReader::DecodeEntities(char* value) {
    ReplaceEntity(value, "&quot;", '"');
    ReplaceEntity(value, "&amp;", '&');
}
