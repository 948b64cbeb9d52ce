/* A program library for the sprite benchmark: an 800 x 600 window, a 16 x 16 sprite with a soft
 * round alpha edge, and in every frame a clear and --sprites N alpha-blended DrawBitmap calls at
 * fixed pseudo-random places. After half a second it counts frames for --bench-seconds S (default
 * 5), writes "sprite-report.txt" beside itself (sprites, frames, seconds) and quits. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include "zorqa.h"

#define WIDTH 800
#define HEIGHT 600
#define SIDE 16
#define MAX_SPRITES 100000

static zq_program_t* g_program;
static zq_bitmap_t* g_sprite;
static float g_x[MAX_SPRITES];
static float g_y[MAX_SPRITES];
static int g_sprites = 20000;
static double g_seconds = 5.0;
static LARGE_INTEGER g_frequency, g_start;
static long long g_frames;
static int g_warm;

static const char* Option(const char* name) {
    const char* found = strstr(GetCommandLineA(), name);
    return found != NULL ? found + strlen(name) : NULL;
}

static bool SpriteInit(void) {
    zq_graphics_api_t* g = g_program->api->graphics;
    zq_bitmap_desc_t desc;
    unsigned state = 12345u;
    int i, x, y;
    memset(&desc, 0, sizeof(desc));
    desc.format = ZQ_TEXTURE_FORMAT_RGBA8;
    desc.type = ZQ_TEXTURE_TYPE_2D;
    desc.mip_levels = 1;
    desc.width = desc.height = SIDE;
    desc.depth = 1;
    g_sprite = g->CreateBitmap("sprite", &desc);
    for (y = 0; y < SIDE; ++y) {
        for (x = 0; x < SIDE; ++x) {
            const int dx = 2 * x - SIDE + 1, dy = 2 * y - SIDE + 1, d = dx * dx + dy * dy;
            unsigned char* p = g_sprite->pixels + (y * SIDE + x) * 4;
            p[0] = (unsigned char)(255 - 8 * x);
            p[1] = (unsigned char)(128 + 6 * y);
            p[2] = 200;
            p[3] = (unsigned char)(d >= SIDE * SIDE ? 0 : 255 - d * 255 / (SIDE * SIDE));
        }
    }
    g->RefreshBitmap(g_sprite);
    for (i = 0; i < MAX_SPRITES; ++i) {
        state = state * 1664525u + 1013904223u;
        g_x[i] = (float)((state >> 8) % (WIDTH - SIDE));
        state = state * 1664525u + 1013904223u;
        g_y[i] = (float)((state >> 8) % (HEIGHT - SIDE));
    }
    QueryPerformanceFrequency(&g_frequency);
    QueryPerformanceCounter(&g_start);
    return g_sprite != NULL;
}

static void Report(double seconds) {
    char path[MAX_PATH];
    HMODULE self = NULL;
    DWORD length;
    FILE* file;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       (LPCSTR)&Report, &self);
    length = GetModuleFileNameA(self, path, sizeof(path));
    while (length > 0 && path[length - 1] != '\\' && path[length - 1] != '/') {
        --length;
    }
    strcpy(path + length, "sprite-report.txt");
    file = fopen(path, "w");
    if (file != NULL) {
        fprintf(file, "sprites=%d\nframes=%lld\nseconds=%f\n", g_sprites, g_frames, seconds);
        fclose(file);
    }
}

static void SpriteDraw(float dt) {
    zq_graphics_api_t* g = g_program->api->graphics;
    LARGE_INTEGER now;
    double elapsed;
    int i;
    (void)dt;
    g->ClearScreen(0.1f, 0.1f, 0.2f);
    g->SetBlendMode(ZQ_BLEND_MODE_ALPHA);
    for (i = 0; i < g_sprites; ++i) {
        g->DrawBitmap(g_sprite, &g_x[i], &g_y[i]);
    }
    QueryPerformanceCounter(&now);
    elapsed = (double)(now.QuadPart - g_start.QuadPart) / (double)g_frequency.QuadPart;
    if (!g_warm) {
        if (elapsed >= 0.5) {
            g_warm = 1;
            g_start = now;
        }
        return;
    }
    ++g_frames;
    if (elapsed >= g_seconds) {
        Report(elapsed);
        g_program->api->SignalShutdown();
        g_seconds = 1e30;
    }
}

static int32_t SpriteHandleEvent(const zq_event_t* event) {
    if (event->type == ZQ_EVENT_CHECK_PARAMETERS) {
        event->check_parameters.parameters->width = WIDTH;
        event->check_parameters.parameters->height = HEIGHT;
        event->check_parameters.parameters->windowed = 1;
    }
    return 0;
}

__declspec(dllexport) bool ZQ_GetProgramInterface(zq_program_t* program, uint32_t engine_version) {
    const char* sprites = Option("--sprites ");
    const char* seconds = Option("--bench-seconds ");
    (void)engine_version;
    if (sprites != NULL) {
        g_sprites = atoi(sprites);
        g_sprites = g_sprites < 0 ? 0 : (g_sprites > MAX_SPRITES ? MAX_SPRITES : g_sprites);
    }
    if (seconds != NULL) {
        g_seconds = atof(seconds);
    }
    g_program = program;
    program->interface_version = ZQ_INTERFACE_VERSION;
    program->Init = SpriteInit;
    program->Draw = SpriteDraw;
    program->HandleEvent = SpriteHandleEvent;
    return true;
}
