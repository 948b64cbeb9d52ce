// The null sound back end's answers and the behaviour every back end shares: looping playback
// built on PlaySound and the retired slots with their warning.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "audio/null/NullSoundImplementation.h"
#include "core/ApiTable.h"
#include "core/CoreState.h"

namespace {

// A back end that records what the shared code calls on it.
class RecordingSoundImplementation : public SoundImplementationNull {
public:
    uint32_t nextChannel = 0;
    int loopingCalls = 0;
    uint32_t loopingChannel = 0xFFFFFFFFu;
    bool loopingValue = false;

    uint32_t PlaySound(SoundResource*, float, float, float) override { return nextChannel; }
    void SetChannelLooping(uint32_t channel, bool looping) override {
        ++loopingCalls;
        loopingChannel = channel;
        loopingValue = looping;
    }
};

// Taken while the test program is statically initialised, before main.
SoundImplementation* const g_nullAtStaticInitialisation = ZQI_GetNullSoundImplementation();
const char* const g_nullNameAtStaticInitialisation = g_nullAtStaticInitialisation->GetName();

int g_popupCount = 0;
int32_t g_popupLevel = -1;
char g_popupText[128];

int32_t CountPopup(int32_t level, const char* text) {
    ++g_popupCount;
    g_popupLevel = level;
    snprintf(g_popupText, sizeof(g_popupText), "%s", text);
    return 1;
}

// Developer mode shows every popup through the platform's message box before the program runs,
// so each call of a deprecated slot reaches the counting box.
class DeprecatedSlotTest : public ::testing::Test {
protected:
    void SetUp() override {
        ZQI_BuildApiTables();
        g_core.developerMode = 1;
        g_core.logVerboseLevel = 0;
        g_core.programInitCalled = 0;
        g_core.popupMessage = CountPopup;
        g_popupCount = 0;
        g_popupLevel = -1;
        g_popupText[0] = '\0';
    }
    void TearDown() override {
        g_core.popupMessage = nullptr;
        g_core.developerMode = 0;
        g_core.logVerboseLevel = 2;
    }
};

}  // namespace

TEST(NullSoundImplementation, NameIsSoundImpNull) {
    EXPECT_STREQ("SoundImp Null", ZQI_GetNullSoundImplementation()->GetName());
}

// The core falls back to the null back end from anywhere, start-up included, and never deletes
// it: it must be usable before main, from other files' static initialisation, and stay the same
// object afterwards.
TEST(NullSoundImplementation, IsReadyDuringStaticInitialisationAndStaysTheSameObject) {
    ASSERT_NE(nullptr, g_nullAtStaticInitialisation);
    EXPECT_STREQ("SoundImp Null", g_nullNameAtStaticInitialisation);
    EXPECT_EQ(g_nullAtStaticInitialisation, ZQI_GetNullSoundImplementation());
}

TEST(NullSoundImplementation, SucceedsWithoutPlaying) {
    SoundImplementation* sound = ZQI_GetNullSoundImplementation();
    EXPECT_FALSE(sound->ReadsFilesItself());
    EXPECT_TRUE(sound->Initialize(&g_core, nullptr));
    EXPECT_TRUE(sound->WindowChanged(&g_core, nullptr));
    EXPECT_TRUE(sound->LoadSound(nullptr, nullptr, "sounds/click.wav"));
    EXPECT_EQ(0u, sound->PlaySound(nullptr, 1.0f, 0.0f, 1.0f));
    EXPECT_EQ(0u, sound->PlaySoundWithLooping(nullptr, 1.0f, 0.0f, 1.0f, true));
    EXPECT_EQ(0u, sound->PlaySoundWithLooping(nullptr, 1.0f, 0.0f, 1.0f, false));
    EXPECT_FALSE(sound->IsChannelPlaying(0));
    EXPECT_FALSE(sound->IsChannelPlaying(1));
    sound->Shutdown();
}

TEST(SoundImplementationLooping, LoopingPassesThePlayedChannelOn) {
    RecordingSoundImplementation sound;
    sound.nextChannel = 7;
    EXPECT_EQ(7u, sound.PlaySoundWithLooping(nullptr, 1.0f, 0.0f, 1.0f, true));
    EXPECT_EQ(1, sound.loopingCalls);
    EXPECT_EQ(7u, sound.loopingChannel);
    EXPECT_TRUE(sound.loopingValue);
}

TEST(SoundImplementationLooping, NotLoopingNeverSetsLooping) {
    RecordingSoundImplementation sound;
    sound.nextChannel = 3;
    EXPECT_EQ(3u, sound.PlaySoundWithLooping(nullptr, 1.0f, 0.0f, 1.0f, false));
    EXPECT_EQ(0, sound.loopingCalls);
}

TEST(SoundImplementationLooping, LoopingIsSetEvenWhenNothingPlayed) {
    RecordingSoundImplementation sound;
    sound.nextChannel = 0;
    EXPECT_EQ(0u, sound.PlaySoundWithLooping(nullptr, 1.0f, 0.0f, 1.0f, true));
    EXPECT_EQ(1, sound.loopingCalls);
    EXPECT_EQ(0u, sound.loopingChannel);
}

