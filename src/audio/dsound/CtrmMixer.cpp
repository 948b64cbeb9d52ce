// The mixer's DirectSound side: the device, the channel buffers, the silence buffer, the refill
// thread and the table entries. One critical section guards the channel table and every buffer
// call; the refill arithmetic itself is in CtrmRefill.cpp.
#include "audio/dsound/CtrmMixer.h"

#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "audio/SoundData.h"
#include "audio/SoundDecoder.h"
#include "audio/dsound/CtrmRefill.h"
#include "core/ApiTable.h"
#include "core/Log.h"
#include "foundation/String.h"

namespace {

const uint32_t kMaxChannels = 256;
const uint32_t kStereoChannels = 24;
const DWORD kBufferFlags = 0x180E8;       // software, frequency, pan, volume, global focus, precise cursor
const DWORD kBufferDescriptionSize = 24;  // the original layout, without the 3D algorithm
const DWORD kPriorityLevel = 2;
const DWORD kRefillPeriodMs = 25;

typedef HRESULT(WINAPI* DirectSoundCreateFunction)(LPCGUID, LPDIRECTSOUND*, LPUNKNOWN);

struct CtrmMixerState {
    HMODULE library;
    IDirectSound* device;
    CtrmChannel channels[kMaxChannels];
    uint32_t channelCount;
    uint32_t sampleRate;
    uint32_t bitsPerSample;
    uint32_t outputChannels;
    uint32_t bufferSize;
    float masterVolume;
    int32_t playingCount;
    IDirectSoundBuffer* silence;
    uint32_t idCounter;
    uint32_t reserved;
    volatile LONG running;
    volatile LONG initialised;
    CRITICAL_SECTION lock;
    bool lockMade;
    volatile LONG threadRunning;
    volatile LONG threadStop;
    volatile LONG updateBusy;
    HANDLE thread;  // kept open so its CPU time can be read
    DWORD lastUpdate;
    bool haveLastUpdate;
    char lastError[1024];
};

CtrmMixerState g_mixer = {};

void* StartThreadWithCreateThread(unsigned long(__stdcall* body)(void*)) {
    return CreateThread(nullptr, 0, body, nullptr, 0, nullptr);
}

CtrmThreadStarter g_startThread = StartThreadWithCreateThread;

struct ScopedMixerLock {
    ScopedMixerLock() { EnterCriticalSection(&g_mixer.lock); }
    ~ScopedMixerLock() { LeaveCriticalSection(&g_mixer.lock); }
};

IDirectSoundBuffer* BufferOf(const CtrmChannel& channel) {
    return static_cast<IDirectSoundBuffer*>(channel.buffer);
}

const char* DescribeResult(HRESULT result) {
    switch (static_cast<uint32_t>(result)) {
        case 0x8878000Au:
            return "Audio device in use";
        case 0x80070057u:
            return "Invalid parameter";
        case 0x8007000Eu:
            return "Out of memory";
        case 0x80004002u:
            return "Unsupported interface\n-- Is DirectX 5.0 or later installed?";
        case 0x80004001u:
            return "Function not supported";
        case 0x8878001Eu:
            return "Control requested is not available";
        case 0x88780032u:
            return "Invalid call for the current state";
        case 0x88780046u:
            return "Caller doesn't have priority";
        case 0x88780064u:
            return "Unsupported audio format";
        case 0x88780078u:
            return "No audio device found";
        case 0x88780096u:
            return "Mixing buffer was lost";
        default:
            return nullptr;
    }
}

// Keeps the failed call's text and answers false.
bool NoteFailure(const char* call, HRESULT result) {
    const char* reason = DescribeResult(result);
    if (reason != nullptr) {
        snprintf(g_mixer.lastError, sizeof(g_mixer.lastError), "%s: %s", call, reason);
    } else {
        snprintf(g_mixer.lastError, sizeof(g_mixer.lastError), "%s: Unknown DirectSound error: 0x%x", call,
                 static_cast<unsigned>(result));
    }
    return false;
}

WAVEFORMATEX PcmFormat(uint32_t channels) {
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = static_cast<WORD>(channels);
    format.nSamplesPerSec = g_mixer.sampleRate;
    format.wBitsPerSample = static_cast<WORD>(g_mixer.bitsPerSample);
    format.nBlockAlign = static_cast<WORD>(channels * g_mixer.bitsPerSample / 8);
    format.nAvgBytesPerSec = format.nBlockAlign * g_mixer.sampleRate;
    return format;
}

IDirectSoundBuffer* CtrmCreateChannelBuffer(uint32_t channels) {
    WAVEFORMATEX format = PcmFormat(channels);
    DSBUFFERDESC description = {};
    description.dwSize = kBufferDescriptionSize;
    description.dwFlags = kBufferFlags;
    description.dwBufferBytes = g_mixer.bufferSize;
    description.lpwfxFormat = &format;
    IDirectSoundBuffer* buffer = nullptr;
    HRESULT result = g_mixer.device->CreateSoundBuffer(&description, &buffer, nullptr);
    if (FAILED(result)) {
        NoteFailure("CreateSoundBuffer", result);
        return nullptr;
    }
    return buffer;
}

bool SetPrimaryFormat() {
    DSBUFFERDESC description = {};
    description.dwSize = kBufferDescriptionSize;
    description.dwFlags = DSBCAPS_PRIMARYBUFFER;
    IDirectSoundBuffer* primary = nullptr;
    HRESULT result = g_mixer.device->CreateSoundBuffer(&description, &primary, nullptr);
    if (FAILED(result)) {
        return NoteFailure("CreateSoundBuffer", result);
    }
    WAVEFORMATEX format = PcmFormat(g_mixer.outputChannels);
    result = primary->SetFormat(&format);
    primary->Release();
    return SUCCEEDED(result) || NoteFailure("SetFormat", result);
}

bool StartSilence() {
    g_mixer.silence = CtrmCreateChannelBuffer(2);
    if (g_mixer.silence == nullptr) {
        return false;
    }
    void* bytes = nullptr;
    DWORD size = 0;
    HRESULT result = g_mixer.silence->Lock(0, 0, &bytes, &size, nullptr, nullptr, DSBLOCK_ENTIREBUFFER);
    if (FAILED(result)) {
        return NoteFailure("Lock", result);
    }
    memset(bytes, 0, size);
    g_mixer.silence->Unlock(bytes, size, nullptr, 0);
    g_mixer.silence->Play(0, 0, DSBPLAY_LOOPING);
    return true;
}

// Under the lock; id 0 or less names none.
CtrmChannel* FindChannelLocked(uint32_t id) {
    if (static_cast<int32_t>(id) <= 0) {
        return nullptr;
    }
    for (uint32_t i = 0; i < g_mixer.channelCount; ++i) {
        if (g_mixer.channels[i].id == id) {
            return &g_mixer.channels[i];
        }
    }
    return nullptr;
}

bool IsInitialised() {
    return g_mixer.initialised != 0;
}

DWORD ClampFrequency(double frequency) {
    return static_cast<DWORD>(frequency < 100.0 ? 100.0 : (frequency > 100000.0 ? 100000.0 : frequency));
}

// Under the lock.
void CtrmStopChannel(CtrmChannel* channel) {
    if (channel->decoder == nullptr) {
        return;
    }
    --g_mixer.playingCount;
    SoundData* data = channel->decoder->data;
    if (CtrmSound* sound = data != nullptr ? static_cast<CtrmSound*>(data->backEndHandle) : nullptr) {
        --sound->playCount;
    }
    if (g_mixer.playingCount <= 0 && g_mixer.silence != nullptr) {
        g_mixer.playingCount = 0;
        g_mixer.silence->Play(0, 0, DSBPLAY_LOOPING);
    }
    if (channel->buffer != nullptr) {
        BufferOf(*channel)->Stop();
    }
    FreeSoundDecoder(channel->decoder);
    channel->decoder = nullptr;
    channel->playing = 0;
    channel->id = 0;
}

// A played-out channel is stopped before the lock is let go, so no new sound started on the
// channel in between is cut by this pass.
void CtrmRefillChannel(CtrmChannel* channel) {
    ScopedMixerLock lock;
    if (channel->id == 0 || channel->decoder == nullptr || channel->buffer == nullptr) {
        return;
    }
    IDirectSoundBuffer* buffer = BufferOf(*channel);
    CtrmRefillPlan plan = {false, static_cast<int32_t>(channel->nextHalf)};
    if (channel->playing) {
        DWORD play = 0;
        DWORD write = 0;
        if (FAILED(buffer->GetCurrentPosition(&play, &write))) {
            return;
        }
        plan = CtrmPlanRefill(channel, play, write);
    }
    if (plan.stop) {
        CtrmStopChannel(channel);
        return;
    }
    if (plan.half < 0) {
        return;
    }
    void* bytes = nullptr;
    DWORD size = 0;
    HRESULT result = buffer->Lock(0, 0, &bytes, &size, nullptr, nullptr, DSBLOCK_ENTIREBUFFER);
    if (result == DSERR_BUFFERLOST && SUCCEEDED(buffer->Restore())) {
        result = buffer->Lock(0, 0, &bytes, &size, nullptr, nullptr, DSBLOCK_ENTIREBUFFER);
    }
    if (FAILED(result)) {
        NoteFailure("Lock", result);
        return;
    }
    if (size >= channel->bufferSize) {
        CtrmFillHalf(channel, static_cast<uint8_t*>(bytes), plan.half);
    }
    buffer->Unlock(bytes, size, nullptr, 0);
}

DWORD WINAPI CtrmUpdateThread(LPVOID) {
    InterlockedExchange(&g_mixer.threadRunning, 1);
    while (g_mixer.threadStop == 0) {
        CtrmUpdate();
        Sleep(kRefillPeriodMs);
    }
    InterlockedExchange(&g_mixer.threadRunning, 0);
    return 0;
}

void ApplyVolume(CtrmChannel* channel) {
    float level = g_mixer.masterVolume * channel->volume;
    level = level < 0.0f ? 0.0f : (level > 1.0f ? 1.0f : level);
    if (channel->buffer != nullptr) {
        BufferOf(*channel)->SetVolume(CtrmVolumeFromLevel(level));
    }
}

void ReleaseEverything() {
    for (CtrmChannel& channel : g_mixer.channels) {
        if (channel.decoder != nullptr) {
            FreeSoundDecoder(channel.decoder);
        }
        if (channel.buffer != nullptr) {
            BufferOf(channel)->Release();
        }
        memset(&channel, 0, sizeof(channel));
    }
    if (g_mixer.silence != nullptr) {
        g_mixer.silence->Release();
        g_mixer.silence = nullptr;
    }
    if (g_mixer.device != nullptr) {
        g_mixer.device->Release();
        g_mixer.device = nullptr;
    }
    if (g_mixer.library != nullptr) {
        FreeLibrary(g_mixer.library);
        g_mixer.library = nullptr;
    }
    g_mixer.playingCount = 0;
}

bool OpenDevice(void* window) {
    g_mixer.library = LoadLibraryA("DSOUND.DLL");
    DirectSoundCreateFunction create =
        g_mixer.library != nullptr ? reinterpret_cast<DirectSoundCreateFunction>(reinterpret_cast<void*>(
                                         GetProcAddress(g_mixer.library, "DirectSoundCreate")))
                                   : nullptr;
    if (create == nullptr) {
        snprintf(g_mixer.lastError, sizeof(g_mixer.lastError), "DirectSoundCreate: No audio device found");
        return false;
    }
    HRESULT result = create(nullptr, &g_mixer.device, nullptr);
    if (FAILED(result)) {
        return NoteFailure("DirectSoundCreate", result);
    }
    result = g_mixer.device->SetCooperativeLevel(static_cast<HWND>(window), kPriorityLevel);
    if (FAILED(result)) {
        return NoteFailure("SetCooperativeLevel", result);
    }
    return SetPrimaryFormat();
}

}  // namespace

