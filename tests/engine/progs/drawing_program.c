/* A program library that draws test scenes through the graphics sub-table (zorqa.h only), for the
 * engine's drawing read-back tests. The test process selects a scene with DrawingTestSelect; the
 * next Draw calls draw it into the 32 x 32 target "scene" (or, for SCENE_BACK_BUFFER, onto the
 * screen), read the target back with CopyBitmapRenderTargetDataToPixels and report done. The test
 * compares the target's pixels with colours of its own arithmetic. SCENE_CUSTOM runs a drawing
 * function the test process hands over, into the 64 x 64 target "wide" (text lines). */
#include <math.h>
#include <string.h>
#include <windows.h>

#include "drawing_scenes.h"
#include "zorqa.h"

#define SIDE 32
#define WIDE_SIDE 64

static zq_program_t* g_program;
static zq_graphics_api_t* g;
static int g_scene;
static int g_done;
static int g_step;
static zq_bitmap_t* g_target;
static zq_bitmap_t* g_depth;
static zq_bitmap_t* g_small;
static zq_bitmap_t* g_checker;
static zq_bitmap_t* g_ramp;
static zq_vertex_buffer_t* g_workerVertices;
static zq_index_buffer_t* g_workerIndices;
static volatile LONG g_workerDone;
static zq_bitmap_t* g_wide;
static void (*g_customDraw)(void);

/* The checker's texel (x, y): every channel differs per texel. */
__declspec(dllexport) void DrawingTestCheckerTexel(int x, int y, uint8_t out[4]) {
    out[0] = (uint8_t)(40 + 50 * x);
    out[1] = (uint8_t)(30 + 60 * y);
    out[2] = (uint8_t)(200 - 20 * x - 30 * y);
    out[3] = 255;
}

/* The ramp's alphas, edges of a distance field. */
static const uint8_t kRampAlphas[4] = {90, 115, 128, 140};
__declspec(dllexport) int DrawingTestRampAlpha(int x) {
    return kRampAlphas[x];
}

__declspec(dllexport) void DrawingTestSelect(int scene) {
    g_scene = scene;
    g_done = scene == SCENE_NONE;
    g_step = 0;
}
__declspec(dllexport) int DrawingTestDone(void) {
    return g_done;
}
__declspec(dllexport) zq_bitmap_t* DrawingTestTarget(void) {
    return g_target;
}
__declspec(dllexport) zq_bitmap_t* DrawingTestSmallTarget(void) {
    return g_small;
}
__declspec(dllexport) zq_bitmap_t* DrawingTestWideTarget(void) {
    return g_wide;
}
__declspec(dllexport) void DrawingTestSetCustomDraw(void (*draw)(void)) {
    g_customDraw = draw;
}

static void Colour(float r, float g_, float b, float a) {
    const float rgba[4] = {r, g_, b, a};
    g->SetColorRGBA(rgba);
}

static void FillRectangle(float x, float y, float w, float h) {
    g->DrawRectangle(&x, &y, &w, &h);
}

static zq_bitmap_t* MakeBitmap(const char* name, int width, int height, uint32_t format, int target) {
    zq_bitmap_desc_t desc;
    memset(&desc, 0, sizeof(desc));
    desc.format = format;
    desc.type = ZQ_TEXTURE_TYPE_2D;
    desc.mip_levels = 1;
    desc.width = width;
    desc.height = height;
    desc.depth = 1;
    desc.render_target = (uint32_t)target;
    return g->CreateBitmap(name, &desc);
}

static void MakeTextures(void) {
    int x, y;
    g_checker = MakeBitmap("checker", 4, 4, ZQ_TEXTURE_FORMAT_RGBA8, 0);
    for (y = 0; y < 4; ++y) {
        for (x = 0; x < 4; ++x) {
            DrawingTestCheckerTexel(x, y, g_checker->pixels + (y * 4 + x) * 4);
        }
    }
    g->RefreshBitmap(g_checker);
    g_ramp = MakeBitmap("ramp", 4, 1, ZQ_TEXTURE_FORMAT_RGBA8, 0);
    for (x = 0; x < 4; ++x) {
        memset(g_ramp->pixels + x * 4, 255, 3);
        g_ramp->pixels[x * 4 + 3] = kRampAlphas[x];
    }
    g->RefreshBitmap(g_ramp);
}

