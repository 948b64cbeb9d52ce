// Sound records: counting through GetSound and LoadSound, hibernation, the cache modes, the pool's
// limit, the reference cap, placeholders, switched-off reference counting, and sound disabled.
#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "AudioTestSupport.h"
#include "audio/AudioSystem.h"
#include "audio/SoundChannel.h"
#include "audio/SoundResource.h"
#include "core/ApiTable.h"
#include "core/CoreState.h"
#include "core/Features.h"
#include "core/NamedMutex.h"

using namespace AudioTest;

namespace {

class SoundRecordsTest : public AudioTest::AudioTest {
protected:
    void SetUp() override {
        AudioTest::AudioTest::SetUp();
        WriteFile("mem://rec/click.wav", Fixture("tone-mono.wav"));
    }
};

}  // namespace

TEST_F(SoundRecordsTest, GetSoundCountsOnceAndReleasesHibernate) {
    SoundResource* sound = ZQ_Audio_GetSound("mem://rec/click");
    ASSERT_NE(nullptr, sound);
    EXPECT_EQ(sound, ZQ_Audio_GetSound("mem://rec/click"));
    EXPECT_EQ(1, sound->referenceCount);
    EXPECT_TRUE(ZQ_Audio_IsSoundLoaded(sound));
    EXPECT_EQ(88200u, sound->dataSize);

    ZQ_Audio_ReleaseSound(sound);
    EXPECT_EQ(0, sound->referenceCount);
    EXPECT_FALSE(ZQ_Audio_IsSoundLoaded(sound)) << "hibernated: data freed, place kept";
    EXPECT_EQ(0u, sound->dataSize);
    EXPECT_STREQ("mem://rec/click", sound->name);
    EXPECT_TRUE(
        PopupShown("Releasing sound 'mem://rec/click' too many times: ref counting will get messed up. "
                   "NOTE: sound has been accessed using GetSound which increses ref count by 1 once."));
    ZQ_Audio_ReleaseSound(sound);
    EXPECT_EQ(0, sound->referenceCount);
    EXPECT_TRUE(PopupShown("Sound 'mem://rec/click' reference count less than zero."));

    EXPECT_EQ(sound, ZQ_Audio_LoadSound("mem://rec/click"));
    EXPECT_EQ(1, sound->referenceCount);
    EXPECT_TRUE(ZQ_Audio_IsSoundLoaded(sound)) << "counted again: loaded again";
}

TEST_F(SoundRecordsTest, CacheModesNothingAndLookUp) {
    EXPECT_EQ(nullptr, ZQ_Audio_GetSoundWithCacheMode("mem://rec/click", SOUND_CACHE_LOOKUP));
    EXPECT_EQ(0, ZQI_GetSoundPoolCount()) << "a look-up takes no place";
    SoundResource* sound = ZQ_Audio_GetSoundWithCacheMode("mem://rec/click", SOUND_CACHE_NOTHING);
    ASSERT_NE(nullptr, sound);
    EXPECT_EQ(0, sound->referenceCount);
    EXPECT_EQ(nullptr, sound->data);
    EXPECT_EQ(sound, ZQ_Audio_GetSoundWithCacheMode("mem://rec/click", SOUND_CACHE_LOOKUP));
    const int16_t two = 2;
    ZQ_Audio_IncreaseSoundReferenceCount(sound, &two);
    EXPECT_EQ(2, sound->referenceCount);
    EXPECT_NE(nullptr, sound->data) << "counted up from 0: loaded";
    EXPECT_EQ(SOUND_CACHE_LOADED, sound->cacheMode);
}

TEST_F(SoundRecordsTest, CountsAreCappedAt4096AndNeverWrap) {
    SoundResource* sound = nullptr;
    for (int i = 0; i < 4097; ++i) {
        sound = ZQ_Audio_LoadSound("mem://rec/click");
    }
    EXPECT_EQ(4096, sound->referenceCount);
    EXPECT_TRUE(PopupShown("Sound 'mem://rec/click' reference count suspiciously high: capping at 4096."));
    const int16_t many = 30000;
    ZQ_Audio_IncreaseSoundReferenceCount(sound, &many);
    EXPECT_EQ(4096, sound->referenceCount);
}