void CtrmFillFunctionTable(CtrmFunctionTable* table) {
    table->version = 1;
    table->Initialize = CtrmInitialize;
    table->Shutdown = CtrmShutdown;
    table->SetWindow = CtrmSetWindow;
    table->NoOperation = [] {};
    table->SetMasterVolume = CtrmSetMasterVolume;
    table->GetMasterVolume = CtrmGetMasterVolume;
    table->CreateSound = CtrmCreateSound;
    table->FreeSound = CtrmFreeSound;
    table->Play = CtrmPlay;
    table->SetPitch = CtrmSetPitch;
    table->SetVolume = CtrmSetVolume;
    table->SetPan = CtrmSetPan;
    table->SetLooping = CtrmSetLooping;
    table->SetPaused = CtrmSetPaused;
    table->GetPitch = CtrmGetPitch;
    table->GetVolume = CtrmGetVolume;
    table->GetPan = CtrmGetPan;
    table->GetLooping = CtrmGetLooping;
    table->GetPaused = CtrmGetPaused;
    table->GetSound = CtrmGetSound;
    table->GetChannelState = CtrmGetChannelState;
    table->Stop = CtrmStop;
    table->Update = CtrmUpdate;
    table->SetRunning = CtrmSetRunning;
}

bool CtrmInitialize(uint32_t sampleRate, uint32_t channelCount, void* window, uint32_t reserved) {
    if (IsInitialised()) {
        CtrmShutdown();
    }
    g_mixer.sampleRate = sampleRate;
    g_mixer.masterVolume = 1.0f;
    g_mixer.channelCount = channelCount < kMaxChannels ? channelCount : kMaxChannels;
    g_mixer.bufferSize = 2 * sampleRate;
    g_mixer.bitsPerSample = 16;
    g_mixer.outputChannels = 2;
    g_mixer.playingCount = 0;
    g_mixer.reserved = reserved;
    g_mixer.idCounter = 1;  // the first id handed out is 2
    g_mixer.running = 0;
    g_mixer.initialised = 0;
    g_mixer.haveLastUpdate = false;
    g_mixer.updateBusy = 0;
    if (!g_mixer.lockMade) {
        InitializeCriticalSection(&g_mixer.lock);
        g_mixer.lockMade = true;
    }
    g_mixer.threadStop = 0;
    if (!OpenDevice(window)) {
        ZQ_Log(LOG_LEVEL_ERROR, "CtrmInitialize: %s", g_mixer.lastError);
        ReleaseEverything();
        return false;
    }
    memset(g_mixer.channels, 0, sizeof(g_mixer.channels));
    // Fewer than 24 channels leaves no mono ones: every channel is stereo then.
    uint32_t stereoStart =
        g_mixer.channelCount > kStereoChannels ? g_mixer.channelCount - kStereoChannels : 0;
    for (uint32_t i = 0; i < g_mixer.channelCount; ++i) {
        CtrmChannel& channel = g_mixer.channels[i];
        channel.format = i < stereoStart ? CTRM_MONO : CTRM_STEREO;
        channel.buffer = CtrmCreateChannelBuffer(channel.format);
        channel.bufferSize = g_mixer.bufferSize;
    }
    // Without the thread no channel is refilled and none frees itself: better no sound at all.
    g_mixer.thread = static_cast<HANDLE>(g_startThread(CtrmUpdateThread));
    if (g_mixer.thread == nullptr) {
        DWORD error = GetLastError();
        ZQ_Log(LOG_LEVEL_ERROR,
               "CtrmInitialize: %s error: %s (0x%08X, platform error %i); the refill thread did not start.",
               "Copper Trumpet", "CreateThread", static_cast<unsigned>(HRESULT_FROM_WIN32(error)),
               static_cast<int>(error));
        ReleaseEverything();
        return false;
    }
    InterlockedExchange(&g_mixer.threadRunning, 1);  // until the thread itself says it ended
    if (!StartSilence()) {
        ZQ_Log(LOG_LEVEL_ERROR, "CtrmInitialize: %s", g_mixer.lastError);
        InterlockedExchange(&g_mixer.initialised, 1);
        CtrmShutdown();
        return false;
    }
    InterlockedExchange(&g_mixer.running, 1);
    InterlockedExchange(&g_mixer.initialised, 1);
    return true;
}

