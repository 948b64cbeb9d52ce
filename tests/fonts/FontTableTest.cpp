// The font table's counting and slots, the glyph index, and font loading without a renderer.
#include <cstring>
#include <set>
#include <thread>
#include <vector>

#include "FontTestSupport.h"
#include "core/NamedMutex.h"
#include "core/ApiTable.h"
#include "fonts/FontApi.h"
#include "fonts/FontFile.h"
#include "fonts/FontLoading.h"
#include "fonts/FontMessages.h"
#include "fonts/FontServices.h"
#include "fonts/FontTable.h"
#include "graphics/AtlasPacking.h"

namespace {

class FontTableTest : public FontTest {};

TEST_F(FontTableTest, GetIsCountedOnceLoadEveryTimeAndBangNamesNever) {
    zq_font_t* font = ZQI_FONTS_GetOrLoadFont("!NONE", true);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(ZQI_FONTS_GetOrLoadFont("!NONE", false), font);
    EXPECT_EQ(font->referenceCount, 1);

    zq_font_t* counted = ZQI_FONTS_GetOrLoadFont("res://a!NONE", true);
    EXPECT_EQ(ZQI_FONTS_GetOrLoadFont("res://a!NONE", true), counted);
    EXPECT_EQ(ZQI_FONTS_GetOrLoadFont("res://a!NONE", false), counted);
    EXPECT_EQ(counted->referenceCount, 2);
    EXPECT_EQ(counted->flags & FONT_FLAG_GET_COUNTED, FONT_FLAG_GET_COUNTED);
    EXPECT_EQ(counted->kind, 3u);
    EXPECT_EQ(counted->slot, 1u);
    // The empty font: 256 glyphs without pixels, size 0, no atlas, yet loaded.
    EXPECT_EQ(ZQI_GetFontGlyphCount(counted), 256);
    EXPECT_EQ(counted->size, 0);
    EXPECT_FALSE(ZQI_RecreateFontAtlas(counted));
    EXPECT_EQ(counted->loaded.load(), 1);
}

TEST_F(FontTableTest, ThirtyThirdFontIsRefusedAndAReleasedSlotIsReused) {
    for (int i = 0; i < FONT_TABLE_SIZE; ++i) {
        std::string name = "f" + std::to_string(i) + "!NONE";
        ASSERT_NE(ZQI_FONTS_GetOrLoadFont(name.c_str(), false), nullptr) << i;
    }
    EXPECT_EQ(ZQI_FONTS_GetOrLoadFont("one-too-many!NONE", false), nullptr);
    EXPECT_TRUE(HasMessage("Out of free fonts."));
    zq_font_t* seventh = ZQI_GetFontSlot(7);
    ZQI_FONTS_ReleaseFont(seventh);
    EXPECT_EQ(seventh->name, nullptr);
    EXPECT_EQ(ZQI_FONTS_GetOrLoadFont("newcomer!NONE", false), seventh);
    EXPECT_EQ(ZQI_GetFontUsedCount(), FONT_TABLE_SIZE);
    ZQI_FONTS_ReleaseFont(nullptr);
    EXPECT_TRUE(HasMessage("Trying to release null font in ZQI_FONTS_ReleaseFont."));
}

TEST_F(FontTableTest, DirectArrayServesBelow2048AndTheMapAbove) {
    zq_font_t* font = NewFont();
    AddGlyph(font, 2047, 1);
    AddGlyph(font, 2048, 2);
    EXPECT_EQ(ZQI_FONTS_FindGlyph(font, 2047)->advance, 1);
    EXPECT_EQ(ZQI_FONTS_FindGlyph(font, 2048)->advance, 2);
    EXPECT_EQ(ZQI_FONTS_FindGlyph(font, 2046), nullptr);
    EXPECT_EQ(ZQI_FONTS_FindGlyph(font, 2049), nullptr);
    // Inserted without a refill: only the map knows it yet.
    ZQI_InsertFontGlyph(font->glyphs, 65, ZQI_EmptyFontGlyph());
    EXPECT_EQ(ZQI_FONTS_FindGlyph(font, 65), nullptr);
    ZQI_RefillFontGlyphDirectArray(font->glyphs);
    EXPECT_NE(ZQI_FONTS_FindGlyph(font, 65), nullptr);
    // Many code points through bucket growth; each found, the first insertion kept.
    for (uint32_t c = 0x10000; c < 0x10000 + 3000; ++c) {
        FontGlyph glyph = ZQI_EmptyFontGlyph();
        glyph.advance = static_cast<int16_t>(c & 0x7FFF);
        ASSERT_NE(ZQI_InsertFontGlyph(font->glyphs, c, glyph), nullptr);
    }
    EXPECT_EQ(ZQI_InsertFontGlyph(font->glyphs, 0x10005, ZQI_EmptyFontGlyph()), nullptr);
    for (uint32_t c = 0x10000; c < 0x10000 + 3000; ++c) {
        ASSERT_EQ(ZQI_FONTS_FindGlyph(font, c)->advance, static_cast<int16_t>(c & 0x7FFF));
    }
}

TEST_F(FontTableTest, FnvHashOfTheFourBytesLowestFirst) {
    // 64-bit FNV-1a of the four bytes, lowest first, worked out apart from the engine (the same
    // arithmetic gives 0xaf63dc4c8601ec8c for the single byte 'a', the published test vector).
    const struct {
        uint32_t code;
        uint64_t hash;
    } cases[] = {
        {0x00000000, 0x4d25767f9dce13f5ull},  // bytes 00 00 00 00
        {0x00000041, 0xabd5cc8cd5077ba4ull},  // bytes 41 00 00 00
        {0x12345678, 0xcccfd053e47c3365ull},  // bytes 78 56 34 12
        {0x0010FFFF, 0x98c349653db26a6bull},  // bytes ff ff 10 00
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ZQI_HashGlyphCode(c.code), c.hash) << std::hex << c.code;
    }
}

