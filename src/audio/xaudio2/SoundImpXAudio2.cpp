// The XAudio2 back end. One critical section guards every record; the update thread takes it
// once per record, so the main thread never waits for a whole pass.
#include "audio/xaudio2/SoundImpXAudio2.h"

#include <windows.h>
#include <xaudio2.h>

#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "audio/SoundData.h"
#include "audio/SoundDecoder.h"
#include "audio/SoundResource.h"
#include "core/ApiTable.h"
#include "core/CoreState.h"
#include "core/Log.h"
#include "core/Threads.h"

namespace {

const DWORD kSystemFolderOnly = 0x800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
const UINT32 kXAudio2Version = 0x0A000008;
const XAUDIO2_PROCESSOR kProcessor1 = static_cast<XAUDIO2_PROCESSOR>(1);
const uint32_t kRingSize = XAUDIO2_RING_SLOTS * XAUDIO2_RING_SLOT;
const DWORD kUpdatePeriodMs = 10;

typedef HRESULT(WINAPI* CreateWithVersionFunction)(IXAudio2**, UINT32, XAUDIO2_PROCESSOR, DWORD);
typedef HRESULT(WINAPI* CreateFunction)(IXAudio2**, UINT32, XAUDIO2_PROCESSOR);

HMODULE g_library = nullptr;
CreateWithVersionFunction g_createWithVersion = nullptr;
CreateFunction g_create = nullptr;
bool g_libraryTried = false;

// The thread's last error as an HRESULT; a failure without an error code is still a failure.
HRESULT LastErrorResult() {
    DWORD error = GetLastError();
    if (error == 0) {
        return E_FAIL;
    }
    return static_cast<HRESULT>(0x80070000u | (error & 0xFFFFu));
}

void LoadXAudio2Library() {
    if (g_libraryTried) {
        return;
    }
    g_libraryTried = true;
    g_library = LoadLibraryExA("xaudio2_9.dll", nullptr, kSystemFolderOnly);
    if (g_library == nullptr) {
        return;
    }
    g_createWithVersion = reinterpret_cast<CreateWithVersionFunction>(
        reinterpret_cast<void*>(GetProcAddress(g_library, "XAudio2CreateWithVersionInfo")));
    if (g_createWithVersion == nullptr) {
        g_create = reinterpret_cast<CreateFunction>(
            reinterpret_cast<void*>(GetProcAddress(g_library, "XAudio2Create")));
    }
}

float Clamped(float value, float low, float high) {
    return value < low ? low : (value > high ? high : value);
}

}  // namespace

HRESULT CreateXAudio2Engine(IXAudio2** engine) {
    *engine = nullptr;
    LoadXAudio2Library();
    if (g_createWithVersion != nullptr) {
        return g_createWithVersion(engine, 0, kProcessor1, kXAudio2Version);
    }
    if (g_create != nullptr) {
        return g_create(engine, 0, kProcessor1);
    }
    return LastErrorResult();
}

struct SoundImpXAudio2::Lock {
    explicit Lock(SoundImpXAudio2* owner) : section(static_cast<CRITICAL_SECTION*>(owner->mutex_)) {
        EnterCriticalSection(section);
    }
    ~Lock() { LeaveCriticalSection(section); }
    CRITICAL_SECTION* section;
};

SoundImpXAudio2::SoundImpXAudio2()
    : musicEngine_(nullptr),
      soundEngine_(nullptr),
      musicMaster_(nullptr),
      soundMaster_(nullptr),
      mutex_(nullptr),
      nextId_(1),
      lastUpdate_(0),
      threadStop_(0),
      threadRunning_(0),
      startThread_(ZQ_Threading_CreateThread) {
    memset(records_, 0, sizeof(records_));
    memset(&music_, 0, sizeof(music_));
    for (XAudio2Record& record : records_) {
        record.volume = 1.0f;
    }
    music_.volume = 1.0f;
    CRITICAL_SECTION* section = new CRITICAL_SECTION;
    InitializeCriticalSection(section);
    mutex_ = section;
}

SoundImpXAudio2::~SoundImpXAudio2() {
    StopThread();
    ReleaseEngines();
    CRITICAL_SECTION* section = static_cast<CRITICAL_SECTION*>(mutex_);
    DeleteCriticalSection(section);
    delete section;
    for (XAudio2Record& record : records_) {
        free(record.ring);
    }
    free(music_.ring);
}

const char* SoundImpXAudio2::GetName() {
    return "XAudio2";
}

