// The shader manager: zq_shader_t records in a fixed table of 128, found by name. A shader is a
// Shader XML document; its compiled code comes from code files for the running variant
// ("shaders/HLSL11/bin/<base>_DEFAULT.vertex" and ".pixel") or from the shader translator at run
// time. The record's texture slots, constant tables and vertex layout are filled from the
// translated description, and the shader is created in the renderer on the main thread, or queued
// for the frame when another thread asked (unless the device creates concurrently).
//
// Locking: "GET_SHADER" guards slot search and taking; the named mutex "ShaderTranslator"
// serialises all use of the one translator state; "RESOURCE_QUEUE" guards the two pending lists.
#pragma once

#include <cstdint>

#include "zorqa.h"

namespace ShaderTool {
struct ShaderDescription;
}

enum : int32_t {
    ZQI_SHADER_TABLE_SIZE = 128,
    ZQI_SHADER_STAGES = 5,  // vertex, pixel, rchit, rgen, rmiss
    ZQI_SHADER_KIND = 4,    // zq_shader_t::kind of a taken slot
};

// LoadShader's results.
enum ShaderLoadResult : int32_t {
    SHADER_LOADED = 0,
    SHADER_FAILED = 1,
    SHADER_RETRY = 2,      // the developer asked to try again
    SHADER_UNCHANGED = 3,  // sources not newer than the last translation: nothing done
};

// zq_shader_t::flags bits.
enum : uint8_t {
    SHADER_FLAG_CONSTANTS_CLEAN = 1,  // cleared whenever a constant value changes
    SHADER_FLAG_CREATED = 2,          // the renderer has the shader (the "loaded" bit)
};

// One stage's compiled code. A borrowed buffer is not owned: never grown or freed.
struct ShaderCode {
    uint8_t* data;
    int32_t size;
    int32_t capacity;
    uint8_t borrowed;
};

// The five stages' code and one word of the code set.
struct ShaderCodeSet {
    ShaderCode stages[ZQI_SHADER_STAGES];
    uint32_t word;
};

// Appends bytes to a stage's code; a short buffer grows to twice the needed size. False when
// borrowed or out of memory.
bool ZQI_AppendShaderCode(ShaderCode* code, const void* bytes, int32_t size);
// Frees the owned buffers and empties the set.
void ZQI_FreeShaderCodeSet(ShaderCodeSet* set);

// ---- Table ------------------------------------------------------------------------------------

// The slot of a name (null = "!NONE"): the existing one (existed = true), or a new zeroed one
// holding the name. Null, with a popup, when all 128 are in use.
zq_shader_t* GetShaderSlot(const char* name, bool* existed);
// The record of a slot index; null outside 0..127.
zq_shader_t* ZQI_GetShaderRecord(int32_t slot);
// One past the highest slot ever taken.
int32_t ZQI_GetShaderUsedCount();
// Initialisation: the used count becomes 0.
void ZQI_ResetShaderTableCount();

// Fills the record from the description: tag, vertex elements, the three constant tables (data
// zeroed), the texture slots; constants count as clean. A texture slot with a source bitmap takes
// a reference of its own, kept while the slot is filled.
void ZQI_FillShaderRecord(zq_shader_t* shader, const ShaderTool::ShaderDescription& description);
// Frees the tables, texts and counts, gives back the texture slots' bitmap references (and with
// rendererData frees the back end's objects); name and slot stay.
void FreeShader(zq_shader_t* shader, bool rendererData);
// Gives back the references the description's texture sources hold and forgets them; the
// translator state is reset (and the description cleared) right after.
void ZQI_ReleaseTextureSources(ShaderTool::ShaderDescription* description);
// FreeShader with the renderer's data, then the name under "GET_SHADER": the slot becomes free.
void FreeShaderSlot(zq_shader_t* shader);

// Stores size bytes (at most the constant's own size) into constant #index when they differ;
// true when anything changed (the entry is then no longer clean).
bool SetShaderConstantValue(zq_shader_constant_table_t* table, int32_t index, const void* data,
                            uint32_t size);
