// The engine drawing for real: start-up, frames and shutdown in this process with the window, the
// Direct3D 11 device and the program library progs/drawing_program.c, which draws its scenes
// through the graphics sub-table into a render target and reads it back. Expected pixels come from
// this file's own arithmetic (the colours, blend equations, texel mapping and smoothstep), exact
// or within 2 per channel where the GPU's rounding decides. Also the shader manager and buffer
// objects on the real device: shaders from code files compiled here by D3DCompile, translated at
// run time, refused, queued from a worker; the full shader table; buffer byte counters. Text lines
// of a compiled font built here and of fonts generated from DejaVu Sans Mono, against pixels placed
// by this file from the glyph bitmaps, offsets, advances and kerning.
#include <gtest/gtest.h>

#include <windows.h>

#include <d3dcompiler.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "InProcessEngine.h"
#include "core/ApiTable.h"
#include "core/Console.h"
#include "core/CoreState.h"
#include "core/Log.h"
#include "core/MemoryStatistics.h"
#include "engine/Autoscale.h"
#include "engine/Lifecycle.h"
#include "engine/RuntimeState.h"
#include "fonts/Font.h"
#include "graphics/ShaderManager.h"
#include "graphics/d3d11/RendererImplementation.h"
#include "platform/windows/MessagePump.h"
#include "progs/drawing_scenes.h"

