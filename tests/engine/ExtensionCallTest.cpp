// Named extension calls with stand-in modules, back ends, services and platform commands: the
// order in which handlers are asked, the engine's own queries and commands, and their edge cases.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "RuntimeTestSupport.h"
#include "audio/AudioSystem.h"
#include "audio/SoundResource.h"
#include "audio/null/NullSoundImplementation.h"
#include "core/ApiTable.h"
#include "core/Console.h"
#include "core/ConsoleAutocompletion.h"
#include "core/CoreState.h"
#include "core/EventQueue.h"
#include "core/Log.h"
#include "core/NamedMutex.h"
#include "core/Features.h"
#include "engine/ExtensionCall.h"
#include "engine/Lifecycle.h"
#include "graphics/HighLevelRenderer.h"
#include "services/ExtensionModules.h"
#include "engine/RuntimeState.h"
#include "filesystem/FileSystemApi.h"
#include "fonts/FontApi.h"
#include "fonts/FontHold.h"
#include "fonts/FontTable.h"
#include "graphics/BitmapOperations.h"
#include "graphics/BitmapTable.h"
#include "graphics/d3d11/RendererImplementation.h"

namespace {

// Answers `answer` to `name`, records every call it is offered, and offers the services it is
// given. Owned by the test.
class AnsweringModule final : public ExtensionModule {
public:
    AnsweringModule(const char* name, const char* answer) : name_(name), answer_(answer) {}
    void Destroy(uint32_t) override {}
    const char* GetName() override { return answer_; }
    bool Initialize(zq_api_t*) override { return true; }
    void Shutdown() override {}
    void Update(float) override {}
    const char* Call(const char* function, const char*) override {
        Trace(std::string("module ") + answer_ + " " + function);
        return strcmp(function, name_) == 0 ? answer_ : nullptr;
    }
    BaseImplementation* GetImplementation(ImplementationType type) override { return offered[type]; }

    BaseImplementation* offered[IMPLEMENTATION_TYPE_COUNT] = {};

private:
    const char* name_;
    const char* answer_;
};

class StubService final : public BaseImplementation {
public:
    explicit StubService(ImplementationType type) : type_(type) {}
    void Destroy(uint32_t) override {}
    ImplementationType GetType() override { return type_; }
    const char* GetName() override { return "Stub"; }
    bool IsAvailable() override { return available; }
    bool available = true;

private:
    ImplementationType type_;
};

class RecordingPurchases final : public InAppPurchaseImplementation {
public:
    void Destroy(uint32_t) override {}
    ImplementationType GetType() override { return IMPLEMENTATION_IAP; }
    const char* GetName() override { return "Recording"; }
    bool IsAvailable() override { return available; }
    void RequestItemData(const char*) override {}
    void PurchaseItem(const char* item) override { Trace(std::string("purchase ") + item); }
    void RestorePurchases() override {}
    bool ShowPurchaseProgress() override { return false; }
    bool available = true;
};

class AnsweringInput : public StandInInput {
public:
    AnsweringInput(const char* name, const char* answer) : name_(name), answer_(answer) {}
    const char* Call(const char* function, const char* parameters) override {
        Trace(std::string("input ") + answer_ + " " + function + (parameters == nullptr ? " null" : " set"));
        return strcmp(function, name_) == 0 ? answer_ : nullptr;
    }

private:
    const char* name_;
    const char* answer_;
};

const char* PlatformAnswers(const char* command, const char*) {
    Trace(std::string("platform ") + command);
    return strcmp(command, "Shared") == 0 || strcmp(command, "GetDate") == 0 ? "platform" : nullptr;
}

void RecordScore(int32_t player, const LeaderboardScore* score, const char* category) {
    Trace("score " + std::to_string(player) + " " + std::to_string(score->points) + " " + category +
          (score->rank == 0 && score->id[0] == '\0' ? " zeroed" : ""));
}
void RecordProgress(int32_t, const char* id, int32_t progress) {
    Trace(std::string("progress ") + id + " " + std::to_string(progress));
}

class ExtensionCallTest : public RuntimeTest {
protected:
    void SetUp() override {
        RuntimeTest::SetUp();
        ZQI_InstallExtensionCall();
    }
    void TearDown() override {
        ZQI_ForgetExtensionModules();
        ZQI_SetFeatureText(FEATURE_TEXT_COMMAND_LINE, nullptr);
        g_core.commandLine = nullptr;
        RuntimeTest::TearDown();
    }

