// A font's hold: readers (save, query, measuring, drawing) racing a load, refresh, release, renderer
// pass or upload step. Loaders are held in their packing, readers at a markup tag's image lookup.
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "FontTestSupport.h"
#include "core/ApiTable.h"
#include "core/NamedMutex.h"
#include "core/Threads.h"
#include "fonts/FontApi.h"
#include "fonts/FontFile.h"
#include "fonts/FontLoading.h"
#include "fonts/FontMessages.h"
#include "fonts/FontServices.h"
#include "fonts/FontTable.h"
#include "fonts/TextDrawing.h"

namespace {

const char kRaceFont[] = "res://race.mft";
const char kCopy[] = "res://race-copy.mft";
const int32_t kLoadedGlyphs = 32 + 26;  // 32 fill the glyph list; the lower-case copies move it
const int16_t kAdvance = 7;
// Before the lower-case copies exist only the four capitals count; the tag catches the reader.
const char kTaggedText[] = "AaAa|img src='caught'|AaAa";
const float kTaggedWidth = 4 * kAdvance;

int g_texture;  // the fake renderer's atlas texture
RendererTexture* const kOurTexture = reinterpret_cast<RendererTexture*>(&g_texture);

// Off the main thread a hook holds (g_held) until g_released, then g_delayMicros longer; on it, it
// counts itself and runs g_inPass once. The rest count frees of kOurTexture, uploads and messages.
std::atomic<int> g_held, g_released, g_delayMicros, g_mainHooks, g_frees, g_uploads, g_refusals,
    g_ownRefusals, g_tooMany, g_notRead;
std::function<void()> g_inPass;
std::atomic<int32_t> g_maxTexture;  // the packer fails past it
std::function<void()> g_onTag;      // run by a markup tag's image lookup, on the reader's thread

void ResetRace(int delayMicros, int released = 0) {
    g_held = g_mainHooks = g_frees = g_uploads = g_refusals = g_ownRefusals = g_tooMany = g_notRead = 0;
    g_released = released;
    g_delayMicros = delayMicros;
}

// True once done() holds; false after limit, so a stuck wait fails the test instead of hanging it.
bool WaitUntil(const std::function<bool()>& done,
               std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::yield();
    }
    return true;
}