// Code points whose glyph-map hashes share their low 16 bits: all of them fall into one bucket
// until the map has more than 65536 buckets. The low 16 bits of FNV-1a depend only on the low 16
// bits of each step, so for every first three bytes at most one last byte hits the target.
std::vector<uint32_t> CodesWithLow16Hash(uint16_t target, size_t wanted) {
    const uint32_t prime = 0x01b3;  // the low 16 bits of the 64-bit FNV prime 0x100000001b3
    const uint32_t basis = 0x2325;  // the low 16 bits of the offset basis
    // The inverse of the prime modulo 2^16, found by Newton's iteration.
    uint32_t inverse = prime;
    for (int i = 0; i < 4; ++i) inverse = (inverse * (2 - prime * inverse)) & 0xFFFF;
    const uint32_t beforeLast = (target * inverse) & 0xFFFF;  // state XOR last byte
    std::vector<uint32_t> codes;
    for (uint32_t low3 = 0; low3 < (1u << 24) && codes.size() < wanted; ++low3) {
        uint32_t h = basis;
        for (int i = 0; i < 3; ++i) h = ((h ^ ((low3 >> (8 * i)) & 0xFF)) * prime) & 0xFFFF;
        const uint32_t last = h ^ beforeLast;
        if (last <= 0xFF) codes.push_back(low3 | (last << 24));
    }
    return codes;
}

uint64_t InsertAndCountProbes(const std::vector<uint32_t>& codes) {
    FontGlyphTable* table = ZQI_NewFontGlyphTable();
    for (uint32_t code : codes) ZQI_InsertFontGlyph(table, code, ZQI_EmptyFontGlyph());
    uint64_t probes = table->insertProbes;
    for (uint32_t code : codes) {
        EXPECT_NE(ZQI_FindFontGlyphInMap(table, code), nullptr);
        probes += ZQI_CountFontGlyphProbes(table, code);
    }
    EXPECT_EQ(ZQI_InsertFontGlyph(table, codes[codes.size() / 2], ZQI_EmptyFontGlyph()), nullptr);
    ZQI_DeleteFontGlyphTable(table);
    return probes;
}

// However the code points are chosen, inserting n glyphs and looking each up again visits
// O(n log n) glyphs. A balanced tree of n glyphs is at most 1.45 log2(n) deep; each insertion
// searches and descends once, each lookup once, and the bucket doublings re-insert at most 2 n
// glyphs in all: under 8 n log2(n) visits for 65536 glyphs in one bucket, where chained buckets
// need n^2 / 2 (about 2 billion). Ordinary code points stay near one visit per lookup.
TEST_F(FontTableTest, GlyphMapStaysNearLinearWhenEveryHashCollides) {
    const size_t n = 65536;
    const std::vector<uint32_t> colliding = CodesWithLow16Hash(0x5A5A, n);
    ASSERT_EQ(colliding.size(), n);
    for (size_t i = 0; i < n; i += 4099) {
        ASSERT_EQ(ZQI_HashGlyphCode(colliding[i]) & 0xFFFF, 0x5A5Au) << colliding[i];
    }
    EXPECT_LE(InsertAndCountProbes(colliding), 8 * n * 16);
    std::vector<uint32_t> ordinary;
    for (uint32_t c = 0; c < n; ++c) ordinary.push_back(0x10000 + c);
    EXPECT_LE(InsertAndCountProbes(ordinary), 6 * n);
}

