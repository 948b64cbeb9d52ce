// Support of the Shader XML tests: the engine as start-up leaves it for the reader (API tables,
// core mutexes, file systems with res:// in a scratch folder of the test process), scratch
// files, reading documents from memory and a field-by-field dump of a description.
#pragma once

#include <string>

#include "shadertool/MessageLog.h"
#include "shadertool/ShaderDescription.h"
#include "shadertool/ShaderXmlReader.h"

namespace ShaderToolTest {

// Writes bytes to res://<name> (folders made as needed) and returns that virtual path.
std::string WriteResFile(const std::string& name, const std::string& bytes);
// The native folder behind res://.
std::string NativeResFolder();
// Copies every file of tests/shadertool/corpus/<name> (subfolders included) below
// res://<resFolder>, so that documents and the files they name are read as the engine reads them
// and messages name res:// paths.
void CopyCorpusToRes(const char* name, const std::string& resFolder);

// Reads the engine's file services (the shader tool's source files) while it lives.
class ScopedEngineFiles {
public:
    ScopedEngineFiles();
    ~ScopedEngineFiles();
    ScopedEngineFiles(const ScopedEngineFiles&) = delete;
    ScopedEngineFiles& operator=(const ScopedEngineFiles&) = delete;
};

// One read of a document, from memory or from a file.
struct ShaderXmlRead {
    ShaderTool::MessageLog log;
    ShaderTool::ShaderDescription description;
    ShaderTool::ShaderXmlReader reader;
    bool ok;

    ShaderXmlRead() : reader(&log, &description), ok(false) {}
    ~ShaderXmlRead();  // unloads the document's cached database
    ShaderXmlRead(const ShaderXmlRead&) = delete;
    ShaderXmlRead& operator=(const ShaderXmlRead&) = delete;

    bool FromText(const std::string& xml, bool list = false);
    bool FromFile(const std::string& path, bool list = false);
    std::string Messages() const { return log.text.CStr(); }

private:
    std::string path_;
};

// Every field of a description, one line per entry, for exact comparisons.
std::string DumpDescription(const ShaderTool::ShaderDescription& description);
std::string DumpType(const ShaderTool::Type& type);

}  // namespace ShaderToolTest
