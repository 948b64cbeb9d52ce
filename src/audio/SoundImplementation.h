// SoundImplementation: the abstract sound back end. The audio system keeps its own sound and
// channel records and drives exactly one back end through this interface; the back end owns the
// platform's voices, buffers and threads. The core chooses, initialises, updates and destroys it.
#pragma once

#include <cstdint>

struct CoreState;
struct SoundData;
typedef struct SoundResource SoundResource;
typedef struct zq_parameters_t zq_parameters_t;

// Answer of every deprecated slot.
enum { SOUND_IMP_DEPRECATED_ANSWER = 555 };

// Channel ids are unsigned 32-bit numbers; 0 means "no channel" and is never a valid id.
//
// The order of the virtual operations below is fixed: every back end fills the same table, so
// new operations are never inserted. Pan runs from -1 (left) to 1 (right), volume from 0 to 1,
// pitch is a frequency ratio (1 = unchanged). Failures show by result, never by exception.
class SoundImplementation {
public:
    virtual ~SoundImplementation();

    virtual const char* GetName() = 0;
    // Whether the back end opens sound files itself; when false, the audio system decodes each
    // sound with its own readers and hands the decoded data to LoadSound.
    virtual bool ReadsFilesItself();
    // The platform block is the core's state record; the settings record is not read by any
    // back end.
    virtual bool Initialize(CoreState* platform, const zq_parameters_t* settings) = 0;
    // The game window was re-created; the settings are the applied display parameters (not read
    // by any back end).
    virtual bool WindowChanged(CoreState* platform, const zq_parameters_t* settings);
    // Releases everything Initialize made.
    virtual void Shutdown() = 0;
    virtual bool LoadSound(SoundResource* sound, SoundData* data, const char* path) = 0;
    // Frees the back end's handle inside the sound's data.
    virtual void FreeSound(SoundResource* sound) = 0;
    virtual void SetMasterVolume(float volume) = 0;
    // Returns the channel id, 0 when the sound was not played.
    virtual uint32_t PlaySound(SoundResource* sound, float volume, float pan, float pitch) = 0;
    // PlaySound, then, when looping, SetChannelLooping on the returned id (also when it is 0).
    virtual uint32_t PlaySoundWithLooping(SoundResource* sound, float volume, float pan, float pitch,
                                          bool looping);
    virtual void StopChannel(uint32_t channel) = 0;
    virtual void SetChannelPan(uint32_t channel, float pan) = 0;
    virtual void SetChannelVolume(uint32_t channel, float volume) = 0;
    virtual void SetChannelPaused(uint32_t channel, bool paused) = 0;
    virtual void SetChannelLooping(uint32_t channel, bool looping) = 0;
    virtual void SetChannelPitch(uint32_t channel, float ratio) = 0;
    virtual bool IsChannelPlaying(uint32_t channel) = 0;
    // Retired operation: warns that it was called and answers 555. Back ends never replace it.
    virtual int32_t DeprecatedMethod();
    // Plays the sound as looping music on the back end's single music channel.
    virtual void PlayMusic(SoundResource* sound, float startVolume) = 0;
    virtual void StopMusic() = 0;
    // Retired operation that answers 555 without a word. Back ends never replace it.
    virtual int32_t DeprecatedMethodSilent();
    // Six more retired slots, each the same as DeprecatedMethod.
    virtual int32_t DeprecatedMethod2();
    virtual int32_t DeprecatedMethod3();
    virtual int32_t DeprecatedMethod4();
    virtual int32_t DeprecatedMethod5();
    virtual int32_t DeprecatedMethod6();
    virtual int32_t DeprecatedMethod7();
    virtual void SetMusicPaused(bool paused) = 0;
    virtual void SetMusicVolume(float volume) = 0;
    // Starts or stops the audio engine as a whole; only hosts call it, never the engine's own
    // start-up, frame or shutdown paths.
    virtual void SetEngineRunning(bool running) = 0;
    // Per-frame step at the start of the frame.
    virtual void Update() = 0;
    // Per-frame step after the frame has been drawn.
    virtual void EndFrame() = 0;

private:
    int32_t ReportDeprecatedCall();
};
