// Fuzz target: the scrambled database form. The bytes are read as a whole file image (header
// checks, checksum, unscrambling), and also scrambled as a text and read back, which must give
// exactly that text again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/ApiTable.h"
#include "data/DataManager.h"
#include "data/ScrambledDatabase.h"
#include "data/XMLBlockReader.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    ZQI_BuildApiTables();
    return 0;
}

namespace {

// The reader takes ownership of its file image, so each pass gets a copy with a NUL behind it.
uint8_t* CopyImage(const uint8_t* bytes, size_t size) {
    uint8_t* copy = static_cast<uint8_t*>(malloc(size + 1));
    memcpy(copy, bytes, size);
    copy[size] = 0;
    return copy;
}

void ParseImage(uint8_t* image, int32_t size) {
    XMLBlockReader reader;
    if (reader.OpenImage("fuzz.xml", image, size)) {
        DMDatabase database;
        database.ParseXML(reader);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > INT32_MAX - SCRAMBLED_HEADER_SIZE) {
        return 0;
    }
    ParseImage(CopyImage(data, size), static_cast<int32_t>(size));

    uint8_t* image = nullptr;
    int32_t imageSize = 0;
    if (!ZQI_ScrambleDatabaseText(data, static_cast<int32_t>(size), &image, &imageSize)) {
        return 0;
    }
    uint8_t* text = nullptr;
    int32_t length = 0;
    if (!ZQI_UnscrambleDatabaseImage(image, imageSize, &text, &length) ||
        length != static_cast<int32_t>(size) || memcmp(text, data, size) != 0) {
        abort();  // scrambling must be lossless
    }
    free(text);
    ParseImage(image, imageSize);
    return 0;
}