static bool DrawingInit(void) {
    g = g_program->api->graphics;
    g_target = MakeBitmap("scene", SIDE, SIDE, ZQ_TEXTURE_FORMAT_RGBA8, 1);
    g_depth = MakeBitmap("scene-depth", SIDE, SIDE, ZQ_TEXTURE_FORMAT_D32_FLOAT, 1);
    g_small = MakeBitmap("small", 8, 8, ZQ_TEXTURE_FORMAT_RGBA8, 1);
    g_wide = MakeBitmap("wide", WIDE_SIDE, WIDE_SIDE, ZQ_TEXTURE_FORMAT_RGBA8, 1);
    MakeTextures();
    return g_target != NULL && g_checker != NULL;
}

/* Nine columns of three pixels: blend modes 1 to 8, then 0, which keeps mode 8's state. */
static void DrawBlendModes(void) {
    int mode;
    Colour(0.8f, 0.6f, 0.4f, 0.5f);
    for (mode = 1; mode <= 9; ++mode) {
        g->SetBlendMode(mode % 9);
        FillRectangle((float)(3 * (mode - 1)), 0.0f, 3.0f, (float)SIDE);
    }
}

static void DrawBitmaps(void) {
    const float zero = 0.0f, six = 6.0f, one = 1.0f, three = 3.0f, x16 = 16.0f, y4 = 4.0f;
    const float pi = 3.14159265f, two = 2.0f;
    const float p0[2] = {22.0f, 1.0f}, p1[2] = {30.0f, 1.0f}, white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    zq_vertex_t quad[4];
    int i;
    g->SetTextureFilter(ZQ_TEXTURE_FILTER_POINT);
    g->DrawBitmap(g_checker, &zero, &zero);
    g->DrawSubBitmap(g_checker, &six, &zero, &one, &one, &three, &three);
    g->DrawBitmapRotated(g_checker, &x16, &y4, &pi, &two);
    g->DrawBitmapLine(g_checker, p0, p1, 2.0f, 2.0f, white, white);
    /* The right half of the checker, stretched over 8 x 4 pixels at (0, 10). */
    for (i = 0; i < 4; ++i) {
        quad[i].x = (i & 1) != 0 ? 8.0f : 0.0f;
        quad[i].y = (i & 2) != 0 ? 14.0f : 10.0f;
        quad[i].z = 0.5f;
        quad[i].color = 0xFFFFFFFFu;
        quad[i].u = (i & 1) != 0 ? 1.0f : 0.5f;
        quad[i].v = (i & 2) != 0 ? 1.0f : 0.0f;
    }
    g->DrawBitmapFromVertices(g_checker, quad);
}

static void DrawLines(void) {
    const float x0 = 0.0f, x1 = (float)SIDE, y = 2.5f, vx = 10.5f, vy0 = 4.0f, vy1 = (float)SIDE;
    Colour(1.0f, 0.0f, 0.0f, 1.0f);
    g->DrawLine(&x0, &y, &x1, &y);
    Colour(0.0f, 1.0f, 0.0f, 1.0f);
    g->DrawLine(&vx, &vy0, &vx, &vy1);
}

static zq_matrix4x4_t Transform(float scale, float x, float y) {
    zq_matrix4x4_t m;
    memset(&m, 0, sizeof(m));
    m.m[0] = m.m[5] = scale;
    m.m[10] = m.m[15] = 1.0f;
    m.m[3] = x;
    m.m[7] = y;
    return m;
}

/* Translation (8, 8) then scale 2: a 4 x 4 rectangle at the origin covers 8 .. 16. A view
 * translation (0, 16) puts another at 0 .. 4, 16 .. 20. */
