// Fuzz target: any bytes as a CSV database file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "data/CSVReader.h"
#include "data/DataManager.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > INT32_MAX) {
        return 0;
    }
    uint8_t* image = static_cast<uint8_t*>(malloc(size + 1));
    memcpy(image, data, size);
    CSVReader reader;
    if (reader.OpenImage(image, static_cast<int32_t>(size))) {
        DMDatabase database;
        database.ParseCSV(reader);
    }
    return 0;
}
