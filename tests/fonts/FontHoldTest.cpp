// A font's hold: readers (save, glyph query, measuring, drawing) racing a load, refresh or release
// on another thread, or a renderer pass or the upload step on the main thread. The loader is held
// inside its atlas packing (graphics hook): its glyph table is attached then, yet still grows (the
// Latin-1 lower-case copies follow the packing). Readers are caught inside their walk by the image
// lookup of a markup tag, or, for a save, once it has opened its temporary file.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
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
#include "fonts/TextDrawing.h"
#include "core/NamedMutex.h"

namespace {

const char kRaceFont[] = "res://race.mft";
const char kCopy[] = "res://race-copy.mft";
const char kBigFont[] = "res://race-big.mft";
const int32_t kLoadedGlyphs = 32 + 26;  // 32 fill the glyph list; the lower-case copies move it
const int16_t kAdvance = 7;
// Measured or drawn with the race font before its lower-case copies exist: the four capitals only.
// Its image tag catches the reader inside its walk (the image lookup hook).
const char kTaggedText[] = "AaAa|img src='caught'|AaAa";
const float kTaggedWidth = 4 * kAdvance;

int g_texture;  // the fake renderer's atlas texture
RendererTexture* const kOurTexture = reinterpret_cast<RendererTexture*>(&g_texture);

// Off the main thread a hook holds (g_held) until g_released, then g_delayMicros longer. On the main
// thread it counts itself and runs g_inPass once. g_frees counts kOurTexture's frees, g_refusals
// the "is still loading" messages.
std::atomic<int> g_held, g_released, g_delayMicros, g_mainHooks, g_frees, g_refusals, g_ownRefusals;
std::function<void()> g_inPass;
// The largest texture the renderer knows (the packer fails past it), and what the image lookup of a
// markup tag runs on the reader's thread.
std::atomic<int32_t> g_maxTexture;
std::function<void()> g_onTag;

void ResetRace(int delayMicros, int released = 0) {
    g_held = g_mainHooks = g_frees = g_refusals = g_ownRefusals = 0;
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

// True once done() holds; false after limit.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (done()) return true;
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::yield();
    }
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

// Like the real packer it reads every bitmap it is handed; the bitmaps side by side must fit the
// largest texture.
bool Pack(zq_bitmap_t* atlas, zq_bitmap_t** bitmaps, int32_t count, int32_t maxWidth, int32_t) {
    OnHook(true);
    int32_t width = 0;
    for (int32_t i = 0; i < count; ++i) width += bitmaps[i]->width;
    atlas->width = maxWidth;
    return width > 0 && width <= maxWidth;
}

zq_bitmap_t* LookUpTagImage(const char*) {
    if (g_onTag) g_onTag();
    return nullptr;
}

void Free(zq_bitmap_t* bitmap) {
    const bool ours = bitmap->gpu.texture == kOurTexture;
    OnHook(ours);
    g_frees += ours ? 1 : 0;
    memset(&bitmap->gpu, 0, sizeof(bitmap->gpu));
}

class FontHoldTest : public FontTest {
protected:
    void SetUp() override {
        FontTest::SetUp();
        ResetRace(0);
        ZQI_InstallFontApi(ZQI_GetApi());
        WriteFont(kRaceFont, 96, 96, kAdvance);  // 32 x 96 pixels side by side need a 4096 texture
        g_maxTexture = 4096;
        g_onTag = nullptr;
        FontGraphicsHooks hooks = {};
        hooks.packBitmaps = Pack;
        hooks.freeBitmapGpuData = Free;
        hooks.getMaximumTextureSize = [] { return g_maxTexture.load(); };
        hooks.getBitmap = LookUpTagImage;
        ZQI_SetFontGraphicsHooks(&hooks);
        // Messages come from two threads at once: only an atomic counter sees them.
        ZQI_SetFontMessageObserver([](FontMessageKind, int32_t, const char* text) {
            g_refusals += strstr(text, "is still loading") != nullptr ? 1 : 0;
            g_ownRefusals += strstr(text, "on this same thread") != nullptr ? 1 : 0;
        });
    }

    void TearDown() override {
        g_onTag = nullptr;
        FontTest::TearDown();
    }

