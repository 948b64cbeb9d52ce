// Shader creations asked for off the main thread: the pending list and its records, drained by
// the frame on the main thread.
#include "core/NamedMutex.h"
#include "foundation/Array.h"
#include "graphics/ShaderManager.h"
#include "shadertool/ShaderDescription.h"

namespace {

// Copies every stage's bytes into memory of the empty set's own.
void CopyCodeSet(const ShaderCodeSet& from, ShaderCodeSet* to) {
    for (int32_t stage = 0; stage < ZQI_SHADER_STAGES; ++stage) {
        ZQI_AppendShaderCode(&to->stages[stage], from.stages[stage].data, from.stages[stage].size);
    }
    to->word = from.word;
}

// A queued creation: the shader, its own copies of the code and of the translated description.
struct ShaderRecord {
    zq_shader_t* shader;
    ShaderCodeSet code;
    ShaderTool::ShaderDescription description;

    ShaderRecord() : shader(nullptr), code() {}
    ShaderRecord(const ShaderRecord& other) : shader(nullptr), code() { *this = other; }
    ~ShaderRecord() { ZQI_FreeShaderCodeSet(&code); }

    // Code is copied into memory of the record's own: what the caller lent (the translator's
    // buffers) is reset before the frame gets to the record.
    ShaderRecord& operator=(const ShaderRecord& other) {
        if (this == &other) {
            return *this;
        }
        ZQI_FreeShaderCodeSet(&code);
        shader = other.shader;
        CopyCodeSet(other.code, &code);
        description = other.description;
        return *this;
    }
};

// Guarded by "RESOURCE_QUEUE".
Array<zq_shader_t*> g_pending;
Array<ShaderRecord> g_records;

void LockQueue() {
    ZQI_LockCoreMutex(CORE_MUTEX_RESOURCE_QUEUE);
}

void UnlockQueue() {
    ZQI_UnlockCoreMutex(CORE_MUTEX_RESOURCE_QUEUE);
}

// Under the lock.
bool IsPending(const zq_shader_t* shader) {
    for (const zq_shader_t* entry : g_pending) {
        if (entry == shader) {
            return true;
        }
    }
    return false;
}

// Under the lock: takes the shader's record out of the list into out.
bool TakeRecord(zq_shader_t* shader, ShaderRecord* out) {
    for (int32_t i = 0; i < g_records.count; ++i) {
        if (g_records[i].shader == shader) {
            *out = g_records[i];
            g_records.RemoveAt(i);
            return true;
        }
    }
    return false;
}

}  // namespace

void QueueShaderLoad(zq_shader_t* shader, const ShaderTool::ShaderDescription& description,
                     const ShaderCodeSet& code) {
    ShaderRecord record;
    record.shader = shader;
    CopyCodeSet(code, &record.code);
    record.description = description;
    LockQueue();
    if (!IsPending(shader)) {
        g_pending.Push(shader);
        g_records.Push(record);
    }
    UnlockQueue();
}

void ProcessShaderResourceQueue() {
    LockQueue();
    const Array<zq_shader_t*> pending = g_pending;
    UnlockQueue();
    for (zq_shader_t* shader : pending) {
        if (shader->name != nullptr) {
            ShaderRecord record;
            LockQueue();
            const bool found = TakeRecord(shader, &record);
            UnlockQueue();
            if (found) {
                CreateShaderInRenderer(shader, record.description, record.code);
            }
        }
        LockQueue();
        g_pending.Remove(shader);
        UnlockQueue();
    }
}

bool ZQI_IsShaderPending(zq_shader_t* shader) {
    LockQueue();
    const bool pending = IsPending(shader);
    UnlockQueue();
    return pending;
}
