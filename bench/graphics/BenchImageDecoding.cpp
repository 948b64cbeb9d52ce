// Decoding speed of the image loader: 20 PNGs and 20 JPEGs of 2048 x 2048, made here from seeded
// pixels (PNG without gAMA, JPEG at quality 90), each decoded to RGBA by LoadImage from mem:// and,
// from the same bytes, by libpng's simplified API and by TurboJPEG's tjDecompress2. Prints the
// rates in megapixels per second and the ratio of each plain library to the loader.
#include <benchmark/benchmark.h>
#include <png.h>
#include <turbojpeg.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "core/ApiTable.h"
#include "filesystem/FileSystemApi.h"
#include "filesystem/FileSystemTable.h"
#include "filesystem/MemorySystem.h"
#include "graphics/ImageLoader.h"

namespace {

const int kImages = 20;
const int kSide = 2048;
const double kPixelsPerRun = double(kImages) * kSide * kSide;

std::vector<std::string> g_png;
std::vector<std::string> g_jpeg;
std::vector<uint8_t> g_target(size_t(kSide) * kSide * 4);

// Smooth colour fields with a little seeded noise, like painted art rather than static.
std::vector<uint8_t> SeededPixels(uint32_t seed) {
    std::vector<uint8_t> pixels(size_t(kSide) * kSide * 4);
    uint32_t state = seed * 2654435761u + 1u;
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            state = state * 1664525u + 1013904223u;
            const uint8_t noise = uint8_t(state >> 29);
            uint8_t* p = &pixels[(size_t(y) * kSide + x) * 4];
            p[0] = uint8_t((x / 8 + seed * 13) + noise);
            p[1] = uint8_t((y / 8 + x / 32) + noise);
            p[2] = uint8_t(((x + y) / 16 + seed * 29) ^ noise);
            p[3] = uint8_t(255 - y / 16);
        }
    }
    return pixels;
}

void AppendBytes(png_structp png, png_bytep data, png_size_t length) {
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), length);
}