    static std::string Call(const char* function, const char* parameter = nullptr) {
        const char* answer = ZQI_GetApi()->ExtensionCall(function, parameter);
        return answer != nullptr ? answer : "(null)";
    }
};

}  // namespace

TEST_F(ExtensionCallTest, ModulesComeBeforeThePlatformAndTheInputBackEndsComeLast) {
    RuntimePlatform platform = {};
    platform.CallPlatformCommand = PlatformAnswers;
    ZQI_SetRuntimePlatform(&platform);
    AnsweringModule first("Both", "first");
    AnsweringModule second("Shared", "second");
    RegisterExtensionModule(&second);
    RegisterExtensionModule(&first);  // registered last, asked first
    AnsweringInput silent("Nothing", "silent");
    AnsweringInput pads("Rumble", "pads");
    g_runtime.inputs[0] = &silent;
    g_runtime.inputs[1] = &pads;
    g_runtime.inputCount = 2;
    ZQI_LoadRendererImplementation();

    EXPECT_EQ("first", Call("Both"));
    EXPECT_EQ("second", Call("Shared"));     // a module's answer wins over the platform's
    EXPECT_EQ("platform", Call("GetDate"));  // the platform's commands before the engine's own
    CallTrace().clear();
    EXPECT_EQ("pads", Call("Rumble", "ignored"));
    std::vector<std::string> asked = {"module first Rumble", "module second Rumble", "platform Rumble",
                                      "input silent Rumble null", "input pads Rumble null"};
    EXPECT_EQ(asked, CallTrace());
    EXPECT_EQ("(null)", Call("Unknown"));
    EXPECT_EQ(nullptr, ZQI_GetApi()->ExtensionCall(nullptr, "x"));
    g_core.program = nullptr;
    EXPECT_EQ("null", Call("ProgramInfo", "ProgramId"));
    ZQI_InstallFileSystemApi(ZQI_GetApi());  // the console checks commands as path texts
    EXPECT_EQ("(null)", Call("Console_AddCommand", "spawn_enemy"));
    EXPECT_STREQ("spawn_enemy", ZQI_FindAutocompletion(ZQI_GetConsole(), "spawn"));
    g_runtime.inputCount = 0;
}

TEST_F(ExtensionCallTest, TheLanguageIsTheFirstOfTheTableNamedOnTheCommandLine) {
    const struct {
        const char* commandLine;
        const char* answer;
    } cases[] = {{"zorqa.exe Spanish English", "en"},
                 {"--lang=German", "de"},
                 {"Mandarin Chinese", "zh"},
                 {"english", "(null)"},
                 {"", "(null)"},
                 {nullptr, "(null)"}};
    for (const auto& test : cases) {
        g_core.commandLine = const_cast<char*>(test.commandLine);
        EXPECT_EQ(test.answer, Call("GetLanguage")) << (test.commandLine ? test.commandLine : "null");
    }
}

