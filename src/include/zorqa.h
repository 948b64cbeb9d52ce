/* zorqa.h: the engine API of ZORQA, the one C interface between the engine and the program
 * library (prog.dll): the program interface record, the engine API root record with its twelve
 * sub-tables, the records that cross the boundary and their constants.
 *
 * The program calls every table strictly by position, and shares the records byte for byte, so
 * nothing here may be reordered, resized or removed: new slots are never inserted. The layout is
 * that of Windows x86-64 (LLP64, natural alignment); tests/include asserts every size and offset.
 *
 * Plain C99 and C++. Note for Windows code: <windows.h> and <mmsystem.h> turn some slot names
 * (CreateDirectory, DeleteFile, CreateMutex, DrawText, LoadBitmap, PlaySound) into macros. Include
 * those headers either before this one in every file that uses such a slot, or not at all. */
#ifndef ZORQA_H
#define ZORQA_H

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Interface version ------------------------------------------------------------------------
 * major << 22 | minor << 12 | patch (10, 10 and 12 bits). A program library must match the
 * major and minor numbers; any patch is accepted. */
#define ZQ_MAKE_INTERFACE_VERSION(major, minor, patch) \
    ((uint32_t)(((uint32_t)(major) << 22) | ((uint32_t)(minor) << 12) | (uint32_t)(patch)))
#define ZQ_INTERFACE_VERSION_MAJOR(version) ((uint32_t)(version) >> 22)
#define ZQ_INTERFACE_VERSION_MINOR(version) (((uint32_t)(version) >> 12) & 0x3FFu)
#define ZQ_INTERFACE_VERSION_PATCH(version) ((uint32_t)(version)&0xFFFu)

#define ZQ_API_VERSION_MAJOR 15
#define ZQ_API_VERSION_MINOR 46
#define ZQ_API_VERSION_PATCH 1
#define ZQ_INTERFACE_VERSION 0x03C2E001u /* 15.46.1 */

/* ---- Records handed out as handles only (their layout is the engine's own) -------------------- */

typedef struct zq_api_t zq_api_t;
typedef struct zq_bitmap_t zq_bitmap_t;     /* defined with the graphics records below */
typedef struct zq_file_t zq_file_t;         /* an open file of the file-system sub-table */
typedef struct zq_font_t zq_font_t;         /* a font of the graphics sub-table */
typedef struct NamedMutex NamedMutex;       /* a mutex of the threading sub-table */
typedef struct SoundResource SoundResource; /* a sound of the audio sub-table */
typedef struct FontGlyph FontGlyph;         /* a glyph of a font, read-only for the program */
struct RendererTexture;                     /* the renderer back end's texture */
struct RendererBuffer;                      /* the renderer back end's vertex or index buffer */

/* ---- Small records ----------------------------------------------------------------------------- */

/* A local date and time (16 bytes). */
typedef struct zq_date_t {
    uint16_t year;       /* full year, e.g. 2024 */
    uint8_t month;       /* 1-12 */
    uint8_t day;         /* 1-31 */
    uint8_t hour;        /* 0-23 */
    uint8_t minute;      /* 0-59 */
    uint8_t second;      /* 0-59 */
    uint8_t unused;      /* not set */
    int32_t weekday;     /* 0 = Sunday */
    int32_t day_of_year; /* 0-based */
} zq_date_t;

/* A byte buffer made and freed by the engine (24 bytes). */
typedef struct zq_buffer_t {
    uint8_t* data;     /* heap block owned by the buffer; null when empty */
    uint32_t reserved; /* not used by the buffer functions; zero in buffers the engine makes */
    uint32_t size;     /* bytes in use */
    uint32_t capacity; /* bytes allocated */
    uint32_t unused;   /* zero */
} zq_buffer_t;

/* A list of texts; each item is its own heap copy. Released with zq_api_t::FreeStringList. */
typedef struct zq_string_list_t {
    char** items;
    int32_t count;
} zq_string_list_t;

/* File information (times in seconds since 1970). */
typedef struct zq_file_info_t {
    uint64_t size;
    uint32_t creation_time;
    uint32_t modification_time;
    uint32_t access_time;
} zq_file_info_t;

/* Two floats, the result of zq_api_t::GetMousePosition. */
typedef struct zq_float2_t {
    float x;
    float y;
} zq_float2_t;

/* Four floats r, g, b, a, the result of zq_graphics_api_t::GetColor. */
typedef struct zq_color_t {
    float r;
    float g;
    float b;
    float a;
} zq_color_t;

/* A 4x4 matrix: element (row r, column c) at m[r * 4 + c], translation in m[3], m[7], m[11]. */
typedef struct zq_matrix4x4_t {
    float m[16];
} zq_matrix4x4_t;

/* ---- Program interface record -------------------------------------------------------------------- */

/* Display and run parameters (120 bytes). */
typedef struct zq_parameters_t {
    int32_t width;      /* display width in pixels (the design width when autoscaling) */
    int32_t height;     /* display height */
    uint8_t windowed;   /* 1 windowed, 0 fullscreen */
    uint8_t no_sound;   /* 1 with the feature word NO_SOUND */
    uint8_t multitouch; /* 1 with MULTITOUCH or MULTIMOUSE */
    uint8_t reserved0;
    uint32_t frame_time;  /* milliseconds per frame for the frame limiter; 0 = no limit */
    uint8_t console_open; /* 1 while the developer console is open */
    uint8_t developer;    /* copy of the engine's developer-mode flag */
    uint8_t reserved1[6];
    char* command_line;      /* the process command line */
    char* locale;            /* the resolved locale text */
    uint32_t quit_requested; /* set to 1 by zq_api_t::SignalShutdown */
    int32_t design_width;    /* reference width of the program's art */
    int32_t design_height;   /* reference height; below the width means a landscape design */
    int32_t display_index;   /* display adapter output to use */
    uint8_t reserved2[64];   /* zeroed; copied whole with the block */
} zq_parameters_t;

typedef union zq_event_t zq_event_t;

/* The program interface record (552 bytes). The program library fills the version word and the
 * callbacks; the engine fills the identity, the api pointer and the parameters. */