bool SoundImpXAudio2::Initialize(CoreState*, const zq_parameters_t*) {
    IXAudio2** engines[2] = {&musicEngine_, &soundEngine_};
    IXAudio2MasteringVoice** masters[2] = {&musicMaster_, &soundMaster_};
    const char* names[2] = {"music", "sound"};
    for (int i = 0; i < 2; ++i) {
        HRESULT result = CreateXAudio2Engine(engines[i]);
        if (FAILED(result) || *engines[i] == nullptr) {
            ZQ_Log(LOG_LEVEL_ERROR, "XAudio2: failed to create %s engine: 0x%X.", names[i],
                   static_cast<unsigned>(result));
            ReleaseEngines();
            return false;
        }
    }
    for (int i = 0; i < 2; ++i) {
        HRESULT result = (*engines[i])
                             ->CreateMasteringVoice(masters[i], 2, XAUDIO2_DEFAULT_SAMPLERATE, 0, nullptr,
                                                    nullptr, AudioCategory_GameEffects);
        if (FAILED(result)) {
            ZQ_Log(LOG_LEVEL_ERROR, "XAudio2: failed to create %s mastering voice: 0x%X.", names[i],
                   static_cast<unsigned>(result));
            ReleaseEngines();
            return false;
        }
    }
    music_.output = musicMaster_;
    for (XAudio2Record& record : records_) {
        record.output = soundMaster_;
    }
    for (XAudio2Record* record = records_; record <= records_ + XAUDIO2_RECORD_COUNT; ++record) {
        XAudio2Record& target = record == records_ + XAUDIO2_RECORD_COUNT ? music_ : *record;
        if (target.ring == nullptr) {
            target.ring = static_cast<uint8_t*>(malloc(kRingSize));
        }
        if (target.ring == nullptr) {
            ZQ_Log(LOG_LEVEL_ERROR, "XAudio2: out of memory for the streaming buffers.");
            ReleaseEngines();
            return false;
        }
    }
    lastUpdate_ = ZQ_GetMilliseconds();
    threadStop_ = 0;
    threadRunning_ = 1;
    // Without the thread no stream is refilled and no record ever frees: better no sound at all.
    if (startThread_("XAudio2Update", UpdateThread, this, 0) == 0) {
        threadRunning_ = 0;
        ZQ_Log(LOG_LEVEL_ERROR, "XAudio2: failed to start the \"XAudio2Update\" thread.");
        ReleaseEngines();
        return false;
    }
    return true;
}

void SoundImpXAudio2::UpdateThread(void* self) {
    SoundImpXAudio2* backEnd = static_cast<SoundImpXAudio2*>(self);
    while (!ZQI_IsQuitSignalled() && backEnd->threadStop_ == 0) {
        {
            Lock lock(backEnd);
            backEnd->Refill(&backEnd->music_);
        }
        for (XAudio2Record& record : backEnd->records_) {
            Lock lock(backEnd);
            backEnd->Refill(&record);
        }
        ZQ_Threading_Sleep(kUpdatePeriodMs);
    }
    InterlockedExchange(&backEnd->threadRunning_, 0);
}

// Re-initialisation destroys the back end long before the quit flag: the thread must be gone first.
void SoundImpXAudio2::StopThread() {
    InterlockedExchange(&threadStop_, 1);
    while (threadRunning_ != 0) {
        Sleep(1);
    }
}

void SoundImpXAudio2::DestroyVoice(XAudio2Record* record) {
    if (record->voice != nullptr) {
        record->voice->DestroyVoice();  // returns once the engine no longer reads its buffers
        record->voice = nullptr;
    }
    record->queuedData = nullptr;
}

void SoundImpXAudio2::ReleaseEngines() {
    if (soundEngine_ != nullptr) {
        soundEngine_->StopEngine();
    }
    for (XAudio2Record& record : records_) {
        StopRecord(&record);
        DestroyVoice(&record);
        record.output = nullptr;
    }
    if (soundMaster_ != nullptr) {
        soundMaster_->DestroyVoice();
        soundMaster_ = nullptr;
    }
    if (soundEngine_ != nullptr) {
        soundEngine_->Release();
        soundEngine_ = nullptr;
    }
    if (musicEngine_ != nullptr) {
        musicEngine_->StopEngine();
    }
    StopRecord(&music_);
    DestroyVoice(&music_);
    music_.output = nullptr;
    if (musicMaster_ != nullptr) {
        musicMaster_->DestroyVoice();
        musicMaster_ = nullptr;
    }
    if (musicEngine_ != nullptr) {
        musicEngine_->Release();
        musicEngine_ = nullptr;
    }
}