TEST_F(ExtensionCallTest, ASimulatedDeviceNamesThePlatformAndScreenSize) {
    const struct {
        const char* device;
        const char* platform;
        const char* screenSize;
    } cases[] = {{"IOS/SMALL", "IOS", "SMALL"},
                 {"ANDROID/MEDIUM", "ANDROID", "MEDIUM"},
                 {"NOSUCH/LARGE", "UNKNOWN", "LARGE"},
                 {"IOS", "IOS", "LARGE"},
                 {"IOS/medium", "IOS", "SMALL"}};
    for (const auto& test : cases) {
        ZQI_SetOwnedText(&g_runtime.settings.forcedVariant, test.device);
        EXPECT_EQ(test.platform, Call("PlatformInfo", "PlatformId")) << test.device;
        EXPECT_EQ(test.screenSize, Call("PlatformInfo", "ScreenSizeId")) << test.device;
    }
    g_runtime.desktopWidth = 1920;
    EXPECT_EQ("1920", Call("PlatformInfo", "DesktopWidth"));
    EXPECT_EQ("(null)", Call("PlatformInfo", "OSMajor"));
    ASSERT_EQ(1u, Popups().size());
    EXPECT_EQ("PlatformInfo.OSMajor is removed.", Popups()[0]);
}

TEST_F(ExtensionCallTest, TheMaximumTextureSizeFollowsTheFeatureLevel) {
    EXPECT_EQ("(null)", Call("Renderer", "MaximumTextureSize"));  // no renderer
    ZQI_LoadRendererImplementation();
    const std::pair<uint32_t, const char*> cases[] = {
        {D3D_FEATURE_LEVEL_9_2, "2048"}, {D3D_FEATURE_LEVEL_9_3, "4096"}, {D3D_FEATURE_LEVEL_10_0, "16384"}};
    for (const auto& test : cases) {
        g_core.renderer->featureLevel = test.first;
        EXPECT_EQ(test.second, Call("Renderer", "MaximumTextureSize")) << std::hex << test.first;
    }
    EXPECT_EQ("Mono", Call("Renderer", "EyeMode"));
}

TEST_F(ExtensionCallTest, TheOverlayZoomKeepsItsValueForAZoomThatIsNotPositive) {
    EXPECT_EQ("(null)", Call("SetOverlayZoom", "0.5"));
    EXPECT_EQ("0.5", Call("GetOverlayZoom"));
    for (const char* bad : {"0", "-2", "nan", "inf", "zoom"}) {
        Call("SetOverlayZoom", bad);
        EXPECT_EQ("0.5", Call("GetOverlayZoom")) << bad;
    }
    EXPECT_EQ(5, LoggedCount("SetOverlayZoom: '"));
    Call("SetOverlayZoom", nullptr);
    EXPECT_EQ("1", Call("GetOverlayZoom"));
    zq_bitmap_t target = {};
    zq_render_targets_t set = {};
    set.color[0] = &target;
    HighLevelRenderer::PushRenderTargets(&set);  // drawing into a target: the screen keeps 1
    Call("SetOverlayZoom", "2");
    EXPECT_EQ(1.0f, g_runtime.overlayZoom);
    EXPECT_EQ(2.0f, g_runtime.rememberedZoom);
    HighLevelRenderer::PopRenderTargets();  // back on the screen, the zoom asked for applies
    EXPECT_EQ(2.0f, g_runtime.overlayZoom);
}