TEST_F(FontTableTest, LatinFontGetsLowerCaseCopiesWithSharedPixelsAndKerning) {
    zq_font_t* font = NewFont();
    FontGlyph* a = AddGlyph(font, 'A', 7, 3, 4);
    FontGlyph* b = AddGlyph(font, 'B', 6, 2, 2);
    ZQI_EnsureGlyphKerning(a);
    ZQI_EnsureGlyphKerning(b);
    b->kerning['A'] = -2;
    a->kerning['B'] = -3;
    ASSERT_TRUE(ZQI_AddLowerCaseCopies(font));
    const FontGlyph* lowerB = ZQI_FONTS_FindGlyph(font, 'b');
    ASSERT_NE(lowerB, nullptr);
    EXPECT_EQ(lowerB->advance, 6);
    EXPECT_EQ(lowerB->bitmap.pixels, nullptr);
    EXPECT_EQ(lowerB->bitmap.width, 2);
    EXPECT_EQ(lowerB->kerning['A'], -2);
    EXPECT_EQ(a->kerning['b'], -3);  // kerning against 'b' equals kerning against 'B'
    EXPECT_EQ(ZQI_FONTS_FindGlyph(font, 'c'), nullptr);
    // Saved and read back: the copy carries its capital's pixels; nothing is freed twice.
    ASSERT_TRUE(SaveFontFile(font, "res://lower.mft"));
    zq_font_t* back = NewFont("res://lower.mft");
    ASSERT_TRUE(ReadFontFile(back));
    const FontGlyph* readB = ZQI_FONTS_FindGlyph(back, 'b');
    ASSERT_NE(readB->bitmap.pixels, nullptr);
    EXPECT_EQ(memcmp(readB->bitmap.pixels, b->bitmap.pixels, 2 * 2 * 4), 0);
}

TEST_F(FontTableTest, UploadQueueHoldsAFontOnceAndReleaseTakesItOut) {
    zq_font_t* font = ZQI_FONTS_GetOrLoadFont("queued!NONE", false);
    ZQI_FONTS_QueueFontUpload(font);
    ZQI_FONTS_QueueFontUpload(font);
    EXPECT_EQ(ZQI_FONTS_GetUploadQueueLength(), 1);
    EXPECT_EQ(CountMessagesContaining("already exists in upload queue, not adding twice."), 1);
    ZQI_FONTS_ReleaseFont(font);
    EXPECT_EQ(ZQI_FONTS_GetUploadQueueLength(), 0);
}

TEST_F(FontTableTest, ReleaseWaitsWhileTheQueueStepUploadsTheFont) {
    zq_font_t* font = ZQI_FONTS_GetOrLoadFont("busy!NONE", false);
    font->busy.store(1);
    std::thread release([font] { ZQI_FONTS_ReleaseFont(font); });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_NE(font->name, nullptr);  // still waiting for the busy byte
    font->busy.store(0);
    release.join();
    EXPECT_EQ(font->name, nullptr);
}