TEST_F(DeprecatedSlotTest, EachLoudSlotWarnsOncePerCallAndAnswers555) {
    SoundImplementation* sound = ZQI_GetNullSoundImplementation();
    EXPECT_EQ(555, sound->DeprecatedMethod());
    EXPECT_EQ(555, sound->DeprecatedMethod2());
    EXPECT_EQ(555, sound->DeprecatedMethod3());
    EXPECT_EQ(555, sound->DeprecatedMethod4());
    EXPECT_EQ(555, sound->DeprecatedMethod5());
    EXPECT_EQ(555, sound->DeprecatedMethod6());
    EXPECT_EQ(555, sound->DeprecatedMethod7());
    EXPECT_EQ(7, g_popupCount);
    EXPECT_EQ(1, g_popupLevel);
    EXPECT_STREQ("Calling deprecated Sound Imp method!", g_popupText);
}

// Only the retired slots may warn: every other operation, on ids that name no channel as on id 0,
// passes without a popup and leaves nothing playing.
TEST_F(DeprecatedSlotTest, EveryOtherOperationPassesWithoutAWordAndPlaysNothing) {
    SoundImplementation* sound = ZQI_GetNullSoundImplementation();
    for (uint32_t id : {0u, 5u}) {
        sound->StopChannel(id);
        sound->SetChannelPan(id, -1.0f);
        sound->SetChannelVolume(id, 0.5f);
        sound->SetChannelPaused(id, true);
        sound->SetChannelLooping(id, true);
        sound->SetChannelPitch(id, 1.5f);
        EXPECT_FALSE(sound->IsChannelPlaying(id));
    }
    sound->SetMasterVolume(0.5f);
    sound->FreeSound(nullptr);
    sound->PlayMusic(nullptr, 1.0f);
    sound->SetMusicPaused(true);
    sound->SetMusicVolume(0.25f);
    sound->StopMusic();
    sound->SetEngineRunning(false);
    sound->SetEngineRunning(true);
    sound->Update();
    sound->EndFrame();
    EXPECT_EQ(0u, sound->PlaySoundWithLooping(nullptr, 1.0f, 0.0f, 1.0f, true));
    EXPECT_EQ(0, g_popupCount) << g_popupText;
}

TEST_F(DeprecatedSlotTest, SilentSlotAnswers555WithoutAWord) {
    EXPECT_EQ(555, ZQI_GetNullSoundImplementation()->DeprecatedMethodSilent());
    EXPECT_EQ(0, g_popupCount);
}

// Every back end fills the same table, so the order of the operations is part of the interface.
// Read here from the pointers to the virtual operations, as the Itanium C++ ABI of GCC and
// mingw-w64 on x86-64 represents them (1 + the slot's byte offset); the destructor takes the
// first two slots (complete and deleting), so each operation sits at its place counted from 1.
#if defined(__GNUC__) && defined(__x86_64__)
namespace {

template <typename Member>
long SlotOf(Member member) {
    struct {
        uintptr_t pointer;
        ptrdiff_t adjustment;
    } representation;
    static_assert(sizeof(member) == sizeof(representation), "a pointer to a member function");
    memcpy(&representation, &member, sizeof(representation));
    return static_cast<long>((representation.pointer - 1) / sizeof(void*));
}

}  // namespace

TEST(SoundImplementationTable, OperationsKeepTheirSlots) {
    typedef SoundImplementation S;
    EXPECT_EQ(2, SlotOf(&S::GetName));
    EXPECT_EQ(3, SlotOf(&S::ReadsFilesItself));
    EXPECT_EQ(4, SlotOf(&S::Initialize));
    EXPECT_EQ(5, SlotOf(&S::WindowChanged));
    EXPECT_EQ(6, SlotOf(&S::Shutdown));
    EXPECT_EQ(7, SlotOf(&S::LoadSound));
    EXPECT_EQ(8, SlotOf(&S::FreeSound));
    EXPECT_EQ(9, SlotOf(&S::SetMasterVolume));
    EXPECT_EQ(10, SlotOf(&S::PlaySound));
    EXPECT_EQ(11, SlotOf(&S::PlaySoundWithLooping));
    EXPECT_EQ(12, SlotOf(&S::StopChannel));
    EXPECT_EQ(13, SlotOf(&S::SetChannelPan));
    EXPECT_EQ(14, SlotOf(&S::SetChannelVolume));
    EXPECT_EQ(15, SlotOf(&S::SetChannelPaused));
    EXPECT_EQ(16, SlotOf(&S::SetChannelLooping));
    EXPECT_EQ(17, SlotOf(&S::SetChannelPitch));
    EXPECT_EQ(18, SlotOf(&S::IsChannelPlaying));
    EXPECT_EQ(19, SlotOf(&S::DeprecatedMethod));
    EXPECT_EQ(20, SlotOf(&S::PlayMusic));
    EXPECT_EQ(21, SlotOf(&S::StopMusic));
    EXPECT_EQ(22, SlotOf(&S::DeprecatedMethodSilent));
    EXPECT_EQ(23, SlotOf(&S::DeprecatedMethod2));
    EXPECT_EQ(24, SlotOf(&S::DeprecatedMethod3));
    EXPECT_EQ(25, SlotOf(&S::DeprecatedMethod4));
    EXPECT_EQ(26, SlotOf(&S::DeprecatedMethod5));
    EXPECT_EQ(27, SlotOf(&S::DeprecatedMethod6));
    EXPECT_EQ(28, SlotOf(&S::DeprecatedMethod7));
    EXPECT_EQ(29, SlotOf(&S::SetMusicPaused));
    EXPECT_EQ(30, SlotOf(&S::SetMusicVolume));
    EXPECT_EQ(31, SlotOf(&S::SetEngineRunning));
    EXPECT_EQ(32, SlotOf(&S::Update));
    EXPECT_EQ(33, SlotOf(&S::EndFrame));
}
#endif
