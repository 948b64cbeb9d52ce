// Running the compile driver over the translation corpus (see TranslationCorpus.h).
#include "TranslationCorpus.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "CorpusSupport.h"
#include "ShaderXmlTestSupport.h"
#include "data/DataManager.h"
#include "shadertool/CompileDriver.h"
#include "shadertool/TargetNames.h"

namespace fs = std::filesystem;
using namespace ShaderTool;

namespace ShaderToolTest {

TargetFlags CorpusTargets() {
    TargetFlags targets = 0;
    MessageLog log;
    for (int32_t index = 0; index < TARGET_COUNT; ++index) {
        Translator* translator = CreateTranslator(1u << index, &log);
        targets |= translator != nullptr ? 1u << index : 0;
        delete translator;
    }
    return targets;
}

namespace {

const char kResFolder[] = "res://corpus/translation/";

// A comma-separated list of variant names; 0 when any is unknown.
VariantFlags ParseVariantList(const std::string& list) {
    VariantFlags variants = 0;
    std::stringstream items(list);
    std::string item;
    while (std::getline(items, item, ',')) {
        VariantFlags variant = 0;
        for (int32_t index = 0; index < VARIANT_COUNT; ++index) {
            variant |= item == GetVariantName(1u << index) ? 1u << index : 0;
        }
        if (variant == 0) {
            return 0;
        }
        variants |= variant;
    }
    return variants;
}

// A comma-separated list of target and group names; 0 when any is unknown.
TargetFlags ParseTargetList(const std::string& list) {
    TargetFlags targets = 0;
    std::stringstream items(list);
    std::string item;
    while (std::getline(items, item, ',')) {
        const TargetFlags target = ParseTargetName(item.c_str());
        if (target == 0) {
            return 0;
        }
        targets |= target;
    }
    return targets;
}

int32_t StageOfName(const std::string& name) {
    for (int32_t stage = 0; stage < STAGE_COUNT; ++stage) {
        if (name == GetStageName(stage)) {
            return stage;
        }
    }
    return -1;
}

std::string Stem(const std::string& document) {
    return fs::path(document).stem().string();
}

}  // namespace

bool ReadCorpusOptions(const fs::path& file, CorpusOptions* options, std::string* error) {
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        std::stringstream words(line);
        std::string key, first, second;
        words >> key >> first >> second;
        if (key == "variants" && ParseVariantList(first) != 0) {
            options->variants = ParseVariantList(first);
        } else if (key == "targets" && ParseTargetList(first) != 0) {
            options->targets = ParseTargetList(first);
        } else if (key == "define") {
            options->definitions.push_back(first);
            options->definitions.push_back(second);
        } else if (key == "preprocess-only") {
            options->preprocessOnly = true;
        } else if (key == "list-definitions") {
            options->listDefinitions = true;
        } else if (key == "push-constants") {
            std::stringstream offsets(line.substr(key.size()));
            options->pushConstants = true;
            for (int32_t& offset : options->pushConstantOffsets) {
                offsets >> offset;
            }
        } else if (!key.empty()) {
            *error = line;
            return false;
        }
    }
    return true;
}

fs::path TranslationCorpusDirectory() {
    return CorpusDirectory("translation");
}

std::vector<std::string> TranslationCorpusDocuments() {
    return CorpusInputs(TranslationCorpusDirectory(),
                        [](const fs::path& path) { return path.extension() == ".xml"; });
}

bool IsExpectedOutputName(const std::string& stem, const std::string& file, TargetFlags* target,
                          int32_t* stage) {
    if (file.compare(0, stem.size() + 1, stem + ".") != 0) {
        return false;
    }
    const std::string rest = file.substr(stem.size() + 1);
    const size_t dot = rest.find('.');
    if (dot == std::string::npos) {
        return false;
    }
    *target = ParseTargetName(rest.substr(0, dot).c_str());
    *stage = StageOfName(rest.substr(dot + 1));
    return *stage >= 0 && *target != 0 && (*target & (*target - 1)) == 0;
}

CorpusTranslation TranslateCorpusDocument(const std::string& name, const CorpusOptions& options) {
    CopyCorpusToRes("translation", "corpus/translation/");
    const std::string stem = Stem(name);
    const fs::path outputFolder = fs::path(NativeResFolder()) / "out" / stem;
    fs::remove_all(outputFolder);

    ScopedEngineFiles files;
    ResetShaderToolState();
    CorpusTranslation translation;
    const std::string outputDirectory = "res://out/" + stem;
    if (!InitializeTargets(CorpusTargets(), 0, outputDirectory.c_str(), false)) {
        translation.log = GetShaderToolState().outputLog.text.CStr();
        return translation;
    }
    ShaderTranslationRequest request;
    request.basePath = kResFolder;
    request.targets = options.targets != 0 ? options.targets : CorpusTargets();
    request.variants = options.variants;
    request.preprocessOnly = options.preprocessOnly ? 1 : 0;
    request.listDefinitions = options.listDefinitions ? 1 : 0;
    for (const std::string& text : options.definitions) {
        request.additionalDefinitions.PushText(text.c_str());
    }
    const std::string path = kResFolder + name;
    if (options.pushConstants && ReadShaderXml(path.c_str(), nullptr, true, false)) {
        ShaderDescription& description = GetShaderToolState().description;
        description.vertexConstantsSlot = options.pushConstantOffsets[0];
        description.pixelConstantsSlot = options.pushConstantOffsets[1];
        description.constantsSlot = options.pushConstantOffsets[2];
        request.descriptionRead = 1;
    }
    translation.result = TranslateShaderXml(path.c_str(), request, true);
    translation.log = GetShaderToolState().outputLog.text.CStr();

    // A run with one effective target names its files without the target.
    const TargetFlags single = GetShaderToolState().effectiveTargets;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(outputFolder, error)) {
        std::string text;
        ReadFile(entry.path(), &text);
        std::string file = entry.path().filename().string();
        const std::string rest = file.substr(std::min(file.size(), stem.size() + 1));
        if (StageOfName(rest) >= 0) {
            file = stem + "." + GetTargetName(single) + "." + rest;
        }
        translation.outputs[file] = text;
    }
    DataManager::UnloadDatabaseByName(path.c_str());
    ResetShaderToolState();
    return translation;
}

}  // namespace ShaderToolTest
