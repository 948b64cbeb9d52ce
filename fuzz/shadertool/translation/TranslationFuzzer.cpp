// Fuzz target: arbitrary bytes as a Shader XML document held in memory, read and translated for
// every target twice in the one shader tool state. Messages are expected; any crash, leak, hang,
// over-read or difference between the two runs is a finding.
#include <cstddef>
#include <cstdint>
#include <string>

#include "TranslationRuns.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size <= (1u << 18)) {
        TranslationFuzz::TranslateTwice(std::string(reinterpret_cast<const char*>(data), size));
    }
    return 0;
}