// The data of constant #index; null out of range.
void* GetShaderConstantAddress(const zq_shader_constant_table_t* table, int32_t index);

// ---- Loading ----------------------------------------------------------------------------------

// Reads, translates (or reads code files), fills (with fill) and creates the shader. reload reads
// the Shader XML afresh.
ShaderLoadResult LoadShader(zq_shader_t* shader, bool fill, bool reload);
// The internal shaders: a slot for the name made from the Shader XML text and the given code,
// without translation. An existing record is returned unchanged.
zq_shader_t* CreateShaderFromXMLText(const char* name, const char* xml, const ShaderCodeSet& code);
// -1 failed (reported), 0 no code files (the shader is translated), 1 read into code.
int32_t ReadShaderCodeFiles(zq_shader_t* shader, const ShaderTool::ShaderDescription& description,
                            ShaderCodeSet* code);
// Creates the shader in the renderer, or queues it off the main thread.
bool CreateShaderInRenderer(zq_shader_t* shader, const ShaderTool::ShaderDescription& description,
                            const ShaderCodeSet& code);

// The "ShaderTranslator" mutex the renderer start made (null: unguarded).
void ZQI_SetShaderTranslatorMutex(NamedMutex* mutex);
// Renderer start: the translator's targets for HLSL11 and the device's variant, the debug output
// folder in developer mode. False, with a popup, when it cannot start.
bool InitializeShaderTranslator();
// Renderer start: every shader named "*.xml" loaded again (not refilled).
void ZQI_ReloadXmlShaders();
// Renderer stop: every shader's renderer objects are freed; names and tables stay.
void ZQI_FreeShaderGpuData();

// ---- Queue ------------------------------------------------------------------------------------

// Appends a creation (with copies of the description and code) unless the shader is queued.
void QueueShaderLoad(zq_shader_t* shader, const ShaderTool::ShaderDescription& description,
                     const ShaderCodeSet& code);
// The frame, main thread: every queued creation, without a limit.
void ProcessShaderResourceQueue();
// The shader waits in the pending list.
bool ZQI_IsShaderPending(zq_shader_t* shader);

// ---- Graphics API slots -------------------------------------------------------------------------

zq_shader_t* ZQ_Graphics_GetShader(const char* name);
void ZQ_Graphics_ReloadShader(zq_shader_t* shader);
bool ZQ_Graphics_IsShaderLoaded(zq_shader_t* shader);
void ZQ_Graphics_SetShader(zq_shader_t* shader);
void ZQ_Graphics_SetFontShader(zq_shader_t* shader);
void* ZQ_Graphics_GetShaderConstant(zq_shader_t* shader, int32_t index);
void* ZQ_Graphics_GetShaderPixelConstant(zq_shader_t* shader, int32_t index);
void* ZQ_Graphics_GetShaderVertexConstant(zq_shader_t* shader, int32_t index);
int32_t ZQ_Graphics_GetShaderConstantIndex(zq_shader_t* shader, const char* name);
int32_t ZQ_Graphics_GetShaderPixelConstantIndex(zq_shader_t* shader, const char* name);
int32_t ZQ_Graphics_GetShaderVertexConstantIndex(zq_shader_t* shader, const char* name);
int32_t ZQ_Graphics_GetTextureIndex(zq_shader_t* shader, const char* name);
void ZQ_Graphics_SetShaderConstant(zq_shader_t* shader, int32_t index, uint32_t size, const void* data);
void ZQ_Graphics_SetShaderPixelConstant(zq_shader_t* shader, int32_t index, uint32_t size, const void* data);
void ZQ_Graphics_SetShaderVertexConstant(zq_shader_t* shader, int32_t index, uint32_t size, const void* data);
const char* ZQ_Graphics_GetShaderTags(zq_shader_t* shader);
const char* ZQ_Graphics_GetShaderUserValue(zq_shader_t* shader, const char* id);
bool ZQ_Graphics_ShaderHasTag(zq_shader_t* shader, const char* tag);
