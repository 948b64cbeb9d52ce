// Compiled font files: the bytes SaveFontFile writes (built here from the layout, so the host
// and the Windows build must agree with them byte for byte), round trips, hand-built version 6
// and legacy files, and refused headers and truncated or oversized files.
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <thread>
#ifndef _WIN32
#include <sys/resource.h>

#include <csignal>
#endif

#include "FontTestSupport.h"
#include "FullDisk.h"
#include "filesystem/FileSystemApi.h"
#include "filesystem/NativePlatform.h"
#include "filesystem/SchemeRoots.h"
#include "fonts/FontFile.h"
#include "fonts/FontServices.h"

namespace {

// Little-endian byte builder for expected files.
struct Bytes {
    std::string data;
    Bytes& Text(const std::string& text) { data += text; data.push_back('\0'); return *this; }
    Bytes& U8(uint8_t v) { data.push_back(static_cast<char>(v)); return *this; }
    Bytes& U16(uint16_t v) { return U8(v & 0xFF).U8(v >> 8); }
    Bytes& U32(uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
    Bytes& F32(float v) { uint32_t b; memcpy(&b, &v, 4); return U32(b); }
    Bytes& Fill(size_t n, uint8_t v) { data.append(n, static_cast<char>(v)); return *this; }
};

class FontFileTest : public FontTest {
protected:
    bool ReadBytes(zq_font_t* font, const std::string& bytes) {
        return ZQI_ReadFontFromMemory(font, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }
};

TEST_F(FontFileTest, SavedFileHasTheVersion7LayoutAndReadsBackTheSame) {
    zq_font_t* font = NewFont();
    font->utf8 = 1;
    font->baseMetric = 17;
    font->size = 22;
    font->lineHeight = 26;
    font->distanceSpread = 4.0f;
    font->distanceSmoothing = 0.3f;
    font->scale = 0.5f;
    FontGlyph* zhe = AddGlyph(font, 0x416, 12, 2, 1, 9);
    zhe->yOffset = 2.5f;
    zhe->xOffset = -1;
    ZQI_EnsureGlyphKerning(zhe);
    zhe->kerning[65] = -7;
    AddGlyph(font, ' ', 5);

    Bytes expected;
    expected.Text("DIZ_Font_v7").Text("UTF-8").U32(17).U32(22).U32(26).F32(4.0f).F32(0.3f).F32(0.5f).U32(2);
    expected.U32(0x416).F32(2.5f).U16(0xFFFF).U16(12).U8(1).Fill(65, 0).U8(0xF9).Fill(190, 0).U16(2).U16(1);
    expected.U8(9).U8(0x16).U8(0).U8(255).U8(9).U8(0x16).U8(1).U8(255);
    expected.U32(' ').F32(0.0f).U16(0).U16(5).U8(0).U16(0).U16(0);
    ASSERT_TRUE(SaveFontFile(font, "res://saved.mft"));
    EXPECT_EQ(ReadResFile("saved.mft"), expected.data);

    zq_font_t* back = NewFont("res://saved.mft");
    ASSERT_TRUE(ReadFontFile(back));
    EXPECT_EQ(back->utf8, 1);
    EXPECT_EQ(back->baseMetric, 17);
    EXPECT_EQ(back->size, 22);
    EXPECT_EQ(back->lineHeight, 26);
    EXPECT_EQ(back->flags & FONT_FLAG_DISTANCE_FIELD, FONT_FLAG_DISTANCE_FIELD);
    EXPECT_FLOAT_EQ(back->distanceSmoothing, 0.3f);
    EXPECT_FLOAT_EQ(back->scale, 0.5f);
    const FontGlyph* glyph = ZQI_FONTS_FindGlyph(back, 0x416);
    ASSERT_NE(glyph, nullptr);
    EXPECT_FLOAT_EQ(glyph->yOffset, 2.5f);
    EXPECT_EQ(glyph->xOffset, -1);
    EXPECT_EQ(glyph->kerning[65], -7);
    EXPECT_EQ(memcmp(glyph->bitmap.pixels, zhe->bitmap.pixels, 8), 0);
    const FontGlyph* space = ZQI_FONTS_FindGlyph(back, ' ');
    EXPECT_EQ(space->kerning, nullptr);  // a glyph without kerning comes back without a row
    EXPECT_EQ(space->bitmap.pixels, nullptr);
}

// Only glyphs stored with a kerning row get one (256 bytes each), so a font without kerning
// takes memory near its file size and is written back byte for byte as it was read.
TEST_F(FontFileTest, OnlyGlyphsStoredWithKerningGetARow) {
    Bytes file;
    file.Text("DIZ_Font_v7").Text("UTF-8").U32(9).U32(10).U32(12).F32(0).F32(0).F32(1).U32(3);
    file.U32('A').F32(1.0f).U16(0).U16(6).U8(1).Fill(256, 0).U16(0).U16(0);  // a row of zeros
    file.U32('B').F32(2.0f).U16(0).U16(7).U8(0).U16(1).U16(1).U8(1).U8(2).U8(3).U8(4);
    file.U32(0x4E00).F32(0.0f).U16(0).U16(11).U8(0).U16(0).U16(0);
    zq_font_t* font = NewFont();
    ASSERT_TRUE(ReadBytes(font, file.data));
    EXPECT_NE(ZQI_FONTS_FindGlyph(font, 'A')->kerning, nullptr);
    EXPECT_EQ(ZQI_FONTS_FindGlyph(font, 'B')->kerning, nullptr);
    EXPECT_EQ(ZQI_FONTS_FindGlyph(font, 0x4E00)->kerning, nullptr);
    size_t size = 0;
    uint8_t* image = ZQI_WriteFontToMemory(font, &size);
    ASSERT_NE(image, nullptr);
    EXPECT_TRUE(std::string(reinterpret_cast<char*>(image), size) == file.data)
        << size << " bytes written for " << file.data.size() << " read";
    free(image);
}

TEST_F(FontFileTest, BlueFirstRendererSwapsRedAndBlueOnDiskOnly) {
    FontGraphicsHooks hooks = {};
    hooks.pixelOrderBlueFirst = 1;
    ZQI_SetFontGraphicsHooks(&hooks);
    zq_font_t* font = NewFont();
    AddGlyph(font, 'A', 3, 1, 1, 10);  // pixel 10, 'A', 0, 255
    size_t size = 0;
    uint8_t* image = ZQI_WriteFontToMemory(font, &size);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image[size - 4], 0);
    EXPECT_EQ(image[size - 2], 10);
    EXPECT_EQ(ZQI_FONTS_FindGlyph(font, 'A')->bitmap.pixels[0], 10);  // memory unchanged
    zq_font_t* back = NewFont();
    ASSERT_TRUE(ZQI_ReadFontFromMemory(back, image, size));
    EXPECT_EQ(ZQI_FONTS_FindGlyph(back, 'A')->bitmap.pixels[0], 10);
    free(image);
}

TEST_F(FontFileTest, Version6KeepsTheRecordsFloatsAndTheFirstOfTwoRecordsWins) {
    Bytes file;
    file.Text("DIZ_Font_v6").Text("LATIN-1").U32(11).U32(14).U32(16).U32(2);
    file.U32('A').U16(0xFFFD).U16(1).U16(9).U8(0).U16(1).U16(1).U8(1).U8(2).U8(3).U8(4);
    file.U32('A').U16(5).U16(0).U16(4).U8(0).U16(0).U16(0);
    zq_font_t* font = NewFont();
    ASSERT_TRUE(ReadBytes(font, file.data));
    EXPECT_EQ(font->utf8, 0);
    EXPECT_FLOAT_EQ(font->scale, 1.0f);
    EXPECT_EQ(font->flags & FONT_FLAG_DISTANCE_FIELD, 0);
    EXPECT_EQ(ZQI_GetFontGlyphCount(font), 1);
    const FontGlyph* a = ZQI_FONTS_FindGlyph(font, 'A');
    EXPECT_FLOAT_EQ(a->yOffset, -3.0f);
    EXPECT_EQ(a->advance, 9);
    EXPECT_EQ(a->bitmap.pixels[2], 3);
}

TEST_F(FontFileTest, LegacyVersionsReadTheirOwnFieldsAndByteOrders) {
    for (int version = 1; version <= 5; ++version) {
        SCOPED_TRACE(version);
        Bytes file;
        file.Text("DIZ_Font_v" + std::to_string(version)).Text("UTF-8").U32(3).U32(12).U32(15).Fill(256, 0xEE);
        for (uint32_t c = 0; c < 256; ++c) {
            bool pixels = c == 'A';
            file.U16(static_cast<uint16_t>(c % 5));
            if (version >= 2) file.U16(1);
            file.U16(77);
            if (version >= 4) file.U8(static_cast<uint8_t>(c % 3)).Fill(255, 0);
            file.U16(pixels ? 1 : 0).U16(pixels ? 1 : 0);
            if (version >= 3) file.U16(9);
            if (pixels) file.U8(10).U8(20).U8(30).U8(40);
        }
        zq_font_t* font = NewFont();
        ASSERT_TRUE(ReadBytes(font, file.data));
        EXPECT_EQ(font->utf8, 1);
        EXPECT_EQ(font->lineHeight, 15);
        EXPECT_EQ(ZQI_GetFontGlyphCount(font), 256);
        const FontGlyph* a = ZQI_FONTS_FindGlyph(font, 'A');
        EXPECT_FLOAT_EQ(a->yOffset, 'A' % 5);
        EXPECT_EQ(a->xOffset, version >= 2 ? 1 : 0);
        EXPECT_EQ(a->advance, version >= 3 ? 9 : 2);  // versions 1 and 2: width + 1
        EXPECT_EQ(a->kerning[0], version >= 4 ? 'A' % 3 : 0);
        EXPECT_EQ(a->bitmap.pixels[0], version == 5 ? 10 : 30);  // 1 to 4 are stored blue-first
        EXPECT_EQ(a->bitmap.pixels[3], 40);
    }
}

TEST_F(FontFileTest, BadHeadersAndTruncatedOrOversizedFilesAreRefused) {
    Bytes valid;
    valid.Text("DIZ_Font_v7").Text("LATIN-1").U32(1).U32(2).U32(3).F32(0).F32(0).F32(1).U32(1);
    valid.U32('A').F32(0).U16(0).U16(4).U8(1).Fill(256, 1).U16(2).U16(2).Fill(16, 7);
    const std::string corrupt = "Font 'res://test.mft' is truncated or corrupt.";
    struct Case {
        std::string bytes;
        std::string message;
    };
    std::vector<Case> cases = {
        {"DIZ_Font_vA" + std::string(1, '\0') + "rest", "Font 'res://test.mft' has invalid header ('DIZ_Font_vA')"},
        {"DIZ_Font_v8" + std::string(1, '\0'), "Font 'res://test.mft' has invalid header ('DIZ_Font_v8')"},
        {"DIZ_F", corrupt},
        {Bytes().Text("DIZ_Font_v7").Text("LATIN-1").U32(1).U32(2).U32(3).F32(0).F32(0).F32(1).U32(0xFFFFFFFF).data,
         corrupt},
        {Bytes().Text("DIZ_Font_v6").Text("X").U32(1).U32(2).U32(3).U32(1).U32('A').U16(0).U16(0).U16(4).U8(0)
             .U16(0xFFFF).U16(0xFFFF).Fill(64, 0).data,
         corrupt},
        {Bytes().Text("DIZ_Font_v3").Text("X").U32(1).data, corrupt},
    };
    for (size_t cut : {13u, 30u, 45u, 50u, 300u, 305u, 315u}) {
        cases.push_back({valid.data.substr(0, cut), corrupt});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes.size());
        ForgetMessages();
        zq_font_t* font = NewFont();
        EXPECT_FALSE(ReadBytes(font, c.bytes));
        EXPECT_TRUE(HasMessage(c.message));
        EXPECT_EQ(ZQI_GetFontGlyphCount(font), 0);
    }
    zq_font_t* font = NewFont();
    EXPECT_TRUE(ReadBytes(font, valid.data));
}

TEST_F(FontFileTest, StoredScaleThatIsNotAPositiveNumberReadsAsOne) {
    for (float stored : {0.0f, -2.0f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
        Bytes file;
        file.Text("DIZ_Font_v7").Text("LATIN-1").U32(1).U32(2).U32(3).F32(0).F32(0).F32(stored).U32(0);
        zq_font_t* font = NewFont();
        ASSERT_TRUE(ReadBytes(font, file.data));
        EXPECT_FLOAT_EQ(font->scale, 1.0f);
    }
}

TEST_F(FontFileTest, SavingWhereNoFileCanBeOpenedFails) {
    zq_font_t* font = NewFont();
    EXPECT_FALSE(SaveFontFile(font, "res://no\x01valid/name.mft"));
    EXPECT_TRUE(HasMessage("Failed to save font 'res://no\x01valid/name.mft'"));
    EXPECT_FALSE(ReadFontFile(NewFont("res://missing.mft")));
    EXPECT_TRUE(HasMessage("Font 'res://missing.mft' file not found."));
}

// A save that fails part way leaves the font file that was there whole: the bytes go to a
// temporary file that replaces the target only once it is complete.
TEST_F(FontFileTest, FailedSaveLeavesThePreviousFileWhole) {
    zq_font_t* old = NewFont();
    old->size = 11;
    AddGlyph(old, 'A', 4, 2, 2);
    ASSERT_TRUE(SaveFontFile(old, "res://kept.mft"));
    const std::string before = ReadResFile("kept.mft");
    ASSERT_FALSE(before.empty());

    zq_font_t* big = NewFont();
    big->size = 40;
    AddGlyph(big, 'B', 40, 128, 128);  // 64 KiB of pixels
    // A folder where the temporary file would go: the save cannot even start.
    WriteResFile("kept.mft.tmp/blocker", "x");
    EXPECT_FALSE(SaveFontFile(big, "res://kept.mft"));
    EXPECT_TRUE(HasMessage("Failed to save font 'res://kept.mft'"));
    EXPECT_TRUE(ReadResFile("kept.mft") == before) << ReadResFile("kept.mft").size() << " bytes";
    std::filesystem::remove_all(std::filesystem::path(ResPath("kept.mft.tmp")));
#ifndef _WIN32
    // The disk fills up part way through the write (a file size limit stands in for it).
    struct rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit limited = saved;
    limited.rlim_cur = 1000;
    void (*previous)(int) = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const bool saved_ok = SaveFontFile(big, "res://kept.mft");
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, previous);
    EXPECT_FALSE(saved_ok);
    EXPECT_TRUE(ReadResFile("kept.mft") == before) << ReadResFile("kept.mft").size() << " bytes";
    EXPECT_FALSE(std::filesystem::exists(ResPath("kept.mft.tmp")));  // nothing left behind
#endif
    // A small font fits the C runtime's buffer: a full disk shows only when it is flushed.
    zq_font_t* small = NewFont();
    small->size = 12;
    AddGlyph(small, 'C', 4, 2, 2);
    {
        EngineTest::ScopedFullDisk full(SCHEME_RES, "kept.mft.tmp");
        EXPECT_FALSE(SaveFontFile(small, "res://kept.mft"));
        EXPECT_EQ(full.System().failedOpenings, 1);
    }
    EXPECT_TRUE(ReadResFile("kept.mft") == before) << ReadResFile("kept.mft").size() << " bytes";
    EXPECT_FALSE(std::filesystem::exists(ResPath("kept.mft.tmp")));
    // A save that succeeds replaces the file and leaves no temporary file.
    ASSERT_TRUE(SaveFontFile(big, "res://kept.mft"));
    zq_font_t* back = NewFont("res://kept.mft");
    ASSERT_TRUE(ReadFontFile(back));
    EXPECT_EQ(back->size, 40);
    EXPECT_FALSE(std::filesystem::exists(ResPath("kept.mft.tmp")));
}

// Another instance of the game saving the same font holds the folder's lock while its temporary
// file lies beside the font: this save waits for it rather than writing into that file, then saves
// whole. (A thread stands in for the instance: the lock tells them apart too.)
TEST_F(FontFileTest, ASaveWaitsForAnotherInstanceSavingIntoTheSameFolder) {
    const std::string theirs = "the other instance's save, half written";
    const std::string folder = std::filesystem::path(ResPath("kept.mft")).parent_path().generic_string();
    std::atomic<int> stage{0};
    bool untouched = false;
    std::thread other([&] {
        intptr_t lock = 0;
        if (ZQI_NativeLockFolder(folder.c_str(), 1000, &lock) != NATIVE_LOCK_TAKEN) {
            stage = -1;
            return;
        }
        WriteResFile("kept.mft.tmp", theirs);
        stage = 1;
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        untouched = ReadResFile("kept.mft.tmp") == theirs;
        std::error_code error;
        std::filesystem::rename(ResPath("kept.mft.tmp"), ResPath("kept.mft"), error);  // its commit
        ZQI_NativeUnlockFolder(lock);
    });
    while (stage == 0) std::this_thread::yield();
    zq_font_t* font = NewFont();
    font->size = 11;
    AddGlyph(font, 'A', 4, 2, 2);
    const bool saved = stage == 1 && SaveFontFile(font, "res://kept.mft");
    other.join();
    ASSERT_EQ(1, stage.load()) << "the folder's lock was not taken";
    EXPECT_TRUE(untouched) << "written into the other instance's temporary file";
    EXPECT_TRUE(saved);
    zq_font_t* back = NewFont("res://kept.mft");
    ASSERT_TRUE(ReadFontFile(back));
    EXPECT_EQ(back->size, 11);
}

// The save system keeps a save in memory until unmounting stores it whole, so the temporary a
// font is written to first is moved over the font there too, and reads back after the unmount.
TEST_F(FontFileTest, AFontSavedIntoTheSaveFolderIsStoredAtUnmount) {
    const String previousRoot = ZQI_GetSchemeRoot(SCHEME_SAVE);
    std::filesystem::create_directories(ResPath("save-root"));
    ZQI_SetSchemeRoot(SCHEME_SAVE, ResPath("save-root").c_str());
    ASSERT_TRUE(ZQ_FileSystem_Mount("save", 0));
    zq_font_t* font = NewFont();
    font->size = 13;
    AddGlyph(font, 'A', 4, 2, 2);
    EXPECT_TRUE(SaveFontFile(font, "save://saved.mft"));
    ZQ_FileSystem_Unmount("save");
    ASSERT_TRUE(ZQ_FileSystem_Mount("save", 0));
    zq_font_t* back = NewFont("save://saved.mft");
    EXPECT_TRUE(ReadFontFile(back));
    EXPECT_EQ(back->size, 13);
    EXPECT_FALSE(ZQ_FileSystem_FileExists("save://saved.mft.tmp"));
    ZQ_FileSystem_Unmount("save");
    ZQI_SetSchemeRoot(SCHEME_SAVE, previousRoot.CStr());
    std::filesystem::remove_all(ResPath("save-root"));
}

}  // namespace