std::string EncodePNG(const std::vector<uint8_t>& pixels) {
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, AppendBytes, nullptr);
    png_set_IHDR(png, info, kSide, kSide, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < kSide; ++y) {
        png_write_row(png, const_cast<png_bytep>(&pixels[size_t(y) * kSide * 4]));
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

std::string EncodeJPEG(const std::vector<uint8_t>& pixels) {
    tjhandle handle = tjInitCompress();
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    tjCompress2(handle, pixels.data(), kSide, 0, kSide, TJPF_RGBA, &buffer, &size, TJSAMP_420, 90, 0);
    std::string out(reinterpret_cast<const char*>(buffer), size);
    tjFree(buffer);
    tjDestroy(handle);
    return out;
}

std::string MemoryName(const char* kind, int index) {
    return "mem://bench" + std::to_string(index) + "." + kind;
}

bool WriteMemoryFile(const std::string& path, const std::string& bytes) {
    zq_file_t* file = ZQ_FileSystem_OpenFile(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const bool written = ZQ_FileSystem_WriteFile(bytes.data(), bytes.size(), file) == bytes.size();
    ZQ_FileSystem_CloseFile(file);
    return written;
}

bool MakeImages() {
    ZQI_BuildApiTables();
    ZQI_SetFileSystem(SCHEME_MEM, new ZQFileSystem::MemorySystem());
    size_t pngBytes = 0;
    size_t jpegBytes = 0;
    for (int i = 0; i < kImages; ++i) {
        const std::vector<uint8_t> pixels = SeededPixels(uint32_t(i + 1));
        g_png.push_back(EncodePNG(pixels));
        g_jpeg.push_back(EncodeJPEG(pixels));
        pngBytes += g_png.back().size();
        jpegBytes += g_jpeg.back().size();
        if (!WriteMemoryFile(MemoryName("png", i), g_png.back()) ||
            !WriteMemoryFile(MemoryName("jpg", i), g_jpeg.back())) {
            return false;
        }
    }
    std::printf("%d PNGs: %.1f MB, %d JPEGs: %.1f MB, each %dx%d\n", kImages, pngBytes / 1e6, kImages,
                jpegBytes / 1e6, kSide, kSide);
    return true;
}

void DecodeWithLoader(benchmark::State& state, const char* kind) {
    for (auto _ : state) {
        for (int i = 0; i < kImages; ++i) {
            zq_bitmap_t bitmap = {};
            if (!ZQI_GetImageLoader()->LoadImage(&bitmap, MemoryName(kind, i).c_str())) {
                state.SkipWithError("the loader refused an image");
            }
            benchmark::DoNotOptimize(bitmap.pixels);
            ZQI_GetImageLoader()->FreeImagePixels(&bitmap);
        }
    }
    state.counters["Mpixel/s"] =
        benchmark::Counter(kPixelsPerRun / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_LoaderPNG(benchmark::State& state) {
    DecodeWithLoader(state, "png");
}

void BM_LoaderJPEG(benchmark::State& state) {
    DecodeWithLoader(state, "jpg");
}

void BM_LibpngSimplified(benchmark::State& state) {
    for (auto _ : state) {
        for (const std::string& bytes : g_png) {
            png_image image = {};
            image.version = PNG_IMAGE_VERSION;
            if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) {
                state.SkipWithError("libpng refused an image");
                break;
            }
            image.format = PNG_FORMAT_RGBA;
            png_image_finish_read(&image, nullptr, g_target.data(), 0, nullptr);
            benchmark::DoNotOptimize(g_target.data());
        }
    }
    state.counters["Mpixel/s"] =
        benchmark::Counter(kPixelsPerRun / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_TurboJPEG(benchmark::State& state) {
    tjhandle handle = tjInitDecompress();
    for (auto _ : state) {
        for (const std::string& bytes : g_jpeg) {
            if (tjDecompress2(handle, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                              g_target.data(), kSide, 0, kSide, TJPF_RGBA, 0) != 0) {
                state.SkipWithError("TurboJPEG refused an image");
                break;
            }
            benchmark::DoNotOptimize(g_target.data());
        }
    }
    tjDestroy(handle);
    state.counters["Mpixel/s"] =
        benchmark::Counter(kPixelsPerRun / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(BM_LoaderPNG)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_LibpngSimplified)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_LoaderJPEG)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_TurboJPEG)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Keeps the console output and notes each benchmark's rate for the summary.
class RateReporter : public benchmark::ConsoleReporter {
public:
    double rates[4] = {0, 0, 0, 0};  // loader PNG, libpng, loader JPEG, TurboJPEG

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        static const char* const kNames[4] = {"BM_LoaderPNG", "BM_LibpngSimplified", "BM_LoaderJPEG",
                                              "BM_TurboJPEG"};
        for (const Run& run : runs) {
            auto rate = run.counters.find("Mpixel/s");
            for (int i = 0; i < 4; ++i) {
                if (rate != run.counters.end() && !run.error_occurred &&
                    run.benchmark_name().rfind(kNames[i], 0) == 0) {
                    rates[i] = rate->second.value;
                }
            }
        }
    }
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (!MakeImages()) {
        std::fprintf(stderr, "could not make the benchmark images\n");
        return 1;
    }
    RateReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double* r = reporter.rates;
    std::printf(
        "PNG:  loader %.1f Mpixel/s, libpng simplified %.1f Mpixel/s, ratio %.2f (target: at most 1.25)\n",
        r[0], r[1], r[0] > 0 ? r[1] / r[0] : 0.0);
    std::printf("JPEG: loader %.1f Mpixel/s, TurboJPEG %.1f Mpixel/s, ratio %.2f (target: at most 1.25)\n",
                r[2], r[3], r[2] > 0 ? r[3] / r[2] : 0.0);
    return 0;
}
