// The internal shaders as the executable carries them (EmbeddedShaders.cpp, made by
// tools/embedded-shaders/generate.sh from src/graphics/shaders): per shader its Shader XML, its
// source texts for the text targets and its compiled code records for the byte-code targets.
#pragma once

#include <cstddef>
#include <cstdint>

// One stage's compiled code for a target bit and a variant bit.
struct EmbeddedShaderCode {
    uint32_t target;
    uint32_t variant;
    uint32_t size;
    const uint8_t* bytes;
};

struct EmbeddedShader {
    const char* name;
    const char* xml;
    // Vertex text, pixel text, ... each "TARGET,VARIANT,\n" and the source; null-terminated.
    const char* const* sources;
    // Vertex record, pixel record, ... ; ends with a record of size 0.
    const EmbeddedShaderCode* code;
};

enum { ZQI_EMBEDDED_SHADER_COUNT = 2, ZQI_EMBEDDED_DEFAULT = 0, ZQI_EMBEDDED_DISTANCE_FIELD = 1 };

// "internal_default", then "internal_distance_field".
extern const EmbeddedShader kEmbeddedShaders[ZQI_EMBEDDED_SHADER_COUNT];
// What the file was generated from (see generate.py): a test recomputes it from the sources.
extern const uint64_t kEmbeddedShaderInputsHash;
