// SoundImpXAudio2: the preferred sound back end, over XAudio2 2.9 loaded at run time. Two engines
// (music and effects), each with its mastering voice; 128 channel records and one music record.
// PCM plays from memory; Vorbis kept compressed streams through a ring of three 64 KiB buffers
// that the "XAudio2Update" thread tops up every 10 ms. Windows only.
#pragma once

#include <cstdint>

#include "audio/SoundImplementation.h"

struct IXAudio2;
struct IXAudio2MasteringVoice;
struct IXAudio2SourceVoice;
struct SoundDecoder;
struct SoundData;
typedef long HRESULT;

enum {
    XAUDIO2_RECORD_COUNT = 128,
    XAUDIO2_RING_SLOT = 65536,
    XAUDIO2_RING_SLOTS = 3,
    XAUDIO2_LAST_ID = 0x7fffffff,
};

// One playing voice.
struct XAudio2Record {
    uint64_t ringIndex;              // next slot of the streaming ring
    IXAudio2MasteringVoice* output;  // the mastering voice of the record's engine
    uint8_t* ring;                   // XAUDIO2_RING_SLOTS * XAUDIO2_RING_SLOT bytes
    SoundResource* sound;            // null = free
    SoundDecoder* decoder;           // streamed sounds only
    IXAudio2SourceVoice* voice;      // kept after the sound ends and reused
    uint32_t id;
    float volume;
    uint8_t looping;
    uint8_t playing;  // started and not paused
    uint8_t streaming;
    SoundData* queuedData;  // whose PCM the voice may still read, until it is destroyed
};

// Starts a named engine thread; returns its engine id, 0 when it did not start.
typedef uint32_t (*XAudio2ThreadStarter)(const char* name, void (*function)(void*), void* argument,
                                         uint32_t flags);

// Loads "xaudio2_9.dll" once (system folder only) and creates an engine. A negative result means
// XAudio2 cannot be used; on success the caller owns one reference.
HRESULT CreateXAudio2Engine(IXAudio2** engine);

class SoundImpXAudio2 : public SoundImplementation {
public:
    SoundImpXAudio2();
    ~SoundImpXAudio2() override;

    const char* GetName() override;
    bool Initialize(CoreState* platform, const zq_parameters_t* settings) override;
    void Shutdown() override;
    bool LoadSound(SoundResource* sound, SoundData* data, const char* path) override;
    void FreeSound(SoundResource* sound) override;
    void SetMasterVolume(float volume) override;
    uint32_t PlaySound(SoundResource* sound, float volume, float pan, float pitch) override;
    void StopChannel(uint32_t channel) override;
    void SetChannelPan(uint32_t channel, float pan) override;
    void SetChannelVolume(uint32_t channel, float volume) override;
    void SetChannelPaused(uint32_t channel, bool paused) override;
    void SetChannelLooping(uint32_t channel, bool looping) override;
    void SetChannelPitch(uint32_t channel, float ratio) override;
    bool IsChannelPlaying(uint32_t channel) override;
    void PlayMusic(SoundResource* sound, float startVolume) override;
    void StopMusic() override;
    void SetMusicPaused(bool paused) override;
    void SetMusicVolume(float volume) override;
    void SetEngineRunning(bool running) override;
    void Update() override;
    void EndFrame() override;

    // Tests: the source voice of a channel id (null for none), the music record's voice, the
    // effects' mastering voice, and setting the next id the counter hands out.
    IXAudio2SourceVoice* GetChannelVoice(uint32_t channel);
    IXAudio2SourceVoice* GetMusicVoice();
    IXAudio2MasteringVoice* GetSoundMaster() { return soundMaster_; }
    void SetNextChannelId(uint32_t id);
    // Tests: how Initialize starts the update thread (ZQ_Threading_CreateThread; null restores it).
    void SetThreadStarter(XAudio2ThreadStarter starter);

private:
    struct Lock;

    static void UpdateThread(void* self);
    XAudio2Record* FindRecord(uint32_t id);
    bool StartRecord(XAudio2Record* record, IXAudio2* engine, SoundResource* sound, float volume, float pan,
                     float pitch, bool looping);
    void StopRecord(XAudio2Record* record);
    void DestroyVoice(XAudio2Record* record);
    void Refill(XAudio2Record* record);
    void TopUpStream(XAudio2Record* record, uint32_t queued);
    void ApplyPan(XAudio2Record* record, float pan);
    void SetPaused(XAudio2Record* record, bool paused);
    void SetVolume(XAudio2Record* record, float volume);
    void StopThread();
    void ReleaseEngines();

    XAudio2Record records_[XAUDIO2_RECORD_COUNT];
    XAudio2Record music_;
    IXAudio2* musicEngine_;
    IXAudio2* soundEngine_;
    IXAudio2MasteringVoice* musicMaster_;
    IXAudio2MasteringVoice* soundMaster_;
    void* mutex_;  // CRITICAL_SECTION
    uint32_t nextId_;
    uint32_t lastUpdate_;
    volatile long threadStop_;
    volatile long threadRunning_;
    XAudio2ThreadStarter startThread_;
};