static void DrawTransforms(void) {
    const zq_matrix4x4_t move = Transform(1.0f, 8.0f, 8.0f);
    const zq_matrix4x4_t scale = Transform(2.0f, 0.0f, 0.0f);
    const zq_matrix4x4_t view = Transform(1.0f, 0.0f, 16.0f);
    g->PushWorldTransform(&move);
    g->PushWorldTransform(&scale);
    Colour(0.0f, 0.0f, 1.0f, 1.0f);
    FillRectangle(0.0f, 0.0f, 4.0f, 4.0f);
    g->PopWorldTransform();
    g->PopWorldTransform();
    g->PushViewTransform(&view);
    Colour(0.0f, 1.0f, 0.0f, 1.0f);
    FillRectangle(0.0f, 0.0f, 4.0f, 4.0f);
    g->PopViewTransform();
}

/* The small target: red with a green square, drawn back at (10, 10). */
static void DrawTargetBack(void) {
    const float at = 10.0f;
    g->PushRenderTarget(g_small);
    g->ClearScreen(1.0f, 0.0f, 0.0f);
    Colour(0.0f, 1.0f, 0.0f, 1.0f);
    FillRectangle(2.0f, 2.0f, 4.0f, 4.0f);
    g->PopRenderTargets();
    Colour(1.0f, 1.0f, 1.0f, 1.0f);
    g->SetTextureFilter(ZQ_TEXTURE_FILTER_POINT);
    g->DrawBitmap(g_small, &at, &at);
    g->CopyBitmapRenderTargetDataToPixels(g_small);
}

static void DrawNestedScissors(void) {
    g->PushScissorRectangle(4, 4, 20, 20);
    g->PushScissorRectangle(10, 10, 20, 20);
    Colour(1.0f, 1.0f, 0.0f, 1.0f);
    FillRectangle(0.0f, 0.0f, (float)SIDE, (float)SIDE);
    g->PopScissorRectangle();
    g->PopScissorRectangle();
}

/* Depth writes off refuse the clear; then a near red square hides a farther green one drawn
 * after it. */
static void DrawDepth(void) {
    const float near_ = 0.5f, far_ = 0.7f;
    g->ClearDepth(1.0f);
    g->SetRenderFlag(ZQ_RENDER_STATE_DEPTH_TEST, true);
    g->SetRenderFlag(ZQ_RENDER_STATE_DEPTH_WRITE, true);
    g->ClearDepth(1.0f);
    g->SetDepth(&near_);
    Colour(1.0f, 0.0f, 0.0f, 1.0f);
    FillRectangle(8.0f, 8.0f, 16.0f, 16.0f);
    g->SetDepth(&far_);
    Colour(0.0f, 1.0f, 0.0f, 1.0f);
    FillRectangle(0.0f, 0.0f, (float)SIDE, (float)SIDE);
    g->SetDepth(&near_);
    g->SetRenderFlag(ZQ_RENDER_STATE_DEPTH_TEST, false);
    g->SetRenderFlag(ZQ_RENDER_STATE_DEPTH_WRITE, false);
}

static void DrawTinted(const char* name, const float tint[4], float x) {
    zq_shader_t* shader = g->GetShader(name);
    const int32_t index = g->GetShaderPixelConstantIndex(shader, "tint");
    g->SetShaderPixelConstant(shader, index, 16, tint);
    g->SetShader(shader);
    FillRectangle(x, 0.0f, 16.0f, (float)SIDE);
    g->SetShader(NULL);
}

/* A shader from code files and one translated at run time, each with its pixel constant. */
static void DrawShaders(void) {
    const float first[4] = {0.2f, 0.6f, 1.0f, 1.0f};
    const float second[4] = {1.0f, 0.2f, 0.6f, 1.0f};
    Colour(1.0f, 1.0f, 1.0f, 1.0f);
    g->SetBlendMode(ZQ_BLEND_MODE_OPAQUE);
    DrawTinted("shaders/tint.xml", first, 0.0f);
    DrawTinted("translated/sprite.xml", second, 16.0f);
}

