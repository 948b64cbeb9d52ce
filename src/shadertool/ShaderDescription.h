// The description of one shader as its Shader XML document declares it: interface variables,
// definitions and the shading-language sources. The Shader XML reader fills it; the
// preprocessor, the semantic analyzer, the translators and the graphics shader manager read it.
#pragma once

#include <cstdint>

#include "foundation/Array.h"
#include "foundation/String.h"
#include "shadertool/ShaderType.h"

struct zq_bitmap_t;

namespace ShaderTool {

// Elements start with no name and the type none of one component (still invalid), the type a
// node keeps when its attributes give none.

// A constant or a vertex input.
struct ShaderVariable {
    String name;
    int32_t semantic;  // constants: the transform semantic; vertex inputs: the semantic bit
    int32_t size;      // bytes, for constants
    Type type;

    ShaderVariable() : semantic(0), size(0), type(TYPE_NONE, 1) {}
};

// A vertex output, buffer or ray payload: a name, a type and two words whose meaning depends
// on the list the record is in.
struct StageVariable {
    String name;
    Type type;
    union {
        int32_t semantic;  // vertex outputs: 0 colour, 1 position, 2 texture coordinate
        int32_t slot;      // buffers and ray payloads
    };
    union {
        int32_t semanticIndex;  // vertex outputs: earlier outputs with the same semantic
        int32_t inputFlag;      // ray payloads: 1 for the input payload
    };

    StageVariable() : type(TYPE_NONE, 1), semantic(0), semanticIndex(0) {}
};

// A pixel texture: the sampler state the document gives it and the bitmap it is bound to.
struct TextureVariable {
    String name;
    zq_bitmap_t* source;  // counted bitmap reference, or null when the document names none; whoever
                          // clears the description gives it back (the graphics shader manager)
    Type type;
    int32_t addressU, addressV, addressW;
    int32_t filterMag, filterMin, filterMip;
    int32_t slot;  // -1 = none

    TextureVariable()
        : source(nullptr),
          type(TYPE_NONE, 1),
          addressU(0),
          addressV(0),
          addressW(0),
          filterMag(0),
          filterMin(0),
          filterMip(0),
          slot(-1) {}
};

struct ImageVariable {
    String name;
    Type type;

    ImageVariable() : type(TYPE_NONE, 1) {}
};

// A definition handed to the preprocessor. `literalKind` is the TypeKind of a value that is a
// single literal (bool, float, int), struct (4) for any other value, none (8) when the value is
// missing.
struct ShaderDefinition {
    String name;
    String value;
    int32_t literalKind;

    ShaderDefinition() : literalKind(TYPE_NONE) {}
};

// One shading-language source of the document, also the record the front end reads from.
struct ShaderSource {
    String fileName;  // used in messages and to resolve includes
    String text;
    int32_t firstLine;    // line number of the text's first line in fileName
    TargetFlags targets;  // the targets this source is for
    int32_t stage;        // Stage

    ShaderSource() : firstLine(1), targets(0), stage(STAGE_VERTEX) {}
};

struct ShaderDescription {
    Array<StageVariable> buffers;
    Array<ShaderVariable> constants;
    int32_t constantsSlot;
    int32_t constantsSize;
    Array<ShaderDefinition> definitions;
    Array<ImageVariable> images;
    Array<ShaderVariable> pixelConstants;
    int32_t pixelConstantsSlot;
    int32_t pixelConstantsSize;
    Array<String> pixelOutputs;
    Array<TextureVariable> pixelTextures;
    Array<StageVariable> rayPayloads;
    Array<ShaderSource> sources;
    String tags;
    Array<ShaderVariable> vertexConstants;
    int32_t vertexConstantsSlot;
    int32_t vertexConstantsSize;
    Array<ShaderVariable> vertexInputs;
    Array<StageVariable> vertexOutputs;
    int32_t rayTracingGroup;  // -1 = none
    uint32_t stages;          // bit 1 << stage for each source read
    TargetFlags targets;
    int32_t modificationTime;  // of the Shader XML file, seconds
    uint32_t version;          // major << 16 | revision; 0 = the document has no info array

    // Everything empty, the three slot words -1. Copies are deep (every list and text).
    ShaderDescription();

    // Every list emptied, tags emptied, slot words -1, size words 0, ray tracing group -1,
    // stage mask and modification time 0.
    void Clear();
};

}  // namespace ShaderTool