TEST_F(ExtensionCallTest, ServicesAnswerOnlyWhenTheirImplementationIsAvailable) {
    ZQI_GetApi()->leaderboards->SubmitScore = RecordScore;
    ZQI_GetApi()->achievements->SetAchievementProgress = RecordProgress;
    ZQI_SetFeatureText(FEATURE_TEXT_COMMAND_LINE, "IN_APP_PURCHASES,ACHIEVEMENTS,LEADERBOARDS");
    AnsweringModule store("Nothing", "store");
    RecordingPurchases purchases;
    StubService achievements(IMPLEMENTATION_ACHIEVEMENT);
    StubService leaderboards(IMPLEMENTATION_LEADERBOARDS);
    store.offered[IMPLEMENTATION_IAP] = &purchases;
    store.offered[IMPLEMENTATION_ACHIEVEMENT] = &achievements;
    store.offered[IMPLEMENTATION_LEADERBOARDS] = &leaderboards;
    RegisterExtensionModule(&store);
    ResolveImplementations();
    purchases.available = false;
    EXPECT_EQ("(null)", Call("IAP_PurchaseItem", "sword"));
    purchases.available = true;
    EXPECT_EQ("YES", Call("IAP_PurchaseItem", "shield"));
    EXPECT_EQ("NO", Call("IAP_ShowPurchaseProgress"));

    EXPECT_EQ("(null)", Call("GameCenter", "IsAvailable"));  // only with GAME_CENTER
    ZQI_SetFeatureText(FEATURE_TEXT_COMMAND_LINE, "GAME_CENTER");
    EXPECT_EQ("YES", Call("GameCenter", "IsAvailable"));
    EXPECT_EQ("(null)", Call("GameCenter", "SetAchievementProgress,first-win,-5"));
    EXPECT_EQ("OK", Call("GameCenter", "SetAchievementProgress,first-win,40"));
    // Scores reach the leaderboards although achievements are available too.
    EXPECT_EQ("OK", Call("GameCenter", "SubmitScore,daily,1200"));
    std::vector<std::string> calls = {"purchase shield", "progress first-win 40",
                                      "score 0 1200 daily zeroed"};
    std::vector<std::string> made;
    for (const std::string& entry : CallTrace()) {
        if (entry.compare(0, 7, "module ") != 0) {
            made.push_back(entry);
        }
    }
    EXPECT_EQ(calls, made);
}

TEST_F(ExtensionCallTest, TheResourceListingCountsTheBitmapPixelsHeldNotTheDrawingSize) {
    // Drawn at 64 x 64 (a manifest entry's size) with 16 x 16 pixels in memory: 1024 bytes held.
    zq_bitmap_t* bitmap = ZQI_GetOrLoadBitmap("!scaled", CACHE_NOTHING, true);
    ASSERT_NE(nullptr, bitmap);
    bitmap->width = bitmap->height = 64;
    bitmap->pixel_width = bitmap->pixel_height = 16;
    bitmap->pixels = static_cast<uint8_t*>(calloc(16 * 16, 4));  // the table frees it
    EXPECT_EQ("(null)", Call("ListResourceUsage"));
    EXPECT_EQ(1, LoggedCount("Bitmap #000 64x64 '!scaled' refc=0 sysmem=1.0KB gpumem=0.0KB texture=0x0"));
    ZQI_ClearBitmapTable();
}

// A font's atlas is listed under its read hold: a font a refresh, a release or its loader has is
// listed as holding nothing.
TEST_F(ExtensionCallTest, TheResourceListingShowsAChangingFontAsHoldingNothing) {
    zq_font_t* font = ZQI_FONTS_GetOrLoadFont("listed!NONE", false);
    ASSERT_NE(nullptr, font);
    font->atlas.pixel_width = font->atlas.pixel_height = 16;
    font->atlas.pixels = static_cast<uint8_t*>(calloc(16 * 16, 4));  // the release frees it
    const std::string name =
        "Font #" + std::to_string(1000 + font->slot).substr(1) + " 'listed!NONE' refc=1 ";
    font->loaded.store(FONT_LOADING);  // as a refresh holds it
    EXPECT_EQ("(null)", Call("ListResourceUsage"));
    font->loaded.store(FONT_LOADED);
    EXPECT_EQ("(null)", Call("ListResourceUsage"));
    EXPECT_EQ(1, LoggedCount(name + "gpumem=0.0KB")) << "listed as changing";
    EXPECT_EQ(1, LoggedCount(name + "sysmem=1.0KB gpumem=0.0KB")) << "listed as held";
    ZQI_FONTS_ReleaseFont(font);
}

namespace {

// Counts the loads of "other" and of the rest.
class CountingSounds final : public SoundImplementationNull {
public:
    bool ReadsFilesItself() override { return true; }
    bool LoadSound(SoundResource*, SoundData*, const char* path) override {
        ++(strstr(path, "other") != nullptr ? other : rest);
        return true;
    }
    std::atomic<int32_t> other{0}, rest{0};
};

}  // namespace