namespace {

const int kSide = 32;
const int kWideSide = 64;
const uint8_t kBackground[4] = {51, 102, 153, 255};  // 0.2, 0.4, 0.6, 1.0

struct ProgramHooks {
    void (*Select)(int scene);
    int (*Done)();
    zq_bitmap_t* (*Target)();
    zq_bitmap_t* (*SmallTarget)();
    void (*CheckerTexel)(int x, int y, uint8_t out[4]);
    int (*RampAlpha)(int x);
    zq_bitmap_t* (*WideTarget)();
    void (*SetCustomDraw)(void (*draw)());
};
ProgramHooks g_hooks;

template <typename T>
void Resolve(HMODULE module, const char* name, T* out) {
    *out = reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

std::string ExecutableFolder() {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof(path));
    while (length > 0 && path[length - 1] != '\\' && path[length - 1] != '/') {
        --length;
    }
    return std::string(path, length);
}

std::string ReadSource(const std::string& relative) {
    std::ifstream file(std::string(ZQ_TEST_SOURCE_DIR) + "/" + relative, std::ios::binary);
    std::stringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

void WriteResource(const std::string& relative, const std::string& bytes) {
    const std::string path = ExecutableFolder() + relative;
    for (size_t slash = path.find('/', ExecutableFolder().size()); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        CreateDirectoryA(path.substr(0, slash).c_str(), nullptr);
    }
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string Compile(const std::string& source, const char* profile) {
    HMODULE library = LoadLibraryA("d3dcompiler_47.dll");
    pD3DCompile compile =
        reinterpret_cast<pD3DCompile>(reinterpret_cast<void*>(GetProcAddress(library, "D3DCompile")));
    ID3DBlob* code = nullptr;
    std::string bytes;
    if (compile != nullptr && SUCCEEDED(compile(source.data(), source.size(), "sprite.hlsl", nullptr, nullptr,
                                                "main", profile, 0, 0, &code, nullptr))) {
        bytes.assign(static_cast<const char*>(code->GetBufferPointer()), code->GetBufferSize());
        code->Release();
    }
    return bytes;
}

// The sprite's vertex stage alone.
const char kVertexOnlyDocument[] = R"(<?xml version="1.0"?>
<root>
  <array id="vertex_input">
    <node id="position" semantic="POSITION"/>
    <node id="color" semantic="COLOR"/>
    <node id="uv" semantic="TEXTURE_COORDINATE_0"/>
  </array>
  <array id="vertex_constants">
    <node id="transform" type="FLOAT4X4" semantic="WORLD_VIEW_PROJECTION_TRANSFORM"/>
  </array>
  <array id="vertex_output">
    <node id="position" type="FLOAT4" semantic="POSITION"/>
    <node id="color" type="FLOAT4" semantic="COLOR"/>
    <node id="uv" type="FLOAT2"/>
  </array>
  <array id="sources">
    <node type="vertex"><![CDATA[
void main()
{
    output.position = input.position * constants.transform;
    output.color = input.color;
    output.uv = input.uv;
}
]]></node>
  </array>
</root>
)";

// The corpus sprite with its stages in files beside the Shader XML; the pixel stage includes a
// file from a folder below, which halves the tint.
void WriteShaderSourceFiles(const std::string& document) {
    std::string files = document;
    const size_t vertexStart = files.find("<node type=\"vertex\">");
    const size_t sourcesEnd = files.find("</array>", vertexStart);
    files.replace(
        vertexStart, sourcesEnd - vertexStart,
        "<node type=\"vertex\" file=\"files.vertex\"/>\n    <node type=\"pixel\" file=\"files.pixel\"/>\n  ");
    WriteResource("translated/files.xml", files);
    WriteResource("translated/files.vertex",
                  "void main()\n{\n    output.position = input.position * constants.transform;\n"
                  "    output.color = input.color;\n    output.uv = input.uv;\n}\n");
    WriteResource(
        "translated/files.pixel",
        "#include \"lib/scale.shader\"\nvoid main()\n{\n    output.color = sampleTexture(texture.diffuse, "
        "input.uv) * input.color * constants.tint * TINT_SCALE;\n}\n");
    WriteResource("translated/lib/scale.shader", "#define TINT_SCALE 0.5\n");
}

// The corpus sprite (vertex colour x texture x tint) as code files, from its translated HLSL; also
// as a document that is translated at run time, a shader whose code files are cut short and one
// that has vertex code only.
void WriteShaderResources() {
    const std::string document = ReadSource("../shadertool/corpus/translation/sprite.xml");
    const std::string vertex =
        Compile(ReadSource("../shadertool/corpus/translation/sprite.HLSL11.vertex"), "vs_4_0");
    const std::string pixel =
        Compile(ReadSource("../shadertool/corpus/translation/sprite.HLSL11.pixel"), "ps_4_0");
    ASSERT_FALSE(vertex.empty());
    ASSERT_FALSE(pixel.empty());
    for (const char* name : {"tint", "queued"}) {
        WriteResource(std::string("shaders/") + name + ".xml", document);
        WriteResource(std::string("shaders/HLSL11/bin/") + name + "_DEFAULT.vertex", vertex);
        WriteResource(std::string("shaders/HLSL11/bin/") + name + "_DEFAULT.pixel", pixel);
    }
    WriteResource("translated/sprite.xml", document);
    WriteShaderSourceFiles(document);
    WriteResource("shaders/short.xml", document);
    WriteResource("shaders/HLSL11/bin/short_DEFAULT.vertex", vertex.substr(0, vertex.size() / 2));
    WriteResource("shaders/HLSL11/bin/short_DEFAULT.pixel", pixel.substr(0, pixel.size() / 2));
    WriteResource("shaders/vertexonly.xml", kVertexOnlyDocument);
    WriteResource("shaders/HLSL11/bin/vertexonly_DEFAULT.vertex", vertex);
}

// Popups, which developer mode would show as message boxes, are kept here.
std::vector<std::string> g_popups;

int32_t RecordPopup(int32_t, const char* text) {
    g_popups.push_back(text);
    return 0;
}

int32_t RecordChoice(int32_t, int32_t, const char* text) {
    g_popups.push_back(text);
    return 0;
}

// Popups that contain text.
int CountPopups(const std::string& text) {
    int count = 0;
    for (const std::string& popup : g_popups) {
        count += popup.find(text) != std::string::npos ? 1 : 0;
    }
    return count;
}

std::string AllPopups() {
    std::string all;
    for (const std::string& popup : g_popups) {
        all += popup + "\n";
    }
    return all;
}

bool Near(const uint8_t* actual, const uint8_t* expected, int tolerance) {
    for (int i = 0; i < 4; ++i) {
        if (std::abs(int(actual[i]) - int(expected[i])) > tolerance) {
            return false;
        }
    }
    return true;
}

std::string Bytes(const uint8_t* rgba) {
    char text[32];
    snprintf(text, sizeof(text), "(%d, %d, %d, %d)", rgba[0], rgba[1], rgba[2], rgba[3]);
    return text;
}

uint8_t ToByte(double value) {
    value = value < 0.0 ? 0.0 : (value > 1.0 ? 1.0 : value);
    return static_cast<uint8_t>(std::lround(value * 255.0));
}

// What the blend modes make of source s (alpha a) over destination d, per colour channel.
double Blend(int mode, double s, double a, double d) {
    switch (mode) {
        case ZQ_BLEND_MODE_ALPHA:
            return s * a + d * (1.0 - a);
        case ZQ_BLEND_MODE_ADD:
            return s * a + d;
        case ZQ_BLEND_MODE_OPAQUE:
            return s;
        case ZQ_BLEND_MODE_SUBTRACT:
            return d - s * a;
        case ZQ_BLEND_MODE_MULTIPLY:
            return s * d;
        case ZQ_BLEND_MODE_MULTIPLY_2X:
            return 2.0 * s * d;
        case ZQ_BLEND_MODE_MULTIPLY_ADD:
            return s * d + d;
        default:  // premultiplied alpha
            return s + d * (1.0 - a);
    }
}

// ---- Fonts for the text tests ----

// Little-endian builder of compiled font files (version 7).
struct FontFileBytes {
    std::string data;
    FontFileBytes& Text(const char* text) {
        data.append(text, strlen(text) + 1);
        return *this;
    }
    FontFileBytes& U8(uint8_t v) {
        data.push_back(static_cast<char>(v));
        return *this;
    }
    FontFileBytes& U16(uint16_t v) { return U8(v & 0xFF).U8(v >> 8); }
    FontFileBytes& U32(uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
    FontFileBytes& F32(float v) {
        uint32_t bits;
        memcpy(&bits, &v, 4);
        return U32(bits);
    }
    FontFileBytes& Header(float spread, float smoothing, uint32_t glyphs, const char* encoding = "LATIN-1") {
        return Text("DIZ_Font_v7")
            .Text(encoding)
            .U32(5)
            .U32(5)
            .U32(kLineHeight)
            .F32(spread)
            .F32(smoothing)
            .F32(1.0f)
            .U32(glyphs);
    }
    // White pixels with the alphas given row by row (none: opaque); kerning after one previous code.
    FontFileBytes& Glyph(uint32_t code, int16_t advance, uint16_t w, uint16_t h,
                         const std::vector<uint8_t>& alphas = {}, int previous = -1, int8_t kerning = 0) {
        U32(code).F32(0.0f).U16(0).U16(static_cast<uint16_t>(advance)).U8(previous >= 0 ? 1 : 0);
        for (int i = 0; previous >= 0 && i < 256; ++i) {
            U8(static_cast<uint8_t>(i == previous ? kerning : 0));
        }
        U16(w).U16(h);
        for (int i = 0; i < w * h; ++i) {
            U8(255).U8(255).U8(255).U8(alphas.empty() ? 255 : alphas[i]);
        }
        return *this;
    }
    static const uint32_t kLineHeight = 6;
};

// The hand-built font: 'A' 3 x 5 advancing 4, 'B' 2 x 5 advancing 3 and kerned +1 after 'A', a
// space advancing 2; lines 6 apart.
const int kA = 4, kB = 3, kKernAB = 1, kSpace = 2;
// Its distance-field twin: 'A' is a 4 x 1 ramp of alphas, spread 4, smoothing chosen so that one
// pixel of the 64 x 64 target gives an edge of kEdge on each side of 0.5.
const uint8_t kFieldAlphas[4] = {90, 115, 128, 140};
const double kEdge = 0.1;
const double kFieldSpread = 4.0;
double FieldSmoothing() {
    return kEdge * std::sqrt(2.0) * 0.714 * kFieldSpread;
}

double SmoothStep(double edge, double alpha) {
    double t = (alpha - (0.5 - edge)) / (2.0 * edge);
    t = t < 0.0 ? 0.0 : (t > 1.0 ? 1.0 : t);
    return t * t * (3.0 - 2.0 * t);
}

std::string ReadDiskFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

// The compiled fonts, DejaVu Sans Mono and two sources naming it; fonts generated by an earlier
// run are deleted so they are generated afresh.
void WriteFontResources() {
    FontFileBytes hand;
    hand.Header(0.0f, 0.0f, 3)
        .Glyph('A', kA, 3, 5)
        .Glyph('B', kB, 2, 5, {}, 'A', kKernAB)
        .Glyph(' ', kSpace, 0, 0);
    WriteResource("fonts/hand.mft", hand.data);
    WriteResource("fonts/worker.mft", hand.data);
    // UTF-8: 'A' (with a kerning row the UTF-32 drawer must not apply), U+0416 2 x 5 advancing 3, a
    // bar 1 x 5 advancing 2.
    FontFileBytes utf8;
    utf8.Header(0.0f, 0.0f, 3, "UTF-8")
        .Glyph('A', kA, 3, 5, {}, 'A', 7)
        .Glyph(0x416, kB, 2, 5)
        .Glyph('|', 2, 1, 5);
    WriteResource("fonts/utf8.mft", utf8.data);
    FontFileBytes field;
    field.Header(static_cast<float>(kFieldSpread), static_cast<float>(FieldSmoothing()), 1)
        .Glyph('A', 5, 4, 1, std::vector<uint8_t>(kFieldAlphas, kFieldAlphas + 4));
    WriteResource("fonts/field.mft", field.data);
    WriteResource("fonts/DejaVuSansMono.ttf", ReadDiskFile(ZQ_TEST_DEJAVU_DIR "/DejaVuSansMono.ttf"));
    const std::string head =
        "<?xml version=\"1.0\"?>\n<root>\n<array id=\"settings\">\n"
        "<node id=\"INPUT\" ttf=\"fonts/DejaVuSansMono.ttf\" size_px=\"12\"/>\n";
    WriteResource("fonts/mono.mft.xml", head + "</array>\n</root>\n");
    WriteResource("fonts/monofield.mft.xml",
                  head +
                      "<node id=\"VERSION\" value=\"2\"/>\n"
                      "<node id=\"DISTANCE_FIELD\" size_px=\"12\" spread=\"2\" scale=\"8\"/>\n"
                      "</array>\n</root>\n");
    DeleteFileA((ExecutableFolder() + "fonts/mono.mft").c_str());
    DeleteFileA((ExecutableFolder() + "fonts/monofield.mft").c_str());
}

// An expected 64 x 64 picture, painted by the tests.
struct Picture {
    std::vector<uint8_t> rgba = std::vector<uint8_t>(kWideSide * kWideSide * 4);
    Picture() {
        for (int i = 0; i < kWideSide * kWideSide; ++i) {
            memcpy(&rgba[i * 4], kBackground, 4);
        }
    }
    uint8_t* At(int x, int y) { return &rgba[(y * kWideSide + x) * 4]; }
    void Fill(int x0, int y0, int x1, int y1, const uint8_t colour[4]) {
        for (int y = y0; y < y1; ++y) {
            for (int x = x0; x < x1; ++x) {
                memcpy(At(x, y), colour, 4);
            }
        }
    }
    // The hand-built font's "AB" with the pen at x and the glyphs' top at y.
    void AB(int x, int y, const uint8_t colour[4]) {
        Fill(x, y, x + 3, y + 5, colour);
        Fill(x + kA + kKernAB, y, x + kA + kKernAB + 2, y + 5, colour);
    }
};

std::function<void()> g_customScene;
void RunCustomScene() {
    g_customScene();
}

float DrawLine(zq_font_t* font, float x, float y, const char* text) {
    return ZQI_GetApi()->graphics->DrawText(font, &x, &y, "%s", text);
}

// Opaque white, alpha blending, point sampling, default text settings.
void StartText(int32_t blend = ZQ_BLEND_MODE_ALPHA) {
    zq_graphics_api_t* graphics = ZQI_GetApi()->graphics;
    const float white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    graphics->SetColorRGBA(white);
    graphics->SetBlendMode(blend);
    graphics->SetTextureFilter(ZQ_TEXTURE_FILTER_POINT);
}

void SetTextScale(float scale) {
    const float angle = 0.0f;
    ZQI_GetApi()->graphics->SetTextTransform(&scale, &scale, &angle);
}

void SetTextAlignment(uint32_t alignment) {
    ZQI_GetApi()->graphics->SetTextAlignment(&alignment);
}

class DrawingEngine : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        WriteShaderResources();
        InstallInProcessPlatform();
        started_ = CorePreinitialize() && CoreInitialize();
        g_core.popupMessage = RecordPopup;
        g_core.popupChoice = RecordChoice;
        HMODULE program = GetModuleHandleA("prog.dll");
        Resolve(program, "DrawingTestSelect", &g_hooks.Select);
        Resolve(program, "DrawingTestDone", &g_hooks.Done);
        Resolve(program, "DrawingTestTarget", &g_hooks.Target);
        Resolve(program, "DrawingTestSmallTarget", &g_hooks.SmallTarget);
        Resolve(program, "DrawingTestCheckerTexel", &g_hooks.CheckerTexel);
        Resolve(program, "DrawingTestRampAlpha", &g_hooks.RampAlpha);
        Resolve(program, "DrawingTestWideTarget", &g_hooks.WideTarget);
        Resolve(program, "DrawingTestSetCustomDraw", &g_hooks.SetCustomDraw);
        WriteFontResources();
        for (int i = 0; started_ && i < 2; ++i) {
            RunOneFrame();  // the program's Init runs in the first
        }
    }
    static void TearDownTestSuite() { CoreShutdown(); }
    void SetUp() override {
        ASSERT_TRUE(started_);
        ASSERT_NE(nullptr, g_hooks.Select);
        ASSERT_NE(nullptr, g_hooks.Target());
    }

    static void RunOneFrame() {
        PumpWindowMessages();
        RunFrame();
    }

    // The scene's pixels (RGBA rows of the 32 x 32 target) once the program has drawn it.
    static const uint8_t* DrawScene(int scene) {
        g_hooks.Select(scene);
        for (int frame = 0; frame < 5 && !g_hooks.Done(); ++frame) {
            RunOneFrame();
        }
        EXPECT_TRUE(g_hooks.Done()) << "scene " << scene;
        return g_hooks.Target()->pixels;
    }

    static const uint8_t* At(const uint8_t* pixels, int x, int y) { return pixels + (y * kSide + x) * 4; }

    // Every pixel of the rectangle [x0, x1) x [y0, y1) is the colour, within the tolerance.
    static void ExpectArea(const uint8_t* pixels, int x0, int y0, int x1, int y1, const uint8_t* colour,
                           int tolerance = 0) {
        for (int y = y0; y < y1; ++y) {
            for (int x = x0; x < x1; ++x) {
                EXPECT_TRUE(Near(At(pixels, x, y), colour, tolerance))
                    << "(" << x << ", " << y << ") is " << Bytes(At(pixels, x, y)) << ", not "
                    << Bytes(colour);
            }
        }
    }

    // The wide target's pixels once draw has drawn into it (cleared to the background).
    static const uint8_t* DrawCustom(std::function<void()> draw) {
        g_customScene = std::move(draw);
        g_hooks.SetCustomDraw(RunCustomScene);
        g_hooks.Select(SCENE_CUSTOM);
        for (int frame = 0; frame < 5 && !g_hooks.Done(); ++frame) {
            RunOneFrame();
        }
        EXPECT_TRUE(g_hooks.Done());
        return g_hooks.WideTarget()->pixels;
    }

    // Every pixel of the wide target is the picture's, within the tolerance; the first few
    // differences are named.
    static void ExpectPicture(const uint8_t* pixels, Picture& expected, int tolerance = 0) {
        int wrong = 0;
        for (int y = 0; y < kWideSide; ++y) {
            for (int x = 0; x < kWideSide; ++x) {
                const uint8_t* actual = pixels + (y * kWideSide + x) * 4;
                if (!Near(actual, expected.At(x, y), tolerance) && ++wrong <= 8) {
                    ADD_FAILURE() << "(" << x << ", " << y << ") is " << Bytes(actual) << ", not "
                                  << Bytes(expected.At(x, y));
                }
            }
        }
        EXPECT_EQ(0, wrong);
    }

    static bool started_;
};

bool DrawingEngine::started_ = false;

TEST_F(DrawingEngine, EachBlendModeMixesTheColourAsItsEquationSaysAndModeZeroKeepsTheLast) {
    const uint8_t* pixels = DrawScene(SCENE_BLEND);
    const double source[3] = {204 / 255.0, 153 / 255.0, 102 / 255.0};
    const double alpha = 127 / 255.0;
    for (int column = 0; column < 9; ++column) {
        const int mode = column < 8 ? column + 1 : ZQ_BLEND_MODE_PREMULTIPLIED_ALPHA;
        uint8_t expected[4];
        for (int c = 0; c < 3; ++c) {
            expected[c] = ToByte(Blend(mode, source[c], alpha, kBackground[c] / 255.0));
        }
        // Enabled blending adds a x a to the destination's alpha 1; opaque writes the source's.
        expected[3] = mode == ZQ_BLEND_MODE_OPAQUE ? 127 : 255;
        ExpectArea(pixels, 3 * column, 0, 3 * column + 3, kSide, expected, 1);
    }
    ExpectArea(pixels, 27, 0, kSide, kSide, kBackground);
}

TEST_F(DrawingEngine, BitmapDrawsPutEachTexelWhereTheirGeometrySays) {
    const uint8_t* pixels = DrawScene(SCENE_BITMAPS);
    uint8_t texel[4];
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            g_hooks.CheckerTexel(x, y, texel);
            ExpectArea(pixels, x, y, x + 1, y + 1, texel);  // DrawBitmap at (0, 0)
        }
    }
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 2; ++x) {
            g_hooks.CheckerTexel(1 + x, 1 + y, texel);  // texels 1 .. 3 at (6, 0)
            ExpectArea(pixels, 6 + x, y, 7 + x, y + 1, texel);
        }
    }
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            g_hooks.CheckerTexel(3 - x / 2, 3 - y / 2, texel);  // half a turn, twice the size, about (16, 4)
            ExpectArea(pixels, 12 + x, y, 13 + x, y + 1, texel);
        }
    }
    // The band from (22, 1) to (30, 1), 2 wide: u runs down the band's width, v along it.
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 8; ++x) {
            g_hooks.CheckerTexel(y == 0 ? 3 : 1, x / 2, texel);
            ExpectArea(pixels, 22 + x, y, 23 + x, y + 1, texel);
        }
    }
    // The caller's quad (0, 10) - (8, 14) showing the checker's right half.
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 8; ++x) {
            g_hooks.CheckerTexel(2 + x / 4, y, texel);
            ExpectArea(pixels, x, 10 + y, x + 1, 11 + y, texel);
        }
    }
    ExpectArea(pixels, 0, 20, kSide, kSide, kBackground);
}

