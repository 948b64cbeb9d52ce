// DrawBitmap's path from the slot to the batch (the quad template filled, the texture compared,
// the 96 bytes appended, a batch closed every 95 quads) into a ring of 16 plain-memory buffers of
// 384 vertices, against memcpy of the same bytes in 380-vertex blocks into the same ring. Prints
// both rates in GB/s and their ratio.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "graphics/BatchRenderer.h"
#include "graphics/Drawing.h"
#include "graphics/HighLevelRenderer.h"
#include "graphics/RendererDevice.h"
#include "graphics/RendererState.h"

// The ring's buffers are plain memory.
struct RendererBuffer {
    std::vector<uint8_t> bytes;
};

namespace {

const int kQuadsPerPass = 95 * 16;  // one batch in each ring buffer
const double kBytesPerPass = double(kQuadsPerPass) * 4 * sizeof(zq_vertex_t);

RendererBuffer* NewBuffer(size_t bytes) {
    return new RendererBuffer{std::vector<uint8_t>(bytes)};
}

void InstallMemoryDevice() {
    RendererDevice device = {};
    device.HasDevice = [] { return true; };
    device.CreateVertexBuffer = [](uint32_t, uint32_t count, uint32_t, const void*) {
        return NewBuffer(size_t(count) * 80);
    };
    device.CreateIndexBuffer = [](uint32_t count, uint32_t, const uint16_t*) {
        return NewBuffer(size_t(count) * 2);
    };
    device.IsBufferCreated = [](const RendererBuffer*) { return true; };
    device.LockBuffer = [](RendererBuffer* buffer) -> void* { return buffer->bytes.data(); };
    device.FreeBuffer = [](RendererBuffer* buffer) { delete buffer; };
    ZQI_SetRendererDevice(&device);
    HighLevelRenderer::ResetForTests();
    BatchRenderer::Initialize();
    HighLevelRenderer::ResetFrameState();
    HighLevelRenderer::ApplyState();
    BatchRenderer::BeginFrame();
}

zq_bitmap_t g_sprite;

void BM_DrawBitmapIntoTheBatch(benchmark::State& state) {
    g_sprite.width = g_sprite.height = 16;
    g_sprite.load_state = 3;
    g_sprite.gpu.loaded = 1;
    g_sprite.gpu.texture_right = g_sprite.gpu.texture_bottom = 1.0f;
    g_sprite.gpu.texture = reinterpret_cast<RendererTexture*>(&g_sprite);
    for (auto _ : state) {
        for (int i = 0; i < kQuadsPerPass; ++i) {
            const float x = float(i & 511);
            const float y = float(i >> 9);
            ZQ_Graphics_DrawBitmap(&g_sprite, &x, &y);
        }
    }
    state.counters["GB/s"] =
        benchmark::Counter(kBytesPerPass / 1e9, benchmark::Counter::kIsIterationInvariantRate);
}

// The same bytes as a pass of DrawBitmap (16 batches of 95 quads) copied from memory that holds
// them into the ring, batch by batch.
void BM_MemcpyIntoTheRing(benchmark::State& state) {
    std::vector<zq_vertex_t> source(16 * 380);
    std::vector<std::vector<zq_vertex_t>> ring(16, std::vector<zq_vertex_t>(384));
    for (size_t i = 0; i < source.size(); ++i) {
        source[i] = zq_vertex_t{float(i), float(i), 0.5f, 0xFFFFFFFFu, 0.0f, 1.0f};
    }
    for (auto _ : state) {
        for (int buffer = 0; buffer < 16; ++buffer) {
            memcpy(ring[buffer].data(), &source[size_t(buffer) * 380], 380 * sizeof(zq_vertex_t));
            benchmark::ClobberMemory();
        }
    }
    state.counters["GB/s"] =
        benchmark::Counter(kBytesPerPass / 1e9, benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(BM_DrawBitmapIntoTheBatch)->MinTime(2.0);
BENCHMARK(BM_MemcpyIntoTheRing)->MinTime(2.0);

class RateReporter : public benchmark::ConsoleReporter {
public:
    double rates[2] = {0, 0};
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            auto rate = run.counters.find("GB/s");
            if (rate != run.counters.end()) {
                rates[run.benchmark_name().rfind("BM_Draw", 0) == 0 ? 0 : 1] = rate->second.value;
            }
        }
    }
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    InstallMemoryDevice();
    RateReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf(
        "DrawBitmap into the batch %.2f GB/s, memcpy %.2f GB/s: %.0f%% of the copy rate (target: 30%%)\n",
        reporter.rates[0], reporter.rates[1],
        reporter.rates[1] > 0 ? 100.0 * reporter.rates[0] / reporter.rates[1] : 0.0);
    return 0;
}
