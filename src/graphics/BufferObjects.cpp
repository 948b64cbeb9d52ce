// The program's vertex and index buffer objects: one set of rules for both kinds (a vertex buffer
// adds only its vertex format), the pending creations, updates and destructions, and the byte
// counters of the memory estimates.
#include "graphics/BufferObjects.h"

#include <cstdlib>
#include <cstring>

#include "core/ApiTable.h"
#include "core/MemoryStatistics.h"
#include "core/NamedMutex.h"
#include "core/Threads.h"
#include "foundation/Array.h"
#include "graphics/RendererDevice.h"
#include "graphics/VertexFormat.h"

namespace {

template <typename T>
struct PendingLists {
    Array<T*> creations;
    Array<T*> updates;
    Array<T*> destructions;
};

// Guarded by "RESOURCE_QUEUE".
PendingLists<zq_index_buffer_t> g_indexLists;
PendingLists<zq_vertex_buffer_t> g_vertexLists;
// Guarded by "CORE_VARIABLE".
uint32_t g_indexBytes;
uint32_t g_vertexBytes;

template <typename T>
struct BufferKind;

template <>
struct BufferKind<zq_index_buffer_t> {
    static constexpr const char* kCreator = "ZQ_Graphics_CreateIndexBuffer";
    static constexpr const char* kLocker = "ZQ_Graphics_LockIndexBuffer";
    static uint32_t ElementSize(const zq_index_buffer_t*) { return sizeof(uint16_t); }
    static RendererBuffer* Create(const zq_index_buffer_t* object, const void* data) {
        return ZQI_GetRendererDevice().CreateIndexBuffer(object->count, object->usage,
                                                         static_cast<const uint16_t*>(data));
    }
    static PendingLists<zq_index_buffer_t>& Lists() { return g_indexLists; }
    static uint32_t& Counter() { return g_indexBytes; }
    static void* Data(zq_index_buffer_t* object) { return object->data; }
    static void SetData(zq_index_buffer_t* object, void* data) {
        object->data = static_cast<uint16_t*>(data);
    }
};

template <>
struct BufferKind<zq_vertex_buffer_t> {
    static constexpr const char* kCreator = "ZQ_Graphics_CreateVertexBuffer";
    static constexpr const char* kLocker = "ZQ_Graphics_LockVertexBuffer";
    static uint32_t ElementSize(const zq_vertex_buffer_t* object) {
        return ZQI_VertexSize(object->vertex_format);
    }
    static RendererBuffer* Create(const zq_vertex_buffer_t* object, const void* data) {
        return ZQI_GetRendererDevice().CreateVertexBuffer(object->vertex_format, object->count, object->usage,
                                                          data);
    }
    static PendingLists<zq_vertex_buffer_t>& Lists() { return g_vertexLists; }
    static uint32_t& Counter() { return g_vertexBytes; }
    static void* Data(zq_vertex_buffer_t* object) { return object->data; }
    static void SetData(zq_vertex_buffer_t* object, void* data) { object->data = data; }
};

void LockQueue() {
    ZQI_LockCoreMutex(CORE_MUTEX_RESOURCE_QUEUE);
}

void UnlockQueue() {
    ZQI_UnlockCoreMutex(CORE_MUTEX_RESOURCE_QUEUE);
}

bool WorksHere() {
    return ZQ_Threading_IsMainThread() || ZQI_GetRendererDevice().AllowsConcurrentCreation();
}

template <typename T>
uint64_t ByteSize(const T* object) {
    return uint64_t(object->count) * BufferKind<T>::ElementSize(object);
}

template <typename T>
void Count(const T* object, bool add) {
    const uint32_t bytes = static_cast<uint32_t>(ByteSize(object));
    ZQI_LockCoreMutex(CORE_MUTEX_CORE_VARIABLE);
    uint32_t& counter = BufferKind<T>::Counter();
    counter = add ? counter + bytes : (counter >= bytes ? counter - bytes : 0);
    ZQI_UnlockCoreMutex(CORE_MUTEX_CORE_VARIABLE);
}

template <typename T>
void PushOnce(Array<T*>& list, T* object) {
    for (T* entry : list) {
        if (entry == object) {
            return;
        }
    }
    list.Push(object);
}

// The renderer buffer with the initial data; false (nothing made) when the device refuses it: a
// handle without storage is no buffer.
template <typename T>
bool MakeRendererBuffer(T* object, const void* data) {
    RendererBuffer* buffer = BufferKind<T>::Create(object, data);
    if (buffer != nullptr && !ZQI_GetRendererDevice().IsBufferCreated(buffer)) {
        ZQI_GetRendererDevice().FreeBuffer(buffer);
        buffer = nullptr;
    }
    object->buffer = buffer;
    if (buffer != nullptr) {
        Count(object, true);
    }
    return buffer != nullptr;
}

template <typename T>
void FreeCpuCopy(T* object) {
    if ((object->flags & BUFFER_FLAG_CPU_COPY) != 0) {
        free(BufferKind<T>::Data(object));
        BufferKind<T>::SetData(object, nullptr);
        object->flags &= static_cast<uint8_t>(~BUFFER_FLAG_CPU_COPY);
    }
}

// Copies the CPU copy into the renderer buffer and frees it; false when the buffer cannot be
// mapped (the copy is kept).
template <typename T>
bool SendCpuCopy(T* object) {
    const RendererDevice& device = ZQI_GetRendererDevice();
    void* mapped = device.LockBuffer(object->buffer);
    if (mapped == nullptr) {
        return false;
    }
    memcpy(mapped, BufferKind<T>::Data(object), static_cast<size_t>(ByteSize(object)));
    FreeCpuCopy(object);
    device.UnlockBuffer(object->buffer);
    return true;
}

template <typename T>
T* Create(T* object, const void* data) {
    const uint64_t bytes = ByteSize(object);
    if (bytes == 0 || bytes > UINT32_MAX) {
        ZQ_Log(2, "%s: a buffer of %u elements is empty or too large.", BufferKind<T>::kCreator,
               object->count);
        free(object);
        return nullptr;
    }
    if (!WorksHere()) {
        if (data != nullptr) {
            void* copy = malloc(static_cast<size_t>(bytes));
            if (copy == nullptr) {
                ZQ_Log(2, "%s: out of memory for the data of a buffer of %u elements.",
                       BufferKind<T>::kCreator, object->count);
                free(object);
                return nullptr;
            }
            memcpy(copy, data, static_cast<size_t>(bytes));
            BufferKind<T>::SetData(object, copy);
            object->flags |= BUFFER_FLAG_CPU_COPY;
        }
        LockQueue();
        BufferKind<T>::Lists().creations.Push(object);
        UnlockQueue();
        return object;
    }
    if (!MakeRendererBuffer(object, data)) {
        free(object);
        return nullptr;
    }
    return object;
}

// With the queue lock held: the program writes straight into the mapped buffer.
template <typename T>
bool LockMapped(T* object) {
    void* mapped = ZQI_GetRendererDevice().LockBuffer(object->buffer);
    if (mapped == nullptr) {
        ZQ_Log(2, "%s: the device could not map the buffer.", BufferKind<T>::kLocker);
        return false;
    }
    BufferKind<T>::SetData(object, mapped);
    object->flags |= BUFFER_FLAG_LOCKED | BUFFER_FLAG_MAPPED;
    return true;
}

// With the queue lock held: the program writes into the CPU copy, the one still waiting for the
// device if there is one (it holds the data written last), else a new one of the full size.
template <typename T>
bool LockCpuCopy(T* object) {
    BufferKind<T>::Lists().updates.Remove(object);
    if ((object->flags & BUFFER_FLAG_CPU_COPY) == 0) {
        void* copy = malloc(static_cast<size_t>(ByteSize(object)));
        if (copy == nullptr) {
            ZQ_Log(2, "%s: out of memory for the data of a buffer of %u elements.", BufferKind<T>::kLocker,
                   object->count);
            return false;
        }
        BufferKind<T>::SetData(object, copy);
        object->flags |= BUFFER_FLAG_CPU_COPY;
    }
    object->flags |= BUFFER_FLAG_LOCKED;
    return true;
}

// A main-thread lock maps the buffer only when no CPU copy waits: mapping over a worker's pending
// copy would lose the pointer to it and send the device older data than the copy holds.
template <typename T>
bool Lock(T* object) {
    LockQueue();
    const bool mapped = ZQ_Threading_IsMainThread() && object->buffer != nullptr &&
                        (object->flags & BUFFER_FLAG_CPU_COPY) == 0;
    const bool locked = mapped ? LockMapped(object) : LockCpuCopy(object);
    UnlockQueue();
    return locked;
}

template <typename T>
void Unlock(T* object) {
    LockQueue();
    if (ZQ_Threading_IsMainThread()) {
        const bool mapped = (object->flags & BUFFER_FLAG_MAPPED) != 0;
        // Without a renderer buffer yet the CPU copy is kept: its creation takes it. A copy the
        // device could not take now waits for the frame.
        if ((object->flags & BUFFER_FLAG_CPU_COPY) != 0 && object->buffer != nullptr) {
            if (!SendCpuCopy(object)) {
                PushOnce(BufferKind<T>::Lists().updates, object);
            }
        } else if (mapped && object->buffer != nullptr) {
            ZQI_GetRendererDevice().UnlockBuffer(object->buffer);
        }
        if (mapped) {
            BufferKind<T>::SetData(object, nullptr);
        }
        object->flags &= static_cast<uint8_t>(~(BUFFER_FLAG_LOCKED | BUFFER_FLAG_MAPPED));
    } else {
        PushOnce(BufferKind<T>::Lists().updates, object);
        object->flags &= static_cast<uint8_t>(~BUFFER_FLAG_LOCKED);
    }
    UnlockQueue();
}

// With the queue lock held, where the device may be used.
template <typename T>
void DestroyNow(T* object) {
    if (object->buffer != nullptr) {
        Count(object, false);
        ZQI_GetRendererDevice().FreeBuffer(object->buffer);
    }
    FreeCpuCopy(object);
    free(object);
}

template <typename T>
void Destroy(T* object) {
    PendingLists<T>& lists = BufferKind<T>::Lists();
    lists.creations.Remove(object);
    lists.updates.Remove(object);
    if (WorksHere()) {
        DestroyNow(object);
    } else {
        PushOnce(lists.destructions, object);
    }
}

template <typename T>
void ProcessDestructions() {
    PendingLists<T>& lists = BufferKind<T>::Lists();
    Array<T*>& list = lists.destructions;
    for (int32_t i = 0; i < list.count;) {
        T* object = list[i];
        if ((object->flags & BUFFER_FLAG_LOCKED) != 0) {
            ++i;  // waits for its unlock
            continue;
        }
        list.RemoveAt(i);
        // Its unlock came after the destruction was asked for: that update goes with it.
        lists.updates.Remove(object);
        lists.creations.Remove(object);
        DestroyNow(object);
    }
}

template <typename T>
void ProcessCreations() {
    PendingLists<T>& lists = BufferKind<T>::Lists();
    while (lists.creations.count > 0) {
        T* object = lists.creations[0];
        lists.creations.RemoveFirst();
        const bool hasCopy = (object->flags & BUFFER_FLAG_CPU_COPY) != 0;
        const bool created = MakeRendererBuffer(object, hasCopy ? BufferKind<T>::Data(object) : nullptr);
        const bool locked = (object->flags & BUFFER_FLAG_LOCKED) != 0;
        // An unlocked object's data is in the new buffer; a locked one keeps its copy for its unlock.
        if (!created || !locked) {
            FreeCpuCopy(object);
            lists.updates.Remove(object);
        }
    }
}

template <typename T>
void ProcessUpdates() {
    Array<T*>& list = BufferKind<T>::Lists().updates;
    while (list.count > 0) {
        T* object = list[0];
        list.RemoveFirst();
        if (object->buffer != nullptr && (object->flags & BUFFER_FLAG_CPU_COPY) != 0) {
            SendCpuCopy(object);
        }
    }
}

template <typename T>
T* NewObject(uint32_t count, uint32_t usage) {
    T* object = static_cast<T*>(calloc(1, sizeof(T)));
    if (object != nullptr) {
        object->count = count;
        object->usage = usage;
    }
    return object;
}

}  // namespace

