/* The sprite benchmark's reference: the same sprites (16 x 16, soft round alpha edge, fixed
 * pseudo-random places in 800 x 600) drawn with SDL2's OpenGL renderer, SDL_RenderCopy per
 * sprite with batching on, no vertical sync. Prints "sprites frames seconds".
 *   sdl_sprites <sprites> <seconds> */
#include <SDL.h>
#include <stdio.h>
#include <stdlib.h>

#define WIDTH 800
#define HEIGHT 600
#define SIDE 16

int main(int argc, char** argv) {
    const int sprites = argc > 1 ? atoi(argv[1]) : 20000;
    const double seconds = argc > 2 ? atof(argv[2]) : 5.0;
    SDL_Rect* places = malloc(sizeof(SDL_Rect) * (size_t)(sprites > 0 ? sprites : 1));
    unsigned state = 12345u;
    Uint32 pixels[SIDE * SIDE];
    int i, x, y;
    SDL_SetHint(SDL_HINT_RENDER_DRIVER, "opengl");
    SDL_SetHint(SDL_HINT_RENDER_BATCHING, "1");
    SDL_SetHint(SDL_HINT_RENDER_VSYNC, "0");
    if (places == NULL || SDL_Init(SDL_INIT_VIDEO) != 0) {
        fprintf(stderr, "SDL: %s\n", SDL_GetError());
        return 1;
    }
    SDL_Window* window = SDL_CreateWindow("sprites", 0, 0, WIDTH, HEIGHT, 0);
    SDL_Renderer* renderer = window != NULL ? SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED) : NULL;
    if (renderer == NULL) {
        fprintf(stderr, "SDL: %s\n", SDL_GetError());
        return 1;
    }
    for (y = 0; y < SIDE; ++y) {
        for (x = 0; x < SIDE; ++x) {
            const int dx = 2 * x - SIDE + 1, dy = 2 * y - SIDE + 1, d = dx * dx + dy * dy;
            const Uint32 alpha = (Uint32)(d >= SIDE * SIDE ? 0 : 255 - d * 255 / (SIDE * SIDE));
            pixels[y * SIDE + x] =
                (alpha << 24) | (200u << 16) | ((Uint32)(128 + 6 * y) << 8) | (Uint32)(255 - 8 * x);
        }
    }
    SDL_Surface* surface =
        SDL_CreateRGBSurfaceWithFormatFrom(pixels, SIDE, SIDE, 32, SIDE * 4, SDL_PIXELFORMAT_ABGR8888);
    SDL_Texture* sprite = SDL_CreateTextureFromSurface(renderer, surface);
    SDL_SetTextureBlendMode(sprite, SDL_BLENDMODE_BLEND);
    for (i = 0; i < sprites; ++i) {
        state = state * 1664525u + 1013904223u;
        places[i].x = (int)((state >> 8) % (WIDTH - SIDE));
        state = state * 1664525u + 1013904223u;
        places[i].y = (int)((state >> 8) % (HEIGHT - SIDE));
        places[i].w = places[i].h = SIDE;
    }
    const Uint64 frequency = SDL_GetPerformanceFrequency();
    Uint64 start = SDL_GetPerformanceCounter();
    long long frames = 0;
    int warm = 0;
    for (;;) {
        SDL_Event event;
        while (SDL_PollEvent(&event)) {
        }
        SDL_SetRenderDrawColor(renderer, 25, 25, 51, 255);
        SDL_RenderClear(renderer);
        for (i = 0; i < sprites; ++i) {
            SDL_RenderCopy(renderer, sprite, NULL, &places[i]);
        }
        SDL_RenderPresent(renderer);
        const Uint64 now = SDL_GetPerformanceCounter();
        const double elapsed = (double)(now - start) / (double)frequency;
        if (!warm) {
            if (elapsed >= 0.5) {
                warm = 1;
                start = now;
            }
            continue;
        }
        ++frames;
        if (elapsed >= seconds) {
            printf("%d %lld %f\n", sprites, frames, elapsed);
            break;
        }
    }
    SDL_Quit();
    return 0;
}
