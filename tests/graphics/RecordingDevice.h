// A device for the drawing layer's portable tests: it records what reaches it (as short text lines,
// in order) and keeps buffers in memory, so each draw can be read back as the vertices it would have
// drawn. Bitmaps drawn in these tests are records of their own (not in the bitmap table) with a
// made-up texture pointer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "GraphicsTestSupport.h"
#include "graphics/RendererDevice.h"

struct RecordedDraw {
    RendererPrimitive primitive;
    uint32_t indexCount;
    uint32_t instances;
    std::vector<zq_vertex_t> vertices;  // the bound vertex buffer as zq_vertex_t, whole
    std::vector<uint16_t> indices;      // the bound index buffer, whole
};

struct RecordingDevice {
    std::vector<std::string> calls;
    std::vector<RecordedDraw> draws;
    int32_t backBufferWidth = 640;
    int32_t backBufferHeight = 480;
    bool refuseBuffers = false;  // buffers come back without storage
    bool refuseLocks = false;    // mapping a buffer fails
    bool concurrent = false;     // creations allowed on every thread
    int32_t maximumTextureSize = 16384;
    int32_t buffersAlive = 0;

    // Lines of calls that start with prefix.
    int32_t Count(const std::string& prefix) const;
    // Index of the first call equal to line; -1 when none.
    int32_t IndexOf(const std::string& line) const;
};

// Installs a fresh recording device and resets the renderer's state, stacks and batch as a
// renderer start without resources leaves them (the batch ring made on the device, mapped).
RecordingDevice& InstallRecordingDevice();
RecordingDevice& Recorded();

// A drawable bitmap record: width x height, texture rectangle (0, 0) to (1, 1), a made-up texture
// (distinct per record content: the texture pointer is taken from the texture tag).
zq_bitmap_t DrawableBitmap(int32_t width, int32_t height, uintptr_t textureTag);

// A texture back end for the bitmap code: every texture is a heap block of its own, so ASan sees a
// texture freed twice and LSan one never freed. Installing it also puts a stand-in renderer object
// in place, so the bitmap code finds a ready renderer on the main thread.
struct RecordingTextures {
    int32_t created = 0;
    int32_t freed = 0;
};
RecordingTextures& InstallRecordingTextures();
// Frees what waits in the deferred list, then takes the back end and the stand-in away.
void RemoveRecordingTextures();

// Bitmaps that reach a (recorded) GPU: the table is emptied while the textures can still be freed.
class TextureTest : public GraphicsTest {
protected:
    void SetUp() override;
    void TearDown() override;

    RecordingTextures* textures_ = nullptr;
};

// The drawing layer's fixture: the recording device, a white texture record and an internal
// default shader record that count as made.
class DrawingTest : public GraphicsTest {
protected:
    void SetUp() override;
    void TearDown() override;

    RecordingDevice* device_ = nullptr;
    zq_bitmap_t white_ = DrawableBitmap(16, 16, 0xAAAA0);
    zq_shader_t defaultShader_ = {};
};