    // A Latin-1 font of the 32 characters A-Z and 0-5, each a solid w x h glyph.
    void WriteFont(const char* name, int32_t w, int32_t h, int16_t advance) {
        zq_font_t* source = NewFont("res://race-source.mft");
        source->size = 10;
        source->lineHeight = 12;
        for (const char* c = "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345"; *c != '\0'; ++c) {
            AddGlyph(source, static_cast<uint8_t>(*c), advance, w, h);
        }
        ASSERT_TRUE(SaveFontFile(source, name));
    }

    // Starts save(font) on another thread and returns once it has opened its temporary file: it
    // then walks the glyphs into the file image.
    std::thread StartSaveAndWaitTillItWalks(const std::function<bool()>& save, std::atomic<int>* saved) {
        const std::string temporary = ResPath("race-copy.mft.tmp");
        std::remove(temporary.c_str());
        *saved = -1;
        std::thread saver([save, saved] { *saved = save() ? 1 : 0; });
        EXPECT_TRUE(WaitUntil([&] { return std::filesystem::exists(temporary) || saved->load() >= 0; },
                              std::chrono::seconds(10)));
        return saver;
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
TEST_F(FontHoldTest, ASaveDuringTheLoadIsRefusedAndASaveAfterItWritesTheWholeFont) {
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
TEST_F(FontHoldTest, AtlasRebuildPassesOverAFontThatIsLoading) {
    zq_font_t* font = RaceTheLoad(true, 30000, [](zq_font_t*) { ZQI_RecreateFontAtlases(); });
    EXPECT_EQ(g_mainHooks.load(), 0);
    EXPECT_EQ(ZQI_GetFontGlyphCount(font), kLoadedGlyphs);
    EXPECT_EQ(ZQI_FONTS_GetUploadQueueLength(), 1);
}

// GetFont counts a font once, so one release frees it even while another thread loads it: the
// release waits for the load; it used to free the glyphs the loader was packing.
TEST_F(FontHoldTest, ReleasingAFontThatIsLoadingWaitsForTheLoad) {
    zq_font_t* font = RaceTheLoad(true, 20000, [this](zq_font_t* f) { g_->ReleaseFont(f); });
    EXPECT_EQ(font->name, nullptr);
    EXPECT_EQ(font->glyphs, nullptr);
    EXPECT_EQ(ZQI_FONTS_GetUploadQueueLength(), 0);
}

// A renderer stop leaves the atlas of a font another thread holds (releasing, refreshing) to that
// thread: freed by both, the texture was freed twice. A font nobody holds is freed and stays loaded.
TEST_F(FontHoldTest, RendererStopFreesTheAtlasOfAFontAnotherThreadHoldsOnlyOnce) {
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
TEST_F(FontHoldTest, QueueStepUploadsAFontOnlyOnceItsLoaderIsDone) {
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
TEST_F(FontHoldTest, ALoadedFontAnswersOtherThreadsDuringARendererStopOrStart) {
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
            // The main thread itself reads inside its own pass, without waiting for itself.
            EXPECT_NE(g_->GetFontGlyph(font, 'A'), nullptr);
            EXPECT_EQ(g_->GetTextWidth(font, "%s", "AB"), width);
        };
        pass();
        ASSERT_TRUE(asker.joinable()) << "the pass never reached its hook";
        asker.join();
        EXPECT_EQ(g_refusals.load(), 0);
        EXPECT_EQ(font->loaded.load(), FONT_LOADED);
        g_->ReleaseFont(font);
    }
}

// A Latin-1 font whose first packing failed at load (its glyphs need a 4096 texture; 2048 was the
// largest known then) is saved on the thread that loaded it, while the main thread changes it: a
// renderer start or a refresh packs it now and grows the glyph list with the lower-case copies, a
// release at the last reference frees it. Each waits for the save, which writes the font as it was
// loaded. They used to change the glyph list the save was walking.
TEST_F(FontHoldTest, AChangeWaitsForASaveWalkingTheGlyphs) {
    WriteFont(kBigFont, 80, 400, kAdvance);  // 4 MB of glyphs: a save walks them for milliseconds
    const std::string loadedBytes = ReadResFile("race-big.mft");  // a save of the loaded font
    ResetRace(0, 1);  // packing off the main thread is not held
    for (const char* change : {"renderer start", "refresh", "release", "renderer start", "refresh", "release"}) {
        SCOPED_TRACE(change);
        g_maxTexture = 2048;
        std::atomic<zq_font_t*> font(nullptr);
        std::atomic<int> saved;
        std::thread saver = StartSaveAndWaitTillItWalks(
            [&] {
                font = g_->LoadFont(kBigFont);
                return g_->SaveFont(font, kCopy);
            },
            &saved);
        g_maxTexture = 4096;
        if (change[2] == 'n') {
            ZQI_RecreateFontAtlases();
        } else if (change[2] == 'f') {
            EXPECT_TRUE(g_->RefreshFont(font));
        } else {
            g_->ReleaseFont(font);
        }
        saver.join();
        ASSERT_EQ(saved.load(), 1);
        EXPECT_TRUE(ReadResFile("race-copy.mft") == loadedBytes) << "saved while the font changed under the save";
        if (change[2] != 'l') {
            EXPECT_EQ(ZQI_GetFontGlyphCount(font), kLoadedGlyphs);
            g_->ReleaseFont(font);
        }
        EXPECT_EQ(font.load()->name, nullptr);
    }
}

// One reader and one change on two threads; the reader meets a markup image inside its walk, waits
// there for the change to begin, reads the font again (its own nested read must not wait for the
// change that waits for it), and gives a change that does not wait 50 ms to end.
struct ReaderAndChange {
    const char* name;
    bool readerOnMain;  // drawing happens on the main thread; measuring anywhere
    int32_t changeState;
    void (*change)(zq_graphics_api_t* g, zq_font_t* font);
};

float ReadTagged(zq_graphics_api_t* g, zq_font_t* font, bool draw, const char* text) {
    if (!draw) {
        return g->GetTextWidth(font, "%s", text);
    }
    std::string copy(text);
    return ZQI_FONTS_DrawText(font, 0.0f, 0.0f, &copy[0], nullptr);
}

// Every change of a font waits for a measuring or drawing reader on another thread, which sees the
// font as it was when it began: a refresh and a renderer start add the lower-case copies (the
// packing fits now), a release at the last reference frees the glyphs. They used to change the
// glyphs under the reader: wrong widths, and freed glyphs read.
TEST_F(FontHoldTest, AChangeWaitsForAReaderOnAnotherThreadToFinishItsWalk) {
    const ReaderAndChange cases[] = {
        {"measure / refresh", false, FONT_LOADING, [](zq_graphics_api_t* g, zq_font_t* f) { g->RefreshFont(f); }},
        {"measure / release", false, FONT_LOADING, [](zq_graphics_api_t* g, zq_font_t* f) { g->ReleaseFont(f); }},
        {"measure / renderer start", false, FONT_IN_RENDERER_PASS,
         [](zq_graphics_api_t*, zq_font_t*) { ZQI_RecreateFontAtlases(); }},
        {"draw / refresh", true, FONT_LOADING, [](zq_graphics_api_t* g, zq_font_t* f) { g->RefreshFont(f); }},
        {"draw / release", true, FONT_LOADING, [](zq_graphics_api_t* g, zq_font_t* f) { g->ReleaseFont(f); }},
    };
    ResetRace(0, 1);  // packing off the main thread is not held
    for (const ReaderAndChange& c : cases) {
        SCOPED_TRACE(c.name);
        g_maxTexture = 2048;  // loaded without its lower-case copies
        zq_font_t* font = g_->LoadFont(kRaceFont);
        ASSERT_EQ(ZQI_GetFontGlyphCount(font), 32);
        g_maxTexture = 4096;
        const bool release = strstr(c.name, "release") != nullptr;
        std::atomic<int> caught(0);
        std::atomic<float> nested(-1.0f), read(-1.0f);
        g_onTag = [&] {  // the layout's image lookup (drawing looks the image up again later)
            if (caught.exchange(1) != 0) return;
            EXPECT_TRUE(WaitUntil(
                [&] {
                    return font->loaded.load() == c.changeState || font->name == nullptr ||
                           ZQI_GetFontGlyphCount(font) == kLoadedGlyphs;  // begun, or done already
                },
                std::chrono::seconds(10)));
            nested = ReadTagged(g_, font, c.readerOnMain, "Aa");
            WaitUntil([&] { return font->loaded.load() != c.changeState || font->name == nullptr; },
                      std::chrono::milliseconds(50));
        };
        auto readFont = [&] { read = ReadTagged(g_, font, c.readerOnMain, kTaggedText); };
        auto changeFont = [&] {
            EXPECT_TRUE(WaitFor(caught));
            c.change(g_, font);
        };
        std::thread other(c.readerOnMain ? std::function<void()>(changeFont) : std::function<void()>(readFont));
        c.readerOnMain ? readFont() : changeFont();
        other.join();
        g_onTag = nullptr;
        EXPECT_EQ(read.load(), kTaggedWidth);
        EXPECT_EQ(nested.load(), kAdvance);
        EXPECT_EQ(font->name == nullptr, release);
        if (font->name != nullptr) {
            EXPECT_EQ(ZQI_GetFontGlyphCount(font), kLoadedGlyphs);  // changed once the reader was done
            g_->ReleaseFont(font);
        }
    }
}

// A change asked for on the thread that is itself reading the font cannot wait for that read, nor
// change the font under it: the main thread measuring a font runs a renderer start, a refresh or a
// release at the last reference from inside its walk (as a program's quit request can, answered
// from a popup's message loop). The change is refused and said so; the read sees the font as it
// was. It used to change the font under its own read.
TEST_F(FontHoldTest, AChangeInsideItsOwnThreadsReadIsRefused) {
    struct Change {
        const char* name;
        void (*run)(zq_graphics_api_t* g, zq_font_t* font);
    };
    const Change changes[] = {
        {"renderer start", [](zq_graphics_api_t*, zq_font_t*) { ZQI_RecreateFontAtlases(); }},
        {"refresh", [](zq_graphics_api_t* g, zq_font_t* f) { EXPECT_FALSE(g->RefreshFont(f)); }},
        {"release", [](zq_graphics_api_t* g, zq_font_t* f) { g->ReleaseFont(f); }},
    };
    for (const Change& change : changes) {
        SCOPED_TRACE(change.name);
        ResetRace(0, 1);
        g_maxTexture = 2048;
        zq_font_t* font = g_->LoadFont(kRaceFont);
        g_maxTexture = 4096;
        std::atomic<int> caught(0);
        g_onTag = [&] {
            if (caught.exchange(1) == 0) change.run(g_, font);
        };
        EXPECT_EQ(g_->GetTextWidth(font, "%s", kTaggedText), kTaggedWidth);
        g_onTag = nullptr;
        ASSERT_NE(font->name, nullptr);
        EXPECT_EQ(ZQI_GetFontGlyphCount(font), 32);
        EXPECT_EQ(g_ownRefusals.load(), 1);
        EXPECT_EQ(font->loaded.load(), FONT_LOADED);
        if (font->referenceCount > 0) {
            g_->ReleaseFont(font);
        } else {
            ZQI_FONTS_ReleaseFont(font);  // the refused release, done now
        }
        EXPECT_EQ(font->name, nullptr);
    }
}

// A reader that loads an image inside its walk queues the image's upload under "RESOURCE_QUEUE"
// (off the main thread). The upload step, which takes that lock, must not wait for the reader while
// holding it; it uploads the font once the reader is done.
TEST_F(FontHoldTest, TheUploadStepWaitsForAReaderWithoutHoldingTheQueueLock) {
    static std::atomic<int> uploads;
    uploads = 0;
    FontGraphicsHooks hooks = ZQI_GetFontGraphicsHooks();
    hooks.regainRenderer = [] { return true; };
    hooks.uploadBitmap = [](zq_bitmap_t*) { ++uploads; };
    ZQI_SetFontGraphicsHooks(&hooks);
    zq_font_t* font = g_->LoadFont(kRaceFont);  // packed and uploaded here, on the main thread
    ASSERT_EQ(uploads.load(), 1);
    ZQI_FONTS_QueueFontUpload(font);  // as a refresh on another thread leaves it
    std::atomic<int> caught(0), stepping(0), locked(0);
    g_onTag = [&] {
        if (caught.exchange(1) != 0) return;
        EXPECT_TRUE(WaitFor(stepping));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));  // the step has begun
        NamedMutex* queue = ZQI_GetCoreMutex(CORE_MUTEX_RESOURCE_QUEUE);
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        while (locked == 0 && std::chrono::steady_clock::now() < end) {
            locked = ZQ_Threading_TryLockMutex(queue) ? 1 : 0;
        }
        if (locked != 0) ZQ_Threading_UnlockMutex(queue);
    };
    std::atomic<float> read(-1.0f);
    std::thread reader([&] { read = g_->GetTextWidth(font, "%s", kTaggedText); });
    ASSERT_TRUE(WaitFor(caught));
    stepping = 1;
    ZQI_FONTS_ProcessUploadQueue();
    reader.join();
    g_onTag = nullptr;
    EXPECT_EQ(locked.load(), 1) << "the upload step held the queue lock while waiting for the reader";
    EXPECT_EQ(read.load(), kTaggedWidth + 4 * kAdvance);  // with its lower-case copies
    EXPECT_EQ(uploads.load(), 2);
    EXPECT_EQ(ZQI_FONTS_GetUploadQueueLength(), 0);
    g_->ReleaseFont(font);
}

// A release waits for the font's loader or readers without the font table's lock: lookups of
// other fonts go on meanwhile, also one made inside the very read the release waits for. The
// release used to hold "GET_FONT" while it waited for the loader, stalling every lookup.
TEST_F(FontHoldTest, AReleaseWaitsForTheLoaderOrAReaderWithoutTheFontTableLock) {
    for (const bool reader : {false, true}) {
        SCOPED_TRACE(reader ? "a reader" : "the loader");
        std::atomic<int> looked(0);
        auto lookUp = [&] {
            zq_font_t* other = g_->LoadFont("res://other!NONE");
            looked = other != nullptr ? 1 : -1;
        };
        zq_font_t* font = nullptr;
        std::thread busy, releaser, lookup;
        std::atomic<int> caught(0);
        if (!reader) {
            ResetRace(0);  // the loader is held in its packing until g_released
            busy = std::thread([&] { g_->GetFont(kRaceFont); });
            ASSERT_TRUE(WaitFor(g_held));
            font = g_->GetFont(kRaceFont);  // counted once: one release frees it
        } else {
            ResetRace(0, 1);
            font = g_->LoadFont(kRaceFont);
            g_onTag = [&] {
                if (caught.exchange(1) != 0) return;
                EXPECT_TRUE(WaitUntil([&] { return font->loaded.load() == FONT_LOADING; }, std::chrono::seconds(10)));
                lookup = std::thread(lookUp);  // looks a font up inside the read the release waits for
                EXPECT_TRUE(WaitUntil([&] { return looked.load() != 0; }, std::chrono::seconds(2)));
            };
            busy = std::thread([&] { g_->GetTextWidth(font, "%s", kTaggedText); });
            ASSERT_TRUE(WaitFor(caught));
        }
        releaser = std::thread([&] { g_->ReleaseFont(font); });
        if (!reader) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));  // the release waits for the loader
            lookup = std::thread(lookUp);
            EXPECT_TRUE(WaitUntil([&] { return looked.load() != 0; }, std::chrono::seconds(2)))
                << "a lookup waited for the release";
            g_released = 1;
        }
        busy.join();
        releaser.join();
        lookup.join();
        g_onTag = nullptr;
        EXPECT_EQ(looked.load(), 1);
        EXPECT_EQ(font->name, nullptr);
    }
}