void CtrmShutdown() {
    if (!IsInitialised()) {
        return;
    }
    InterlockedExchange(&g_mixer.running, 0);
    InterlockedExchange(&g_mixer.initialised, 0);
    InterlockedExchange(&g_mixer.threadStop, 1);
    while (g_mixer.threadRunning != 0) {
        Sleep(10);
    }
    if (g_mixer.thread != nullptr) {
        CloseHandle(g_mixer.thread);
        g_mixer.thread = nullptr;
    }
    ReleaseEverything();
    DeleteCriticalSection(&g_mixer.lock);
    g_mixer.lockMade = false;
}

void CtrmSetThreadStarter(CtrmThreadStarter starter) {
    g_startThread = starter != nullptr ? starter : StartThreadWithCreateThread;
}

void CtrmSetWindow(void* window) {
    if (IsInitialised() && g_mixer.device != nullptr) {
        HRESULT result = g_mixer.device->SetCooperativeLevel(static_cast<HWND>(window), kPriorityLevel);
        if (FAILED(result)) {
            NoteFailure("SetCooperativeLevel", result);
        }
    }
}

void CtrmSetMasterVolume(float volume) {
    if (!IsInitialised()) {
        return;
    }
    ScopedMixerLock lock;
    g_mixer.masterVolume = volume < 0.0f ? 0.0f : (volume > 1.0f ? 1.0f : volume);
    for (uint32_t i = 0; i < g_mixer.channelCount; ++i) {
        CtrmChannel& channel = g_mixer.channels[i];
        if (channel.id != 0 && channel.decoder != nullptr) {
            ApplyVolume(&channel);
        }
    }
}