TEST_F(DrawingEngine, LinesTransformsTargetsAndScissorsCoverTheirPixels) {
    const uint8_t red[4] = {255, 0, 0, 255}, green[4] = {0, 255, 0, 255}, blue[4] = {0, 0, 255, 255};
    const uint8_t* lines = DrawScene(SCENE_LINES);
    ExpectArea(lines, 3, 2, 29, 3, red);
    ExpectArea(lines, 10, 6, 11, 29, green);
    ExpectArea(lines, 12, 6, 32, 32, kBackground);

    const uint8_t* transforms = DrawScene(SCENE_TRANSFORMS);
    ExpectArea(transforms, 8, 8, 16, 16, blue);  // translation x scale: 4 x 4 at the origin -> 8 .. 16
    ExpectArea(transforms, 16, 0, 32, 16, kBackground);
    ExpectArea(transforms, 0, 16, 4, 20, green);
    ExpectArea(transforms, 4, 16, 8, 24, kBackground);

    const uint8_t* target = DrawScene(SCENE_TARGET);
    ExpectArea(target, 10, 10, 18, 12, red);
    ExpectArea(target, 12, 12, 16, 16, green);
    ExpectArea(target, 16, 12, 18, 18, red);
    ExpectArea(target, 0, 18, 32, 32, kBackground);
    const zq_bitmap_t* small = g_hooks.SmallTarget();
    ASSERT_NE(nullptr, small->pixels);
    EXPECT_TRUE(Near(small->pixels + (3 * 8 + 3) * 4, green, 0));
    EXPECT_TRUE(Near(small->pixels + (7 * 8 + 7) * 4, red, 0));

    const uint8_t yellow[4] = {255, 255, 0, 255};
    const uint8_t* scissored = DrawScene(SCENE_SCISSOR);
    ExpectArea(scissored, 10, 10, 24, 24, yellow);
    ExpectArea(scissored, 0, 0, 32, 10, kBackground);
    ExpectArea(scissored, 24, 10, 32, 32, kBackground);
    ExpectArea(scissored, 0, 24, 24, 32, kBackground);
}