typedef struct zq_program_t {
    uint32_t interface_version; /* ZQ_MAKE_INTERFACE_VERSION(major, minor, patch) */
    char id[32];                /* program id; also the name of the single-instance mutex */
    char title[128];            /* the window title */
    char user_dir_name[128];    /* folder under the developer folder for the user's data */
    char version[16];           /* program version text, e.g. "1.0.0" */
    char developer_name[64];    /* developer folder name */
    uint8_t reserved[4];
    zq_api_t* api; /* the engine API, set by the engine */
    zq_parameters_t parameters;
    bool (*Init)(void);                              /* once, on the first frame */
    void (*Shutdown)(void);                          /* at shutdown when Init was called */
    void (*Update)(float dt);                        /* once per frame with at least 1 ms elapsed */
    void (*Draw)(float dt);                          /* once per frame */
    int32_t (*HandleEvent)(const zq_event_t* event); /* every dispatched event */
    void (*HandleCrash)(const char* text);           /* the crash handler's stack trace */
} zq_program_t;

/* Exports of the program library: "ZQ_GetProgramInterface" fills the engine's record and is given
 * ZQ_INTERFACE_VERSION; "ZQ_GetInterface" (used when the first is missing) returns the library's
 * own record. */
typedef bool (*zq_get_program_interface_t)(zq_program_t* program, uint32_t engine_version);
typedef zq_program_t* (*zq_get_interface_t)(void);

/* ---- Leaderboards and social records --------------------------------------------------------------- */

/* A leaderboard score (332 bytes). */
typedef struct LeaderboardScore {
    char id[64];        /* identifier of the entry (player or entry id) */
    char player[64];    /* display text */
    int32_t points;     /* the score */
    int32_t rank;       /* 1-based position within the list it was answered from */
    uint8_t data[188];  /* free bytes attached to the score */
    int32_t dataLength; /* valid bytes in data, 0 to 188 */
    int32_t time;       /* seconds since 1970 where known, else 0 */
} LeaderboardScore;

/* A user of the social service (24 bytes); texts and records come from zq_api_t::AllocateMemory. */
typedef struct zq_social_user_t {
    char* id;
    char* name;
    uint32_t value;
    uint32_t reserved;
} zq_social_user_t;

/* ---- Events ---------------------------------------------------------------------------------------- */

#define ZQ_EVENT_CHARACTER 1u
#define ZQ_EVENT_POINTER_MOVE 2u
#define ZQ_EVENT_POINTER_WHEEL 4u
#define ZQ_EVENT_POINTER_UP 5u
#define ZQ_EVENT_POINTER_DOWN 6u
#define ZQ_EVENT_CONSOLE_COMMAND 7u
#define ZQ_EVENT_KEY_DOWN 8u
#define ZQ_EVENT_KEY_UP 9u
#define ZQ_EVENT_ACTIVE_CHANGED 10u
#define ZQ_EVENT_REINITIALIZE 11u
#define ZQ_EVENT_DISPLAY_SIZE 12u
#define ZQ_EVENT_QUIT_REQUEST 13u
#define ZQ_EVENT_RENDER_TARGET_RECREATED 15u
#define ZQ_EVENT_CHECK_PARAMETERS 16u
#define ZQ_EVENT_LEADERBOARD_SCORES 19u
#define ZQ_EVENT_FILE_DROPPED 21u
#define ZQ_EVENT_SOCIAL_LOGIN 37u
#define ZQ_EVENT_SOCIAL_FRIENDS 38u
#define ZQ_EVENT_PAIR_GAMEPAD 43u
#define ZQ_EVENT_LAUNCH_URI 63u

/* The event record: 64 bytes whose first 32-bit word is the type; the rest is laid out per type
 * as the views below show. Bytes a type does not use are zero in records made with
 * zq_api_t::InitializeEvent. Events 18-20, 33, 34 and 36-38 carry blocks from the engine's
 * allocator, which the engine frees after the program's event callback has returned. */
union zq_event_t {
    uint32_t type;
    uint8_t bytes[64];

    /* ZQ_EVENT_CHARACTER */
    struct {
        uint32_t type;
        uint8_t character; /* from the window's character message */
    } character;

    /* ZQ_EVENT_POINTER_MOVE, _WHEEL, _UP and _DOWN */
    struct {
        uint32_t type;
        int8_t pointer_index; /* 0 = the mouse */
        uint8_t reserved0[3];
        int32_t x;
        int32_t y;
        uint16_t button;     /* UP and DOWN: 510 left, 511 right, 512 middle, 513 and 514 extra */
        int16_t wheel_delta; /* WHEEL: the delta as the window message gives it */
        int32_t previous_x;  /* MOVE, UP and DOWN: written by the dispatcher */
        int32_t previous_y;
        uint32_t device_kind; /* 2 for records made from the mouse */
    } pointer;

    /* ZQ_EVENT_CONSOLE_COMMAND */
    struct {
        uint32_t type;
        uint32_t reserved0;
        const char* line; /* the entered console line, valid during the dispatch */
    } console_command;

    /* ZQ_EVENT_KEY_DOWN and ZQ_EVENT_KEY_UP */
    struct {
        uint32_t type;
        int32_t input_id; /* key code 1..2047 */
        uint8_t changed;  /* written by the dispatcher: DOWN 1 on the first press (0 on
                             auto-repeat), UP 1 when the key was down */
    } key;

    /* ZQ_EVENT_ACTIVE_CHANGED */
    struct {
        uint32_t type;
        uint8_t inactive; /* 1 inactive or minimised, 0 active */
    } active;

    /* ZQ_EVENT_REINITIALIZE */
    struct {
        uint32_t type;
        uint8_t done; /* 0 new display parameters accepted for the next frame; 1 quick
                         re-initialisation finished */
    } reinitialize;

    /* ZQ_EVENT_DISPLAY_SIZE */
    struct {
        uint32_t type;
        uint16_t width;
        uint16_t height;
    } display_size;

