// Fuzz target: any bytes as an in-memory XML database. A document that loads is written back
// out, so the writer sees every shape the reader accepts; what the writer wrote must load again
// and be written the same way a second time, so nothing it writes is lost or spoilt on reading.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/ApiTable.h"
#include "data/DataManager.h"
#include "foundation/ByteStream.h"

namespace {

// The writer may lengthen a value up to five times (a lone '&' becomes "&amp;"), and a tag
// longer than the reader's 16383-character token cannot be read whole. Documents up to this
// size cannot hold a tag that grows past it, so their round trip is checked.
const size_t kRoundTripLimit = 3072;

bool SameBytes(const ByteStream* a, const ByteStream* b) {
    return a->size == b->size &&
           (a->size == 0 || memcmp(a->data, b->data, static_cast<size_t>(a->size)) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    ZQI_BuildApiTables();  // the reader formats its positioned messages only with the API set up
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > INT32_MAX) {
        return 0;
    }
    DMDatabase database;
    if (!database.LoadXMLFromMemory(reinterpret_cast<const char*>(data), static_cast<int32_t>(size))) {
        return 0;
    }
    ByteStream* written = database.WriteXML();
    if (written != nullptr && size <= kRoundTripLimit) {
        DMDatabase back;
        if (!back.LoadXMLFromMemory(*written)) {
            abort();  // the writer wrote what the reader refuses
        }
        ByteStream* again = back.WriteXML();
        if (again == nullptr || !SameBytes(written, again)) {
            abort();  // something changed on the way through the file
        }
        delete again;
    }
    delete written;
    return 0;
}