/* A shader whose stage sources are files, one of them with an included file, over the whole
 * target. */
static void DrawShaderFromFiles(void) {
    const float tint[4] = {0.4f, 0.8f, 1.0f, 1.0f};
    Colour(1.0f, 1.0f, 1.0f, 1.0f);
    g->SetBlendMode(ZQ_BLEND_MODE_OPAQUE);
    zq_shader_t* shader = g->GetShader("translated/files.xml");
    const int32_t index = g->GetShaderPixelConstantIndex(shader, "tint");
    g->SetShaderPixelConstant(shader, index, 16, tint);
    g->SetShader(shader);
    FillRectangle(0.0f, 0.0f, (float)SIDE, (float)SIDE);
    g->SetShader(NULL);
}

/* The distance-field shader with a smoothing of 0.1, the ramp written opaque. */
static void DrawDistanceField(void) {
    const float smoothing[4] = {0.1f, 0.0f, 0.0f, 0.0f}, zero = 0.0f;
    zq_shader_t* shader = g->GetShader("internal_distance_field");
    g->SetShaderPixelConstant(shader, 0, sizeof(smoothing), smoothing);
    g->SetShader(shader);
    g->SetBlendMode(ZQ_BLEND_MODE_OPAQUE);
    g->SetTextureFilter(ZQ_TEXTURE_FILTER_POINT);
    Colour(1.0f, 1.0f, 1.0f, 1.0f);
    g->DrawBitmap(g_ramp, &zero, &zero);
    g->SetShader(NULL);
}

/* The quad (x0, y0) - (x0 + 8, y0 + 8) in one colour (B, G, R, A word). */
static void QuadVertices(zq_vertex_t* out, float x0, float y0, uint32_t colour) {
    int i;
    for (i = 0; i < 4; ++i) {
        out[i].x = x0 + ((i & 1) != 0 ? 8.0f : 0.0f);
        out[i].y = y0 + ((i & 2) != 0 ? 8.0f : 0.0f);
        out[i].z = 0.5f;
        out[i].color = colour;
        out[i].u = out[i].v = 0.5f;
    }
}

static const uint16_t kQuadIndices[6] = {0, 1, 2, 1, 3, 2};

static void MakeWorkerBuffers(void* unused) {
    (void)unused;
    g_workerVertices = g->CreateVertexBuffer(7, NULL, 4, 1);
    g_workerIndices = g->CreateIndexBuffer(kQuadIndices, 6, 0);
    if (g->LockVertexBuffer(g_workerVertices)) {
        QuadVertices((zq_vertex_t*)g_workerVertices->data, 16.0f, 0.0f, 0xFFFF00FFu);
        g->UnlockVertexBuffer(g_workerVertices);
    }
    InterlockedExchange(&g_workerDone, 1);
}

/* Cyan from buffers made here (the whole quad, then only its first triangle at (0, 16)), magenta
 * from buffers a worker made and filled in the frame before. */
static void DrawBuffers(void) {
    zq_vertex_t vertices[8];
    const int32_t three = 3;
    zq_vertex_buffer_t* quad;
    zq_vertex_buffer_t* lower;
    zq_index_buffer_t* indices = g->CreateIndexBuffer(kQuadIndices, 6, 0);
    QuadVertices(vertices, 0.0f, 0.0f, 0xFF00FFFFu);
    QuadVertices(vertices + 4, 0.0f, 16.0f, 0xFF00FFFFu);
    quad = g->CreateVertexBuffer(7, vertices, 4, 0);
    lower = g->CreateVertexBuffer(7, vertices + 4, 4, 0);
    g->SetTexture(0, NULL);
    g->DrawTrianglesFromBuffers(quad, indices, NULL);
    g->DrawTrianglesRange(lower, indices, NULL, &three);
    g->DrawTrianglesFromBuffers(g_workerVertices, g_workerIndices, NULL);
    g->FreeVertexBuffer(quad);
    g->FreeVertexBuffer(lower);
    g->FreeIndexBuffer(indices);
    g->FreeVertexBuffer(g_workerVertices);
    g->FreeIndexBuffer(g_workerIndices);
}