// The developer reload looks at a font under the font table's lock and refreshes it afterwards,
// holding no reference of its own. Its refresh takes the font first and only then makes sure it is
// still the font looked at and in use: a font released after the look, one whose slot another font
// took, and one whose release began while the refresh waited for a reader are left alone, nothing
// logged, and the release frees the font once the refresh lets go.
TEST_F(FontHoldTest, TheReloadsRefreshLeavesAFontReleasedAfterTheLookAlone) {
    enum Meanwhile { KEPT, RELEASED, SLOT_TAKEN, RELEASED_DURING_THE_WAIT };
    for (const Meanwhile meanwhile : {KEPT, RELEASED, SLOT_TAKEN, RELEASED_DURING_THE_WAIT}) {
        SCOPED_TRACE(static_cast<int>(meanwhile));
        ResetRace(0, 1);
        zq_font_t* font = g_->LoadFont(kRaceFont);
        ASSERT_NE(font, nullptr);
        zq_font_t* other = nullptr;
        if (meanwhile == RELEASED || meanwhile == SLOT_TAKEN) {
            g_->ReleaseFont(font);
        }
        if (meanwhile == SLOT_TAKEN) {
            other = g_->LoadFont("res://other!NONE");
            ASSERT_EQ(other, font) << "the freed slot is the first free one";
        }
        bool refreshed = false;
        if (meanwhile != RELEASED_DURING_THE_WAIT) {
            refreshed = ZQI_RefreshFontInUse(font, kRaceFont);
        } else {
            // A reader is caught inside its walk; the refresh takes the font and waits for it; the
            // release begins and waits for the refresh; then the reader goes on.
            std::atomic<int> caught(0), go(0);
            g_onTag = [&] {
                caught = 1;
                EXPECT_TRUE(WaitFor(go));
            };
            std::thread reader([&] { g_->GetTextWidth(font, "%s", kTaggedText); });
            ASSERT_TRUE(WaitFor(caught));
            std::thread refresher([&] { refreshed = ZQI_RefreshFontInUse(font, kRaceFont); });
            EXPECT_TRUE(WaitUntil([&] { return font->loaded.load() == FONT_LOADING; }, std::chrono::seconds(10)));
            std::thread releaser([&] { g_->ReleaseFont(font); });
            EXPECT_TRUE(WaitUntil(
                [&] {
                    ZQI_LockCoreMutex(CORE_MUTEX_GET_FONT);  // the release sets it under the lock
                    const bool begun = font->releasing != 0;
                    ZQI_UnlockCoreMutex(CORE_MUTEX_GET_FONT);
                    return begun;
                },
                std::chrono::seconds(10)));
            go = 1;
            reader.join();
            refresher.join();
            releaser.join();
            g_onTag = nullptr;
        }
        EXPECT_EQ(refreshed, meanwhile == KEPT);
        EXPECT_EQ(g_refusals.load(), 0);
        EXPECT_EQ(font->loaded.load(), meanwhile == KEPT || meanwhile == SLOT_TAKEN ? FONT_LOADED : FONT_LOADING);
        if (meanwhile == KEPT || meanwhile == SLOT_TAKEN) {
            g_->ReleaseFont(font);
        }
        EXPECT_EQ(font->name, nullptr);
    }
}