TEST_F(SoundRecordsTest, The1025thNameFindsNoPlace) {
    for (int i = 0; i < SOUND_POOL_SIZE; ++i) {
        ASSERT_NE(nullptr, ZQ_Audio_GetSoundWithCacheMode(("!slot" + std::to_string(i)).c_str(), 0));
    }
    EXPECT_EQ(nullptr, ZQ_Audio_GetSoundWithCacheMode("!one-more", 0));
    EXPECT_EQ(nullptr, ZQ_Audio_LoadSound("!one-more"));
    EXPECT_TRUE(PopupShown(" ! Zorqa out of free sounds."));
}

TEST_F(SoundRecordsTest, PlaceholdersNeverTouchFiles) {
    SoundResource* none = ZQ_Audio_LoadSound("!NONE");
    ASSERT_NE(nullptr, none);
    EXPECT_EQ(none, ZQ_Audio_GetSound("!NONE"));
    EXPECT_EQ(SOUND_CACHE_LOADED, none->cacheMode);
    EXPECT_EQ(nullptr, none->data);
    EXPECT_EQ(1, none->referenceCount) << "placeholders are not counted again";
    ZQ_Audio_ReleaseSound(none);
    EXPECT_EQ(1, none->referenceCount);
    EXPECT_EQ(0u, ZQ_Audio_PlaySound(none, 1.0f, 0.0f, 1.0f));
    EXPECT_FALSE(PopupShown("Sound resource '!NONE' not found."));
}

TEST_F(SoundRecordsTest, MissingFilesAndExtensionsInNames) {
    SoundResource* missing = ZQ_Audio_LoadSound("mem://rec/nothing");
    ASSERT_NE(nullptr, missing);
    EXPECT_TRUE(PopupShown("Sound resource 'mem://rec/nothing' not found."));
    EXPECT_FALSE(ZQ_Audio_IsSoundLoaded(missing));
    ZQ_Audio_LoadSound("mem://rec/click.wav");
    EXPECT_TRUE(
        PopupShown("Sound name 'mem://rec/click.wav' has file extension. Remove it from the file name."));
    EXPECT_EQ(nullptr, ZQ_Audio_GetSoundWithCacheMode(nullptr, SOUND_CACHE_LOOKUP));
    EXPECT_TRUE(PopupShown("ZQ_Audio_GetSoundWithCacheMode called with null parameter."));
}

TEST_F(SoundRecordsTest, WithoutReferenceCountingReleaseFreesThePlace) {
    ZQI_SetFeatureText(FEATURE_TEXT_COMMAND_LINE, "DISABLE_REFERENCE_COUNTING");
    Use(ZQI_GetNullSoundImplementation());  // the switch is read when a back end is taken
    SoundResource* sound = ZQ_Audio_LoadSound("mem://rec/click");
    ZQ_Audio_ReleaseSound(sound);
    EXPECT_EQ(nullptr, sound->name);
    EXPECT_EQ(nullptr, sound->data);
    EXPECT_EQ(sound, ZQ_Audio_LoadSound("mem://rec/again")) << "the freed place is taken first";
    ZQI_SetFeatureText(FEATURE_TEXT_COMMAND_LINE, nullptr);
    Use(ZQI_GetNullSoundImplementation());
}

TEST_F(SoundRecordsTest, DisabledSoundCountsAsLoadedAndPlaysNothing) {
    RecordingBackEnd backEnd;
    Use(&backEnd);
    SoundResource* sound = ZQ_Audio_LoadSound("mem://rec/click");
    g_core.program->parameters.no_sound = 1;
    EXPECT_TRUE(ZQ_Audio_IsSoundLoaded(sound));
    EXPECT_TRUE(ZQ_Audio_IsSoundLoaded(ZQ_Audio_LoadSound("mem://rec/nothing")));
    EXPECT_EQ(0u, ZQ_Audio_PlaySound(sound, 1.0f, 0.0f, 1.0f));
    EXPECT_EQ(0u, ZQ_Audio_PlaySoundWithDelay(sound, 1.0f, 0.0f, 1.0f, false, 1.0f));
    g_core.program->parameters.no_sound = 0;
    EXPECT_NE(0u, ZQ_Audio_PlaySound(sound, 1.0f, 0.0f, 1.0f)) << "sound turned back on plays again";
}

TEST_F(SoundRecordsTest, ReloadAfterSoundIsTurnedOnReplacesTheData) {
    SoundResource* sound = ZQ_Audio_LoadSound("mem://rec/click");
    SoundResource* gone = ZQ_Audio_LoadSound("mem://rec/gone");
    SoundData* old = sound->data;
    ASSERT_NE(nullptr, old);
    RecordingBackEnd backEnd;
    Use(&backEnd);
    ZQI_ReloadSoundsInUse();
    EXPECT_NE(nullptr, sound->data);
    EXPECT_TRUE(sound->loaded);
    EXPECT_FALSE(gone->loaded);
}

