// The document the source translation fuzz target builds around its input: the first byte picks
// the stage and the interface, the rest is the text of that stage's source. Shared with the test
// that checks every seed of the target reaches the translators.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace TranslationFuzz {

// A Shader XML document: vertex or pixel (beside a fixed source of the other stage) with the full
// or the basic raster interface, or a ray stage alone with the ray interface. Empty input gives
// an empty text.
std::string BuildSourceDocument(const uint8_t* data, size_t size);

}  // namespace TranslationFuzz
