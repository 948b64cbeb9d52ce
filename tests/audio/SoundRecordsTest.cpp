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

const char* const kClick = "mem://rec/click";
const int16_t kOne = 1;

SoundResource* Find() {
    return ZQ_Audio_GetSoundWithCacheMode(kClick, SOUND_CACHE_LOOKUP);
}

bool WaitUpTo(int32_t milliseconds, const std::atomic<bool>& flag) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!flag && std::chrono::steady_clock::now() < until) {
        std::this_thread::yield();
    }
    return flag;
}

// Counts loads, frees, and faults: a load over data or a free of none. The hooks run inside.
class CheckingBackEnd final : public SoundImplementationNull {
public:
    bool LoadSound(SoundResource* sound, SoundData* data, const char* path) override {
        faults += held.exchange(true) ? 1 : 0;
        ++loads;
        if (onLoad) {
            onLoad();
        }
        std::this_thread::yield();  // lets other threads in while the load is under way
        return SoundImplementationNull::LoadSound(sound, data, path);
    }
    void FreeSound(SoundResource*) override {
        faults += held.exchange(false) ? 0 : 1;
        ++frees;
        if (onFree) {
            onFree();
        }
    }
    std::atomic<bool> held{false};
    std::atomic<int32_t> loads{0}, frees{0}, faults{0};
    std::function<void()> onLoad, onFree;
};

}  // namespace

// One thread loads, reloads or frees a sound's data while another loads, counts, releases or
// reloads it: the other waits for that step, so the sound is loaded once at a time and
// a sound released meanwhile ends hibernated (or, not counting, freed) with no data.
TEST_F(SoundRecordsTest, ASoundLoadedOnTwoThreadsAtOnceIsLoadedOnce) {
    ZQI_CreateCoreMutexes();  // the entries really take the sound table lock
    using Step = void (*)();
    const Step Load = [] { ZQ_Audio_LoadSound(kClick); };
    const Step Get = [] { ZQ_Audio_GetSound(kClick); };
    const Step CountUp = [] { ZQ_Audio_IncreaseSoundReferenceCount(Find(), &kOne); };
    const Step Release = [] { ZQ_Audio_ReleaseSound(Find()); };
    const Step Reload = [] { ZQI_ReloadSoundsInUse(); };
    enum Before { NEW, LOADED, HIBERNATED };
    struct Case {
        const char* what;
        bool counting;  // also: the place is still taken after both
        Before before;
        bool inFree;  // second runs while first frees data, else while it loads
        Step first, second;
        int16_t count;         // after both; data is kept if counted
        int32_t loads, frees;  // after the set-up
    };
    const Case cases[] = {
        {"LoadSound twice, new name", true, NEW, false, Load, Load, 2, 1, 0},
        {"LoadSound twice, hibernated", true, HIBERNATED, false, Load, Load, 2, 1, 0},
        {"GetSound, then LoadSound", true, NEW, false, Get, Load, 2, 1, 0},
        {"LoadSound, then GetSound", true, NEW, false, Load, Get, 2, 1, 0},
        {"count up, then LoadSound", true, HIBERNATED, false, CountUp, Load, 2, 1, 0},
        {"count up, last release", true, HIBERNATED, false, CountUp, Release, 0, 1, 1},
        {"GetSound, last release", true, NEW, false, Get, Release, 0, 1, 1},
        {"LoadSound, release not counting", false, NEW, false, Load, Release, 1, 1, 1},
        {"LoadSound, then the reload", true, NEW, false, Load, Reload, 1, 2, 1},
        {"the reload, last release", true, LOADED, true, Reload, Release, 0, 1, 2},
        {"the reload, release not counting", false, LOADED, true, Reload, Release, 1, 1, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ZQI_SetFeatureText(FEATURE_TEXT_COMMAND_LINE, c.counting ? nullptr : "DISABLE_REFERENCE_COUNTING");
        CheckingBackEnd backEnd;
        Use(&backEnd);
        if (c.before != NEW) {
            SoundResource* sound = ZQ_Audio_LoadSound(kClick);
            if (c.before == HIBERNATED) {
                ZQ_Audio_ReleaseSound(sound);
            }
            backEnd.loads = backEnd.frees = 0;
        }
        std::atomic<bool> inside(false), secondDone(false);
        (c.inFree ? backEnd.onFree : backEnd.onLoad) = [&] {
            if (!inside.exchange(true)) {  // the first only
                WaitUpTo(100, secondDone);
            }
        };
        std::thread program(c.first);
        ASSERT_TRUE(WaitUpTo(10000, inside));
        c.second();
        secondDone = true;
        program.join();
        const SoundResource* sound = &ZQI_GetSoundPool()[0];
        const bool data = c.counting && c.count > 0;
        EXPECT_EQ(c.loads, backEnd.loads.load()) << "loaded by one thread only";
        EXPECT_EQ(c.frees, backEnd.frees.load()) << "each load's data freed once, if at all";
        EXPECT_EQ(0, backEnd.faults.load()) << "loaded over data, or freed none";
        EXPECT_EQ(c.counting, sound->name != nullptr);
        EXPECT_EQ(c.count, sound->referenceCount);
        EXPECT_EQ(data, sound->data != nullptr);
        EXPECT_EQ(data, sound->loaded != 0);
        if (c.counting) {  // a freed place keeps its last mode
            EXPECT_EQ(data ? SOUND_CACHE_LOADED : SOUND_CACHE_NOTHING, sound->cacheMode);
        }
        EXPECT_FALSE(WasLogged("not found") || WasLogged("Unable to reload sound"));
        ZQI_ResetSoundPool();
    }
    ZQI_SetFeatureText(FEATURE_TEXT_COMMAND_LINE, nullptr);
}

// Four threads load, count up and release one sound, each release matching its own load or count,
// while the main thread keeps reloading: each load's data is freed once, none loads over data, and
// the sound ends hibernated.
TEST_F(SoundRecordsTest, ASoundLoadedAndReleasedOnManyThreadsDuringReloadsEndsHibernated) {
    ZQI_CreateCoreMutexes();
    CheckingBackEnd backEnd;
    Use(&backEnd);
    std::atomic<bool> programsDone(false);
    std::vector<std::thread> programs;
    for (int32_t t = 0; t < 4; ++t) {
        programs.emplace_back([t] {
            for (int32_t i = 0; i < 1500; ++i) {
                SoundResource* found = (i + t) % 3 == 0 ? Find() : nullptr;
                if (found != nullptr) {
                    ZQ_Audio_IncreaseSoundReferenceCount(found, &kOne);
                    ZQ_Audio_ReleaseSound(found);
                } else {
                    ZQ_Audio_ReleaseSound(ZQ_Audio_LoadSound(kClick));
                }
            }
        });
    }
    std::thread mainThread([&] {
        while (!programsDone) {
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
    EXPECT_EQ(nullptr, sound->data);
    EXPECT_EQ(0, backEnd.faults.load()) << "loaded over data, or freed none";
    EXPECT_EQ(backEnd.loads.load(), backEnd.frees.load());
    EXPECT_FALSE(WasLogged("not found") || WasLogged("Unable to reload sound"));
}
