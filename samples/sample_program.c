/* sample_program.c: the smallest useful program library. It clears the screen to a dark blue
 * every frame and writes a greeting and the seconds left on it, plays a chime once and loops quiet
 * music, and asks the engine to quit after a few seconds; closing the window quits at once. In
 * developer mode it takes console commands ("chime", "quit"); once the console has been opened it
 * runs until the window is closed or "quit" is entered. Built as prog.dll; its manifest is prog.xml,
 * its sounds are in sounds/ beside it and its font source fonts/sample.mft.xml names DejaVu Sans
 * (fonts/DejaVuSans.ttf): the engine generates fonts/sample.mft from it on the first run and reads
 * that file on later ones. */
#include <string.h>

#include "zorqa.h"

#define SAMPLE_RUN_SECONDS 5.0f
#define SAMPLE_WIDTH 800
#define SAMPLE_HEIGHT 600

static zq_program_t* g_program;
static float g_elapsedSeconds;
static SoundResource* g_chime;
static SoundResource* g_music;
static bool g_soundStarted;
static bool g_consoleUsed; /* the console was opened: a developer is at work, keep running */
static zq_font_t* g_font;

static bool SampleInit(void) {
    g_elapsedSeconds = 0.0f;
    g_program->api->Log(ZQ_LOG_SYSTEM, "Sample program started; it quits after %g seconds.",
                        (double)SAMPLE_RUN_SECONDS);
    /* Names without extension: the engine finds sounds/chime.wav and sounds/music.ogg. */
    g_chime = g_program->api->audio->LoadSound("sounds/chime");
    g_music = g_program->api->audio->LoadSound("sounds/music");
    g_font = g_program->api->graphics->GetFont("fonts/sample.mft");
    g_program->api->RegisterAutocompletion("chime", "Plays the chime again.");
    g_program->api->RegisterAutocompletion("quit", "Ends the sample.");
    return true;
}

static void SampleShutdown(void) {
    g_program->api->Log(ZQ_LOG_SYSTEM, "Sample program ran %g seconds.", (double)g_elapsedSeconds);
    g_program->api->audio->StopMusic(0.0f);
    g_program->api->audio->ReleaseSound(g_chime);
    g_program->api->audio->ReleaseSound(g_music);
    /* g_font came from GetFont, which the engine counts once and keeps: it is not released. */
}

static void SampleUpdate(float dt) {
    zq_audio_api_t* audio = g_program->api->audio;
    g_elapsedSeconds += dt;
    if (g_program->parameters.console_open) {
        g_consoleUsed = true;
    }
    if (!g_soundStarted) {
        g_soundStarted = true;
        audio->PlaySound(g_chime, 1.0f, 0.0f, 1.0f);
        audio->PlayMusic(g_music, 0.25f, 1.0f); /* quiet, faded in over a second, looping */
    }
    if (g_elapsedSeconds >= SAMPLE_RUN_SECONDS && !g_consoleUsed && !g_program->api->IsShutdownSignalled()) {
        g_program->api->SignalShutdown();
    }
}

/* Two centred lines: the greeting with a coloured word, and the seconds left. Generated glyphs
 * advance by their inked width (kerned to touch), so the text gets 2 pixels between characters. */
static void SampleDraw(float dt) {
    zq_graphics_api_t* graphics = g_program->api->graphics;
    const float x = SAMPLE_WIDTH / 2.0f, y = SAMPLE_HEIGHT / 2.0f, white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    const uint32_t centred = 8 | 4; /* horizontal and vertical centre */
    const float spacing = 2.0f;
    float left = SAMPLE_RUN_SECONDS - g_elapsedSeconds;
    (void)dt;
    graphics->ClearScreen(0.05f, 0.1f, 0.3f);
    if (left < 0.0f) {
        left = 0.0f;
    }
    graphics->SetColorRGBA(white);
    graphics->SetTextAlignment(&centred);
    graphics->SetTextCharacterSpacing(&spacing);
    graphics->DrawText(g_font, &x, &y, "Hello from |#ffcc33|ZORQA|#ffffff|!\nThis window closes in %.1f s.",
                       (double)left);
}

static void SampleRunCommand(const char* line) {
    g_program->api->Log(ZQ_LOG_SYSTEM, "Sample received console command '%s'.", line);
    if (strcmp(line, "chime") == 0) {
        g_program->api->audio->PlaySound(g_chime, 1.0f, 0.0f, 1.0f);
    } else if (strcmp(line, "quit") == 0) {
        g_program->api->SignalShutdown();
    }
}

/* The size is settled with the engine before the display starts; every other event, the close
 * request included, is answered 0, so closing the window ends the run. */
static int32_t SampleHandleEvent(const zq_event_t* event) {
    if (event->type == ZQ_EVENT_CHECK_PARAMETERS) {
        zq_parameters_t* parameters = event->check_parameters.parameters;
        parameters->width = SAMPLE_WIDTH;
        parameters->height = SAMPLE_HEIGHT;
        parameters->windowed = 1;
    } else if (event->type == ZQ_EVENT_CONSOLE_COMMAND) {
        SampleRunCommand(event->console_command.line);
    }
    return 0;
}

__declspec(dllexport) bool ZQ_GetProgramInterface(zq_program_t* program, uint32_t engine_version) {
    (void)engine_version;
    g_program = program;
    program->interface_version = ZQ_INTERFACE_VERSION;
    program->parameters.width = SAMPLE_WIDTH;
    program->parameters.height = SAMPLE_HEIGHT;
    program->parameters.windowed = 1;
    program->Init = SampleInit;
    program->Shutdown = SampleShutdown;
    program->Update = SampleUpdate;
    program->Draw = SampleDraw;
    program->HandleEvent = SampleHandleEvent;
    return true;
}