float CtrmGetMasterVolume() {
    return g_mixer.masterVolume;
}

CtrmSound* CtrmCreateSound(const char* path, uint32_t flags) {
    CtrmSound* sound = static_cast<CtrmSound*>(calloc(1, sizeof(CtrmSound)));
    if (sound != nullptr) {
        sound->path = ZQI_DuplicateString(path != nullptr ? path : "");
        sound->flags = flags;
    }
    return sound;
}

void CtrmFreeSound(CtrmSound* sound, SoundData* data) {
    if (IsInitialised()) {
        ScopedMixerLock lock;
        for (uint32_t i = 0; i < g_mixer.channelCount; ++i) {
            CtrmChannel& channel = g_mixer.channels[i];
            if (channel.id != 0 && channel.decoder != nullptr && channel.decoder->data == data) {
                CtrmStopChannel(&channel);
            }
        }
    }
    if (sound != nullptr) {
        free(sound->path);
        free(sound);
    }
}

uint32_t CtrmPlay(SoundData* data, float volume, float pan, float pitch, uint32_t looping) {
    if (!IsInitialised() || data == nullptr ||
        (data->channels != CTRM_MONO && data->channels != CTRM_STEREO)) {
        return 0;
    }
    CtrmChannel* channel = nullptr;
    uint32_t id = 0;
    {
        ScopedMixerLock lock;
        for (uint32_t i = 0; i < g_mixer.channelCount && channel == nullptr; ++i) {
            CtrmChannel& candidate = g_mixer.channels[i];
            if (candidate.buffer != nullptr && candidate.id == 0 && candidate.format == data->channels) {
                channel = &candidate;
            }
        }
        if (channel == nullptr) {
            return 0;
        }
        id = g_mixer.idCounter + 1;
        if (id == 0) {
            id = 1;
        }
        g_mixer.idCounter = id;
        channel->id = id;
        channel->playing = 0;
    }
    SoundDecoder* decoder = CreateSoundDecoder(data);
    if (decoder == nullptr || !decoder->hasStream) {
        FreeSoundDecoder(decoder);
        ScopedMixerLock lock;
        channel->id = 0;
        return 0;
    }
    {
        ScopedMixerLock lock;
        channel->pitch = pitch;
        channel->pan = pan < -1.0f ? -1.0f : (pan > 1.0f ? 1.0f : pan);
        channel->looping = looping != 0 ? 1 : 0;
        channel->volume = volume;
        channel->remaining = looping != 0 ? -1 : static_cast<int32_t>(data->pcmSize);
        channel->nextHalf = 0;
        channel->lastPlayPosition = 0;
        channel->consumed = 0;
        channel->paused = 0;
        channel->decoder = decoder;
    }
    CtrmRefillChannel(channel);
    CtrmSetVolume(id, volume);
    ScopedMixerLock lock;
    IDirectSoundBuffer* buffer = BufferOf(*channel);
    buffer->SetCurrentPosition(0);
    buffer->SetFrequency(ClampFrequency(std::trunc(static_cast<double>(data->sampleRate) * pitch)));
    buffer->SetPan(static_cast<LONG>(channel->pan * 10000.0f));
    buffer->Play(0, 0, DSBPLAY_LOOPING);
    ++g_mixer.playingCount;
    channel->playing = 1;
    if (CtrmSound* sound = static_cast<CtrmSound*>(data->backEndHandle)) {
        ++sound->playCount;
    }
    if (g_mixer.silence != nullptr) {
        g_mixer.silence->Stop();
    }
    return id;
}

