// Font entries racing a load, refresh or release on another thread, or a renderer pass on the main
// thread. The loader is held inside its atlas packing (graphics hook): its glyph table is attached
// then, yet still grows (the Latin-1 lower-case copies follow the packing).
#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
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
const char kCopy[] = "res://race-copy.mft";
const int32_t kLoadedGlyphs = 32 + 26;  // 32 fill the glyph list; the lower-case copies move it

int g_texture;  // the fake renderer's atlas texture
RendererTexture* const kOurTexture = reinterpret_cast<RendererTexture*>(&g_texture);

// Off the main thread a hook holds (g_held) until g_released, then g_delayMicros longer. On the main
// thread it counts itself and runs g_inPass once. g_frees counts kOurTexture's frees, g_refusals
// the "is still loading" messages.
std::atomic<int> g_held, g_released, g_delayMicros, g_mainHooks, g_frees, g_refusals;
std::function<void()> g_inPass;

void ResetRace(int delayMicros, int released = 0) {
    g_held = g_mainHooks = g_frees = g_refusals = 0;
    g_released = released;
    g_delayMicros = delayMicros;
}

// A stuck wait fails the test instead of hanging it.
bool WaitFor(const std::atomic<int>& flag) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (flag.load() == 0 && std::chrono::steady_clock::now() < end) {
        std::this_thread::yield();
    }
    return flag.load() != 0;
}

void OnHook(bool holdOffMain) {
    if (ZQ_Threading_IsMainThread()) {
        ++g_mainHooks;
        std::function<void()> run = std::move(g_inPass);
        g_inPass = nullptr;
        if (run) run();
    } else if (holdOffMain) {
        g_held = 1;
        EXPECT_TRUE(WaitFor(g_released));
        std::this_thread::sleep_for(std::chrono::microseconds(g_delayMicros.load()));
    }
}

// Like the real packer it reads every bitmap it is handed.
bool Pack(zq_bitmap_t* atlas, zq_bitmap_t** bitmaps, int32_t count, int32_t maxWidth, int32_t) {
    OnHook(true);
    int32_t width = 0;
    for (int32_t i = 0; i < count; ++i) width += bitmaps[i]->width;
    atlas->width = maxWidth;
    return width > 0;
}

void Free(zq_bitmap_t* bitmap) {
    const bool ours = bitmap->gpu.texture == kOurTexture;
    OnHook(ours);
    g_frees += ours ? 1 : 0;
    memset(&bitmap->gpu, 0, sizeof(bitmap->gpu));
}

class FontLoadingRaceTest : public FontTest {
protected:
    void SetUp() override {
        FontTest::SetUp();
        ResetRace(0);
        ZQI_InstallFontApi(ZQI_GetApi());
        zq_font_t* source = NewFont("res://race-source.mft");
        source->size = 10;
        source->lineHeight = 12;
        for (const char* c = "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345"; *c != '\0'; ++c) {
            AddGlyph(source, static_cast<uint8_t>(*c), 7, 96, 96);  // large: a save's walk takes long
        }
        ASSERT_TRUE(SaveFontFile(source, kRaceFont));
        FontGraphicsHooks hooks = {};
        hooks.packBitmaps = Pack;
        hooks.freeBitmapGpuData = Free;
        hooks.getMaximumTextureSize = [] { return 4096; };
        ZQI_SetFontGraphicsHooks(&hooks);
        // Messages come from two threads at once: only an atomic counter sees them.
        ZQI_SetFontMessageObserver([](FontMessageKind, int32_t, const char* text) {
            g_refusals += strstr(text, "is still loading") != nullptr ? 1 : 0;
        });
    }

    // Loads the font on another thread (GetFont or LoadFont); once the loader is held in its
    // packing, opens it here too and runs entry, letting the loader go on after delayMicros.
    zq_font_t* RaceTheLoad(bool get, int delayMicros, const std::function<void(zq_font_t*)>& entry) {
        ResetRace(delayMicros);
        auto open = [this, get] { return get ? g_->GetFont(kRaceFont) : g_->LoadFont(kRaceFont); };
        std::thread loader(open);
        EXPECT_TRUE(WaitFor(g_held));
        zq_font_t* font = open();
        g_released = 1;
        entry(font);
        loader.join();
        return font;
    }

    int32_t SavedGlyphs() {
        zq_font_t* back = NewFont(kCopy);
        return ReadFontFile(back) ? ZQI_GetFontGlyphCount(back) : -1;
    }

    zq_graphics_api_t* const g_ = ZQI_GetApi()->graphics;
};

// A save while the font loads is refused; walking the list the loader grows was a use-after-free.
TEST_F(FontLoadingRaceTest, ASaveDuringTheLoadIsRefusedAndASaveAfterItWritesTheWholeFont) {
    int refused = 0;
    for (int delay : {0, 1000, 30000}) {
        SCOPED_TRACE(delay);
        bool saved = false;
        zq_font_t* font = RaceTheLoad(false, delay, [&](zq_font_t* f) { saved = g_->SaveFont(f, kCopy); });
        EXPECT_EQ(g_refusals.load(), saved ? 0 : 1);
        refused += saved ? 0 : 1;
        if (saved) {
            EXPECT_EQ(SavedGlyphs(), kLoadedGlyphs);
        }
        ASSERT_TRUE(g_->SaveFont(font, kCopy));  // loaded now
        EXPECT_EQ(SavedGlyphs(), kLoadedGlyphs);
        g_->ReleaseFont(font);
        g_->ReleaseFont(font);  // loaded twice
    }
    EXPECT_GT(refused, 0);
}

