// Vertex and index buffer objects without a GPU: byte counters, work from another thread waiting
// for the frame, destruction while locked, and the faults the rules must not have.
#include <cstring>
#include <thread>

#include "RecordingDevice.h"
#include "graphics/BufferObjects.h"
#include "graphics/Drawing.h"

namespace {

using BufferObjectsTest = DrawingTest;

// Runs work on a thread of its own (not the main thread) and waits for it.
template <typename Work>
void OnWorker(Work work) {
    std::thread worker(work);
    worker.join();
}

uint32_t VertexBytes() {
    uint32_t indexBytes = 0, vertexBytes = 0;
    ZQI_GetBufferByteCounts(&indexBytes, &vertexBytes);
    return vertexBytes;
}

uint32_t IndexBytes() {
    uint32_t indexBytes = 0, vertexBytes = 0;
    ZQI_GetBufferByteCounts(&indexBytes, &vertexBytes);
    return indexBytes;
}

TEST_F(BufferObjectsTest, CreatedBuffersCountTheirBytesUntilDestroyed) {
    const uint32_t vertices = VertexBytes();
    zq_vertex_buffer_t* buffer = ZQ_Graphics_CreateVertexBuffer(399, nullptr, 100, 1);
    zq_index_buffer_t* indices = ZQ_Graphics_CreateIndexBuffer(nullptr, 10, 1);
    ASSERT_NE(nullptr, buffer);
    EXPECT_EQ(vertices + 5600, VertexBytes());
    EXPECT_EQ(20u, IndexBytes());
    ZQ_Graphics_FreeVertexBuffer(buffer);
    ZQ_Graphics_FreeIndexBuffer(indices);
    EXPECT_EQ(vertices, VertexBytes());
    EXPECT_EQ(0u, IndexBytes());
    // A handle the device could not give storage is no buffer; nothing is counted.
    device_->refuseBuffers = true;
    EXPECT_EQ(nullptr, ZQ_Graphics_CreateVertexBuffer(7, nullptr, 4, 1));
    EXPECT_EQ(vertices, VertexBytes());
    EXPECT_FALSE(ZQ_Graphics_LockVertexBuffer(nullptr));
}

TEST_F(BufferObjectsTest, AWorkerFillsItsBufferAndTheNextFrameMakesItWithTheData) {
    zq_vertex_buffer_t* buffer = nullptr;
    OnWorker([&] {
        buffer = ZQ_Graphics_CreateVertexBuffer(7, nullptr, 4, 1);
        ASSERT_TRUE(ZQ_Graphics_LockVertexBuffer(buffer));
        zq_vertex_t* vertices = static_cast<zq_vertex_t*>(buffer->data);
        for (int i = 0; i < 4; ++i) {
            vertices[i] = zq_vertex_t{float(i), 2.0f, 0.5f, 0xFFFFFFFFu, 0.0f, 0.0f};
        }
        ZQ_Graphics_UnlockVertexBuffer(buffer);
    });
    ASSERT_NE(nullptr, buffer);
    EXPECT_EQ(nullptr, buffer->buffer);
    ProcessPendingBufferOperations();
    ASSERT_NE(nullptr, buffer->buffer);
    EXPECT_EQ(0, ZQI_GetPendingBufferCount());
    EXPECT_EQ(nullptr, buffer->data);  // the copy went into the buffer and was freed
    // The draw reads what the worker wrote.
    zq_index_buffer_t* indices = ZQ_Graphics_CreateIndexBuffer(std::vector<uint16_t>{0, 1, 2}.data(), 3, 0);
    ZQ_Graphics_DrawTrianglesFromBuffers(buffer, indices, nullptr);
    ASSERT_EQ(1u, device_->draws.size());
    EXPECT_FLOAT_EQ(3.0f, device_->draws[0].vertices[3].x);
    ZQ_Graphics_FreeVertexBuffer(buffer);
    ZQ_Graphics_FreeIndexBuffer(indices);
}

TEST_F(BufferObjectsTest, DestroyingALockedBufferWaitsForItsUnlock) {
    zq_index_buffer_t* buffer = ZQ_Graphics_CreateIndexBuffer(nullptr, 6, 1);
    const int32_t alive = device_->buffersAlive;
    OnWorker([&] {
        ZQ_Graphics_LockIndexBuffer(buffer);
        ZQ_Graphics_FreeIndexBuffer(buffer);
    });
    ProcessPendingBufferOperations();
    EXPECT_EQ(alive, device_->buffersAlive);  // still locked: not destroyed
    OnWorker([&] { ZQ_Graphics_UnlockIndexBuffer(buffer); });
    ProcessPendingBufferOperations();
    EXPECT_EQ(alive - 1, device_->buffersAlive);
    EXPECT_EQ(0, ZQI_GetPendingBufferCount());
    EXPECT_EQ(0u, IndexBytes());
}

// Made on a worker without data; the main thread locks and writes before the frame made it. The
// copy is kept and becomes the buffer's contents.
TEST_F(BufferObjectsTest, AMainThreadUnlockBeforeTheBufferExistsKeepsTheWrittenData) {
    zq_index_buffer_t* buffer = nullptr;
    OnWorker([&] { buffer = ZQ_Graphics_CreateIndexBuffer(nullptr, 3, 1); });
    ZQ_Graphics_LockIndexBuffer(buffer);
    ASSERT_NE(nullptr, buffer->data);
    const uint16_t written[3] = {7, 8, 9};
    memcpy(buffer->data, written, sizeof(written));
    ZQ_Graphics_UnlockIndexBuffer(buffer);
    ASSERT_NE(nullptr, buffer->data);
    ProcessPendingBufferOperations();
    ASSERT_NE(nullptr, buffer->buffer);
    zq_vertex_buffer_t* vertices = ZQ_Graphics_CreateVertexBuffer(7, nullptr, 10, 1);
    ZQ_Graphics_DrawTrianglesFromBuffers(vertices, buffer, nullptr);
    ASSERT_EQ(1u, device_->draws.size());
    EXPECT_EQ(std::vector<uint16_t>({7, 8, 9}), device_->draws[0].indices);
    ZQ_Graphics_FreeVertexBuffer(vertices);
    ZQ_Graphics_FreeIndexBuffer(buffer);
}

// Locks one after another, each on the main thread or a worker, with or without a frame between:
// the device ends up with what was written last, and nothing frees memory it does not own (ASan).
TEST_F(BufferObjectsTest, SequentialLocksOnAnyThreadsLeaveTheLastWrittenData) {
    enum Step { MAIN, WORKER, FRAME };
    const std::vector<std::vector<Step>> kCases = {
        {WORKER, MAIN},         {MAIN, WORKER},       {WORKER, WORKER},      {MAIN, MAIN},
        {WORKER, MAIN, WORKER}, {MAIN, WORKER, MAIN}, {WORKER, FRAME, MAIN}, {WORKER, MAIN, FRAME, WORKER},
    };
    zq_vertex_buffer_t* vertices = ZQ_Graphics_CreateVertexBuffer(7, nullptr, 4, 1);
    for (size_t c = 0; c < kCases.size(); ++c) {
        zq_index_buffer_t* buffer =
            ZQ_Graphics_CreateIndexBuffer(std::vector<uint16_t>{0, 0, 0}.data(), 3, 1);
        uint16_t last = 0;
        for (Step step : kCases[c]) {
            if (step == FRAME) {
                ProcessPendingBufferOperations();
                continue;
            }
            const uint16_t value = ++last;
            const auto write = [buffer, value] {
                ASSERT_TRUE(ZQ_Graphics_LockIndexBuffer(buffer));
                for (int i = 0; i < 3; ++i) {
                    buffer->data[i] = value;
                }
                ZQ_Graphics_UnlockIndexBuffer(buffer);
            };
            if (step == MAIN) {
                write();
            } else {
                OnWorker(write);
            }
        }
        ProcessPendingBufferOperations();
        EXPECT_EQ(0, ZQI_GetPendingBufferCount()) << "case " << c;
        device_->draws.clear();
        ZQ_Graphics_DrawTrianglesFromBuffers(vertices, buffer, nullptr);
        ASSERT_EQ(1u, device_->draws.size());
        EXPECT_EQ(std::vector<uint16_t>(3, last), device_->draws[0].indices) << "case " << c;
        ZQ_Graphics_FreeIndexBuffer(buffer);
    }
    ZQ_Graphics_FreeVertexBuffer(vertices);
}

// A lock whose mapping fails answers false and leaves nothing to write through.
TEST_F(BufferObjectsTest, ALockTheDeviceCannotMapAnswersFalse) {
    zq_vertex_buffer_t* buffer = ZQ_Graphics_CreateVertexBuffer(7, nullptr, 4, 1);
    device_->refuseLocks = true;
    EXPECT_FALSE(ZQ_Graphics_LockVertexBuffer(buffer));
    EXPECT_EQ(nullptr, buffer->data);
    EXPECT_EQ(0, buffer->flags & (BUFFER_FLAG_LOCKED | BUFFER_FLAG_MAPPED));
    EXPECT_TRUE(Logged("ZQ_Graphics_LockVertexBuffer: the device could not map the buffer."));
    ZQ_Graphics_UnlockVertexBuffer(buffer);  // nothing to unlock: harmless
    device_->refuseLocks = false;
    EXPECT_TRUE(ZQ_Graphics_LockVertexBuffer(buffer));
    EXPECT_NE(nullptr, buffer->data);
    ZQ_Graphics_UnlockVertexBuffer(buffer);
    ZQ_Graphics_FreeVertexBuffer(buffer);
}

}  // namespace
