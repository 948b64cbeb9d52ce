// Shared set-up of the font tests: the engine's file systems with res:// (also a search path) in
// a scratch folder, every font message recorded, DejaVu fonts copied in, and builders of
// hand-made fonts and font sources.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "fonts/Font.h"

struct FontMessage {
    int32_t kind;  // FontMessageKind
    int32_t level;
    std::string text;
};

class FontTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A font record outside the table, freed at the end of the test.
    zq_font_t* NewFont(const char* name = "res://test.mft");
    // Gives the font a glyph with a solid w x h bitmap (pixel bytes r, g, b, 255).
    FontGlyph* AddGlyph(zq_font_t* font, uint32_t code, int16_t advance, int32_t w = 0, int32_t h = 0,
                        uint8_t shade = 200);

    void WriteResFile(const std::string& relative, const std::string& bytes);
    std::string ReadResFile(const std::string& relative);
    // The host path of res://<relative>.
    static std::string ResPath(const std::string& relative);
    // Copies a DejaVu font (e.g. "DejaVuSans.ttf") to res://<relative>.
    void CopyDejaVu(const char* file, const std::string& relative);
    static std::string DejaVuPath(const char* file);

    const std::vector<FontMessage>& Messages() const;
    // True when some message's text equals text exactly.
    bool HasMessage(const std::string& text) const;
    int CountMessagesContaining(const std::string& part) const;
    void ForgetMessages();

private:
    std::vector<zq_font_t*> fonts_;
};

// "<node id=... k="v"/>" builders for font sources.
std::string SourceNode(const std::string& id, const std::vector<std::pair<std::string, std::string>>& keys);
std::string SourceArray(const std::string& id, const std::string& nodes);
std::string SourceDocument(const std::string& arrays);