void SoundImpXAudio2::Shutdown() {
    StopThread();
    Lock lock(this);
    ReleaseEngines();
}

bool SoundImpXAudio2::LoadSound(SoundResource*, SoundData* data, const char*) {
    return data != nullptr && data->kind != SOUND_DATA_NONE;
}

// The PCM is about to be freed: voices that may still read it are destroyed, not just flushed.
void SoundImpXAudio2::FreeSound(SoundResource* sound) {
    if (sound == nullptr) {
        return;
    }
    Lock lock(this);
    for (XAudio2Record* record = records_; record <= records_ + XAUDIO2_RECORD_COUNT; ++record) {
        XAudio2Record& target = record == records_ + XAUDIO2_RECORD_COUNT ? music_ : *record;
        if (target.sound == sound) {
            StopRecord(&target);
        }
        if (target.queuedData != nullptr && target.queuedData == sound->data) {
            DestroyVoice(&target);
        }
    }
}

void SoundImpXAudio2::SetMasterVolume(float volume) {
    if (musicMaster_ != nullptr) {
        musicMaster_->SetVolume(volume);
    }
    if (soundMaster_ != nullptr) {
        soundMaster_->SetVolume(volume);
    }
}

XAudio2Record* SoundImpXAudio2::FindRecord(uint32_t id) {
    if (id == 0) {
        return nullptr;
    }
    for (XAudio2Record& record : records_) {
        if (record.id == id && record.sound != nullptr) {
            return &record;
        }
    }
    return nullptr;
}

void SoundImpXAudio2::ApplyPan(XAudio2Record* record, float pan) {
    if (record->sound == nullptr || record->voice == nullptr) {
        return;
    }
    float left = 1.0f;
    float right = 1.0f;
    if (pan > 0.0f) {
        left = 1.0f - pan;
    } else if (pan < 0.0f) {
        right = 1.0f + pan;
    }
    XAUDIO2_VOICE_DETAILS details;
    record->voice->GetVoiceDetails(&details);
    if (details.InputChannels == 1) {
        float matrix[2] = {left, right};
        record->voice->SetOutputMatrix(nullptr, 1, 2, matrix);
    } else {
        float matrix[4] = {left, 0.0f, 0.0f, right};
        record->voice->SetOutputMatrix(nullptr, 2, 2, matrix);
    }
}

void SoundImpXAudio2::SetVolume(XAudio2Record* record, float volume) {
    if (record->sound != nullptr && record->voice != nullptr) {
        record->voice->SetVolume(volume);
        record->volume = volume;
    }
}

void SoundImpXAudio2::SetPaused(XAudio2Record* record, bool paused) {
    if (record->sound == nullptr || record->voice == nullptr) {
        return;
    }
    if (paused) {
        record->voice->Stop();
    } else {
        record->voice->Start();
    }
    record->playing = paused ? 0 : 1;
}

bool SoundImpXAudio2::StartRecord(XAudio2Record* record, IXAudio2* engine, SoundResource* sound, float volume,
                                  float pan, float pitch, bool looping) {
    record->sound = nullptr;
    SoundData* data = sound != nullptr ? sound->data : nullptr;
    if (data == nullptr || engine == nullptr) {
        return false;
    }
    if (record->voice != nullptr) {
        XAUDIO2_VOICE_DETAILS details;
        record->voice->GetVoiceDetails(&details);
        if (details.InputChannels == data->channels && details.InputSampleRate == data->sampleRate) {
            record->voice->Stop();
            record->voice->FlushSourceBuffers();
        } else {
            DestroyVoice(record);
        }
    }
    if (record->voice == nullptr) {
        WAVEFORMATEX format = {};
        format.wFormatTag = WAVE_FORMAT_PCM;
        format.nChannels = static_cast<WORD>(data->channels);
        format.nSamplesPerSec = data->sampleRate;
        format.wBitsPerSample = static_cast<WORD>(8 * data->bytesPerSample);
        format.nBlockAlign = static_cast<WORD>(data->channels * data->bytesPerSample);
        format.nAvgBytesPerSec = format.nBlockAlign * data->sampleRate;
        if (FAILED(engine->CreateSourceVoice(&record->voice, &format, 0, 2.0f, nullptr, nullptr, nullptr))) {
            record->voice = nullptr;
            return false;
        }
    }
    record->looping = looping ? 1 : 0;
    record->playing = 0;
    record->streaming = data->kind != SOUND_DATA_PCM ? 1 : 0;
    // The voice was flushed above: from now on it reads only what this start queues. A streamed
    // sound reads the record's own ring, so no sound's PCM may keep the mark; a stale mark would
    // let freeing that sound destroy the voice under the stream.
    record->queuedData = nullptr;
    if (record->streaming) {
        record->decoder = CreateSoundDecoder(data);
        record->ringIndex = 0;
        if (record->decoder == nullptr || !record->decoder->hasStream) {
            FreeSoundDecoder(record->decoder);
            record->decoder = nullptr;
            return false;
        }
    } else {
        XAUDIO2_BUFFER buffer = {};
        buffer.AudioBytes = ZQI_SoundByteCount(data);
        buffer.pAudioData = data->bytes.begin;
        if (FAILED(record->voice->SubmitSourceBuffer(&buffer))) {
            return false;
        }
        record->queuedData = data;
    }
    if (FAILED(record->voice->Start())) {
        FreeSoundDecoder(record->decoder);
        record->decoder = nullptr;
        return false;
    }
    record->sound = sound;
    record->playing = 1;
    record->voice->SetFrequencyRatio(pitch);
    ApplyPan(record, pan);
    SetVolume(record, volume);
    return true;
}

