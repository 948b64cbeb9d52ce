// Shared support of the corpus tests: finding a corpus folder's inputs, reading and writing
// files byte for byte, and comparing output with the expected files beside each input (or
// rewriting them with ZQ_UPDATE_EXPECTED=1 after a deliberate change, to be reviewed).
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace ShaderToolTest {

// tests/shadertool/corpus/<name>.
std::filesystem::path CorpusDirectory(const char* name);

// The names of the regular files of a folder whose path passes accept, sorted.
std::vector<std::string> CorpusInputs(const std::filesystem::path& folder,
                                      const std::function<bool(const std::filesystem::path&)>& accept);

// The stage whose name an extension gives (".vertex" ... ".rmiss"); -1 for any other.
int32_t StageOfExtension(const std::string& extension);

// Byte-exact file access; ReadFile is false when the file cannot be opened.
bool ReadFile(const std::filesystem::path& path, std::string* text);
void WriteFile(const std::filesystem::path& path, const std::string& text);

// True when ZQ_UPDATE_EXPECTED=1 asks for the expected files to be rewritten.
bool UpdatingExpected();

// Expects the file's contents to equal actual; in update mode writes actual instead.
void ExpectMatchesFile(const std::filesystem::path& path, const std::string& actual);

// A test name for a parameter: every character but letters and digits becomes '_'.
std::string CorpusTestName(const std::string& parameter);

}  // namespace ShaderToolTest
