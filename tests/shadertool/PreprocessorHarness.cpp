// Test harness for the preprocessor: driver-like runs and in-memory or folder file services.
#include "PreprocessorHarness.h"

#include <algorithm>
#include <cstdio>

#include "foundation/Array.h"
#include "shadertool/MessageLog.h"
#include "shadertool/SourceFiles.h"
#include "shadertool/preprocessor/Preprocessor.h"

namespace ShaderToolTest {

using namespace ShaderTool;

PreprocessResult Preprocess(const std::string& text, const PreprocessOptions& options) {
    MessageLog log;
    Preprocessor preprocessor(&log);
    preprocessor.AddBuiltinDefinitions();
    ShaderSource source;
    source.fileName = options.fileName;
    source.text = text.c_str();
    source.firstLine = 1;
    source.stage = options.stage;
    source.targets = TARGET_ALL;
    Array<String> additional;
    for (const std::string& item : options.additionalDefinitions) {
        additional.PushText(item.c_str());
    }
    PreprocessResult result;
    result.ok = preprocessor.Run(options.description, options.target, source, &additional, options.list);
    result.output = preprocessor.output.CStr();
    result.log = log.text.CStr();
    return result;
}

bool ReadWholeFile(const std::string& path, std::string* contents) {
    FILE* file = fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    contents->clear();
    char chunk[4096];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, file)) > 0) {
        contents->append(chunk, got);
    }
    fclose(file);
    return true;
}

namespace {

ScopedMemoryFiles* gMemoryFiles = nullptr;
std::string gFolder;

SourceFileResult ReadMemoryFile(const char* path, String* text) {
    ++gMemoryFiles->readCount;
    auto found = gMemoryFiles->files.find(path);
    if (found == gMemoryFiles->files.end()) {
        return SOURCE_FILE_NOT_FOUND;
    }
    const std::vector<std::string>& unreadable = gMemoryFiles->unreadable;
    if (std::find(unreadable.begin(), unreadable.end(), path) != unreadable.end()) {
        return SOURCE_FILE_SHORT_READ;
    }
    text->Assign(found->second.c_str());
    return SOURCE_FILE_READ;
}

bool MemoryFileTime(const char* path, int32_t* seconds) {
    auto found = gMemoryFiles->times.find(path);
    if (found == gMemoryFiles->times.end()) {
        return false;
    }
    *seconds = found->second;
    return true;
}

SourceFileResult ReadFolderFile(const char* path, String* text) {
    std::string contents;
    if (!ReadWholeFile(gFolder + "/" + path, &contents)) {
        return SOURCE_FILE_NOT_FOUND;
    }
    text->Assign(contents.c_str());
    return SOURCE_FILE_READ;
}

}  // namespace

ScopedMemoryFiles::ScopedMemoryFiles() {
    gMemoryFiles = this;
    const SourceFileServices services = {ReadMemoryFile, MemoryFileTime};
    SetSourceFileServices(&services);
}

ScopedMemoryFiles::~ScopedMemoryFiles() {
    SetSourceFileServices(nullptr);
    gMemoryFiles = nullptr;
}

ScopedFolderFiles::ScopedFolderFiles(const std::string& folder) {
    gFolder = folder;
    const SourceFileServices services = {ReadFolderFile, nullptr};
    SetSourceFileServices(&services);
}

ScopedFolderFiles::~ScopedFolderFiles() {
    SetSourceFileServices(nullptr);
}

}  // namespace ShaderToolTest