// The reload after sound is turned back on runs on the main thread while a program thread may
// release a sound: here the release comes while the reload frees the sound's old data, and is let
// run for at most 200 ms. It waits until the reload of that sound is over, then hibernates the sound
// (no data) or, without reference counting, frees its place: a sound released under the reload is
// never loaded again, nor is its freed name read.
TEST_F(SoundRecordsTest, ASoundReleasedDuringTheReloadAfterSoundIsTurnedOnStaysReleased) {
    ZQI_CreateCoreMutexes();  // the release and the reload really take the sound table lock
    class ReleasingBackEnd final : public SoundImplementationNull {
    public:
        void FreeSound(SoundResource*) override {
            std::function<void()> hook;
            hook.swap(onFree);
            if (hook) {
                hook();
            }
        }
        std::function<void()> onFree;
    };
    for (const bool counting : {true, false}) {
        SCOPED_TRACE(counting ? "counting" : "not counting");
        ZQI_SetFeatureText(FEATURE_TEXT_COMMAND_LINE, counting ? nullptr : "DISABLE_REFERENCE_COUNTING");
        ReleasingBackEnd backEnd;
        Use(&backEnd);
        SoundResource* sound = ZQ_Audio_LoadSound("mem://rec/click");
        ASSERT_NE(nullptr, sound);
        ASSERT_NE(nullptr, sound->data);
        std::atomic<bool> released(false);
        std::thread program;
        backEnd.onFree = [&] {
            program = std::thread([&] {
                ZQ_Audio_ReleaseSound(sound);
                released = true;
            });
            const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
            while (!released && std::chrono::steady_clock::now() < until) {
                std::this_thread::yield();
            }
        };
        ZQI_ReloadSoundsInUse();
        ASSERT_TRUE(program.joinable()) << "the reload freed the old data";
        program.join();
        EXPECT_EQ(nullptr, sound->data);
        EXPECT_EQ(0, sound->loaded);
        EXPECT_FALSE(WasLogged("Unable to reload sound"));
        if (!counting) {
            EXPECT_EQ(nullptr, sound->name);
        }
        ZQI_ResetSoundPool();
    }
    ZQI_SetFeatureText(FEATURE_TEXT_COMMAND_LINE, nullptr);
    Use(ZQI_GetNullSoundImplementation());
}

namespace {

// Counts the loads and frees it is asked for; a load may run a hook first (once), inside the load.
class PausingBackEnd final : public SoundImplementationNull {
public:
    bool LoadSound(SoundResource* sound, SoundData* data, const char* path) override {
        ++loads;
        std::function<void()> hook;
        hook.swap(onLoad);
        if (hook) {
            hook();
        }
        return SoundImplementationNull::LoadSound(sound, data, path);
    }
    void FreeSound(SoundResource*) override { ++frees; }
    std::atomic<int32_t> loads{0};
    std::atomic<int32_t> frees{0};
    std::function<void()> onLoad;
};

bool WaitUpTo(int32_t milliseconds, const std::atomic<bool>& flag) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!flag && std::chrono::steady_clock::now() < until) {
        std::this_thread::yield();
    }
    return flag;
}

// Runs first on a program thread; once its load is inside the back end, runs second on this thread.
// The first load goes on when second has returned, or after 100 ms when second waits for it.
// True when the first call reached the back end.
bool RaceInsideLoad(PausingBackEnd& backEnd, const std::function<void()>& first,
                    const std::function<void()>& second) {
    std::atomic<bool> inside(false);
    std::atomic<bool> secondDone(false);
    backEnd.onLoad = [&] {
        inside = true;
        WaitUpTo(100, secondDone);
    };
    std::thread program(first);
    const bool reached = WaitUpTo(10000, inside);
    second();
    secondDone = true;
    program.join();
    backEnd.onLoad = nullptr;
    return reached;
}

}  // namespace

