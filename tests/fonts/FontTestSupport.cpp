// Helpers of the font tests (see FontTestSupport.h).
#include "FontTestSupport.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "EngineTestFiles.h"
#include "core/Threads.h"
#include "data/DataManager.h"
#include "filesystem/FileSystemApi.h"
#include "fonts/FontMessages.h"
#include "fonts/FontServices.h"
#include "fonts/FontTable.h"

namespace {

namespace fs = std::filesystem;

std::vector<FontMessage> g_messages;

void Record(FontMessageKind kind, int32_t level, const char* text) {
    g_messages.push_back({kind, level, text != nullptr ? text : ""});
}

EngineTest::FileSystemsEnvironment* const g_environment = static_cast<EngineTest::FileSystemsEnvironment*>(
    ::testing::AddGlobalTestEnvironment(
        new EngineTest::FileSystemsEnvironment("zq_fonts_tests", {{SCHEME_RES, "res"}, {SCHEME_USER, "user"}})));

}  // namespace

void FontTest::SetUp() {
    g_messages.clear();
    ZQI_InitializeMainThread();
    ZQI_SetFontMessageObserver(Record);
    ZQI_SetFontGraphicsHooks(nullptr);
    *ZQI_GetThreadTextSettings() = ZQI_DefaultTextSettings();
    if (!ZQ_FileSystem_SearchPathExists("res://")) {
        ZQ_FileSystem_AddSearchPath("res://", false);
    }
}

void FontTest::TearDown() {
    for (zq_font_t* font : fonts_) {
        FreeFontGlyphTable(font);
        free(font->atlas.pixels);
        free(font->name);
        delete font;
    }
    fonts_.clear();
    ZQI_ResetFontTable();
    ZQI_SetFontMessageObserver(nullptr);
    ZQI_SetFontGraphicsHooks(nullptr);
}

zq_font_t* FontTest::NewFont(const char* name) {
    zq_font_t* font = new zq_font_t();
    font->name = strdup(name);
    font->scale = 1.0f;
    font->kind = 3;
    font->loaded.store(1);
    CreateFontGlyphTable(font, false);
    fonts_.push_back(font);
    return font;
}

FontGlyph* FontTest::AddGlyph(zq_font_t* font, uint32_t code, int16_t advance, int32_t w, int32_t h, uint8_t shade) {
    FontGlyph glyph = ZQI_EmptyFontGlyph();
    glyph.advance = advance;
    if (w > 0 && h > 0) {
        uint8_t* pixels = static_cast<uint8_t*>(malloc(static_cast<size_t>(w) * h * 4));
        for (int32_t i = 0; i < w * h; ++i) {
            pixels[i * 4] = shade;
            pixels[i * 4 + 1] = static_cast<uint8_t>(code);
            pixels[i * 4 + 2] = static_cast<uint8_t>(i);
            pixels[i * 4 + 3] = 255;
        }
        ZQI_SetGlyphPixels(&glyph, pixels, w, h);
    }
    FontGlyph* stored = ZQI_InsertFontGlyph(font->glyphs, code, glyph);
    ZQI_RefillFontGlyphDirectArray(font->glyphs);
    return stored;
}

void FontTest::WriteResFile(const std::string& relative, const std::string& bytes) {
    fs::path path = fs::path(g_environment->ScratchPath("res")) / relative;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
    DataManager::UnloadDatabaseByName(("res://" + relative).c_str());
    DataManager::UnloadDatabaseByName(relative.c_str());
}

std::string FontTest::ResPath(const std::string& relative) {
    return (fs::path(g_environment->ScratchPath("res")) / relative).string();
}

std::string FontTest::ReadResFile(const std::string& relative) {
    std::ifstream in(fs::path(g_environment->ScratchPath("res")) / relative, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string FontTest::DejaVuPath(const char* file) {
    return std::string(ZQ_TEST_DEJAVU_DIR) + "/" + file;
}

void FontTest::CopyDejaVu(const char* file, const std::string& relative) {
    std::ifstream in(DejaVuPath(file), std::ios::binary);
    ASSERT_TRUE(in.good()) << DejaVuPath(file);
    std::stringstream bytes;
    bytes << in.rdbuf();
    WriteResFile(relative, bytes.str());
}

const std::vector<FontMessage>& FontTest::Messages() const {
    return g_messages;
}

bool FontTest::HasMessage(const std::string& text) const {
    for (const FontMessage& message : g_messages) {
        if (message.text == text) return true;
    }
    return false;
}

int FontTest::CountMessagesContaining(const std::string& part) const {
    int count = 0;
    for (const FontMessage& message : g_messages) {
        if (message.text.find(part) != std::string::npos) ++count;
    }
    return count;
}

void FontTest::ForgetMessages() {
    g_messages.clear();
}

std::string SourceNode(const std::string& id, const std::vector<std::pair<std::string, std::string>>& keys) {
    std::string text = "<node id=\"" + id + "\"";
    for (const auto& key : keys) {
        text += " " + key.first + "=\"" + key.second + "\"";
    }
    return text + "/>\n";
}

std::string SourceArray(const std::string& id, const std::string& nodes) {
    return "<array id=\"" + id + "\">\n" + nodes + "</array>\n";
}

std::string SourceDocument(const std::string& arrays) {
    return "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n<root>\n" + arrays + "</root>\n";
}
