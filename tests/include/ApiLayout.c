/* Binary layout of the engine API, checked at compile time. This file is compiled twice, as C99
 * and as C++ (ApiLayoutCpp.cpp includes it), so both languages must agree with the layout the
 * program library is built against. The program calls every table by position, so each slot's
 * offset is asserted against its number. */
#include <stddef.h>

#include "zorqa.h"

#ifdef __cplusplus
#define ZQ_LAYOUT_ASSERT(condition, message) static_assert(condition, message)
#define ZQ_LAYOUT_EXTERN extern "C"
#else
/* C99 has no _Static_assert: a negative array size stops the compilation instead. */
#define ZQ_LAYOUT_CONCAT2(a, b) a##b
#define ZQ_LAYOUT_CONCAT(a, b) ZQ_LAYOUT_CONCAT2(a, b)
#define ZQ_LAYOUT_ASSERT(condition, message) \
    typedef char ZQ_LAYOUT_CONCAT(zq_layout_assert_, __LINE__)[(condition) ? 1 : -1]
#define ZQ_LAYOUT_EXTERN
#endif

#ifndef ZQ_LAYOUT_SUMMARY_FUNCTION
#define ZQ_LAYOUT_SUMMARY_FUNCTION ZQ_ApiLayoutSummaryC
#endif