void CtrmSetPitch(uint32_t id, float pitch) {
    if (!IsInitialised()) {
        return;
    }
    ScopedMixerLock lock;
    CtrmChannel* channel = FindChannelLocked(id);
    if (channel == nullptr || channel->decoder == nullptr || channel->decoder->data == nullptr) {
        return;
    }
    channel->pitch = pitch;
    double frequency = std::trunc(static_cast<double>(channel->decoder->data->sampleRate) * pitch);
    BufferOf(*channel)->SetFrequency(ClampFrequency(frequency));
}

void CtrmSetVolume(uint32_t id, float volume) {
    if (!IsInitialised()) {
        return;
    }
    ScopedMixerLock lock;
    CtrmChannel* channel = FindChannelLocked(id);
    if (channel != nullptr) {
        channel->volume = volume;
        ApplyVolume(channel);
    }
}

void CtrmSetPan(uint32_t id, float pan) {
    if (!IsInitialised()) {
        return;
    }
    ScopedMixerLock lock;
    CtrmChannel* channel = FindChannelLocked(id);
    if (channel != nullptr) {
        channel->pan = pan < -1.0f ? -1.0f : (pan > 1.0f ? 1.0f : pan);
        BufferOf(*channel)->SetPan(static_cast<LONG>(channel->pan * 10000.0f));
    }
}