TEST_F(DrawingEngine, ANearSquareHidesAFartherOneDrawnAfterIt) {
    const uint8_t red[4] = {255, 0, 0, 255}, green[4] = {0, 255, 0, 255};
    const uint8_t* pixels = DrawScene(SCENE_DEPTH);
    ExpectArea(pixels, 10, 10, 22, 22, red);
    ExpectArea(pixels, 2, 2, 6, 6, green);  // the far square, a little smaller about the centre
    EXPECT_EQ(1,
              CountPopups(
                  "HighLevelRenderer::ClearDepth(): depth writes are disabled, not clearing at this call."));
}

TEST_F(DrawingEngine, ShadersFromCodeFilesAndFromTranslationTakeTheirPixelConstants) {
    const uint8_t* pixels = DrawScene(SCENE_SHADERS);
    const uint8_t first[4] = {51, 153, 255, 255}, second[4] = {255, 51, 153, 255};
    ExpectArea(pixels, 0, 0, 16, kSide, first);
    ExpectArea(pixels, 16, 0, kSide, kSide, second);
}

// Translated at run time: the stage sources and the included file are read through the engine's
// file system. The tint (0.4, 0.8, 1.0, 1.0) comes out halved by the included definition.
TEST_F(DrawingEngine, AShaderWithSourceFilesAndAnIncludeDraws) {
    const uint8_t* pixels = DrawScene(SCENE_SHADER_FILES);
    const uint8_t halved[4] = {51, 102, 128, 128};
    ExpectArea(pixels, 0, 0, kSide, kSide, halved, 1);
    EXPECT_EQ(0, CountPopups("failed to open or read shader source file")) << AllPopups();
    EXPECT_EQ(0, CountPopups("include file was not found")) << AllPopups();
}

