// A fuzz target that checks the corpus replay itself: libFuzzer calls a target's
// LLVMFuzzerInitialize before the first input, and targets rely on it (the data manager's set up
// the engine API tables and their message observers there), so the replay must do the same.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

bool g_initialized = false;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_initialized = true;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t*, size_t) {
    if (!g_initialized) {
        fprintf(stderr, "LLVMFuzzerInitialize was not called before the first input\n");
        abort();
    }
    return 0;
}