void CtrmSetLooping(uint32_t id, bool looping) {
    if (!IsInitialised()) {
        return;
    }
    ScopedMixerLock lock;
    CtrmChannel* channel = FindChannelLocked(id);
    if (channel != nullptr) {
        CtrmApplyLooping(channel, looping);
    }
}

void CtrmSetPaused(uint32_t id, bool paused) {
    if (!IsInitialised()) {
        return;
    }
    ScopedMixerLock lock;
    CtrmChannel* channel = FindChannelLocked(id);
    uint32_t flag = paused ? 1 : 0;
    if (channel == nullptr || channel->paused == flag) {
        return;
    }
    channel->paused = flag;
    if (paused) {
        BufferOf(*channel)->Stop();
    } else {
        BufferOf(*channel)->Play(0, 0, DSBPLAY_LOOPING);
    }
}

float CtrmGetPitch(uint32_t id) {
    if (!IsInitialised()) {
        return 1.0f;
    }
    ScopedMixerLock lock;
    CtrmChannel* channel = FindChannelLocked(id);
    return channel != nullptr ? channel->pitch : 0.0f;
}

float CtrmGetVolume(uint32_t id) {
    if (!IsInitialised()) {
        return 0.0f;
    }
    ScopedMixerLock lock;
    CtrmChannel* channel = FindChannelLocked(id);
    return channel != nullptr ? channel->volume : 0.0f;
}