TEST_F(DrawingEngine, TheDistanceFieldShaderTurnsAlphaIntoASmoothEdge) {
    const uint8_t* pixels = DrawScene(SCENE_DISTANCE_FIELD);
    for (int x = 0; x < 4; ++x) {
        double t = (g_hooks.RampAlpha(x) / 255.0 - 0.4) / 0.2;
        t = t < 0.0 ? 0.0 : (t > 1.0 ? 1.0 : t);
        const uint8_t expected[4] = {255, 255, 255, ToByte(t * t * (3.0 - 2.0 * t))};
        ExpectArea(pixels, x, 0, x + 1, 1, expected, 2);
    }
}

// Buffers made here and by a worker thread, once with the device's concurrent creation and once
// without it (then the frame's queue makes them).
TEST_F(DrawingEngine, BufferObjectsDrawWhatTheirMakersWrote) {
    const uint8_t cyan[4] = {0, 255, 255, 255}, magenta[4] = {255, 0, 255, 255};
    const uint32_t capabilities = g_core.renderer->capabilities;
    for (bool concurrent : {true, false}) {
        g_core.renderer->capabilities = concurrent ? capabilities | RENDERER_CAPS_CONCURRENT_CREATES
                                                   : capabilities & ~RENDERER_CAPS_CONCURRENT_CREATES;
        const uint8_t* pixels = DrawScene(SCENE_BUFFERS);
        ExpectArea(pixels, 0, 0, 8, 8, cyan);
        ExpectArea(pixels, 16, 0, 24, 8, magenta);
        ExpectArea(pixels, 1, 17, 3, 19, cyan);  // the first triangle of the lower quad only
        ExpectArea(pixels, 5, 21, 8, 24, kBackground);
        ExpectArea(pixels, 8, 0, 16, 8, kBackground);
    }
    g_core.renderer->capabilities = capabilities;
}

// Drawn in every frame while selected, so every buffer of the swap chain holds it.
TEST_F(DrawingEngine, TheScreenGetsWhatTheProgramDrawsOnIt) {
    g_hooks.Select(SCENE_BACK_BUFFER);
    for (int frame = 0; frame < 4; ++frame) {
        RunOneFrame();
    }
    ASSERT_TRUE(g_hooks.Done());
    g_hooks.Select(0);
    uint32_t width = 0;
    const std::vector<uint32_t> words = ReadBackBuffer(*g_core.renderer, &width);
    ASSERT_FALSE(words.empty());
    // The rectangle (10, 20) - (40, 60) in program units, through the frame's screen transform.
    const Matrix4x4 screen = ZQI_ComputeScreenTransform();
    auto pixel = [&](float x, float y) {
        const uint32_t column = static_cast<uint32_t>(screen.m[0] * x + screen.m[1] * y + screen.m[3]);
        const uint32_t row = static_cast<uint32_t>(screen.m[4] * x + screen.m[5] * y + screen.m[7]);
        return words[row * width + column];
    };
    EXPECT_EQ(0xFFFF0000u, pixel(11.0f, 21.0f));
    EXPECT_EQ(0xFFFF0000u, pixel(39.0f, 59.0f));
    EXPECT_EQ(0xFF000000u, pixel(39.0f, 61.0f));
    EXPECT_EQ(0xFF000000u, pixel(41.0f, 21.0f));
}