void SoundImpXAudio2::StopRecord(XAudio2Record* record) {
    if (record->sound == nullptr) {
        return;
    }
    if (record->voice != nullptr) {
        record->voice->Stop();
        record->voice->FlushSourceBuffers();
    }
    record->sound = nullptr;
    FreeSoundDecoder(record->decoder);
    record->decoder = nullptr;
}

void SoundImpXAudio2::TopUpStream(XAudio2Record* record, uint32_t queued) {
    while (queued < XAUDIO2_RING_SLOTS) {
        uint8_t* slot = record->ring + (record->ringIndex % XAUDIO2_RING_SLOTS) * XAUDIO2_RING_SLOT;
        uint32_t got = ReadSoundDecoder(record->decoder, slot, XAUDIO2_RING_SLOT);
        if (got == 0 && record->looping) {
            RewindSoundDecoder(record->decoder);
            got = ReadSoundDecoder(record->decoder, slot, XAUDIO2_RING_SLOT);
        }
        if (got == 0) {
            return;
        }
        XAUDIO2_BUFFER buffer = {};
        buffer.AudioBytes = got;
        buffer.pAudioData = slot;
        if (FAILED(record->voice->SubmitSourceBuffer(&buffer))) {
            return;
        }
        record->ringIndex = (record->ringIndex + 1) % XAUDIO2_RING_SLOTS;
        ++queued;
    }
}

// Under the lock.
void SoundImpXAudio2::Refill(XAudio2Record* record) {
    if (record->sound == nullptr || !record->playing || record->voice == nullptr) {
        return;
    }
    XAUDIO2_VOICE_STATE state;
    if (record->streaming) {
        record->voice->GetState(&state, XAUDIO2_VOICE_NOSAMPLESPLAYED);
        TopUpStream(record, state.BuffersQueued);
    }
    record->voice->GetState(&state, XAUDIO2_VOICE_NOSAMPLESPLAYED);
    if (record->looping) {
        if (!record->streaming && state.BuffersQueued == 1 && record->sound->data != nullptr) {
            XAUDIO2_BUFFER buffer = {};
            buffer.AudioBytes = ZQI_SoundByteCount(record->sound->data);
            buffer.pAudioData = record->sound->data->bytes.begin;
            record->voice->SubmitSourceBuffer(&buffer);
        }
    } else if (state.BuffersQueued == 0) {
        StopRecord(record);
    }
}

uint32_t SoundImpXAudio2::PlaySound(SoundResource* sound, float volume, float pan, float pitch) {
    if (sound == nullptr || sound->data == nullptr) {
        return 0;
    }
    Lock lock(this);
    for (XAudio2Record& record : records_) {
        if (record.sound != nullptr) {
            continue;
        }
        if (!StartRecord(&record, soundEngine_, sound, volume, pan, pitch, false)) {
            return 0;
        }
        uint32_t id = nextId_ == XAUDIO2_LAST_ID ? 1 : nextId_;
        nextId_ = id + 1;
        record.id = id;
        return id;
    }
    return 0;
}

