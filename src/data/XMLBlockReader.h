// XMLBlockReader: the data manager's small XML tokenizer. Not a general XML parser: it knows a
// prolog, elements with double-quoted attributes, text, CDATA sections and comments, and reports
// every deviation with a message giving the line and the text around it. One reader per load.
#pragma once

#include <cstddef>
#include <cstdint>

// Longest token the reader builds (tags and text runs); CDATA sections are not limited.
enum { XML_TOKEN_MAX_CHARACTERS = 16383 };
// Attribute slots of one element; reaching this count is a parse error.
enum { XML_MAX_ATTRIBUTES = 512 };

// The last block read: an element tag, or a text block (name null, one attribute "DATA" or
// "CDATA" whose value is the text). Names and values point into the reader's buffers and stay
// valid until the next block is read. The lengths spare the loader a strlen of every text.
struct XMLBlock {
    const char* name;  // element name; null for a text block
    int32_t attributeCount;
    bool closing;  // a closing tag </x> or a self-closing one <x/>
    const char* attributeNames[XML_MAX_ATTRIBUTES];
    const char* attributeValues[XML_MAX_ATTRIBUTES];
    int32_t attributeNameLengths[XML_MAX_ATTRIBUTES];   // strlen of each name
    int32_t attributeValueLengths[XML_MAX_ATTRIBUTES];  // strlen of each value
    // Where most names and values lie one after another in the document, each ending in a NUL: a
    // loader may copy this stretch whole instead of text by text, or use the texts where they are
    // when it keeps the document. Null when there is none.
    const char* attributeText;
    int32_t attributeTextLength;
};

class XMLBlockReader {
public:
    XMLBlockReader();
    ~XMLBlockReader();  // Release
    XMLBlockReader(const XMLBlockReader&) = delete;
    XMLBlockReader& operator=(const XMLBlockReader&) = delete;

    // Reads the whole file, unscrambles a scrambled one, then ReadDocumentStart. False for a
    // null or empty name, a file that cannot be read, a scrambled file whose size or checksum
    // does not match, or a rejected prolog (after its message).
    bool Open(const char* fileName);
    // Takes a whole file image (malloc'd, size bytes plus a NUL) as Open does after reading it:
    // the reader owns image afterwards, in every case. fileName is used in messages.
    bool OpenImage(const char* fileName, uint8_t* image, int32_t size);
    // Copies size bytes of a document (no unscrambling) under the given name; does not read the
    // prolog. False when out of memory.
    bool SetDocument(const char* fileName, const uint8_t* bytes, int32_t size);
    // Checks the prolog (after an optional UTF-8 byte-order mark and whitespace) and moves
    // behind it; keeps its encoding value. False after a message.
    bool ReadDocumentStart();
    // The next block; null at the end of the document or after an error.
    const XMLBlock* ReadBlock();
    // Releases the document (unless the reader has handed it over), the name and the encoding.
    void Release();
    // The document block (the document and its NUL; *bytes gets its size) while the reader owns
    // it, else null.
    char* OwnedDocument(size_t* bytes) const;
    // Hands the document block over to whoever took it from OwnedDocument, who frees it (with
    // free) once the reader is done: the reader goes on reading it but no longer frees it. The
    // names and values a plain tag's block points at lie in the document (attributeText), so
    // they stay valid as long as the block does.
    void DisownDocument() { ownsDocument_ = false; }

    const char* FileName() const { return fileName_ != nullptr ? fileName_ : ""; }
    // The prolog's encoding value, or null; kept but not applied.
    const char* Encoding() const { return encoding_; }
    // Cleared by the first parse error; no block is returned after it.
    bool IsOk() const { return ok_; }
    // The direct reading of plain tags and texts (on by default) gives the same blocks as the
    // general scanner, only faster; tests turn it off to compare the two.
    void SetDirectReading(bool on) { directReading_ = on; }

private:
    enum TokenKind { TOKEN_NONE, TOKEN_TAG, TOKEN_TEXT, TOKEN_CDATA };

    // Reads the next block straight from the document when it is a plain tag or text (no
    // comment, CDATA, backslash, NUL or token overflow, nothing to report). False leaves the
    // block to the general scanner, with the position and the document as they were.
    bool ReadDirectBlock();
    bool ReadDirectText(const char* start, const char* text);
    bool ReadDirectTag(const char* open);
    void CutDirectTag(const char* name, const char* nameEnd, int32_t count, bool entities);
    bool StartsCData(const char* p) const;
    // The next raw token; its text is token_ (or cdata_ for TOKEN_CDATA).
    TokenKind ScanTag();
    // Scanning steps of ScanTag; each returns false after reporting an error.
    bool ScanCData(int64_t at);
    bool SkipComment();
    bool StoreQuoted(char c, bool inTag);
    bool ScanQuoted(bool inTag);
    TokenKind ScanTagCharacter(char c);
    // Fills block_ from a tag token; false after an error.
    bool ParseTag();
    bool ParseAttributes(char* cursor);
    // Raises the positioned parse message (unless messages are off) and stops the reader.
    void ReportError(const char* reason, char offending);
    // Decodes "&quot;" and "&amp;" in an attribute value, in place.
    static void DecodeEntities(char* value);
    // Block with one attribute, DATA or CDATA, holding text.
    void SetTextBlock(const char* key, const char* text, int32_t length);
    bool Unscramble();
    void ReadEncoding(int64_t prologStart, int64_t prologEnd);
    void StoreCharacter(char c) { token_[tokenLength_++] = c; }
    char LastStored() const { return tokenLength_ > 0 ? token_[tokenLength_ - 1] : '\0'; }
    // Index of the first occurrence of pattern lying wholly in the document range [from, limit),
    // or -1.
    int64_t Find(int64_t from, int64_t limit, const char* pattern) const;

    char* fileName_;
    char* encoding_;
    char* document_;  // the document plus a NUL
    int64_t documentSize_;
    int64_t position_;
    char* token_;  // XML_TOKEN_MAX_CHARACTERS characters plus room for '>' and NUL
    int32_t tokenLength_;
    const char* cdata_;  // the text of a CDATA token, inside the document
    bool ok_;
    bool directReading_;
    bool ownsDocument_;
    XMLBlock block_;
};