    /* ZQ_EVENT_RENDER_TARGET_RECREATED */
    struct {
        uint32_t type;
        uint32_t reserved0;
        zq_bitmap_t* bitmap; /* the re-created render target; its contents are gone */
    } render_target;

    /* ZQ_EVENT_CHECK_PARAMETERS */
    struct {
        uint32_t type;
        uint32_t reserved0;
        zq_api_t* api;
        zq_parameters_t* parameters; /* the program's own block, changeable in place */
    } check_parameters;

    /* ZQ_EVENT_FILE_DROPPED */
    struct {
        uint32_t type;
        uint32_t reserved0;
        const char* path; /* the first dropped file, valid during the dispatch */
        int32_t x;
        int32_t y;
    } file_dropped;

    /* ZQ_EVENT_PAIR_GAMEPAD */
    struct {
        uint32_t type;
        uint32_t reserved0;
        int32_t result;
    } pair_gamepad;

    /* ZQ_EVENT_LAUNCH_URI: a launch URI ("launch-uri") or a named answer ("SEND_OK") */
    struct {
        uint32_t type;
        uint32_t reserved0;
        const char* name;
        const char* uri; /* "launch-uri" only; owned by the engine */
    } launch_uri;

    /* ZQ_EVENT_LEADERBOARD_SCORES */
    struct {
        uint32_t type;
        uint8_t has_scores; /* 1 scores, 0 error (one byte: the three after it are not read) */
        uint8_t reserved0[3];
        char* error;    /* error form: the reason */
        char* category; /* the category id (may be null in the error form) */
        int32_t total;  /* scores form: entries the list holds */
        int32_t filter; /* 0 global, 1 friends */
        int32_t first_rank;
        int32_t count;
        LeaderboardScore* scores; /* null when count is 0 */
    } leaderboard_scores;

    /* ZQ_EVENT_SOCIAL_LOGIN */
    struct {
        uint32_t type;
        uint8_t logged_in;
        uint8_t reserved0[3];
        void* block;
        zq_social_user_t* user; /* the local user */
    } social_login;

    /* ZQ_EVENT_SOCIAL_FRIENDS */
    struct {
        uint32_t type;
        uint32_t reserved0;
        zq_social_user_t* users; /* the local user included */
        int32_t count;
    } social_friends;
};

/* Answer of the event callback to ZQ_EVENT_QUIT_REQUEST that keeps the window open. */
#define ZQ_EVENT_ANSWER_CANCEL_QUIT 2

/* ---- Input ids (zq_api_t::GetInputState and friends) ----------------------------------------------- */

#define ZQ_INPUT_ID_COUNT 2048 /* valid ids are 1..2047 */
#define MOUSE_X 504
#define MOUSE_Y 505
#define MOUSE_Z 506
#define MOUSE_WHEEL 507
#define MOUSE_BUTTON_0 510
#define MOUSE_BUTTON_1 511
#define MOUSE_BUTTON_2 512
#define MOUSE_BUTTON_3 513
#define MOUSE_BUTTON_4 514
#define MOUSE_BUTTON_5 515
#define MOUSE_BUTTON_6 516
#define MOUSE_BUTTON_7 517

/* ---- Log levels ----------------------------------------------------------------------------------- */

#define ZQ_LOG_INFO 0
#define ZQ_LOG_WARNING 1
#define ZQ_LOG_ERROR 2
#define ZQ_LOG_SYSTEM 3

/* ---- HTTP request types --------------------------------------------------------------------------- */

#define ZQ_HTTP_REQUEST_POST 1u
#define ZQ_HTTP_REQUEST_GET 2u
#define ZQ_HTTP_REQUEST_HEAD 3u
#define ZQ_HTTP_REQUEST_PUT 4u
#define ZQ_HTTP_REQUEST_DELETE 5u

/* ---- Graphics value sets -------------------------------------------------------------------------- */

#define ZQ_TEXTURE_FORMAT_D16_FLOAT 1u
#define ZQ_TEXTURE_FORMAT_D24_FLOAT 2u
#define ZQ_TEXTURE_FORMAT_D32_FLOAT 3u
#define ZQ_TEXTURE_FORMAT_R16_FLOAT 4u
#define ZQ_TEXTURE_FORMAT_R16G16B16A16_FLOAT 5u
#define ZQ_TEXTURE_FORMAT_R32_FLOAT 6u
#define ZQ_TEXTURE_FORMAT_RGBA8 7u
#define ZQ_TEXTURE_FORMAT_RGBX8 8u

#define ZQ_TEXTURE_TYPE_2D 1u
#define ZQ_TEXTURE_TYPE_3D 2u
#define ZQ_TEXTURE_TYPE_CUBE 3u

#define ZQ_BLEND_MODE_ALPHA 1
#define ZQ_BLEND_MODE_ADD 2
#define ZQ_BLEND_MODE_OPAQUE 3
#define ZQ_BLEND_MODE_SUBTRACT 4
#define ZQ_BLEND_MODE_MULTIPLY 5
#define ZQ_BLEND_MODE_MULTIPLY_2X 6
#define ZQ_BLEND_MODE_MULTIPLY_ADD 7
#define ZQ_BLEND_MODE_PREMULTIPLIED_ALPHA 8

#define ZQ_RENDER_STATE_COLOR_WRITE 0
#define ZQ_RENDER_STATE_CULL_MODE 1 /* 0 none, 1 front, 2 back */
#define ZQ_RENDER_STATE_DEPTH_TEST 2
#define ZQ_RENDER_STATE_DEPTH_FUNC 3
#define ZQ_RENDER_STATE_DEPTH_WRITE 4

#define ZQ_DEPTH_FUNC_NEVER 0u
#define ZQ_DEPTH_FUNC_LESS 1u
#define ZQ_DEPTH_FUNC_EQUAL 2u
#define ZQ_DEPTH_FUNC_LESS_EQUAL 3u
#define ZQ_DEPTH_FUNC_GREATER 4u
#define ZQ_DEPTH_FUNC_NOT_EQUAL 5u
#define ZQ_DEPTH_FUNC_GREATER_EQUAL 6u
#define ZQ_DEPTH_FUNC_ALWAYS 7u

