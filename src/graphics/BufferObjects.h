// Vertex and index buffer objects the program owns (zq_vertex_buffer_t, zq_index_buffer_t), each
// wrapping a renderer buffer. They may be made, filled, drawn and destroyed from any thread: the
// device work happens at once on the main thread (or anywhere when the device creates
// concurrently); otherwise it is queued with a CPU copy of the data and done by the next frame.
// "RESOURCE_QUEUE" guards the objects' flags and data pointers and the six pending lists;
// "CORE_VARIABLE" the byte counters.
#pragma once

#include <cstdint>

#include "zorqa.h"

// zq_vertex_buffer_t::flags and zq_index_buffer_t::flags bits.
enum : uint8_t {
    BUFFER_FLAG_CPU_COPY = 1,  // data is a CPU copy of the contents that has still to reach the GPU
    BUFFER_FLAG_LOCKED = 2,    // the program is writing through data
    BUFFER_FLAG_MAPPED = 4,    // locked on the main thread: data is the mapped buffer
};

// Null when the device refuses the buffer (or out of memory); off the main thread the object is
// returned at once and made by the next frame.
zq_index_buffer_t* ZQI_CreateIndexBuffer(const uint16_t* indices, uint32_t count, uint32_t usage);
zq_vertex_buffer_t* ZQI_CreateVertexBuffer(uint32_t vertexFormat, const void* vertices, uint32_t count,
                                           uint32_t usage);
// Afterwards the object's data pointer is where the whole buffer is written: the mapped buffer on
// the main thread, otherwise (or while a CPU copy still waits for the device) that CPU copy. False,
// logged, with the object left unlocked, when the device cannot map it or the copy cannot be made.
bool ZQI_LockIndexBuffer(zq_index_buffer_t* buffer);
bool ZQI_LockVertexBuffer(zq_vertex_buffer_t* buffer);
void ZQI_UnlockIndexBuffer(zq_index_buffer_t* buffer);
void ZQI_UnlockVertexBuffer(zq_vertex_buffer_t* buffer);
// Called with "RESOURCE_QUEUE" held; deferred to the frame off the main thread.
void ZQI_DestroyIndexBuffer(zq_index_buffer_t* buffer);
void ZQI_DestroyVertexBuffer(zq_vertex_buffer_t* buffer);

// The frame, main thread: destructions of unlocked objects, creations, then updates.
void ProcessPendingBufferOperations();

// Bytes held in created buffers: indices x 2, vertices x the vertex size.
void ZQI_GetBufferByteCounts(uint32_t* indexBytes, uint32_t* vertexBytes);
struct MemoryEstimates;
// The memory estimates' source for the buffer objects.
void ZQI_AddBufferMemoryEstimates(MemoryEstimates* estimates);
// Entries waiting in the lists (tests).
int32_t ZQI_GetPendingBufferCount();

// Graphics sub-table slots.
zq_index_buffer_t* ZQ_Graphics_CreateIndexBuffer(const uint16_t* indices, uint32_t count, uint32_t usage);
zq_vertex_buffer_t* ZQ_Graphics_CreateVertexBuffer(uint32_t vertexFormat, const void* vertices,
                                                   uint32_t count, uint32_t usage);
bool ZQ_Graphics_LockIndexBuffer(zq_index_buffer_t* buffer);
bool ZQ_Graphics_LockVertexBuffer(zq_vertex_buffer_t* buffer);
void ZQ_Graphics_UnlockIndexBuffer(zq_index_buffer_t* buffer);
void ZQ_Graphics_UnlockVertexBuffer(zq_vertex_buffer_t* buffer);
void ZQ_Graphics_FreeIndexBuffer(zq_index_buffer_t* buffer);
void ZQ_Graphics_FreeVertexBuffer(zq_vertex_buffer_t* buffer);
