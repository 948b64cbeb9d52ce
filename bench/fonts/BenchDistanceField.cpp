// Distance-field generation of DejaVu Sans (32 px, spread 4, factor 8) for 447 glyphs (32-126,
// 160-255, U+0400-04FF) against FreeType's SDF renderer (spread 4, 32 px) on the same glyphs;
// and 22 px Latin-1 generation against plain FT_Load_Char. Compare the pairs' times.
#include <benchmark/benchmark.h>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_MODULE_H

#include <vector>

#include "core/ApiTable.h"
#include "core/NamedMutex.h"
#include "filesystem/FileSystemTable.h"
#include "filesystem/SchemeRoots.h"
#include "fonts/TrueTypeGlyphs.h"

namespace {

const char kFontPath[] = ZQ_BENCH_DEJAVU_DIR "/DejaVuSans.ttf";

std::vector<uint32_t> FieldGlyphs() {
    std::vector<uint32_t> codes;
    for (uint32_t c = 32; c <= 126; ++c) codes.push_back(c);
    for (uint32_t c = 160; c <= 255; ++c) codes.push_back(c);
    for (uint32_t c = 0x400; c <= 0x4FF; ++c) codes.push_back(c);
    return codes;
}

std::vector<uint32_t> Latin1Glyphs() {
    std::vector<uint32_t> codes;
    for (uint32_t c = 1; c <= 255; ++c) codes.push_back(c);
    return codes;
}

void SetUpEngine() {
    static bool done = false;
    if (!done) {
        ZQI_BuildApiTables();
        ZQI_CreateCoreMutexes();
        ZQI_InitializeFileSystems();
        ZQI_SetSchemeRoot(SCHEME_RES, ZQ_BENCH_DEJAVU_DIR);
        done = true;
    }
}

void Generate(benchmark::State& state, const std::vector<uint32_t>& codes, float size, int32_t factor, float spread) {
    SetUpEngine();
    for (auto _ : state) {
        zq_font_t font{};
        font.scale = 1.0f;
        CreateFontGlyphTable(&font, false);
        for (uint32_t c : codes) ZQI_InsertFontGlyph(font.glyphs, c, ZQI_EmptyFontGlyph());
        ZQI_CreateFontGlyphBitmapsFromTTF(&font, "res://DejaVuSans.ttf", size, "", size, factor, spread);
        benchmark::DoNotOptimize(font.glyphs);
        FreeFontGlyphTable(&font);
    }
    state.counters["glyphs"] = static_cast<double>(codes.size());
}

// FreeType alone: one face per run, like the generator, each glyph loaded and rendered.
void RenderWithFreeType(benchmark::State& state, const std::vector<uint32_t>& codes, FT_UInt size, bool sdf) {
    for (auto _ : state) {
        FT_Library library;
        FT_Face face;
        FT_Init_FreeType(&library);
        if (sdf) {
            FT_Int spread = 4;
            FT_Property_Set(library, "sdf", "spread", &spread);
        }
        FT_New_Face(library, kFontPath, 0, &face);
        FT_Select_Charmap(face, FT_ENCODING_UNICODE);
        FT_Set_Pixel_Sizes(face, 0, size);
        for (uint32_t c : codes) {
            if (sdf) {
                if (FT_Load_Char(face, c, FT_LOAD_DEFAULT) == 0) FT_Render_Glyph(face->glyph, FT_RENDER_MODE_SDF);
            } else {
                FT_Load_Char(face, c, FT_LOAD_RENDER);
            }
            benchmark::DoNotOptimize(face->glyph->bitmap.buffer);
        }
        FT_Done_Face(face);
        FT_Done_FreeType(library);
    }
    state.counters["glyphs"] = static_cast<double>(codes.size());
}

void BM_DistanceFieldGeneration(benchmark::State& state) {
    Generate(state, FieldGlyphs(), 32.0f, 8, 4.0f);
}
void BM_FreeTypeSdfRenderer(benchmark::State& state) {
    RenderWithFreeType(state, FieldGlyphs(), 32, true);
}
void BM_Latin1Generation22px(benchmark::State& state) {
    Generate(state, Latin1Glyphs(), 22.0f, 1, 0.0f);
}
void BM_FreeTypeLoadChar22px(benchmark::State& state) {
    RenderWithFreeType(state, Latin1Glyphs(), 22, false);
}

BENCHMARK(BM_DistanceFieldGeneration)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FreeTypeSdfRenderer)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Latin1Generation22px)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FreeTypeLoadChar22px)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