#define ZQ_TEXTURE_ADDRESS_CLAMP 1u
#define ZQ_TEXTURE_ADDRESS_WRAP 2u
#define ZQ_TEXTURE_ADDRESS_MIRROR 3u

#define ZQ_TEXTURE_FILTER_POINT 1
#define ZQ_TEXTURE_FILTER_LINEAR 2
#define ZQ_TEXTURE_FILTER_ANISOTROPIC 3

/* Bitmap cache modes: what a bitmap keeps while it is referenced. */
#define CACHE_NOTHING 0
#define CACHE_PIXELS 2
#define CACHE_TEXTURE 4
#define CACHE_LOOKUP_ONLY 16 /* only finds an existing bitmap; never stored */

/* VertexFormat: the elements of a vertex, in memory order POSITION, COLOR, TEXCOORD0, TEXCOORD1,
 * NORMAL, TANGENT, BINORMAL, BLENDINDICES, BLENDWEIGHT. */
#define ZQ_VERTEX_FORMAT_POSITION 1u       /* float x 3 */
#define ZQ_VERTEX_FORMAT_COLOR 2u          /* byte x 4 */
#define ZQ_VERTEX_FORMAT_TEXCOORD0 4u      /* float x 2 */
#define ZQ_VERTEX_FORMAT_NORMAL 8u         /* float x 3 */
#define ZQ_VERTEX_FORMAT_TEXCOORD1 16u     /* float x 2 */
#define ZQ_VERTEX_FORMAT_TANGENT 32u       /* float x 3 */
#define ZQ_VERTEX_FORMAT_BINORMAL 64u      /* float x 3 */
#define ZQ_VERTEX_FORMAT_BLENDINDICES 128u /* byte x 4 */
#define ZQ_VERTEX_FORMAT_BLENDWEIGHT 256u  /* float x 4 */

/* ---- Graphics records ---------------------------------------------------------------------------- */

/* The vertex of the drawing API (24 bytes, vertex format 7). */
typedef struct zq_vertex_t {
    float x;
    float y;
    float z;
    uint32_t color; /* bytes B, G, R, A in memory */
    float u;
    float v;
} zq_vertex_t;

/* What a bitmap or render target is created with. */
typedef struct zq_bitmap_desc_t {
    uint32_t format;     /* ZQ_TEXTURE_FORMAT_* */
    uint32_t type;       /* ZQ_TEXTURE_TYPE_* */
    uint32_t mip_levels; /* 1 = no mip chain; 0 = full chain; other = at most that many */
    int32_t width;
    int32_t height;
    int32_t depth;          /* 1 for 2D and cube bitmaps */
    uint32_t render_target; /* 1 = a render target */
} zq_bitmap_desc_t;

/* The part of a bitmap that lives on the GPU (40 bytes). */
typedef struct zq_bitmap_gpu_data_t {
    uint8_t loaded;
    uint8_t reserved0[3];
    float texture_left; /* the bitmap's part of its texture, 0..1 */
    float texture_top;
    float texture_right;
    float texture_bottom;
    int32_t texture_width;
    int32_t texture_height;
    uint8_t reserved1[4];
    struct RendererTexture* texture;
} zq_bitmap_gpu_data_t;

/* A bitmap of the engine's bitmap table (176 bytes); its handle is its slot index. */
struct zq_bitmap_t {
    char* name;    /* owned; null = free slot */
    uint32_t hash; /* h = h * 37 + byte over the name */
    uint32_t kind; /* 1 when the slot is taken */
    uint32_t slot;
    int16_t reference_count;
    int8_t cache_mode; /* CACHE_* bits last applied */
    uint8_t busy;
    uint8_t reserved0[8];
    char* source_file;    /* the file the name resolved to when it had no extension */
    uint32_t source_time; /* modification time of the source file (developer mode) */
    int32_t width;        /* logical size used for drawing */
    int32_t height;
    int32_t depth;
    uint8_t* pixels; /* RGBA, rows top to bottom; null when not in memory */
    int32_t pixel_width;
    int32_t pixel_height;
    uint32_t format; /* ZQ_TEXTURE_FORMAT_* */
    uint32_t type;   /* ZQ_TEXTURE_TYPE_* */
    uint8_t flags;   /* 1 alpha, 2 reloadable, 4 render target, 8 get-mode counted */
    uint8_t reserved1[3];
    uint16_t mip_levels;
    uint16_t load_state; /* 1 not loaded, 2 loading, 3 loaded or attempted */
    uint32_t pack_mode;
    uint8_t reserved2[4];
    zq_bitmap_t* same_as_frame;
    zq_bitmap_t* frames;
    int32_t frame_count;
    uint8_t reserved3[4];
    zq_bitmap_t* atlas;
    int32_t current_frame;
    float frame_rate;
    zq_bitmap_gpu_data_t gpu;
};

/* A render-target set: up to four colour targets and a depth target (56 bytes). */
typedef struct zq_render_targets_t {
    zq_bitmap_t* color[4]; /* color[0] null = the back buffer */
    zq_bitmap_t* depth;    /* null = the default depth buffer */
    int32_t face[4];       /* per colour target, the face (layer) rendered into */
} zq_render_targets_t;

/* A texture slot of a shader (40 bytes). */
typedef struct zq_shader_texture_t {
    char* name;
    uint64_t value;
    uint32_t values[6];
} zq_shader_texture_t;

/* A shader constant (48 bytes). */
typedef struct zq_shader_constant_t {
    char* name;
    uint8_t reserved0[8];
    void* data; /* inside the table's data block */
    uint16_t array_count;
    uint8_t reserved1[2];
    uint32_t type;
    uint16_t size; /* bytes */
    uint8_t reserved2[2];
    uint32_t shape;
    uint8_t clean; /* 1 while the value is uploaded */
    uint8_t reserved3[7];
} zq_shader_constant_t;

/* A table of shader constants (24 bytes). */
typedef struct zq_shader_constant_table_t {
    uint8_t* data;
    zq_shader_constant_t* entries;
    int32_t total_size;
    int32_t count;
} zq_shader_constant_table_t;

