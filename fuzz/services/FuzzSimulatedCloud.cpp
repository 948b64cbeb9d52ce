// Fuzz target: any bytes as "user://simulated.cloud". What the loader keeps must be written
// back and read again, whole, to exactly the same store.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "services/SimulatedCloud.h"

namespace {

bool SameStores(const SimulatedCloudStore& a, const SimulatedCloudStore& b) {
    if (a.count != b.count) {
        return false;
    }
    for (const SimulatedCloudEntry *left = a.first, *right = b.first; left != nullptr && right != nullptr;
         left = left->next, right = right->next) {
        const ByteStream* leftBlob = left->blob;
        const ByteStream* rightBlob = right->blob;
        if (!left->key.Equals(right->key.CStr()) || leftBlob->size != rightBlob->size ||
            (leftBlob->size > 0 &&
             memcmp(leftBlob->data, rightBlob->data, static_cast<size_t>(leftBlob->size)) != 0)) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > INT32_MAX) {
        return 0;
    }
    // An exactly sized copy, so reading one byte past the data is caught.
    uint8_t* bytes = static_cast<uint8_t*>(malloc(size > 0 ? size : 1));
    memcpy(bytes, data, size);
    SimulatedCloudStore store;
    ZQI_LoadSimulatedCloudImage(store, bytes, static_cast<int32_t>(size), nullptr);
    free(bytes);
    ByteStream image;
    if (!ZQI_BuildSimulatedCloudImage(store, &image)) {
        abort();
    }
    SimulatedCloudStore reloaded;
    bool whole = false;
    ZQI_LoadSimulatedCloudImage(reloaded, image.data, image.size, &whole);
    bool same = whole && SameStores(store, reloaded);
    ZQI_ClearCloudStore(store);
    ZQI_ClearCloudStore(reloaded);
    if (!same) {
        abort();
    }
    return 0;
}