TEST_F(FontTableTest, AtlasIsPackedAndUploadedThroughTheGraphicsHooks) {
    static int packed, uploaded;
    packed = uploaded = 0;
    FontGraphicsHooks hooks = {};
    hooks.packBitmaps = [](zq_bitmap_t* atlas, zq_bitmap_t**, int32_t count, int32_t maxWidth, int32_t) {
        packed = count;
        atlas->width = maxWidth;
        return true;
    };
    hooks.getMaximumTextureSize = [] { return 512; };
    hooks.regainRenderer = [] { return true; };
    hooks.uploadBitmap = [](zq_bitmap_t*) { ++uploaded; };
    ZQI_SetFontGraphicsHooks(&hooks);
    zq_font_t* font = NewFont();
    font->size = 10;
    AddGlyph(font, 'A', 5, 2, 2);
    AddGlyph(font, ' ', 3);
    std::thread worker([font] { EXPECT_TRUE(ZQI_RecreateFontAtlas(font)); });
    worker.join();
    EXPECT_EQ(packed, 1);
    EXPECT_EQ(uploaded, 0);  // packed on a worker thread: queued for the main thread
    EXPECT_EQ(font->atlas.load_state, FONT_ATLAS_UPLOAD_PENDING);
    ZQI_FONTS_ProcessUploadQueue();
    EXPECT_EQ(uploaded, 1);
    EXPECT_EQ(font->atlas.load_state, FONT_ATLAS_UPLOADED);
    EXPECT_EQ(ZQI_FONTS_GetUploadQueueLength(), 0);
}

// The main thread's upload step walks the glyph list of a queued font, so a worker must have
// finished growing that list (the lower-case copies) before the font reaches the queue. The font
// already waits in the queue here, so queueing it again logs, and the log line shows what the
// list held at that moment.
TEST_F(FontTableTest, LowerCaseCopiesExistBeforeTheFontIsQueued) {
    static zq_font_t* font;
    static int copiesWhenQueued;
    copiesWhenQueued = -1;
    FontGraphicsHooks hooks = {};
    hooks.packBitmaps = [](zq_bitmap_t* atlas, zq_bitmap_t**, int32_t, int32_t maxWidth, int32_t) {
        atlas->width = maxWidth;
        return true;
    };
    hooks.getMaximumTextureSize = [] { return 512; };
    ZQI_SetFontGraphicsHooks(&hooks);
    font = NewFont();
    font->size = 10;
    AddGlyph(font, 'A', 5, 2, 2);
    AddGlyph(font, 'B', 5, 2, 2);
    ZQI_FONTS_QueueFontUpload(font);
    ZQI_SetFontMessageObserver([](FontMessageKind, int32_t, const char* text) {
        if (strstr(text, "already exists in upload queue") != nullptr) {
            copiesWhenQueued = (ZQI_FindFontGlyphInMap(font->glyphs, 'a') != nullptr) +
                               (ZQI_FindFontGlyphInMap(font->glyphs, 'b') != nullptr);
        }
    });
    std::thread worker([] { EXPECT_TRUE(ZQI_RecreateFontAtlas(font)); });
    worker.join();
    EXPECT_EQ(copiesWhenQueued, 2);
    EXPECT_NE(ZQI_FONTS_FindGlyph(font, 'b'), nullptr);
    ZQI_FONTS_RemoveFromUploadQueue(font);
}

// While a font is loading (on whichever thread) its glyph table is not ready: the glyph query
// and the render check answer nothing, and a refresh and a save leave the table to the loader.
TEST_F(FontTableTest, GlyphQueriesAndRefreshWaitForTheFontToLoad) {
    zq_api_t* api = ZQI_GetApi();
    ZQI_InstallFontApi(api);
    zq_graphics_api_t* graphics = api->graphics;
    zq_font_t* font = NewFont("res://loading!NONE");
    AddGlyph(font, 'H', 5, 2, 2);
    FontGlyphTable* table = font->glyphs;
    font->loaded.store(0);
    EXPECT_EQ(graphics->GetFontGlyph(font, 'H'), nullptr);
    EXPECT_FALSE(graphics->CanFontRenderText(font, "H"));
    EXPECT_FALSE(graphics->RefreshFont(font));
    EXPECT_EQ(font->glyphs, table);  // untouched: the loader still owns it
    EXPECT_TRUE(HasMessage("ZQ_Graphics_RefreshFont: font 'res://loading!NONE' is still loading."));
    EXPECT_FALSE(graphics->SaveFont(font, "res://loading-copy.mft"));
    EXPECT_TRUE(HasMessage("ZQ_Graphics_SaveFont: font 'res://loading!NONE' is still loading."));
    EXPECT_EQ(font->loaded.load(), 0);

    font->loaded.store(1);
    EXPECT_NE(graphics->GetFontGlyph(font, 'H'), nullptr);
    EXPECT_TRUE(graphics->CanFontRenderText(font, "H"));
    // A refresh takes the font out of the upload queue first: the queued upload would walk the
    // glyphs the refresh frees.
    ZQI_FONTS_QueueFontUpload(font);
    graphics->RefreshFont(font);  // the empty font has no atlas: false, yet reloaded
    EXPECT_EQ(ZQI_FONTS_GetUploadQueueLength(), 0);
    EXPECT_EQ(ZQI_GetFontGlyphCount(font), 256);  // reloaded as the empty font
    EXPECT_EQ(font->loaded.load(), 1);
}