/* A vertex input of a shader (16 bytes). */
typedef struct zq_shader_vertex_element_t {
    uint32_t offset;
    uint32_t component_type; /* 1 float, 2 unsigned byte, 0 none */
    uint32_t semantic;       /* a ZQ_VERTEX_FORMAT_* bit */
    uint16_t component_count;
    uint8_t reserved[2];
} zq_shader_vertex_element_t;

/* A shader of the engine's shader table (616 bytes). */
typedef struct zq_shader_t {
    char* name;
    uint8_t reserved0[4];
    uint32_t kind; /* 4 when the slot is taken */
    uint32_t slot;
    uint8_t reserved1[20];
    uint32_t translation_word;
    uint8_t reserved2[4];
    zq_shader_texture_t textures[8];
    zq_shader_constant_table_t pixel_constants;
    zq_shader_constant_table_t constants;
    zq_shader_constant_table_t vertex_constants;
    void* renderer_data; /* the back end's shader objects; null when not created */
    char* tag;
    int16_t texture_count;
    uint16_t vertex_element_count;
    uint32_t vertex_format; /* ZQ_VERTEX_FORMAT_* bits */
    zq_shader_vertex_element_t vertex_elements[9];
    uint8_t flags; /* 1 constants clean, 2 created in the renderer */
    uint8_t reserved3[7];
} zq_shader_t;

/* A GPU index buffer owned by the program; indices are 16-bit. */
typedef struct zq_index_buffer_t {
    struct RendererBuffer* buffer; /* null until created */
    uint16_t* data;                /* while locked: where to write */
    uint32_t count;
    uint32_t usage; /* 1 dynamic, 4 keep a CPU-side copy */
    uint8_t flags;
    uint8_t reserved[7];
} zq_index_buffer_t;

/* A GPU vertex buffer owned by the program. */
typedef struct zq_vertex_buffer_t {
    struct RendererBuffer* buffer;
    void* data;
    uint32_t count;
    uint32_t usage;
    uint32_t vertex_format; /* ZQ_VERTEX_FORMAT_* bits */
    uint8_t flags;
    uint8_t reserved[3];
} zq_vertex_buffer_t;

/* ---- Sub-tables ---------------------------------------------------------------------------------- */

typedef struct zq_achievements_api_t {
    void (*UnlockAchievement)(int32_t player, const char* id);
    void (*SetAchievementProgress)(int32_t player, const char* id, int32_t progress);
    bool (*CanShowAchievements)(void);
    void (*ShowAchievements)(int32_t player);
    void (*Operation11)(const char* text, int32_t value);
    intptr_t (*Operation12)(const char* text);
} zq_achievements_api_t;

typedef struct zq_audio_api_t {
    SoundResource* (*GetChannelSound)(uint32_t channel);
    SoundResource* (*GetMusic)(void);
    SoundResource* (*GetSound)(const char* name);
    SoundResource* (*GetSoundWithCacheMode)(const char* name, int32_t cache_mode);
    void (*IncreaseSoundReferenceCount)(SoundResource* sound, const int16_t* count);
    bool (*IsSoundLoaded)(SoundResource* sound);
    bool (*IsSoundPlaying)(uint32_t channel);
    SoundResource* (*LoadSound)(const char* name);
    void (*PlayMusic)(SoundResource* sound, float volume, float fade_in_seconds);
    uint32_t (*PlaySound)(SoundResource* sound, float volume, float pan, float pitch);
    uint32_t (*PlaySoundWithDelay)(SoundResource* sound, float volume, float pan, float pitch, bool looping,
                                   float delay_seconds);
    void (*ReleaseSound)(SoundResource* sound);
    void (*SetChannelPitch)(uint32_t channel, float pitch);
    void (*SetChannelLooping)(uint32_t channel, bool looping);
    void (*SetChannelPan)(uint32_t channel, float pan);
    void (*SetChannelPaused)(uint32_t channel, bool paused);
    void (*SetChannelVolume)(uint32_t channel, float volume);
    void (*SetMasterVolume)(float volume);
    void (*SetMusicPaused)(bool paused);
    void (*SlideChannelVolume)(uint32_t channel, float target_volume, float seconds);
    void (*SlideMusicVolume)(float target_volume, float seconds);
    bool (*SoundExists)(const char* name);
    void (*StopChannel)(uint32_t channel);
    void (*StopChannelWithFade)(uint32_t channel, float seconds);
    void (*StopMusic)(float fade_out_seconds);
} zq_audio_api_t;

typedef struct zq_cloud_api_t {
    bool (*IsAvailable)(void);
    void (*Write)(const char* key, const void* data, uint32_t size);
    zq_buffer_t* (*Read)(const char* key);
    void (*Delete)(const char* key);
} zq_cloud_api_t;

typedef struct zq_filesystem_api_t {
    void (*AddSearchPath)(const char* path, bool first);
    void (*CloseFile)(zq_file_t* file);
    bool (*CreateDirectory)(const char* path);
    bool (*DeleteDirectory)(const char* path, bool with_files);
    bool (*DeleteFile)(const char* path);
    zq_string_list_t* (*FindFiles)(const char* path, const char* wildcards, bool recursive);
    bool (*FileExists)(const char* path);
    void (*FlushFile)(zq_file_t* file);
    bool (*GetFileInfo)(const char* path, zq_file_info_t* info);
    uint64_t (*GetFilePosition)(zq_file_t* file);
    zq_string_list_t* (*GetSearchPaths)(void);
    bool (*IsPathValid)(const char* path);
    bool (*Mount)(const char* name, uint32_t storage);
    zq_file_t* (*OpenFile)(const char* path, const char* mode);
    uint64_t (*ReadFile)(void* buffer, uint64_t size, zq_file_t* file);
    void (*RemoveSearchPath)(const char* path);
    bool (*SearchPathExists)(const char* path);
    void (*SeekFile)(zq_file_t* file, int64_t offset, int32_t origin); /* origin 0 set, 1 cur, 2 end */
    const char* (*ShowNativeFileSelectDialog)(const char* initial_folder, const char* filter, bool save);
    void (*Unmount)(const char* name);
    uint64_t (*WriteFile)(const void* buffer, uint64_t size, zq_file_t* file);
} zq_filesystem_api_t;

