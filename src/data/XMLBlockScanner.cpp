// XMLBlockReader's token scanner: turns the document into raw tokens (a tag, a text run or a
// CDATA text), skipping comments and whitespace between elements. Tokens are built in the
// reader's token buffer; nothing here knows elements or attributes.
#include <cstring>

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
bool XMLBlockReader::SkipComment() {
    int64_t end = Find(position_, documentSize_, "-->");
    if (end < 0) {
        ReportError("Comment block not ended properly.", document_[position_]);
        return false;
    }
    int64_t nested = Find(position_, end, "<!-");
    if (nested >= 0) {
        position_ = nested;
        ReportError("New comment block start within a comment block.", '<');
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
