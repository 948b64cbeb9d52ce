// The shader manager and the internal shaders without a GPU: choosing embedded code, the embedded
// DXBC containers (checksums recomputed here, shader model 4.0), the embedded data against its
// sources, the text sources through glslang, the records filled from the internal Shader XML, the
// table's limit and lookup, and the constant setters.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "DxbcChecksum.h"
#include "RecordingDevice.h"
#include "core/ApiTable.h"
#include "data/DataManager.h"
#include "filesystem/FileSystemApi.h"
#include "filesystem/SearchPaths.h"
#include "graphics/BitmapOperations.h"
#include "graphics/GraphicsApi.h"
#include "graphics/GraphicsResourceApi.h"
#include "graphics/HighLevelRenderer.h"
#include "graphics/InternalShaders.h"
#include "graphics/ShaderManager.h"
#include "shadertool/CompileDriver.h"

#ifndef _WIN32
#include <dirent.h>
#endif

namespace {

uint32_t Word(const uint8_t* bytes, size_t offset) {
    uint32_t value;
    memcpy(&value, bytes + offset, 4);
    return value;
}

const EmbeddedShader& DefaultShader() {
    return kEmbeddedShaders[ZQI_EMBEDDED_DEFAULT];
}

const EmbeddedShader& DistanceField() {
    return kEmbeddedShaders[ZQI_EMBEDDED_DISTANCE_FIELD];
}

std::string StageText(const ShaderCodeSet& code, int32_t stage) {
    return std::string(reinterpret_cast<const char*>(code.stages[stage].data));
}

TEST(EmbeddedShaderCode, EachTargetAndVariantFindsItsOwnCodeOrFails) {
    struct Case {
        const EmbeddedShader* shader;
        uint32_t target;
        uint32_t variant;
        bool found;
        const char* vertexStart;  // text targets: the source's first line
    } cases[] = {
        {&DefaultShader(), 32, 1, true, nullptr},       {&DistanceField(), 32, 1, true, nullptr},
        {&DefaultShader(), 32, 2, false, nullptr},      {&DefaultShader(), 32, 8, false, nullptr},
        {&DefaultShader(), 256, 0, true, nullptr},      {&DefaultShader(), 64, 8, false, nullptr},
        {&DefaultShader(), 1, 0, true, "#version 100"}, {&DefaultShader(), 2, 0, true, "#version 300 es"},
        {&DefaultShader(), 4, 0, true, "#version 120"}, {&DistanceField(), 8, 0, true, "#version 140"},
        {&DistanceField(), 16, 0, true, "float4x4"},    {&DefaultShader(), 16, 0, false, nullptr},
        {&DefaultShader(), 4, 1, false, nullptr},
    };
    for (const Case& c : cases) {
        ShaderCodeSet code = {};
        EXPECT_EQ(c.found, SelectEmbeddedShaderCode(*c.shader, c.target, c.variant, &code))
            << c.shader->name << " " << c.target << "/" << c.variant;
        if (c.found) {
            EXPECT_GT(code.stages[0].size, 0);
            EXPECT_GT(code.stages[1].size, 0);
        }
        if (c.found && c.vertexStart != nullptr) {
            EXPECT_EQ(0u, StageText(code, 0).find(c.vertexStart)) << c.target;
            EXPECT_EQ('\0', code.stages[0].data[code.stages[0].size - 1]);
        }
        ZQI_FreeShaderCodeSet(&code);
    }
    EXPECT_EQ(255u, ZQI_ParseEmbeddedVariantName("ALL"));
    EXPECT_EQ(4u, ZQI_ParseEmbeddedVariantName("HLSL11_XBOX"));
    EXPECT_EQ(0u, ZQI_ParseEmbeddedVariantName("NONE"));
}

TEST(EmbeddedShaderCode, HLSL11CodeIsAShaderModel4ContainerWithItsChecksum) {
    for (const EmbeddedShader& shader : kEmbeddedShaders) {
        for (int32_t i = 0; shader.code[i].size != 0; ++i) {
            const EmbeddedShaderCode& record = shader.code[i];
            if (record.target != 32) {
                continue;
            }
            const uint8_t* bytes = record.bytes;
            ASSERT_EQ(0, memcmp(bytes, "DXBC", 4)) << shader.name << " record " << i;
            EXPECT_EQ(record.size, Word(bytes, 24));
            uint32_t checksum[4];
            EngineTest::DxbcChecksum(bytes, record.size, checksum);
            EXPECT_EQ(0, memcmp(checksum, bytes + 4, 16)) << shader.name << " record " << i;
            // The SHDR chunk's version word: program type (1 vertex, 0 pixel) << 16, 4 << 4, 0.
            uint32_t version = 0;
            for (uint32_t chunk = 0; chunk < Word(bytes, 28); ++chunk) {
                const uint32_t offset = Word(bytes, 32 + 4 * chunk);
                if (memcmp(bytes + offset, "SHDR", 4) == 0) {
                    version = Word(bytes, offset + 8);
                }
            }
            EXPECT_EQ(i % 2 == 0 ? 0x10040u : 0x40u, version) << shader.name << " record " << i;
        }
    }
}

#ifndef _WIN32

const std::string kShaderFolder = std::string(ZQ_TEST_SOURCE_DIR) + "/../../src/graphics/shaders/";

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

// The hash generate.py writes: FNV-1a (64 bits) over each file's name, NUL, bytes, NUL in name order.
TEST(EmbeddedShaderCode, TheEmbeddedDataIsGeneratedFromTheCurrentSources) {
    std::vector<std::string> names;
    DIR* folder = opendir(kShaderFolder.c_str());
    ASSERT_NE(nullptr, folder);
    while (const dirent* entry = readdir(folder)) {
        if (entry->d_name[0] != '.') {
            names.push_back(entry->d_name);
        }
    }
    closedir(folder);
    std::sort(names.begin(), names.end());
    uint64_t hash = 0xCBF29CE484222325ull;
    for (const std::string& name : names) {
        const std::string bytes =
            name + std::string(1, '\0') + ReadFile(kShaderFolder + name) + std::string(1, '\0');
        for (unsigned char byte : bytes) {
            hash = (hash ^ byte) * 0x100000001B3ull;
        }
    }
    EXPECT_EQ(hash, kEmbeddedShaderInputsHash) << "run tools/embedded-shaders/generate.sh";
    EXPECT_EQ(ReadFile(kShaderFolder + "internal_default.xml"), DefaultShader().xml);
}

// Each text through glslangValidator (with the stage and, for HLSL9, the DX9 rules) and the SPIR-V
// modules through spirv-val.
TEST(EmbeddedShaderCode, TextSourcesAndSpirvAreAcceptedByTheReferenceTools) {
    struct Target {
        uint32_t bit;
        const char* extraFlags;
    } targets[] = {
        {1, ""}, {2, ""}, {4, ""}, {8, ""}, {16, "-D -V -e main --hlsl-dx9-compatible -o /dev/null"}};
    const char* const stages[2] = {"vert", "frag"};
    char folder[] = "/tmp/zq-embedded-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(folder));
    for (const EmbeddedShader& shader : kEmbeddedShaders) {
        for (const Target& target : targets) {
            for (int32_t stage = 0; stage < 2; ++stage) {
                const char* text = ParseEmbeddedShaderTarget(shader.sources, stage, target.bit, 0);
                if (text == nullptr) {
                    continue;
                }
                const std::string path = std::string(folder) + "/shader." + stages[stage];
                std::ofstream(path) << text;
                const std::string command = std::string("glslangValidator ") + target.extraFlags + " -S " +
                                            stages[stage] + " " + path + " >/dev/null";
                EXPECT_EQ(0, system(command.c_str()))
                    << shader.name << " target " << target.bit << " " << stages[stage];
            }
        }
        ShaderCodeSet code = {};
        ASSERT_TRUE(SelectEmbeddedShaderCode(shader, 256, 0, &code));
        for (int32_t stage = 0; stage < 2; ++stage) {
            const std::string path = std::string(folder) + "/module.spv";
            std::ofstream(path, std::ios::binary)
                .write(reinterpret_cast<const char*>(code.stages[stage].data), code.stages[stage].size);
            EXPECT_EQ(0, system(("spirv-val " + path).c_str())) << shader.name << " stage " << stage;
        }
        ZQI_FreeShaderCodeSet(&code);
    }
    system((std::string("rm -rf ") + folder).c_str());
}

#endif  // _WIN32

class ShaderTableTest : public DrawingTest {
protected:
    void TearDown() override {
        for (int32_t slot = 0; slot < ZQI_GetShaderUsedCount(); ++slot) {
            zq_shader_t* shader = ZQI_GetShaderRecord(slot);
            if (shader->name != nullptr) {
                FreeShaderSlot(shader);
            }
        }
        ZQI_ResetShaderTableCount();
        DrawingTest::TearDown();
    }
};

TEST_F(ShaderTableTest, InternalShadersAreMadeFromTheirXmlAndEmbeddedCode) {
    ASSERT_TRUE(CreateInternalShaders());
    const zq_shader_t* shader = g_drawing.defaultShader;
    EXPECT_STREQ("internal_default", shader->name);
    EXPECT_EQ(7u, shader->vertex_format);
    ASSERT_EQ(3, shader->vertex_element_count);
    const uint32_t offsets[3] = {0, 12, 16};
    const uint32_t types[3] = {1, 2, 1};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(offsets[i], shader->vertex_elements[i].offset);
        EXPECT_EQ(types[i], shader->vertex_elements[i].component_type);
    }
    ASSERT_EQ(1, shader->vertex_constants.count);
    const zq_shader_constant_t& transform = shader->vertex_constants.entries[0];
    EXPECT_STREQ("world_view_proj", transform.name);
    EXPECT_EQ(4u, transform.type);  // the world x view x projection semantic
    EXPECT_EQ(64, transform.size);
    EXPECT_EQ(2u, transform.shape);
    EXPECT_EQ(1, shader->texture_count);
    EXPECT_STREQ("diffuse", shader->textures[0].name);
    const zq_shader_t* distance = g_drawing.distanceFieldShader;
    EXPECT_TRUE(ZQ_Graphics_ShaderHasTag(const_cast<zq_shader_t*>(distance), "DISTANCE_FIELD"));
    EXPECT_EQ(0, ZQ_Graphics_GetShaderPixelConstantIndex(const_cast<zq_shader_t*>(distance), "smoothing"));
    EXPECT_EQ(-1, ZQ_Graphics_GetShaderPixelConstantIndex(const_cast<zq_shader_t*>(distance), "unknown"));
    EXPECT_EQ(0, ZQ_Graphics_GetTextureIndex(const_cast<zq_shader_t*>(distance), "diffuse"));
    EXPECT_EQ(2, device_->Count("Create shader internal_"));
}