/* Floats are passed by pointer except where a slot says otherwise. Reserved slots keep their
 * place and answer a fixed value. */
typedef struct zq_graphics_api_t {
    void* (*Reserved0)(void); /* 0: null */
    void (*Reserved1)(void);
    void (*Reserved2)(void);
    void (*Reserved3)(void);
    bool (*Reserved4)(void); /* 4: false */
    void (*ClearDepth)(float depth);
    void (*ClearScreen)(float r, float g, float b);
    void (*ClearScreenRGBA)(float r, float g, float b, float a);
    void* (*Reserved8)(void); /* 8: null */
    zq_bitmap_t* (*CreateBitmap)(const char* name, const zq_bitmap_desc_t* desc);
    bool (*CopyBitmapRenderTargetDataToPixels)(zq_bitmap_t* bitmap);
    zq_index_buffer_t* (*CreateIndexBuffer)(const uint16_t* indices, uint32_t count, uint32_t usage);
    zq_vertex_buffer_t* (*CreateVertexBuffer)(uint32_t vertex_format, const void* vertices, uint32_t count,
                                              uint32_t usage);
    void (*DisableScissor)(void);
    void (*DrawBitmap)(zq_bitmap_t* bitmap, const float* x, const float* y);
    void (*DrawBitmapFromVertices)(zq_bitmap_t* bitmap, const zq_vertex_t* vertices /* [4] */);
    void (*DrawBitmapLine)(zq_bitmap_t* bitmap, const float* p0 /* [2] */, const float* p1 /* [2] */,
                           float width0, float width1, const float* color0 /* [4] */,
                           const float* color1 /* [4] */);
    void (*DrawBitmapRotated)(zq_bitmap_t* bitmap, const float* x, const float* y, const float* angle,
                              const float* scale);
    void (*DrawLine)(const float* x0, const float* y0, const float* x1, const float* y1);
    void (*DrawLineFromVertices)(const zq_vertex_t* vertices /* [2] */);
    void (*DrawRectangle)(const float* x, const float* y, const float* w, const float* h);
    void (*DrawSubBitmap)(zq_bitmap_t* bitmap, const float* x, const float* y, const float* left,
                          const float* top, const float* right, const float* bottom);
    float (*DrawText)(zq_font_t* font, const float* x, const float* y, const char* format, ...);
    void (*DrawTriangles)(zq_bitmap_t* bitmap, const zq_vertex_t* vertices, int32_t vertex_count,
                          const uint16_t* indices, int32_t index_count);
    void (*DrawTrianglesFromBuffers)(zq_vertex_buffer_t* vertices, zq_index_buffer_t* indices,
                                     const void* unused);
    void (*DrawTrianglesFromVertexFormat)(uint32_t vertex_format, const void* vertices, int32_t vertex_count,
                                          const uint16_t* indices, int32_t index_count);
    void (*DrawTrianglesInstanced)(zq_vertex_buffer_t* vertices, zq_index_buffer_t* indices,
                                   int32_t instances);
    void (*DrawTrianglesRange)(zq_vertex_buffer_t* vertices, zq_index_buffer_t* indices, const void* unused,
                               const int32_t* index_count);
    void (*Reserved28)(void);
    void (*Reserved29)(void);
    void (*Reserved30)(void);
    void (*FreeIndexBuffer)(zq_index_buffer_t* buffer);
    void (*FreeVertexBuffer)(zq_vertex_buffer_t* buffer);
    float (*GetAlpha)(void);
    zq_bitmap_t* (*GetBitmap)(const char* name);
    zq_bitmap_t* (*GetBitmapFromHandle)(const int32_t* slot);
    zq_bitmap_t* (*GetBitmapWithCacheMode)(const char* name, int32_t cache_mode);
    int32_t (*GetBlendMode)(void);
    zq_color_t (*GetColor)(void);
    float (*GetDepth)(void);
    int32_t (*GetDisplayCount)(void);
    int32_t (*Reserved41)(void); /* 41: 3 */
    zq_font_t* (*GetFont)(const char* name);
    int32_t (*GetMaximumTextureSize)(void);
    int32_t (*GetNumBitmaps)(void);
    int32_t (*GetTextureFilter)(void);
    bool (*GetRenderFlag)(int32_t id);
    float (*Reserved47)(void); /* 47: 0.0 */
    uint32_t (*GetRenderState)(int32_t id);
    zq_shader_t* (*GetShader)(const char* name);
    void* (*GetShaderConstant)(zq_shader_t* shader, int32_t index);
    int32_t (*GetShaderConstantIndex)(zq_shader_t* shader, const char* name);
    void* (*GetShaderPixelConstant)(zq_shader_t* shader, int32_t index);
    int32_t (*GetShaderPixelConstantIndex)(zq_shader_t* shader, const char* name);
    const char* (*GetShaderTags)(zq_shader_t* shader);
    const char* (*GetShaderUserValue)(zq_shader_t* shader, const char* id);
    void* (*GetShaderVertexConstant)(zq_shader_t* shader, int32_t index);
    int32_t (*GetShaderVertexConstantIndex)(zq_shader_t* shader, const char* name);
    const char* (*GetSupportedResolutions)(int32_t display);
    uint32_t (*GetTextAlignment)(void);
    float (*GetTextHeight)(zq_font_t* font, const char* format, ...);
    void (*GetTextSize)(zq_font_t* font, float* width, float* height, const char* format, ...);
    int32_t (*GetTextureIndex)(zq_shader_t* shader, const char* name);
    float (*GetTextWidth)(zq_font_t* font, const char* format, ...);
    void (*GetViewportSize)(int32_t* width, int32_t* height);
    const float* (*GetViewPosition)(void); /* [3] */
    void (*IncreaseBitmapReferenceCount)(zq_bitmap_t* bitmap, const int16_t* count);
    bool (*Reserved67)(void); /* 67: false */
    bool (*IsShaderLoaded)(zq_shader_t* shader);
    bool (*IsTextureFormatSupported)(const zq_bitmap_desc_t* desc);
    zq_bitmap_t* (*LoadBitmap)(const char* name, int32_t cache_mode);
    zq_font_t* (*LoadFont)(const char* name);
    bool (*LockIndexBuffer)(zq_index_buffer_t* buffer);
    bool (*LockVertexBuffer)(zq_vertex_buffer_t* buffer);
    zq_matrix4x4_t (*PeekProjectionTransform)(void);
    zq_bitmap_t* (*PeekRenderTarget)(void);
    zq_matrix4x4_t (*PeekViewTransform)(void);
    zq_matrix4x4_t (*PeekWorldTransform)(void);
    void (*PopProjectionTransform)(void);
    void (*PopRenderTargets)(void);
    void (*PopScissorRectangle)(void);
    void (*PopShader)(void);
    void (*PopViewTransform)(void);
    void (*PopWorldTransform)(void);
    void (*PushProjectionTransform)(const zq_matrix4x4_t* matrix);
    void (*PushRenderTarget)(zq_bitmap_t* bitmap);
    void (*PushRenderTargets)(const zq_render_targets_t* targets);
    void (*PushRenderTargetWithDepth)(zq_bitmap_t* color, zq_bitmap_t* depth);
    void (*PushScissorRectangle)(int32_t x, int32_t y, int32_t width, int32_t height);
    void (*PushShader)(zq_shader_t* shader);
    void (*PushViewTransform)(const zq_matrix4x4_t* matrix);
    void (*PushWorldTransform)(const zq_matrix4x4_t* matrix);
    void (*RefreshBitmap)(zq_bitmap_t* bitmap);
    bool (*RefreshFont)(zq_font_t* font);
    void (*ReleaseBitmap)(zq_bitmap_t* bitmap);
    void (*ReleaseFont)(zq_font_t* font);
    void (*ReloadShader)(zq_shader_t* shader);
    void (*RemoveBitmapHandle)(zq_bitmap_t* bitmap);
    void (*ResizeBitmap)(zq_bitmap_t* bitmap, int32_t width, int32_t height);
    bool (*SaveBitmap)(zq_bitmap_t* bitmap, const char* path, uint32_t option);
    bool (*SaveFont)(zq_font_t* font, const char* path);
    void (*Reserved101)(void);
    void (*SetAlpha)(const float* alpha);
    void (*SetBitmapCacheMode)(zq_bitmap_t* bitmap, int32_t cache_mode);
    void (*SetBitmapFrame)(zq_bitmap_t* bitmap, int32_t frame);
    void (*SetBlendMode)(int32_t mode);
    void (*SetColor)(const float* r, const float* g, const float* b);
    void (*SetColorRGBA)(const float* rgba /* [4] */);
    void (*SetDepth)(const float* z);
    void (*SetDepthParameters)(float near_value, float distance, float far_value);
    void (*SetFontShader)(zq_shader_t* shader);
    void (*Reserved111)(void);
    void (*SetTextureFilter)(int32_t filter);
    void (*SetVSync)(bool on);
    bool (*Reserved114)(void); /* 114: false */
    void (*SetRenderFlag)(int32_t id, bool value);
    void (*Reserved116)(void);
    void (*SetRenderState)(int32_t id, uint32_t value);
    void (*SetBitmapSourceRectangle)(zq_bitmap_t* bitmap, int32_t x, int32_t y, int32_t width,
                                     int32_t height);
    bool (*SetScissorRectangle)(int32_t x, int32_t y, int32_t width, int32_t height);
    void (*SetShader)(zq_shader_t* shader);
    void (*SetShaderConstant)(zq_shader_t* shader, int32_t index, uint32_t size, const void* data);
    void (*SetShaderPixelConstant)(zq_shader_t* shader, int32_t index, uint32_t size, const void* data);
    void (*SetShaderVertexConstant)(zq_shader_t* shader, int32_t index, uint32_t size, const void* data);
    void (*SetTextureStageAddressMode)(int32_t stage, uint32_t u, uint32_t v, uint32_t w);
    void (*SetTextureStageFilter)(int32_t stage, uint32_t min_filter, uint32_t mag_filter,
                                  uint32_t mip_filter);
    void (*SetTextAlignment)(const uint32_t* alignment);
    void (*SetTextCharacterSpacing)(const float* spacing);
    const FontGlyph* (*GetFontGlyph)(zq_font_t* font, uint32_t code_point);
    void (*SetTextMaxWidth)(const float* width);
    void (*SetTextJustify)(bool justify);
    void (*SetTextTransform)(const float* scale_x, const float* scale_y, const float* angle);
    void (*SetTextLineSpacing)(const float* spacing);
    void (*SetTextMarkupDisabled)(bool disabled);
    bool (*CanFontRenderText)(zq_font_t* font, const char* text);
    void (*SetTexture)(int32_t stage, zq_bitmap_t* bitmap);
    bool (*ShaderHasTag)(zq_shader_t* shader, const char* tag);
    void (*FlushBatch)(void);
    void (*UnlockIndexBuffer)(zq_index_buffer_t* buffer);
    void (*UnlockVertexBuffer)(zq_vertex_buffer_t* buffer);
} zq_graphics_api_t;