TEST_F(DrawingEngine, RefusedShadersNameWhy) {
    zq_graphics_api_t* graphics = ZQI_GetApi()->graphics;
    EXPECT_FALSE(graphics->IsShaderLoaded(graphics->GetShader("shaders/short.xml")));
    EXPECT_EQ(1, CountPopups("Failed to load shader 'shaders/short.xml' in renderer."));
    EXPECT_FALSE(graphics->IsShaderLoaded(graphics->GetShader("shaders/vertexonly.xml")));
    EXPECT_EQ(
        1, CountPopups("Shader 'shaders/vertexonly.xml' does not have required code generated, maybe it is "
                       "not targeted for 'HLSL11'?"))
        << AllPopups();
}

// Two loads on a worker before the frame (without concurrent creation) queue one creation.
TEST_F(DrawingEngine, AShaderQueuedTwiceIsCreatedOnce) {
    const uint32_t capabilities = g_core.renderer->capabilities;
    g_core.renderer->capabilities &= ~RENDERER_CAPS_CONCURRENT_CREATES;
    bool existed = true;
    zq_shader_t* shader = GetShaderSlot("shaders/queued.xml", &existed);
    ASSERT_FALSE(existed);
    std::thread worker([shader] {
        EXPECT_EQ(SHADER_LOADED, LoadShader(shader, true, false));
        FreeShader(shader, false);
        EXPECT_EQ(SHADER_LOADED, LoadShader(shader, true, false));
    });
    worker.join();
    EXPECT_TRUE(ZQI_IsShaderPending(shader));
    EXPECT_EQ(nullptr, shader->renderer_data);
    RunOneFrame();
    const void* created = shader->renderer_data;
    EXPECT_NE(nullptr, created);
    RunOneFrame();
    EXPECT_EQ(created, shader->renderer_data);
    EXPECT_TRUE(ZQI_GetApi()->graphics->IsShaderLoaded(shader));
    g_core.renderer->capabilities = capabilities;
}

TEST_F(DrawingEngine, BufferBytesReachTheMemoryEstimates) {
    zq_graphics_api_t* graphics = ZQI_GetApi()->graphics;
    ZQI_RefreshMemUsageEstimates();
    const int32_t before = ZQ_GetInputState(MEMORY_STAT_VERTEX);
    zq_vertex_buffer_t* buffer = graphics->CreateVertexBuffer(399, nullptr, 100, 1);
    ASSERT_NE(nullptr, buffer);
    ZQI_RefreshMemUsageEstimates();
    EXPECT_EQ(before + 5600, ZQ_GetInputState(MEMORY_STAT_VERTEX));
    graphics->FreeVertexBuffer(buffer);
    ZQI_RefreshMemUsageEstimates();
    EXPECT_EQ(before, ZQ_GetInputState(MEMORY_STAT_VERTEX));
}

// Started with every table filler: only the font slots are the fonts', and they are filled too.
TEST_F(DrawingEngine, EveryGraphicsSlotIsFilledAndTheReservedOnesAnswer) {
    const zq_graphics_api_t* graphics = ZQI_GetApi()->graphics;
    const void* const* slots = reinterpret_cast<const void* const*>(graphics);
    for (size_t i = 0; i < sizeof(zq_graphics_api_t) / sizeof(void*); ++i) {
        EXPECT_NE(nullptr, slots[i]) << "slot " << i;
    }
    EXPECT_EQ(140u, sizeof(zq_graphics_api_t) / sizeof(void*));
    // Every subsystem's filler found room in the list. The pointer slots are the platform's
    // cursors', which this program-less start does not bring up.
    const zq_api_t* root = ZQI_GetApi();
    const void* const* rootSlots = reinterpret_cast<const void* const*>(root);
    const void* const* pointerSlots[] = {reinterpret_cast<const void* const*>(&root->SetMouseCursor),
                                         reinterpret_cast<const void* const*>(&root->GetMousePosition),
                                         reinterpret_cast<const void* const*>(&root->SetMousePosition)};
    for (size_t i = 0; i < sizeof(zq_api_t) / sizeof(void*); ++i) {
        const bool pointer = std::find(std::begin(pointerSlots), std::end(pointerSlots), &rootSlots[i]) !=
                             std::end(pointerSlots);
        EXPECT_TRUE(pointer || rootSlots[i] != nullptr) << "root slot " << i;
    }
    EXPECT_EQ(3, graphics->Reserved41());
    EXPECT_EQ(nullptr, graphics->Reserved0());
    EXPECT_EQ(16384, graphics->GetMaximumTextureSize());
}

// ---- Text ----