TEST_F(ShaderTableTest, The129thNameIsRefusedAndLookupsSeePastAFreedSlot) {
    bool existed = false;
    for (int i = 0; i < 128; ++i) {
        ASSERT_NE(nullptr, GetShaderSlot(("shader-" + std::to_string(i)).c_str(), &existed));
    }
    EXPECT_EQ(nullptr, GetShaderSlot("one-too-many", &existed));
    EXPECT_EQ(1, CountLogged("[POPUP] Failed to load shader 'one-too-many': Zorqa is out of free shaders."));
    // With slot 0 free again, a name further on is still found, not taken a second time.
    FreeShaderSlot(ZQI_GetShaderRecord(0));
    zq_shader_t* found = GetShaderSlot("shader-5", &existed);
    EXPECT_TRUE(existed);
    EXPECT_EQ(ZQI_GetShaderRecord(5), found);
    EXPECT_EQ(ZQI_GetShaderRecord(0), GetShaderSlot(nullptr, &existed));  // "!NONE" takes the free slot
    EXPECT_STREQ("!NONE", ZQI_GetShaderRecord(0)->name);
}

// Shaders from Shader XML files whose pixel texture names a source bitmap, with code files in place
// (no translation), through the graphics sub-table the reader calls.
class ShaderBitmapTest : public ShaderTableTest {
protected:
    void SetUp() override {
        ShaderTableTest::SetUp();
        InstallRecordingTextures();
        ZQI_InstallGraphicsApi(ZQI_GetApi());
        ZQ_FileSystem_AddSearchPath("res://", false);
        WriteResFile("shader-source.png", EncodePNG(PatternImage(4, 4, 1, true)));
        WriteShader("textured", "");
        WriteShader("broken", "<array id=\"pixel_output\">\n<node/>\n</array>\n");
        WriteShader("bad-texture", "", "address_u=\"SIDEWAYS\"");
    }
    void TearDown() override {
        ShaderTableTest::TearDown();
        RemoveRecordingTextures();
        for (const char* name : {"textured", "broken", "bad-texture"}) {
            DataManager::UnloadDatabaseByName((std::string("shaders/") + name + ".xml").c_str());
        }
        ZQI_ClearSearchPaths();
        ZQI_BuildApiTables();  // the sub-table's stand-ins again
    }
    // shaders/<name>.xml and its code files; extra replaces the pixel output array, attributes go on
    // the texture node.
    static void WriteShader(const std::string& name, const std::string& extra,
                            const std::string& attributes = "") {
        const std::string output =
            extra.empty() ? "<array id=\"pixel_output\">\n<node id=\"color\"/>\n</array>\n" : extra;
        WriteResFile(
            "shaders/" + name + ".xml",
            "<?xml version=\"1.0\"?>\n<root>\n"
            "<array id=\"info\">\n<node id=\"version\" value=\"2\"/>\n<node id=\"revision\" value=\"3\"/>\n"
            "</array>\n"
            "<array id=\"vertex_input\">\n<node id=\"position\" semantic=\"POSITION\"/>\n"
            "<node id=\"color\" semantic=\"COLOR\"/>\n"
            "<node id=\"uv\" semantic=\"TEXTURE_COORDINATE_0\"/>\n</array>\n"
            "<array id=\"vertex_output\">\n<node id=\"position\" type=\"FLOAT4\" semantic=\"POSITION\"/>\n"
            "</array>\n"
            "<array id=\"pixel_textures\">\n<node id=\"diffuse\" type=\"2D\" "
            "source=\"res://shader-source.png\" " +
                attributes + "/>\n</array>\n" + output +
                "<array id=\"sources\">\n<node type=\"vertex\">void main() {}</node>\n"
                "<node type=\"pixel\">void main() {}</node>\n</array>\n</root>\n");
        WriteResFile("shaders/HLSL11/bin/" + name + "_DEFAULT.vertex", "vertex code");
        WriteResFile("shaders/HLSL11/bin/" + name + "_DEFAULT.pixel", "pixel code");
    }
};