void SoundImpXAudio2::StopChannel(uint32_t channel) {
    Lock lock(this);
    if (XAudio2Record* record = FindRecord(channel)) {
        StopRecord(record);
    }
}

void SoundImpXAudio2::SetChannelPan(uint32_t channel, float pan) {
    Lock lock(this);
    if (XAudio2Record* record = FindRecord(channel)) {
        ApplyPan(record, Clamped(pan, -1.0f, 1.0f));
    }
}

void SoundImpXAudio2::SetChannelVolume(uint32_t channel, float volume) {
    Lock lock(this);
    if (XAudio2Record* record = FindRecord(channel)) {
        SetVolume(record, volume);
    }
}

void SoundImpXAudio2::SetChannelPaused(uint32_t channel, bool paused) {
    Lock lock(this);
    if (XAudio2Record* record = FindRecord(channel)) {
        SetPaused(record, paused);
    }
}

void SoundImpXAudio2::SetChannelLooping(uint32_t channel, bool looping) {
    Lock lock(this);
    XAudio2Record* record = FindRecord(channel);
    if (record == nullptr || record->looping == (looping ? 1 : 0)) {
        return;
    }
    if (looping && !record->streaming && record->sound->data != nullptr) {
        XAUDIO2_BUFFER buffer = {};
        buffer.AudioBytes = ZQI_SoundByteCount(record->sound->data);
        buffer.pAudioData = record->sound->data->bytes.begin;
        record->voice->SubmitSourceBuffer(&buffer);
    } else if (!looping) {
        record->voice->FlushSourceBuffers();  // the buffer now playing finishes
    }
    record->looping = looping ? 1 : 0;
}

void SoundImpXAudio2::SetChannelPitch(uint32_t channel, float ratio) {
    Lock lock(this);
    if (XAudio2Record* record = FindRecord(channel)) {
        record->voice->SetFrequencyRatio(ratio);
    }
}

bool SoundImpXAudio2::IsChannelPlaying(uint32_t channel) {
    Lock lock(this);
    return FindRecord(channel) != nullptr;
}

void SoundImpXAudio2::PlayMusic(SoundResource* sound, float startVolume) {
    if (sound == nullptr || sound->data == nullptr) {
        return;
    }
    Lock lock(this);
    if (music_.sound == sound) {
        return;
    }
    if (music_.sound == nullptr) {
        StartRecord(&music_, musicEngine_, sound, startVolume, 0.0f, 1.0f, true);
    } else {
        DeprecatedMethod();  // the audio system always stops the old music first
    }
}

void SoundImpXAudio2::StopMusic() {
    Lock lock(this);
    StopRecord(&music_);
}

void SoundImpXAudio2::SetMusicPaused(bool paused) {
    Lock lock(this);
    SetPaused(&music_, paused);
}

void SoundImpXAudio2::SetMusicVolume(float volume) {
    Lock lock(this);
    SetVolume(&music_, volume);
}

void SoundImpXAudio2::SetEngineRunning(bool running) {
    for (IXAudio2* engine : {musicEngine_, soundEngine_}) {
        if (engine == nullptr) {
            continue;
        }
        if (running) {
            engine->StartEngine();
        } else {
            engine->StopEngine();
        }
    }
}

// Volume slides belong to the audio system: a pass here only measures time and lets the main
// thread take its turn at each record.
void SoundImpXAudio2::Update() {
    uint32_t now = ZQ_GetMilliseconds();
    lastUpdate_ = now - lastUpdate_ >= 1 ? now : lastUpdate_;
    { Lock lock(this); }
    for (int i = 0; i < XAUDIO2_RECORD_COUNT; ++i) {
        Lock lock(this);
    }
}

void SoundImpXAudio2::EndFrame() {}

IXAudio2SourceVoice* SoundImpXAudio2::GetChannelVoice(uint32_t channel) {
    Lock lock(this);
    XAudio2Record* record = FindRecord(channel);
    return record != nullptr ? record->voice : nullptr;
}

IXAudio2SourceVoice* SoundImpXAudio2::GetMusicVoice() {
    Lock lock(this);
    return music_.sound != nullptr ? music_.voice : nullptr;
}

void SoundImpXAudio2::SetThreadStarter(XAudio2ThreadStarter starter) {
    startThread_ = starter != nullptr ? starter : ZQ_Threading_CreateThread;
}

void SoundImpXAudio2::SetNextChannelId(uint32_t id) {
    Lock lock(this);
    nextId_ = id;
}