zq_index_buffer_t* ZQI_CreateIndexBuffer(const uint16_t* indices, uint32_t count, uint32_t usage) {
    zq_index_buffer_t* object = NewObject<zq_index_buffer_t>(count, usage);
    return object != nullptr ? Create(object, indices) : nullptr;
}

zq_vertex_buffer_t* ZQI_CreateVertexBuffer(uint32_t vertexFormat, const void* vertices, uint32_t count,
                                           uint32_t usage) {
    zq_vertex_buffer_t* object = NewObject<zq_vertex_buffer_t>(count, usage);
    if (object == nullptr) {
        return nullptr;
    }
    object->vertex_format = vertexFormat;
    return Create(object, vertices);
}

bool ZQI_LockIndexBuffer(zq_index_buffer_t* buffer) {
    return Lock(buffer);
}

bool ZQI_LockVertexBuffer(zq_vertex_buffer_t* buffer) {
    return Lock(buffer);
}

void ZQI_UnlockIndexBuffer(zq_index_buffer_t* buffer) {
    Unlock(buffer);
}

void ZQI_UnlockVertexBuffer(zq_vertex_buffer_t* buffer) {
    Unlock(buffer);
}

void ZQI_DestroyIndexBuffer(zq_index_buffer_t* buffer) {
    Destroy(buffer);
}

