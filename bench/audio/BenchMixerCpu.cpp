// Under Wine: the CPU time the Copper Trumpet mixer's refill thread spends with all 64 channels
// (40 mono, 24 stereo) playing looping Ogg Vorbis tones, over 10 s of wall-clock time. Arguments:
// a mono and a stereo .ogg file (tools/make-tones.py). Prints the thread's CPU seconds per
// second and per channel-second.
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "audio/SoundData.h"
#include "audio/dsound/CtrmMixer.h"

namespace {

SoundData* LoadVorbis(const char* path, uint32_t channels) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    std::string text = bytes.str();
    SoundData* data = ZQI_NewSoundData();
    ZQI_ResizeSoundBytes(data, text.size());
    std::copy(text.begin(), text.end(), data->bytes.begin);
    data->kind = SOUND_DATA_VORBIS;
    data->channels = channels;
    data->bytesPerSample = 2;
    data->sampleRate = 44100;
    data->pcmSize = 44100 * 2 * channels;
    return data;
}

double ThreadSeconds(HANDLE thread) {
    FILETIME created, exited, kernel, user;
    GetThreadTimes(thread, &created, &exited, &kernel, &user);
    ULARGE_INTEGER k = {{kernel.dwLowDateTime, kernel.dwHighDateTime}};
    ULARGE_INTEGER u = {{user.dwLowDateTime, user.dwHighDateTime}};
    return static_cast<double>(k.QuadPart + u.QuadPart) * 1e-7;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: bench_audio_mixer_cpu mono.ogg stereo.ogg\n");
        return 2;
    }
    if (!CtrmInitialize(44100, 64, GetDesktopWindow(), 0)) {
        fprintf(stderr, "bench_audio_mixer_cpu: %s\n", CtrmGetLastError());
        return 1;
    }
    SoundData* mono = LoadVorbis(argv[1], 1);
    SoundData* stereo = LoadVorbis(argv[2], 2);
    int playing = 0;
    for (int i = 0; i < 40; ++i) {
        playing += CtrmPlay(mono, 0.1f, 0.0f, 1.0f, 1) != 0 ? 1 : 0;
    }
    for (int i = 0; i < 24; ++i) {
        playing += CtrmPlay(stereo, 0.1f, 0.0f, 1.0f, 1) != 0 ? 1 : 0;
    }
    HANDLE thread = static_cast<HANDLE>(CtrmGetRefillThread());
    double before = ThreadSeconds(thread);
    DWORD start = GetTickCount();
    Sleep(10000);
    double wall = (GetTickCount() - start) * 0.001;
    double cpu = ThreadSeconds(thread) - before;
    printf(
        "channels playing %d, refill thread CPU %.3f s in %.1f s: %.1f%% of one core, %.1f us per "
        "channel-second\n",
        playing, cpu, wall, 100.0 * cpu / wall, 1e6 * cpu / (wall * playing));
    CtrmShutdown();
    ZQI_DeleteSoundData(mono);
    ZQI_DeleteSoundData(stereo);
    return 0;
}
