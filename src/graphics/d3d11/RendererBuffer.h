// RendererBuffer: the back end's vertex or index buffer, wrapped by the program's buffer objects
// (zq_vertex_buffer_t, zq_index_buffer_t). Made and freed by RendererImplementation.
#pragma once

#include <d3d11.h>

#include <cstdint>

// RendererBuffer::flags bits.
enum : uint32_t {
    RENDERER_BUFFER_DYNAMIC = 1,   // written with Map and WRITE_DISCARD
    RENDERER_BUFFER_CPU_COPY = 4,  // written into a CPU copy and sent with UpdateSubresource
};

struct RendererBuffer {
    ID3D11Buffer* buffer;  // null when creation failed
    void* mapped;          // while locked: where the caller writes
    uint32_t byteSize;
    uint8_t* cpuCopy;  // made on the first lock of a CPU-copy buffer
    uint32_t count;    // vertices or indices
    uint32_t flags;
    uint32_t vertexFormat;  // ZQ_VERTEX_FORMAT_* bits; unused for index buffers
    uint32_t locked;
};

// The back end's objects of one shader (zq_shader_t::renderer_data).
struct RendererShader {
    ID3D11VertexShader* vertexShader;
    ID3D11PixelShader* pixelShader;
    ID3D11Buffer* vertexConstants;
    ID3D11Buffer* pixelConstants;
    ID3D11InputLayout* inputLayout;
};