TEST_F(FontTableTest, ManifestHeightOverridesTheSize) {
    FontGraphicsHooks hooks = {};
    hooks.findManifestValue = [](const char* name, const char* key) -> const char* {
        return strcmp(key, "h") == 0 && strstr(name, "sized") != nullptr ? (strstr(name, "one") ? "1" : "30")
                                                                         : nullptr;
    };
    ZQI_SetFontGraphicsHooks(&hooks);
    zq_font_t* font = NewFont("res://sized.mft");
    font->size = 20;
    font->lineHeight = 25;
    font->baseMetric = 17;
    ASSERT_TRUE(SaveFontFile(font, "res://sized.mft"));
    ASSERT_TRUE(SaveFontFile(font, "res://sized-one.mft"));
    ASSERT_TRUE(LoadFontFile(font, font->name));
    EXPECT_EQ(font->size, 30);
    EXPECT_FLOAT_EQ(font->scale, 1.5f);
    EXPECT_EQ(font->lineHeight, 37);
    EXPECT_EQ(font->baseMetric, 25);
    zq_font_t* unchanged = NewFont("res://sized-one.mft");
    ASSERT_TRUE(LoadFontFile(unchanged, unchanged->name));
    EXPECT_EQ(unchanged->size, 20);
    EXPECT_FLOAT_EQ(unchanged->scale, 1.0f);
}

TEST_F(FontTableTest, GraphicsSlotsCountReleaseMeasureAndSetText) {
    zq_api_t* api = ZQI_GetApi();
    ZQI_InstallFontApi(api);
    zq_graphics_api_t* graphics = api->graphics;
    zq_font_t* font = graphics->GetFont("slots!NONE");
    EXPECT_EQ(graphics->LoadFont("slots!NONE"), font);
    EXPECT_EQ(font->referenceCount, 2);
    graphics->ReleaseFont(font);
    EXPECT_NE(font->name, nullptr);
    graphics->ReleaseFont(font);
    EXPECT_TRUE(HasMessage(
        "ZQ_Graphics_ReleaseFont: font 'slots!NONE' has been released too many times: ref counting "
        "will get messed up. NOTE: font has been accessed using GetFont() which increses ref count "
        "by 1 once."));
    EXPECT_EQ(font->name, nullptr);  // hibernated at 0
    zq_font_t* other = graphics->LoadFont("other!NONE");
    other->referenceCount = 0;
    graphics->ReleaseFont(other);
    EXPECT_TRUE(
        HasMessage("ZQ_Graphics_ReleaseFont: reference count of font 'other!NONE' is less than zero."));
    EXPECT_EQ(other->referenceCount, 0);
    graphics->ReleaseFont(nullptr);
    EXPECT_TRUE(HasMessage("ZQ_Graphics_ReleaseFont: font is null."));

    zq_font_t* measured = NewFont();
    measured->size = 10;
    measured->lineHeight = 12;
    AddGlyph(measured, '4', 6);
    AddGlyph(measured, '2', 5);
    const float two = 2.0f, tiny = 0.01f;
    ZQ_Graphics_SetTextTransform(&two, nullptr, nullptr);
    ZQ_Graphics_SetTextMaxWidth(&tiny);  // below 0.1: no limit
    EXPECT_FLOAT_EQ(graphics->GetTextWidth(measured, "%d", 42), 2.0f * 11.0f);
    EXPECT_FLOAT_EQ(graphics->GetTextHeight(measured, "%d", 42), 12.0f);
    EXPECT_EQ(ZQI_GetThreadTextSettings()->maxLineWidth, ZQI_TEXT_NO_WIDTH_LIMIT);
    const uint32_t right = 1;
    ZQ_Graphics_SetTextAlignment(&right);
    EXPECT_EQ(ZQ_Graphics_GetTextAlignment(), 1u);
}

