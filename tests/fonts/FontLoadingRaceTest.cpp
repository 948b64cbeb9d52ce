// Font entries racing a load on another thread. The loader is held inside its atlas packing (the
// graphics hook): its glyph table is attached by then, yet it still grows, because the Latin-1
// font's lower-case copies follow the packing. Meanwhile another thread saves the font, rebuilds
// every atlas as a renderer start does, or releases the font. Nothing may walk the glyphs then.
#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "FontTestSupport.h"
#include "core/ApiTable.h"
#include "core/Threads.h"
#include "fonts/FontApi.h"
#include "fonts/FontFile.h"
#include "fonts/FontLoading.h"
#include "fonts/FontMessages.h"
#include "fonts/FontServices.h"
#include "fonts/FontTable.h"

namespace {

const char kRaceFont[] = "res://race.mft";
// 26 capitals and 6 digits: the glyph list is full at 32 entries, so the first lower-case copy
// moves it to a new block.
const char kRaceCodes[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345";
const int32_t kRaceGlyphs = 32;
const int32_t kLoadedGlyphs = kRaceGlyphs + 26;  // with the lower-case copies
// Large glyphs make a save's walk long enough for the loader's copies to fall inside it.
const int32_t kGlyphSide = 96;

// Shared by the test's threads and the hooks; messages arrive on every thread.
struct RaceState {
    std::atomic<int> packing;       // the loader is inside its packing hook
    std::atomic<int> otherStarted;  // the other thread has begun its entry: the loader may go on
    std::atomic<int> delayMicros;   // how long the loader then stays in the hook
    std::atomic<int> mainPacked;    // the packing hook ran on the main thread
    std::atomic<int> refusals;      // "is still loading" messages
};
RaceState g_race;

void ResetRace(int delayMicros) {
    g_race.packing = 0;
    g_race.otherStarted = 0;
    g_race.delayMicros = delayMicros;
    g_race.mainPacked = 0;
    g_race.refusals = 0;
}

// A stuck wait fails the test instead of hanging it.
bool WaitFor(const std::atomic<int>& flag) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (flag.load() == 0) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::yield();
    }
    return true;
}

void SpinFor(int micros) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::microseconds(micros);
    while (std::chrono::steady_clock::now() < end) {
    }
}

// The loader waits here (table attached, copies not yet made) until the other thread has begun,
// then a little longer; on the main thread (an atlas rebuild) it lets the loader go at once.
// Like the real packer it reads every bitmap it is handed.
bool PackWhileRacing(zq_bitmap_t* atlas, zq_bitmap_t** bitmaps, int32_t count, int32_t maxWidth, int32_t) {
    if (ZQ_Threading_IsMainThread()) {
        g_race.mainPacked = 1;
        g_race.otherStarted = 1;
    } else {
        g_race.packing = 1;
        EXPECT_TRUE(WaitFor(g_race.otherStarted));
        SpinFor(g_race.delayMicros.load());
    }
    int32_t width = 0;
    for (int32_t i = 0; i < count; ++i) {
        width += bitmaps[i]->width;
    }
    atlas->width = maxWidth;
    return width > 0;
}

void ObserveRace(FontMessageKind, int32_t, const char* text) {
    if (strstr(text, "is still loading") != nullptr) {
        ++g_race.refusals;
    }
}

class FontLoadingRaceTest : public FontTest {
protected:
    void SetUp() override {
        FontTest::SetUp();
        ResetRace(0);
        ZQI_InstallFontApi(ZQI_GetApi());
        graphics_ = ZQI_GetApi()->graphics;
        zq_font_t* source = NewFont("res://race-source.mft");
        source->size = 10;
        source->lineHeight = 12;
        for (int32_t i = 0; i < kRaceGlyphs; ++i) {
            AddGlyph(source, static_cast<uint8_t>(kRaceCodes[i]), 7, kGlyphSide, kGlyphSide);
        }
        ASSERT_TRUE(SaveFontFile(source, kRaceFont));
        FontGraphicsHooks hooks = {};
        hooks.packBitmaps = PackWhileRacing;
        hooks.getMaximumTextureSize = [] { return 4096; };
        ZQI_SetFontGraphicsHooks(&hooks);
        // Messages come from two threads at once: only the atomic counter sees them.
        ZQI_SetFontMessageObserver(ObserveRace);
    }

    // The font as a file holds it: null when it cannot be read.
    zq_font_t* ReadBack(const char* path) {
        zq_font_t* font = NewFont(path);
        return ReadFontFile(font) ? font : nullptr;
    }

    zq_graphics_api_t* graphics_ = nullptr;
};

