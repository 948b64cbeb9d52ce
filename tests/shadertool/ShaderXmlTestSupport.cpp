// Support of the Shader XML tests (see ShaderXmlTestSupport.h).
#include "ShaderXmlTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "CorpusSupport.h"
#include "EngineTestFiles.h"
#include "core/ApiTable.h"
#include "core/NamedMutex.h"
#include "data/DataManager.h"
#include "filesystem/FileSystemTable.h"
#include "filesystem/SchemeRoots.h"
#include "filesystem/SearchPaths.h"
#include "shadertool/SourceFiles.h"

namespace fs = std::filesystem;

namespace ShaderToolTest {

namespace {

// The engine as start-up leaves it for the reader: API tables, core mutexes and the file systems,
// with res:// in the test process's scratch folder.
EngineTest::FileSystemsEnvironment* const g_environment = static_cast<EngineTest::FileSystemsEnvironment*>(
    ::testing::AddGlobalTestEnvironment(
        new EngineTest::FileSystemsEnvironment("zq_shaderxml_tests", {{SCHEME_RES, "res"}})));

void AppendLine(std::string* out, const String& line) {
    *out += line.CStr();
    *out += '\n';
}

}  // namespace

std::string NativeResFolder() {
    return g_environment->ScratchPath("res");
}

std::string WriteResFile(const std::string& name, const std::string& bytes) {
    const fs::path native = fs::path(NativeResFolder()) / name;
    fs::create_directories(native.parent_path());
    std::ofstream out(native, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return "res://" + name;
}

void CopyCorpusToRes(const char* name, const std::string& resFolder) {
    const fs::path folder = CorpusDirectory(name);
    std::error_code error;
    for (const auto& entry : fs::recursive_directory_iterator(folder, error)) {
        if (!entry.is_regular_file()) {
            continue;
        }
        std::string bytes;
        ASSERT_TRUE(ReadFile(entry.path(), &bytes));
        const std::string relative = fs::relative(entry.path(), folder).generic_string();
        WriteResFile(resFolder + relative, bytes);
    }
}

ScopedEngineFiles::ScopedEngineFiles() {
    ShaderTool::UseEngineFileSystem();
}

ScopedEngineFiles::~ScopedEngineFiles() {
    ShaderTool::SetSourceFileServices(nullptr);
}

bool ShaderXmlRead::FromText(const std::string& xml, bool list) {
    ok = reader.ReadText(nullptr, xml.data(), static_cast<int32_t>(xml.size()), list);
    return ok;
}

ShaderXmlRead::~ShaderXmlRead() {
    if (!path_.empty()) {
        DataManager::UnloadDatabaseByName(path_.c_str());
    }
}

bool ShaderXmlRead::FromFile(const std::string& path, bool list) {
    ScopedEngineFiles files;
    path_ = path;
    ok = reader.ReadFile(path.c_str(), true, list);
    return ok;
}

std::string DumpType(const ShaderTool::Type& type) {
    return String::FromFormat(
               "kind %i vector %i matrix %i array %i qualifiers %u texture %i image %i buffer %i index %i",
               type.kind, type.vectorSize, type.matrixSize, type.arraySize, type.qualifiers,
               type.textureDimension, type.imageDimension, type.isBuffer, type.isIndexBuffer)
        .CStr();
}

namespace {

void DumpVariables(std::string* out, const char* list, const Array<ShaderTool::ShaderVariable>& variables) {
    for (const ShaderTool::ShaderVariable& v : variables) {
        AppendLine(out, String::FromFormat("%s '%s' semantic %i size %i: %s", list, v.name.CStr(), v.semantic,
                                           v.size, DumpType(v.type).c_str()));
    }
}

void DumpStageVariables(std::string* out, const char* list,
                        const Array<ShaderTool::StageVariable>& variables) {
    for (const ShaderTool::StageVariable& v : variables) {
        AppendLine(out, String::FromFormat("%s '%s' words %i %i: %s", list, v.name.CStr(), v.semantic,
                                           v.semanticIndex, DumpType(v.type).c_str()));
    }
}

}  // namespace

std::string DumpDescription(const ShaderTool::ShaderDescription& d) {
    std::string out;
    AppendLine(&out, String::FromFormat("version 0x%x targets %u stages %u ray tracing group %i tags '%s'",
                                        d.version, d.targets, d.stages, d.rayTracingGroup, d.tags.CStr()));
    for (const ShaderTool::ShaderDefinition& definition : d.definitions) {
        AppendLine(&out, String::FromFormat("definition '%s' = '%s' kind %i", definition.name.CStr(),
                                            definition.value.CStr(), definition.literalKind));
    }
    DumpVariables(&out, "vertex input", d.vertexInputs);
    DumpVariables(&out, "vertex constant", d.vertexConstants);
    DumpStageVariables(&out, "vertex output", d.vertexOutputs);
    DumpVariables(&out, "pixel constant", d.pixelConstants);
    for (const ShaderTool::TextureVariable& t : d.pixelTextures) {
        AppendLine(&out,
                   String::FromFormat(
                       "pixel texture '%s' slot %i address %i %i %i filter %i %i %i source %s: %s",
                       t.name.CStr(), t.slot, t.addressU, t.addressV, t.addressW, t.filterMag, t.filterMin,
                       t.filterMip, t.source != nullptr ? "set" : "none", DumpType(t.type).c_str()));
    }
    for (const String& output : d.pixelOutputs) {
        AppendLine(&out, String::FromFormat("pixel output '%s'", output.CStr()));
    }
    DumpVariables(&out, "constant", d.constants);
    DumpStageVariables(&out, "buffer", d.buffers);
    for (const ShaderTool::ImageVariable& image : d.images) {
        AppendLine(&out,
                   String::FromFormat("image '%s': %s", image.name.CStr(), DumpType(image.type).c_str()));
    }
    DumpStageVariables(&out, "ray payload", d.rayPayloads);
    for (const ShaderTool::ShaderSource& s : d.sources) {
        AppendLine(&out, String::FromFormat("source stage %i targets %u file '%s' first line %i", s.stage,
                                            s.targets, s.fileName.CStr(), s.firstLine));
        out += s.text.CStr();
        out += "\n[end of source]\n";
    }
    return out;
}

}  // namespace ShaderToolTest