TEST_F(DrawingEngine, TextLinesLandWhereAdvancesKerningAlignmentJustificationAndScalePutThem) {
    zq_graphics_api_t* graphics = ZQI_GetApi()->graphics;
    zq_font_t* font = graphics->LoadFont("fonts/hand.mft");
    ASSERT_NE(nullptr, font);
    float red = 0.0f, doubled = 0.0f;
    zq_color_t after = {};
    const uint8_t* pixels = DrawCustom([&] {
        StartText();
        red = DrawLine(font, 1, 3, "|#ff0000|AB");
        after = graphics->GetColor();
        StartText();
        SetTextAlignment(1);  // right
        DrawLine(font, 62, 12, "AB");
        SetTextAlignment(8);  // horizontal centre
        DrawLine(font, 32, 12, "AB");
        SetTextAlignment(2);  // bottom
        DrawLine(font, 40, 30, "A\nA");
        SetTextAlignment(0);
        float limit = 12.0f;
        graphics->SetTextMaxWidth(&limit);
        graphics->SetTextJustify(true);
        DrawLine(font, 1, 20, "A A\nA");
        graphics->SetTextJustify(false);
        limit = 0.0f;
        graphics->SetTextMaxWidth(&limit);
        SetTextScale(2.0f);
        doubled = DrawLine(font, 1, 40, "AB");
        SetTextScale(1.0f);
    });
    graphics->ReleaseFont(font);
    const uint8_t redColour[4] = {255, 0, 0, 255}, white[4] = {255, 255, 255, 255};
    Picture expected;
    // A font without distance fields is drawn 2 pixels (x the text scale) higher.
    expected.AB(1, 1, redColour);
    expected.AB(62 - (kA + kKernAB + kB), 10, white);
    expected.AB(32 - (kA + kKernAB + kB) / 2, 10, white);
    const int bottomTop = 30 - 2 - 2 * FontFileBytes::kLineHeight;
    expected.Fill(40, bottomTop, 43, bottomTop + 5, white);
    expected.Fill(40, bottomTop + 6, 43, bottomTop + 11, white);
    // "A A" (10 wide) fills the 12 of the limit through its one space; the last line keeps its width.
    expected.Fill(1, 18, 4, 23, white);
    expected.Fill(1 + kA + kSpace + (12 - (kA + kSpace + kA)), 18, 12, 23, white);
    expected.Fill(1, 24, 4, 29, white);
    // Twice the size about the line's origin (1, 36).
    expected.Fill(1, 36, 7, 46, white);
    expected.Fill(1 + 2 * (kA + kKernAB), 36, 1 + 2 * (kA + kKernAB + 2), 46, white);
    ExpectPicture(pixels, expected);
    EXPECT_EQ(kA + kKernAB + kB, red);
    EXPECT_EQ(2 * (kA + kKernAB + kB), doubled);
    EXPECT_EQ(1.0f, after.r);  // the colour tag stays in force
    EXPECT_EQ(0.0f, after.g);
}

TEST_F(DrawingEngine, ADistanceFieldFontDrawsThroughTheFieldShaderWithItsEdgeForThePixelSize) {
    zq_graphics_api_t* graphics = ZQI_GetApi()->graphics;
    zq_font_t* font = graphics->LoadFont("fonts/field.mft");
    ASSERT_NE(nullptr, font);
    const uint8_t* pixels = DrawCustom([&] {
        StartText(ZQ_BLEND_MODE_OPAQUE);
        DrawLine(font, 2, 2, "A");  // not lifted: the field's own offsets place it
    });
    graphics->ReleaseFont(font);
    Picture expected;
    for (int x = 0; x < 4; ++x) {
        const uint8_t edge[4] = {255, 255, 255, ToByte(SmoothStep(kEdge, kFieldAlphas[x] / 255.0))};
        expected.Fill(2 + x, 2, 3 + x, 3, edge);
    }
    ExpectPicture(pixels, expected, 2);
    zq_shader_t* shader = graphics->GetShader("internal_distance_field");
    const float* constant = static_cast<const float*>(graphics->GetShaderPixelConstant(shader, 0));
    ASSERT_NE(nullptr, constant);
    EXPECT_NEAR(kEdge, constant[0], 1e-5);
}

// Each glyph's bitmap blended (or, opaque, written) at (left, top), the integer corner it lands on.
void PlaceGlyph(Picture& picture, const FontGlyph* glyph, float left, float top, const float colour[3],
                bool field, double edge) {
    ASSERT_EQ(std::floor(left), left);
    ASSERT_EQ(std::floor(top), top);
    const zq_bitmap_t& bitmap = glyph->bitmap;
    ASSERT_NE(nullptr, bitmap.pixels);
    ASSERT_TRUE(left >= 0 && top >= 0 && left + bitmap.width <= kWideSide &&
                top + bitmap.height <= kWideSide);
    for (int y = 0; y < bitmap.height; ++y) {
        for (int x = 0; x < bitmap.width; ++x) {
            const uint8_t* texel = bitmap.pixels + (y * bitmap.width + x) * 4;
            uint8_t* out = picture.At(static_cast<int>(left) + x, static_cast<int>(top) + y);
            if (field) {
                const uint8_t written[4] = {texel[0], texel[1], texel[2],
                                            ToByte(SmoothStep(edge, texel[3] / 255.0))};
                memcpy(out, written, 4);
                continue;
            }
            const double alpha = texel[3] / 255.0;
            for (int c = 0; c < 3; ++c) {
                out[c] =
                    ToByte(Blend(ZQ_BLEND_MODE_ALPHA, texel[c] / 255.0 * colour[c], alpha, out[c] / 255.0));
            }
        }
    }
}

// "AB" of fonts generated from DejaVu Sans Mono on first use: the plain one red through a colour
// tag, the distance-field one written opaque, each glyph where its offsets, advance and kerning say.
TEST_F(DrawingEngine, FontsGeneratedFromDejaVuDrawTheirGlyphBitmapsAtTheirPlaces) {
    zq_graphics_api_t* graphics = ZQI_GetApi()->graphics;
    for (bool field : {false, true}) {
        SCOPED_TRACE(field ? "distance field" : "plain");
        zq_font_t* font = graphics->LoadFont(field ? "fonts/monofield.mft" : "fonts/mono.mft");
        ASSERT_NE(nullptr, font);
        const FontGlyph* a = graphics->GetFontGlyph(font, 'A');
        const FontGlyph* b = graphics->GetFontGlyph(font, 'B');
        ASSERT_TRUE(a != nullptr && b != nullptr);
        // The line's y is chosen so that the glyphs' tops fall on whole pixels.
        const float y = 8.0f - (a->yOffset - std::floor(a->yOffset));
        const uint8_t* pixels = DrawCustom([&] {
            StartText(field ? ZQ_BLEND_MODE_OPAQUE : ZQ_BLEND_MODE_ALPHA);
            DrawLine(font, 6, y, field ? "AB" : "|#ff0000|AB");
        });
        const float lineTop = field ? y : y - 2.0f;
        const float red[3] = {1.0f, 0.0f, 0.0f}, white[3] = {1.0f, 1.0f, 1.0f};
        const double edge = 0.25 / (std::sqrt(2.0) * 0.714 * 2.0);  // default smoothing, spread 2
        Picture expected;
        PlaceGlyph(expected, a, 6.0f + a->xOffset, lineTop + a->yOffset, field ? white : red, field, edge);
        const float pen = 6.0f + a->advance + (b->kerning != nullptr ? b->kerning['A'] : 0);
        PlaceGlyph(expected, b, pen + b->xOffset, lineTop + b->yOffset, field ? white : red, field, edge);
        ExpectPicture(pixels, expected, 2);
        graphics->ReleaseFont(font);
    }
}