// Two program threads ask for the same sound at once, or one counts a sound up (and so loads it)
// while another gives the last reference back: each sound is loaded by one thread only, the others
// wait for that load, and a sound released during its load ends hibernated (or, without reference
// counting, freed) with no data.
TEST_F(SoundRecordsTest, ASoundLoadedOnTwoThreadsAtOnceIsLoadedOnce) {
    ZQI_CreateCoreMutexes();  // the entries really take the sound table lock
    const char* const kName = "mem://rec/click";
    const int16_t one = 1;
    struct Case {
        const char* what;
        bool counting;
        bool hibernatedFirst;  // loaded and released once before the race
        std::function<void()> first;
        std::function<void()> second;
        int16_t count;  // the count after both
        bool data;      // whether data is kept after both
        bool named;     // whether the place is still taken
    };
    auto lookUp = [&] { return ZQ_Audio_GetSoundWithCacheMode(kName, SOUND_CACHE_LOOKUP); };
    const Case cases[] = {
        {"LoadSound twice, new name", true, false, [&] { ZQ_Audio_LoadSound(kName); },
         [&] { ZQ_Audio_LoadSound(kName); }, 2, true, true},
        {"LoadSound twice, hibernated", true, true, [&] { ZQ_Audio_LoadSound(kName); },
         [&] { ZQ_Audio_LoadSound(kName); }, 2, true, true},
        {"GetSound, then LoadSound", true, false, [&] { ZQ_Audio_GetSound(kName); },
         [&] { ZQ_Audio_LoadSound(kName); }, 2, true, true},
        {"LoadSound, then GetSound", true, false, [&] { ZQ_Audio_LoadSound(kName); },
         [&] { ZQ_Audio_GetSound(kName); }, 2, true, true},
        {"IncreaseSoundReferenceCount, then LoadSound", true, true,
         [&] { ZQ_Audio_IncreaseSoundReferenceCount(lookUp(), &one); }, [&] { ZQ_Audio_LoadSound(kName); }, 2,
         true, true},
        {"IncreaseSoundReferenceCount, last release on another thread", true, true,
         [&] { ZQ_Audio_IncreaseSoundReferenceCount(lookUp(), &one); },
         [&] { ZQ_Audio_ReleaseSound(lookUp()); }, 0, false, true},
        {"GetSound, last release on another thread", true, false, [&] { ZQ_Audio_GetSound(kName); },
         [&] { ZQ_Audio_ReleaseSound(lookUp()); }, 0, false, true},
        {"LoadSound, release without reference counting", false, false, [&] { ZQ_Audio_LoadSound(kName); },
         [&] { ZQ_Audio_ReleaseSound(lookUp()); }, 1, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ZQI_SetFeatureText(FEATURE_TEXT_COMMAND_LINE, c.counting ? nullptr : "DISABLE_REFERENCE_COUNTING");
        PausingBackEnd backEnd;
        Use(&backEnd);
        if (c.hibernatedFirst) {
            ZQ_Audio_ReleaseSound(ZQ_Audio_LoadSound(kName));
            ASSERT_EQ(1, backEnd.loads.load());
            ASSERT_EQ(1, backEnd.frees.load());
            backEnd.loads = 0;
            backEnd.frees = 0;
        }
        ASSERT_TRUE(RaceInsideLoad(backEnd, c.first, c.second));
        EXPECT_EQ(1, backEnd.loads.load()) << "the sound is loaded by one thread only";
        SoundResource* sound = &ZQI_GetSoundPool()[0];
        EXPECT_EQ(c.named, sound->name != nullptr);
        EXPECT_EQ(c.count, sound->referenceCount);
        EXPECT_EQ(c.data, sound->data != nullptr);
        EXPECT_EQ(c.data, sound->loaded != 0);
        if (c.named) {  // a freed place keeps its last mode
            EXPECT_EQ(c.data ? SOUND_CACHE_LOADED : SOUND_CACHE_NOTHING, sound->cacheMode);
        }
        EXPECT_EQ(c.data ? 0 : 1, backEnd.frees.load())
            << "the data of the one load is freed once, if at all";
        EXPECT_FALSE(WasLogged("not found"));
        ZQI_ResetSoundPool();
    }
    ZQI_SetFeatureText(FEATURE_TEXT_COMMAND_LINE, nullptr);
    Use(ZQI_GetNullSoundImplementation());
}

// Sound switched back on takes a new back end while a program thread still loads a sound into the
// old one: the reload waits for that load and then loads the sound into the new back end.
TEST_F(SoundRecordsTest, TheReloadAfterSoundIsTurnedOnWaitsForALoadUnderWay) {
    ZQI_CreateCoreMutexes();
    PausingBackEnd before;
    PausingBackEnd after;
    Use(&before);
    ASSERT_TRUE(RaceInsideLoad(
        before, [] { ZQ_Audio_LoadSound("mem://rec/click"); },
        [&] {
            Use(&after);
            ZQI_ReloadSoundsInUse();
        }));
    const SoundResource* sound = &ZQI_GetSoundPool()[0];
    EXPECT_EQ(1, before.loads.load());
    EXPECT_EQ(1, after.loads.load()) << "the sound is loaded again into the new back end";
    EXPECT_NE(nullptr, sound->data);
    EXPECT_EQ(SOUND_CACHE_LOADED, sound->cacheMode);
    ZQI_ResetSoundPool();
    Use(ZQI_GetNullSoundImplementation());
}

TEST_F(SoundRecordsTest, AudioTableFillerFillsEverySlot) {
    ZQI_RegisterApiTableFiller(ZQI_InstallAudioApi);
    ZQI_BuildApiTables();
    const zq_audio_api_t* audio = ZQI_GetApi()->audio;
    const void* const* slots = reinterpret_cast<const void* const*>(audio);
    for (size_t i = 0; i < sizeof(zq_audio_api_t) / sizeof(void*); ++i) {
        EXPECT_NE(nullptr, slots[i]) << "slot " << i;
    }
    EXPECT_EQ(&ZQ_Audio_GetChannelSound, audio->GetChannelSound);
    EXPECT_EQ(&ZQ_Audio_StopMusic, audio->StopMusic);
    ZQI_UnregisterApiTableFiller(ZQI_InstallAudioApi);
}

namespace {

// Fails when a sound's data is loaded while it already has some, or freed when it has none.
class OneDataBackEnd final : public SoundImplementationNull {
public:
    bool LoadSound(SoundResource* sound, SoundData* data, const char* path) override {
        doubles += held.exchange(true) ? 1 : 0;
        ++loads;
        std::this_thread::yield();  // lets the other threads in while this load is under way
        return SoundImplementationNull::LoadSound(sound, data, path);
    }
    void FreeSound(SoundResource*) override {
        badFrees += held.exchange(false) ? 0 : 1;
        ++frees;
    }
    std::atomic<bool> held{false};
    std::atomic<int32_t> loads{0};
    std::atomic<int32_t> frees{0};
    std::atomic<int32_t> doubles{0};
    std::atomic<int32_t> badFrees{0};
};

}  // namespace

// Program threads load, count up and release one sound at once, each release matching its own
// load or count, while the main thread keeps reloading the sounds in use: every load's data is
// freed once, no load lands on data already there, and once all is given back the sound is
// hibernated with no data.
TEST_F(SoundRecordsTest, ASoundLoadedAndReleasedOnManyThreadsDuringReloadsEndsHibernated) {
    ZQI_CreateCoreMutexes();
    OneDataBackEnd backEnd;
    Use(&backEnd);
    const char* const kName = "mem://rec/click";
    const int16_t one = 1;
    std::atomic<bool> programsDone(false);
    std::vector<std::thread> programs;
    for (int32_t t = 0; t < 4; ++t) {
        programs.emplace_back([&, t] {
            for (int32_t i = 0; i < 1500; ++i) {
                SoundResource* found = (i + t) % 3 == 0 ? ZQ_Audio_GetSoundWithCacheMode(kName, SOUND_CACHE_LOOKUP)
                                                        : nullptr;
                if (found != nullptr) {
                    ZQ_Audio_IncreaseSoundReferenceCount(found, &one);
                    ZQ_Audio_ReleaseSound(found);
                } else {
                    ZQ_Audio_ReleaseSound(ZQ_Audio_LoadSound(kName));
                }
            }
        });
    }
    int32_t reloads = 0;
    std::thread mainThread([&] {
        for (; !programsDone; ++reloads) {
            ZQI_ReloadSoundsInUse();
        }
    });
    for (std::thread& program : programs) {
        program.join();
    }
    programsDone = true;
    mainThread.join();
    const SoundResource* sound = &ZQI_GetSoundPool()[0];
    EXPECT_EQ(1, ZQI_GetSoundPoolCount());
    EXPECT_EQ(0, sound->referenceCount);
    EXPECT_EQ(SOUND_CACHE_NOTHING, sound->cacheMode);
    EXPECT_EQ(nullptr, sound->data);
    EXPECT_EQ(0, backEnd.doubles.load()) << "loaded over data already there";
    EXPECT_EQ(0, backEnd.badFrees.load()) << "freed without data";
    EXPECT_EQ(backEnd.loads.load(), backEnd.frees.load());
    EXPECT_LT(0, reloads);
    EXPECT_FALSE(WasLogged("Unable to reload sound"));
    EXPECT_FALSE(WasLogged("not found"));
    ZQI_ResetSoundPool();
    Use(ZQI_GetNullSoundImplementation());
}