/* Every slot first requires an available implementation; without one it answers false. */
typedef struct zq_iap_api_t {
    bool (*IsAvailable)(void);
    bool (*PurchaseItem)(const char* item_id);
    bool (*RequestItemData)(const char* item_list);
    bool (*RestorePurchases)(void);
    bool (*ShowPurchaseProgress)(void);
} zq_iap_api_t;

typedef struct zq_leaderboards_api_t {
    void (*SubmitScore)(int32_t player, const LeaderboardScore* score, const char* category);
    bool (*RequestScores)(int32_t first_rank, int32_t count, int32_t filter, const char* category);
    bool (*RequestScoresAroundUserRank)(int32_t player, int32_t count, const char* category);
    bool (*Operation15)(void);
    void (*ShowLeaderboards)(int32_t player, const char* category);
    const char* (*GetPlayerName)(int32_t player);
    int32_t (*GetLoginState)(int32_t player);
    void (*Login)(int32_t player);
    bool (*Operation11)(void);
    void (*Operation12)(const char* text);
    int32_t (*GetCategoryCount)(void);
    const char* (*GetCategoryId)(int32_t index);
    int32_t (*GetCategoryIndex)(const char* id);
    bool (*IsLowestScoreFirst)(const char* id);
    int32_t (*Operation17)(void);
    const char* (*GetCategoryValue)(const char* id, const char* key);
} zq_leaderboards_api_t;