// Only glyphs with pixels go to the GPU; every glyph's GPU data is freed.
TEST_F(FontTableTest, GlobalFontPagesFollowTheRenderer) {
    static int uploaded, freed;
    uploaded = freed = 0;
    FontGraphicsHooks hooks = {};
    hooks.uploadBitmap = [](zq_bitmap_t*) { ++uploaded; };
    hooks.freeBitmapGpuData = [](zq_bitmap_t*) { ++freed; };
    ZQI_SetFontGraphicsHooks(&hooks);
    GlobalTrueTypeFont* global = ZQI_GetGlobalFont();
    MissingGlyphRecord* record = FindMissingGlyphRecord(global->missing, NewFont());
    ASSERT_NE(record, nullptr);
    FontGlyph drawn = ZQI_EmptyFontGlyph();
    ZQI_SetGlyphPixels(&drawn, static_cast<uint8_t*>(calloc(16, 1)), 2, 2);
    ZQI_InsertFontGlyph(record->glyphs, 0x5D0, drawn);
    ZQI_InsertFontGlyph(record->glyphs, 0x5D1, ZQI_EmptyFontGlyph());
    ZQI_UploadGlobalFontPages();
    ZQI_FreeGlobalFontPages();
    EXPECT_EQ(uploaded, 1);
    EXPECT_EQ(freed, 2);
    ZQI_ShutdownGlobalFont(global);
}

// The fake renderer's textures: each upload makes one; freeing one that is not alive is counted.
std::set<RendererTexture*> g_aliveTextures;
intptr_t g_lastTexture;
int g_badFrees;
bool g_regained;
int32_t g_largestTexture;

bool GlyphTexturesAlive(const zq_font_t* font) {
    for (FontGlyphNode* node : font->glyphs->order) {
        const zq_bitmap_gpu_data_t& gpu = node->glyph.bitmap.gpu;
        if (gpu.loaded != 0 && g_aliveTextures.count(gpu.texture) == 0) return false;
    }
    return true;
}

// A renderer start that cannot pack the atlas again or reach the renderer leaves the glyphs no freed
// texture (drawing bound it, a release freed it per glyph). A release frees the atlas's name too.
TEST_F(FontTableTest, GlyphsKeepNoAtlasTextureThatWasFreed) {
    zq_font_t* source = NewFont("res://textured-source.mft");
    source->size = 40;
    source->lineHeight = 40;
    AddGlyph(source, 'A', 41, 40, 40);
    AddGlyph(source, 'B', 41, 40, 40);
    ASSERT_TRUE(SaveFontFile(source, "res://textured.mft"));
    FontGraphicsHooks hooks = {};
    hooks.packBitmaps = ZQI_PackBitmaps;
    hooks.getMaximumTextureSize = [] { return g_largestTexture; };
    hooks.regainRenderer = [] { return g_regained; };
    hooks.uploadBitmap = [](zq_bitmap_t* bitmap) {
        bitmap->gpu.texture =
            *g_aliveTextures.insert(reinterpret_cast<RendererTexture*>(++g_lastTexture)).first;
        bitmap->gpu.loaded = 1;
    };
    hooks.freeBitmapGpuData = [](zq_bitmap_t* bitmap) {
        g_badFrees +=
            bitmap->gpu.texture != nullptr && g_aliveTextures.erase(bitmap->gpu.texture) == 0 ? 1 : 0;
        memset(&bitmap->gpu, 0, sizeof(bitmap->gpu));
    };
    ZQI_SetFontGraphicsHooks(&hooks);
    // Rows: a stop, then a start too small to pack; that start alone; a stop, then no renderer.
    for (int row = 0; row < 3; ++row) {
        SCOPED_TRACE(row);
        g_badFrees = 0;
        g_regained = true;
        g_largestTexture = 128;
        zq_font_t* font = ZQI_FONTS_GetOrLoadFont("res://textured.mft", false);
        ASSERT_EQ(g_aliveTextures.size(), 1u);  // packed and uploaded here, on the main thread
        if (row != 1) ZQI_FreeFontAtlasGpuData();
        g_largestTexture = row < 2 ? 32 : 128;
        g_regained = row < 2;
        ZQI_RecreateFontAtlases();
        EXPECT_TRUE(GlyphTexturesAlive(font));
        ZQI_FONTS_ReleaseFont(font);
        EXPECT_EQ(g_badFrees, 0);
        EXPECT_TRUE(g_aliveTextures.empty());
        EXPECT_EQ(font->atlas.name, nullptr);
        EXPECT_EQ(font->atlas.pixels, nullptr);
    }
}

}  // namespace