// The developer reload holds no reference of its own: another thread may release what it looked at,
// here while the reload waits to print. What was released meanwhile, or took its freed place, is
// neither loaded again nor counted; what is still in use is.
TEST_F(ExtensionCallTest, TheReloadLeavesWhatWasReleasedAfterItLookedAlone) {
    ZQI_InstallFontApi(ZQI_GetApi());
    zq_graphics_api_t* graphics = ZQI_GetApi()->graphics;
    CountingSounds sounds;
    auto font = [](void* p) { return static_cast<zq_font_t*>(p); };
    auto bitmap = [](void* p) { return static_cast<zq_bitmap_t*>(p); };
    auto sound = [](void* p) { return static_cast<SoundResource*>(p); };
    struct Kind {
        const char* counted;   // printed when the reload counts the one still in use
        const char* names[2];  // the one looked at, and the one taking its place
        std::function<void*(const char*)> load;
        std::function<void(void*, bool freeing)> release;
        std::function<int32_t(const char*)> loads;  // of a name in this round; null: not seen (fonts)
        std::function<bool(void*)> released;        // hibernated or freed
    };
    const Kind kinds[] = {
        {"Reloading 1 changed fonts",
         {"reloaded!NONE", "other!NONE"},
         [&](const char* n) -> void* { return graphics->LoadFont(n); },
         [&](void* p, bool) { graphics->ReleaseFont(font(p)); },
         nullptr,
         [&](void* p) { return font(p)->name == nullptr; }},
        {"Reloaded 1 changed bitmaps",
         {"reloaded.png", "other.png"},
         [](const char* n) -> void* { return ZQI_GetOrLoadBitmap(n, CACHE_PIXELS, false); },
         [&](void* p, bool freeing) {
             ZQ_Graphics_ReleaseBitmap(bitmap(p));
             if (freeing) {
                 ZQ_Graphics_RemoveBitmapHandle(bitmap(p));
             }
         },
         [](const char* n) {  // a file that cannot be read asks for a popup at each load
             const std::string text = std::string("Unable to load bitmap '") + n + "'";
             return static_cast<int32_t>(std::count_if(
                 Popups().begin(), Popups().end(),
                 [&](const std::string& popup) { return popup.find(text) != std::string::npos; }));
         },
         [&](void* p) { return bitmap(p)->reference_count == 0 && bitmap(p)->cache_mode == CACHE_NOTHING; }},
        {"Reloading 1 changed sound",
         {"reloaded", "other"},
         [](const char* n) -> void* { return ZQ_Audio_LoadSound(n); },
         [&](void* p, bool) { ZQ_Audio_ReleaseSound(sound(p)); },
         [&](const char* n) { return (strcmp(n, "other") == 0 ? sounds.other : sounds.rest).load(); },
         [&](void* p) { return sound(p)->data == nullptr && sound(p)->loaded == 0; }},
    };
    enum Meanwhile { KEPT, RELEASED, REPLACED };
    const char* const kMeanwhile[] = {"kept", "released", "replaced"};
    for (const Kind& kind : kinds) {
        for (Meanwhile meanwhile : {KEPT, RELEASED, REPLACED}) {
            SCOPED_TRACE(std::string(kind.names[0]) + " " + kMeanwhile[meanwhile]);
            ZQI_ClearBitmapTable();
            Popups().clear();
            // Replaced: without reference counting, a sound's release frees its place.
            ZQI_SetFeatureText(FEATURE_TEXT_COMMAND_LINE,
                               meanwhile == REPLACED ? "DISABLE_REFERENCE_COUNTING" : nullptr);
            ZQI_SetAudioSoundImplementation(&sounds);  // takes the counting mode
            ZQI_SetFeatureText(FEATURE_TEXT_COMMAND_LINE, nullptr);
            ZQI_ResetSoundPool();
            sounds.other = sounds.rest = 0;
            void* looked = kind.load(kind.names[0]);
            ASSERT_NE(nullptr, looked);
            void* other = nullptr;
            const int32_t countedBefore = LoggedCount(kind.counted);
            const int32_t loadingBefore = LoggedCount("is still loading");
            std::atomic<bool> printHeld(false);
            std::thread program([&] {
                ZQI_LockCoreMutex(CORE_MUTEX_PRINT);
                printHeld = true;
                std::this_thread::sleep_for(std::chrono::milliseconds(200));  // the reload waits at its print
                if (meanwhile != KEPT) {
                    kind.release(looked, meanwhile == REPLACED);
                }
                if (meanwhile == REPLACED) {
                    other = kind.load(kind.names[1]);
                }
                ZQI_UnlockCoreMutex(CORE_MUTEX_PRINT);
            });
            while (!printHeld) {
                std::this_thread::yield();
            }
            EXPECT_EQ("(null)", Call("Cache", "ReloadResources"));
            program.join();
            const int32_t inUse = meanwhile == KEPT ? 1 : 0;
            EXPECT_EQ(inUse, LoggedCount(kind.counted) - countedBefore);
            EXPECT_EQ(0, LoggedCount("is still loading") - loadingBefore);
            if (kind.loads) {
                EXPECT_EQ(1 + inUse, kind.loads(kind.names[0]));
                EXPECT_EQ(meanwhile == REPLACED ? 1 : 0, kind.loads(kind.names[1]))
                    << "loaded by its own load only";
            }
            if (meanwhile == RELEASED) {
                EXPECT_TRUE(kind.released(looked));
            }
            if (meanwhile == REPLACED) {
                ASSERT_EQ(looked, other) << "the freed place is the first free one";
            }
            if (meanwhile != RELEASED) {
                kind.release(looked, false);
            }
        }
    }
    ZQI_ClearBitmapTable();
    ZQI_ResetSoundPool();
    ZQI_SetAudioSoundImplementation(nullptr);
}