// A save on another thread while the font loads, at many moments of the load: refused while it
// loads, whole once loaded. Walking the list the loader grows was a heap-use-after-free.
TEST_F(FontLoadingRaceTest, ASaveDuringTheLoadIsRefusedAndASaveAfterItWritesTheWholeFont) {
    const int kRounds = 60;
    const int kStepMicros = 40;
    int refused = 0;
    for (int round = 0; round < kRounds; ++round) {
        ResetRace((round % 30) * kStepMicros);
        std::thread loader([this] { graphics_->LoadFont(kRaceFont); });
        bool saved = false;
        zq_font_t* font = nullptr;
        std::thread saver([&] {
            ASSERT_TRUE(WaitFor(g_race.packing));
            font = graphics_->LoadFont(kRaceFont);
            g_race.otherStarted = 1;
            saved = graphics_->SaveFont(font, "res://race-copy.mft");
        });
        saver.join();
        loader.join();
        ASSERT_NE(font, nullptr);
        if (saved) {
            zq_font_t* back = ReadBack("res://race-copy.mft");
            ASSERT_NE(back, nullptr) << "round " << round;
            EXPECT_EQ(ZQI_GetFontGlyphCount(back), kLoadedGlyphs) << "round " << round;
        } else {
            ++refused;
            EXPECT_EQ(g_race.refusals.load(), 1) << "round " << round;
        }
        graphics_->ReleaseFont(font);
        graphics_->ReleaseFont(font);
        ASSERT_EQ(font->name, nullptr);
    }
    EXPECT_GT(refused, 0);
    // Loaded: saved on the spot, with every glyph.
    zq_font_t* font = graphics_->LoadFont(kRaceFont);
    ASSERT_TRUE(graphics_->SaveFont(font, "res://race-copy.mft"));
    zq_font_t* back = ReadBack("res://race-copy.mft");
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(ZQI_GetFontGlyphCount(back), kLoadedGlyphs);
    const FontGlyph* lower = ZQI_FONTS_FindGlyph(back, 'q');
    ASSERT_NE(lower, nullptr);
    EXPECT_EQ(memcmp(lower->bitmap.pixels, ZQI_FONTS_FindGlyph(back, 'Q')->bitmap.pixels,
                     kGlyphSide * kGlyphSide * 4),
              0);
}

// A renderer start rebuilds every atlas on the main thread. A font that is still loading is
// passed over (its loader builds and queues the atlas itself); the rebuild used to make the
// lower-case copies at the same time as the loader, in the same table.
TEST_F(FontLoadingRaceTest, AtlasRebuildPassesOverAFontThatIsLoading) {
    const int kRounds = 40;
    for (int round = 0; round < kRounds; ++round) {
        ResetRace(0);
        zq_font_t* font = nullptr;
        std::thread loader([&] { font = graphics_->LoadFont(kRaceFont); });
        ASSERT_TRUE(WaitFor(g_race.packing));
        ZQI_RecreateFontAtlases();
        EXPECT_EQ(g_race.mainPacked.load(), 0) << "round " << round;
        g_race.otherStarted = 1;
        loader.join();
        ASSERT_NE(font, nullptr);
        EXPECT_EQ(ZQI_GetFontGlyphCount(font), kLoadedGlyphs);
        EXPECT_EQ(ZQI_FONTS_GetUploadQueueLength(), 1);  // queued by its loader
        // Loaded now: the next rebuild packs it on the main thread and leaves it loaded.
        ZQI_RecreateFontAtlases();
        EXPECT_EQ(g_race.mainPacked.load(), 1);
        EXPECT_EQ(font->loaded.load(), 1);
        EXPECT_EQ(ZQI_GetFontGlyphCount(font), kLoadedGlyphs);
        graphics_->ReleaseFont(font);
        ASSERT_EQ(font->name, nullptr);
        EXPECT_EQ(ZQI_FONTS_GetUploadQueueLength(), 0);
    }
}

// A font obtained twice through GetFont is counted once, so one release hibernates it, even while
// the other thread is still loading it. The release waits for the load; it used to free the
// glyphs the loader was packing.
TEST_F(FontLoadingRaceTest, ReleasingAFontThatIsLoadingWaitsForTheLoad) {
    const int kRounds = 3;
    for (int round = 0; round < kRounds; ++round) {
        ResetRace(20000);
        std::thread loader([this] { graphics_->GetFont(kRaceFont); });
        zq_font_t* font = nullptr;
        std::thread releaser([&] {
            ASSERT_TRUE(WaitFor(g_race.packing));
            font = graphics_->GetFont(kRaceFont);
            g_race.otherStarted = 1;
            graphics_->ReleaseFont(font);
        });
        releaser.join();
        loader.join();
        ASSERT_NE(font, nullptr);
        EXPECT_EQ(font->name, nullptr) << "round " << round;  // released once loaded
        EXPECT_EQ(font->glyphs, nullptr);
        EXPECT_EQ(ZQI_FONTS_GetUploadQueueLength(), 0);
    }
}

