// The translation corpus (tests/shadertool/corpus/translation): Shader XML documents translated
// by the compile driver to every target that has a translator, with the expected text of each
// target and stage beside them ("<name>.HLSL11.pixel") and the expected output log
// ("<name>.log"). An optional "<name>.request" sets the request: lines "variants HLSL11_LOW,...",
// "targets HLSL,GLSL21,..." (every target by default), "define NAME VALUE", "preprocess-only",
// "list-definitions", "push-constants VERTEX PIXEL GENERAL" (the constant lists' push-constant
// offsets, which only the shader manager sets: the document is read first and translated as
// read). A document chooses its targets with its own target list.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "shadertool/ShaderType.h"

namespace ShaderToolTest {

// Every target the shader tool has a translator for; the corpus documents are translated to all
// of them (as far as a document's own target list allows).
ShaderTool::TargetFlags CorpusTargets();

struct CorpusOptions {
    ShaderTool::VariantFlags variants = 0;
    ShaderTool::TargetFlags targets = 0;   // 0: every target with a translator
    std::vector<std::string> definitions;  // name, value pairs
    bool preprocessOnly = false;
    bool listDefinitions = false;
    bool pushConstants = false;
    int32_t pushConstantOffsets[3] = {-1, -1, -1};  // vertex, pixel and general constants
};

// Reads a request file; false (with the offending line in error) for an unknown line.
bool ReadCorpusOptions(const std::filesystem::path& file, CorpusOptions* options, std::string* error);

// The documents of the corpus folder, sorted.
std::vector<std::string> TranslationCorpusDocuments();
std::filesystem::path TranslationCorpusDirectory();

struct CorpusTranslation {
    bool result = false;
    std::string log;
    // Output text by the name of its expected file ("sprite.HLSL11.vertex").
    std::map<std::string, std::string> outputs;
};

// Translates a corpus document as res://corpus/translation/<name>, its output files going to a
// folder of its own below res://out/. The shader tool's state is reset before and after.
CorpusTranslation TranslateCorpusDocument(const std::string& name, const CorpusOptions& options);

// Whether a file name is an expected output of the document stem: "<stem>.<TARGET>.<stage>".
bool IsExpectedOutputName(const std::string& stem, const std::string& file, ShaderTool::TargetFlags* target,
                          int32_t* stage);

}  // namespace ShaderToolTest
