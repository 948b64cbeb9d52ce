// Fuzz target: arbitrary text as one source of a document that declares every kind of interface
// variable, translated for every target twice in the one shader tool state. The first byte picks
// the stage and interface (SourceDocument.h). Any crash, leak, hang, over-read or difference
// between the two runs is a finding.
#include <cstddef>
#include <cstdint>
#include <string>

#include "SourceDocument.h"
#include "TranslationRuns.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > (1u << 16)) {
        return 0;
    }
    TranslationFuzz::TranslateTwice(TranslationFuzz::BuildSourceDocument(data, size));
    return 0;
}
