// Shared part of the translation fuzz targets (see TranslationRuns.h).
#include "TranslationRuns.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "filesystem/FileSystemApi.h"
#include "filesystem/FileSystemTable.h"
#include "filesystem/MemorySystem.h"
#include "shadertool/CompileDriver.h"
#include "shadertool/TargetNames.h"

using namespace ShaderTool;

namespace TranslationFuzz {

namespace {

const char kDocumentPath[] = "mem://fuzz/document.xml";
const char kOutputDirectory[] = "mem://fuzz-out/";

struct Capture {
    bool result = false;
    std::string log;
    std::map<std::string, std::string> files;  // output files by name
    std::string stageBuffers[STAGE_COUNT];
    uint32_t producedStages = 0;

    bool operator==(const Capture& other) const {
        return result == other.result && log == other.log && files == other.files &&
               producedStages == other.producedStages &&
               std::equal(stageBuffers, stageBuffers + STAGE_COUNT, other.stageBuffers);
    }
};

// The targets the shader tool can write, set up once with their output in memory.
TargetFlags SetUpTargets() {
    static TargetFlags targets = 0;
    if (targets != 0) {
        return targets;
    }
    ZQI_SetFileSystem(SCHEME_MEM, new ZQFileSystem::MemorySystem());
    MessageLog probe;
    for (int32_t index = 0; index < TARGET_COUNT; ++index) {
        Translator* translator = CreateTranslator(1u << index, &probe);
        targets |= translator != nullptr ? 1u << index : 0;
        delete translator;
    }
    if (!InitializeTargets(targets, 0, kOutputDirectory, false)) {
        abort();
    }
    return targets;
}

// Takes one output file (deleting it), when the run wrote it.
void TakeFile(const std::string& path, std::map<std::string, std::string>* files) {
    zq_file_t* file = ZQ_FileSystem_OpenFile(path.c_str(), "r");
    if (file == nullptr) {
        return;
    }
    std::string text(static_cast<size_t>(file->size), '\0');
    ZQ_FileSystem_ReadFile(&text[0], file->size, file);
    ZQ_FileSystem_CloseFile(file);
    ZQ_FileSystem_DeleteFile(path.c_str());
    (*files)[path] = text;
}

// Reads and translates the document; false when it cannot be read.
bool TranslateAndCapture(const std::string& document, TargetFlags targets, Capture* capture) {
    ResetShaderToolState();
    if (!ReadShaderXml(kDocumentPath, document.c_str(), false, false)) {
        ResetShaderToolState();
        return false;
    }
    ShaderTranslationRequest request;
    request.targets = targets;
    request.descriptionRead = 1;
    request.basePath = "mem://fuzz/";
    State& state = GetShaderToolState();
    capture->result = TranslateShaderXml(kDocumentPath, request, false);
    capture->log = state.outputLog.text.CStr();
    capture->producedStages = state.producedStages;
    for (int32_t stage = 0; stage < STAGE_COUNT; ++stage) {
        const ByteStream& buffer = state.stageBuffers[stage];
        capture->stageBuffers[stage].assign(reinterpret_cast<const char*>(buffer.data),
                                            static_cast<size_t>(buffer.size));
        const std::string base = std::string(kOutputDirectory) + state.baseName.CStr() + ".";
        TakeFile(base + GetStageName(stage), &capture->files);
        for (int32_t index = 0; index < TARGET_COUNT; ++index) {
            TakeFile(base + GetTargetName(1u << index) + "." + GetStageName(stage), &capture->files);
        }
    }
    ResetShaderToolState();
    return true;
}

}  // namespace

void TranslateTwice(const std::string& document) {
    const TargetFlags targets = SetUpTargets();
    Capture runs[2];
    if (!TranslateAndCapture(document, targets, &runs[0]) ||
        !TranslateAndCapture(document, targets, &runs[1])) {
        return;
    }
    if (!(runs[0] == runs[1])) {
        fprintf(stderr, "two translations of one input differ:\n%s\n----\n%s\n", runs[0].log.c_str(),
                runs[1].log.c_str());
        abort();
    }
}

}  // namespace TranslationFuzz