#define ZQ_SIZE(type, bytes) ZQ_LAYOUT_ASSERT(sizeof(type) == (bytes), #type " size")
#define ZQ_OFFSET(type, member, offset) \
    ZQ_LAYOUT_ASSERT(offsetof(type, member) == (offset), #type "::" #member " offset")
#define ZQ_SLOT(type, member, slot) ZQ_OFFSET(type, member, (slot)*8)

ZQ_LAYOUT_ASSERT(sizeof(void*) == 8, "the engine API is laid out for 64-bit pointers");
ZQ_LAYOUT_ASSERT(sizeof(bool) == 1, "bool crosses the API as one byte");

/* ---- Program interface record ---- */
ZQ_SIZE(zq_parameters_t, 120);
ZQ_OFFSET(zq_parameters_t, width, 0);
ZQ_OFFSET(zq_parameters_t, height, 4);
ZQ_OFFSET(zq_parameters_t, windowed, 8);
ZQ_OFFSET(zq_parameters_t, no_sound, 9);
ZQ_OFFSET(zq_parameters_t, multitouch, 10);
ZQ_OFFSET(zq_parameters_t, frame_time, 12);
ZQ_OFFSET(zq_parameters_t, console_open, 16);
ZQ_OFFSET(zq_parameters_t, developer, 17);
ZQ_OFFSET(zq_parameters_t, command_line, 24);
ZQ_OFFSET(zq_parameters_t, locale, 32);
ZQ_OFFSET(zq_parameters_t, quit_requested, 40);
ZQ_OFFSET(zq_parameters_t, design_width, 44);
ZQ_OFFSET(zq_parameters_t, design_height, 48);
ZQ_OFFSET(zq_parameters_t, display_index, 52);
ZQ_OFFSET(zq_parameters_t, reserved2, 56);

ZQ_SIZE(zq_program_t, 552);
ZQ_OFFSET(zq_program_t, interface_version, 0);
ZQ_OFFSET(zq_program_t, id, 4);
ZQ_OFFSET(zq_program_t, title, 36);
ZQ_OFFSET(zq_program_t, user_dir_name, 164);
ZQ_OFFSET(zq_program_t, version, 292);
ZQ_OFFSET(zq_program_t, developer_name, 308);
ZQ_OFFSET(zq_program_t, api, 376);
ZQ_OFFSET(zq_program_t, parameters, 384);
ZQ_OFFSET(zq_program_t, Init, 504);
ZQ_OFFSET(zq_program_t, Shutdown, 512);
ZQ_OFFSET(zq_program_t, Update, 520);
ZQ_OFFSET(zq_program_t, Draw, 528);
ZQ_OFFSET(zq_program_t, HandleEvent, 536);
ZQ_OFFSET(zq_program_t, HandleCrash, 544);

ZQ_LAYOUT_ASSERT(ZQ_INTERFACE_VERSION == ZQ_MAKE_INTERFACE_VERSION(ZQ_API_VERSION_MAJOR, ZQ_API_VERSION_MINOR,
                                                                   ZQ_API_VERSION_PATCH),
                 "interface version word");
ZQ_LAYOUT_ASSERT(ZQ_INTERFACE_VERSION_MAJOR(0x03C2E001u) == 15 &&
                     ZQ_INTERFACE_VERSION_MINOR(0x03C2E001u) == 46 &&
                     ZQ_INTERFACE_VERSION_PATCH(0x03C2E001u) == 1,
                 "interface version fields");

/* ---- Small records ---- */
ZQ_SIZE(zq_date_t, 16);
ZQ_OFFSET(zq_date_t, year, 0);
ZQ_OFFSET(zq_date_t, month, 2);
ZQ_OFFSET(zq_date_t, day, 3);
ZQ_OFFSET(zq_date_t, hour, 4);
ZQ_OFFSET(zq_date_t, minute, 5);
ZQ_OFFSET(zq_date_t, second, 6);
ZQ_OFFSET(zq_date_t, weekday, 8);
ZQ_OFFSET(zq_date_t, day_of_year, 12);

ZQ_SIZE(zq_buffer_t, 24);
ZQ_OFFSET(zq_buffer_t, data, 0);
ZQ_OFFSET(zq_buffer_t, reserved, 8);
ZQ_OFFSET(zq_buffer_t, size, 12);
ZQ_OFFSET(zq_buffer_t, capacity, 16);
ZQ_OFFSET(zq_buffer_t, unused, 20);

ZQ_SIZE(zq_string_list_t, 16);
ZQ_OFFSET(zq_string_list_t, items, 0);
ZQ_OFFSET(zq_string_list_t, count, 8);

ZQ_SIZE(zq_file_info_t, 24);
ZQ_OFFSET(zq_file_info_t, size, 0);
ZQ_OFFSET(zq_file_info_t, creation_time, 8);
ZQ_OFFSET(zq_file_info_t, modification_time, 12);
ZQ_OFFSET(zq_file_info_t, access_time, 16);

ZQ_SIZE(zq_float2_t, 8);
ZQ_SIZE(zq_color_t, 16);
ZQ_SIZE(zq_matrix4x4_t, 64);

/* ---- Leaderboards and social records ---- */
ZQ_SIZE(LeaderboardScore, 332);
ZQ_OFFSET(LeaderboardScore, id, 0);
ZQ_OFFSET(LeaderboardScore, player, 64);
ZQ_OFFSET(LeaderboardScore, points, 128);
ZQ_OFFSET(LeaderboardScore, rank, 132);
ZQ_OFFSET(LeaderboardScore, data, 136);
ZQ_OFFSET(LeaderboardScore, dataLength, 324);
ZQ_OFFSET(LeaderboardScore, time, 328);

ZQ_SIZE(zq_social_user_t, 24);
ZQ_OFFSET(zq_social_user_t, id, 0);
ZQ_OFFSET(zq_social_user_t, name, 8);
ZQ_OFFSET(zq_social_user_t, value, 16);

/* ---- Event record, per type ---- */
ZQ_SIZE(zq_event_t, 64);
ZQ_OFFSET(zq_event_t, type, 0);
ZQ_OFFSET(zq_event_t, character.character, 4);
ZQ_OFFSET(zq_event_t, pointer.pointer_index, 4);
ZQ_OFFSET(zq_event_t, pointer.x, 8);
ZQ_OFFSET(zq_event_t, pointer.y, 12);
ZQ_OFFSET(zq_event_t, pointer.button, 16);
ZQ_OFFSET(zq_event_t, pointer.wheel_delta, 18);
ZQ_OFFSET(zq_event_t, pointer.previous_x, 20);
ZQ_OFFSET(zq_event_t, pointer.previous_y, 24);
ZQ_OFFSET(zq_event_t, pointer.device_kind, 28);
ZQ_OFFSET(zq_event_t, console_command.line, 8);
ZQ_OFFSET(zq_event_t, key.input_id, 4);
ZQ_OFFSET(zq_event_t, key.changed, 8);
ZQ_OFFSET(zq_event_t, active.inactive, 4);
ZQ_OFFSET(zq_event_t, reinitialize.done, 4);
ZQ_OFFSET(zq_event_t, display_size.width, 4);
ZQ_OFFSET(zq_event_t, display_size.height, 6);
ZQ_OFFSET(zq_event_t, render_target.bitmap, 8);
ZQ_OFFSET(zq_event_t, check_parameters.api, 8);
ZQ_OFFSET(zq_event_t, check_parameters.parameters, 16);
ZQ_OFFSET(zq_event_t, file_dropped.path, 8);
ZQ_OFFSET(zq_event_t, file_dropped.x, 16);
ZQ_OFFSET(zq_event_t, file_dropped.y, 20);
ZQ_OFFSET(zq_event_t, pair_gamepad.result, 8);
ZQ_OFFSET(zq_event_t, launch_uri.name, 8);
ZQ_OFFSET(zq_event_t, launch_uri.uri, 16);
ZQ_OFFSET(zq_event_t, leaderboard_scores.has_scores, 4);
ZQ_LAYOUT_ASSERT(sizeof(((zq_event_t*)0)->leaderboard_scores.has_scores) == 1,
                 "zq_event_t::leaderboard_scores.has_scores is one byte");
ZQ_OFFSET(zq_event_t, leaderboard_scores.error, 8);
ZQ_OFFSET(zq_event_t, leaderboard_scores.category, 16);
ZQ_OFFSET(zq_event_t, leaderboard_scores.total, 24);
ZQ_OFFSET(zq_event_t, leaderboard_scores.filter, 28);
ZQ_OFFSET(zq_event_t, leaderboard_scores.first_rank, 32);
ZQ_OFFSET(zq_event_t, leaderboard_scores.count, 36);
ZQ_OFFSET(zq_event_t, leaderboard_scores.scores, 40);
ZQ_OFFSET(zq_event_t, social_login.logged_in, 4);
ZQ_OFFSET(zq_event_t, social_login.block, 8);
ZQ_OFFSET(zq_event_t, social_login.user, 16);
ZQ_OFFSET(zq_event_t, social_friends.users, 8);
ZQ_OFFSET(zq_event_t, social_friends.count, 16);

ZQ_LAYOUT_ASSERT(ZQ_EVENT_CHARACTER == 1 && ZQ_EVENT_POINTER_MOVE == 2 && ZQ_EVENT_POINTER_WHEEL == 4 &&
                     ZQ_EVENT_POINTER_UP == 5 && ZQ_EVENT_POINTER_DOWN == 6 &&
                     ZQ_EVENT_CONSOLE_COMMAND == 7 && ZQ_EVENT_KEY_DOWN == 8 && ZQ_EVENT_KEY_UP == 9 &&
                     ZQ_EVENT_ACTIVE_CHANGED == 10 && ZQ_EVENT_REINITIALIZE == 11 &&
                     ZQ_EVENT_DISPLAY_SIZE == 12 && ZQ_EVENT_QUIT_REQUEST == 13 &&
                     ZQ_EVENT_RENDER_TARGET_RECREATED == 15 && ZQ_EVENT_CHECK_PARAMETERS == 16 &&
                     ZQ_EVENT_LEADERBOARD_SCORES == 19 && ZQ_EVENT_FILE_DROPPED == 21 &&
                     ZQ_EVENT_SOCIAL_LOGIN == 37 && ZQ_EVENT_SOCIAL_FRIENDS == 38 &&
                     ZQ_EVENT_PAIR_GAMEPAD == 43 && ZQ_EVENT_LAUNCH_URI == 63,
                 "event type numbers");

/* ---- Graphics records ---- */
ZQ_SIZE(zq_vertex_t, 24);
ZQ_OFFSET(zq_vertex_t, x, 0);
ZQ_OFFSET(zq_vertex_t, y, 4);
ZQ_OFFSET(zq_vertex_t, z, 8);
ZQ_OFFSET(zq_vertex_t, color, 12);
ZQ_OFFSET(zq_vertex_t, u, 16);
ZQ_OFFSET(zq_vertex_t, v, 20);

ZQ_SIZE(zq_bitmap_desc_t, 28);
ZQ_OFFSET(zq_bitmap_desc_t, format, 0);
ZQ_OFFSET(zq_bitmap_desc_t, type, 4);
ZQ_OFFSET(zq_bitmap_desc_t, mip_levels, 8);
ZQ_OFFSET(zq_bitmap_desc_t, width, 12);
ZQ_OFFSET(zq_bitmap_desc_t, height, 16);
ZQ_OFFSET(zq_bitmap_desc_t, depth, 20);
ZQ_OFFSET(zq_bitmap_desc_t, render_target, 24);

ZQ_SIZE(zq_bitmap_gpu_data_t, 40);
ZQ_OFFSET(zq_bitmap_gpu_data_t, loaded, 0);
ZQ_OFFSET(zq_bitmap_gpu_data_t, texture_left, 4);
ZQ_OFFSET(zq_bitmap_gpu_data_t, texture_top, 8);
ZQ_OFFSET(zq_bitmap_gpu_data_t, texture_right, 12);
ZQ_OFFSET(zq_bitmap_gpu_data_t, texture_bottom, 16);
ZQ_OFFSET(zq_bitmap_gpu_data_t, texture_width, 20);
ZQ_OFFSET(zq_bitmap_gpu_data_t, texture_height, 24);
ZQ_OFFSET(zq_bitmap_gpu_data_t, texture, 32);

ZQ_SIZE(zq_bitmap_t, 176);
ZQ_OFFSET(zq_bitmap_t, name, 0);
ZQ_OFFSET(zq_bitmap_t, hash, 8);
ZQ_OFFSET(zq_bitmap_t, kind, 12);
ZQ_OFFSET(zq_bitmap_t, slot, 16);
ZQ_OFFSET(zq_bitmap_t, reference_count, 20);
ZQ_OFFSET(zq_bitmap_t, cache_mode, 22);
ZQ_OFFSET(zq_bitmap_t, busy, 23);
ZQ_OFFSET(zq_bitmap_t, reserved0, 24);
ZQ_OFFSET(zq_bitmap_t, source_file, 32);
ZQ_OFFSET(zq_bitmap_t, source_time, 40);
ZQ_OFFSET(zq_bitmap_t, width, 44);
ZQ_OFFSET(zq_bitmap_t, height, 48);
ZQ_OFFSET(zq_bitmap_t, depth, 52);
ZQ_OFFSET(zq_bitmap_t, pixels, 56);
ZQ_OFFSET(zq_bitmap_t, pixel_width, 64);
ZQ_OFFSET(zq_bitmap_t, pixel_height, 68);
ZQ_OFFSET(zq_bitmap_t, format, 72);
ZQ_OFFSET(zq_bitmap_t, type, 76);
ZQ_OFFSET(zq_bitmap_t, flags, 80);
ZQ_OFFSET(zq_bitmap_t, mip_levels, 84);
ZQ_OFFSET(zq_bitmap_t, load_state, 86);
ZQ_OFFSET(zq_bitmap_t, pack_mode, 88);
ZQ_OFFSET(zq_bitmap_t, same_as_frame, 96);
ZQ_OFFSET(zq_bitmap_t, frames, 104);
ZQ_OFFSET(zq_bitmap_t, frame_count, 112);
ZQ_OFFSET(zq_bitmap_t, atlas, 120);
ZQ_OFFSET(zq_bitmap_t, current_frame, 128);
ZQ_OFFSET(zq_bitmap_t, frame_rate, 132);
ZQ_OFFSET(zq_bitmap_t, gpu, 136);

ZQ_SIZE(zq_render_targets_t, 56);
ZQ_OFFSET(zq_render_targets_t, color, 0);
ZQ_OFFSET(zq_render_targets_t, depth, 32);
ZQ_OFFSET(zq_render_targets_t, face, 40);

ZQ_SIZE(zq_shader_texture_t, 40);
ZQ_OFFSET(zq_shader_texture_t, value, 8);
ZQ_OFFSET(zq_shader_texture_t, values, 16);

ZQ_SIZE(zq_shader_constant_t, 48);
ZQ_OFFSET(zq_shader_constant_t, name, 0);
ZQ_OFFSET(zq_shader_constant_t, data, 16);
ZQ_OFFSET(zq_shader_constant_t, array_count, 24);
ZQ_OFFSET(zq_shader_constant_t, type, 28);
ZQ_OFFSET(zq_shader_constant_t, size, 32);
ZQ_OFFSET(zq_shader_constant_t, shape, 36);
ZQ_OFFSET(zq_shader_constant_t, clean, 40);

ZQ_SIZE(zq_shader_constant_table_t, 24);
ZQ_OFFSET(zq_shader_constant_table_t, entries, 8);
ZQ_OFFSET(zq_shader_constant_table_t, total_size, 16);
ZQ_OFFSET(zq_shader_constant_table_t, count, 20);

ZQ_SIZE(zq_shader_vertex_element_t, 16);
ZQ_OFFSET(zq_shader_vertex_element_t, component_type, 4);
ZQ_OFFSET(zq_shader_vertex_element_t, semantic, 8);
ZQ_OFFSET(zq_shader_vertex_element_t, component_count, 12);

ZQ_SIZE(zq_shader_t, 616);
ZQ_OFFSET(zq_shader_t, name, 0);
ZQ_OFFSET(zq_shader_t, kind, 12);
ZQ_OFFSET(zq_shader_t, slot, 16);
ZQ_OFFSET(zq_shader_t, translation_word, 40);
ZQ_OFFSET(zq_shader_t, textures, 48);
ZQ_OFFSET(zq_shader_t, pixel_constants, 368);
ZQ_OFFSET(zq_shader_t, constants, 392);
ZQ_OFFSET(zq_shader_t, vertex_constants, 416);
ZQ_OFFSET(zq_shader_t, renderer_data, 440);
ZQ_OFFSET(zq_shader_t, tag, 448);
ZQ_OFFSET(zq_shader_t, texture_count, 456);
ZQ_OFFSET(zq_shader_t, vertex_element_count, 458);
ZQ_OFFSET(zq_shader_t, vertex_format, 460);
ZQ_OFFSET(zq_shader_t, vertex_elements, 464);
ZQ_OFFSET(zq_shader_t, flags, 608);

ZQ_SIZE(zq_index_buffer_t, 32);
ZQ_OFFSET(zq_index_buffer_t, buffer, 0);
ZQ_OFFSET(zq_index_buffer_t, data, 8);
ZQ_OFFSET(zq_index_buffer_t, count, 16);
ZQ_OFFSET(zq_index_buffer_t, usage, 20);
ZQ_OFFSET(zq_index_buffer_t, flags, 24);

ZQ_SIZE(zq_vertex_buffer_t, 32);
ZQ_OFFSET(zq_vertex_buffer_t, buffer, 0);
ZQ_OFFSET(zq_vertex_buffer_t, data, 8);
ZQ_OFFSET(zq_vertex_buffer_t, count, 16);
ZQ_OFFSET(zq_vertex_buffer_t, usage, 20);
ZQ_OFFSET(zq_vertex_buffer_t, vertex_format, 24);
ZQ_OFFSET(zq_vertex_buffer_t, flags, 28);

ZQ_LAYOUT_ASSERT(ZQ_TEXTURE_FORMAT_D16_FLOAT == 1 && ZQ_TEXTURE_FORMAT_RGBA8 == 7 &&
                     ZQ_TEXTURE_FORMAT_RGBX8 == 8 && ZQ_TEXTURE_TYPE_CUBE == 3 &&
                     ZQ_BLEND_MODE_PREMULTIPLIED_ALPHA == 8 && ZQ_RENDER_STATE_DEPTH_WRITE == 4 &&
                     ZQ_DEPTH_FUNC_ALWAYS == 7 && CACHE_PIXELS == 2 && CACHE_TEXTURE == 4 &&
                     CACHE_LOOKUP_ONLY == 16,
                 "graphics value sets");

/* ---- The root record: 36 function slots, then the twelve sub-table pointers ---- */
ZQ_SIZE(zq_api_t, 48 * 8);
ZQ_SLOT(zq_api_t, Print, 0);
ZQ_SLOT(zq_api_t, Log, 1);
ZQ_SLOT(zq_api_t, Popup, 2);
ZQ_SLOT(zq_api_t, RegisterAutocompletion, 3);
ZQ_SLOT(zq_api_t, GetMilliseconds, 4);
ZQ_SLOT(zq_api_t, GetNanoseconds, 5);
ZQ_SLOT(zq_api_t, GetCalendarTime, 6);
ZQ_SLOT(zq_api_t, ConvertTimeToDate, 7);
ZQ_SLOT(zq_api_t, GetLocalDate, 8);
ZQ_SLOT(zq_api_t, SetMouseCursor, 9);
ZQ_SLOT(zq_api_t, GetMousePosition, 10);
ZQ_SLOT(zq_api_t, SetMousePosition, 11);
ZQ_SLOT(zq_api_t, SignalShutdown, 12);
ZQ_SLOT(zq_api_t, IsShutdownSignalled, 13);
ZQ_SLOT(zq_api_t, IsFeatureEnabled, 14);
ZQ_SLOT(zq_api_t, GetParameter, 15);
ZQ_SLOT(zq_api_t, ReinitializeWithParameters, 16);
ZQ_SLOT(zq_api_t, ExtensionCall, 17);
ZQ_SLOT(zq_api_t, FreeStringList, 18);
ZQ_SLOT(zq_api_t, SendHttpRequest, 19);
ZQ_SLOT(zq_api_t, SendRawHttpRequest, 20);
ZQ_SLOT(zq_api_t, CreateBuffer, 21);
ZQ_SLOT(zq_api_t, FreeBuffer, 22);
ZQ_SLOT(zq_api_t, CompressBuffer, 23);
ZQ_SLOT(zq_api_t, IsCompressedBuffer, 24);
ZQ_SLOT(zq_api_t, DecompressBuffer, 25);
ZQ_SLOT(zq_api_t, AllocateMemory, 26);
ZQ_SLOT(zq_api_t, FreeMemory, 27);
ZQ_SLOT(zq_api_t, PostEvent, 28);
ZQ_SLOT(zq_api_t, InitializeEvent, 29);
ZQ_SLOT(zq_api_t, GetInputState, 30);
ZQ_SLOT(zq_api_t, SetInputState, 31);
ZQ_SLOT(zq_api_t, GetInputValue, 32);
ZQ_SLOT(zq_api_t, SetInputValue, 33);
ZQ_SLOT(zq_api_t, GetSystemInfo, 34);
ZQ_SLOT(zq_api_t, IsDeveloperMode, 35);
ZQ_SLOT(zq_api_t, achievements, 36);
ZQ_SLOT(zq_api_t, audio, 37);
ZQ_SLOT(zq_api_t, cloud, 38);
ZQ_SLOT(zq_api_t, filesystem, 39);
ZQ_SLOT(zq_api_t, graphics, 40);
ZQ_SLOT(zq_api_t, iap, 41);
ZQ_SLOT(zq_api_t, leaderboards, 42);
ZQ_SLOT(zq_api_t, notification, 43);
ZQ_SLOT(zq_api_t, social, 44);
ZQ_SLOT(zq_api_t, statistic, 45);
ZQ_SLOT(zq_api_t, threading, 46);
ZQ_SLOT(zq_api_t, ugc, 47);

/* ---- Sub-tables ---- */
ZQ_SIZE(zq_achievements_api_t, 6 * 8);
ZQ_SLOT(zq_achievements_api_t, UnlockAchievement, 0);
ZQ_SLOT(zq_achievements_api_t, SetAchievementProgress, 1);
ZQ_SLOT(zq_achievements_api_t, CanShowAchievements, 2);
ZQ_SLOT(zq_achievements_api_t, ShowAchievements, 3);
ZQ_SLOT(zq_achievements_api_t, Operation11, 4);
ZQ_SLOT(zq_achievements_api_t, Operation12, 5);

ZQ_SIZE(zq_audio_api_t, 25 * 8);
ZQ_SLOT(zq_audio_api_t, GetChannelSound, 0);
ZQ_SLOT(zq_audio_api_t, GetMusic, 1);
ZQ_SLOT(zq_audio_api_t, GetSound, 2);
ZQ_SLOT(zq_audio_api_t, GetSoundWithCacheMode, 3);
ZQ_SLOT(zq_audio_api_t, IncreaseSoundReferenceCount, 4);
ZQ_SLOT(zq_audio_api_t, IsSoundLoaded, 5);
ZQ_SLOT(zq_audio_api_t, IsSoundPlaying, 6);
ZQ_SLOT(zq_audio_api_t, LoadSound, 7);
ZQ_SLOT(zq_audio_api_t, PlayMusic, 8);
ZQ_SLOT(zq_audio_api_t, PlaySound, 9);
ZQ_SLOT(zq_audio_api_t, PlaySoundWithDelay, 10);
ZQ_SLOT(zq_audio_api_t, ReleaseSound, 11);
ZQ_SLOT(zq_audio_api_t, SetChannelPitch, 12);
ZQ_SLOT(zq_audio_api_t, SetChannelLooping, 13);
ZQ_SLOT(zq_audio_api_t, SetChannelPan, 14);
ZQ_SLOT(zq_audio_api_t, SetChannelPaused, 15);
ZQ_SLOT(zq_audio_api_t, SetChannelVolume, 16);
ZQ_SLOT(zq_audio_api_t, SetMasterVolume, 17);
ZQ_SLOT(zq_audio_api_t, SetMusicPaused, 18);
ZQ_SLOT(zq_audio_api_t, SlideChannelVolume, 19);
ZQ_SLOT(zq_audio_api_t, SlideMusicVolume, 20);
ZQ_SLOT(zq_audio_api_t, SoundExists, 21);
ZQ_SLOT(zq_audio_api_t, StopChannel, 22);
ZQ_SLOT(zq_audio_api_t, StopChannelWithFade, 23);
ZQ_SLOT(zq_audio_api_t, StopMusic, 24);

ZQ_SIZE(zq_cloud_api_t, 4 * 8);
ZQ_SLOT(zq_cloud_api_t, IsAvailable, 0);
ZQ_SLOT(zq_cloud_api_t, Write, 1);
ZQ_SLOT(zq_cloud_api_t, Read, 2);
ZQ_SLOT(zq_cloud_api_t, Delete, 3);

ZQ_SIZE(zq_filesystem_api_t, 21 * 8);
ZQ_SLOT(zq_filesystem_api_t, AddSearchPath, 0);
ZQ_SLOT(zq_filesystem_api_t, CloseFile, 1);
ZQ_SLOT(zq_filesystem_api_t, CreateDirectory, 2);
ZQ_SLOT(zq_filesystem_api_t, DeleteDirectory, 3);
ZQ_SLOT(zq_filesystem_api_t, DeleteFile, 4);
ZQ_SLOT(zq_filesystem_api_t, FindFiles, 5);
ZQ_SLOT(zq_filesystem_api_t, FileExists, 6);
ZQ_SLOT(zq_filesystem_api_t, FlushFile, 7);
ZQ_SLOT(zq_filesystem_api_t, GetFileInfo, 8);
ZQ_SLOT(zq_filesystem_api_t, GetFilePosition, 9);
ZQ_SLOT(zq_filesystem_api_t, GetSearchPaths, 10);
ZQ_SLOT(zq_filesystem_api_t, IsPathValid, 11);
ZQ_SLOT(zq_filesystem_api_t, Mount, 12);
ZQ_SLOT(zq_filesystem_api_t, OpenFile, 13);
ZQ_SLOT(zq_filesystem_api_t, ReadFile, 14);
ZQ_SLOT(zq_filesystem_api_t, RemoveSearchPath, 15);
ZQ_SLOT(zq_filesystem_api_t, SearchPathExists, 16);
ZQ_SLOT(zq_filesystem_api_t, SeekFile, 17);
ZQ_SLOT(zq_filesystem_api_t, ShowNativeFileSelectDialog, 18);
ZQ_SLOT(zq_filesystem_api_t, Unmount, 19);
ZQ_SLOT(zq_filesystem_api_t, WriteFile, 20);

ZQ_SIZE(zq_graphics_api_t, 140 * 8);
ZQ_SLOT(zq_graphics_api_t, Reserved0, 0);
ZQ_SLOT(zq_graphics_api_t, Reserved1, 1);
ZQ_SLOT(zq_graphics_api_t, Reserved2, 2);
ZQ_SLOT(zq_graphics_api_t, Reserved3, 3);
ZQ_SLOT(zq_graphics_api_t, Reserved4, 4);
ZQ_SLOT(zq_graphics_api_t, ClearDepth, 5);
ZQ_SLOT(zq_graphics_api_t, ClearScreen, 6);
ZQ_SLOT(zq_graphics_api_t, ClearScreenRGBA, 7);
ZQ_SLOT(zq_graphics_api_t, Reserved8, 8);
ZQ_SLOT(zq_graphics_api_t, CreateBitmap, 9);
ZQ_SLOT(zq_graphics_api_t, CopyBitmapRenderTargetDataToPixels, 10);
ZQ_SLOT(zq_graphics_api_t, CreateIndexBuffer, 11);
ZQ_SLOT(zq_graphics_api_t, CreateVertexBuffer, 12);
ZQ_SLOT(zq_graphics_api_t, DisableScissor, 13);
ZQ_SLOT(zq_graphics_api_t, DrawBitmap, 14);
ZQ_SLOT(zq_graphics_api_t, DrawBitmapFromVertices, 15);
ZQ_SLOT(zq_graphics_api_t, DrawBitmapLine, 16);
ZQ_SLOT(zq_graphics_api_t, DrawBitmapRotated, 17);
ZQ_SLOT(zq_graphics_api_t, DrawLine, 18);
ZQ_SLOT(zq_graphics_api_t, DrawLineFromVertices, 19);
ZQ_SLOT(zq_graphics_api_t, DrawRectangle, 20);
ZQ_SLOT(zq_graphics_api_t, DrawSubBitmap, 21);
ZQ_SLOT(zq_graphics_api_t, DrawText, 22);
ZQ_SLOT(zq_graphics_api_t, DrawTriangles, 23);
ZQ_SLOT(zq_graphics_api_t, DrawTrianglesFromBuffers, 24);
ZQ_SLOT(zq_graphics_api_t, DrawTrianglesFromVertexFormat, 25);
ZQ_SLOT(zq_graphics_api_t, DrawTrianglesInstanced, 26);
ZQ_SLOT(zq_graphics_api_t, DrawTrianglesRange, 27);
ZQ_SLOT(zq_graphics_api_t, Reserved28, 28);
ZQ_SLOT(zq_graphics_api_t, Reserved29, 29);
ZQ_SLOT(zq_graphics_api_t, Reserved30, 30);
ZQ_SLOT(zq_graphics_api_t, FreeIndexBuffer, 31);
ZQ_SLOT(zq_graphics_api_t, FreeVertexBuffer, 32);
ZQ_SLOT(zq_graphics_api_t, GetAlpha, 33);
ZQ_SLOT(zq_graphics_api_t, GetBitmap, 34);
ZQ_SLOT(zq_graphics_api_t, GetBitmapFromHandle, 35);
ZQ_SLOT(zq_graphics_api_t, GetBitmapWithCacheMode, 36);
ZQ_SLOT(zq_graphics_api_t, GetBlendMode, 37);
ZQ_SLOT(zq_graphics_api_t, GetColor, 38);
ZQ_SLOT(zq_graphics_api_t, GetDepth, 39);
ZQ_SLOT(zq_graphics_api_t, GetDisplayCount, 40);
ZQ_SLOT(zq_graphics_api_t, Reserved41, 41);
ZQ_SLOT(zq_graphics_api_t, GetFont, 42);
ZQ_SLOT(zq_graphics_api_t, GetMaximumTextureSize, 43);
ZQ_SLOT(zq_graphics_api_t, GetNumBitmaps, 44);
ZQ_SLOT(zq_graphics_api_t, GetTextureFilter, 45);
ZQ_SLOT(zq_graphics_api_t, GetRenderFlag, 46);
ZQ_SLOT(zq_graphics_api_t, Reserved47, 47);
ZQ_SLOT(zq_graphics_api_t, GetRenderState, 48);
ZQ_SLOT(zq_graphics_api_t, GetShader, 49);
ZQ_SLOT(zq_graphics_api_t, GetShaderConstant, 50);
ZQ_SLOT(zq_graphics_api_t, GetShaderConstantIndex, 51);
ZQ_SLOT(zq_graphics_api_t, GetShaderPixelConstant, 52);
ZQ_SLOT(zq_graphics_api_t, GetShaderPixelConstantIndex, 53);
ZQ_SLOT(zq_graphics_api_t, GetShaderTags, 54);
ZQ_SLOT(zq_graphics_api_t, GetShaderUserValue, 55);
ZQ_SLOT(zq_graphics_api_t, GetShaderVertexConstant, 56);
ZQ_SLOT(zq_graphics_api_t, GetShaderVertexConstantIndex, 57);
ZQ_SLOT(zq_graphics_api_t, GetSupportedResolutions, 58);
ZQ_SLOT(zq_graphics_api_t, GetTextAlignment, 59);
ZQ_SLOT(zq_graphics_api_t, GetTextHeight, 60);
ZQ_SLOT(zq_graphics_api_t, GetTextSize, 61);
ZQ_SLOT(zq_graphics_api_t, GetTextureIndex, 62);
ZQ_SLOT(zq_graphics_api_t, GetTextWidth, 63);
ZQ_SLOT(zq_graphics_api_t, GetViewportSize, 64);
ZQ_SLOT(zq_graphics_api_t, GetViewPosition, 65);
ZQ_SLOT(zq_graphics_api_t, IncreaseBitmapReferenceCount, 66);
ZQ_SLOT(zq_graphics_api_t, Reserved67, 67);
ZQ_SLOT(zq_graphics_api_t, IsShaderLoaded, 68);
ZQ_SLOT(zq_graphics_api_t, IsTextureFormatSupported, 69);
ZQ_SLOT(zq_graphics_api_t, LoadBitmap, 70);
ZQ_SLOT(zq_graphics_api_t, LoadFont, 71);
ZQ_SLOT(zq_graphics_api_t, LockIndexBuffer, 72);
ZQ_SLOT(zq_graphics_api_t, LockVertexBuffer, 73);
ZQ_SLOT(zq_graphics_api_t, PeekProjectionTransform, 74);
ZQ_SLOT(zq_graphics_api_t, PeekRenderTarget, 75);
ZQ_SLOT(zq_graphics_api_t, PeekViewTransform, 76);
ZQ_SLOT(zq_graphics_api_t, PeekWorldTransform, 77);
ZQ_SLOT(zq_graphics_api_t, PopProjectionTransform, 78);
ZQ_SLOT(zq_graphics_api_t, PopRenderTargets, 79);
ZQ_SLOT(zq_graphics_api_t, PopScissorRectangle, 80);
ZQ_SLOT(zq_graphics_api_t, PopShader, 81);
ZQ_SLOT(zq_graphics_api_t, PopViewTransform, 82);
ZQ_SLOT(zq_graphics_api_t, PopWorldTransform, 83);
ZQ_SLOT(zq_graphics_api_t, PushProjectionTransform, 84);
ZQ_SLOT(zq_graphics_api_t, PushRenderTarget, 85);
ZQ_SLOT(zq_graphics_api_t, PushRenderTargets, 86);
ZQ_SLOT(zq_graphics_api_t, PushRenderTargetWithDepth, 87);
ZQ_SLOT(zq_graphics_api_t, PushScissorRectangle, 88);
ZQ_SLOT(zq_graphics_api_t, PushShader, 89);
ZQ_SLOT(zq_graphics_api_t, PushViewTransform, 90);
ZQ_SLOT(zq_graphics_api_t, PushWorldTransform, 91);
ZQ_SLOT(zq_graphics_api_t, RefreshBitmap, 92);
ZQ_SLOT(zq_graphics_api_t, RefreshFont, 93);
ZQ_SLOT(zq_graphics_api_t, ReleaseBitmap, 94);
ZQ_SLOT(zq_graphics_api_t, ReleaseFont, 95);
ZQ_SLOT(zq_graphics_api_t, ReloadShader, 96);
ZQ_SLOT(zq_graphics_api_t, RemoveBitmapHandle, 97);
ZQ_SLOT(zq_graphics_api_t, ResizeBitmap, 98);
ZQ_SLOT(zq_graphics_api_t, SaveBitmap, 99);
ZQ_SLOT(zq_graphics_api_t, SaveFont, 100);
ZQ_SLOT(zq_graphics_api_t, Reserved101, 101);
ZQ_SLOT(zq_graphics_api_t, SetAlpha, 102);
ZQ_SLOT(zq_graphics_api_t, SetBitmapCacheMode, 103);
ZQ_SLOT(zq_graphics_api_t, SetBitmapFrame, 104);
ZQ_SLOT(zq_graphics_api_t, SetBlendMode, 105);
ZQ_SLOT(zq_graphics_api_t, SetColor, 106);
ZQ_SLOT(zq_graphics_api_t, SetColorRGBA, 107);
ZQ_SLOT(zq_graphics_api_t, SetDepth, 108);
ZQ_SLOT(zq_graphics_api_t, SetDepthParameters, 109);
ZQ_SLOT(zq_graphics_api_t, SetFontShader, 110);
ZQ_SLOT(zq_graphics_api_t, Reserved111, 111);
ZQ_SLOT(zq_graphics_api_t, SetTextureFilter, 112);
ZQ_SLOT(zq_graphics_api_t, SetVSync, 113);
ZQ_SLOT(zq_graphics_api_t, Reserved114, 114);
ZQ_SLOT(zq_graphics_api_t, SetRenderFlag, 115);
ZQ_SLOT(zq_graphics_api_t, Reserved116, 116);
ZQ_SLOT(zq_graphics_api_t, SetRenderState, 117);
ZQ_SLOT(zq_graphics_api_t, SetBitmapSourceRectangle, 118);
ZQ_SLOT(zq_graphics_api_t, SetScissorRectangle, 119);
ZQ_SLOT(zq_graphics_api_t, SetShader, 120);
ZQ_SLOT(zq_graphics_api_t, SetShaderConstant, 121);
ZQ_SLOT(zq_graphics_api_t, SetShaderPixelConstant, 122);
ZQ_SLOT(zq_graphics_api_t, SetShaderVertexConstant, 123);
ZQ_SLOT(zq_graphics_api_t, SetTextureStageAddressMode, 124);
ZQ_SLOT(zq_graphics_api_t, SetTextureStageFilter, 125);
ZQ_SLOT(zq_graphics_api_t, SetTextAlignment, 126);
ZQ_SLOT(zq_graphics_api_t, SetTextCharacterSpacing, 127);
ZQ_SLOT(zq_graphics_api_t, GetFontGlyph, 128);
ZQ_SLOT(zq_graphics_api_t, SetTextMaxWidth, 129);
ZQ_SLOT(zq_graphics_api_t, SetTextJustify, 130);
ZQ_SLOT(zq_graphics_api_t, SetTextTransform, 131);
ZQ_SLOT(zq_graphics_api_t, SetTextLineSpacing, 132);
ZQ_SLOT(zq_graphics_api_t, SetTextMarkupDisabled, 133);
ZQ_SLOT(zq_graphics_api_t, CanFontRenderText, 134);
ZQ_SLOT(zq_graphics_api_t, SetTexture, 135);
ZQ_SLOT(zq_graphics_api_t, ShaderHasTag, 136);
ZQ_SLOT(zq_graphics_api_t, FlushBatch, 137);
ZQ_SLOT(zq_graphics_api_t, UnlockIndexBuffer, 138);
ZQ_SLOT(zq_graphics_api_t, UnlockVertexBuffer, 139);

ZQ_SIZE(zq_iap_api_t, 5 * 8);
ZQ_SLOT(zq_iap_api_t, IsAvailable, 0);
ZQ_SLOT(zq_iap_api_t, PurchaseItem, 1);
ZQ_SLOT(zq_iap_api_t, RequestItemData, 2);
ZQ_SLOT(zq_iap_api_t, RestorePurchases, 3);
ZQ_SLOT(zq_iap_api_t, ShowPurchaseProgress, 4);

ZQ_SIZE(zq_leaderboards_api_t, 16 * 8);
ZQ_SLOT(zq_leaderboards_api_t, SubmitScore, 0);
ZQ_SLOT(zq_leaderboards_api_t, RequestScores, 1);
ZQ_SLOT(zq_leaderboards_api_t, RequestScoresAroundUserRank, 2);
ZQ_SLOT(zq_leaderboards_api_t, Operation15, 3);
ZQ_SLOT(zq_leaderboards_api_t, ShowLeaderboards, 4);
ZQ_SLOT(zq_leaderboards_api_t, GetPlayerName, 5);
ZQ_SLOT(zq_leaderboards_api_t, GetLoginState, 6);
ZQ_SLOT(zq_leaderboards_api_t, Login, 7);
ZQ_SLOT(zq_leaderboards_api_t, Operation11, 8);
ZQ_SLOT(zq_leaderboards_api_t, Operation12, 9);
ZQ_SLOT(zq_leaderboards_api_t, GetCategoryCount, 10);
ZQ_SLOT(zq_leaderboards_api_t, GetCategoryId, 11);
ZQ_SLOT(zq_leaderboards_api_t, GetCategoryIndex, 12);
ZQ_SLOT(zq_leaderboards_api_t, IsLowestScoreFirst, 13);
ZQ_SLOT(zq_leaderboards_api_t, Operation17, 14);
ZQ_SLOT(zq_leaderboards_api_t, GetCategoryValue, 15);

ZQ_SIZE(zq_notification_api_t, 4 * 8);
ZQ_SLOT(zq_notification_api_t, IsAvailable, 0);
ZQ_SLOT(zq_notification_api_t, RegisterForLocalNotifications, 1);
ZQ_SLOT(zq_notification_api_t, RemoveAllLocalNotifications, 2);
ZQ_SLOT(zq_notification_api_t, SetLocalNotification, 3);

ZQ_SIZE(zq_social_api_t, 6 * 8);
ZQ_SLOT(zq_social_api_t, IsAvailable, 0);
ZQ_SLOT(zq_social_api_t, Login, 1);
ZQ_SLOT(zq_social_api_t, Logout, 2);
ZQ_SLOT(zq_social_api_t, RequestFriends, 3);
ZQ_SLOT(zq_social_api_t, SetLocalUserValue, 4);
ZQ_SLOT(zq_social_api_t, GetProfilePicture, 5);

ZQ_SIZE(zq_statistic_api_t, 1 * 8);
ZQ_SLOT(zq_statistic_api_t, Operation7, 0);

ZQ_SIZE(zq_threading_api_t, 17 * 8);
ZQ_SLOT(zq_threading_api_t, CreateThread, 0);
ZQ_SLOT(zq_threading_api_t, GetThreadId, 1);
ZQ_SLOT(zq_threading_api_t, CreateMutex, 2);
ZQ_SLOT(zq_threading_api_t, StartWorkerThreads, 3);
ZQ_SLOT(zq_threading_api_t, IsMainThread, 4);
ZQ_SLOT(zq_threading_api_t, IsRendererLocked, 5);
ZQ_SLOT(zq_threading_api_t, LockMutex, 6);
ZQ_SLOT(zq_threading_api_t, DestroyMutex, 7);
ZQ_SLOT(zq_threading_api_t, QueueJob, 8);
ZQ_SLOT(zq_threading_api_t, Sleep, 9);
ZQ_SLOT(zq_threading_api_t, SleepNanoseconds, 10);
ZQ_SLOT(zq_threading_api_t, LockRenderer, 11);
ZQ_SLOT(zq_threading_api_t, UnlockRenderer, 12);
ZQ_SLOT(zq_threading_api_t, TryLockMutex, 13);
ZQ_SLOT(zq_threading_api_t, UnlockMutex, 14);
ZQ_SLOT(zq_threading_api_t, StopWorkerThreads, 15);
ZQ_SLOT(zq_threading_api_t, YieldThread, 16);

ZQ_SIZE(zq_ugc_api_t, 9 * 8);
ZQ_SLOT(zq_ugc_api_t, IsAvailable, 0);
ZQ_SLOT(zq_ugc_api_t, Operation7, 1);
ZQ_SLOT(zq_ugc_api_t, Operation8, 2);
ZQ_SLOT(zq_ugc_api_t, Operation9, 3);
ZQ_SLOT(zq_ugc_api_t, Operation10, 4);
ZQ_SLOT(zq_ugc_api_t, Operation11, 5);
ZQ_SLOT(zq_ugc_api_t, Operation12, 6);
ZQ_SLOT(zq_ugc_api_t, Operation13, 7);
ZQ_SLOT(zq_ugc_api_t, Operation14, 8);

/* The sizes as this language's compiler sees them, so the test can compare C with C++ at run
 * time as well (a header that compiled differently in one language would show here). */
ZQ_LAYOUT_EXTERN size_t ZQ_LAYOUT_SUMMARY_FUNCTION(size_t* sizes, size_t capacity) {
    const size_t all[] = {sizeof(zq_api_t),
                          sizeof(zq_program_t),
                          sizeof(zq_parameters_t),
                          sizeof(zq_event_t),
                          sizeof(zq_date_t),
                          sizeof(zq_buffer_t),
                          sizeof(zq_string_list_t),
                          sizeof(zq_file_info_t),
                          sizeof(LeaderboardScore),
                          sizeof(zq_bitmap_t),
                          sizeof(zq_shader_t),
                          sizeof(zq_vertex_t),
                          sizeof(zq_render_targets_t),
                          sizeof(zq_graphics_api_t),
                          sizeof(zq_audio_api_t),
                          sizeof(zq_filesystem_api_t),
                          sizeof(zq_threading_api_t),
                          sizeof(zq_leaderboards_api_t),
                          offsetof(zq_api_t, achievements),
                          offsetof(zq_program_t, parameters),
                          offsetof(zq_program_t, HandleCrash),
                          offsetof(zq_graphics_api_t, UnlockVertexBuffer)};
    size_t count = sizeof(all) / sizeof(all[0]);
    size_t i;
    for (i = 0; i < count && i < capacity; ++i) {
        sizes[i] = all[i];
    }
    return count;
}