// A UTF-8 font: code points past Latin-1, no kerning, "||" as one bar, and two lines centred
// vertically on y (each 6 high: the block starts 6 above y, lifted by 2).
TEST_F(DrawingEngine, AUtf8FontDrawsCodePointsWithoutKerningAndCentresItsBlock) {
    zq_graphics_api_t* graphics = ZQI_GetApi()->graphics;
    zq_font_t* font = graphics->LoadFont("fonts/utf8.mft");
    ASSERT_NE(nullptr, font);
    float width = 0.0f;
    const uint8_t* pixels = DrawCustom([&] {
        StartText();
        SetTextAlignment(4);
        width = DrawLine(font, 2, 20, "\xD0\x96|#ff0000|A||\nAA");
        SetTextAlignment(0);
    });
    graphics->ReleaseFont(font);
    const uint8_t red[4] = {255, 0, 0, 255}, white[4] = {255, 255, 255, 255};
    Picture expected;
    const int top = 20 - 2 - FontFileBytes::kLineHeight;
    expected.Fill(2, top, 4, top + 5, white);
    expected.Fill(2 + kB, top, 2 + kB + 3, top + 5, red);
    expected.Fill(2 + kB + kA, top, 2 + kB + kA + 1, top + 5, red);
    expected.Fill(2, top + 6, 5, top + 11, red);
    expected.Fill(2 + kA, top + 6, 5 + kA, top + 11, red);
    ExpectPicture(pixels, expected);
    EXPECT_EQ(kB + kA + 2, width);
}

// The checker (4 x 4, point sampled) centred on the hand-built font's centre line: half the height
// of 'a' (the copy of 'A': 5) plus 3 for a font without distance fields, truncated to 5 below the
// lifted line; the pen moves on by the checker's width, and 'B' after it is not kerned.
TEST_F(DrawingEngine, AnImageTagDrawsItsBitmapOnTheCentreLineAndMovesThePen) {
    zq_graphics_api_t* graphics = ZQI_GetApi()->graphics;
    zq_font_t* font = graphics->LoadFont("fonts/hand.mft");
    ASSERT_NE(nullptr, font);
    float width = 0.0f;
    const uint8_t* pixels = DrawCustom([&] {
        StartText();
        width = DrawLine(font, 2, 10, "A|img src='checker'|B");
    });
    graphics->ReleaseFont(font);
    const uint8_t white[4] = {255, 255, 255, 255};
    Picture expected;
    expected.Fill(2, 8, 5, 13, white);
    const int imageLeft = 2 + kA, imageTop = 8 + 5 - 2;
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            uint8_t texel[4];
            g_hooks.CheckerTexel(x, y, texel);
            expected.Fill(imageLeft + x, imageTop + y, imageLeft + x + 1, imageTop + y + 1, texel);
        }
    }
    expected.Fill(imageLeft + 4, 8, imageLeft + 6, 13, white);
    ExpectPicture(pixels, expected);
    EXPECT_EQ(kA + 4 + kB, width);
}

// Loaded on a worker thread, the font's atlas waits for the next frame's queue step.
TEST_F(DrawingEngine, AFontLoadedOnAWorkerIsUploadedByTheNextFrame) {
    zq_graphics_api_t* graphics = ZQI_GetApi()->graphics;
    zq_font_t* font = nullptr;
    std::thread worker([&] { font = graphics->LoadFont("fonts/worker.mft"); });
    worker.join();
    ASSERT_NE(nullptr, font);
    EXPECT_EQ(FONT_ATLAS_UPLOAD_PENDING, font->atlas.load_state);
    EXPECT_EQ(nullptr, font->atlas.gpu.texture);
    RunOneFrame();
    EXPECT_EQ(FONT_ATLAS_UPLOADED, font->atlas.load_state);
    const uint8_t* pixels = DrawCustom([&] {
        StartText();
        DrawLine(font, 1, 3, "AB");
    });
    graphics->ReleaseFont(font);
    const uint8_t white[4] = {255, 255, 255, 255};
    Picture expected;
    expected.AB(1, 1, white);
    ExpectPicture(pixels, expected);
}

// Last: it fills the table. The two internal shaders take two slots, the program's get the rest.
TEST_F(DrawingEngine, The127thProgramShaderFindsTheTableFull) {
    zq_graphics_api_t* graphics = ZQI_GetApi()->graphics;
    int created = 0;
    while (created < 200 && graphics->GetShader(("!missing-" + std::to_string(created)).c_str()) != nullptr) {
        ++created;
    }
    int internal = 0;
    for (int slot = 0; slot < ZQI_SHADER_TABLE_SIZE; ++slot) {
        internal += strncmp(ZQI_GetShaderRecord(slot)->name, "internal_", 9) == 0 ? 1 : 0;
    }
    EXPECT_EQ(2, internal);
    EXPECT_EQ(ZQI_SHADER_TABLE_SIZE, ZQI_GetShaderUsedCount());
    EXPECT_EQ(1, CountPopups("Failed to load shader '!missing-" + std::to_string(created) +
                             "': Zorqa is out of free shaders."));
}

}  // namespace
