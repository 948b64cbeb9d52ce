// Test harness for the preprocessor: runs sources the way the compile driver does and serves
// included files from memory or from a folder.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "shadertool/ShaderDescription.h"
#include "shadertool/ShaderType.h"

namespace ShaderToolTest {

struct PreprocessResult {
    bool ok;
    std::string output;
    std::string log;
};

struct PreprocessOptions {
    ShaderTool::TargetFlags target = ShaderTool::TARGET_HLSL11;
    int32_t stage = ShaderTool::STAGE_VERTEX;
    std::vector<std::string> additionalDefinitions;  // name, value, name, value ...
    const ShaderTool::ShaderDescription* description = nullptr;
    const char* fileName = "a.shader";
    bool list = false;
};

PreprocessResult Preprocess(const std::string& text, const PreprocessOptions& options = PreprocessOptions());

// Installs file services that read from `files` (path to contents) while it lives; paths listed
// in `unreadable` open but read short, and `times` gives modification times.
class ScopedMemoryFiles {
public:
    std::map<std::string, std::string> files;
    std::map<std::string, int32_t> times;
    std::vector<std::string> unreadable;
    int32_t readCount = 0;

    ScopedMemoryFiles();
    ~ScopedMemoryFiles();
    ScopedMemoryFiles(const ScopedMemoryFiles&) = delete;
    ScopedMemoryFiles& operator=(const ScopedMemoryFiles&) = delete;
};

// Installs file services that read paths relative to a folder on disk while it lives.
class ScopedFolderFiles {
public:
    explicit ScopedFolderFiles(const std::string& folder);
    ~ScopedFolderFiles();
    ScopedFolderFiles(const ScopedFolderFiles&) = delete;
    ScopedFolderFiles& operator=(const ScopedFolderFiles&) = delete;
};

// The whole file as bytes; false when it cannot be opened.
bool ReadWholeFile(const std::string& path, std::string* contents);

}  // namespace ShaderToolTest
