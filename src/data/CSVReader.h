// CSVReader: reads the data manager's semicolon-separated files. The first line names the keys;
// every following field fills the next key of the current node. No quoting, no escapes, no
// trimming: a field ends at ';' or LF, and CR bytes are ignored.
#pragma once

#include <cstdint>

// Longest header field and data field kept; longer ones are cut.
enum { CSV_HEADER_FIELD_MAX = 511, CSV_DATA_FIELD_MAX = 4095 };

class CSVReader {
public:
    CSVReader();
    ~CSVReader();  // Release
    CSVReader(const CSVReader&) = delete;
    CSVReader& operator=(const CSVReader&) = delete;

    // Reads the whole file and its header line. False when the file cannot be read.
    bool Open(const char* fileName);
    // The same on a file image (malloc'd, size bytes); the reader owns image afterwards.
    bool OpenImage(uint8_t* image, int32_t size);
    // Releases the file image and the header fields.
    void Release();

    // Reads the next field into out (limit characters plus a NUL). True when the field counts:
    // it ended at a separator, or at the end of the file with at least one character.
    bool ReadField(char* out, int32_t limit);
    bool AtEnd() const { return position_ >= size_; }

    int32_t HeaderCount() const { return headerCount_; }
    const char* HeaderField(int32_t i) const { return headerFields_[i]; }

private:
    // Counts the header fields: each ';' and the first LF count one; a last field that runs to
    // the end of the file counts when it is not empty. Counting only the semicolons there would
    // drop the last key and turn it into the first value of a node that the file never had.
    int32_t CountHeaderFields() const;
    bool ReadHeader();

    char fieldSeparator_;
    char lineSeparator_;
    uint8_t* bytes_;
    int64_t size_;
    int64_t position_;
    int32_t headerCount_;
    char** headerFields_;  // owned texts
};
