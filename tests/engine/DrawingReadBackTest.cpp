// The engine drawing for real: start-up, frames and shutdown in this process with the window, the
// Direct3D 11 device and the program library progs/drawing_program.c, which draws its scenes
// through the graphics sub-table into a render target and reads it back. Expected pixels come from
// this file's own arithmetic (the colours, blend equations, texel mapping and smoothstep), exact
// or within 2 per channel where the GPU's rounding decides. Also the shader manager and buffer
// objects on the real device: shaders from code files compiled here by D3DCompile, translated at
// run time, refused, queued from a worker; the full shader table; buffer byte counters.
#include <gtest/gtest.h>

#include <windows.h>

#include <d3dcompiler.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
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
#include "graphics/ShaderManager.h"
#include "graphics/d3d11/RendererImplementation.h"
#include "platform/windows/MessagePump.h"

namespace {

enum Scene {
    SCENE_BLEND = 1,
    SCENE_BITMAPS = 2,
    SCENE_LINES = 3,
    SCENE_TRANSFORMS = 4,
    SCENE_TARGET = 5,
    SCENE_SCISSOR = 6,
    SCENE_DEPTH = 7,
    SCENE_SHADERS = 8,
    SCENE_DISTANCE_FIELD = 9,
    SCENE_BUFFERS = 10,
    SCENE_BACK_BUFFER = 11,
};

const int kSide = 32;
const uint8_t kBackground[4] = {51, 102, 153, 255};  // 0.2, 0.4, 0.6, 1.0

struct ProgramHooks {
    void (*Select)(int scene);
    int (*Done)();
    zq_bitmap_t* (*Target)();
    zq_bitmap_t* (*SmallTarget)();
    void (*CheckerTexel)(int x, int y, uint8_t out[4]);
    int (*RampAlpha)(int x);
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
