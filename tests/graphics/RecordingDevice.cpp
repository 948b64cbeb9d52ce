// The recording device: text lines for the state it is sent, buffers in memory, draws with copies
// of their bound buffers; and a texture back end of counted heap blocks.
#include "RecordingDevice.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/CoreState.h"
#include "graphics/BatchRenderer.h"
#include "graphics/BitmapTable.h"
#include "graphics/BitmapUpload.h"
#include "graphics/HighLevelRenderer.h"
#include "graphics/RendererBackEnd.h"
#include "graphics/RendererState.h"
#include "graphics/TextSettings.h"
#include "graphics/VertexFormat.h"

// The device's buffers: plain memory.
struct RendererBuffer {
    std::vector<uint8_t> bytes;
    uint32_t vertexFormat;
    bool index;
};

namespace {

RecordingDevice g_device;
RecordingTextures g_textures;
char g_standInRenderer;  // only its address is used: the bitmap code checks for a renderer object
RendererBuffer* g_boundVertices;
RendererBuffer* g_boundIndices;

void Record(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Record(const char* format, ...) {
    char line[256];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof(line), format, args);
    va_end(args);
    g_device.calls.push_back(line);
}

bool Yes() {
    return true;
}
bool Concurrent() {
    return g_device.concurrent;
}
void BackBuffer(int32_t* width, int32_t* height) {
    *width = g_device.backBufferWidth;
    *height = g_device.backBufferHeight;
}
void Targets(const zq_render_targets_t* set) {
    Record("Targets %s", set->color[0] != nullptr ? set->color[0]->name : "back buffer");
}
void Viewport(int32_t width, int32_t height) {
    Record("Viewport %dx%d", width, height);
}
void Scissor(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t) {
    Record("Scissor %d %d %d %d", x, y, width, height);
}
void ScissorOff(uint32_t) {
    Record("Scissor off");
}
void Clear(float r, float g, float b, float a) {
    Record("Clear %g %g %g %g", r, g, b, a);
}
bool ClearDepth(float depth) {
    Record("Clear depth %g", depth);
    return true;
}
void Addresses(HighLevelRendererState* state) {
    Record("Address %u %u %u", state->address[0][0], state->address[0][1], state->address[0][2]);
    state->applied[STATE_GROUP_ADDRESS] = 1;
}
void Filters(HighLevelRendererState* state) {
    // As the back end passes them to the sampler choice: min, mag, mip.
    Record("Filters %u %u %u", state->filters[0][FILTER_SLOT_MIN], state->filters[0][FILTER_SLOT_MAG],
           state->filters[0][FILTER_SLOT_MIP]);
    state->applied[STATE_GROUP_FILTERS] = 1;
}
void Blend(HighLevelRendererState* state) {
    Record("Blend %d", state->blendMode);
    state->applied[STATE_GROUP_BLEND] = 1;
}
void RenderStates(HighLevelRendererState* state) {
    for (uint32_t& sent : state->renderStateSent) {
        sent = 1;
    }
}
void BindShader(zq_shader_t* shader) {
    Record("Shader %s", shader != nullptr && shader->name != nullptr ? shader->name : "none");
}
void Textures(RendererTexture* const* textures) {
    Record("Texture %#lx", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(textures[0])));
}
RendererBuffer* NewBuffer(size_t bytes, uint32_t format, bool index, const void* data) {
    RendererBuffer* buffer =
        new RendererBuffer{std::vector<uint8_t>(g_device.refuseBuffers ? 0 : bytes), format, index};
    if (data != nullptr && !g_device.refuseBuffers) {
        memcpy(buffer->bytes.data(), data, bytes);
    }
    ++g_device.buffersAlive;
    return buffer;
}
RendererBuffer* VertexBuffer(uint32_t format, uint32_t count, uint32_t, const void* data) {
    return NewBuffer(size_t(count) * ZQI_VertexSize(format), format, false, data);
}
RendererBuffer* IndexBuffer(uint32_t count, uint32_t, const uint16_t* data) {
    return NewBuffer(size_t(count) * 2, 0, true, data);
}
bool IsCreated(const RendererBuffer* buffer) {
    return !buffer->bytes.empty();
}
void* Lock(RendererBuffer* buffer) {
    return buffer->bytes.empty() || g_device.refuseLocks ? nullptr : buffer->bytes.data();
}
void Unlock(RendererBuffer*) {}
void Free(RendererBuffer* buffer) {
    --g_device.buffersAlive;
    delete buffer;
}
void Geometry(RendererBuffer* vertices, RendererBuffer* indices) {
    g_boundVertices = vertices;
    g_boundIndices = indices;
}
RecordedDraw Draw(RendererPrimitive primitive, uint32_t indexCount, uint32_t instances) {
    RecordedDraw draw = {primitive, indexCount, instances, {}, {}};
    if (g_boundVertices != nullptr && g_boundVertices->vertexFormat == ZQI_SPRITE_VERTEX_FORMAT) {
        draw.vertices.resize(g_boundVertices->bytes.size() / sizeof(zq_vertex_t));
        memcpy(draw.vertices.data(), g_boundVertices->bytes.data(),
               draw.vertices.size() * sizeof(zq_vertex_t));
    }
    if (g_boundIndices != nullptr) {
        draw.indices.resize(g_boundIndices->bytes.size() / 2);
        memcpy(draw.indices.data(), g_boundIndices->bytes.data(), draw.indices.size() * 2);
    }
    return draw;
}
void DrawIndexed(RendererPrimitive primitive, uint32_t indexCount) {
    Record("Draw %s %u", primitive == RENDERER_LINE_LIST ? "lines" : "triangles", indexCount);
    g_device.draws.push_back(Draw(primitive, indexCount, 1));
}
void DrawInstanced(uint32_t indexCount, uint32_t instances) {
    Record("Draw instanced %u x %u", indexCount, instances);
    g_device.draws.push_back(Draw(RENDERER_TRIANGLE_LIST, indexCount, instances));
}
int32_t MaximumTextureSize() {
    return g_device.maximumTextureSize;
}
bool CreateShader(zq_shader_t* shader, const void*, uint32_t, const void*, uint32_t) {
    Record("Create shader %s", shader->name);
    return true;
}

