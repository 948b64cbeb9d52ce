/* The scene numbers the drawing read-back test and its program library agree on. C and C++. */
#pragma once

enum {
    SCENE_NONE = 0,
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
    SCENE_CUSTOM = 12,
    SCENE_SHADER_FILES = 13,
};