bool WaitFor(const std::atomic<int>& flag) {
    return WaitUntil([&] { return flag.load() != 0; });
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

// Like the real packer it reads every bitmap it is handed; side by side they must fit.
bool Pack(zq_bitmap_t* atlas, zq_bitmap_t** bitmaps, int32_t count, int32_t maxWidth, int32_t) {
    OnHook(true);
    int32_t width = 0;
    for (int32_t i = 0; i < count; ++i) width += bitmaps[i]->width;
    atlas->width = maxWidth;
    return width > 0 && width <= maxWidth;
}

void Free(zq_bitmap_t* bitmap) {
    const bool ours = bitmap->gpu.texture == kOurTexture;
    OnHook(ours);
    g_frees += ours ? 1 : 0;
    memset(&bitmap->gpu, 0, sizeof(bitmap->gpu));
}

// A start or refresh adds the lower-case copies to a font loaded without; a last release frees it.
enum Change { RENDERER_START, REFRESH, RELEASE };

void Apply(zq_graphics_api_t* g, Change change, zq_font_t* font) {
    if (change == RENDERER_START) ZQI_RecreateFontAtlases();
    if (change == REFRESH) (void)g->RefreshFont(font);
    if (change == RELEASE) g->ReleaseFont(font);
}

class FontHoldTest : public FontTest {
protected:
    void SetUp() override {
        FontTest::SetUp();
        ResetRace(0);
        ZQI_InstallFontApi(ZQI_GetApi());
        WriteFont(kRaceFont, 96, 96);  // 32 x 96 pixels side by side need a 4096 texture
        g_maxTexture = 4096;
        g_onTag = nullptr;
        FontGraphicsHooks hooks = {};
        hooks.packBitmaps = Pack;
        hooks.freeBitmapGpuData = Free;
        hooks.getMaximumTextureSize = [] { return g_maxTexture.load(); };
        hooks.getBitmap = [](const char*) -> zq_bitmap_t* {
            if (g_onTag) g_onTag();
            return nullptr;
        };
        ZQI_SetFontGraphicsHooks(&hooks);
        // Messages come from two threads at once: only atomic counters see them.
        ZQI_SetFontMessageObserver([](FontMessageKind, int32_t, const char* text) {
            g_refusals += strstr(text, "is still loading") != nullptr ? 1 : 0;
            g_ownRefusals += strstr(text, "on this same thread") != nullptr ? 1 : 0;
            g_tooMany += strstr(text, "holds 16 fonts already") != nullptr ? 1 : 0;
            g_notRead += strstr(text, "is not read on this thread") != nullptr ? 1 : 0;
        });
    }

    // A Latin-1 font of the 32 characters A-Z and 0-5, each a solid w x h glyph.
    void WriteFont(const char* name, int32_t w, int32_t h) {
        zq_font_t* source = NewFont("res://race-source.mft");
        source->size = 10;
        source->lineHeight = 12;
        for (const char* c = "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345"; *c != '\0'; ++c) {
            AddGlyph(source, static_cast<uint8_t>(*c), kAdvance, w, h);
        }
        ASSERT_TRUE(SaveFontFile(source, name));
    }

    // Another thread caught inside the font until g_released: the loader in its packing (font is then
    // the loading font, counted once), or a reader measuring kTaggedText, at the tag in its walk.
    std::thread Catch(bool loader, zq_font_t*& font) {
        ResetRace(0);
        g_onTag = [] { EXPECT_TRUE(g_held.exchange(1) != 0 || WaitFor(g_released)); };
        std::thread other([this, loader, font] {
            loader ? (void)g_->GetFont(kRaceFont) : (void)g_->GetTextWidth(font, "%s", kTaggedText);
        });
        EXPECT_TRUE(WaitFor(g_held));
        if (loader) font = g_->GetFont(kRaceFont);
        return other;
    }

    // Loaded while the largest texture is too small for it: without its lower-case copies.
    zq_font_t* LoadUnpacked(const char* name) {
        g_maxTexture = 2048;
        zq_font_t* font = g_->LoadFont(name);
        g_maxTexture = 4096;
        return font;
    }

    int32_t SavedGlyphs() {
        zq_font_t* back = NewFont(kCopy);
        return ReadFontFile(back) ? ZQI_GetFontGlyphCount(back) : -1;
    }

    float Read(zq_font_t* font, bool draw, const char* text) {
        std::string copy(text);
        return draw ? ZQI_FONTS_DrawText(font, 0.0f, 0.0f, &copy[0], nullptr)
                    : g_->GetTextWidth(font, "%s", text);
    }

    zq_graphics_api_t* const g_ = ZQI_GetApi()->graphics;
};

// During another thread's load a save is refused (walking the list the loader grows was a
// use-after-free) and a renderer start passes over the font (it added the copies under the loader).
TEST_F(FontHoldTest, ASaveOrARendererStartDuringTheLoadLeavesTheFontToTheLoader) {
    int refused = 0;
    for (int delay : {0, 1000, 30000, -1}) {  // -1: a renderer start, 30 ms before the loader goes on
        SCOPED_TRACE(delay);
        zq_font_t* font = nullptr;
        std::thread loader = Catch(true, font);
        g_delayMicros = delay < 0 ? 30000 : delay;
        g_released = 1;
        const bool saved = delay >= 0 && g_->SaveFont(font, kCopy);
        if (delay < 0) ZQI_RecreateFontAtlases();
        loader.join();
        refused += delay >= 0 && !saved ? 1 : 0;
        EXPECT_EQ(g_refusals.load(), delay >= 0 && !saved ? 1 : 0);
        EXPECT_EQ(saved ? SavedGlyphs() : kLoadedGlyphs, kLoadedGlyphs);
        EXPECT_EQ(g_mainHooks.load(), 0);
        EXPECT_EQ(ZQI_GetFontGlyphCount(font), kLoadedGlyphs);
        EXPECT_EQ(ZQI_FONTS_GetUploadQueueLength(), 1);  // queued by the loader
        ASSERT_TRUE(g_->SaveFont(font, kCopy));          // loaded now
        EXPECT_EQ(SavedGlyphs(), kLoadedGlyphs);
        g_->ReleaseFont(font);
    }
    EXPECT_GT(refused, 0);
}

// A renderer stop leaves the atlas of a font another thread holds (releasing, refreshing) to that
// thread: freed by both, the texture was freed twice. A font nobody holds is freed and stays loaded.
TEST_F(FontHoldTest, RendererStopFreesTheAtlasOfAFontAnotherThreadHoldsOnlyOnce) {
    for (const int holder : {RELEASE, REFRESH, RENDERER_START}) {  // the last: nobody
        SCOPED_TRACE(holder);
        zq_font_t* font = g_->LoadFont(kRaceFont);
        ResetRace(0);
        font->atlas.gpu.texture = kOurTexture;
        font->atlas.gpu.loaded = 1;
        std::thread other([&] { holder != RENDERER_START ? Apply(g_, Change(holder), font) : void(); });
        ASSERT_TRUE(holder == RENDERER_START || WaitFor(g_held));  // inside its free
        ZQI_FreeFontAtlasGpuData();
        g_released = 1;
        other.join();
        EXPECT_EQ(g_frees.load(), 1);
        if (font->name != nullptr) {
            EXPECT_EQ(font->loaded.load(), FONT_LOADED);
            g_->ReleaseFont(font);
        }
    }
}

// The queue step keeps a font until its loader marks it loaded, so a renderer start that passed
// over the loading font never has its atlas go to the dropped renderer.
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

// Other threads asking about a loaded font during a renderer stop or start get its answers once the
// pass is done; they used to be told it was still loading. The main thread reads inside its pass.
TEST_F(FontHoldTest, ALoadedFontAnswersOtherThreadsDuringARendererStopOrStart) {
    for (void (*pass)() : {ZQI_FreeFontAtlasGpuData, ZQI_RecreateFontAtlases}) {
        SCOPED_TRACE(pass == ZQI_FreeFontAtlasGpuData ? "stop" : "start");
        zq_font_t* font = g_->LoadFont(kRaceFont);
        const float width = g_->GetTextWidth(font, "%s", "AB");
        ASSERT_GT(width, 0.0f);
        ResetRace(0, 1);  // the refresh asked for packs without being held
        std::thread asker;
        std::atomic<int> asking(0);
        g_inPass = [&] {
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

// A font loaded without its lower-case copies is saved on its loader's thread while the main thread
// changes it: the change waits for the save. Two rounds: a race may slip by once.
TEST_F(FontHoldTest, AChangeWaitsForASaveWalkingTheGlyphs) {
    const char kBigFont[] = "res://race-big.mft";
    WriteFont(kBigFont, 80, 400);  // 4 MB of glyphs: a save walks them for milliseconds
    const std::string loadedBytes = ReadResFile("race-big.mft");  // a save of the loaded font
    const std::string temporary = ResPath("race-copy.mft.tmp");
    ResetRace(0, 1);  // packing off the main thread is not held
    for (int round = 0; round < 2; ++round) {
        for (const Change change : {RENDERER_START, REFRESH, RELEASE}) {
            SCOPED_TRACE(change);
            std::atomic<zq_font_t*> font(nullptr);
            std::atomic<int> saved(-1);
            std::thread saver([&] {
                font = LoadUnpacked(kBigFont);
                saved = g_->SaveFont(font, kCopy) ? 1 : 0;
            });
            // Once the save has opened its temporary file it walks the glyphs.
            EXPECT_TRUE(WaitUntil([&] { return std::filesystem::exists(temporary) || saved.load() >= 0; }));
            Apply(g_, change, font);
            saver.join();
            ASSERT_EQ(saved.load(), 1);
            EXPECT_TRUE(ReadResFile("race-copy.mft") == loadedBytes) << "the font changed under the save";
            if (change != RELEASE) {
                EXPECT_EQ(ZQI_GetFontGlyphCount(font), kLoadedGlyphs);
                g_->ReleaseFont(font);
            }
            EXPECT_EQ(font.load()->name, nullptr);
        }
    }
}

// A change waits for a measuring or drawing reader on another thread, which sees the font as it
// began; inside the thread's own read (a popup's message loop) it is refused and said so.
TEST_F(FontHoldTest, AChangeWaitsForAReaderOnAnotherThreadAndIsRefusedInsideItsOwnRead) {
    struct Case {
        bool draw, ownThread;  // drawing on the main thread, the change on another
        Change change;
    };
    for (const Case c :
         {Case{false, false, REFRESH}, Case{false, false, RELEASE}, Case{false, false, RENDERER_START},
          Case{true, false, REFRESH}, Case{true, false, RELEASE}, Case{false, true, RENDERER_START},
          Case{false, true, REFRESH}, Case{false, true, RELEASE}}) {
        SCOPED_TRACE(testing::Message() << c.draw << c.ownThread << c.change);
        ResetRace(0, 1);  // packing off the main thread is not held
        zq_font_t* font = LoadUnpacked(kRaceFont);
        const int32_t changing = c.change == RENDERER_START ? FONT_IN_RENDERER_PASS : FONT_LOADING;
        std::atomic<int> caught(0);
        std::atomic<float> nested(-1.0f), read(-1.0f);
        g_onTag = [&] {  // once: drawing looks the image up again
            if (caught.exchange(1) != 0) return;
            if (c.ownThread) Apply(g_, c.change, font);
            EXPECT_TRUE(WaitUntil([&] {  // the change has begun, or (not waiting) ended
                return c.ownThread || font->loaded.load() == changing || font->name == nullptr ||
                       ZQI_GetFontGlyphCount(font) == kLoadedGlyphs;
            }));
            nested = Read(font, c.draw, "Aa");  // never waits for the change
            // A change that does not wait for the reader gets 50 ms to end.
            WaitUntil([&] { return font->loaded.load() != changing || font->name == nullptr; },
                      std::chrono::milliseconds(c.ownThread ? 0 : 50));
        };
        std::function<void()> readFont = [&] { read = Read(font, c.draw, kTaggedText); };
        std::function<void()> changeFont = [&] {
            EXPECT_TRUE(WaitFor(caught));
            Apply(g_, c.change, font);
        };
        std::thread other(c.ownThread ? [] {} : c.draw ? changeFont : readFont);
        (c.ownThread || c.draw) ? readFont() : changeFont();
        other.join();
        EXPECT_EQ(read.load(), kTaggedWidth);
        EXPECT_EQ(nested.load(), kAdvance);
        EXPECT_EQ(g_ownRefusals.load(), c.ownThread ? 1 : 0);
        const bool freed = !c.ownThread && c.change == RELEASE;
        ASSERT_EQ(font->name == nullptr, freed);
        if (freed) continue;
        EXPECT_EQ(ZQI_GetFontGlyphCount(font), c.ownThread ? 32 : kLoadedGlyphs);
        EXPECT_EQ(font->loaded.load(), FONT_LOADED);
        font->referenceCount > 0 ? g_->ReleaseFont(font) : ZQI_FONTS_ReleaseFont(font);  // the refused one
    }
}

// A change waits for a reader or the loader without holding a lock they or lookups need: the upload
// step without "RESOURCE_QUEUE" (a reader loading an image takes it), a release without "GET_FONT".
// A release used to free the glyphs a loader was packing.
TEST_F(FontHoldTest, AChangeWaitsForTheFontWithoutHoldingALock) {
    FontGraphicsHooks hooks = ZQI_GetFontGraphicsHooks();
    hooks.regainRenderer = [] { return true; };
    hooks.uploadBitmap = [](zq_bitmap_t*) { ++g_uploads; };
    ZQI_SetFontGraphicsHooks(&hooks);
    for (int row = 0; row < 3; ++row) {  // the upload step / a reader, a release / a reader, the loader
        SCOPED_TRACE(row);
        const bool upload = row == 0, loader = row == 2;
        zq_font_t* font = loader ? nullptr : g_->LoadFont(kRaceFont);
        std::thread caught = Catch(loader, font);
        if (upload) ZQI_FONTS_QueueFontUpload(font);  // as a refresh on another thread leaves it
        std::atomic<int> free(0);
        std::thread checker([&] {
            WaitUntil([&] { return font->loaded.load() == (upload ? FONT_IN_RENDERER_PASS : FONT_LOADING); });
            std::this_thread::sleep_for(std::chrono::milliseconds(20));  // the change waits now
            NamedMutex* lock = ZQI_GetCoreMutex(upload ? CORE_MUTEX_RESOURCE_QUEUE : CORE_MUTEX_GET_FONT);
            free = WaitUntil([&] { return ZQ_Threading_TryLockMutex(lock); }, std::chrono::seconds(2));
            if (free) ZQ_Threading_UnlockMutex(lock);
            g_released = 1;
        });
        upload ? ZQI_FONTS_ProcessUploadQueue() : g_->ReleaseFont(font);
        checker.join();
        caught.join();
        EXPECT_EQ(free.load(), 1) << "the change held the lock while it waited";
        EXPECT_EQ(g_uploads.load(), upload ? 1 : 0);
        EXPECT_EQ(ZQI_FONTS_GetUploadQueueLength(), 0);
        if (upload) g_->ReleaseFont(font);
        EXPECT_EQ(font->name, nullptr);
        EXPECT_EQ(font->glyphs, nullptr);
    }
}

// The developer reload refreshes a font it looked at under the table's lock, holding no reference.
// Released after the look, its slot taken, or released while the refresh waited: left alone, silent.
TEST_F(FontHoldTest, TheReloadsRefreshLeavesAFontReleasedAfterTheLookAlone) {
    enum Meanwhile { KEPT, RELEASED, SLOT_TAKEN, RELEASED_DURING_THE_WAIT };
    for (const Meanwhile meanwhile : {KEPT, RELEASED, SLOT_TAKEN, RELEASED_DURING_THE_WAIT}) {
        SCOPED_TRACE(static_cast<int>(meanwhile));
        ResetRace(0, 1);
        zq_font_t* font = g_->LoadFont(kRaceFont);
        if (meanwhile == RELEASED || meanwhile == SLOT_TAKEN) g_->ReleaseFont(font);
        ASSERT_TRUE(meanwhile != SLOT_TAKEN || g_->LoadFont("res://other!NONE") == font) << "slot not reused";
        bool refreshed = false;
        if (meanwhile != RELEASED_DURING_THE_WAIT) {
            refreshed = ZQI_RefreshFontInUse(font, kRaceFont);
        } else {  // the refresh waits for a caught reader, the release for the refresh
            std::thread reader = Catch(false, font);
            std::thread refresher([&] { refreshed = ZQI_RefreshFontInUse(font, kRaceFont); });
            EXPECT_TRUE(WaitUntil([&] { return font->loaded.load() == FONT_LOADING; }));
            std::thread releaser([&] { g_->ReleaseFont(font); });
            EXPECT_TRUE(WaitUntil([&] {
                ZQI_LockCoreMutex(CORE_MUTEX_GET_FONT);  // the release sets it under the lock
                const bool begun = font->releasing != 0;
                ZQI_UnlockCoreMutex(CORE_MUTEX_GET_FONT);
                return begun;
            }));
            g_released = 1;
            reader.join();
            refresher.join();
            releaser.join();
        }
        const bool inUse = meanwhile == KEPT || meanwhile == SLOT_TAKEN;
        EXPECT_EQ(refreshed, meanwhile == KEPT);
        EXPECT_EQ(g_refusals.load(), 0);
        EXPECT_EQ(font->loaded.load(), inUse ? FONT_LOADED : FONT_LOADING);
        if (inUse) g_->ReleaseFont(font);
        EXPECT_EQ(font->name, nullptr);
    }
}

// Only a thread's outermost read of a font counts it among the readers. A thread reads at most 16
// fonts at once (a 17th is refused and logged); ending a read it does not hold is logged, no change.
TEST_F(FontHoldTest, ReadsNestAndCountEachThreadOnce) {
    zq_font_t* fonts[17];
    for (zq_font_t*& font : fonts) font = NewFont();
    for (int i = 0; i < 16; ++i) EXPECT_TRUE(ZQI_HoldFontForReading(fonts[i])) << i;
    EXPECT_TRUE(ZQI_HoldFontForReading(fonts[0]));  // nested, even with 16 held
    EXPECT_EQ(fonts[0]->readers.load(), 1);
    EXPECT_FALSE(ZQI_HoldFontForReading(fonts[16]));
    EXPECT_EQ(g_tooMany.load(), 1);
    ZQI_EndFontReading(fonts[0]);
    EXPECT_EQ(fonts[0]->readers.load(), 1);  // the outer read goes on
    ZQI_EndFontReading(fonts[0]);
    EXPECT_TRUE(ZQI_HoldFontForReading(fonts[16]));
    ZQI_EndFontReading(fonts[16]);
    for (int i = 1; i < 16; ++i) ZQI_EndFontReading(fonts[i]);
    ZQI_EndFontReading(fonts[3]);
    EXPECT_EQ(g_notRead.load(), 1);
    for (zq_font_t* font : fonts) EXPECT_EQ(font->readers.load(), 0);
}

}  // namespace