void ZQI_DestroyVertexBuffer(zq_vertex_buffer_t* buffer) {
    Destroy(buffer);
}

void ProcessPendingBufferOperations() {
    LockQueue();
    ProcessDestructions<zq_index_buffer_t>();
    ProcessDestructions<zq_vertex_buffer_t>();
    ProcessCreations<zq_index_buffer_t>();
    ProcessCreations<zq_vertex_buffer_t>();
    ProcessUpdates<zq_index_buffer_t>();
    ProcessUpdates<zq_vertex_buffer_t>();
    UnlockQueue();
}

void ZQI_GetBufferByteCounts(uint32_t* indexBytes, uint32_t* vertexBytes) {
    ZQI_LockCoreMutex(CORE_MUTEX_CORE_VARIABLE);
    *indexBytes = g_indexBytes;
    *vertexBytes = g_vertexBytes;
    ZQI_UnlockCoreMutex(CORE_MUTEX_CORE_VARIABLE);
}

void ZQI_AddBufferMemoryEstimates(MemoryEstimates* estimates) {
    uint32_t indexBytes = 0;
    uint32_t vertexBytes = 0;
    ZQI_GetBufferByteCounts(&indexBytes, &vertexBytes);
    estimates->vertexBytes += uint64_t(indexBytes) + vertexBytes;
}