// Another thread may release the bitmap and the sound the listing looked at, and load others into
// their places, before it prints the hogs (here while it waits for the font table): the hogs name
// what it looked at, and only that, not the freed names' memory.
TEST_F(ExtensionCallTest, TheResourceListingNamesWhatItLookedAtThoughReleasedMeanwhile) {
    ZQI_SetFeatureText(FEATURE_TEXT_COMMAND_LINE, "DISABLE_REFERENCE_COUNTING");  // a release frees the sound
    SoundImplementationNull backEnd;
    ZQI_SetAudioSoundImplementation(&backEnd);
    ZQI_ResetSoundPool();
    ZQI_ClearBitmapTable();
    zq_font_t* font = ZQI_FONTS_GetOrLoadFont("listed!NONE", false);
    zq_bitmap_t* bitmap = ZQI_GetOrLoadBitmap("looked.png", CACHE_PIXELS, false);
    SoundResource* sound = ZQ_Audio_LoadSound("looked");
    ASSERT_TRUE(font != nullptr && bitmap != nullptr && sound != nullptr);
    bitmap->width = bitmap->height = 16;
    bitmap->gpu.loaded = 1;  // only bitmaps on the GPU are hogs
    zq_bitmap_t* otherBitmap = nullptr;
    SoundResource* otherSound = nullptr;
    const int32_t fontsBefore = LoggedCount("Fonts:");
    std::atomic<bool> fontsHeld(false);
    bool listingFonts = false;
    std::thread program([&] {
        ZQI_LockCoreMutex(CORE_MUTEX_GET_FONT);
        fontsHeld = true;
        // Given up after 10 s, so that a listing that never reaches the fonts fails instead of hanging.
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!listingFonts && std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            ZQ_Threading_LockMutex(ZQI_GetConsole()->mutex);  // the log's lines change under it
            listingFonts = LoggedCount("Fonts:") > fontsBefore;
            ZQ_Threading_UnlockMutex(ZQI_GetConsole()->mutex);
        }
        ZQ_Graphics_ReleaseBitmap(bitmap);
        ZQ_Graphics_RemoveBitmapHandle(bitmap);
        otherBitmap = ZQI_GetOrLoadBitmap("placed.png", CACHE_PIXELS, false);
        ZQ_Audio_ReleaseSound(sound);
        otherSound = ZQ_Audio_LoadSound("placed");
        ZQI_UnlockCoreMutex(CORE_MUTEX_GET_FONT);
    });
    while (!fontsHeld) {
        std::this_thread::yield();
    }
    // One hog of each kind, naming what was looked at.
    const char* const hogs[] = {" GFX ", " SND ", " GFX 0.0MB 16x16 looked.png", " SND 0.0MB looked"};
    int32_t before[4];
    for (int32_t i = 0; i < 4; ++i) {
        before[i] = LoggedCount(hogs[i]);
    }
    EXPECT_EQ("(null)", Call("ListResourceUsage"));
    program.join();
    ASSERT_TRUE(listingFonts) << "the listing reached the fonts";
    ASSERT_TRUE(bitmap == otherBitmap && sound == otherSound) << "the freed places are the first free ones";
    for (int32_t i = 0; i < 4; ++i) {
        EXPECT_EQ(1, LoggedCount(hogs[i]) - before[i]) << hogs[i];
    }
    ZQI_FONTS_ReleaseFont(font);
    ZQI_ClearBitmapTable();
    ZQI_ResetSoundPool();
    ZQI_SetAudioSoundImplementation(nullptr);
}