// The program holds the bitmap once. A shader's texture slot holds it once more while the shader
// lives; every read of the Shader XML, loaded, reloaded or failed, gives its reference back, and
// freeing the shader gives back the slot's. The program's release then hibernates the bitmap.
TEST_F(ShaderBitmapTest, ShadersGiveTheirSourceBitmapReferencesBack) {
    zq_bitmap_t* source = ZQ_Graphics_LoadBitmap("res://shader-source.png", CACHE_TEXTURE);
    ASSERT_EQ(1, source->reference_count);

    zq_shader_t* textured = ZQ_Graphics_GetShader("shaders/textured.xml");
    ASSERT_TRUE(ZQ_Graphics_IsShaderLoaded(textured));
    ASSERT_EQ(1, textured->texture_count);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(source), textured->textures[0].value);
    EXPECT_EQ(2, source->reference_count) << "loaded";
    ZQ_Graphics_ReloadShader(textured);
    EXPECT_EQ(2, source->reference_count) << "reloaded";
    ZQI_ReloadXmlShaders();  // a renderer start: read again without refilling the slots
    EXPECT_EQ(2, source->reference_count) << "read again";

    for (const char* failing : {"shaders/broken.xml", "shaders/bad-texture.xml"}) {
        zq_shader_t* shader = ZQ_Graphics_GetShader(failing);
        EXPECT_FALSE(ZQ_Graphics_IsShaderLoaded(shader)) << failing;
        EXPECT_EQ(0, shader->texture_count) << failing;
        EXPECT_EQ(2, source->reference_count) << failing;
        ZQ_Graphics_ReloadShader(shader);
        EXPECT_EQ(2, source->reference_count) << failing << " reloaded";
    }

    FreeShaderSlot(textured);
    EXPECT_EQ(1, source->reference_count) << "shader freed";
    ZQ_Graphics_ReleaseBitmap(source);
    EXPECT_EQ(0, source->reference_count);
    EXPECT_EQ(CACHE_NOTHING, source->cache_mode);  // hibernated: nothing else holds it
    EXPECT_FALSE(Logged("too many times"));
}