float CtrmGetPan(uint32_t id) {
    if (!IsInitialised()) {
        return 0.0f;
    }
    ScopedMixerLock lock;
    CtrmChannel* channel = FindChannelLocked(id);
    return channel != nullptr ? channel->pan : 0.0f;
}

int32_t CtrmGetLooping(uint32_t id) {
    if (!IsInitialised()) {
        return 0;
    }
    ScopedMixerLock lock;
    CtrmChannel* channel = FindChannelLocked(id);
    return channel != nullptr ? static_cast<int32_t>(channel->looping) : -1;
}

int32_t CtrmGetPaused(uint32_t id) {
    if (!IsInitialised()) {
        return 0;
    }
    ScopedMixerLock lock;
    CtrmChannel* channel = FindChannelLocked(id);
    return channel != nullptr ? static_cast<int32_t>(channel->paused) : -1;
}

CtrmSound* CtrmGetSound(uint32_t id) {
    if (!IsInitialised()) {
        return nullptr;
    }
    ScopedMixerLock lock;
    CtrmChannel* channel = FindChannelLocked(id);
    if (channel == nullptr || channel->decoder == nullptr || channel->decoder->data == nullptr) {
        return nullptr;
    }
    return static_cast<CtrmSound*>(channel->decoder->data->backEndHandle);
}

int32_t CtrmGetChannelState(uint32_t id) {
    if (!IsInitialised()) {
        return 0;
    }
    ScopedMixerLock lock;
    CtrmChannel* channel = FindChannelLocked(id);
    if (channel == nullptr) {
        return 0;
    }
    return channel->paused ? 2 : 1;
}

void CtrmStop(uint32_t id) {
    if (!IsInitialised()) {
        return;
    }
    ScopedMixerLock lock;
    if (CtrmChannel* channel = FindChannelLocked(id)) {
        CtrmStopChannel(channel);
    }
}

void CtrmUpdate() {
    if (!IsInitialised()) {
        return;
    }
    while (InterlockedCompareExchange(&g_mixer.updateBusy, 1, 0) != 0) {
        Sleep(5);
    }
    DWORD now = timeGetTime();
    if (!g_mixer.haveLastUpdate) {
        g_mixer.lastUpdate = now;
        g_mixer.haveLastUpdate = true;
    }
    float seconds = static_cast<float>(now - g_mixer.lastUpdate) * 0.001f;
    g_mixer.lastUpdate = now;
    if (seconds > 0.0f) {
        for (uint32_t i = 0; i < g_mixer.channelCount; ++i) {
            CtrmChannel& channel = g_mixer.channels[i];
            if (channel.buffer != nullptr && channel.id != 0 && channel.playing) {
                CtrmRefillChannel(&channel);
            }
        }
    }
    InterlockedExchange(&g_mixer.updateBusy, 0);
}

void CtrmSetRunning(bool running) {
    LONG flag = running ? 1 : 0;
    if (!IsInitialised() || g_mixer.running == flag) {
        return;
    }
    InterlockedExchange(&g_mixer.running, flag);
    for (uint32_t i = 0; i < g_mixer.channelCount; ++i) {
        CtrmChannel& channel = g_mixer.channels[i];
        if (channel.buffer == nullptr) {
            continue;
        }
        if (!running) {
            ScopedMixerLock lock;
            BufferOf(channel)->Stop();
        } else if (channel.id != 0 && !channel.paused) {
            {
                ScopedMixerLock lock;
                BufferOf(channel)->Restore();
                BufferOf(channel)->Play(0, 0, DSBPLAY_LOOPING);
            }
            CtrmRefillChannel(&channel);
        }
    }
}

const char* CtrmGetLastError() {
    return g_mixer.lastError;
}

void* CtrmGetChannelBuffer(uint32_t id) {
    if (!IsInitialised()) {
        return nullptr;
    }
    ScopedMixerLock lock;
    CtrmChannel* channel = FindChannelLocked(id);
    return channel != nullptr ? channel->buffer : nullptr;
}

void* CtrmGetRefillThread() {
    return g_mixer.thread;
}

void* CtrmGetSilenceBuffer() {
    return IsInitialised() ? g_mixer.silence : nullptr;
}