TEST_F(ExtensionCallTest, TheResourceListingShowsAtMostEightyHogsLargestFirst) {
    // Bitmaps "on the GPU" with growing textures; the records are the test's own stand-ins.
    const int kBitmaps = 85;
    char name[16];
    for (int i = 0; i < kBitmaps; ++i) {
        snprintf(name, sizeof(name), "!hog%02d", i);
        zq_bitmap_t* bitmap = ZQI_GetOrLoadBitmap(name, CACHE_NOTHING, true);
        ASSERT_NE(nullptr, bitmap);
        bitmap->width = bitmap->height = 16;
        bitmap->gpu.loaded = 1;
        bitmap->gpu.texture_width = bitmap->gpu.texture_height = 16 * (i + 1);
    }
    SoundResource* music = ZQ_Audio_GetSoundWithCacheMode("!music", SOUND_CACHE_NOTHING);
    ASSERT_NE(nullptr, music);
    music->dataSize = 4194305;  // above 4 MB: counted as music, not held
    EXPECT_EQ("(null)", Call("ListResourceUsage"));
    EXPECT_EQ(1, LoggedCount("Bitmap #000 16x16 '!hog00' refc=0 gpumem=1.0KB  texture=16x16"));
    EXPECT_EQ(1, LoggedCount("Assuming Sound #000 '!music' is music and not counting its memory"));
    EXPECT_EQ(1, LoggedCount("Total 0.0MB allocated for sounds in system memory."));
    EXPECT_EQ(1, LoggedCount("ZORQA state size is 720.7KB."));
    EXPECT_EQ(1, LoggedCount("TOP80 Memory Hogs"));
    // (16 * 85) squared * 4 bytes = 7.06 MB first; of the 86 entries (85 bitmaps and the sound) the
    // smallest six are left out.
    EXPECT_EQ(1, LoggedCount("#001 GFX 7.1MB 16x16 !hog84"));
    EXPECT_EQ(1, LoggedCount("#080 GFX 0.0MB 16x16 !hog05"));
    EXPECT_EQ(0, LoggedCount("#081 GFX") + LoggedCount("#081 SND"));
    ZQI_ClearBitmapTable();
    ZQI_ResetSoundPool();
}