// A texture as the fake renderer knows it; the count of times it was freed.
int g_atlasTexture;
std::atomic<int> g_atlasTextureFrees;

// Frees like the engine's hook: reads the block, frees its texture, clears it. Off the main thread
// it stops between the read and the clear until the main thread has done its part.
void FreeWhileRacing(zq_bitmap_t* bitmap) {
    const bool ours = bitmap->gpu.texture == reinterpret_cast<RendererTexture*>(&g_atlasTexture);
    if (!ZQ_Threading_IsMainThread() && ours) {
        g_race.packing = 1;
        EXPECT_TRUE(WaitFor(g_race.otherStarted));
    }
    if (ours) {
        ++g_atlasTextureFrees;
    }
    memset(&bitmap->gpu, 0, sizeof(bitmap->gpu));
}

// A renderer stop frees every font's atlas texture on the main thread. A font that another thread
// holds, releasing or refreshing it, has its atlas texture freed by that thread: freed by both, the
// texture was freed twice. A font nobody holds still has it freed by the stop, and stays loaded.
TEST_F(FontLoadingRaceTest, RendererStopFreesTheAtlasOfAFontAnotherThreadHoldsOnlyOnce) {
    FontGraphicsHooks hooks = ZQI_GetFontGraphicsHooks();
    hooks.freeBitmapGpuData = FreeWhileRacing;
    ZQI_SetFontGraphicsHooks(&hooks);
    const char* const kHolders[] = {"release", "refresh"};
    for (const char* holder : kHolders) {
        SCOPED_TRACE(holder);
        const bool release = strcmp(holder, "release") == 0;
        zq_font_t* font = graphics_->LoadFont(kRaceFont);
        ASSERT_NE(font, nullptr);
        ASSERT_EQ(font->loaded.load(), 1);
        ResetRace(0);
        font->atlas.gpu.texture = reinterpret_cast<RendererTexture*>(&g_atlasTexture);
        font->atlas.gpu.loaded = 1;
        g_atlasTextureFrees = 0;
        std::thread other([&] {
            if (release) {
                graphics_->ReleaseFont(font);
            } else {
                graphics_->RefreshFont(font);
            }
        });
        ASSERT_TRUE(WaitFor(g_race.packing));  // the other thread is inside its free
        ZQI_FreeFontAtlasGpuData();
        g_race.otherStarted = 1;
        other.join();
        EXPECT_EQ(g_atlasTextureFrees.load(), 1);
        if (!release) {
            EXPECT_EQ(font->loaded.load(), 1);
            graphics_->ReleaseFont(font);
        }
        ASSERT_EQ(font->name, nullptr);
    }
    // Held by nobody: the stop frees the texture and leaves the font loaded.
    zq_font_t* font = graphics_->LoadFont(kRaceFont);
    font->atlas.gpu.texture = reinterpret_cast<RendererTexture*>(&g_atlasTexture);
    font->atlas.gpu.loaded = 1;
    g_atlasTextureFrees = 0;
    ZQI_FreeFontAtlasGpuData();
    EXPECT_EQ(g_atlasTextureFrees.load(), 1);
    EXPECT_EQ(font->atlas.gpu.texture, nullptr);
    EXPECT_EQ(font->loaded.load(), 1);
}

// Another thread's queries of a loaded font, begun while a renderer pass on the main thread holds
// the font (from inside the pass's graphics hook), and what they answered.
struct QueriesDuringPass {
    std::thread thread;
    std::atomic<int> started;
    zq_graphics_api_t* graphics;
    zq_font_t* font;
    const FontGlyph* glyph;
    int32_t stateAnswered;  // the font's state once the glyph query had answered
    float width;
    bool renders;
    bool saved;
    bool refreshed;
};
QueriesDuringPass g_queries;