// Reads nest by thread: only the outermost counts the thread among the font's readers. A thread
// reads at most 16 fonts at once; a 17th read is refused (and logged) until one ends. Ending a
// read the thread does not hold is logged and changes nothing.
TEST_F(FontHoldTest, ReadsNestAndCountEachThreadOnce) {
    static int tooMany, notRead;
    tooMany = notRead = 0;
    ZQI_SetFontMessageObserver([](FontMessageKind, int32_t, const char* text) {
        tooMany += strstr(text, "holds 16 fonts already") != nullptr ? 1 : 0;
        notRead += strstr(text, "is not read on this thread") != nullptr ? 1 : 0;
    });
    zq_font_t* fonts[17];
    for (zq_font_t*& font : fonts) font = NewFont();
    ASSERT_TRUE(ZQI_HoldFontForReading(fonts[0]));
    ASSERT_TRUE(ZQI_HoldFontForReading(fonts[0]));
    EXPECT_EQ(fonts[0]->readers.load(), 1);
    for (int i = 1; i < 16; ++i) EXPECT_TRUE(ZQI_HoldFontForReading(fonts[i])) << i;
    EXPECT_FALSE(ZQI_HoldFontForReading(fonts[16]));
    EXPECT_EQ(tooMany, 1);
    EXPECT_EQ(fonts[16]->readers.load(), 0);
    ZQI_EndFontReading(fonts[0]);
    EXPECT_EQ(fonts[0]->readers.load(), 1);  // the outer read goes on
    ZQI_EndFontReading(fonts[0]);
    EXPECT_EQ(fonts[0]->readers.load(), 0);
    EXPECT_TRUE(ZQI_HoldFontForReading(fonts[16]));
    ZQI_EndFontReading(fonts[16]);
    for (int i = 1; i < 16; ++i) ZQI_EndFontReading(fonts[i]);
    EXPECT_EQ(notRead, 0);
    ZQI_EndFontReading(fonts[3]);
    EXPECT_EQ(notRead, 1);
    for (zq_font_t* font : fonts) EXPECT_EQ(font->readers.load(), 0);
}

}  // namespace
