// CSVReader and DMDatabase::LoadCSVFile / ParseCSV: one array without id, one node per data
// line, each node holding one pair per header field in header order.
#include "data/CSVReader.h"

#include <cstdlib>
#include <cstring>

#include "data/DMRecords.h"
#include "data/DataFileAccess.h"
#include "data/DataManager_local.h"

CSVReader::CSVReader()
    : fieldSeparator_(';'),
      lineSeparator_('\n'),
      bytes_(nullptr),
      size_(0),
      position_(0),
      headerCount_(0),
      headerFields_(nullptr) {}

CSVReader::~CSVReader() {
    Release();
}

void CSVReader::Release() {
    for (int32_t i = 0; i < headerCount_; ++i) {
        free(headerFields_[i]);
    }
    free(headerFields_);
    free(bytes_);
    headerFields_ = nullptr;
    headerCount_ = 0;
    bytes_ = nullptr;
    size_ = 0;
    position_ = 0;
}

bool CSVReader::Open(const char* fileName) {
    Release();
    uint8_t* image = nullptr;
    int32_t size = 0;
    if (!ZQI_DataManagerReadWholeFile(fileName, &image, &size)) {
        return false;
    }
    return OpenImage(image, size);
}

bool CSVReader::OpenImage(uint8_t* image, int32_t size) {
    Release();
    if (image == nullptr || size < 0) {
        free(image);
        return false;
    }
    bytes_ = image;
    size_ = size;
    return ReadHeader();
}

bool CSVReader::ReadField(char* out, int32_t limit) {
    int32_t length = 0;
    while (position_ < size_) {
        char c = static_cast<char>(bytes_[position_++]);
        if (c == '\r') {
            continue;
        }
        if (c == fieldSeparator_ || c == lineSeparator_) {
            out[length] = '\0';
            return true;
        }
        if (length < limit) {
            out[length++] = c;
        }
    }
    out[length] = '\0';
    // The last field of a file without a final LF. An empty one is no field at all, so a file
    // ending in ";" leaves that key without value; a one-character one ("1;7") is a value like
    // any other and is kept, since dropping it would lose the file's last datum.
    return length >= 1;
}

int32_t CSVReader::CountHeaderFields() const {
    int32_t count = 0;
    bool pending = false;  // characters since the last separator
    for (int64_t p = 0; p < size_; ++p) {
        char c = static_cast<char>(bytes_[p]);
        if (c == lineSeparator_) {
            return count + 1;
        }
        if (c == fieldSeparator_) {
            ++count;
            pending = false;
        } else if (c != '\r') {
            pending = true;
        }
    }
    return pending ? count + 1 : count;
}

bool CSVReader::ReadHeader() {
    int32_t count = CountHeaderFields();
    if (count == 0) {
        return true;
    }
    headerFields_ = static_cast<char**>(calloc(static_cast<size_t>(count), sizeof(char*)));
    if (headerFields_ == nullptr) {
        return false;
    }
    headerCount_ = count;
    char field[CSV_HEADER_FIELD_MAX + 1];
    for (int32_t i = 0; i < count; ++i) {
        bool counts = !AtEnd() && ReadField(field, CSV_HEADER_FIELD_MAX);
        headerFields_[i] = ZQI_DataManagerCopyText(counts ? field : "");
        if (headerFields_[i] == nullptr) {
            return false;
        }
    }
    return true;
}

bool DMDatabase::ParseCSV(CSVReader& reader) {
    DMArray* array = AddArray();
    if (array == nullptr) {
        ZQI_DataManagerPopup("DMDatabase::ParseCSV: out of memory while reading '%s'.",
                             ZQI_DataManagerOrNull(name));
        return false;
    }
    int32_t headerCount = reader.HeaderCount();
    int32_t nodeCount = 0;
    char* field = static_cast<char*>(malloc(CSV_DATA_FIELD_MAX + 1));
    bool ok = field != nullptr;
    while (ok && headerCount != 0 && !reader.AtEnd()) {
        DMNode* node = array->AddNode();
        if (node == nullptr) {
            ok = false;
            break;
        }
        node->values.Reserve(headerCount);
        for (int32_t i = 0; i < headerCount; ++i) {
            // A node takes exactly one field per key, whatever the line breaks: a short line
            // borrows from the next one, a long one starts the next node with its surplus.
            bool counts = !reader.AtEnd() && reader.ReadField(field, CSV_DATA_FIELD_MAX);
            node->AppendPair(reader.HeaderField(i), counts ? field : nullptr);
        }
        ++nodeCount;
    }
    free(field);
    if (!ok) {
        ZQI_DataManagerPopup("DMDatabase::ParseCSV: out of memory while reading '%s'.",
                             ZQI_DataManagerOrNull(name));
        arrays.DeleteAt(arrays.count - 1);
        return false;
    }
    ZQI_DataManagerPrint("%d CSV Arrays loaded with total %d nodes.", 1, nodeCount);
    return true;
}

bool DMDatabase::LoadCSVFile(const char* fileName) {
    CSVReader reader;
    if (!reader.Open(fileName)) {
        ZQI_DataManagerPopup("CSV Array File '%s' not found!", ZQI_DataManagerOrNull(name));
        return false;
    }
    return ParseCSV(reader);
}
