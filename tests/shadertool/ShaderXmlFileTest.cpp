// The Shader XML reader on files: documents through the data manager, source files and
// modification times through the engine's file system (UseEngineFileSystem), definition
// include files, and pixel texture bitmaps through the graphics interface.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ShaderXmlTestSupport.h"
#include "core/ApiTable.h"
#include "data/DataManager.h"
#include "shadertool/SourceFiles.h"

using namespace ShaderTool;
using ShaderToolTest::ShaderXmlRead;
using ShaderToolTest::WriteResFile;

namespace {

std::string Error(const std::string& message) {
    return "Error: " + message + "\n";
}

const char kHead[] =
    "<?xml version=\"1.0\"?>\n<root>\n"
    "<array id=\"info\"><node id=\"version\" value=\"2\"/><node id=\"revision\" value=\"4\"/></array>\n";

TEST(ShaderXmlFile, SourcesFromFilesAndInlineText) {
    WriteResFile("files/a.vertex", "void main()\r\n{\r\n}\r\n");
    const std::string path = WriteResFile("files/a.xml", std::string(kHead) +
                                                             "<array id=\"sources\">\n"
                                                             "<node type=\"vertex\" file=\"a.vertex\"/>\n"
                                                             "<node type=\"pixel\"><![CDATA[\n"
                                                             "void main() {}\n"
                                                             "]]></node>\n"
                                                             "</array>\n</root>\n");
    ShaderXmlRead read;
    ASSERT_TRUE(read.FromFile(path)) << read.Messages();
    const ShaderDescription& d = read.description;
    ASSERT_EQ(d.sources.count, 2);
    EXPECT_STREQ(d.sources[0].fileName.CStr(), "res://files/a.vertex");
    EXPECT_STREQ(d.sources[0].text.CStr(), "void main()\r\n{\r\n}\r\n");
    EXPECT_EQ(d.sources[0].firstLine, 1);
    EXPECT_STREQ(d.sources[1].fileName.CStr(), "res://files/a.xml");
    EXPECT_STREQ(d.sources[1].text.CStr(), "void main() {}\n");
    EXPECT_EQ(d.sources[1].firstLine, 7);
    EXPECT_GT(d.modificationTime, 0);
    EXPECT_STREQ(read.reader.directory.CStr(), "res://files/");
}

TEST(ShaderXmlFile, TextInMemoryWithItsPath) {
    WriteResFile("memory/b.pixel", "void main() {}");
    const std::string xml = std::string(kHead) +
                            "<array id=\"sources\"><node type=\"vertex\"><![CDATA[x]]></node>"
                            "<node type=\"pixel\" file=\"b.pixel\"/></array></root>\n";
    ShaderXmlRead read;
    ShaderToolTest::ScopedEngineFiles files;
    ASSERT_TRUE(
        read.reader.ReadText("res://memory/b.xml", xml.data(), static_cast<int32_t>(xml.size()), false))
        << read.Messages();
    ASSERT_EQ(read.description.sources.count, 2);
    EXPECT_STREQ(read.description.sources[0].fileName.CStr(), "res://memory/b.xml");
    EXPECT_EQ(read.description.sources[0].firstLine, 4);
    EXPECT_STREQ(read.description.sources[1].fileName.CStr(), "res://memory/b.pixel");
    EXPECT_STREQ(read.description.sources[1].text.CStr(), "void main() {}");
    EXPECT_EQ(read.description.modificationTime, 0);  // no file was read for the document
}

TEST(ShaderXmlFile, MissingSourceFile) {
    const std::string path = WriteResFile("missing/a.xml", std::string(kHead) +
                                                               "<array id=\"sources\"><node type=\"pixel\" "
                                                               "file=\"nowhere.pixel\"/></array></root>\n");
    ShaderXmlRead read;
    EXPECT_FALSE(read.FromFile(path));
    EXPECT_EQ(read.Messages(),
              Error("failed to open or read shader source file 'res://missing/nowhere.pixel'."));
    EXPECT_EQ(read.description.modificationTime, 0);
}

TEST(ShaderXmlFile, MissingDocumentReadsAsNoShaderXml) {
    ShaderXmlRead read;
    read.description.version = 0x20004;
    EXPECT_TRUE(read.FromFile("res://nothing/here.xml"));
    EXPECT_EQ(read.description.version, 0u);
    EXPECT_EQ(read.Messages(), "");
}

TEST(ShaderXmlFile, ReloadReadsTheFileAgain) {
    const std::string path = WriteResFile("reload/a.xml", std::string(kHead) +
                                                              "<array id=\"sources\"><node type=\"vertex\">"
                                                              "<![CDATA[first]]></node></array></root>\n");
    ShaderXmlRead first;
    ASSERT_TRUE(first.FromFile(path));
    WriteResFile("reload/a.xml", std::string(kHead) +
                                     "<array id=\"sources\"><node type=\"vertex\"><![CDATA[second]]></node>"
                                     "</array></root>\n");
    ShaderXmlRead second;
    ASSERT_TRUE(second.FromFile(path));
    ASSERT_EQ(second.description.sources.count, 1);
    EXPECT_STREQ(second.description.sources[0].text.CStr(), "second");
}

TEST(ShaderXmlFile, ReadShaderSourcesAlone) {
    const std::string path = WriteResFile("alone/a.xml", std::string(kHead) +
                                                             "<array id=\"sources\"><node type=\"vertex\">"
                                                             "<![CDATA[x]]></node></array></root>\n");
    ShaderXmlRead read;
    ASSERT_TRUE(read.FromFile(path));
    read.description.sources.Clear();
    ShaderToolTest::ScopedEngineFiles files;
    EXPECT_TRUE(read.reader.ReadShaderSources());
    EXPECT_EQ(read.description.sources.count, 1);
}

TEST(ShaderXmlFile, DefinitionIncludeFiles) {
    WriteResFile(
        "include/common/defs.xml",
        "<?xml version=\"1.0\"?>\n<root><array id=\"definitions\"><node id=\"B\" value=\"2\"/>"
        "<node id=\"A\" value=\"3.0\"/></array><array id=\"constants\"><node id=\"Z\" value=\"1\"/></array>"
        "</root>\n");
    const std::string path = WriteResFile(
        "include/a.xml",
        std::string(kHead) +
            "<array id=\"definitions\"><node id=\"A\" value=\"1\"/><node file=\"common/defs.xml\"/>"
            "<node id=\"C\" value=\"c\"/></array>"
            "<array id=\"sources\"><node type=\"vertex\"><![CDATA[x]]></node></array></root>\n");
    ShaderXmlRead read;
    ASSERT_TRUE(read.FromFile(path)) << read.Messages();
    const Array<ShaderDefinition>& d = read.description.definitions;
    ASSERT_EQ(d.count, 3);
    EXPECT_STREQ(d[0].name.CStr(), "A");
    EXPECT_STREQ(d[0].value.CStr(), "3.0");
    EXPECT_EQ(d[0].literalKind, TYPE_INT);
    EXPECT_STREQ(d[1].name.CStr(), "B");
    EXPECT_STREQ(d[2].name.CStr(), "C");
    DataManager::UnloadDatabaseByName("res://include/common/defs.xml");
}

TEST(ShaderXmlFile, OlderDocumentsIncludeTheConstantsArray) {
    WriteResFile(
        "older/defs.xml",
        "<?xml version=\"1.0\"?>\n<root><array id=\"definitions\"><node id=\"B\" value=\"2\"/></array>"
        "<array id=\"constants\"><node id=\"Z\" value=\"1\"/></array></root>\n");
    const std::string path =
        WriteResFile("older/a.xml",
                     "<?xml version=\"1.0\"?>\n<root><array id=\"info\"><node id=\"version\" "
                     "value=\"2\"/><node id=\"revision\" "
                     "value=\"3\"/></array><array id=\"constants\"><node file=\"defs.xml\"/></array>"
                     "<array id=\"sources\"><node type=\"vertex\"><![CDATA[x]]></node></array></root>\n");
    ShaderXmlRead read;
    ASSERT_TRUE(read.FromFile(path)) << read.Messages();
    ASSERT_EQ(read.description.definitions.count, 1);
    EXPECT_STREQ(read.description.definitions[0].name.CStr(), "Z");
    DataManager::UnloadDatabaseByName("res://older/defs.xml");
}

TEST(ShaderXmlFile, IncludeFaults) {
    WriteResFile("faults/nested.xml",
                 "<?xml version=\"1.0\"?>\n<root><array id=\"definitions\"><node id=\"N\" value=\"1\"/>"
                 "<node file=\"other.xml\"/><node id=\"M\" value=\"2\"/></array></root>\n");
    const std::string path =
        WriteResFile("faults/a.xml",
                     std::string(kHead) +
                         "<array id=\"definitions\"><node file=\"nested.xml\"/><node file=\"absent.xml\"/>"
                         "<node id=\"K\" value=\"1\"/></array>"
                         "<array id=\"sources\"><node type=\"vertex\"><![CDATA[x]]></node></array></root>\n");
    ShaderXmlRead read;
    EXPECT_FALSE(read.FromFile(path));
    EXPECT_EQ(read.Messages(),
              Error("definition / general constant files are not allowed outside Shader XMLs.") +
                  Error("definition / general constant file path 'res://faults/absent.xml' does "
                        "not exist."));
    ASSERT_EQ(read.description.definitions.count, 1);
    EXPECT_STREQ(read.description.definitions[0].name.CStr(), "N");
    DataManager::UnloadDatabaseByName("res://faults/nested.xml");
}

// ---- Engine file services ----------------------------------------------------------------------

TEST(ShaderEngineFiles, ReadsWholeFilesAndTimes) {
    WriteResFile("services/a.txt", std::string("one\r\ntwo\0three", 14));
    ShaderToolTest::ScopedEngineFiles files;
    String text;
    EXPECT_EQ(ReadSourceFile("res://services/a.txt", &text), SOURCE_FILE_READ);
    EXPECT_STREQ(text.CStr(), "one\r\ntwo");  // the text ends at a NUL byte
    EXPECT_EQ(ReadSourceFile("res://services/none.txt", &text), SOURCE_FILE_NOT_FOUND);
    EXPECT_STREQ(text.CStr(), "");
    int32_t seconds = 0;
    EXPECT_TRUE(GetSourceFileTime("res://services/a.txt", &seconds));
    EXPECT_GT(seconds, 0);
    EXPECT_FALSE(GetSourceFileTime("res://services/none.txt", &seconds));
}

TEST(ShaderEngineFiles, EmptyFile) {
    WriteResFile("services/empty.txt", "");
    ShaderToolTest::ScopedEngineFiles files;
    String text("old");
    EXPECT_EQ(ReadSourceFile("res://services/empty.txt", &text), SOURCE_FILE_READ);
    EXPECT_STREQ(text.CStr(), "");
}

TEST(ShaderEngineFiles, WithoutServicesNothingOpens) {
    WriteResFile("services/b.txt", "x");
    String text;
    EXPECT_EQ(ReadSourceFile("res://services/b.txt", &text), SOURCE_FILE_NOT_FOUND);
}

// ---- Bitmaps through the graphics interface ----------------------------------------------------

std::vector<std::string> g_requested;
int g_released = 0;
zq_bitmap_t* g_bitmap = reinterpret_cast<zq_bitmap_t*>(static_cast<uintptr_t>(0x1000));

// Each source is taken as a load (counted every call), keeping its texture.
zq_bitmap_t* FakeLoadBitmap(const char* name, int32_t cacheMode) {
    g_requested.push_back(name + std::string(cacheMode == CACHE_TEXTURE ? "" : " (not CACHE_TEXTURE)"));
    return std::string(name) == "missing.png" ? nullptr : g_bitmap;
}

void FakeReleaseBitmap(zq_bitmap_t* bitmap) {
    g_released += bitmap == g_bitmap ? 1 : 100;
}

class ShaderXmlBitmaps : public ::testing::Test {
protected:
    void SetUp() override {
        graphics_ = ZQI_GetApi()->graphics;
        ASSERT_NE(graphics_, nullptr);
        saved_ = *graphics_;
        graphics_->LoadBitmap = FakeLoadBitmap;
        graphics_->ReleaseBitmap = FakeReleaseBitmap;
        g_requested.clear();
        g_released = 0;
    }
    void TearDown() override { *graphics_ = saved_; }

    zq_graphics_api_t* graphics_ = nullptr;
    zq_graphics_api_t saved_;
};

TEST_F(ShaderXmlBitmaps, SourcesAreCountedReferencesGivenBackWhenNotKept) {
    ShaderXmlRead read;
    EXPECT_FALSE(
        read.FromText(std::string(kHead) +
                      "<array id=\"pixel_textures\"><node id=\"a\" type=\"2D\" source=\"wood.png\"/>"
                      "<node id=\"b\" type=\"2D\" source=\"missing.png\"/>"
                      "<node id=\"c\" type=\"2D\" source=\"stone.png\"/><node id=\"d\" type=\"2D\"/></array>"
                      "<array id=\"sources\"><node type=\"pixel\"><![CDATA[x]]></node></array></root>\n"));
    EXPECT_EQ(read.Messages(), Error("pixel texture variable 'b' has invalid source."));
    EXPECT_EQ(g_requested, (std::vector<std::string>{"wood.png", "missing.png", "stone.png"}));
    ASSERT_EQ(read.description.pixelTextures.count, 1);
    EXPECT_EQ(read.description.pixelTextures[0].source, g_bitmap);
    EXPECT_EQ(g_released, 1);  // stone.png: read after the fault, not kept
}

}  // namespace