static void DrawScene(int scene) {
    switch (scene) {
        case SCENE_BLEND:
            DrawBlendModes();
            break;
        case SCENE_BITMAPS:
            DrawBitmaps();
            break;
        case SCENE_LINES:
            DrawLines();
            break;
        case SCENE_TRANSFORMS:
            DrawTransforms();
            break;
        case SCENE_TARGET:
            DrawTargetBack();
            break;
        case SCENE_SCISSOR:
            DrawNestedScissors();
            break;
        case SCENE_DEPTH:
            DrawDepth();
            break;
        case SCENE_SHADERS:
            DrawShaders();
            break;
        case SCENE_DISTANCE_FIELD:
            DrawDistanceField();
            break;
        case SCENE_SHADER_FILES:
            DrawShaderFromFiles();
            break;
        case SCENE_BUFFERS:
            DrawBuffers();
            break;
        default:
            break;
    }
}

static void DrawingDraw(float dt) {
    (void)dt;
    if (g_scene == SCENE_NONE) {
        return;
    }
    if (g_scene == SCENE_BACK_BUFFER) {
        g->ClearScreen(0.0f, 0.0f, 0.0f);
        Colour(1.0f, 0.0f, 0.0f, 1.0f);
        FillRectangle(10.0f, 20.0f, 30.0f, 40.0f);
        g_done = 1; /* drawn again in every frame until another scene is selected */
        return;
    }
    /* The worker's buffers are made in one frame and drawn in the next. */
    if (g_scene == SCENE_BUFFERS && g_step++ == 0) {
        const DWORD start = GetTickCount();
        InterlockedExchange(&g_workerDone, 0);
        if (g_program->api->threading->CreateThread("buffers", MakeWorkerBuffers, NULL, 0) != 0) {
            while (InterlockedCompareExchange(&g_workerDone, 0, 0) == 0 && GetTickCount() - start < 5000) {
                Sleep(1);
            }
        }
        return;
    }
    if (g_scene == SCENE_CUSTOM) {
        g->PushRenderTarget(g_wide);
        g->ClearScreenRGBA(0.2f, 0.4f, 0.6f, 1.0f);
        if (g_customDraw != NULL) {
            g_customDraw();
        }
        g->PopRenderTargets();
        g->CopyBitmapRenderTargetDataToPixels(g_wide);
        g_scene = SCENE_NONE;
        g_done = 1;
        return;
    }
    if (g_scene == SCENE_DEPTH) {
        g->PushRenderTargetWithDepth(g_target, g_depth);
    } else {
        g->PushRenderTarget(g_target);
    }
    g->ClearScreenRGBA(0.2f, 0.4f, 0.6f, 1.0f);
    DrawScene(g_scene);
    g->PopRenderTargets();
    g->CopyBitmapRenderTargetDataToPixels(g_target);
    g_scene = SCENE_NONE;
    g_done = 1;
}

static int32_t DrawingHandleEvent(const zq_event_t* event) {
    if (event->type == ZQ_EVENT_CHECK_PARAMETERS) {
        event->check_parameters.parameters->width = 320;
        event->check_parameters.parameters->height = 240;
        event->check_parameters.parameters->windowed = 1;
    }
    return 0;
}

__declspec(dllexport) bool ZQ_GetProgramInterface(zq_program_t* program, uint32_t engine_version) {
    (void)engine_version;
    g_program = program;
    program->interface_version = ZQ_INTERFACE_VERSION;
    program->Init = DrawingInit;
    program->Draw = DrawingDraw;
    program->HandleEvent = DrawingHandleEvent;
    return true;
}