// A renderer start's atlas rebuild passes over a font that is loading (it used to make the
// lower-case copies in the loader's table at the same time); the loader queues the atlas itself.
TEST_F(FontLoadingRaceTest, AtlasRebuildPassesOverAFontThatIsLoading) {
    zq_font_t* font = RaceTheLoad(true, 30000, [](zq_font_t*) { ZQI_RecreateFontAtlases(); });
    EXPECT_EQ(g_mainHooks.load(), 0);
    EXPECT_EQ(ZQI_GetFontGlyphCount(font), kLoadedGlyphs);
    EXPECT_EQ(ZQI_FONTS_GetUploadQueueLength(), 1);
}

// GetFont counts a font once, so one release frees it even while another thread loads it: the
// release waits for the load; it used to free the glyphs the loader was packing.
TEST_F(FontLoadingRaceTest, ReleasingAFontThatIsLoadingWaitsForTheLoad) {
    zq_font_t* font = RaceTheLoad(true, 20000, [this](zq_font_t* f) { g_->ReleaseFont(f); });
    EXPECT_EQ(font->name, nullptr);
    EXPECT_EQ(font->glyphs, nullptr);
    EXPECT_EQ(ZQI_FONTS_GetUploadQueueLength(), 0);
}

// A renderer stop leaves the atlas of a font another thread holds (releasing, refreshing) to that
// thread: freed by both, the texture was freed twice. A font nobody holds is freed and stays loaded.
TEST_F(FontLoadingRaceTest, RendererStopFreesTheAtlasOfAFontAnotherThreadHoldsOnlyOnce) {
    for (const char* holder : {"release", "refresh", "nobody"}) {
        SCOPED_TRACE(holder);
        zq_font_t* font = g_->LoadFont(kRaceFont);
        ResetRace(0);
        font->atlas.gpu.texture = kOurTexture;
        font->atlas.gpu.loaded = 1;
        std::thread other;
        if (holder[0] == 'r') {
            other =
                std::thread([&] { holder[2] == 'l' ? g_->ReleaseFont(font) : (void)g_->RefreshFont(font); });
            ASSERT_TRUE(WaitFor(g_held));  // inside its free
        }
        ZQI_FreeFontAtlasGpuData();
        g_released = 1;
        if (other.joinable()) other.join();
        EXPECT_EQ(g_frees.load(), 1);
        if (font->name != nullptr) {
            EXPECT_EQ(font->loaded.load(), FONT_LOADED);
            g_->ReleaseFont(font);
        }
    }
}

// A loader queues its font just before it marks it loaded; the queue step keeps it until then, so
// a renderer start that passed over the loading font never has its atlas go to the dropped renderer.
TEST_F(FontLoadingRaceTest, QueueStepUploadsAFontOnlyOnceItsLoaderIsDone) {
    FontGraphicsHooks hooks = {};
    hooks.regainRenderer = [] { return true; };
    hooks.uploadBitmap = [](zq_bitmap_t*) {};
    ZQI_SetFontGraphicsHooks(&hooks);
    zq_font_t* loading = NewFont("res://loading.mft");
    zq_font_t* ready = NewFont("res://ready.mft");
    loading->loaded.store(FONT_LOADING);
    ZQI_FONTS_QueueFontUpload(loading);
    ZQI_FONTS_QueueFontUpload(ready);
    ZQI_FONTS_ProcessUploadQueue();
    EXPECT_EQ(ready->atlas.load_state, FONT_ATLAS_UPLOADED);
    EXPECT_NE(loading->atlas.load_state, FONT_ATLAS_UPLOADED);
    loading->loaded.store(FONT_LOADED);
    ZQI_FONTS_ProcessUploadQueue();
    EXPECT_EQ(loading->atlas.load_state, FONT_ATLAS_UPLOADED);
    EXPECT_EQ(ZQI_FONTS_GetUploadQueueLength(), 0);
}

// Other threads asking about a loaded font while a renderer stop or start works on its atlas get
// the loaded font's answers once the pass is done; they used to be told it was still loading.
TEST_F(FontLoadingRaceTest, ALoadedFontAnswersOtherThreadsDuringARendererStopOrStart) {
    for (void (*pass)() : {ZQI_FreeFontAtlasGpuData, ZQI_RecreateFontAtlases}) {
        SCOPED_TRACE(pass == ZQI_FreeFontAtlasGpuData ? "stop" : "start");
        zq_font_t* font = g_->LoadFont(kRaceFont);
        const float width = g_->GetTextWidth(font, "%s", "AB");
        ASSERT_GT(width, 0.0f);
        ResetRace(0, 1);  // the refresh asked for packs without being held
        std::thread asker;
        std::atomic<int> asking(0);
        g_inPass = [&] {  // asks from inside the pass
            asker = std::thread([&] {
                asking = 1;
                EXPECT_NE(g_->GetFontGlyph(font, 'A'), nullptr);
                EXPECT_EQ(font->loaded.load(), FONT_LOADED) << "answered before the pass was done";
                EXPECT_EQ(g_->GetTextWidth(font, "%s", "AB"), width);
                EXPECT_TRUE(g_->SaveFont(font, kCopy));
                EXPECT_TRUE(g_->RefreshFont(font));
            });
            EXPECT_TRUE(WaitFor(asking));
            std::this_thread::sleep_for(std::chrono::milliseconds(20));  // asked before the pass goes on
        };
        pass();
        ASSERT_TRUE(asker.joinable()) << "the pass never reached its hook";
        asker.join();
        EXPECT_EQ(g_refusals.load(), 0);
        EXPECT_EQ(font->loaded.load(), FONT_LOADED);
        g_->ReleaseFont(font);
    }
}

}  // namespace