// The constant's own size is 16 bytes; the caller hands 4. Only those are read (ASan would see more).
TEST_F(ShaderTableTest, ConstantSettersReadAtMostTheCallersBytes) {
    ASSERT_TRUE(CreateInternalShaders());
    zq_shader_t* shader = g_drawing.distanceFieldShader;
    float* smoothing = static_cast<float*>(ZQ_Graphics_GetShaderPixelConstant(shader, 0));
    ASSERT_NE(nullptr, smoothing);
    smoothing[1] = 9.0f;
    shader->flags |= SHADER_FLAG_CONSTANTS_CLEAN;
    float* value = new float(0.25f);
    ZQ_Graphics_SetShaderPixelConstant(shader, 0, sizeof(float), value);
    delete value;
    EXPECT_EQ(0.25f, smoothing[0]);
    EXPECT_EQ(9.0f, smoothing[1]);
    EXPECT_EQ(0, shader->flags & SHADER_FLAG_CONSTANTS_CLEAN);
    EXPECT_EQ(nullptr, ZQ_Graphics_GetShaderPixelConstant(shader, 1));
    const float same = 0.25f;
    shader->flags |= SHADER_FLAG_CONSTANTS_CLEAN;
    ZQ_Graphics_SetShaderPixelConstant(shader, 0, sizeof(float), &same);
    ZQ_Graphics_SetShaderPixelConstant(shader, 0, 16, nullptr);
    EXPECT_NE(0, shader->flags & SHADER_FLAG_CONSTANTS_CLEAN);  // unchanged values keep it clean
}

}  // namespace