int32_t ZQI_GetPendingBufferCount() {
    LockQueue();
    const int32_t count = g_indexLists.creations.count + g_indexLists.updates.count +
                          g_indexLists.destructions.count + g_vertexLists.creations.count +
                          g_vertexLists.updates.count + g_vertexLists.destructions.count;
    UnlockQueue();
    return count;
}

zq_index_buffer_t* ZQ_Graphics_CreateIndexBuffer(const uint16_t* indices, uint32_t count, uint32_t usage) {
    return ZQI_CreateIndexBuffer(indices, count, usage);
}

zq_vertex_buffer_t* ZQ_Graphics_CreateVertexBuffer(uint32_t vertexFormat, const void* vertices,
                                                   uint32_t count, uint32_t usage) {
    return ZQI_CreateVertexBuffer(vertexFormat, vertices, count, usage);
}

bool ZQ_Graphics_LockIndexBuffer(zq_index_buffer_t* buffer) {
    return buffer != nullptr && ZQI_LockIndexBuffer(buffer);
}

bool ZQ_Graphics_LockVertexBuffer(zq_vertex_buffer_t* buffer) {
    return buffer != nullptr && ZQI_LockVertexBuffer(buffer);
}

void ZQ_Graphics_UnlockIndexBuffer(zq_index_buffer_t* buffer) {
    if (buffer != nullptr) {
        ZQI_UnlockIndexBuffer(buffer);
    }
}

void ZQ_Graphics_UnlockVertexBuffer(zq_vertex_buffer_t* buffer) {
    if (buffer != nullptr) {
        ZQI_UnlockVertexBuffer(buffer);
    }
}

void ZQ_Graphics_FreeIndexBuffer(zq_index_buffer_t* buffer) {
    if (buffer != nullptr) {
        LockQueue();
        ZQI_DestroyIndexBuffer(buffer);
        UnlockQueue();
    }
}

void ZQ_Graphics_FreeVertexBuffer(zq_vertex_buffer_t* buffer) {
    if (buffer != nullptr) {
        LockQueue();
        ZQI_DestroyVertexBuffer(buffer);
        UnlockQueue();
    }
}