// Called from the pass's hooks: on the main thread the first time, it starts the queries and gives
// them time to be asked before the pass goes on. Off the main thread (the refresh asked for) the
// hooks free and pack plainly.
void AskFromAnotherThreadDuringThePass() {
    if (!ZQ_Threading_IsMainThread() || g_queries.thread.joinable()) {
        return;
    }
    g_queries.thread = std::thread([] {
        QueriesDuringPass& q = g_queries;
        q.started = 1;
        q.glyph = q.graphics->GetFontGlyph(q.font, 'A');
        q.stateAnswered = q.font->loaded.load();
        q.width = q.graphics->GetTextWidth(q.font, "%s", "AB");
        q.renders = q.graphics->CanFontRenderText(q.font, "AB");
        q.saved = q.graphics->SaveFont(q.font, "res://race-copy.mft");
        q.refreshed = q.graphics->RefreshFont(q.font);
    });
    WaitFor(g_queries.started);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

void FreeDuringAsking(zq_bitmap_t* bitmap) {
    AskFromAnotherThreadDuringThePass();
    memset(&bitmap->gpu, 0, sizeof(bitmap->gpu));
}

bool PackDuringAsking(zq_bitmap_t* atlas, zq_bitmap_t**, int32_t count, int32_t maxWidth, int32_t) {
    AskFromAnotherThreadDuringThePass();
    atlas->width = maxWidth;
    return count > 0;
}

// A renderer stop or start holds each loaded font on the main thread while it frees or rebuilds
// its atlas. Another thread asking about the font meanwhile gets the loaded font's answers once
// the pass is done; it used to be told the font was still loading (no glyph, width 0, save and
// refresh refused).
TEST_F(FontLoadingRaceTest, ALoadedFontAnswersOtherThreadsDuringARendererStopOrStart) {
    struct Pass {
        const char* name;
        void (*run)();
    };
    const Pass kPasses[] = {{"stop", ZQI_FreeFontAtlasGpuData}, {"start", ZQI_RecreateFontAtlases}};
    for (const Pass& pass : kPasses) {
        SCOPED_TRACE(pass.name);
        zq_font_t* font = graphics_->LoadFont(kRaceFont);
        ASSERT_NE(font, nullptr);
        const float width = graphics_->GetTextWidth(font, "%s", "AB");
        ASSERT_GT(width, 0.0f);
        font->atlas.gpu.texture = reinterpret_cast<RendererTexture*>(&g_atlasTexture);
        ResetRace(0);
        g_queries.started = 0;
        g_queries.graphics = graphics_;
        g_queries.font = font;
        // The asking hook is there for the pass only: the release below frees the atlas too.
        const FontGraphicsHooks before = ZQI_GetFontGraphicsHooks();
        FontGraphicsHooks asking = before;
        asking.freeBitmapGpuData = FreeDuringAsking;
        asking.packBitmaps = PackDuringAsking;
        ZQI_SetFontGraphicsHooks(&asking);
        pass.run();
        ASSERT_TRUE(g_queries.thread.joinable()) << "the pass never reached its hook";
        g_queries.thread.join();
        ZQI_SetFontGraphicsHooks(&before);
        EXPECT_NE(g_queries.glyph, nullptr);
        EXPECT_EQ(g_queries.stateAnswered, FONT_LOADED) << "answered before the pass was done";
        EXPECT_EQ(g_queries.width, width);
        EXPECT_TRUE(g_queries.renders);
        EXPECT_TRUE(g_queries.saved);
        EXPECT_TRUE(g_queries.refreshed);
        EXPECT_EQ(g_race.refusals.load(), 0);
        EXPECT_EQ(font->loaded.load(), 1);
        graphics_->ReleaseFont(font);
        ASSERT_EQ(font->name, nullptr);
    }
}

// The queue step walks a queued font's glyphs. A loader queues its font just before it marks the
// font loaded; until then the font waits in the queue, so a renderer start that passes over a
// loading font never finds its atlas uploaded to the renderer it has just dropped.
TEST_F(FontLoadingRaceTest, QueueStepUploadsAFontOnlyOnceItsLoaderIsDone) {
    static int uploads;
    uploads = 0;
    FontGraphicsHooks hooks = {};
    hooks.regainRenderer = [] { return true; };
    hooks.uploadBitmap = [](zq_bitmap_t*) { ++uploads; };
    ZQI_SetFontGraphicsHooks(&hooks);
    zq_font_t* loading = NewFont("res://loading.mft");
    zq_font_t* ready = NewFont("res://ready.mft");
    loading->loaded.store(0);
    ZQI_FONTS_QueueFontUpload(loading);
    ZQI_FONTS_QueueFontUpload(ready);
    ZQI_FONTS_ProcessUploadQueue();
    EXPECT_EQ(uploads, 1);
    EXPECT_EQ(ready->atlas.load_state, FONT_ATLAS_UPLOADED);
    EXPECT_EQ(loading->atlas.load_state, 0);
    EXPECT_EQ(ZQI_FONTS_GetUploadQueueLength(), 1);
    loading->loaded.store(1);
    ZQI_FONTS_ProcessUploadQueue();
    EXPECT_EQ(uploads, 2);
    EXPECT_EQ(loading->atlas.load_state, FONT_ATLAS_UPLOADED);
    EXPECT_EQ(ZQI_FONTS_GetUploadQueueLength(), 0);
}

}  // namespace
