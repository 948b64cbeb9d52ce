// Fuzz target: any bytes as an in-memory XML database. A document that loads is written back
// out, so the writer sees every shape the reader accepts.
#include <cstddef>
#include <cstdint>

#include "core/ApiTable.h"
#include "data/DataManager.h"
#include "foundation/ByteStream.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    ZQI_BuildApiTables();  // the reader formats its positioned messages only with the API set up
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > INT32_MAX) {
        return 0;
    }
    DMDatabase database;
    if (database.LoadXMLFromMemory(reinterpret_cast<const char*>(data), static_cast<int32_t>(size))) {
        delete database.WriteXML();
    }
    return 0;
}
