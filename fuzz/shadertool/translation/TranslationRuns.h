// What the translation fuzz targets share: a document read from memory and translated for every
// target that has a translator, twice in the one shader tool state, with output files in memory
// (mem://); the two runs must agree in every output, stage buffer and log line.
#pragma once

#include <string>

namespace TranslationFuzz {

// Aborts (a finding) when the two translations of the document differ.
void TranslateTwice(const std::string& document);

}  // namespace TranslationFuzz