typedef struct zq_notification_api_t {
    bool (*IsAvailable)(void);
    void (*RegisterForLocalNotifications)(void);
    void (*RemoveAllLocalNotifications)(void);
    void (*SetLocalNotification)(const char* text0, const char* text1, const char* text2, int32_t value);
} zq_notification_api_t;

typedef struct zq_social_api_t {
    bool (*IsAvailable)(void);
    void (*Login)(void);
    void (*Logout)(void);
    void (*RequestFriends)(void);
    void (*SetLocalUserValue)(uint32_t value);
    zq_bitmap_t* (*GetProfilePicture)(const char* user_id, int32_t size);
} zq_social_api_t;

typedef struct zq_statistic_api_t {
    void (*Operation7)(uint32_t value0, uint32_t value1, void* pointer0, void* pointer1);
} zq_statistic_api_t;

typedef struct zq_threading_api_t {
    uint32_t (*CreateThread)(const char* name, void (*function)(void* argument), void* argument,
                             uint32_t flags);
    uint32_t (*GetThreadId)(void);
    NamedMutex* (*CreateMutex)(const char* name);
    void (*StartWorkerThreads)(uint32_t count);
    bool (*IsMainThread)(void);
    bool (*IsRendererLocked)(void);
    void (*LockMutex)(NamedMutex* mutex);
    void (*DestroyMutex)(NamedMutex* mutex);
    void (*QueueJob)(void* argument, void (*function)(void* argument));
    void (*Sleep)(uint32_t milliseconds);
    void (*SleepNanoseconds)(int64_t nanoseconds);
    void (*LockRenderer)(void);
    void (*UnlockRenderer)(void);
    bool (*TryLockMutex)(NamedMutex* mutex);
    void (*UnlockMutex)(NamedMutex* mutex);
    void (*StopWorkerThreads)(void);
    int32_t (*YieldThread)(void);
} zq_threading_api_t;

typedef struct zq_ugc_api_t {
    bool (*IsAvailable)(void);
    void (*Operation7)(void);
    bool (*Operation8)(void);
    intptr_t (*Operation9)(void);
    intptr_t (*Operation10)(int32_t value);
    void (*Operation11)(void* pointer);
    void (*Operation12)(void* pointer);
    intptr_t (*Operation13)(void* pointer);
    void (*Operation14)(void);
} zq_ugc_api_t;

/* ---- The engine API root record (48 slots) --------------------------------------------------------- */

struct zq_api_t {
    int32_t (*Print)(const char* format, ...);
    int32_t (*Log)(int32_t level, const char* format, ...);
    int32_t (*Popup)(int32_t level, const char* format, ...);
    void (*RegisterAutocompletion)(const char* command, const char* description);
    uint32_t (*GetMilliseconds)(void);
    int64_t (*GetNanoseconds)(void);
    int64_t (*GetCalendarTime)(void);
    zq_date_t (*ConvertTimeToDate)(uint32_t seconds);
    zq_date_t (*GetLocalDate)(void);
    void (*SetMouseCursor)(const char* name);
    zq_float2_t (*GetMousePosition)(int32_t pointer);
    void (*SetMousePosition)(int32_t pointer, float x, float y);
    void (*SignalShutdown)(void);
    bool (*IsShutdownSignalled)(void);
    bool (*IsFeatureEnabled)(const char* feature);
    const char* (*GetParameter)(const char* key);
    bool (*ReinitializeWithParameters)(zq_parameters_t* parameters);
    const char* (*ExtensionCall)(const char* function, const char* parameter);
    void (*FreeStringList)(zq_string_list_t* list);
    int32_t (*SendHttpRequest)(uint32_t type, const char* url, const char* content_type, const void* body,
                               uint32_t body_length, zq_buffer_t** response, uint32_t* state);
    int32_t (*SendRawHttpRequest)(uint32_t type, const char* url, const char* header, uint32_t header_length,
                                  const void* body, uint32_t body_length, zq_buffer_t** header_out,
                                  zq_buffer_t** body_out, uint32_t* state);
    zq_buffer_t* (*CreateBuffer)(int32_t size);
    void (*FreeBuffer)(zq_buffer_t* buffer);
    zq_buffer_t* (*CompressBuffer)(const void* data, uint32_t length);
    bool (*IsCompressedBuffer)(const void* data, uint32_t length);
    zq_buffer_t* (*DecompressBuffer)(const void* container, uint32_t length);
    void* (*AllocateMemory)(uint32_t size);
    void (*FreeMemory)(void* memory);
    void (*PostEvent)(const zq_event_t* event);
    void (*InitializeEvent)(zq_event_t* event, uint32_t type);
    int32_t (*GetInputState)(int32_t id);
    void (*SetInputState)(int32_t id, int32_t state);
    float (*GetInputValue)(int32_t id);
    void (*SetInputValue)(int32_t id, float value);
    const char* (*GetSystemInfo)(void);
    bool (*IsDeveloperMode)(void);

    zq_achievements_api_t* achievements;
    zq_audio_api_t* audio;
    zq_cloud_api_t* cloud;
    zq_filesystem_api_t* filesystem;
    zq_graphics_api_t* graphics;
    zq_iap_api_t* iap;
    zq_leaderboards_api_t* leaderboards;
    zq_notification_api_t* notification;
    zq_social_api_t* social;
    zq_statistic_api_t* statistic;
    zq_threading_api_t* threading;
    zq_ugc_api_t* ugc;
};

#ifdef __cplusplus
}
#endif

#endif /* ZORQA_H */