bool TexturesReady() {
    return true;
}
bool AnyTextureSize() {
    return true;
}
bool CreateTexture(zq_bitmap_t* bitmap, BitmapPacker*) {
    bitmap->gpu.texture = static_cast<RendererTexture*>(malloc(1));
    ++g_textures.created;
    return bitmap->gpu.texture != nullptr;
}
void FreeTexture(RendererTexture* texture) {
    free(texture);
    ++g_textures.freed;
}

}  // namespace

int32_t RecordingDevice::Count(const std::string& prefix) const {
    int32_t count = 0;
    for (const std::string& call : calls) {
        count += call.compare(0, prefix.size(), prefix) == 0 ? 1 : 0;
    }
    return count;
}

int32_t RecordingDevice::IndexOf(const std::string& line) const {
    for (size_t i = 0; i < calls.size(); ++i) {
        if (calls[i] == line) {
            return static_cast<int32_t>(i);
        }
    }
    return -1;
}

RecordingDevice& InstallRecordingDevice() {
    BatchRenderer::Shutdown();
    g_device = RecordingDevice();
    g_boundVertices = g_boundIndices = nullptr;
    RendererDevice device = {};
    device.HasDevice = Yes;
    device.AllowsConcurrentCreation = Concurrent;
    device.GetBackBufferSize = BackBuffer;
    device.SetRenderTargets = Targets;
    device.SetViewport = Viewport;
    device.SetScissor = Scissor;
    device.DisableScissor = ScissorOff;
    device.ClearTargets = Clear;
    device.ClearDepth = ClearDepth;
    device.SendAddressModes = Addresses;
    device.SendFilters = Filters;
    device.SendBlendState = Blend;
    device.SendRenderStates = RenderStates;
    device.BindShader = BindShader;
    device.BindTextures = Textures;
    device.CreateVertexBuffer = VertexBuffer;
    device.CreateIndexBuffer = IndexBuffer;
    device.IsBufferCreated = IsCreated;
    device.LockBuffer = Lock;
    device.UnlockBuffer = Unlock;
    device.FreeBuffer = Free;
    device.BindGeometry = Geometry;
    device.DrawIndexed = DrawIndexed;
    device.DrawIndexedInstanced = DrawInstanced;
    device.CreateShader = CreateShader;
    device.GetMaximumTextureSize = MaximumTextureSize;
    ZQI_SetRendererDevice(&device);
    return g_device;
}

RecordingTextures& InstallRecordingTextures() {
    g_textures = RecordingTextures();
    ZQI_RendererBackEndCalls calls = {};
    calls.IsReady = TexturesReady;
    calls.SupportsNonPowerOfTwo = AnyTextureSize;
    calls.CreateTexture = CreateTexture;
    calls.FreeTexture = FreeTexture;
    ZQI_SetRendererBackEnd(&calls);
    g_core.renderer = reinterpret_cast<RendererImplementation*>(&g_standInRenderer);
    return g_textures;
}

void RemoveRecordingTextures() {
    while (ZQI_GetDeferredTextureFreeCount() > 0) {
        ZQI_ProcessBitmapResourceQueues();
    }
    ZQI_SetRendererBackEnd(nullptr);
    g_core.renderer = nullptr;
}

void TextureTest::SetUp() {
    GraphicsTest::SetUp();
    textures_ = &InstallRecordingTextures();
}

void TextureTest::TearDown() {
    ZQI_ClearBitmapTable();
    RemoveRecordingTextures();
    GraphicsTest::TearDown();
}

RecordingDevice& Recorded() {
    return g_device;
}

zq_bitmap_t DrawableBitmap(int32_t width, int32_t height, uintptr_t textureTag) {
    zq_bitmap_t bitmap = {};
    bitmap.name = const_cast<char*>("drawable");
    bitmap.width = bitmap.pixel_width = width;
    bitmap.height = bitmap.pixel_height = height;
    bitmap.load_state = 3;
    bitmap.gpu.loaded = 1;
    bitmap.gpu.texture_right = bitmap.gpu.texture_bottom = 1.0f;
    bitmap.gpu.texture_width = width;
    bitmap.gpu.texture_height = height;
    bitmap.gpu.texture = reinterpret_cast<RendererTexture*>(textureTag);
    return bitmap;
}

void DrawingTest::SetUp() {
    GraphicsTest::SetUp();
    device_ = &InstallRecordingDevice();
    HighLevelRenderer::ResetForTests();
    defaultShader_.name = const_cast<char*>("internal_default");
    defaultShader_.flags = 2;  // created
    g_drawing.defaultShader = &defaultShader_;
    white_.name = const_cast<char*>("WHITE_TEXTURE");
    g_whiteTexture = &white_;
    *ZQI_GetThreadTextSettings() = ZQI_DefaultTextSettings();
    BatchRenderer::Initialize();
    // A frame starts: defaults applied, the ring mapped.
    HighLevelRenderer::ResetFrameState();
    HighLevelRenderer::ApplyState();
    BatchRenderer::BeginFrame();
    device_->calls.clear();
}

void DrawingTest::TearDown() {
    BatchRenderer::Shutdown();
    g_whiteTexture = nullptr;
    HighLevelRenderer::ResetForTests();
    ZQI_SetRendererDevice(nullptr);
    GraphicsTest::TearDown();
}
