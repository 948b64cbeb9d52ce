// Support of the Shader XML tests (see ShaderXmlTestSupport.h).
#include "ShaderXmlTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#ifdef _WIN32
#include <process.h>
#define ZQ_TEST_PROCESS_ID _getpid()
#else
#include <unistd.h>
#define ZQ_TEST_PROCESS_ID getpid()
#endif

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

fs::path ScratchFolder() {
    static fs::path folder = [] {
        fs::path path =
            fs::temp_directory_path() / ("zq_shaderxml_tests_" + std::to_string(ZQ_TEST_PROCESS_ID));
        fs::create_directories(path);
        return path;
    }();
    return folder;
}

std::string ScratchFolderPath(const char* relative) {
    return (ScratchFolder() / relative).generic_string();
}

// Host: the file systems make the platform's user folders when they start; those are kept in
// the scratch folder and the variables restored afterwards.
class ScratchHome {
public:
    void Enter() {
#if !defined(_WIN32)
        Save("HOME", &home_);
        Save("XDG_DATA_HOME", &dataHome_);
        setenv("HOME", ScratchFolderPath("home").c_str(), 1);
        setenv("XDG_DATA_HOME", ScratchFolderPath("appdata").c_str(), 1);
#endif
    }
    void Leave() {
#if !defined(_WIN32)
        Restore("HOME", home_);
        Restore("XDG_DATA_HOME", dataHome_);
#endif
    }

private:
    struct Saved {
        bool present = false;
        std::string value;
    };
    Saved home_;
    Saved dataHome_;

#if !defined(_WIN32)
    static void Save(const char* name, Saved* saved) {
        const char* value = getenv(name);
        saved->present = value != nullptr;
        saved->value = value != nullptr ? value : "";
    }
    static void Restore(const char* name, const Saved& saved) {
        if (saved.present) {
            setenv(name, saved.value.c_str(), 1);
        } else {
            unsetenv(name);
        }
    }
#endif
};

class EngineEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        ZQI_BuildApiTables();
        ZQI_CreateCoreMutexes();
        home_.Enter();
        ASSERT_TRUE(ZQI_InitializeFileSystems());
        const std::string res = ScratchFolderPath("res");
        fs::create_directories(fs::path(res));
        ZQI_SetSchemeRoot(SCHEME_RES, res.c_str());
    }
    void TearDown() override {
        ZQI_DestroyFileSystems();
        ZQI_ClearSearchPaths();
        ZQI_ClearSchemeRoots();
        home_.Leave();
        ZQI_DeleteCoreMutexes();
        std::error_code ignored;
        fs::remove_all(ScratchFolder(), ignored);
    }

private:
    ScratchHome home_;
};

const ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new EngineEnvironment());

void AppendLine(std::string* out, const String& line) {
    *out += line.CStr();
    *out += '\n';
}

}  // namespace

std::string NativeResFolder() {
    return ScratchFolderPath("res");
}

std::string WriteResFile(const std::string& name, const std::string& bytes) {
    const fs::path native = fs::path(NativeResFolder()) / name;
    fs::create_directories(native.parent_path());
    std::ofstream out(native, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return "res://" + name;
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
