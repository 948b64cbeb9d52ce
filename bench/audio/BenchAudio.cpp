// Audio decoding and mixing costs on the host:
// - a 60 s stereo Ogg Vorbis file through the engine's memory decoder in 64 KiB refills, against
//   `oggdec -Q -R -o /dev/null` on the same file (the same libvorbis), best of 5 runs each, and
//   their ratio;
// - the in-house mixer's refill of one channel, per second of audio played: PCM mono and
//   Vorbis stereo.
// The tones are made at start by tools/make-tones.py in a temporary folder.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "audio/SoundData.h"
#include "audio/SoundDecoder.h"
#include "audio/dsound/CtrmRefill.h"

namespace {

std::string g_folder;
double g_bestDecoder = 1e30;
double g_bestOggdec = 1e30;

double Seconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

SoundData* LoadKept(const std::string& path, uint32_t channels, uint32_t kind) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    std::string text = bytes.str();
    SoundData* data = ZQI_NewSoundData();
    ZQI_ResizeSoundBytes(data, text.size());
    std::copy(text.begin(), text.end(), data->bytes.begin);
    data->kind = kind;
    data->channels = channels;
    data->bytesPerSample = 2;
    data->sampleRate = 44100;
    data->pcmSize = static_cast<uint32_t>(text.size());
    return data;
}

void BM_MemoryDecoder60sStereo(benchmark::State& state) {
    SoundData* data = LoadKept(g_folder + "/long-stereo.ogg", 2, SOUND_DATA_VORBIS);
    std::vector<uint8_t> block(65536);
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        SoundDecoder* decoder = CreateSoundDecoder(data);
        uint64_t total = 0;
        while (uint32_t got = ReadSoundDecoder(decoder, block.data(), 65536)) {
            total += got;
        }
        FreeSoundDecoder(decoder);
        double seconds = Seconds(start);
        g_bestDecoder = std::min(g_bestDecoder, seconds);
        state.SetIterationTime(seconds);
        state.counters["pcm_bytes"] = static_cast<double>(total);
    }
    ZQI_DeleteSoundData(data);
}

void BM_Oggdec60sStereo(benchmark::State& state) {
    std::string command = "oggdec -Q -R -o /dev/null " + g_folder + "/long-stereo.ogg";
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("oggdec failed");
            return;
        }
        double seconds = Seconds(start);
        g_bestOggdec = std::min(g_bestOggdec, seconds);
        state.SetIterationTime(seconds);
    }
}

// One refill of a half buffer per iteration; reported per second of audio on one channel.
void RefillChannel(benchmark::State& state, const char* file, uint32_t channels, uint32_t kind) {
    SoundData* data = kind == SOUND_DATA_VORBIS ? LoadKept(g_folder + file, channels, kind) : nullptr;
    if (data == nullptr) {
        data = ZQI_NewSoundData();
        std::ifstream in(g_folder + file, std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        std::string text = bytes.str().substr(44);
        ZQI_ResizeSoundBytes(data, text.size());
        std::copy(text.begin(), text.end(), data->bytes.begin);
        data->kind = SOUND_DATA_PCM;
        data->channels = channels;
        data->bytesPerSample = 2;
        data->sampleRate = 44100;
        data->pcmSize = static_cast<uint32_t>(text.size());
    }
    CtrmChannel channel = {};
    channel.id = 2;
    channel.bufferSize = 88200;
    channel.decoder = CreateSoundDecoder(data);
    channel.looping = 1;
    channel.remaining = -1;
    std::vector<uint8_t> buffer(88200);
    int32_t half = 0;
    for (auto _ : state) {
        CtrmFillHalf(&channel, buffer.data(), half);
        half = 1 - half;
    }
    double secondsPerHalf = 44100.0 / (44100.0 * 2 * channels);
    state.counters["time_per_channel_second"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * secondsPerHalf,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    FreeSoundDecoder(channel.decoder);
    ZQI_DeleteSoundData(data);
}

void BM_MixerRefillPcmMono(benchmark::State& state) {
    RefillChannel(state, "/loop-mono.wav", 1, SOUND_DATA_PCM);
}

void BM_MixerRefillVorbisStereo(benchmark::State& state) {
    RefillChannel(state, "/long-stereo.ogg", 2, SOUND_DATA_VORBIS);
}

BENCHMARK(BM_MemoryDecoder60sStereo)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(5)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Oggdec60sStereo)->UseManualTime()->Iterations(1)->Repetitions(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MixerRefillPcmMono)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MixerRefillVorbisStereo)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    g_folder =
        (std::filesystem::temp_directory_path() / ("zq_bench_audio_" + std::to_string(getpid()))).string();
    std::string make = "python3 " ZQ_SOURCE_DIR "/tools/make-tones.py " + g_folder +
                       " long-stereo=60:2:440 loop-mono=1:1:440";
    if (std::system(make.c_str()) != 0) {
        fprintf(stderr, "bench_audio: making the tones failed\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    printf("best of 5: memory decoder %.1f ms, oggdec %.1f ms, ratio %.3f\n", g_bestDecoder * 1000,
           g_bestOggdec * 1000, g_bestDecoder / g_bestOggdec);
    std::filesystem::remove_all(g_folder);
    return 0;
}
