// A font's hold: readers (save, glyph query, measuring, drawing) racing a load, refresh or release
// on another thread, or a renderer pass or the upload step on the main thread. The loader is held
// inside its atlas packing (graphics hook); readers are caught inside their walk by the image
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

// Off the main thread a hook holds (g_held) until g_released, then g_delayMicros longer. On the main
// thread it counts itself and runs g_inPass once. g_frees counts kOurTexture's frees; g_refusals and
// g_ownRefusals the "is still loading" and "on this same thread" messages.
std::atomic<int> g_held, g_released, g_delayMicros, g_mainHooks, g_frees, g_refusals, g_ownRefusals;
std::function<void()> g_inPass;
std::atomic<int32_t> g_maxTexture;  // the packer fails past it
std::function<void()> g_onTag;      // run by a markup tag's image lookup, on the reader's thread

void ResetRace(int delayMicros, int released = 0) {
    g_held = g_mainHooks = g_frees = g_refusals = g_ownRefusals = 0;
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

// The changes a reader must not see: a renderer start and a refresh pack a font loaded without its
// lower-case copies and add them; a release at the last reference frees the glyphs.
enum Change { RENDERER_START, REFRESH, RELEASE };

bool Apply(zq_graphics_api_t* g, Change change, zq_font_t* font) {
    if (change == RENDERER_START) ZQI_RecreateFontAtlases();
    if (change == RELEASE) g->ReleaseFont(font);
    return change != REFRESH || g->RefreshFont(font);
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
    void WriteFont(const char* name, int32_t w, int32_t h) {
        zq_font_t* source = NewFont("res://race-source.mft");
        source->size = 10;
        source->lineHeight = 12;
        for (const char* c = "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345"; *c != '\0'; ++c) {
            AddGlyph(source, static_cast<uint8_t>(*c), kAdvance, w, h);
        }
        ASSERT_TRUE(SaveFontFile(source, name));
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

// Another thread loads the font (GetFont counts it once): a renderer start passes over it (it used
// to make the lower-case copies in the loader's table at once; the loader queues the atlas itself),
// and one release frees it after the load (it used to free the glyphs the loader was packing).
TEST_F(FontHoldTest, ARendererStartPassesOverAndAReleaseWaitsForAFontThatIsLoading) {
    zq_font_t* font = RaceTheLoad(true, 30000, [](zq_font_t*) { ZQI_RecreateFontAtlases(); });
    EXPECT_EQ(g_mainHooks.load(), 0);
    EXPECT_EQ(ZQI_GetFontGlyphCount(font), kLoadedGlyphs);
    EXPECT_EQ(ZQI_FONTS_GetUploadQueueLength(), 1);
    g_->ReleaseFont(font);
    font = RaceTheLoad(true, 20000, [this](zq_font_t* f) { g_->ReleaseFont(f); });
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

// A Latin-1 font loaded without its lower-case copies is saved on the thread that loaded it while
// the main thread changes it; each change waits for the save, which writes the font as loaded.
// They used to change the glyph list under the save. Two rounds: a race may slip by once.
TEST_F(FontHoldTest, AChangeWaitsForASaveWalkingTheGlyphs) {
    const char kBigFont[] = "res://race-big.mft";
    WriteFont(kBigFont, 80, 400);  // 4 MB of glyphs: a save walks them for milliseconds
    const std::string loadedBytes = ReadResFile("race-big.mft");  // a save of the loaded font
    const std::string temporary = ResPath("race-copy.mft.tmp");
    ResetRace(0, 1);  // packing off the main thread is not held
    for (int round = 0; round < 2; ++round) {
        for (const Change change : {RENDERER_START, REFRESH, RELEASE}) {
            SCOPED_TRACE(change);
            std::remove(temporary.c_str());
            std::atomic<zq_font_t*> font(nullptr);
            std::atomic<int> saved(-1);
            std::thread saver([&] {
                font = LoadUnpacked(kBigFont);
                saved = g_->SaveFont(font, kCopy) ? 1 : 0;
            });
            // The save has opened its temporary file: it walks the glyphs now.
            EXPECT_TRUE(WaitUntil([&] { return std::filesystem::exists(temporary) || saved.load() >= 0; }));
            EXPECT_TRUE(Apply(g_, change, font));
            saver.join();
            ASSERT_EQ(saved.load(), 1);
            EXPECT_TRUE(ReadResFile("race-copy.mft") == loadedBytes)
                << "saved while the font changed under the save";
            if (change != RELEASE) {
                EXPECT_EQ(ZQI_GetFontGlyphCount(font), kLoadedGlyphs);
                g_->ReleaseFont(font);
            }
            EXPECT_EQ(font.load()->name, nullptr);
        }
    }
}

// A change waits for a measuring or drawing reader on another thread, which sees the font as it
// was when it began; asked for inside the thread's own read (a quit request answered from a popup's
// message loop) it cannot wait and is refused and said so. The reader's nested read never waits for
// the change. The glyphs used to change under the reader: wrong widths, freed glyphs read.
TEST_F(FontHoldTest, AChangeWaitsForAReaderOnAnotherThreadAndIsRefusedInsideItsOwnRead) {
    struct Case {
        const char* name;
        bool draw;  // on the main thread; measuring runs anywhere
        bool ownThread;
        Change change;
    };
    const Case cases[] = {
        {"measure / refresh", false, false, REFRESH},
        {"measure / release", false, false, RELEASE},
        {"measure / renderer start", false, false, RENDERER_START},
        {"draw / refresh", true, false, REFRESH},
        {"draw / release", true, false, RELEASE},
        {"own read / renderer start", false, true, RENDERER_START},
        {"own read / refresh", false, true, REFRESH},
        {"own read / release", false, true, RELEASE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ResetRace(0, 1);  // packing off the main thread is not held
        zq_font_t* font = LoadUnpacked(kRaceFont);
        ASSERT_EQ(ZQI_GetFontGlyphCount(font), 32);
        const int32_t changing = c.change == RENDERER_START ? FONT_IN_RENDERER_PASS : FONT_LOADING;
        std::atomic<int> caught(0), changed(-1);
        std::atomic<float> nested(-1.0f), read(-1.0f);
        g_onTag = [&] {  // drawing looks the image up again later
            if (caught.exchange(1) != 0) return;
            if (c.ownThread) {
                changed = Apply(g_, c.change, font) ? 1 : 0;
            } else {
                EXPECT_TRUE(WaitUntil([&] {  // begun, or done already
                    return font->loaded.load() == changing || font->name == nullptr ||
                           ZQI_GetFontGlyphCount(font) == kLoadedGlyphs;
                }));
            }
            nested = Read(font, c.draw, "Aa");
            // A change that does not wait for the reader gets 50 ms to end.
            WaitUntil([&] { return font->loaded.load() != changing || font->name == nullptr; },
                      std::chrono::milliseconds(c.ownThread ? 0 : 50));
        };
        auto readFont = [&] { read = Read(font, c.draw, kTaggedText); };
        auto changeFont = [&] {
            EXPECT_TRUE(WaitFor(caught));
            changed = Apply(g_, c.change, font) ? 1 : 0;
        };
        if (c.ownThread) {
            readFont();
        } else {
            std::thread other(c.draw ? std::function<void()>(changeFont) : std::function<void()>(readFont));
            c.draw ? readFont() : changeFont();
            other.join();
        }
        EXPECT_EQ(read.load(), kTaggedWidth);
        EXPECT_EQ(nested.load(), kAdvance);
        EXPECT_EQ(g_ownRefusals.load(), c.ownThread ? 1 : 0);
        EXPECT_EQ(changed.load(), c.ownThread && c.change == REFRESH ? 0 : 1);
        const bool freed = !c.ownThread && c.change == RELEASE;
        ASSERT_EQ(font->name == nullptr, freed);
        if (freed) continue;
        EXPECT_EQ(ZQI_GetFontGlyphCount(font), c.ownThread ? 32 : kLoadedGlyphs);
        EXPECT_EQ(font->loaded.load(), FONT_LOADED);
        if (font->referenceCount > 0) {
            g_->ReleaseFont(font);
        } else {
            ZQI_FONTS_ReleaseFont(font);  // the refused release, done now
        }
        EXPECT_EQ(font->name, nullptr);
    }
}

// A reader that loads an image inside its walk queues its upload under "RESOURCE_QUEUE" (off the
// main thread): the upload step must wait for the reader without holding that lock.
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
        if (WaitUntil([&] { return ZQ_Threading_TryLockMutex(queue); }, std::chrono::seconds(3))) {
            locked = 1;
            ZQ_Threading_UnlockMutex(queue);
        }
    };
    std::atomic<float> read(-1.0f);
    std::thread reader([&] { read = g_->GetTextWidth(font, "%s", kTaggedText); });
    ASSERT_TRUE(WaitFor(caught));
    stepping = 1;
    ZQI_FONTS_ProcessUploadQueue();
    reader.join();
    EXPECT_EQ(locked.load(), 1) << "the upload step held the queue lock while waiting for the reader";
    EXPECT_EQ(read.load(), kTaggedWidth + 4 * kAdvance);  // with its lower-case copies
    EXPECT_EQ(uploads.load(), 2);
    EXPECT_EQ(ZQI_FONTS_GetUploadQueueLength(), 0);
    g_->ReleaseFont(font);
}

// A release waits for the font's loader or a reader without the font table's lock: lookups of
// other fonts go on meanwhile. It used to hold "GET_FONT" while it waited, stalling every lookup.
TEST_F(FontHoldTest, AReleaseWaitsForTheLoaderOrAReaderWithoutTheFontTableLock) {
    for (const bool reader : {false, true}) {
        SCOPED_TRACE(reader ? "a reader" : "the loader");
        std::atomic<int> caught(0), go(0), looked(0);
        zq_font_t* font = nullptr;
        std::thread busy;
        if (reader) {
            ResetRace(0, 1);
            font = g_->LoadFont(kRaceFont);
            g_onTag = [&] {
                caught = 1;
                EXPECT_TRUE(WaitFor(go));
            };
            busy = std::thread([&] { g_->GetTextWidth(font, "%s", kTaggedText); });
            ASSERT_TRUE(WaitFor(caught));
        } else {
            ResetRace(0);  // the loader is held in its packing until g_released
            busy = std::thread([&] { g_->GetFont(kRaceFont); });
            ASSERT_TRUE(WaitFor(g_held));
            font = g_->GetFont(kRaceFont);  // counted once: one release frees it
        }
        std::thread releaser([&] { g_->ReleaseFont(font); });
        EXPECT_TRUE(WaitUntil([&] { return font->loaded.load() == FONT_LOADING; }));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));  // the release waits now
        std::thread lookup([&] { looked = g_->LoadFont("res://other!NONE") != nullptr ? 1 : -1; });
        EXPECT_TRUE(WaitUntil([&] { return looked.load() != 0; }, std::chrono::seconds(2)))
            << "a lookup waited for the release";
        go = g_released = 1;
        busy.join();
        releaser.join();
        lookup.join();
        EXPECT_EQ(looked.load(), 1);
        EXPECT_EQ(font->name, nullptr);
    }
}

// The developer reload looks at a font under the font table's lock and refreshes it afterwards,
// holding no reference. A font released after the look, one whose slot another font took, and one
// whose release began while the refresh waited for a reader are left alone, nothing logged; the
// release frees the font once the refresh lets go.
TEST_F(FontHoldTest, TheReloadsRefreshLeavesAFontReleasedAfterTheLookAlone) {
    enum Meanwhile { KEPT, RELEASED, SLOT_TAKEN, RELEASED_DURING_THE_WAIT };
    for (const Meanwhile meanwhile : {KEPT, RELEASED, SLOT_TAKEN, RELEASED_DURING_THE_WAIT}) {
        SCOPED_TRACE(static_cast<int>(meanwhile));
        ResetRace(0, 1);
        zq_font_t* font = g_->LoadFont(kRaceFont);
        ASSERT_NE(font, nullptr);
        if (meanwhile == RELEASED || meanwhile == SLOT_TAKEN) g_->ReleaseFont(font);
        if (meanwhile == SLOT_TAKEN) {
            ASSERT_EQ(g_->LoadFont("res://other!NONE"), font) << "not the first free slot";
        }
        bool refreshed = false;
        if (meanwhile != RELEASED_DURING_THE_WAIT) {
            refreshed = ZQI_RefreshFontInUse(font, kRaceFont);
        } else {
            // The refresh takes the font and waits for a caught reader; the release begins and
            // waits for the refresh; then the reader goes on.
            std::atomic<int> caught(0), go(0);
            g_onTag = [&] {
                caught = 1;
                EXPECT_TRUE(WaitFor(go));
            };
            std::thread reader([&] { g_->GetTextWidth(font, "%s", kTaggedText); });
            ASSERT_TRUE(WaitFor(caught));
            std::thread refresher([&] { refreshed = ZQI_RefreshFontInUse(font, kRaceFont); });
            EXPECT_TRUE(WaitUntil([&] { return font->loaded.load() == FONT_LOADING; }));
            std::thread releaser([&] { g_->ReleaseFont(font); });
            EXPECT_TRUE(WaitUntil([&] {
                ZQI_LockCoreMutex(CORE_MUTEX_GET_FONT);  // the release sets it under the lock
                const bool begun = font->releasing != 0;
                ZQI_UnlockCoreMutex(CORE_MUTEX_GET_FONT);
                return begun;
            }));
            go = 1;
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

// Reads nest by thread: only the outermost counts the thread among the font's readers. A thread
// reads at most 16 fonts at once; a 17th read is refused and logged until one ends. Ending a read
// the thread does not hold is logged and changes nothing.
TEST_F(FontHoldTest, ReadsNestAndCountEachThreadOnce) {
    static int tooMany, notRead;
    tooMany = notRead = 0;
    ZQI_SetFontMessageObserver([](FontMessageKind, int32_t, const char* text) {
        tooMany += strstr(text, "holds 16 fonts already") != nullptr ? 1 : 0;
        notRead += strstr(text, "is not read on this thread") != nullptr ? 1 : 0;
    });
    zq_font_t* fonts[17];
    for (zq_font_t*& font : fonts) font = NewFont();
    for (int i = 0; i < 16; ++i) EXPECT_TRUE(ZQI_HoldFontForReading(fonts[i])) << i;
    EXPECT_TRUE(ZQI_HoldFontForReading(fonts[0]));  // nested, even with 16 held
    EXPECT_EQ(fonts[0]->readers.load(), 1);
    EXPECT_FALSE(ZQI_HoldFontForReading(fonts[16]));
    EXPECT_EQ(tooMany, 1);
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
